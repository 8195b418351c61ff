#include "records/database.h"

#include "records/sqlitedb.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <unistd.h>
#include <utility>

namespace kelvora {

namespace {

// PRAGMA application_id of our files ("Klvr"); any other value is a foreign file.
constexpr int ApplicationId = 0x4B6C7672;
// PRAGMA user_version: the layout of the tables below.
constexpr int LayoutVersion = 1;

// Own columns besides the fields: a row's storage position, a nested row's record, and
// the next auto-increment value of each nested table of a record.
constexpr const char *PosColumn = "_pos";
constexpr const char *RecordColumn = "_record";
constexpr const char *NextIncSuffix = "_nextInc";
constexpr const char *FieldsTable = "_fields";
constexpr const char *IndexesTable = "_indexes";

std::string quoted(const std::string &name)
{
    return '"' + name + '"';
}

bool isStored(FieldKind kind)
{
    return kind != FieldKind::Nested && kind != FieldKind::Calculated;
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
std::vector<std::string> nestedFieldNames()
{
    std::vector<std::string> names;
    for (const FieldDef &f : mainSchema().fields)
        if (f.kind == FieldKind::Nested)
            names.push_back(f.name);
    return names;
}

// The fields that have a column, in layout order, with their positions in RowData::values.
std::vector<std::pair<int, const FieldDef *>> storedFields(const TableSchema &schema)
{
    std::vector<std::pair<int, const FieldDef *>> result;
    for (std::size_t i = 0; i < schema.fields.size(); ++i)
        if (isStored(schema.fields[i].kind))
            result.emplace_back(static_cast<int>(i), &schema.fields[i]);
    return result;
}

// Column list of a table: own leading columns, then the stored fields.
std::string columnList(const std::vector<std::string> &leading, const TableSchema &schema,
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
    for (const auto &[index, field] : storedFields(schema))
        add(field->name);
    for (const std::string &c : trailing)
        add(c);
    return list;
}

std::vector<std::string> nextIncColumns()
{
    std::vector<std::string> columns;
    for (const std::string &name : nestedFieldNames())
        columns.push_back(name + NextIncSuffix);
    return columns;
}

// ---- writing ----

void createTables(SqlConnection &db)
{
    std::string sql = "CREATE TABLE " + quoted(mainSchema().name) + " ("
                      + quoted(PosColumn) + " INTEGER PRIMARY KEY";
    for (const auto &[index, field] : storedFields(mainSchema()))
        sql += ", " + quoted(field->name) + " " + columnType(field->kind);
    for (const std::string &column : nextIncColumns())
        sql += ", " + quoted(column) + " INTEGER NOT NULL";
    sql += ") STRICT;";
    for (std::size_t slot = 0; slot < nestedFieldNames().size(); ++slot) {
        const TableSchema &schema = nestedSchema(slot);
        sql += "CREATE TABLE " + quoted(schema.name) + " (" + quoted(RecordColumn)
               + " INTEGER NOT NULL REFERENCES " + quoted(mainSchema().name) + ", "
               + quoted(PosColumn) + " INTEGER NOT NULL";
        for (const auto &[index, field] : storedFields(schema))
            sql += ", " + quoted(field->name) + " " + columnType(field->kind);
        sql += ", PRIMARY KEY (" + quoted(RecordColumn) + ", " + quoted(PosColumn)
               + ")) STRICT;";
    }
    sql += "CREATE TABLE " + quoted(FieldsTable) + " (tbl TEXT NOT NULL, pos INTEGER NOT NULL,"
           " name TEXT NOT NULL, kind TEXT NOT NULL, size INTEGER NOT NULL,"
           " required INTEGER NOT NULL, PRIMARY KEY (tbl, pos)) STRICT;";
    sql += "CREATE TABLE " + quoted(IndexesTable) + " (tbl TEXT NOT NULL, pos INTEGER NOT NULL,"
           " name TEXT NOT NULL, field TEXT NOT NULL, descending INTEGER NOT NULL,"
           " isUnique INTEGER NOT NULL, isPrimary INTEGER NOT NULL,"
           " PRIMARY KEY (tbl, pos)) STRICT;";
    db.exec(sql);
}

std::vector<const TableSchema *> allSchemas()
{
    std::vector<const TableSchema *> schemas{&mainSchema()};
    for (std::size_t slot = 0; slot < nestedFieldNames().size(); ++slot)
        schemas.push_back(&nestedSchema(slot));
    return schemas;
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

void writeRecords(SqlConnection &db, const StoreData &data)
{
    const std::size_t nestedCount = nestedFieldNames().size();
    auto placeholders = [](std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i)
            s += i ? ", ?" : "?";
        return s;
    };
    SqlStatement records(db, "INSERT INTO " + quoted(mainSchema().name) + " VALUES ("
                                 + placeholders(1 + storedFields(mainSchema()).size()
                                                + nestedCount)
                                 + ")");
    std::vector<std::unique_ptr<SqlStatement>> nested;
    for (std::size_t slot = 0; slot < nestedCount; ++slot) {
        const TableSchema &schema = nestedSchema(slot);
        nested.push_back(std::make_unique<SqlStatement>(
            db, "INSERT INTO " + quoted(schema.name) + " VALUES ("
                    + placeholders(2 + storedFields(schema).size()) + ")"));
    }

    for (std::size_t r = 0; r < data.records.size(); ++r) {
        const RowData &record = data.records[r];
        checkShape(mainSchema(), record, nestedCount);
        records.bind(1, static_cast<std::int64_t>(r));
        int column = bindFields(records, 2, mainSchema(), record);
        for (const NestedRows &rows : record.nested)
            records.bind(column++, rows.nextInc);
        records.run();

        for (std::size_t slot = 0; slot < nestedCount; ++slot) {
            const TableSchema &schema = nestedSchema(slot);
            const std::vector<RowData> &rows = record.nested[slot].rows;
            for (std::size_t n = 0; n < rows.size(); ++n) {
                checkShape(schema, rows[n], 0);
                SqlStatement &st = *nested[slot];
                st.bind(1, static_cast<std::int64_t>(r));
                st.bind(2, static_cast<std::int64_t>(n));
                bindFields(st, 3, schema, rows[n]);
                st.run();
            }
        }
    }
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

// Fills the stored fields of a row from column `first` on; returns the next column.
int readFields(const SqlStatement &st, int first, const TableSchema &schema, RowData &row)
{
    row.values.assign(schema.fields.size(), std::monostate{});
    int column = first;
    for (const auto &[index, field] : storedFields(schema))
        row.values[static_cast<std::size_t>(index)] = readValue(st, column++, schema, *field);
    return column;
}

std::int64_t readNextInc(const SqlStatement &st, int column)
{
    if (st.type(column) != SQLITE_INTEGER)
        throw DatabaseError("The database holds a bad auto-increment value");
    return st.integer(column);
}

std::int64_t pragmaValue(SqlConnection &db, const std::string &pragma)
{
    SqlStatement st(db, "PRAGMA " + pragma);
    if (!st.step())
        throw DatabaseError("The database does not answer PRAGMA " + pragma);
    return st.integer(0);
}

void checkHeader(SqlConnection &db)
{
    if (pragmaValue(db, "application_id") != ApplicationId)
        throw DatabaseError("The file is not a Kelvora database");
    const std::int64_t version = pragmaValue(db, "user_version");
    if (version != LayoutVersion)
        throw DatabaseError("The database layout " + std::to_string(version)
                            + " is not the one this program reads");
    SqlStatement check(db, "PRAGMA quick_check");
    const std::string answer = check.step() ? check.text(0) : std::string();
    if (answer != "ok")
        throw DatabaseError("The database is damaged: " + answer);
}

// The field list in the file must be ours: names and kinds in layout order.
void checkDefinitions(SqlConnection &db)
{
    SqlStatement fields(db, "SELECT name, kind FROM " + quoted(FieldsTable)
                                + " WHERE tbl = ? ORDER BY pos");
    for (const TableSchema *schema : allSchemas()) {
        fields.bind(1, schema->name);
        for (const FieldDef &f : schema->fields) {
            if (f.kind == FieldKind::Calculated)
                continue;
            if (!fields.step() || fields.text(0) != f.name || fields.text(1) != kindName(f.kind))
                throw DatabaseError("The database holds another layout of table "
                                    + schema->name);
        }
        if (fields.step())
            throw DatabaseError("The database holds another layout of table " + schema->name);
        fields.reset();
    }
    // The list of index definitions must be there too.
    SqlStatement indexes(db, "SELECT count(*) FROM " + quoted(IndexesTable));
    indexes.step();
}

StoreData readRecords(SqlConnection &db)
{
    const std::size_t nestedCount = nestedFieldNames().size();
    StoreData data;
    std::map<std::int64_t, std::size_t> recordAt; // storage position → index in data
    SqlStatement records(db, "SELECT "
                                 + columnList({PosColumn}, mainSchema(), nextIncColumns())
                                 + " FROM " + quoted(mainSchema().name) + " ORDER BY "
                                 + quoted(PosColumn));
    while (records.step()) {
        RowData record;
        int column = readFields(records, 1, mainSchema(), record);
        record.nested.resize(nestedCount);
        for (NestedRows &rows : record.nested)
            rows.nextInc = readNextInc(records, column++);
        recordAt[records.integer(0)] = data.records.size();
        data.records.push_back(std::move(record));
    }

    for (std::size_t slot = 0; slot < nestedCount; ++slot) {
        const TableSchema &schema = nestedSchema(slot);
        SqlStatement rows(db, "SELECT " + columnList({RecordColumn}, schema) + " FROM "
                                  + quoted(schema.name) + " ORDER BY " + quoted(RecordColumn)
                                  + ", " + quoted(PosColumn));
        while (rows.step()) {
            const auto owner = recordAt.find(rows.integer(0));
            if (owner == recordAt.end())
                throw DatabaseError("A row of table " + schema.name + " has no record");
            RowData row;
            readFields(rows, 1, schema, row);
            data.records[owner->second].nested[slot].rows.push_back(std::move(row));
        }
    }
    return data;
}

// ---- the file ----

std::string fullPath(const std::string &path)
{
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.string();
}

std::string systemReason(int error)
{
    return std::strerror(error);
}

// Creates a new empty file path + ".tmp-XXXXXX" and returns its name.
std::string createTemporaryFile(const std::string &path)
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof Letters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = path + ".tmp-";
        for (int i = 0; i < 6; ++i)
            name += Letters[pick(device)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            throw DatabaseError(systemReason(errno));
    }
    throw DatabaseError(systemReason(EEXIST));
}

// Flushes a file or folder to the disk; returns 0 or the errno of the failure.
int syncPath(const std::string &path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

void writeFile(const std::string &file, const StoreData &data)
{
    SqlConnection db(file, SQLITE_OPEN_READWRITE);
    // The file is renamed into place only when complete, so SQLite need not guard it.
    db.exec("PRAGMA journal_mode = MEMORY; PRAGMA synchronous = OFF;");
    db.exec("BEGIN");
    db.exec("PRAGMA application_id = " + std::to_string(ApplicationId)
            + "; PRAGMA user_version = " + std::to_string(LayoutVersion) + ";");
    createTables(db);
    writeDefinitions(db);
    writeRecords(db, data);
    db.exec("COMMIT");
    db.close();
}

} // namespace

StoreData loadDatabase(const std::string &path)
{
    SqlConnection db(path, SQLITE_OPEN_READONLY);
    checkHeader(db);
    checkDefinitions(db);
    return readRecords(db);
}

void saveDatabase(const std::string &path, const StoreData &data)
{
    std::string temporary;
    try {
        // The save replaces the file by renaming, which would go past a file that the user has
        // made read-only to protect it.
        struct stat status{};
        if (::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)
            && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            throw DatabaseError(systemReason(EACCES));
        temporary = createTemporaryFile(path);
        writeFile(temporary, data);
        if (const int error = syncPath(temporary, O_RDONLY))
            throw DatabaseError(systemReason(error));
        if (::rename(temporary.c_str(), path.c_str()) != 0)
            throw DatabaseError(systemReason(errno));
    } catch (const DatabaseError &e) {
        if (!temporary.empty())
            ::unlink(temporary.c_str());
        throw Error("Cannot create file \"" + fullPath(path) + "\". " + e.what());
    }
    // The new file is in place; syncing the folder only makes the rename durable, so a
    // failure here is not a failed save.
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    syncPath(folder.empty() ? "." : folder.string(), O_RDONLY | O_DIRECTORY);
}

} // namespace kelvora
