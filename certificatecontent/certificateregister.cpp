#include "certificatecontent/certificateregister.h"

#include "core/errors.h"

#include <bit>
#include <cstring>
#include <variant>

namespace kelvora {

namespace {

// The statement's bytes: every text with its length before it, every block with its kind,
// so that no two statements give the same bytes.
class Statement
{
public:
    void number(std::int64_t value)
    {
        char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        m_bytes.append(bytes, sizeof value);
    }
    void real(double value) { number(std::bit_cast<std::int64_t>(value)); }
    void text(const std::string &value)
    {
        number(static_cast<std::int64_t>(value.size()));
        m_bytes += value;
    }
    void texts(const std::vector<std::string> &values)
    {
        number(static_cast<std::int64_t>(values.size()));
        for (const std::string &value : values)
            text(value);
    }
    void pairs(const std::vector<std::pair<std::string, std::string>> &values)
    {
        number(static_cast<std::int64_t>(values.size()));
        for (const auto &[first, second] : values) {
            text(first);
            text(second);
        }
    }

    void block(const Paragraph &paragraph) { text(paragraph.text); }
    void block(const LabelledValues &values) { pairs(values.rows); }
    void block(const TextTable &table)
    {
        texts(table.header);
        number(static_cast<std::int64_t>(table.numeric.size()));
        for (const bool numeric : table.numeric)
            number(numeric ? 1 : 0);
        number(static_cast<std::int64_t>(table.rows.size()));
        for (const std::vector<std::string> &row : table.rows)
            texts(row);
    }
    void block(const ResidualChart &chart)
    {
        texts({chart.title, chart.axisT, chart.axisDeviation});
        number(static_cast<std::int64_t>(chart.points.size()));
        for (const ResidualChart::Point &point : chart.points) {
            real(point.T);
            real(point.deviation);
            number(point.U ? 1 : 0);
            real(point.U.value_or(0));
        }
    }
    void block(const Signatures &signatures) { pairs(signatures.signatories); }

    const std::string &bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

} // namespace

const CertificateEntry *CurrentCertificateOf(const std::vector<CertificateEntry> &entries,
                                             std::int64_t recordKey)
{
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        if (entry->recordKey == recordKey && entry->state == CertificateState::Issued
            && ReplacedByOf(entries, *entry).empty())
            return &*entry;
    }
    return nullptr;
}

std::string ReplacedByOf(const std::vector<CertificateEntry> &entries,
                         const CertificateEntry &entry)
{
    for (const CertificateEntry &other : entries) {
        if (other.pos > entry.pos && other.recordKey == entry.recordKey
            && other.replaces == entry.number)
            return other.number;
    }
    return {};
}

std::vector<const CertificateEntry *> CertificatesNumbered(
    const std::vector<CertificateEntry> &entries, const std::string &number)
{
    std::vector<const CertificateEntry *> numbered;
    for (const CertificateEntry &entry : entries) {
        if (entry.number == number)
            numbered.push_back(&entry);
    }
    return numbered;
}

std::vector<const CertificateEntry *> NewestFirst(const std::vector<CertificateEntry> &entries)
{
    std::vector<const CertificateEntry *> newest;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
        newest.push_back(&*entry);
    return newest;
}

const char *FitName(FitMethod method)
{
    return method == FitMethod::ParticleSwarm ? ParticleSwarmFit : LevenbergMarquardtFit;
}

CertificateChoices ChoicesOf(const CertificateEntry &entry)
{
    CertificateChoices choices;
    if (entry.fitChosen)
        choices.method = entry.fit == ParticleSwarmFit ? FitMethod::ParticleSwarm
                                                       : FitMethod::LevenbergMarquardt;
    if (entry.step > 0)
        choices.step = static_cast<int>(entry.step);
    return choices;
}

std::string CertificateStatement(const CertificateDocument &document)
{
    Statement statement;
    statement.number(document.pageSize == PageSize::Letter ? 1 : 0);
    statement.texts({document.laboratoryName, document.laboratoryAddress, document.logo,
                     document.title});
    statement.number(static_cast<std::int64_t>(document.sections.size()));
    for (const CertificateSection &section : document.sections) {
        statement.text(section.heading);
        statement.number(static_cast<std::int64_t>(section.blocks.size()));
        for (const CertificateBlock &block : section.blocks) {
            statement.number(static_cast<std::int64_t>(block.index()));
            std::visit([&statement](const auto &b) { statement.block(b); }, block);
        }
    }
    return statement.bytes();
}

std::string CertificateFingerprint(const CertificateDocument &document, const Digest &digest)
{
    return digest(CertificateStatement(document));
}

std::string FingerprintNow(RecordStore &records, const CertificateChoices &choices,
                           const Digest &digest)
{
    if (!CertificateRefusal(records, choices).empty())
        return {};
    CertificateIssue issue;
    issue.laboratory = LaboratorySettingsOf(records.store.settings());
    try {
        return CertificateFingerprint(
            CertificateDocumentOf(CollectCertificateData(records, issue, choices)), digest);
    } catch (const Error &) {
        return {};
    }
}

bool ChangedSinceIssued(RecordStore &records, const CertificateEntry &entry,
                        const Digest &digest)
{
    return !entry.fingerprint.empty()
           && FingerprintNow(records, ChoicesOf(entry), digest) != entry.fingerprint;
}

const CertificateEntry *UnchangedCertificate(RecordStore &records,
                                             const CertificateChoices &choices,
                                             const Digest &digest)
{
    const std::optional<std::int64_t> key = records.store.currentRecordKey();
    const CertificateEntry *current =
        key ? CurrentCertificateOf(records.store.certificates(), *key) : nullptr;
    if (current == nullptr || current->fingerprint.empty()
        || FingerprintNow(records, choices, digest) != current->fingerprint)
        return nullptr;
    return current;
}

} // namespace kelvora
