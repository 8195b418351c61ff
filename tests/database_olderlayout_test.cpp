#include "tables/rows.h"
#include "tests/database_fixture.h"

#include <cmath>
#include <limits>
#include <optional>

namespace kelvora::dbtest {
namespace {

using dbtest::PrintTo;

// The record's whole-number fields as the file has them: column, its type, the kind its list
// of fields names.
std::string wholeNumberColumns(const std::string &path)
{
    return queryText(path, "SELECT group_concat(c.name || ' ' || c.type || ' ' || f.kind, ', ')"
                           " FROM pragma_table_info('cdsMain') c JOIN _fields f"
                           " ON f.tbl = 'cdsMain' AND f.name = c.name"
                           " WHERE c.name IN ('Seed', 'MCTrials', 'MCSeed')");
}

// A file of layout 3 as the program wrote it when the swarm seed and the Monte Carlo trials and
// seed were Float fields: "Lamp" with uncertainty settings and no seed yet, "Cu" with the
// largest seed. They are read as whole numbers, under the checksums taken over the doubles,
// and the first save rewrites the file with whole-number columns.
TEST_F(DatabaseFolder, FileOfLayoutThreeReadsWholeNumbersAndIsRewrittenByItsFirstSave)
{
    fs::copy_file(fs::path(KELVORA_TEST_DATA) / "layout3.dbs", dbPath);
    ASSERT_EQ(pragma(dbPath, "user_version"), 3);
    ASSERT_EQ(wholeNumberColumns(dbPath),
              "Seed REAL Float, MCTrials REAL Float, MCSeed REAL Float");

    const std::string changed = pathOf("changed.dbs");
    fs::copy_file(dbPath, changed);
    execSql(changed, "UPDATE cdsMain SET Seed = 4294967294.0 WHERE Name = 'Cu';");
    EXPECT_THROW(loadDatabase(changed), DatabaseError) << "the checksums cover the seed";

    Store store;
    store.load(loadDatabase(dbPath));
    store.open();
    const RecordRow record(store.cdsMain);
    goTo(store.cdsMain, "Cu");
    EXPECT_EQ(record.seed(), 4294967295u);
    EXPECT_EQ(record.MCTrials(), 1000);
    EXPECT_EQ(record.MCSeed(), 0u);
    EXPECT_EQ(store.cdsInterp.recordCount(), 1);
    goTo(store.cdsMain, "Lamp");
    EXPECT_EQ(record.seed(), std::nullopt);
    EXPECT_EQ(record.MCTrials(), 200000);
    EXPECT_EQ(record.MCSeed(), 7u);
    EXPECT_EQ(record.wS(), 1e-4);
    EXPECT_EQ(store.cdsBB.recordCount(), 2);
    EXPECT_EQ(store.settings(), (Settings{{"note", std::string("kept\0bytes", 10)}}));

    store.cdsMain.edit();
    RecordRowEditor(store.cdsMain).setRem("read again");
    store.cdsMain.post();
    saveDatabase(dbPath, store);
    EXPECT_EQ(pragma(dbPath, "user_version"), CurrentLayout);
    EXPECT_EQ(wholeNumberColumns(dbPath),
              "Seed INTEGER Integer, MCTrials INTEGER Integer, MCSeed INTEGER Integer");
    expectSameStore(store.data(), loadDatabase(dbPath));
}

// What the Float column of a whole-number field in a file of layout 3 may hold: a whole number
// of 64 bits is read exactly; anything else is damage, even under a sound checksum.
struct FormerSeedCase
{
    const char *name;
    double stored;
    std::optional<std::int64_t> read; // none: the file is refused
};

constexpr double TwoTo63 = 9223372036854775808.0;

const FormerSeedCase FormerSeedCases[] = {
    {"LargestSeed", 4294967295.0, 4294967295},
    {"Zero", 0.0, 0},
    {"NegativeZero", -0.0, 0},
    {"Negative", -3.0, -3},
    {"LargestBelowTwoTo63", std::nextafter(TwoTo63, 0.0), 9223372036854774784},
    {"LowestInteger", -TwoTo63, std::numeric_limits<std::int64_t>::min()},
    {"Fraction", 7.5, std::nullopt},
    {"JustAboveAWholeNumber", std::nextafter(3.0, 4.0), std::nullopt},
    {"TwoTo63", TwoTo63, std::nullopt},
    {"BelowTheLowestInteger", std::nextafter(-TwoTo63, -1e300), std::nullopt},
    {"Infinite", std::numeric_limits<double>::infinity(), std::nullopt},
};

class DatabaseFormerSeed : public DatabaseFolder,
                           public ::testing::WithParamInterface<FormerSeedCase>
{
};

TEST_P(DatabaseFormerSeed, IsReadAsAWholeNumberOrRefused)
{
    const FormerSeedCase &c = GetParam();
    StoreData data = oneRecordStore();
    set(data.records[0], mainSchema(), "Seed", c.stored);
    writeLayoutThree(dbPath, data);

    if (!c.read) {
        try {
            loadDatabase(dbPath);
            FAIL() << "the file was read";
        } catch (const DatabaseError &e) {
            EXPECT_STREQ(e.what(),
                         "Field 'Seed' of table cdsMain holds a value of the wrong kind");
        }
        return;
    }
    const StoreData read = loadDatabase(dbPath);
    set(data.records[0], mainSchema(), "Seed", *c.read);
    expectSameStore(data, read);

    Store store;
    store.load(read);
    store.open();
    store.cdsMain.edit();
    RecordRowEditor(store.cdsMain).setRem("saved again");
    store.cdsMain.post();
    saveDatabase(dbPath, store);
    EXPECT_EQ(queryText(dbPath, "SELECT typeof(Seed) FROM cdsMain"), "integer");
    expectSameStore(store.data(), loadDatabase(dbPath));
}

INSTANTIATE_TEST_SUITE_P(Values, DatabaseFormerSeed, ::testing::ValuesIn(FormerSeedCases),
                         CaseName);

} // namespace
} // namespace kelvora::dbtest
