#include "records/databasestartup.h"
#include "records/folders.h"
#include "tests/records_dbfixture.h"

#include <sqlite3.h>

#include <functional>

namespace kelvora::dbtest {
namespace {

using dbtest::PrintTo;

void execSql(const fs::path &path, const std::string &sql)
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

// ---- files that do not load ----

struct DamagedCase
{
    const char *name;
    std::function<void(const fs::path &)> make; // writes the file at that path
};

// A valid file, then changed by SQL.
std::function<void(const fs::path &)> tampered(const std::string &sql)
{
    return [sql](const fs::path &path) {
        saveDatabase(path.string(), oneRecordStore());
        execSql(path, sql);
    };
}

const DamagedCase DamagedCases[] = {
    {"ZeroLength", [](const fs::path &p) { writeWholeFile(p, ""); }},
    {"Garbage", [](const fs::path &p) { writeWholeFile(p, std::string(5000, 'x') + "garbage"); }},
    {"ForeignSqlite",
     [](const fs::path &p) { execSql(p, "CREATE TABLE cdsMain (Name TEXT);"); }},
    {"OtherApplicationId", tampered("PRAGMA application_id = 1;")},
    {"OtherLayoutVersion", tampered("PRAGMA user_version = 3;")},
    {"TableMissing", tampered("DROP TABLE cdsInterp;")},
    {"ColumnMissing", tampered("ALTER TABLE cdsBB DROP COLUMN TPSO;")},
    {"IndexListMissing", tampered("DROP TABLE _indexes;")},
    {"FieldListChanged", tampered("UPDATE _fields SET kind = 'Memo' WHERE name = 'MeanWL';")},
    // A field appended by a later program: this one does not know it.
    {"FieldUnknownToTheProgram",
     tampered("ALTER TABLE cdsBB ADD COLUMN Extra REAL;"
              " INSERT INTO _fields VALUES ('cdsBB', 8, 'Extra', 'Float', 0, 0);")},
    {"NestedTableMissingFromTheFieldList",
     tampered("DELETE FROM _fields WHERE tbl = 'cdsMain' AND name = 'Interp';")},
    {"BooleanOutOfRange", tampered("UPDATE cdsMain SET Computed = 2;")},
    {"TextInAFloatField",
     tampered("CREATE TABLE x AS SELECT * FROM cdsBB; DROP TABLE cdsBB;"
              " ALTER TABLE x RENAME TO cdsBB; UPDATE cdsBB SET S = 'abc' WHERE inc = 2;")},
    {"TextInADateField",
     tampered("CREATE TABLE x AS SELECT * FROM cdsMain; DROP TABLE cdsMain;"
              " ALTER TABLE x RENAME TO cdsMain; UPDATE cdsMain SET Created = 'today';")},
    {"RowsWithoutRecord", tampered("UPDATE cdsBB SET _record = 42;")},
    // Damage SQLite does not see: the rows' checksums find it.
    {"ValueChangedBehindItsChecksum", tampered("UPDATE cdsMain SET MeanWL = 0.66;")},
    {"RowsSwapped", tampered("UPDATE cdsBB SET _pos = _pos + 10; UPDATE cdsBB SET _pos = 11 - _pos;")},
    {"SaveMarkLost", tampered("DELETE FROM _saved;")},
    {"DamagedPages",
     [](const fs::path &p) {
         saveDatabase(p.string(), oneRecordStore());
         std::string bytes = readWholeFile(p);
         ASSERT_GT(bytes.size(), 8192u);
         for (std::size_t i = 4096; i < bytes.size(); i += 7)
             bytes[i] = static_cast<char>(0xA5);
         writeWholeFile(p, bytes);
     }},
    {"Truncated",
     [](const fs::path &p) {
         StoreData big = oneRecordStore();
         set(big.records[0], mainSchema(), "Rem", longMemo());
         saveDatabase(p.string(), big);
         const std::string bytes = readWholeFile(p);
         writeWholeFile(p, bytes.substr(0, bytes.size() / 2));
     }},
};

class DatabaseDamaged : public DatabaseFolder, public ::testing::WithParamInterface<DamagedCase>
{
protected:
    void SetUp() override
    {
        DatabaseFolder::SetUp();
        GetParam().make(dbPath);
        damagedBytes = readWholeFile(dbPath);
    }
    std::string damagedBytes;
};

TEST_P(DatabaseDamaged, LoadRefusesIt)
{
    EXPECT_THROW(loadDatabase(dbPath), DatabaseError);
}

TEST_P(DatabaseDamaged, StartUpMovesItToTheBackupReplacingAnOlderOne)
{
    writeWholeFile(bakPath, "an older backup");
    StoreData data = oneRecordStore();

    const OpenOutcome outcome = openDatabaseAtStartup(dbPath, data);

    EXPECT_EQ(outcome.kind, OpenOutcome::Corrupted);
    EXPECT_EQ(outcome.message, "File " + dbPath + " might be corrupted\r"
                               "It will be backed up and the empty database will be created");
    EXPECT_FALSE(outcome.reason.empty());
    EXPECT_TRUE(data.records.empty());
    EXPECT_FALSE(fs::exists(dbPath));
    EXPECT_EQ(readWholeFile(bakPath), damagedBytes);
}

TEST_P(DatabaseDamaged, CheckLeavesItAlone)
{
    StoreData data = oneRecordStore();
    const OpenOutcome outcome = checkDatabase(dbPath, data);
    EXPECT_EQ(outcome.kind, OpenOutcome::Corrupted);
    EXPECT_EQ(outcome.message, "File " + dbPath + " might be corrupted");
    EXPECT_TRUE(data.records.empty());
    EXPECT_EQ(readWholeFile(dbPath), damagedBytes);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"kelvora.dbs"});
}

INSTANTIATE_TEST_SUITE_P(Files, DatabaseDamaged, ::testing::ValuesIn(DamagedCases), CaseName);

// ---- start-up ----

TEST_F(DatabaseFolder, StartUpLoadsAGoodFileAndTouchesNothing)
{
    const StoreData saved = oneRecordStore();
    saveDatabase(dbPath, saved);
    StoreData data;
    const OpenOutcome outcome = openDatabaseAtStartup(dbPath, data);
    EXPECT_EQ(outcome.kind, OpenOutcome::Loaded);
    EXPECT_EQ(outcome.message, "");
    expectSameStore(saved, data);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"kelvora.dbs"});
}

struct NotFoundCase
{
    const char *name;
    std::function<std::string(const fs::path &folder)> path; // the database path to open
};

const NotFoundCase NotFoundCases[] = {
    {"EmptyFolder", [](const fs::path &f) { return (f / "kelvora.dbs").string(); }},
    {"FolderMissing", [](const fs::path &f) { return (f / "DB" / "kelvora.dbs").string(); }},
    {"FolderInThePlaceOfTheFile",
     [](const fs::path &f) {
         fs::create_directory(f / "kelvora.dbs");
         return (f / "kelvora.dbs").string();
     }},
};

class DatabaseNotFound : public DatabaseFolder, public ::testing::WithParamInterface<NotFoundCase>
{
};

TEST_P(DatabaseNotFound, StartUpAndCheckReportItAndCreateNothing)
{
    const std::string path = GetParam().path(folder);
    const auto before = folderEntries(folder);

    StoreData data = oneRecordStore();
    OpenOutcome outcome = openDatabaseAtStartup(path, data);
    EXPECT_EQ(outcome.kind, OpenOutcome::NotFound);
    EXPECT_EQ(outcome.message, "File " + path + " not found\rEmpty database will be created");
    EXPECT_TRUE(data.records.empty());

    data = oneRecordStore();
    outcome = checkDatabase(path, data);
    EXPECT_EQ(outcome.kind, OpenOutcome::NotFound);
    EXPECT_EQ(outcome.message, "File " + path + " not found");
    EXPECT_TRUE(data.records.empty());
    EXPECT_EQ(folderEntries(folder), before);
}

INSTANTIATE_TEST_SUITE_P(Paths, DatabaseNotFound, ::testing::ValuesIn(NotFoundCases), CaseName);

// The backup path is taken by something that a file cannot replace.
struct BackupBlockedCase
{
    const char *name;
    std::function<void(const fs::path &backup)> block;
};

const BackupBlockedCase BackupBlockedCases[] = {
    {"EmptyFolder", [](const fs::path &b) { fs::create_directory(b); }},
    {"FolderWithFiles",
     [](const fs::path &b) {
         fs::create_directory(b);
         writeWholeFile(b / "inside.txt", "keep me");
     }},
};

class DatabaseBackupBlocked : public DatabaseFolder,
                              public ::testing::WithParamInterface<BackupBlockedCase>
{
};

TEST_P(DatabaseBackupBlocked, StartUpReportsItAndLeavesTheDamagedFileInPlace)
{
    writeWholeFile(dbPath, "garbage");
    GetParam().block(bakPath);
    StoreData data;

    const OpenOutcome outcome = openDatabaseAtStartup(dbPath, data);

    EXPECT_EQ(outcome.kind, OpenOutcome::BackupFailed);
    EXPECT_EQ(outcome.message, "File " + dbPath + " might be corrupted\r"
                               "It will be backed up and the empty database will be created");
    EXPECT_STREQ(CannotCreateBackupText, "Cannot create backup file");
    EXPECT_EQ(readWholeFile(dbPath), "garbage");
    EXPECT_TRUE(fs::is_directory(bakPath));
    EXPECT_TRUE(data.records.empty());
}

INSTANTIATE_TEST_SUITE_P(Obstacles, DatabaseBackupBlocked,
                         ::testing::ValuesIn(BackupBlockedCases), CaseName);

TEST_F(DatabaseFolder, ProgramFolderNamedDbsStillGetsItsBackup)
{
    const fs::path db = folder / "DBS" / "DB";
    fs::create_directories(db);
    const std::string path = (db / "kelvora.dbs").string();
    writeWholeFile(path, "garbage");
    StoreData data;

    EXPECT_EQ(openDatabaseAtStartup(path, data).kind, OpenOutcome::Corrupted);
    EXPECT_EQ(readWholeFile(db / "kelvora.bak"), "garbage");
    EXPECT_FALSE(fs::exists(path));
}

// ---- backup path ----

struct BackupPathCase
{
    const char *dbPath;
    const char *backup;
};

void PrintTo(const BackupPathCase &c, std::ostream *os)
{
    *os << c.dbPath;
}

class DatabaseBackupPath : public ::testing::TestWithParam<BackupPathCase>
{
};

TEST_P(DatabaseBackupPath, ReplacesOnlyTheExtension)
{
    EXPECT_EQ(backupPath(GetParam().dbPath), GetParam().backup);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DatabaseBackupPath,
    ::testing::Values(BackupPathCase{"/opt/kelvora/DB/kelvora.dbs", "/opt/kelvora/DB/kelvora.bak"},
                      BackupPathCase{"/opt/DBS/DB/kelvora.dbs", "/opt/DBS/DB/kelvora.bak"},
                      BackupPathCase{"/opt/dbs.dbs/kelvora.DBS", "/opt/dbs.dbs/kelvora.bak"},
                      BackupPathCase{"/a/kelvora.Dbs", "/a/kelvora.bak"},
                      BackupPathCase{"/a/mydbsfile.dbs", "/a/mydbsfile.bak"},
                      BackupPathCase{"kelvora.dbs", "kelvora.bak"},
                      BackupPathCase{"/a/kelvora.dbs.dbs", "/a/kelvora.dbs.bak"},
                      BackupPathCase{"/a/kelvora.db", "/a/kelvora.db.bak"},
                      BackupPathCase{"/a.dbs/kelvora", "/a.dbs/kelvora.bak"},
                      BackupPathCase{"/a/kelvora.dbsx", "/a/kelvora.dbsx.bak"}));

// ---- folders ----

struct FoldersCase
{
    const char *programFile;
    const char *programDir;
};

void PrintTo(const FoldersCase &c, std::ostream *os)
{
    *os << c.programFile;
}

class ProgramFolders : public ::testing::TestWithParam<FoldersCase>
{
};

TEST_P(ProgramFolders, FollowFromTheProgramFile)
{
    InitFolders(GetParam().programFile);
    const std::string dir = fs::path(GetParam().programDir).is_absolute()
                                ? GetParam().programDir
                                : (fs::current_path() / GetParam().programDir).string();
    EXPECT_EQ(ProgramDir, dir);
    EXPECT_EQ(InputDir, dir + "/Data/Input");
    EXPECT_EQ(OutputDir, dir + "/Data/Output");
    EXPECT_EQ(DBDir, dir + "/DB");
    EXPECT_EQ(databasePath(), dir + "/DB/kelvora.dbs");
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramFolders,
    ::testing::Values(FoldersCase{"/opt/Kelvora/kelvora", "/opt/Kelvora"},
                      FoldersCase{"/home/u/My Apps/DBS/kelvora", "/home/u/My Apps/DBS"},
                      FoldersCase{"bin/kelvora", "bin"}));

} // namespace
} // namespace kelvora::dbtest
