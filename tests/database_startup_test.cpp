#include "database/databasestartup.h"
#include "records/folders.h"
#include "tests/database_fixture.h"

#include <sqlite3.h>

#include <functional>

namespace kelvora::dbtest {
namespace {

using dbtest::PrintTo;

// ---- files that do not load ----

struct DamagedCase
{
    const char *name;
    std::function<void(const fs::path &)> make; // writes the file at that path
    std::string reason;                         // why it does not load
};

// A valid file, then changed by SQL.
std::function<void(const fs::path &)> tampered(const std::string &sql)
{
    return [sql](const fs::path &path) {
        saveDatabase(path.string(), oneRecordStore());
        execSql(path, sql);
    };
}

constexpr const char *NotOurs = "The file is not a Kelvora database";
constexpr const char *LayoutDisagrees =
    "The database is damaged: its layout version %d does not match the tables it holds";

std::string disagreeing(int version)
{
    std::string text = LayoutDisagrees;
    return text.replace(text.find("%d"), 2, std::to_string(version));
}

const DamagedCase DamagedCases[] = {
    {"ZeroLength", [](const fs::path &p) { writeWholeFile(p, ""); }, NotOurs},
    {"Garbage", [](const fs::path &p) { writeWholeFile(p, std::string(5000, 'x') + "garbage"); },
     NotOurs},
    {"ForeignSqlite",
     [](const fs::path &p) { execSql(p, "CREATE TABLE cdsMain (Name TEXT);"); }, NotOurs},
    {"OtherApplicationId", tampered("PRAGMA application_id = 1;"), NotOurs},
    // A version that disagrees with the tables the file holds would turn checks off.
    {"VersionSetBackToOne", tampered("PRAGMA user_version = 1;"), disagreeing(1).c_str()},
    {"VersionSetBackToTwo", tampered("PRAGMA user_version = 2;"), disagreeing(2).c_str()},
    // Layout 3 held the whole-number fields as Float (and had no register either).
    {"VersionSetBackToThree",
     tampered("DROP TABLE _certificates; DROP TABLE _certificateDocuments;"
              " DELETE FROM _store WHERE tbl = '_certificates'; PRAGMA user_version = 3;"),
     "The database holds another layout of table cdsMain"},
    // Layout 4 had no register of certificates.
    {"VersionSetBackToFour", tampered("PRAGMA user_version = 4;"), disagreeing(4).c_str()},
    {"WholeNumberFieldListedAsFloat",
     tampered("UPDATE _fields SET kind = 'Float' WHERE name = 'MCTrials';"),
     "The database holds another layout of table cdsMain"},
    {"CheckOfTheWholeStoreDropped", tampered("DROP TABLE _store;"),
     disagreeing(CurrentLayout).c_str()},
    {"CheckOfTheWholeStoreLost", tampered("DELETE FROM _store;"),
     "The database has lost the check of its whole store"},
    // A row checksum cannot see a row that is not there: the check of the whole store does.
    {"RecordDeletedWithItsRows",
     tampered("DELETE FROM cdsBB; DELETE FROM cdsInterp; DELETE FROM cdsMain;"),
     "The database is damaged: table cdsMain holds other rows than its last save wrote"},
    {"TableMissing", tampered("DROP TABLE cdsInterp;"),
     "The database is damaged: its table cdsInterp is missing"},
    {"ColumnMissing", tampered("ALTER TABLE cdsBB DROP COLUMN TPSO;"),
     "The database is damaged: the column of field 'TPSO' of table cdsBB is missing"},
    {"IndexListMissing", tampered("DROP TABLE _indexes;"),
     "The database is damaged: its table _indexes is missing"},
    {"FieldListChanged", tampered("UPDATE _fields SET kind = 'Memo' WHERE name = 'MeanWL';"),
     "The database holds another layout of table cdsMain"},
    {"NestedTableMissingFromTheFieldList",
     tampered("DELETE FROM _fields WHERE tbl = 'cdsMain' AND name = 'Interp';"),
     "The database holds another layout of table cdsMain"},
    {"BooleanOutOfRange", tampered("UPDATE cdsMain SET Computed = 2;"),
     "Field 'Computed' of table cdsMain holds a value of the wrong kind"},
    {"TextInAFloatField",
     tampered("CREATE TABLE x AS SELECT * FROM cdsBB; DROP TABLE cdsBB;"
              " ALTER TABLE x RENAME TO cdsBB; UPDATE cdsBB SET S = 'abc' WHERE inc = 2;"),
     "Field 'S' of table cdsBB holds a value of the wrong kind"},
    {"FractionInAWholeNumberField",
     tampered("CREATE TABLE x AS SELECT * FROM cdsMain; DROP TABLE cdsMain;"
              " ALTER TABLE x RENAME TO cdsMain; UPDATE cdsMain SET Seed = 7.5;"),
     "Field 'Seed' of table cdsMain holds a value of the wrong kind"},
    // A file of layout 3 whose whole-number field holds a fraction under a sound checksum.
    {"FractionInAWholeNumberFieldOfLayoutThree",
     [](const fs::path &p) {
         StoreData data = oneRecordStore();
         set(data.records[0], mainSchema(), "Seed", 7.5);
         writeLayoutThree(p, data);
     },
     "Field 'Seed' of table cdsMain holds a value of the wrong kind"},
    {"TextInADateField",
     tampered("CREATE TABLE x AS SELECT * FROM cdsMain; DROP TABLE cdsMain;"
              " ALTER TABLE x RENAME TO cdsMain; UPDATE cdsMain SET Created = 'today';"),
     "Field 'Created' of table cdsMain holds a value of the wrong kind"},
    // A record's auto-increment counters, changed without its checksum: one set back would
    // give a new row the number of one that exists.
    {"AutoIncrementCounterChanged", tampered("UPDATE cdsMain SET BB_nextInc = BB_nextInc + 1;"),
     "The database is damaged: a row of table cdsMain does not match its checksum"},
    {"AutoIncrementCounterSetBack", tampered("UPDATE cdsMain SET BB_nextInc = 2;"),
     "The database is damaged: a row of table cdsMain does not match its checksum"},
    {"MeasurementCounterChanged",
     tampered("UPDATE cdsMain SET Interp_nextInc = Interp_nextInc + 1;"),
     "The database is damaged: a row of table cdsMain does not match its checksum"},
    {"RowsWithoutRecord", tampered("UPDATE cdsBB SET _record = 42;"),
     "A row of table cdsBB has no record"},
    // Damage SQLite does not see: the rows' checksums find it.
    {"ValueChangedBehindItsChecksum", tampered("UPDATE cdsMain SET MeanWL = 0.66;"),
     "The database is damaged: a row of table cdsMain does not match its checksum"},
    {"RowsSwapped",
     tampered("UPDATE cdsBB SET _pos = _pos + 10; UPDATE cdsBB SET _pos = 11 - _pos;"),
     "The database is damaged: a row of table cdsBB does not match its checksum"},
    {"SaveMarkLost", tampered("DELETE FROM _saved;"),
     "The database has lost the mark of its last save"},
    {"DamagedPages",
     [](const fs::path &p) {
         saveDatabase(p.string(), oneRecordStore());
         std::string bytes = readWholeFile(p);
         ASSERT_GT(bytes.size(), 8192u);
         for (std::size_t i = 4096; i < bytes.size(); i += 7)
             bytes[i] = static_cast<char>(0xA5);
         writeWholeFile(p, bytes);
     },
     "The database is damaged: its integrity check fails"},
    {"Truncated",
     [](const fs::path &p) {
         StoreData big = oneRecordStore();
         set(big.records[0], mainSchema(), "Rem", longMemo());
         saveDatabase(p.string(), big);
         const std::string bytes = readWholeFile(p);
         writeWholeFile(p, bytes.substr(0, bytes.size() / 2));
     },
     "The database is damaged: some of its pages are malformed"},
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

TEST_P(DatabaseDamaged, StartUpMovesItAsideBesideOlderBackupsAndSaysWhy)
{
    writeWholeFile(bakPath, "an older backup");
    StoreData data = oneRecordStore();

    const OpenOutcome outcome = openDatabaseAtStartup(dbPath, data);

    const std::string backup = (folder / "kelvora.1.bak").string();
    EXPECT_EQ(outcome.kind, OpenOutcome::Corrupted);
    EXPECT_EQ(outcome.reason, GetParam().reason);
    EXPECT_EQ(outcome.backup, backup);
    EXPECT_EQ(outcome.message, "File " + dbPath + " might be corrupted\r"
                               "It will be backed up and the empty database will be created\r"
                               "\rReason: " + outcome.reason + "\rBackup file: " + backup);
    EXPECT_TRUE(data.records.empty());
    EXPECT_FALSE(fs::exists(dbPath));
    EXPECT_EQ(readWholeFile(backup), damagedBytes);
    EXPECT_EQ(readWholeFile(bakPath), "an older backup");
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

// ---- files of a newer version ----

// A later layout, or fields appended by a later program: the file may be perfectly sound, so
// it is refused saying why and left where and as it is, never moved aside as damaged.
const DamagedCase NewerCases[] = {
    {"NextLayout", tampered("PRAGMA user_version = " + std::to_string(CurrentLayout + 1) + ";"),
     "The database was written by a newer version of Kelvora (layout "
         + std::to_string(CurrentLayout + 1) + "); this version reads layouts up to "
         + std::to_string(CurrentLayout)},
    {"LayoutFarAhead", tampered("PRAGMA user_version = 1000;"),
     "The database was written by a newer version of Kelvora (layout 1000); this version reads "
     "layouts up to " + std::to_string(CurrentLayout)},
    {"FieldUnknownToTheProgram",
     tampered("ALTER TABLE cdsBB ADD COLUMN Extra REAL;"
              " INSERT INTO _fields SELECT 'cdsBB', max(pos) + 1, 'Extra', 'Float', 0, 0"
              " FROM _fields WHERE tbl = 'cdsBB';"),
     "The database was written by a newer version of Kelvora (table cdsBB has fields that this"
     " version does not know); this version reads layouts up to "
         + std::to_string(CurrentLayout) + " with the fields it knows"},
};

class DatabaseNewer : public DatabaseDamaged
{
};

TEST_P(DatabaseNewer, LoadRefusesItAsNewer)
{
    try {
        loadDatabase(dbPath);
        FAIL() << "loaded";
    } catch (const NewerDatabaseError &e) {
        EXPECT_EQ(std::string(e.what()), GetParam().reason);
    }
}

TEST_P(DatabaseNewer, StartUpSaysSoAndLeavesItWhereAndAsItIs)
{
    StoreData data = oneRecordStore();
    const OpenOutcome outcome = openDatabaseAtStartup(dbPath, data);
    EXPECT_EQ(outcome.kind, OpenOutcome::Newer);
    EXPECT_EQ(outcome.reason, GetParam().reason);
    EXPECT_EQ(outcome.message, "File " + dbPath + " is not opened\r" + GetParam().reason
                                   + "\rIt is left as it is; open it with that version.");
    EXPECT_EQ(outcome.backup, "");
    EXPECT_TRUE(data.records.empty());
    EXPECT_EQ(readWholeFile(dbPath), damagedBytes);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"kelvora.dbs"});
}

TEST_P(DatabaseNewer, CheckSaysSoAndLeavesItAlone)
{
    StoreData data = oneRecordStore();
    const OpenOutcome outcome = checkDatabase(dbPath, data);
    EXPECT_EQ(outcome.kind, OpenOutcome::Newer);
    EXPECT_EQ(outcome.message, "File " + dbPath + " is not opened\r" + GetParam().reason
                                   + "\rIt is left as it is; open it with that version.");
    EXPECT_EQ(readWholeFile(dbPath), damagedBytes);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"kelvora.dbs"});
}

INSTANTIATE_TEST_SUITE_P(Files, DatabaseNewer, ::testing::ValuesIn(NewerCases), CaseName);

// ---- start-up ----

// Another program (an SQLite shell, a backup tool) keeps the file locked longer than a reader
// waits: the file is busy, not damaged, and stays where it is.
TEST_F(DatabaseFolder, StartUpReportsABusyFileAndLeavesItInPlace)
{
    saveDatabase(dbPath, oneRecordStore());
    const std::string bytes = readWholeFile(dbPath);
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(dbPath.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    StoreData data = oneRecordStore();

    const OpenOutcome outcome = openDatabaseAtStartup(dbPath, data);

    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(outcome.kind, OpenOutcome::Busy);
    EXPECT_EQ(outcome.message,
              "The database " + dbPath
                  + " is busy: another program (an SQLite tool or a backup) keeps it locked.\r"
                    "It is left as it is; try again when that program is done.");
    EXPECT_TRUE(data.records.empty());
    EXPECT_EQ(readWholeFile(dbPath), bytes);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"kelvora.dbs"});
}

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

// Whatever is at the backup names already stays: the damaged file takes the first free one.
struct BackupNameCase
{
    const char *name;
    std::function<void(const fs::path &folder)> occupy;
    const char *backup; // the name the damaged file gets
};

const BackupNameCase BackupNameCases[] = {
    {"NothingThere", [](const fs::path &) {}, "kelvora.bak"},
    {"AnOlderBackup", [](const fs::path &f) { writeWholeFile(f / "kelvora.bak", "older"); },
     "kelvora.1.bak"},
    {"ABackupAndAFolderWithFiles",
     [](const fs::path &f) {
         writeWholeFile(f / "kelvora.bak", "older");
         fs::create_directory(f / "kelvora.1.bak");
         writeWholeFile(f / "kelvora.1.bak" / "inside.txt", "keep me");
     },
     "kelvora.2.bak"},
    {"ALinkThatLeadsNowhere",
     [](const fs::path &f) { fs::create_symlink(f / "nowhere", f / "kelvora.bak"); },
     "kelvora.1.bak"},
};

class DatabaseBackupName : public DatabaseFolder,
                           public ::testing::WithParamInterface<BackupNameCase>
{
};

TEST_P(DatabaseBackupName, IsTheFirstFreeOne)
{
    writeWholeFile(dbPath, "garbage");
    GetParam().occupy(folder);
    const auto occupied = folderEntries(folder);
    StoreData data;

    const OpenOutcome outcome = openDatabaseAtStartup(dbPath, data);

    const fs::path backup = folder / GetParam().backup;
    EXPECT_EQ(outcome.kind, OpenOutcome::Corrupted);
    EXPECT_EQ(outcome.backup, backup.string());
    EXPECT_EQ(readWholeFile(backup), "garbage");
    std::vector<std::string> expected = occupied;
    std::replace(expected.begin(), expected.end(), std::string("kelvora.dbs"),
                 std::string(GetParam().backup));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folderEntries(folder), expected) << "nothing else moved or removed";
}

INSTANTIATE_TEST_SUITE_P(Folders, DatabaseBackupName, ::testing::ValuesIn(BackupNameCases),
                         CaseName);

// A damaged file reached through a symbolic link: the file itself goes aside, beside it, and
// the link stays for the first save to create the file anew.
TEST_F(DatabaseFolder, DamagedFileBehindALinkIsBackedUpBesideItself)
{
    fs::create_directory(folder / "shared");
    const fs::path target = folder / "shared" / "kelvora.dbs";
    writeWholeFile(target, "garbage");
    fs::create_symlink("shared/kelvora.dbs", dbPath);
    StoreData data;

    const OpenOutcome outcome = openDatabaseAtStartup(dbPath, data);

    EXPECT_EQ(outcome.kind, OpenOutcome::Corrupted);
    EXPECT_EQ(outcome.backup, (folder / "shared" / "kelvora.bak").string());
    EXPECT_EQ(readWholeFile(folder / "shared" / "kelvora.bak"), "garbage");
    EXPECT_TRUE(fs::is_symlink(dbPath));
    saveDatabase(dbPath, oneRecordStore());
    EXPECT_TRUE(fs::is_symlink(dbPath));
    expectSameStore(oneRecordStore(), loadDatabase(target.string()));
}

// No name is free for the backup: the first is taken, and a number makes the name longer than
// the file system allows.
TEST_F(DatabaseFolder, StartUpReportsABackupThatCannotBeMadeAndLeavesTheFileInPlace)
{
    const std::string stem(251, 'k');
    const std::string path = (folder / (stem + ".dbs")).string();
    writeWholeFile(path, "garbage");
    fs::create_directory(folder / (stem + ".bak"));
    StoreData data;

    const OpenOutcome outcome = openDatabaseAtStartup(path, data);

    EXPECT_EQ(outcome.kind, OpenOutcome::BackupFailed);
    EXPECT_EQ(outcome.message, "File " + path + " might be corrupted\r"
                               "It will be backed up and the empty database will be created\r"
                               "\rReason: " + outcome.reason);
    EXPECT_EQ(outcome.backup, "");
    EXPECT_STREQ(CannotCreateBackupText, "Cannot create backup file");
    EXPECT_EQ(readWholeFile(path), "garbage");
    EXPECT_TRUE(data.records.empty());
}

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

class ProgramFolderPaths : public ::testing::TestWithParam<FoldersCase>
{
};

TEST_P(ProgramFolderPaths, FollowFromTheProgramFile)
{
    const ProgramFolders folders = InitFolders(GetParam().programFile);
    const std::string dir = fs::path(GetParam().programDir).is_absolute()
                                ? GetParam().programDir
                                : (fs::current_path() / GetParam().programDir).string();
    EXPECT_EQ(folders.ProgramDir, dir);
    EXPECT_EQ(folders.InputDir, dir + "/Data/Input");
    EXPECT_EQ(folders.OutputDir, dir + "/Data/Output");
    EXPECT_EQ(folders.DBDir, dir + "/DB");
    EXPECT_EQ(databasePath(folders), dir + "/DB/kelvora.dbs");
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramFolderPaths,
    ::testing::Values(FoldersCase{"/opt/Kelvora/kelvora", "/opt/Kelvora"},
                      FoldersCase{"/home/u/My Apps/DBS/kelvora", "/home/u/My Apps/DBS"},
                      FoldersCase{"bin/kelvora", "bin"}));

} // namespace
} // namespace kelvora::dbtest
