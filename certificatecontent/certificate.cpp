#include "certificatecontent/certificate.h"

#include "tables/rows.h"

#include <utility>

namespace kelvora {

namespace {

std::string isoDate(DateTime t)
{
    return formatIsoDateTime(t).substr(0, 10);
}

// The record's number and date as they were before an issue, put back when its save fails.
class RecordIssueBefore
{
public:
    explicit RecordIssueBefore(RecordStore &records)
        : m_records(records)
        , m_settings(records.store.settings())
        , m_number(RecordRow(records.cdsMain).certNo())
        , m_issued(RecordRow(records.cdsMain).certIssued())
    {
    }

    void restore()
    {
        m_records.store.setSettings(m_settings);
        Table &main = m_records.cdsMain;
        if (main.isEditing())
            main.cancel();
        RecordRowEditor record(main);
        main.edit();
        if (m_number.empty())
            record.clear(RecordField::CertNo);
        else
            record.setCertNo(m_number);
        record.setCertIssued(m_issued);
        main.post();
    }

private:
    RecordStore &m_records;
    Settings m_settings;
    std::string m_number;
    std::optional<DateTime> m_issued;
};

} // namespace

CertificateUnchangedError::CertificateUnchangedError(const CertificateEntry &current)
    : Error("Certificate " + current.number + " of record \"" + current.recordName
            + "\", issued on " + isoDate(current.issued)
            + ", states the record as it is: nothing it states has changed since, so no new"
              " certificate is issued")
    , m_number(current.number)
{
}

IssuedCertificate IssueCertificate(RecordStore &records, const CertificateChoices &choices,
                                   DateTime now, const CertificateRendering &rendering,
                                   const std::function<void()> &save)
{
    if (const std::string refusal = CertificateRefusal(records, choices); !refusal.empty())
        throw Error(refusal);
    Store &store = records.store;
    const std::optional<std::int64_t> recordKey = store.currentRecordKey();
    if (!recordKey)
        throw Error("There is no record to certify");
    const CertificateIssue issue = PlanCertificateIssue(records, now);
    CertificateData data = CollectCertificateData(records, issue, choices);
    const std::string fingerprint =
        CertificateFingerprint(CertificateDocumentOf(data), rendering.digest);
    if (const CertificateEntry *current = CurrentCertificateOf(store.certificates(), *recordKey)) {
        if (current->fingerprint == fingerprint)
            throw CertificateUnchangedError(*current);
        data.replaces = ReplacedCertificate{current->number, current->issued};
    }

    IssuedCertificate issued;
    issued.document = CertificateDocumentOf(data);
    issued.bytes = rendering.render(issued.document);
    CertificateEntry &entry = issued.entry;
    entry.number = issue.number;
    entry.recordKey = *recordKey;
    entry.recordName = data.recordName;
    entry.issued = issue.issued;
    entry.fit = FitName(data.method);
    entry.fitChosen = data.methodChosen;
    entry.step = data.step;
    entry.customer = data.item.customer;
    entry.sha256 = rendering.digest(issued.bytes);
    entry.fingerprint = fingerprint;
    if (data.replaces)
        entry.replaces = data.replaces->number;
    entry.document = issued.bytes;

    RecordIssueBefore before(records);
    entry.pos = store.addCertificate(entry);
    entry.document.reset();
    try {
        RecordCertificateIssue(records, issue);
        save();
    } catch (...) {
        store.removeUnsavedCertificate(entry.pos);
        before.restore();
        throw;
    }
    return issued;
}

} // namespace kelvora
