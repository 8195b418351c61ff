#pragma once

#include "casename.h"
#include "database/database.h"
#include "database/rowchecksum.h"
#include "tempdir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

// Helpers of the database tests: stores built by hand, their comparison, and a fresh folder
// per test.
namespace kelvora::dbtest {

namespace fs = std::filesystem;

using testcase::CaseName;
using testcase::PrintTo;

// ---- building stores by hand ----

inline void set(RowData &row, const TableSchema &schema, std::string_view field, Value value)
{
    row.values.at(static_cast<std::size_t>(schema.fieldIndex(field))) = std::move(value);
}

inline RowData makeRecord(const std::string &name, std::int64_t createdMs)
{
    RowData r;
    r.values.assign(mainSchema().fields.size(), std::monostate{});
    r.nested.resize(2);
    set(r, mainSchema(), "Name", name);
    set(r, mainSchema(), "Created", DateTime{createdMs});
    set(r, mainSchema(), "Computed", false);
    return r;
}

inline RowData makePoint(std::int64_t inc, double s, double t)
{
    RowData r;
    r.values.assign(bbSchema().fields.size(), std::monostate{});
    set(r, bbSchema(), "inc", inc);
    set(r, bbSchema(), "S", s);
    set(r, bbSchema(), "T", t);
    return r;
}

inline RowData makeMeasurement(std::int64_t inc, Value s, Value t)
{
    RowData r;
    r.values.assign(interpSchema().fields.size(), std::monostate{});
    set(r, interpSchema(), "inc", inc);
    set(r, interpSchema(), "S", std::move(s));
    set(r, interpSchema(), "T", std::move(t));
    return r;
}

// 2024-03-05 14:07:09.123 as milliseconds of the local calendar.
inline constexpr std::int64_t SomeTimeMs = 1709647629123;

inline StoreData oneRecordStore(const std::string &name = "Pyrometer")
{
    StoreData data;
    RowData r = makeRecord(name, SomeTimeMs);
    set(r, mainSchema(), "MeanWL", 0.65);
    r.nested[0].rows = {makePoint(1, 0.01, 1234.93), makePoint(2, 0.2, 1357.77)};
    r.nested[0].nextInc = 3;
    data.records.push_back(std::move(r));
    return data;
}

// Compares field by field, naming what differs. Value equality includes its kind.
inline void expectSameRows(const std::vector<RowData> &expected,
                           const std::vector<RowData> &actual, const TableSchema &schema,
                           const std::string &where)
{
    ASSERT_EQ(expected.size(), actual.size()) << where;
    for (std::size_t r = 0; r < expected.size(); ++r) {
        const std::string at = where + " row " + std::to_string(r);
        ASSERT_EQ(expected[r].values.size(), actual[r].values.size()) << at;
        for (std::size_t f = 0; f < expected[r].values.size(); ++f)
            EXPECT_TRUE(expected[r].values[f] == actual[r].values[f])
                << at << " field " << schema.fields[f].name;
        ASSERT_EQ(expected[r].nested.size(), actual[r].nested.size()) << at;
        for (std::size_t n = 0; n < expected[r].nested.size(); ++n) {
            const TableSchema &nested = n == 0 ? bbSchema() : interpSchema();
            EXPECT_EQ(expected[r].nested[n].nextInc, actual[r].nested[n].nextInc)
                << at << " nextInc of " << nested.name;
            expectSameRows(expected[r].nested[n].rows, actual[r].nested[n].rows, nested,
                           at + " " + nested.name);
        }
    }
}

inline void expectSameStore(const StoreData &expected, const StoreData &actual)
{
    expectSameRows(expected.records, actual.records, mainSchema(), "record");
    EXPECT_EQ(expected.settings, actual.settings) << "settings";
}

// ---- files ----

using test::readWholeFile;
using test::writeWholeFile;

inline std::vector<std::string> folderEntries(const fs::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder per test with the paths of the database and its backup in it.
class DatabaseFolder : public test::TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        folder = dir();
        dbPath = pathOf("kelvora.dbs");
        bakPath = pathOf("kelvora.bak");
    }

    fs::path folder;
    std::string dbPath;
    std::string bakPath;
};

inline std::string longMemo()
{
    std::string text;
    for (int line = 0; text.size() < 300000; ++line)
        text += "Line " + std::to_string(line) + " of the comments\r\n";
    return text;
}

// ---- files changed behind the program's back ----

// The layout version the program writes.
inline constexpr int CurrentLayout = 4;

inline void execSql(const std::string &path, const std::string &sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char *error = nullptr;
    const std::string quick = "PRAGMA synchronous = OFF; " + sql;
    const int rc = sqlite3_exec(db, quick.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

// Runs one statement with values bound; it must change exactly one row.
inline void changeOneRow(const std::string &path, const std::string &sql,
                         const std::vector<std::variant<std::int64_t, double>> &values)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt *st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int column = static_cast<int>(i) + 1;
        if (const auto *number = std::get_if<double>(&values[i]))
            sqlite3_bind_double(st, column, *number);
        else
            sqlite3_bind_int64(st, column, std::get<std::int64_t>(values[i]));
    }
    EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
    EXPECT_EQ(sqlite3_changes(db), 1);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

// The first column of the first row of a query, as text; empty when there is none.
inline std::string queryText(const std::string &path, const std::string &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    std::string text;
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
        text = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return text;
}

inline std::int64_t pragma(const std::string &path, const std::string &name)
{
    const std::string value = queryText(path, "PRAGMA " + name);
    return value.empty() ? -1 : std::stoll(value);
}

// Makes a file of the current layout one of an older layout: 3 held the whole-number fields as
// Float columns, 2 had no check of the whole store and no settings either, 1 neither those nor
// checksums and a save mark. The whole-number fields must be empty, as the checksums cover the
// kind of a value.
inline void toLayout(const std::string &path, int layout)
{
    std::string sql;
    if (layout < CurrentLayout) {
        std::string create =
            queryText(path, "SELECT sql FROM sqlite_schema WHERE name = 'cdsMain'");
        for (const FieldDef &field : mainSchema().fields) {
            const std::string column = '"' + field.name + "\" INTEGER";
            if (field.kind == FieldKind::Integer && create.find(column) != std::string::npos)
                create.replace(create.find(column), column.size(),
                               '"' + field.name + "\" REAL");
        }
        create.replace(create.find("\"cdsMain\""), 9, "former");
        sql += create + "; INSERT INTO former SELECT * FROM cdsMain; DROP TABLE cdsMain;"
                        " ALTER TABLE former RENAME TO cdsMain;"
                        " UPDATE _fields SET kind = 'Float' WHERE kind = 'Integer';";
    }
    if (layout < 3)
        sql += "DROP TABLE _store; DROP TABLE _settings;";
    if (layout == 1) {
        sql += "DROP TABLE _saved;";
        for (const char *table : {"cdsMain", "cdsBB", "cdsInterp"})
            sql += std::string("ALTER TABLE ") + table + " DROP COLUMN _check;";
    }
    execSql(path, sql + "PRAGMA user_version = " + std::to_string(layout) + ";");
}

// Writes the store as the program of layout 3 did, whose whole-number fields held doubles:
// the records' such fields may hold doubles (or nothing), and their checksums and the check of
// the whole store are taken over those.
inline void writeLayoutThree(const std::string &path, const StoreData &data)
{
    const StoredFields fields = storedFields(mainSchema());
    StoreData withoutThem = data;
    for (RowData &record : withoutThem.records) {
        for (const auto &[index, field] : fields) {
            if (field->kind == FieldKind::Integer)
                record.values[static_cast<std::size_t>(index)] = std::monostate{};
        }
    }
    saveDatabase(path, withoutThem);
    toLayout(path, 3);
    std::uint64_t sum = 0;
    for (std::size_t r = 0; r < data.records.size(); ++r) {
        const std::int64_t key = static_cast<std::int64_t>(r) + 1;
        const RowData &record = data.records[r];
        for (const auto &[index, field] : fields) {
            const Value &value = record.values[static_cast<std::size_t>(index)];
            const auto *number = std::get_if<double>(&value);
            if (field->kind == FieldKind::Integer && number)
                changeOneRow(path,
                             "UPDATE cdsMain SET \"" + field->name + "\" = ? WHERE _pos = ?",
                             {*number, key});
        }
        const std::int64_t checksum = recordChecksum(key, record, fields);
        sum += static_cast<std::uint64_t>(checksum);
        changeOneRow(path, "UPDATE cdsMain SET _check = ? WHERE _pos = ?", {checksum, key});
    }
    changeOneRow(path, "UPDATE _store SET checksums = ? WHERE tbl = 'cdsMain'",
                 {static_cast<std::int64_t>(sum)});
}

// Makes the record of that name the current one.
inline void goTo(Table &main, const std::string &name)
{
    main.setOrder(0);
    main.findNearest(name);
    ASSERT_EQ(main.asString("Name"), name);
}

} // namespace kelvora::dbtest
