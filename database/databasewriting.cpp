#include "database/databasewriting.h"

#include "database/databaselayout.h"
#include "database/rowchecksum.h"
#include "database/sqlitedb.h"
#include "database/storecheck.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <random>

namespace kelvora {

namespace {

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
    case FieldKind::Integer:
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

} // namespace

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

} // namespace kelvora
