#include "database/database.h"

#include "database/databasefiles.h"
#include "database/databasetexts.h"
#include "database/rowchecksum.h"
#include "database/sqlitedb.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kelvora {

namespace {

// PRAGMA application_id of our files ("Klvr"); any other value is a foreign file.
constexpr int ApplicationId = 0x4B6C7672;
// PRAGMA user_version: the layout of the program's own tables and columns below; fields
// appended to a table do not change it. Layout 1 had no checksums and no save id, layout 2
// no check of the whole store; both are still read, and their first save rewrites them.
constexpr int LayoutVersion = 3;
constexpr int LayoutWithoutStoreCheck = 2;
constexpr int LayoutWithoutChecksums = 1;

// Own columns besides the fields: a record's storage key, a nested row's record and position,
// the next auto-increment value of each nested table of a record, and every row's checksum.
constexpr const char *PosColumn = "_pos";
constexpr const char *RecordColumn = "_record";
constexpr const char *NextIncSuffix = "_nextInc";
constexpr const char *CheckColumn = "_check";
constexpr const char *FieldsTable = "_fields";
constexpr const char *IndexesTable = "_indexes";
constexpr const char *SavedTable = "_saved"; // one row: the save id of the last save
// One row per table (the settings included): how many rows it holds and the sum of their
// checksums.
constexpr const char *StoreCheckTable = "_store";
// The store's settings: one row per setting, its name, its bytes and their checksum. Files of
// the layouts before hold no settings.
constexpr const char *SettingsTable = "_settings";

std::string quoted(const std::string &name)
{
    return '"' + name + '"';
}

const char *kindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::String: return "String";
    case FieldKind::Memo: return "Memo";
    case FieldKind::Float: return "Float";
    case FieldKind::Boolean: return "Boolean";
    case FieldKind::DateTime: return "DateTime";
    case FieldKind::AutoInc: return "AutoInc";
    case FieldKind::Nested: return "Nested";
    case FieldKind::Calculated: return "Calculated";
    }
    return "";
}

const char *columnType(FieldKind kind)
{
    switch (kind) {
    case FieldKind::String:
    case FieldKind::Memo:
        return "TEXT";
    case FieldKind::Float:
        return "REAL";
    default:
        return "INTEGER";
    }
}

// The nested table whose rows are RowData::nested[slot] of a record.
const TableSchema &nestedSchema(std::size_t slot)
{
    return slot == 0 ? bbSchema() : interpSchema();
}

// The record fields that hold the nested tables, in the order of RowData::nested.
const std::vector<std::string> &nestedFieldNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> result;
        for (const FieldDef &f : mainSchema().fields)
            if (f.kind == FieldKind::Nested)
                result.push_back(f.name);
        return result;
    }();
    return names;
}

std::vector<std::string> nextIncColumns()
{
    std::vector<std::string> columns;
    for (const std::string &name : nestedFieldNames())
        columns.push_back(name + NextIncSuffix);
    return columns;
}

// Column list of a table: own leading columns, then the fields, then the trailing ones.
std::string columnList(const std::vector<std::string> &leading, const StoredFields &fields,
                       const std::vector<std::string> &trailing = {})
{
    std::string list;
    auto add = [&list](const std::string &column) {
        if (!list.empty())
            list += ", ";
        list += quoted(column);
    };
    for (const std::string &c : leading)
        add(c);
    for (const auto &[index, field] : fields)
        add(field->name);
    for (const std::string &c : trailing)
        add(c);
    return list;
}

std::vector<const TableSchema *> allSchemas()
{
    std::vector<const TableSchema *> schemas{&mainSchema()};
    for (std::size_t slot = 0; slot < nestedFieldNames().size(); ++slot)
        schemas.push_back(&nestedSchema(slot));
    return schemas;
}

// The check of the whole store: per table its number of rows and the sum of their checksums,
// modulo 2^64. A row checksum cannot see a row that is not there; the tally of the rows that
// are there then differs from the one the last save left.
struct TableTally
{
    std::int64_t rows = 0;
    std::uint64_t sum = 0;

    void add(std::int64_t checksum)
    {
        ++rows;
        sum += static_cast<std::uint64_t>(checksum);
    }
    void remove(std::int64_t checksum)
    {
        --rows;
        sum -= static_cast<std::uint64_t>(checksum);
    }
    bool operator==(const TableTally &) const = default;
};

// In the order of allSchemas(), then the settings.
using StoreTally = std::vector<TableTally>;

StoreTally emptyTally()
{
    return StoreTally(allSchemas().size() + 1);
}

// The names of the tables a tally counts, in its order.
std::vector<std::string> talliedTables()
{
    std::vector<std::string> names;
    for (const TableSchema *schema : allSchemas())
        names.push_back(schema->name);
    names.push_back(SettingsTable);
    return names;
}

// ---- writing ----

std::int64_t readInteger(const SqlStatement &st, int column, const char *what)
{
    if (st.type(column) != SQLITE_INTEGER)
        throw DatabaseError(std::string("The database holds a bad ") + what);
    return st.integer(column);
}

std::string placeholders(std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += i ? ", ?" : "?";
    return s;
}

void createTables(SqlConnection &db)
{
    std::string sql = "CREATE TABLE " + quoted(mainSchema().name) + " ("
                      + quoted(PosColumn) + " INTEGER PRIMARY KEY";
    for (const auto &[index, field] : storedFields(mainSchema()))
        sql += ", " + quoted(field->name) + " " + columnType(field->kind);
    for (const std::string &column : nextIncColumns())
        sql += ", " + quoted(column) + " INTEGER NOT NULL";
    sql += ", " + quoted(CheckColumn) + " INTEGER NOT NULL) STRICT;";
    for (std::size_t slot = 0; slot < nestedFieldNames().size(); ++slot) {
        const TableSchema &schema = nestedSchema(slot);
        sql += "CREATE TABLE " + quoted(schema.name) + " (" + quoted(RecordColumn)
               + " INTEGER NOT NULL REFERENCES " + quoted(mainSchema().name) + ", "
               + quoted(PosColumn) + " INTEGER NOT NULL";
        for (const auto &[index, field] : storedFields(schema))
            sql += ", " + quoted(field->name) + " " + columnType(field->kind);
        sql += ", " + quoted(CheckColumn) + " INTEGER NOT NULL, PRIMARY KEY ("
               + quoted(RecordColumn) + ", " + quoted(PosColumn) + ")) STRICT;";
    }
    sql += "CREATE TABLE " + quoted(FieldsTable) + " (tbl TEXT NOT NULL, pos INTEGER NOT NULL,"
           " name TEXT NOT NULL, kind TEXT NOT NULL, size INTEGER NOT NULL,"
           " required INTEGER NOT NULL, PRIMARY KEY (tbl, pos)) STRICT;";
    sql += "CREATE TABLE " + quoted(IndexesTable) + " (tbl TEXT NOT NULL, pos INTEGER NOT NULL,"
           " name TEXT NOT NULL, field TEXT NOT NULL, descending INTEGER NOT NULL,"
           " isUnique INTEGER NOT NULL, isPrimary INTEGER NOT NULL,"
           " PRIMARY KEY (tbl, pos)) STRICT;";
    sql += "CREATE TABLE " + quoted(SavedTable) + " (saveId INTEGER NOT NULL) STRICT;";
    sql += "INSERT INTO " + quoted(SavedTable) + " VALUES (0);";
    sql += "CREATE TABLE " + quoted(StoreCheckTable) + " (tbl TEXT PRIMARY KEY,"
           " rows INTEGER NOT NULL, checksums INTEGER NOT NULL) STRICT;";
    sql += "CREATE TABLE " + quoted(SettingsTable) + " (name TEXT PRIMARY KEY,"
           " value BLOB NOT NULL, " + quoted(CheckColumn) + " INTEGER NOT NULL) STRICT;";
    db.exec(sql);
}

void dropTables(SqlConnection &db)
{
    std::string sql;
    for (const TableSchema *schema : allSchemas())
        sql += "DROP TABLE IF EXISTS " + quoted(schema->name) + ";";
    for (const char *table :
         {FieldsTable, IndexesTable, SavedTable, StoreCheckTable, SettingsTable})
        sql += "DROP TABLE IF EXISTS " + quoted(table) + ";";
    db.exec(sql);
}

void writeDefinitions(SqlConnection &db)
{
    SqlStatement fields(db,
                        "INSERT INTO " + quoted(FieldsTable) + " VALUES (?, ?, ?, ?, ?, ?)");
    SqlStatement indexes(db, "INSERT INTO " + quoted(IndexesTable)
                                 + " VALUES (?, ?, ?, ?, ?, ?, ?)");
    for (const TableSchema *schema : allSchemas()) {
        std::int64_t pos = 0;
        for (const FieldDef &f : schema->fields) {
            if (f.kind == FieldKind::Calculated)
                continue;
            fields.bind(1, schema->name);
            fields.bind(2, pos++);
            fields.bind(3, f.name);
            fields.bind(4, std::string(kindName(f.kind)));
            fields.bind(5, std::int64_t{f.size});
            fields.bind(6, std::int64_t{f.required});
            fields.run();
        }
        pos = 0;
        for (const IndexDef &ix : schema->indexes) {
            indexes.bind(1, schema->name);
            indexes.bind(2, pos++);
            indexes.bind(3, ix.name);
            indexes.bind(4, ix.field);
            indexes.bind(5, std::int64_t{ix.descending});
            indexes.bind(6, std::int64_t{ix.unique});
            indexes.bind(7, std::int64_t{ix.primary});
            indexes.run();
        }
    }
}

[[noreturn]] void wrongKind(const TableSchema &schema, const FieldDef &field)
{
    throw DatabaseError("Field '" + field.name + "' of table " + schema.name
                        + " holds a value of the wrong kind");
}

void bindValue(SqlStatement &st, int column, const TableSchema &schema, const FieldDef &field,
               const Value &value)
{
    if (std::holds_alternative<std::monostate>(value)) {
        st.bindNull(column);
        return;
    }
    switch (field.kind) {
    case FieldKind::String:
    case FieldKind::Memo:
        if (const auto *s = std::get_if<std::string>(&value))
            return st.bind(column, *s);
        break;
    case FieldKind::Float:
        if (const auto *d = std::get_if<double>(&value))
            return st.bind(column, *d);
        break;
    case FieldKind::Boolean:
        if (const auto *b = std::get_if<bool>(&value))
            return st.bind(column, std::int64_t{*b});
        break;
    case FieldKind::DateTime:
        if (const auto *t = std::get_if<DateTime>(&value))
            return st.bind(column, t->msecs);
        break;
    case FieldKind::AutoInc:
        if (const auto *i = std::get_if<std::int64_t>(&value))
            return st.bind(column, *i);
        break;
    default:
        break;
    }
    wrongKind(schema, field);
}

void checkShape(const TableSchema &schema, const RowData &row, std::size_t nestedCount)
{
    if (row.values.size() != schema.fields.size() || row.nested.size() != nestedCount)
        throw DatabaseError("A row of table " + schema.name
                            + " does not match the table's layout");
}

// Binds the stored fields from column `first` on; returns the next free column.
int bindFields(SqlStatement &st, int first, const TableSchema &schema, const RowData &row)
{
    int column = first;
    for (const auto &[index, field] : storedFields(schema))
        bindValue(st, column++, schema, *field, row.values[static_cast<std::size_t>(index)]);
    return column;
}

// The statements that write and delete records under their keys, keeping count of what
// they change in the check of the whole store.
class RecordWriter
{
public:
    explicit RecordWriter(SqlConnection &db)
        : m_insertRecord(db, "INSERT INTO " + quoted(mainSchema().name) + " VALUES ("
                                 + placeholders(2 + storedFields(mainSchema()).size()
                                                + nestedFieldNames().size())
                                 + ")")
        , m_deleteRecord(db, "DELETE FROM " + quoted(mainSchema().name) + " WHERE "
                                 + quoted(PosColumn) + " = ? RETURNING " + quoted(CheckColumn))
        , m_added(emptyTally())
        , m_removed(emptyTally())
    {
        for (std::size_t slot = 0; slot < nestedFieldNames().size(); ++slot) {
            const TableSchema &schema = nestedSchema(slot);
            m_insertNested.push_back(std::make_unique<SqlStatement>(
                db, "INSERT INTO " + quoted(schema.name) + " VALUES ("
                        + placeholders(3 + storedFields(schema).size()) + ")"));
            m_deleteNested.push_back(std::make_unique<SqlStatement>(
                db, "DELETE FROM " + quoted(schema.name) + " WHERE " + quoted(RecordColumn)
                        + " = ? RETURNING " + quoted(CheckColumn)));
        }
    }

    // The rows written and the rows deleted, as their checksums in the file said.
    const StoreTally &added() const { return m_added; }
    const StoreTally &removed() const { return m_removed; }

    void write(std::int64_t key, const RowData &record)
    {
        const std::size_t nestedCount = nestedFieldNames().size();
        checkShape(mainSchema(), record, nestedCount);
        m_insertRecord.bind(1, key);
        int column = bindFields(m_insertRecord, 2, mainSchema(), record);
        for (const NestedRows &rows : record.nested)
            m_insertRecord.bind(column++, rows.nextInc);
        const std::int64_t checksum = recordChecksum(key, record, storedFields(mainSchema()));
        m_insertRecord.bind(column, checksum);
        m_insertRecord.run();
        m_added[0].add(checksum);

        for (std::size_t slot = 0; slot < nestedCount; ++slot) {
            const TableSchema &schema = nestedSchema(slot);
            const StoredFields fields = storedFields(schema);
            const std::vector<RowData> &rows = record.nested[slot].rows;
            SqlStatement &st = *m_insertNested[slot];
            for (std::size_t n = 0; n < rows.size(); ++n) {
                checkShape(schema, rows[n], 0);
                const auto pos = static_cast<std::int64_t>(n);
                st.bind(1, key);
                st.bind(2, pos);
                const int last = bindFields(st, 3, schema, rows[n]);
                const std::int64_t checksum = nestedChecksum(key, pos, rows[n], fields);
                st.bind(last, checksum);
                st.run();
                m_added[slot + 1].add(checksum);
            }
        }
    }

    void remove(std::int64_t key)
    {
        for (std::size_t slot = 0; slot < m_deleteNested.size(); ++slot)
            deleteRows(*m_deleteNested[slot], key, m_removed[slot + 1]);
        deleteRows(m_deleteRecord, key, m_removed[0]);
    }

private:
    static void deleteRows(SqlStatement &st, std::int64_t key, TableTally &tally)
    {
        st.bind(1, key);
        while (st.step())
            tally.add(st.integer(0));
        st.reset();
    }

    SqlStatement m_insertRecord;
    SqlStatement m_deleteRecord;
    std::vector<std::unique_ptr<SqlStatement>> m_insertNested;
    std::vector<std::unique_ptr<SqlStatement>> m_deleteNested;
    StoreTally m_added;
    StoreTally m_removed;
};

// The records to write: all of them under their keys, or only those in a change log; the
// settings with all of them, or when the log says they changed.
struct WriteRequest
{
    const std::vector<RowData> &records;
    const Settings &settings;
    const std::vector<std::int64_t> &keys; // empty: 1, 2, 3 ...
    const StoreChanges *changes;           // nullptr: write everything
};

// Replaces the settings the file holds; returns their tally.
TableTally writeSettings(SqlConnection &db, const Settings &settings)
{
    db.exec("DELETE FROM " + quoted(SettingsTable));
    SqlStatement insert(db, "INSERT INTO " + quoted(SettingsTable) + " VALUES (?, ?, ?)");
    TableTally tally;
    for (const auto &[name, value] : settings) {
        const std::int64_t checksum = settingChecksum(name, value);
        insert.bind(1, name);
        insert.bindBlob(2, value);
        insert.bind(3, checksum);
        insert.run();
        tally.add(checksum);
    }
    return tally;
}

std::int64_t keyOf(const WriteRequest &request, std::size_t i)
{
    return request.keys.empty() ? static_cast<std::int64_t>(i) + 1 : request.keys[i];
}

void writeStoreCheck(SqlConnection &db, const StoreTally &tally)
{
    SqlStatement st(db, "INSERT OR REPLACE INTO " + quoted(StoreCheckTable) + " VALUES (?, ?, ?)");
    const std::vector<std::string> tables = talliedTables();
    for (std::size_t t = 0; t < tables.size(); ++t) {
        st.bind(1, tables[t]);
        st.bind(2, tally[t].rows);
        st.bind(3, static_cast<std::int64_t>(tally[t].sum));
        st.run();
    }
}

// The check of the whole store as the file holds it; DatabaseError when it is not there whole.
StoreTally readStoreCheck(SqlConnection &db)
{
    SqlStatement st(db, "SELECT rows, checksums FROM " + quoted(StoreCheckTable)
                            + " WHERE tbl = ?");
    const std::vector<std::string> tables = talliedTables();
    StoreTally tally = emptyTally();
    for (std::size_t t = 0; t < tables.size(); ++t) {
        st.bind(1, tables[t]);
        if (!st.step())
            throw DatabaseError("The database has lost the check of its whole store");
        tally[t].rows = readInteger(st, 0, "row count");
        tally[t].sum = static_cast<std::uint64_t>(readInteger(st, 1, "checksum"));
        st.reset();
    }
    return tally;
}

void writeAll(SqlConnection &db, const WriteRequest &request)
{
    if (!request.keys.empty() && request.keys.size() != request.records.size())
        throw DatabaseError("The records do not match their storage keys");
    createTables(db);
    writeDefinitions(db);
    RecordWriter writer(db);
    for (std::size_t i = 0; i < request.records.size(); ++i)
        writer.write(keyOf(request, i), request.records[i]);
    StoreTally tally = writer.added();
    tally.back() = writeSettings(db, request.settings);
    writeStoreCheck(db, tally);
}

// Only the records in the change log; the check of the whole store moves by what they change,
// so that damage done to the file's other rows stays visible.
void writeChanges(SqlConnection &db, const WriteRequest &request)
{
    StoreTally tally = readStoreCheck(db);
    RecordWriter writer(db);
    for (const std::int64_t key : request.changes->removed)
        writer.remove(key);
    for (const std::int64_t key : request.changes->changed) {
        const auto at = std::lower_bound(request.keys.begin(), request.keys.end(), key);
        if (at == request.keys.end() || *at != key)
            throw DatabaseError("A changed record has no storage key");
        writer.remove(key);
        writer.write(key, request.records[static_cast<std::size_t>(at - request.keys.begin())]);
    }
    for (std::size_t t = 0; t + 1 < tally.size(); ++t) {
        tally[t].rows += writer.added()[t].rows - writer.removed()[t].rows;
        tally[t].sum += writer.added()[t].sum - writer.removed()[t].sum;
    }
    if (request.changes->settingsChanged)
        tally.back() = writeSettings(db, request.settings);
    writeStoreCheck(db, tally);
}

void markSaved(SqlConnection &db, std::int64_t saveId)
{
    db.exec("UPDATE " + quoted(SavedTable) + " SET saveId = " + std::to_string(saveId)
            + "; PRAGMA application_id = " + std::to_string(ApplicationId)
            + "; PRAGMA user_version = " + std::to_string(LayoutVersion) + ";");
}

std::int64_t newSaveId()
{
    std::random_device device;
    std::uniform_int_distribution<std::int64_t> pick(1, std::numeric_limits<std::int64_t>::max());
    return pick(device);
}

// ---- reading ----

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

// The layout of a file of ours, or DatabaseError.
int checkHeader(SqlConnection &db)
{
    if (pragmaValue(db, "application_id") != ApplicationId)
        throw DatabaseError("The file is not a Kelvora database");
    const std::int64_t version = pragmaValue(db, "user_version");
    if (version > LayoutVersion)
        throw DatabaseError("The database has layout " + std::to_string(version)
                            + ", written by a newer version of Kelvora; this one reads layouts"
                              " up to "
                            + std::to_string(LayoutVersion));
    if (version < LayoutWithoutChecksums)
        throw DatabaseError("The database layout " + std::to_string(version)
                            + " is not one this program reads");
    return static_cast<int>(version);
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

// The tables of every layout must be there, and the program's own tables and columns must be
// those of the file's layout version: a version set back by hand would otherwise turn the
// checks off, and one set forward would take a file without checks for a checked one.
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
    bool agrees = hasTable(db, SavedTable) == checked
                  && hasTable(db, StoreCheckTable) == (version == LayoutVersion)
                  && hasTable(db, SettingsTable) == (version == LayoutVersion);
    for (const TableSchema *schema : allSchemas())
        agrees = agrees && (columnsOf(db, schema->name).count(CheckColumn) > 0) == checked;
    if (!agrees)
        throw DatabaseError("The database is damaged: its layout version "
                            + std::to_string(version) + " does not match the tables it holds");
}

void checkIntegrity(SqlConnection &db)
{
    SqlStatement check(db, "PRAGMA quick_check");
    if (!check.step() || check.text(0) != "ok")
        throw DatabaseError("The database is damaged: its integrity check fails");
}

// The stored fields that a file holds of each table, in the order of allSchemas().
using FileFields = std::vector<StoredFields>;

// The field list of each table in the file must be ours: names and kinds in layout order. A
// table's fields are only ever appended at its end, so a file written before that holds the
// first ones of them; it holds every nested table all the same. A field the program does not
// know is another layout.
FileFields checkDefinitions(SqlConnection &db)
{
    SqlStatement fields(db, "SELECT name, kind FROM " + quoted(FieldsTable)
                                + " WHERE tbl = ? ORDER BY pos");
    FileFields held;
    for (const TableSchema *schema : allSchemas()) {
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
        if (!ended && fields.step())
            throw anotherLayout();
        fields.reset();
    }
    // The list of index definitions must be there too.
    SqlStatement indexes(db, "SELECT count(*) FROM " + quoted(IndexesTable));
    indexes.step();
    return held;
}

// True when the file holds every field of every table.
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

[[noreturn]] void checksumFails(const TableSchema &schema)
{
    throw DatabaseError("The database is damaged: a row of table " + schema.name
                        + " does not match its checksum");
}

// The settings of a file of the current layout, each checked against its checksum and counted
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

StoreData readRecords(SqlConnection &db, int version, const FileFields &held)
{
    const bool checked = version > LayoutWithoutChecksums;
    StoreTally tally = emptyTally();
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
    if (version == LayoutVersion) {
        data.settings = readSettings(db, tally.back());
        const StoreTally saved = readStoreCheck(db);
        const std::vector<std::string> tables = talliedTables();
        for (std::size_t t = 0; t < tables.size(); ++t) {
            if (tally[t] != saved[t])
                throw DatabaseError("The database is damaged: table " + tables[t]
                                    + " holds other rows than its last save wrote");
        }
    }
    data.fromFile = true;
    return data;
}

// ---- the file ----

// A file that did not exist: written whole under a temporary name beside it, synced and moved
// into place, never over a file that appeared meanwhile.
void writeNewFile(const std::string &path, const std::string &file, const WriteRequest &request,
                  std::int64_t saveId)
{
    const std::string temporary = createTemporaryFile(file);
    try {
        SqlConnection db(temporary, SQLITE_OPEN_READWRITE);
        // The file is moved into place only when complete, so SQLite need not guard it.
        db.exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN");
        writeAll(db, request);
        markSaved(db, saveId);
        db.exec("COMMIT");
        db.close();
        if (const int error = syncFile(temporary))
            throw DatabaseError(systemErrorText(error));
        const int error = moveWithoutReplacing(temporary, file);
        if (error == EEXIST)
            throw DatabaseChangedError(databaseChangedText(path));
        if (error != 0)
            throw DatabaseError(systemErrorText(error));
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    // The new file is in place; syncing the folder only makes the move durable, so a failure
    // here is not a failed save.
    syncFolderOf(file);
}

void writeInPlace(const std::string &path, const std::string &file,
                  const WriteRequest &request, std::int64_t saveId)
{
    SqlConnection db(file, SQLITE_OPEN_READWRITE);
    db.exec("PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL; BEGIN IMMEDIATE");
    const int version = checkHeader(db);
    const StoreChanges *changes = request.changes;
    if (changes) {
        // Another save since the store read the file: what it wrote is never overwritten.
        const std::int64_t mark = version == LayoutWithoutChecksums ? 0 : readSaveId(db);
        if (!changes->fromFile || mark != changes->saveId)
            throw DatabaseChangedError(databaseChangedText(path));
    }
    const bool whole = changes == nullptr || version != LayoutVersion || changes->saveId == 0
                       || !holdsEveryField(checkDefinitions(db));
    if (whole) {
        dropTables(db);
        writeAll(db, request);
    } else {
        writeChanges(db, request);
    }
    markSaved(db, saveId);
    db.exec("COMMIT");
    db.close();
}

// After a failed write SQLite may leave its journal for the next reader to roll back (it
// does so after an I/O error): that is done at once, so that the file is the old one again.
void rollBackNow(const std::string &file)
{
    try {
        SqlConnection db(file, SQLITE_OPEN_READWRITE);
        db.exec("SELECT count(*) FROM sqlite_schema");
    } catch (const Error &) {
        // The next load tries again.
    }
}

// Writes the request; returns the save id it marked the file with.
std::int64_t writeStore(const std::string &path, const WriteRequest &request)
{
    // A file-size limit then fails the write with EFBIG, instead of killing the program
    // halfway through a save.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::int64_t saveId = newSaveId();
    const std::string file = linkTarget(path);
    try {
        struct stat status{};
        if (::stat(file.c_str(), &status) != 0) {
            if (errno != ENOENT)
                throw DatabaseError(systemErrorText(errno));
            writeNewFile(path, file, request, saveId);
            return saveId;
        }
        if (S_ISDIR(status.st_mode))
            throw DatabaseError(systemErrorText(EISDIR));
        // A file that the user has made read-only to protect it stays as it is.
        if (!S_ISREG(status.st_mode) || (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            throw DatabaseError(systemErrorText(EACCES));
        // A file there although the store started without one: someone else made it.
        if (request.changes && !request.changes->fromFile)
            throw DatabaseChangedError(databaseChangedText(path));
        try {
            writeInPlace(path, file, request, saveId);
        } catch (const DatabaseError &) {
            rollBackNow(file);
            throw;
        }
    } catch (const DatabaseError &e) {
        throw Error(cannotCreateText(path, e.what()));
    } catch (const DatabaseBusyError &) {
        throw DatabaseBusyError(databaseBusyText(path));
    }
    return saveId;
}

} // namespace

StoreData loadDatabase(const std::string &path)
{
    // Opened for writing when the file allows it, so that SQLite can roll back the
    // transaction of a save that was killed; reading writes nothing else.
    SqlConnection db(linkTarget(path), SQLITE_OPEN_READWRITE);
    db.exec("BEGIN");
    const int version = checkHeader(db);
    checkIntegrity(db);
    checkTables(db, version);
    StoreData data = readRecords(db, version, checkDefinitions(db));
    db.exec("COMMIT");
    return data;
}

void saveDatabase(const std::string &path, const StoreData &data)
{
    writeStore(path, WriteRequest{data.records, data.settings, data.keys, nullptr});
}

void saveDatabase(const std::string &path, Store &store)
{
    const std::int64_t saveId =
        writeStore(path, WriteRequest{store.records(), store.settings(), store.keys(),
                                      &store.changes()});
    store.changesSaved(saveId);
}

} // namespace kelvora
