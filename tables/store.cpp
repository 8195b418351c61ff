#include "tables/store.h"

#include "core/errors.h"
#include "tables/recordlog.h"
#include "tables/tableengine.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <unordered_set>
#include <utility>

namespace kelvora {

namespace {

bool fitsKind(const FieldDef &field, Value &value)
{
    if (auto *text = std::get_if<std::string>(&value); text && text->empty())
        value = std::monostate{}; // stored like a text cleared in a field
    const bool empty = std::holds_alternative<std::monostate>(value);
    switch (field.kind) {
    case FieldKind::String:
        return empty
               || (std::holds_alternative<std::string>(value)
                   && characterCount(std::get<std::string>(value))
                          <= static_cast<std::size_t>(field.size));
    case FieldKind::Memo:
        return empty || std::holds_alternative<std::string>(value);
    case FieldKind::Float:
        return empty || std::holds_alternative<double>(value);
    case FieldKind::Integer:
        return empty || std::holds_alternative<std::int64_t>(value);
    case FieldKind::Boolean:
        return empty || std::holds_alternative<bool>(value);
    case FieldKind::DateTime:
        return empty || std::holds_alternative<DateTime>(value);
    case FieldKind::AutoInc:
        return std::holds_alternative<std::int64_t>(value);
    case FieldKind::Nested:
    case FieldKind::Calculated:
        return empty;
    }
    return false;
}

[[noreturn]] void badData(const std::string &what)
{
    throw StoreError("The data do not fit the record store: " + what);
}

void checkValues(RowData &row, const TableSchema &schema, const std::string &where)
{
    if (row.values.size() != schema.fields.size())
        badData(where + " has " + std::to_string(row.values.size()) + " fields instead of "
                + std::to_string(schema.fields.size()));
    for (std::size_t i = 0; i < schema.fields.size(); ++i) {
        if (!fitsKind(schema.fields[i], row.values[i]))
            badData(where + ", field '" + schema.fields[i].name + "'");
    }
}

void checkNested(NestedRows &nested, const TableSchema &schema, const std::string &where)
{
    const auto inc = static_cast<std::size_t>(schema.fieldIndex("inc"));
    std::int64_t previous = 0;
    for (std::size_t r = 0; r < nested.rows.size(); ++r) {
        RowData &row = nested.rows[r];
        const std::string rowWhere = where + ", " + schema.name + " row " + std::to_string(r + 1);
        checkValues(row, schema, rowWhere);
        if (!row.nested.empty())
            badData(rowWhere + " holds nested rows");
        const std::int64_t value = std::get<std::int64_t>(row.values[inc]);
        if (value <= previous || value >= nested.nextInc)
            badData(rowWhere + ", field 'inc'");
        previous = value;
    }
    if (nested.nextInc < 1)
        badData(where + ", next increment of " + schema.name);
}

void checkRecords(std::vector<RowData> &records)
{
    const TableSchema &schema = mainSchema();
    const auto created = static_cast<std::size_t>(schema.fieldIndex("Created"));
    std::unordered_set<std::int64_t> taken;
    bool emptyTaken = false;
    for (std::size_t r = 0; r < records.size(); ++r) {
        RowData &record = records[r];
        const std::string where = "record " + std::to_string(r + 1);
        checkValues(record, schema, where);
        if (record.nested.size() != 2)
            badData(where + " does not hold both nested tables");
        checkNested(record.nested[0], bbSchema(), where);
        checkNested(record.nested[1], interpSchema(), where);
        const auto *time = std::get_if<DateTime>(&record.values[created]);
        if (time ? !taken.insert(time->msecs).second : std::exchange(emptyTaken, true))
            badData(where + ": Key violation.");
    }
}

// Positions rising from 1, every entry with its number, and a document (or none at all)
// where its digest says there is one.
void checkCertificates(const std::vector<CertificateEntry> &certificates)
{
    std::int64_t previous = 0;
    for (const CertificateEntry &entry : certificates) {
        const std::string where = "certificate " + std::to_string(entry.pos);
        if (entry.pos <= previous)
            badData("position of " + where);
        if (entry.number.empty())
            badData(where + " has no number");
        if (entry.document && !entry.hasDocument())
            badData(where + " has a document without its digest");
        previous = entry.pos;
    }
}

void checkKeys(const std::vector<std::int64_t> &keys, std::size_t records)
{
    if (keys.size() != records)
        badData(std::to_string(keys.size()) + " storage keys for " + std::to_string(records)
                + " records");
    for (std::size_t i = 1; i < keys.size(); ++i) {
        if (keys[i] <= keys[i - 1])
            badData("storage key of record " + std::to_string(i + 1));
    }
    if (!keys.empty() && keys.back() == std::numeric_limits<std::int64_t>::max())
        badData("storage key of the last record");
}

// Busy cursor and suspended displays for the lifetime of a bulk deletion.
class BulkDeletion
{
public:
    explicit BulkDeletion(Table &table) : m_table(table)
    {
        if (m_table.store().setBusy)
            m_table.store().setBusy(true);
        m_table.disableControls();
    }
    ~BulkDeletion()
    {
        m_table.enableControls();
        if (m_table.store().setBusy)
            m_table.store().setBusy(false);
    }
    BulkDeletion(const BulkDeletion &) = delete;
    BulkDeletion &operator=(const BulkDeletion &) = delete;

private:
    Table &m_table;
};

} // namespace

struct Store::Impl
{
    std::vector<RowData> records; // in storage order
    RecordLog log;
    Settings settings;
    std::vector<CertificateEntry> certificates;

    CertificateEntry &certificate(std::int64_t pos)
    {
        const auto at = std::lower_bound(
            certificates.begin(), certificates.end(), pos,
            [](const CertificateEntry &entry, std::int64_t p) { return entry.pos < p; });
        if (at == certificates.end() || at->pos != pos)
            badData("no certificate " + std::to_string(pos) + " in the register");
        return *at;
    }
};

Store::Store()
    : cdsMain(*new Table(*this, mainSchema(), nullptr))
    , cdsBB(*new Table(*this, bbSchema(), &cdsMain))
    , cdsInterp(*new Table(*this, interpSchema(), &cdsMain))
    , d(std::make_unique<Impl>())
{
    cdsMain.d->records = &d->records;
    cdsMain.d->log = &d->log;
}

Store::~Store()
{
    delete &cdsInterp;
    delete &cdsBB;
    delete &cdsMain;
}

void Store::load(StoreData data)
{
    if (cdsMain.active())
        throw StoreError("Cannot perform this operation on an open dataset");
    checkRecords(data.records);
    checkCertificates(data.certificates);
    if (data.keys.empty() && !data.records.empty()) {
        // Keys of our own: they need not be the file's.
        data.keys.resize(data.records.size());
        std::iota(data.keys.begin(), data.keys.end(), std::int64_t{1});
        data.saveId = 0;
    }
    checkKeys(data.keys, data.records.size());
    d->records = std::move(data.records);
    d->log.nextKey = d->records.empty() ? 1 : data.keys.back() + 1;
    d->log.keys = std::move(data.keys);
    d->log.changes = StoreChanges{};
    d->log.changes.saveId = data.saveId;
    d->log.changes.fromFile = data.fromFile;
    d->settings = std::move(data.settings);
    d->certificates = std::move(data.certificates);
    // Entries that come with their documents have not been saved into any file yet.
    for (const CertificateEntry &entry : d->certificates) {
        if (entry.document)
            d->log.changes.certificatesAdded.insert(entry.pos);
    }
}

StoreData Store::data() const
{
    // The mark says which file holds these records only while nothing waits to be saved.
    const StoreChanges &changes = d->log.changes;
    const bool saved = changes.changed.empty() && changes.removed.empty()
                       && !changes.settingsChanged && changes.certificatesAdded.empty()
                       && changes.certificatesWithdrawn.empty();
    return StoreData{d->records, d->settings, d->certificates, d->log.keys,
                     saved ? changes.saveId : 0, changes.fromFile};
}

void Store::clearAll()
{
    const bool wasOpen = cdsMain.active();
    close();
    d->records.clear();
    d->log = RecordLog{};
    d->settings.clear();
    d->certificates.clear();
    if (wasOpen)
        open();
}

const std::vector<RowData> &Store::records() const
{
    return d->records;
}

const std::vector<std::int64_t> &Store::keys() const
{
    return d->log.keys;
}

const StoreChanges &Store::changes() const
{
    return d->log.changes;
}

void Store::changesSaved(std::int64_t saveId)
{
    d->log.changes = StoreChanges{};
    d->log.changes.saveId = saveId;
    d->log.changes.fromFile = true;
    for (CertificateEntry &entry : d->certificates)
        entry.document.reset();
}

const Settings &Store::settings() const
{
    return d->settings;
}

void Store::setSettings(Settings settings)
{
    if (settings == d->settings)
        return;
    d->settings = std::move(settings);
    d->log.changes.settingsChanged = true;
}

const std::vector<CertificateEntry> &Store::certificates() const
{
    return d->certificates;
}

std::int64_t Store::addCertificate(CertificateEntry entry)
{
    entry.pos = d->certificates.empty() ? 1 : d->certificates.back().pos + 1;
    if (entry.number.empty())
        badData("a certificate without number");
    if (!entry.document || !entry.hasDocument())
        badData("certificate " + entry.number + " without its document");
    d->certificates.push_back(std::move(entry));
    d->log.changes.certificatesAdded.insert(d->certificates.back().pos);
    return d->certificates.back().pos;
}

void Store::removeUnsavedCertificate(std::int64_t pos)
{
    if (d->log.changes.certificatesAdded.erase(pos) == 0)
        badData("certificate " + std::to_string(pos) + " is saved and stays in the register");
    const CertificateEntry &entry = d->certificate(pos);
    d->certificates.erase(d->certificates.begin() + (&entry - d->certificates.data()));
}

void Store::withdrawCertificate(std::int64_t pos, std::string reason, DateTime when)
{
    CertificateEntry &entry = d->certificate(pos);
    entry.state = CertificateState::Withdrawn;
    entry.withdrawalReason = std::move(reason);
    entry.withdrawn = when;
    if (d->log.changes.certificatesAdded.count(pos) == 0)
        d->log.changes.certificatesWithdrawn.insert(pos);
}

std::optional<std::int64_t> Store::currentRecordKey() const
{
    const int id = cdsMain.d->active() ? cdsMain.d->identity() : NoRow;
    if (id < 0)
        return std::nullopt;
    return d->log.keys[static_cast<std::size_t>(id)];
}

void Store::open()
{
    cdsMain.d->open();
}

void Store::close()
{
    cdsMain.d->close();
}

void PostIfEditing(Table &table)
{
    if (table.isEditing())
        table.post();
}

void DeleteAllRows(Table &table)
{
    const BulkDeletion bulk(table);
    while (table.recordCount() > 0)
        table.remove();
}

} // namespace kelvora
