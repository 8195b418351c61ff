#include "certificatecontent/certificateissue.h"

#include "certificatecontent/certificatenumber.h"
#include "core/errors.h"
#include "tables/rows.h"

#include <set>

namespace kelvora {

namespace {

struct ItemField
{
    std::string (RecordRow::*read)() const;
    void (RecordRowEditor::*write)(const std::string &);
    std::string ItemDetails::*text;
};

constexpr ItemField ItemFields[] = {
    {&RecordRow::customer, &RecordRowEditor::setCustomer, &ItemDetails::customer},
    {&RecordRow::make, &RecordRowEditor::setMake, &ItemDetails::make},
    {&RecordRow::model, &RecordRowEditor::setModel, &ItemDetails::model},
    {&RecordRow::serial, &RecordRowEditor::setSerial, &ItemDetails::serial},
};

// The certificate numbers that the register and the records hold.
std::set<std::string> numbersInUse(const Store &store)
{
    const auto field = static_cast<std::size_t>(fieldIndex(RecordField::CertNo));
    std::set<std::string> numbers;
    for (const RowData &record : store.records()) {
        if (const auto *number = std::get_if<std::string>(&record.values[field]))
            numbers.insert(*number);
    }
    for (const CertificateEntry &entry : store.certificates())
        numbers.insert(entry.number);
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
    const RecordRow record(records.cdsMain);
    ItemDetails item;
    for (const ItemField &f : ItemFields)
        item.*f.text = (record.*f.read)();
    return item;
}

void SetItemDetails(RecordStore &records, const ItemDetails &item)
{
    if (ItemDetailsOf(records) == item)
        return;
    Table &main = records.cdsMain;
    RecordRowEditor record(main);
    main.edit();
    try {
        for (const ItemField &f : ItemFields)
            (record.*f.write)(item.*f.text);
        main.post();
    } catch (...) {
        main.cancel();
        throw;
    }
}

CertificateIssue PlanCertificateIssue(const RecordStore &records, DateTime now)
{
    CertificateIssue issue;
    issue.laboratory = LaboratorySettingsOf(records.store.settings());
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
    laboratory.nextNumber = counter + 1;
    laboratory.counterYear = toCivil(now).year;
    return issue;
}

void RecordCertificateIssue(RecordStore &records, const CertificateIssue &issue)
{
    Table &main = records.cdsMain;
    RecordRowEditor mainRow(main);
    records.store.setSettings(WithLaboratorySettings(records.store.settings(), issue.laboratory));
    main.edit();
    mainRow.setCertNo(issue.number);
    mainRow.setCertIssued(issue.issued);
    main.post();
}

} // namespace kelvora
