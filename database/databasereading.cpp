#include "database/databasereading.h"

#include "database/olderlayouts.h"
#include "database/registertable.h"
#include "database/rowchecksum.h"
#include "database/sqlitedb.h"
#include "database/storecheck.h"

#include <sqlite3.h>

#include <set>
#include <utility>

namespace kelvora {

namespace {

Value readValue(const SqlStatement &st, int column, const TableSchema &schema,
                const FieldDef &field)
{
    const int type = st.type(column);
    if (type == SQLITE_NULL)
        return std::monostate{};
    switch (field.kind) {
    case FieldKind::String:
    case FieldKind::Memo:
        if (type == SQLITE_TEXT)
            return st.text(column);
        break;
    case FieldKind::Float:
        if (type == SQLITE_FLOAT)
            return st.real(column);
        break;
    case FieldKind::Boolean:
        if (type == SQLITE_INTEGER && (st.integer(column) == 0 || st.integer(column) == 1))
            return st.integer(column) == 1;
        break;
    case FieldKind::DateTime:
        if (type == SQLITE_INTEGER)
            return DateTime{st.integer(column)};
        break;
    case FieldKind::Integer:
    case FieldKind::AutoInc:
        if (type == SQLITE_INTEGER)
            return st.integer(column);
        break;
    default:
        break;
    }
    wrongKind(schema, field);
}

// Fills the fields a file holds of a row from column `first` on, the others empty; returns
// the next column.
int readFields(const SqlStatement &st, int first, const TableSchema &schema,
               const StoredFields &fields, RowData &row)
{
    row.values.assign(schema.fields.size(), std::monostate{});
    int column = first;
    for (const auto &[index, field] : fields)
        row.values[static_cast<std::size_t>(index)] = readValue(st, column++, schema, *field);
    return column;
}

std::int64_t pragmaValue(SqlConnection &db, const std::string &pragma)
{
    SqlStatement st(db, "PRAGMA " + pragma);
    if (!st.step())
        throw DatabaseError("The database does not answer PRAGMA " + pragma);
    return st.integer(0);
}

bool hasTable(SqlConnection &db, const std::string &table)
{
    SqlStatement st(db, "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = ?");
    st.bind(1, table);
    return st.step() && st.integer(0) > 0;
}

std::set<std::string> columnsOf(SqlConnection &db, const std::string &table)
{
    SqlStatement st(db, "SELECT name FROM pragma_table_info(?)");
    st.bind(1, table);
    std::set<std::string> columns;
    while (st.step())
        columns.insert(st.text(0));
    return columns;
}

// A name as an SQL string literal.
std::string quotedLiteral(const std::string &name)
{
    std::string literal = "'";
    for (const char c : name)
        literal += c == '\'' ? std::string("''") : std::string(1, c);
    return literal + "'";
}

[[noreturn]] void checksumFails(const TableSchema &schema)
{
    throw DatabaseError("The database is damaged: a row of table " + schema.name
                        + " does not match its checksum");
}

// The settings of a file that holds them, each checked against its checksum and counted
// into `tally`.
Settings readSettings(SqlConnection &db, TableTally &tally)
{
    Settings settings;
    SqlStatement rows(db, "SELECT name, value, " + quoted(CheckColumn) + " FROM "
                              + quoted(SettingsTable) + " ORDER BY name");
    while (rows.step()) {
        if (rows.type(0) != SQLITE_TEXT || rows.type(1) != SQLITE_BLOB)
            throw DatabaseError("The database holds a bad setting");
        std::string name = rows.text(0);
        std::string value = rows.blob(1);
        const std::int64_t checksum = readInteger(rows, 2, "checksum");
        if (checksum != settingChecksum(name, value))
            throw DatabaseError("The database is damaged: a setting does not match its"
                                " checksum");
        tally.add(checksum);
        settings.emplace(std::move(name), std::move(value));
    }
    return settings;
}

} // namespace

int checkHeader(SqlConnection &db)
{
    if (pragmaValue(db, "application_id") != ApplicationId)
        throw DatabaseError("The file is not a Kelvora database");
    const std::int64_t version = pragmaValue(db, "user_version");
    if (version > LayoutVersion)
        throw NewerDatabaseError("The database was written by a newer version of Kelvora (layout "
                                 + std::to_string(version) + "); this version reads layouts up to "
                                 + std::to_string(LayoutVersion));
    if (version < LayoutWithoutChecksums)
        throw DatabaseError("The database layout " + std::to_string(version)
                            + " is not one this program reads");
    return static_cast<int>(version);
}

void checkTables(SqlConnection &db, int version)
{
    std::vector<std::string> tables{FieldsTable, IndexesTable};
    for (const TableSchema *schema : allSchemas())
        tables.push_back(schema->name);
    for (const std::string &table : tables) {
        if (!hasTable(db, table))
            throw DatabaseError("The database is damaged: its table " + table + " is missing");
    }
    const bool checked = version > LayoutWithoutChecksums;
    const bool storeChecked = version > LayoutWithoutStoreCheck;
    const bool registered = version > LayoutWithoutRegister;
    bool agrees = hasTable(db, SavedTable) == checked
                  && hasTable(db, StoreCheckTable) == storeChecked
                  && hasTable(db, SettingsTable) == storeChecked
                  && hasTable(db, CertificatesTable) == registered
                  && hasTable(db, DocumentsTable) == registered;
    for (const TableSchema *schema : allSchemas())
        agrees = agrees && (columnsOf(db, schema->name).count(CheckColumn) > 0) == checked;
    if (!agrees)
        throw DatabaseError("The database is damaged: its layout version "
                            + std::to_string(version) + " does not match the tables it holds");
}

void checkIntegrity(SqlConnection &db)
{
    // The documents of the register are checked when one is read, against its SHA-256:
    // reading all their pages at every start would cost more than everything else the start
    // reads.
    SqlStatement tables(db, "SELECT name FROM sqlite_schema WHERE type = 'table' AND name <> ?");
    tables.bind(1, std::string(DocumentsTable));
    std::vector<std::string> names{"sqlite_schema"};
    while (tables.step())
        names.push_back(tables.text(0));
    for (const std::string &name : names) {
        SqlStatement check(db, "PRAGMA quick_check(" + quotedLiteral(name) + ")");
        if (!check.step() || check.text(0) != "ok")
            throw DatabaseError("The database is damaged: its integrity check fails");
    }
}

FileFields checkDefinitions(SqlConnection &db, int version)
{
    SqlStatement fields(db, "SELECT name, kind FROM " + quoted(FieldsTable)
                                + " WHERE tbl = ? ORDER BY pos");
    FileFields held;
    for (const TableSchema *schema : layoutSchemas(version)) {
        const auto anotherLayout = [schema] {
            return DatabaseError("The database holds another layout of table " + schema->name);
        };
        fields.bind(1, schema->name);
        const std::set<std::string> columns = columnsOf(db, schema->name);
        StoredFields &tableFields = held.emplace_back();
        bool ended = false;
        for (std::size_t i = 0; i < schema->fields.size(); ++i) {
            const FieldDef &f = schema->fields[i];
            if (f.kind == FieldKind::Calculated)
                continue;
            ended = ended || !fields.step();
            if (ended) {
                if (f.kind == FieldKind::Nested)
                    throw anotherLayout();
                continue;
            }
            if (fields.text(0) != f.name || fields.text(1) != kindName(f.kind))
                throw anotherLayout();
            if (f.kind == FieldKind::Nested)
                continue;
            if (columns.count(f.name) == 0)
                throw DatabaseError("The database is damaged: the column of field '" + f.name
                                    + "' of table " + schema->name + " is missing");
            tableFields.emplace_back(static_cast<int>(i), &f);
        }
        // Every field this version knows, and more after them: fields appended by a later one.
        if (!ended && fields.step())
            throw NewerDatabaseError("The database was written by a newer version of Kelvora"
                                     " (table " + schema->name + " has fields that this version"
                                     " does not know); this version reads layouts up to "
                                     + std::to_string(LayoutVersion) + " with the fields it "
                                     "knows");
        fields.reset();
    }
    // The list of index definitions must be there too.
    SqlStatement indexes(db, "SELECT count(*) FROM " + quoted(IndexesTable));
    indexes.step();
    return held;
}

bool holdsEveryField(const FileFields &held)
{
    const std::vector<const TableSchema *> schemas = allSchemas();
    for (std::size_t t = 0; t < schemas.size(); ++t) {
        if (held[t].size() != storedFields(*schemas[t]).size())
            return false;
    }
    return true;
}

std::int64_t readSaveId(SqlConnection &db)
{
    SqlStatement st(db, "SELECT saveId FROM " + quoted(SavedTable));
    if (!st.step())
        throw DatabaseError("The database has lost the mark of its last save");
    const std::int64_t id = readInteger(st, 0, "save mark");
    if (st.step())
        throw DatabaseError("The database holds more than one mark of its last save");
    return id;
}

StoreData readRecords(SqlConnection &db, int version, const FileFields &held)
{
    const bool checked = version > LayoutWithoutChecksums;
    StoreTally tally = emptyTally(version);
    const std::vector<std::string> check =
        checked ? std::vector<std::string>{CheckColumn} : std::vector<std::string>{};
    const std::size_t nestedCount = nestedFieldNames().size();
    StoreData data;
    std::vector<std::int64_t> recordChecks;
    std::vector<std::string> trailing = nextIncColumns();
    trailing.insert(trailing.end(), check.begin(), check.end());
    SqlStatement records(db, "SELECT " + columnList({PosColumn}, held[0], trailing)
                                 + " FROM " + quoted(mainSchema().name) + " ORDER BY "
                                 + quoted(PosColumn));
    while (records.step()) {
        RowData record;
        data.keys.push_back(readInteger(records, 0, "storage key"));
        int column = readFields(records, 1, mainSchema(), held[0], record);
        record.nested.resize(nestedCount);
        for (NestedRows &rows : record.nested)
            rows.nextInc = readInteger(records, column++, "auto-increment value");
        if (checked) {
            recordChecks.push_back(readInteger(records, column, "checksum"));
            tally[0].add(recordChecks.back());
        }
        data.records.push_back(std::move(record));
    }

    // Both lists are in key order: one walk pairs every nested row with its record.
    for (std::size_t slot = 0; slot < nestedCount; ++slot) {
        const TableSchema &schema = nestedSchema(slot);
        const StoredFields &fields = held[slot + 1];
        SqlStatement rows(db, "SELECT " + columnList({RecordColumn, PosColumn}, fields, check)
                                  + " FROM " + quoted(schema.name) + " ORDER BY "
                                  + quoted(RecordColumn) + ", " + quoted(PosColumn));
        std::size_t owner = 0;
        while (rows.step()) {
            const std::int64_t key = readInteger(rows, 0, "record key");
            while (owner < data.keys.size() && data.keys[owner] < key)
                ++owner;
            if (owner == data.keys.size() || data.keys[owner] != key)
                throw DatabaseError("A row of table " + schema.name + " has no record");
            std::vector<RowData> &list = data.records[owner].nested[slot].rows;
            const std::int64_t pos = readInteger(rows, 1, "row position");
            RowData row;
            const int column = readFields(rows, 2, schema, fields, row);
            if (checked) {
                const std::int64_t checksum = readInteger(rows, column, "checksum");
                if (pos != static_cast<std::int64_t>(list.size())
                    || checksum != nestedChecksum(key, pos, row, fields))
                    checksumFails(schema);
                tally[slot + 1].add(checksum);
            }
            list.push_back(std::move(row));
        }
    }
    if (checked) {
        for (std::size_t r = 0; r < data.records.size(); ++r) {
            if (recordChecks[r] != recordChecksum(data.keys[r], data.records[r], held[0]))
                checksumFails(mainSchema());
        }
        data.saveId = readSaveId(db);
    }
    if (version > LayoutWithoutStoreCheck) {
        data.settings = readSettings(db, tally[settingsTally()]);
        if (version > LayoutWithoutRegister)
            data.certificates = readRegister(db, tally[registerTally()]);
        const StoreTally saved = readStoreCheck(db, version);
        const std::vector<std::string> tables = talliedTables(version);
        for (std::size_t t = 0; t < tables.size(); ++t) {
            if (tally[t] != saved[t])
                throw DatabaseError("The database is damaged: table " + tables[t]
                                    + " holds other rows than its last save wrote");
        }
    }
    upgradeValues(data, held);
    if (version <= LayoutWithoutRegister)
        data.certificates = registerOfRecords(data);
    data.fromFile = true;
    return data;
}

} // namespace kelvora
