#include "tests/database_fixture.h"

#include <functional>
#include <limits>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelvora::dbtest {
namespace {

using dbtest::PrintTo;

// ---- round trip ----

struct RoundTripCase
{
    const char *name;
    std::function<StoreData()> build;
};

const RoundTripCase RoundTripCases[] = {
    {"Empty", [] { return StoreData{}; }},
    {"OnlyTheNameSet",
     [] {
         StoreData data;
         RowData r = makeRecord("Bare", SomeTimeMs);
         for (const char *field : {"Created", "Computed"})
             set(r, mainSchema(), field, std::monostate{});
         data.records.push_back(std::move(r));
         return data;
     }},
    {"EveryRecordFieldFilled",
     [] {
         StoreData data;
         RowData r = makeRecord("Full", SomeTimeMs);
         set(r, mainSchema(), "Processed", DateTime{SomeTimeMs + 86399999});
         const char *floats[] = {"MeanWL", "Bandwidth", "TMin", "TMax", "SMin", "SMax",
                                 "AS", "BS", "CS", "ALM", "BLM", "CLM", "MeanRMSLM",
                                 "APSO", "BPSO", "CPSO", "MeanRMSPSO"};
         double value = 0.1;
         for (const char *field : floats) {
             set(r, mainSchema(), field, value);
             value = value * -3.7 + 1e-3;
         }
         set(r, mainSchema(), "Rem", std::string("Checked\r\nagainst cell 7"));
         set(r, mainSchema(), "Report", std::string("Report text"));
         set(r, mainSchema(), "Computed", true);
         data.records.push_back(std::move(r));
         return data;
     }},
    // Whatever fields the tables have: each stored one holds a value of its kind.
    {"EveryStoredFieldOfEveryTable",
     [] {
         int n = 0;
         const auto fill = [&n](RowData &row, const TableSchema &schema) {
             for (const FieldDef &field : schema.fields) {
                 ++n;
                 switch (field.kind) {
                 case FieldKind::String:
                 case FieldKind::Memo:
                     set(row, schema, field.name, field.name + " \xC2\xB5m " + std::to_string(n));
                     break;
                 case FieldKind::Float:
                     set(row, schema, field.name, -1.0 / 3.0 * n);
                     break;
                 case FieldKind::Integer:
                     set(row, schema, field.name, std::int64_t{-1000000000007} * n);
                     break;
                 case FieldKind::Boolean:
                     set(row, schema, field.name, true);
                     break;
                 case FieldKind::DateTime:
                     set(row, schema, field.name, DateTime{SomeTimeMs + n});
                     break;
                 case FieldKind::AutoInc:
                     set(row, schema, field.name, std::int64_t{n});
                     break;
                 case FieldKind::Nested:
                 case FieldKind::Calculated:
                     break;
                 }
             }
         };
         StoreData data;
         RowData r = makeRecord("Full", SomeTimeMs);
         fill(r, mainSchema());
         r.nested[0].rows.push_back(makePoint(1, 0.0, 0.0));
         fill(r.nested[0].rows.back(), bbSchema());
         r.nested[0].nextInc = n + 1;
         r.nested[1].rows.push_back(makeMeasurement(1, 0.0, 0.0));
         fill(r.nested[1].rows.back(), interpSchema());
         r.nested[1].nextInc = n + 1;
         data.records.push_back(std::move(r));
         return data;
     }},
    {"FloatExtremes",
     [] {
         StoreData data;
         RowData r = makeRecord("Extremes", SomeTimeMs);
         set(r, mainSchema(), "ALM", std::numeric_limits<double>::infinity());
         set(r, mainSchema(), "BLM", -std::numeric_limits<double>::infinity());
         set(r, mainSchema(), "CLM", std::numeric_limits<double>::max());
         set(r, mainSchema(), "APSO", std::numeric_limits<double>::denorm_min());
         set(r, mainSchema(), "BPSO", 9007199254740993.0);
         set(r, mainSchema(), "CPSO", 3.0);
         set(r, mainSchema(), "MeanWL", 0.1 + 0.2);
         data.records.push_back(std::move(r));
         return data;
     }},
    // Whole numbers beyond the 53 bits of a double's mantissa come back exactly.
    {"WholeNumberExtremes",
     [] {
         StoreData data;
         RowData r = makeRecord("Seeds", SomeTimeMs);
         set(r, mainSchema(), "Seed", std::int64_t{4294967295});
         set(r, mainSchema(), "MCTrials", std::numeric_limits<std::int64_t>::max());
         set(r, mainSchema(), "MCSeed", std::numeric_limits<std::int64_t>::min());
         data.records.push_back(std::move(r));
         RowData zero = makeRecord("Zero", SomeTimeMs + 1);
         set(zero, mainSchema(), "Seed", std::int64_t{0});
         set(zero, mainSchema(), "MCTrials", std::int64_t{9007199254740993});
         data.records.push_back(std::move(zero));
         return data;
     }},
    {"TimesKeepTheirMilliseconds",
     [] {
         StoreData data;
         for (std::int64_t ms : {SomeTimeMs, SomeTimeMs + 1, std::int64_t{-1}, std::int64_t{0}})
             data.records.push_back(makeRecord("T" + std::to_string(ms), ms));
         return data;
     }},
    {"TextsOfEveryKind",
     [] {
         StoreData data;
         data.records.push_back(makeRecord("Пирометр ℃ µm 测温", SomeTimeMs));
         data.records.push_back(makeRecord("Code page \xB5m \xE9", SomeTimeMs + 1));
         data.records.push_back(makeRecord(std::string("Nul\0inside", 10), SomeTimeMs + 2));
         data.records.push_back(makeRecord("", SomeTimeMs + 3));
         set(data.records[0], mainSchema(), "Rem", longMemo());
         set(data.records[1], mainSchema(), "Rem", std::string());
         return data;
     }},
    {"StorageOrderIsKept",
     [] {
         StoreData data;
         data.records.push_back(makeRecord("Middle", SomeTimeMs));
         data.records.push_back(makeRecord("Zulu", SomeTimeMs - 5000));
         data.records.push_back(makeRecord("Alpha", SomeTimeMs + 5000));
         return data;
     }},
    {"NestedRowsOrdersAndIncs",
     [] {
         StoreData data;
         RowData a = makeRecord("A", SomeTimeMs);
         a.nested[0].rows = {makePoint(3, 0.3, 1300), makePoint(1, 0.1, 1100),
                             makePoint(7, 0.7, 1700)};
         set(a.nested[0].rows[1], bbSchema(), "TLM", 1100.0001);
         set(a.nested[0].rows[1], bbSchema(), "dTLM", -0.125);
         set(a.nested[0].rows[1], bbSchema(), "Difference", 1e-300);
         a.nested[0].nextInc = 9;
         a.nested[1].rows = {makeMeasurement(2, 0.5, 1500.5),
                             makeMeasurement(4, std::monostate{}, std::monostate{}),
                             makeMeasurement(5, 0.25, std::monostate{})};
         a.nested[1].nextInc = 6;
         RowData b = makeRecord("B, no rows left", SomeTimeMs + 1);
         b.nested[0].nextInc = 21;
         b.nested[1].nextInc = 1001;
         RowData c = makeRecord("C", SomeTimeMs + 2);
         for (std::int64_t i = 1; i <= 20; ++i)
             c.nested[0].rows.push_back(makePoint(i, 0.01 * i, 1000.0 + i));
         c.nested[0].nextInc = 21;
         for (std::int64_t i = 1; i <= 1000; ++i)
             c.nested[1].rows.push_back(makeMeasurement(i, 0.001 * i, 900.0 + i));
         c.nested[1].nextInc = 1001;
         data.records = {std::move(a), std::move(b), std::move(c)};
         return data;
     }},
};

class DatabaseRoundTrip : public DatabaseFolder,
                          public ::testing::WithParamInterface<RoundTripCase>
{
};

TEST_P(DatabaseRoundTrip, LoadsWhatWasSavedOverAnOlderFile)
{
    const StoreData data = GetParam().build();
    saveDatabase(dbPath, oneRecordStore("Older contents"));
    saveDatabase(dbPath, data);
    const std::string bytes = readWholeFile(dbPath);

    expectSameStore(data, loadDatabase(dbPath));
    EXPECT_EQ(readWholeFile(dbPath), bytes) << "loading changed the file";
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"kelvora.dbs"});
}

INSTANTIATE_TEST_SUITE_P(Stores, DatabaseRoundTrip, ::testing::ValuesIn(RoundTripCases), CaseName);

TEST_F(DatabaseFolder, FileCarriesOurApplicationIdAndLayoutVersion)
{
    saveDatabase(dbPath, oneRecordStore());
    EXPECT_EQ(pragma(dbPath, "application_id"), 0x4B6C7672);
    EXPECT_EQ(pragma(dbPath, "user_version"), CurrentLayout);
    // Another program reading the file finds the index definitions of the three tables.
    EXPECT_EQ(queryText(dbPath, "SELECT group_concat(name, ' ') FROM"
                                " (SELECT name FROM _indexes ORDER BY tbl DESC, pos)"),
              "cdsMainIndex1 cdsMainIndex2 cdsInterpIndex1 cdsBBIndex1");
}

// The store's own records, with reference points added and deleted through its tables, go
// through the file and are accepted back by the store.
TEST_F(DatabaseFolder, StoreRecordsSurviveTheFile)
{
    Store store;
    std::int64_t now = SomeTimeMs;
    store.clock = [&now] { return DateTime{now++}; };
    store.open();
    for (const char *name : {"Alpha", "Beta"}) {
        store.cdsMain.append();
        store.cdsMain.setString("Name", name);
        store.cdsMain.post();
        for (int i = 1; i <= 3; ++i) {
            store.cdsBB.append();
            store.cdsBB.setFloat("S", 0.1 * i);
            store.cdsBB.setFloat("T", 1000.0 + i);
            store.cdsBB.post();
        }
        store.cdsInterp.append();
        store.cdsInterp.setFloat("S", 0.15);
        store.cdsInterp.post();
        store.cdsBB.setRecNo(2);
        store.cdsBB.remove();
        PostIfEditing(store.cdsMain);
    }
    store.cdsMain.edit();
    store.cdsMain.setString("Rem", "Comment\r\nsecond line");
    store.cdsMain.post();
    const StoreData saved = store.data();

    saveDatabase(dbPath, saved);
    Store reloaded;
    reloaded.load(loadDatabase(dbPath));

    expectSameStore(saved, reloaded.data());
    reloaded.open();
    reloaded.cdsMain.setOrder(1); // newest first
    reloaded.cdsMain.first();
    EXPECT_EQ(reloaded.cdsMain.asString("Name"), "Beta");
    EXPECT_EQ(reloaded.cdsMain.asString("Rem"), "Comment\r\nsecond line");
    EXPECT_EQ(reloaded.cdsBB.recordCount(), 2);
    EXPECT_EQ(reloaded.cdsBB.asInteger("inc"), 1);
    reloaded.cdsBB.next();
    EXPECT_EQ(reloaded.cdsBB.asInteger("inc"), 3);
}

// ---- saves that fail ----

struct SaveFailureCase
{
    const char *name;
    std::function<std::string(const fs::path &folder)> path; // the database path to save to
    std::function<StoreData()> data;
    const char *reason;
};

std::string inMissingFolder(const fs::path &f)
{
    return (f / "DB" / "kelvora.dbs").string();
}

std::string overTheOldFile(const fs::path &f)
{
    return (f / "kelvora.dbs").string();
}

StoreData wrongKindInSecondRecord()
{
    StoreData data = oneRecordStore();
    data.records.push_back(makeRecord("Second", SomeTimeMs + 1));
    set(data.records[1], mainSchema(), "MeanWL", std::string("0.65"));
    return data;
}

const SaveFailureCase SaveFailureCases[] = {
    {"FolderMissing", inMissingFolder, [] { return oneRecordStore(); },
     "No such file or directory"},
    {"FolderInThePlaceOfTheFile",
     [](const fs::path &f) {
         fs::create_directory(f / "other.dbs");
         return (f / "other.dbs").string();
     },
     [] { return oneRecordStore(); }, "Is a directory"},
    {"ReadOnlyFile",
     [](const fs::path &f) {
         fs::permissions(f / "kelvora.dbs", fs::perms::owner_read | fs::perms::group_read
                                                | fs::perms::others_read);
         return overTheOldFile(f);
     },
     [] { return oneRecordStore(); }, "Permission denied"},
    {"WrongKindOfValue", overTheOldFile, wrongKindInSecondRecord,
     "Field 'MeanWL' of table cdsMain holds a value of the wrong kind"},
    {"WrongKindInNestedRow", overTheOldFile,
     [] {
         StoreData data = oneRecordStore();
         set(data.records[0].nested[0].rows[1], bbSchema(), "inc", 2.0);
         return data;
     },
     "Field 'inc' of table cdsBB holds a value of the wrong kind"},
    {"RecordWithoutNestedTables", overTheOldFile,
     [] {
         StoreData data = oneRecordStore();
         data.records[0].nested.clear();
         return data;
     },
     "A row of table cdsMain does not match the table's layout"},
    {"RowWithTooFewValues", overTheOldFile,
     [] {
         StoreData data = oneRecordStore();
         data.records[0].nested[0].rows[0].values.pop_back();
         return data;
     },
     "A row of table cdsBB does not match the table's layout"},
};

class DatabaseSaveFailure : public DatabaseFolder,
                            public ::testing::WithParamInterface<SaveFailureCase>
{
};

TEST_P(DatabaseSaveFailure, ReportsTheFullPathAndKeepsTheOldFile)
{
    const StoreData old = oneRecordStore("Old");
    saveDatabase(dbPath, old);
    const std::string oldBytes = readWholeFile(dbPath);
    const std::string path = GetParam().path(folder);
    const auto before = folderEntries(folder);

    try {
        saveDatabase(path, GetParam().data());
        FAIL() << "the save did not fail";
    } catch (const Error &e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + path + "\". " + GetParam().reason);
    }
    EXPECT_EQ(folderEntries(folder), before);
    EXPECT_EQ(readWholeFile(dbPath), oldBytes);
    expectSameStore(old, loadDatabase(dbPath));
}

INSTANTIATE_TEST_SUITE_P(Causes, DatabaseSaveFailure,
                         ::testing::ValuesIn(SaveFailureCases), CaseName);

TEST_F(DatabaseFolder, SaveNamesTheFullPathOfARelativeOne)
{
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    std::string message;
    try {
        saveDatabase("DB/kelvora.dbs", oneRecordStore());
    } catch (const Error &e) {
        message = e.what();
    }
    fs::current_path(previous);
    EXPECT_EQ(message, "Cannot create file \"" + (folder / "DB" / "kelvora.dbs").string()
                           + "\". No such file or directory");
}

// The disk fills up while the file is being written: a child process whose file size limit
// is far below the store's size.
TEST_F(DatabaseFolder, DiskFullHalfwayKeepsTheOldFile)
{
    const StoreData old = oneRecordStore("Old");
    saveDatabase(dbPath, old);
    const std::string oldBytes = readWholeFile(dbPath);
    StoreData big = oneRecordStore("Big");
    set(big.records[0], mainSchema(), "Rem", std::string(2000000, 'm'));

    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{256 * 1024, 256 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string message = "no failure";
        try {
            saveDatabase(dbPath, big);
        } catch (const Error &e) {
            message = e.what();
        }
        const bool written = ::write(pipeEnds[1], message.data(), message.size())
                             == static_cast<ssize_t>(message.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string message;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);

    EXPECT_EQ(message.rfind("Cannot create file \"" + dbPath + "\". ", 0), 0u) << message;
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"kelvora.dbs"});
    EXPECT_EQ(readWholeFile(dbPath), oldBytes);
}

} // namespace
} // namespace kelvora::dbtest
