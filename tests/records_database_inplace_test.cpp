#include "records/rowchecksum.h"
#include "tests/records_dbfixture.h"

#include <sqlite3.h>

#include <functional>
#include <sys/stat.h>

namespace kelvora::dbtest {
namespace {

using dbtest::PrintTo;

void execSql(const std::string &path, const std::string &sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

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

void goTo(Table &main, const std::string &name)
{
    main.setOrder(0);
    main.findNearest(name);
    ASSERT_EQ(main.asString("Name"), name);
}

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

// A file that is not the one the store's change log was kept against gets the whole store.
struct OtherFileCase
{
    const char *name;
    std::function<void(const std::string &path)> replace;
};

const OtherFileCase OtherFileCases[] = {
    {"ReplacedByAnotherDatabase",
     [](const std::string &p) { saveDatabase(p, oneRecordStore("Someone else's")); }},
    {"MarkChangedByAnotherSave",
     [](const std::string &p) { execSql(p, "UPDATE _saved SET saveId = saveId + 1;"); }},
    {"RemovedMeanwhile", [](const std::string &p) { fs::remove(p); }},
    // Written before rows had checksums: read as it is, then rewritten in the new layout.
    {"OlderLayout",
     [](const std::string &p) {
         std::string sql = "DROP TABLE _saved; PRAGMA user_version = 1;";
         for (const char *table : {"cdsMain", "cdsBB", "cdsInterp"})
             sql += std::string("ALTER TABLE ") + table + " DROP COLUMN _check;";
         execSql(p, sql);
     }},
};

class DatabaseOtherFile : public DatabaseFolder,
                          public ::testing::WithParamInterface<OtherFileCase>
{
};

TEST_P(DatabaseOtherFile, GetsTheWholeStore)
{
    saveDatabase(dbPath, threeRecords());
    Store store;
    store.load(loadDatabase(dbPath));
    store.open();
    GetParam().replace(dbPath);
    goTo(store.cdsMain, "R2");
    store.cdsMain.edit();
    store.cdsMain.setString("Rem", "after the change");
    store.cdsMain.post();

    saveDatabase(dbPath, store);
    expectSameStore(store.data(), loadDatabase(dbPath));
}

INSTANTIATE_TEST_SUITE_P(Files, DatabaseOtherFile, ::testing::ValuesIn(OtherFileCases), CaseName);

TEST_F(DatabaseFolder, OlderLayoutIsReadAsItIs)
{
    const StoreData data = threeRecords();
    saveDatabase(dbPath, data);
    execSql(dbPath, "DROP TABLE _saved; ALTER TABLE cdsMain DROP COLUMN _check;"
                    " ALTER TABLE cdsBB DROP COLUMN _check; ALTER TABLE cdsInterp DROP COLUMN"
                    " _check; UPDATE cdsMain SET MeanWL = 0.9; PRAGMA user_version = 1;");
    const StoreData read = loadDatabase(dbPath);
    ASSERT_EQ(read.records.size(), 3u);
    EXPECT_EQ(read.records[1].values[static_cast<std::size_t>(mainSchema().fieldIndex("MeanWL"))],
              Value{0.9});
    EXPECT_EQ(read.saveId, 0);
}

// ---- files written before fields were appended to a table ----

// Sets the checksum of one nested row.
void setChecksum(const std::string &path, const TableSchema &schema, std::int64_t key,
                 std::int64_t pos, std::int64_t checksum)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt *st = nullptr;
    const std::string sql =
        "UPDATE " + schema.name + " SET _check = ? WHERE _record = ? AND _pos = ?";
    ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK);
    sqlite3_bind_int64(st, 1, checksum);
    sqlite3_bind_int64(st, 2, key);
    sqlite3_bind_int64(st, 3, pos);
    EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
    EXPECT_EQ(sqlite3_changes(db), 1);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

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
    int layout;                     // 1: without checksums
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
    if (GetParam().layout == 1) {
        execSql(dbPath, "DROP TABLE _saved; ALTER TABLE cdsMain DROP COLUMN _check;"
                        " ALTER TABLE cdsBB DROP COLUMN _check; ALTER TABLE cdsInterp DROP"
                        " COLUMN _check; PRAGMA user_version = 1;");
    } else {
        for (std::size_t r = 0; r < data.records.size(); ++r) {
            const auto &rows = data.records[r].nested[slot].rows;
            for (std::size_t n = 0; n < rows.size(); ++n) {
                const auto key = static_cast<std::int64_t>(r) + 1;
                const auto pos = static_cast<std::int64_t>(n);
                setChecksum(dbPath, schema, key, pos, nestedChecksum(key, pos, rows[n], held));
            }
        }
    }
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
    ::testing::Values(FewerFieldsCase{"ReferencePointsWithChecksums", bbSchema, 2},
                      FewerFieldsCase{"MeasurementsWithChecksums", interpSchema, 2},
                      FewerFieldsCase{"ReferencePointsWithoutChecksums", bbSchema, 1}),
    CaseName);

// A file written before records kept the seed of their particle swarm fit: the records read
// with the seed empty, and the file's first save keeps the seeds the records then have.
TEST_F(DatabaseFolder, RecordsWithoutTheSwarmSeedAreReadWithItEmpty)
{
    const StoredFields fields = storedFields(mainSchema());
    ASSERT_EQ(fields.back().second->name, "Seed") << "the seed is the record's last field";
    const StoredFields held(fields.begin(), fields.end() - 1);
    StoreData data = threeFullRecords();
    saveDatabase(dbPath, data);
    execSql(dbPath, "ALTER TABLE cdsMain DROP COLUMN Seed;"
                    " DELETE FROM _fields WHERE tbl = 'cdsMain' AND name = 'Seed';");
    for (std::size_t r = 0; r < data.records.size(); ++r) {
        const auto key = static_cast<std::int64_t>(r) + 1;
        execSql(dbPath, "UPDATE cdsMain SET _check = "
                            + std::to_string(recordChecksum(key, data.records[r], held))
                            + " WHERE _pos = " + std::to_string(key) + ";");
    }

    Store store;
    store.load(loadDatabase(dbPath));
    expectSameStore(data, store.data());
    store.open();
    goTo(store.cdsMain, "R1");
    EXPECT_TRUE(store.cdsMain.isNull("Seed"));
    store.cdsMain.edit();
    store.cdsMain.setFloat("Seed", 4294967295.0);
    store.cdsMain.post();
    saveDatabase(dbPath, store);
    const StoreData reread = loadDatabase(dbPath);
    expectSameStore(store.data(), reread);
}

} // namespace
} // namespace kelvora::dbtest
