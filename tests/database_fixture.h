#pragma once

#include "casename.h"
#include "database/database.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
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

} // namespace kelvora::dbtest
