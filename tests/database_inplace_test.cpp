#include "database/rowchecksum.h"
#include "tables/rows.h"
#include "tests/database_fixture.h"

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <sys/stat.h>

namespace kelvora::dbtest {
namespace {

using dbtest::PrintTo;

ino_t inodeOf(const std::string &path)
{
    struct stat status{};
    return ::stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

StoreData threeRecords()
{
    StoreData data;
    for (int i = 0; i < 3; ++i) {
        RowData r = makeRecord("R" + std::to_string(i), SomeTimeMs + i);
        r.nested[0].rows = {makePoint(1, 0.01 * (i + 1), 1100), makePoint(2, 0.02, 1200)};
        r.nested[0].nextInc = 3;
        r.nested[1].rows = {makeMeasurement(1, 0.015, std::monostate{})};
        r.nested[1].nextInc = 2;
        data.records.push_back(std::move(r));
    }
    return data;
}

// One change through the store's tables, as the program makes it.
struct ChangeCase
{
    const char *name;
    std::function<void(Store &)> change;
};

const ChangeCase ChangeCases[] = {
    {"RecordFieldEdited",
     [](Store &s) {
         goTo(s.cdsMain, "R1");
         s.cdsMain.edit();
         s.cdsMain.setString("Rem", "checked");
         s.cdsMain.post();
     }},
    {"RecordAdded",
     [](Store &s) {
         s.cdsMain.append();
         s.cdsMain.setString("Name", "New");
         s.cdsMain.post();
         s.cdsBB.append();
         s.cdsBB.setFloat("S", 0.5);
         s.cdsBB.setFloat("T", 1500);
         s.cdsBB.post();
         PostIfEditing(s.cdsMain);
     }},
    {"FirstRecordDeleted",
     [](Store &s) {
         s.cdsMain.setOrder(0);
         s.cdsMain.first();
         s.cdsMain.remove();
     }},
    {"ReferencePointDeletedAndMeasurementAdded",
     [](Store &s) {
         goTo(s.cdsMain, "R2");
         if (!s.cdsBB.isEmpty())
             s.cdsBB.remove();
         s.cdsInterp.append();
         s.cdsInterp.setFloat("S", 0.25);
         s.cdsInterp.post();
         PostIfEditing(s.cdsMain);
     }},
    {"EveryRecordDeletedThenOneAdded",
     [](Store &s) {
         while (!s.cdsMain.isEmpty())
             s.cdsMain.remove();
         s.cdsMain.append();
         s.cdsMain.setString("Name", "Only");
         s.cdsMain.post();
     }},
};

class DatabaseSaveInPlace : public DatabaseFolder, public ::testing::WithParamInterface<ChangeCase>
{
protected:
    // A store read from the file, with a clock that never repeats.
    void load(Store &store)
    {
        store.clock = [this] { return DateTime{SomeTimeMs + 1000 + m_tick++}; };
        store.load(loadDatabase(dbPath));
        store.open();
    }

    std::int64_t m_tick = 0;
};

TEST_P(DatabaseSaveInPlace, TheFileHoldsTheStoreAfterEachSave)
{
    saveDatabase(dbPath, threeRecords());
    const ino_t inode = inodeOf(dbPath);
    Store store;
    load(store);

    GetParam().change(store);
    EXPECT_FALSE(store.changes().changed.empty() && store.changes().removed.empty());
    saveDatabase(dbPath, store);
    EXPECT_TRUE(store.changes().changed.empty() && store.changes().removed.empty());
    expectSameStore(store.data(), loadDatabase(dbPath));

    // A second round on the same store, then a fresh store that reads the file.
    GetParam().change(store);
    saveDatabase(dbPath, store);
    expectSameStore(store.data(), loadDatabase(dbPath));
    EXPECT_EQ(inodeOf(dbPath), inode) << "the file was replaced, not changed in place";
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"kelvora.dbs"});

    Store reread;
    load(reread);
    GetParam().change(reread);
    saveDatabase(dbPath, reread);
    expectSameStore(reread.data(), loadDatabase(dbPath));
}

INSTANTIATE_TEST_SUITE_P(Changes, DatabaseSaveInPlace, ::testing::ValuesIn(ChangeCases),
                         CaseName);

// A row of a record that did not change is not written again: damage put into it behind the
// store's back stays (and is found by the next load).
TEST_F(DatabaseFolder, SaveWritesOnlyTheChangedRecords)
{
    saveDatabase(dbPath, threeRecords());
    Store store;
    store.load(loadDatabase(dbPath));
    store.open();
    execSql(dbPath, "UPDATE cdsMain SET _check = _check + 1 WHERE Name = 'R0';");
    goTo(store.cdsMain, "R1");
    store.cdsMain.edit();
    store.cdsMain.setString("Rem", "one change");
    store.cdsMain.post();

    saveDatabase(dbPath, store);
    EXPECT_THROW(loadDatabase(dbPath), DatabaseError);

    // Saved again as a whole, the file is sound.
    saveDatabase(dbPath, store.data());
    expectSameStore(store.data(), loadDatabase(dbPath));
}

// A save into a file that is no longer the one the store read: another program's work is
// never overwritten; a file that is simply gone, or still of the older layout the store read,
// gets the whole store.
struct SaveTargetCase
{
    const char *name;
    int readLayout; // the layout of the file the store reads; 0: no file, the store starts empty
    std::function<void(const std::string &path)> meanwhile;
    bool refused;
};

void nothing(const std::string &) {}

void savedBySomeoneElse(const std::string &p)
{
    saveDatabase(p, oneRecordStore("Someone else's"));
}

const SaveTargetCase SaveTargetCases[] = {
    {"ReplacedByAnotherDatabase", CurrentLayout, savedBySomeoneElse, true},
    {"MarkChangedByAnotherSave", CurrentLayout,
     [](const std::string &p) { execSql(p, "UPDATE _saved SET saveId = saveId + 1;"); }, true},
    {"SetBackToAnOlderLayout", CurrentLayout, [](const std::string &p) { toLayout(p, 1); }, true},
    {"SavedByAnotherProgramAfterAnUnmarkedRead", 1, savedBySomeoneElse, true},
    {"CreatedAfterTheStoreStartedEmpty", 0, savedBySomeoneElse, true},
    {"RemovedMeanwhile", CurrentLayout, [](const std::string &p) { fs::remove(p); }, false},
    {"StillMissing", 0, nothing, false},
    {"StillOfLayoutThree", 3, nothing, false},
    {"StillOfLayoutTwo", 2, nothing, false},
    {"StillOfLayoutOne", 1, nothing, false},
};

class DatabaseSaveTarget : public DatabaseFolder,
                           public ::testing::WithParamInterface<SaveTargetCase>
{
};

TEST_P(DatabaseSaveTarget, NeverOverwritesAnotherProgramsChange)
{
    const SaveTargetCase &c = GetParam();
    Store store;
    if (c.readLayout > 0) {
        saveDatabase(dbPath, threeRecords());
        if (c.readLayout < CurrentLayout)
            toLayout(dbPath, c.readLayout);
        store.load(loadDatabase(dbPath));
    }
    store.clock = [] { return DateTime{SomeTimeMs + 1000}; };
    store.open();
    c.meanwhile(dbPath);
    const std::string before = readWholeFile(dbPath);
    store.cdsMain.append();
    store.cdsMain.setString("Name", "Mine");
    store.cdsMain.post();

    if (c.refused) {
        EXPECT_THROW(saveDatabase(dbPath, store), DatabaseChangedError);
        EXPECT_EQ(readWholeFile(dbPath), before);
        EXPECT_FALSE(store.changes().changed.empty()) << "the change is kept for a later save";
        EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"kelvora.dbs"});
    } else {
        saveDatabase(dbPath, store);
        expectSameStore(store.data(), loadDatabase(dbPath));
        EXPECT_EQ(pragma(dbPath, "user_version"), CurrentLayout);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DatabaseSaveTarget, ::testing::ValuesIn(SaveTargetCases),
                         CaseName);

TEST_F(DatabaseFolder, OlderLayoutIsReadAsItIs)
{
    const StoreData data = threeRecords();
    saveDatabase(dbPath, data);
    toLayout(dbPath, 1);
    execSql(dbPath, "UPDATE cdsMain SET MeanWL = 0.9;");
    const StoreData read = loadDatabase(dbPath);
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[1].values[static_cast<std::size_t>(mainSchema().fieldIndex("MeanWL"))],
              Value{0.9});
    EXPECT_EQ(read.saveId, 0);
}

// A file of layout 2, as the program wrote it before the check of the whole store: two
// records, one calibrated with its measurements interpolated. It is read as it is, and its
// first save rewrites it in the current layout.
TEST_F(DatabaseFolder, FileOfLayoutTwoIsReadAndRewrittenByItsFirstSave)
{
    fs::copy_file(fs::path(KELVORA_TEST_DATA) / "layout2.dbs", dbPath);
    ASSERT_EQ(pragma(dbPath, "user_version"), 2);
    Store store;
    store.load(loadDatabase(dbPath));
    store.open();
    goTo(store.cdsMain, "Lamp");
    EXPECT_FALSE(store.cdsMain.asBoolean("Computed"));
    EXPECT_EQ(store.cdsBB.recordCount(), 3);
    EXPECT_EQ(store.cdsBB.asFloat("S"), 2.4e-3);
    EXPECT_EQ(store.cdsBB.asFloat("T"), 1235.0);
    goTo(store.cdsMain, "Cu");
    EXPECT_TRUE(store.cdsMain.asBoolean("Computed"));
    EXPECT_FALSE(store.cdsMain.isNull("CPSO"));
    EXPECT_EQ(store.cdsBB.recordCount(), 7);
    EXPECT_EQ(store.cdsInterp.recordCount(), 7);
    EXPECT_FALSE(store.cdsInterp.isNull("T"));

    store.cdsMain.edit();
    store.cdsMain.setString("Rem", "read again");
    store.cdsMain.post();
    saveDatabase(dbPath, store);
    EXPECT_EQ(pragma(dbPath, "user_version"), CurrentLayout);
    expectSameStore(store.data(), loadDatabase(dbPath));
}

// ---- files written before fields were appended to a table ----

// Three records whose every nested field holds a value.
StoreData threeFullRecords()
{
    StoreData data = threeRecords();
    double value = 0.5;
    for (RowData &record : data.records) {
        for (RowData &point : record.nested[0].rows)
            set(point, bbSchema(), "Difference", value += 0.25);
        for (RowData &measurement : record.nested[1].rows)
            set(measurement, interpSchema(), "T", value += 100.0);
    }
    return data;
}

struct FewerFieldsCase
{
    const char *name;
    const TableSchema &(*schema)(); // the table that lacks its last field
    int layout; // 1: without checksums, 2: without the store's check, 3: whole numbers as Float
};

class DatabaseFewerFields : public DatabaseFolder,
                            public ::testing::WithParamInterface<FewerFieldsCase>
{
};

// A file of a program whose table ended one field earlier: the column and its definition are
// not there, and the checksums of its rows cover the fields before it.
TEST_P(DatabaseFewerFields, IsReadWithTheFieldEmptyAndRewrittenWholeByItsFirstSave)
{
    const TableSchema &schema = GetParam().schema();
    const StoredFields fields = storedFields(schema);
    const std::string last = fields.back().second->name;
    const StoredFields held(fields.begin(), fields.end() - 1);
    const std::size_t slot = static_cast<std::size_t>(schema.nestedIndex);
    StoreData data = threeFullRecords();
    saveDatabase(dbPath, data);
    execSql(dbPath, "ALTER TABLE " + schema.name + " DROP COLUMN " + last + ";"
                        + " DELETE FROM _fields WHERE tbl = '" + schema.name + "' AND name = '"
                        + last + "';");
    if (GetParam().layout > 1) {
        // The checksums, and their sum in the check of the whole store, as that program
        // wrote them.
        std::uint64_t sum = 0;
        for (std::size_t r = 0; r < data.records.size(); ++r) {
            const auto &rows = data.records[r].nested[slot].rows;
            for (std::size_t n = 0; n < rows.size(); ++n) {
                const auto key = static_cast<std::int64_t>(r) + 1;
                const auto pos = static_cast<std::int64_t>(n);
                const std::int64_t checksum = nestedChecksum(key, pos, rows[n], held);
                sum += static_cast<std::uint64_t>(checksum);
                changeOneRow(dbPath, "UPDATE " + schema.name
                                         + " SET _check = ? WHERE _record = ? AND _pos = ?",
                             {checksum, key, pos});
            }
        }
        changeOneRow(dbPath, "UPDATE _store SET checksums = ? WHERE tbl = '" + schema.name + "'",
                     {static_cast<std::int64_t>(sum)});
    }
    if (GetParam().layout < CurrentLayout)
        toLayout(dbPath, GetParam().layout);
    for (RowData &record : data.records)
        for (RowData &row : record.nested[slot].rows)
            set(row, schema, last, std::monostate{});

    Store store;
    store.load(loadDatabase(dbPath));
    expectSameStore(data, store.data());
    if (GetParam().layout != 1) {
        // The checksums still find a value changed behind them.
        const std::string sound = readWholeFile(dbPath);
        execSql(dbPath, "UPDATE " + schema.name + " SET inc = inc + 100 WHERE _pos = 0;");
        EXPECT_THROW(loadDatabase(dbPath), DatabaseError);
        writeWholeFile(dbPath, sound);
    }

    store.open();
    goTo(store.cdsMain, "R1");
    store.cdsMain.edit();
    store.cdsMain.setString("Rem", "the first change");
    store.cdsMain.post();
    saveDatabase(dbPath, store);
    execSql(dbPath, "SELECT " + last + " FROM " + schema.name + ";");
    const StoreData reread = loadDatabase(dbPath);
    expectSameStore(store.data(), reread);
    EXPECT_NE(reread.saveId, 0) << "rewritten in the current layout";
}

INSTANTIATE_TEST_SUITE_P(
    Files, DatabaseFewerFields,
    ::testing::Values(FewerFieldsCase{"ReferencePoints", bbSchema, CurrentLayout},
                      FewerFieldsCase{"Measurements", interpSchema, CurrentLayout},
                      FewerFieldsCase{"MeasurementsOfLayoutThree", interpSchema, 3},
                      FewerFieldsCase{"ReferencePointsOfLayoutTwo", bbSchema, 2},
                      FewerFieldsCase{"ReferencePointsWithoutChecksums", bbSchema, 1}),
    CaseName);

// A file written before records kept the seed of their particle swarm fit: the records read
// with the seed empty, and the file's first save keeps the seeds the records then have.
TEST_F(DatabaseFolder, RecordsWithoutTheSwarmSeedAreReadWithItEmpty)
{
    // The seed and the fields appended after it.
    const StoredFields fields = storedFields(mainSchema());
    const auto seed = std::find_if(fields.begin(), fields.end(),
                                   [](const auto &field) { return field.second->name == "Seed"; });
    ASSERT_NE(seed, fields.end());
    const StoredFields held(fields.begin(), seed);
    StoreData data = threeFullRecords();
    saveDatabase(dbPath, data);
    for (auto field = seed; field != fields.end(); ++field)
        execSql(dbPath, "ALTER TABLE cdsMain DROP COLUMN " + field->second->name
                            + "; DELETE FROM _fields WHERE tbl = 'cdsMain' AND name = '"
                            + field->second->name + "';");
    // A file of the layout before the seed was kept: its rows' checksums and the check of the
    // whole store (their sum modulo 2^64) are those of rows without it.
    std::uint64_t sum = 0;
    for (std::size_t r = 0; r < data.records.size(); ++r) {
        const auto key = static_cast<std::int64_t>(r) + 1;
        const std::int64_t checksum = recordChecksum(key, data.records[r], held);
        sum += static_cast<std::uint64_t>(checksum);
        execSql(dbPath, "UPDATE cdsMain SET _check = " + std::to_string(checksum)
                            + " WHERE _pos = " + std::to_string(key) + ";");
    }
    execSql(dbPath, "UPDATE _store SET checksums = "
                        + std::to_string(static_cast<std::int64_t>(sum))
                        + " WHERE tbl = 'cdsMain';");

    Store store;
    store.load(loadDatabase(dbPath));
    expectSameStore(data, store.data());
    store.open();
    goTo(store.cdsMain, "R1");
    EXPECT_EQ(RecordRow(store.cdsMain).seed(), std::nullopt);
    store.cdsMain.edit();
    RecordRowEditor(store.cdsMain).setSeed(4294967295u);
    store.cdsMain.post();
    saveDatabase(dbPath, store);
    const StoreData reread = loadDatabase(dbPath);
    expectSameStore(store.data(), reread);
}

} // namespace
} // namespace kelvora::dbtest
