#include "certificatecontent/certificateissue.h"

#include "certificatecontent/certificatenumber.h"
#include "core/errors.h"

#include <set>

namespace kelvora {

namespace {

struct ItemField
{
    const char *field;
    std::string ItemDetails::*text;
};

constexpr ItemField ItemFields[] = {
    {"Customer", &ItemDetails::customer},
    {"Make", &ItemDetails::make},
    {"Model", &ItemDetails::model},
    {"Serial", &ItemDetails::serial},
};

// The certificate numbers that records hold.
std::set<std::string> numbersInUse(const Store &store)
{
    const auto field = static_cast<std::size_t>(mainSchema().fieldIndex("CertNo"));
    std::set<std::string> numbers;
    for (const RowData &record : store.records()) {
        if (const auto *number = std::get_if<std::string>(&record.values[field]))
            numbers.insert(*number);
    }
    return numbers;
}

} // namespace

int NextCertificateCounter(const LaboratorySettings &laboratory, DateTime now)
{
    if (NumberPatternHasYear(laboratory.numberPattern)
        && laboratory.counterYear != toCivil(now).year)
        return 1;
    return laboratory.nextNumber;
}

ItemDetails ItemDetailsOf(const RecordStore &records)
{
    ItemDetails item;
    for (const ItemField &f : ItemFields)
        item.*f.text = records.cdsMain.asString(f.field);
    return item;
}

void SetItemDetails(RecordStore &records, const ItemDetails &item)
{
    if (ItemDetailsOf(records) == item)
        return;
    Table &main = records.cdsMain;
    main.edit();
    try {
        for (const ItemField &f : ItemFields)
            main.setString(f.field, item.*f.text);
        main.post();
    } catch (...) {
        main.cancel();
        throw;
    }
}

CertificateIssue PlanCertificateIssue(const RecordStore &records, bool newNumber, DateTime now)
{
    const Table &main = records.cdsMain;
    CertificateIssue issue;
    issue.laboratory = LaboratorySettingsOf(records.store.settings());
    if (!newNumber && !main.isNull("CertNo")) {
        issue.number = main.asString("CertNo");
        issue.issued = main.isNull("CertIssued") ? now : main.asDateTime("CertIssued");
        return issue;
    }

    LaboratorySettings &laboratory = issue.laboratory;
    const std::string &pattern = laboratory.numberPattern;
    if (const std::string refusal = NumberPatternRefusal(pattern); !refusal.empty())
        throw Error(refusal);
    int counter = NextCertificateCounter(laboratory, now);
    const std::set<std::string> taken = numbersInUse(records.store);
    while (counter <= MaxCertificateCounter
           && taken.count(CertificateNumberOf(pattern, counter, now)) > 0)
        ++counter;
    if (counter > MaxCertificateCounter)
        throw Error("The certificate counter has run out: set the next number in the"
                    " laboratory's settings");
    const std::string number = CertificateNumberOf(pattern, counter, now);
    issue.number = number;
    issue.issued = now;
    issue.isNew = true;
    laboratory.nextNumber = counter + 1;
    laboratory.counterYear = toCivil(now).year;
    return issue;
}

void RecordCertificateIssue(RecordStore &records, const CertificateIssue &issue)
{
    Table &main = records.cdsMain;
    if (issue.isNew) {
        records.store.setSettings(
            WithLaboratorySettings(records.store.settings(), issue.laboratory));
    }
    if (main.asString("CertNo") == issue.number && !main.isNull("CertIssued")
        && main.asDateTime("CertIssued") == issue.issued)
        return;
    main.edit();
    main.setString("CertNo", issue.number);
    main.setDateTime("CertIssued", issue.issued);
    main.post();
}

} // namespace kelvora
