#include "tables_fixture.h"

#include "casename.h"
#include "core/errors.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

using namespace kelvora;
using namespace kelvora::storetest;

namespace {

using testcase::CaseName;
using testcase::PrintTo;

// ---- schema ---------------------------------------------------------------------------------

TEST(StoreSchemaTest, AnUnknownFieldIsNamedInTheError)
{
    EXPECT_EQ(mainSchema().fieldIndex("Nope"), -1);
    try {
        mainSchema().field("Nope");
        FAIL() << "no error";
    } catch (const StoreError &e) {
        EXPECT_STREQ(e.what(), "Field 'Nope' not found");
    }
}

// ---- cursor ---------------------------------------------------------------------------------

struct MoveCase
{
    const char *name;
    std::function<void(Table &)> moves;
    int recNo;
    bool bof;
    bool eof;
};

class StoreCursorTest : public StoreEngineTest, public ::testing::WithParamInterface<MoveCase>
{
};

TEST_P(StoreCursorTest, MovesEndWhereExpected)
{
    openWith(greekRecords());
    const MoveCase &c = GetParam();
    c.moves(main);
    EXPECT_EQ(main.recNo(), c.recNo);
    EXPECT_EQ(main.bof(), c.bof);
    EXPECT_EQ(main.eof(), c.eof);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, StoreCursorTest,
    ::testing::Values(
        MoveCase{"Opened", [](Table &) {}, 1, true, false},
        MoveCase{"Next", [](Table &t) { t.next(); }, 2, false, false},
        MoveCase{"NextTwice", [](Table &t) { t.next(); t.next(); }, 3, false, false},
        MoveCase{"NextPastLast", [](Table &t) { t.last(); t.next(); }, 3, false, true},
        MoveCase{"Last", [](Table &t) { t.last(); }, 3, false, true},
        MoveCase{"PriorOnFirst", [](Table &t) { t.next(); t.prior(); t.prior(); }, 1, true,
                 false},
        MoveCase{"PriorFromLast", [](Table &t) { t.last(); t.prior(); }, 2, false, false},
        MoveCase{"First", [](Table &t) { t.last(); t.first(); }, 1, true, false},
        MoveCase{"SetRecNo", [](Table &t) { t.setRecNo(2); }, 2, false, false}),
    CaseName);

TEST_F(StoreEngineTest, EmptyTableHasNoCurrentRowAndBothEnds)
{
    store.open();
    EXPECT_EQ(main.recordCount(), 0);
    EXPECT_EQ(main.recNo(), 0);
    main.next();
    main.prior();
    EXPECT_TRUE(main.bof());
    EXPECT_TRUE(main.eof());
    EXPECT_TRUE(main.isNull("Name"));
    EXPECT_EQ(main.asString("Name"), "");
    EXPECT_EQ(bb.recordCount(), 0);
}

TEST_F(StoreEngineTest, SetRecNoOutsideTheRowsIsARangeError)
{
    openWith(greekRecords());
    main.setRecNo(2);
    for (const int recNo : {0, 4, -1}) {
        EXPECT_THROW(main.setRecNo(recNo), RangeError) << recNo;
        EXPECT_EQ(main.recNo(), 2);
    }
}

TEST_F(StoreEngineTest, ClosedTablesRefuseMovesAndKnowNoRows)
{
    store.load(makeData(greekRecords()));
    EXPECT_FALSE(main.active());
    EXPECT_EQ(main.state(), TableState::Inactive);
    EXPECT_EQ(main.recordCount(), 0);
    try {
        main.first();
        FAIL() << "no error";
    } catch (const StoreError &e) {
        EXPECT_STREQ(e.what(), "Cannot perform this operation on a closed dataset");
    }
    store.open();
    EXPECT_TRUE(bb.active() && interp.active());
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_THROW(store.load(StoreData{}), StoreError);
    store.close();
    EXPECT_FALSE(bb.active() || interp.active() || main.active());
}

TEST_F(StoreEngineTest, AfterScrollRunsOnlyWhenAnotherRowBecomesCurrent)
{
    store.load(makeData(greekRecords()));
    int scrolls = 0;
    main.afterScroll.connect([&scrolls] { ++scrolls; });
    store.open();
    EXPECT_EQ(scrolls, 1);
    main.next();
    EXPECT_EQ(scrolls, 2);
    main.last();
    main.next(); // refused on the last row
    EXPECT_EQ(scrolls, 3);
    main.setRecNo(3);
    main.setOrder(0); // same row, other position
    EXPECT_EQ(scrolls, 3);
}

// ---- orders and search ----------------------------------------------------------------------

TEST_F(StoreEngineTest, OpensNewestFirstAndOrdersByNameOnRequest)
{
    openWith(greekRecords());
    EXPECT_EQ(main.orderIndex(), 1);
    EXPECT_EQ(column(main, "Name"), (std::vector<std::string>{"Beta", "Gamma", "Alpha"}));
    main.setRecNo(2); // Gamma
    main.setOrder(0);
    EXPECT_EQ(column(main, "Name"), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(main.asString("Name"), "Gamma");
    EXPECT_EQ(main.recNo(), 3);
    main.setOrder(1);
    EXPECT_EQ(main.recNo(), 2);
    EXPECT_THROW(main.setOrder(2), RangeError);
}

TEST_F(StoreEngineTest, NameOrderComparesBytesAndKeepsStorageOrderForEqualNames)
{
    openWith({{"beta", 1}, {"Beta", 2}, {"Alpha", 3}, {"Beta", 4}, {"", 5}});
    main.setOrder(0);
    // An empty name is no value and sorts first; lower case after upper case.
    EXPECT_EQ(column(main, "Name"),
              (std::vector<std::string>{"", "Alpha", "Beta", "Beta", "beta"}));
    main.setRecNo(3);
    EXPECT_EQ(main.asDateTime("Created").msecs, 2);
    main.next();
    EXPECT_EQ(main.asDateTime("Created").msecs, 4);

    // A new name equal to others goes after them, and so does a renamed record.
    main.append();
    main.setString("Name", "Beta");
    main.post();
    EXPECT_EQ(main.recNo(), 5);
    main.edit();
    main.setString("Name", "Alpha");
    main.post();
    EXPECT_EQ(main.recNo(), 3);
    EXPECT_EQ(column(main, "Name"),
              (std::vector<std::string>{"", "Alpha", "Alpha", "Beta", "Beta", "beta"}));
}

struct FindCase
{
    const char *key;
    const char *found;
};

void PrintTo(const FindCase &c, std::ostream *os)
{
    *os << "key_" << c.key;
}

class StoreFindNearestTest : public StoreEngineTest, public ::testing::WithParamInterface<FindCase>
{
};

TEST_P(StoreFindNearestTest, FindsFirstNameAtOrAfterTheKey)
{
    openWith(greekRecords());
    main.last();
    main.setOrder(0);
    main.findNearest(GetParam().key);
    EXPECT_EQ(main.asString("Name"), GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(Keys, StoreFindNearestTest,
                         ::testing::Values(FindCase{"B", "Beta"}, FindCase{"C", "Gamma"},
                                           FindCase{"", "Alpha"}, FindCase{"Zed", "Gamma"},
                                           FindCase{"Beta", "Beta"}, FindCase{"Bf", "Gamma"},
                                           FindCase{"alpha", "Gamma"}, FindCase{"A", "Alpha"}));

TEST_F(StoreEngineTest, FindNearestInTheCreationOrderFollowsItsDirection)
{
    openWith({{"Old", 1000}, {"Middle", 2000}, {"New", 3000}});
    const std::array<std::pair<const char *, const char *>, 4> cases{{
        {"1970-01-01 00:00:02", "Middle"},
        {"1970-01-01 00:00:04", "New"},
        {"1970-01-01", "Old"}, // before every record: the last row
        {"", "New"},
    }};
    for (const auto &[key, name] : cases) {
        main.findNearest(key);
        EXPECT_EQ(main.asString("Name"), name) << key;
    }
    EXPECT_THROW(main.findNearest("yesterday"), ConvertError);
}

// ---- calculated fields and reading ----------------------------------------------------------

TEST_F(StoreEngineTest, RecNoAndRecordCountAreComputedPerTable)
{
    openWith(greekRecords());
    main.setRecNo(3); // Alpha
    EXPECT_EQ(main.asInteger("RecNo"), 3);
    EXPECT_EQ(main.asInteger("RecordCount"), 3);
    EXPECT_EQ(main.asString("RecNo"), "3");
    EXPECT_EQ(bb.asInteger("RecordCount"), 2);
    bb.next();
    EXPECT_EQ(bb.asInteger("RecNo"), 2);
    EXPECT_EQ(column(bb, "RecNo"), (std::vector<std::string>{"1", "2"}));
    main.setRecNo(2); // Gamma
    EXPECT_EQ(bb.asInteger("RecordCount"), 3);
    EXPECT_EQ(interp.asInteger("RecordCount"), 2);
    EXPECT_EQ(column(main, "RecNo"), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(column(main, "RecordCount"), (std::vector<std::string>{"3", "3", "3"}));
}

TEST_F(StoreEngineTest, EmptyFieldsReadAsZeroFalseAndEmptyText)
{
    openWith(greekRecords());
    EXPECT_TRUE(main.isNull("MeanWL"));
    EXPECT_EQ(main.asFloat("MeanWL"), 0.0);
    EXPECT_EQ(main.asString("MeanWL"), "");
    EXPECT_TRUE(main.isNull("Processed"));
    EXPECT_EQ(main.asDateTime("Processed").msecs, 0);
    EXPECT_FALSE(main.asBoolean("Computed"));
    EXPECT_EQ(main.asString("Rem"), "");
    EXPECT_EQ(interp.asString("T"), "");
    EXPECT_THROW(main.asBoolean("Name"), StoreError);
    EXPECT_THROW(main.asFloat("Created"), StoreError);
}

struct TextCase
{
    const char *table;
    const char *field;
    double value;
    const char *asString;
    const char *display;
};

void PrintTo(const TextCase &c, std::ostream *os)
{
    *os << c.table << "_" << c.field;
}

class StoreFloatTextTest : public StoreEngineTest, public ::testing::WithParamInterface<TextCase>
{
};

TEST_P(StoreFloatTextTest, ReadsGeneralFormatAndDisplaysItsOwnFormat)
{
    const TextCase &c = GetParam();
    openWith({{"Rec", 1, {{1.0, 1000.0}}, {1.0}}});
    const std::string name = c.table;
    Table &table = name == "main" ? main : (name == "bb" ? bb : interp);
    table.edit();
    table.setFloat(c.field, c.value);
    table.post();
    const TextLocale comma{',', formatIsoDateTime};
    EXPECT_EQ(table.asString(c.field, comma), c.asString);
    EXPECT_EQ(table.displayText(0, table.schema().fieldIndex(c.field), comma), c.display);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, StoreFloatTextTest,
    ::testing::Values(
        TextCase{"main", "MeanWL", 0.65, "0,65", "0,65"},
        TextCase{"main", "Bandwidth", 0.123456789, "0,123456789", "0,12346"},
        TextCase{"main", "TMax", 1234.5, "1234,5", "1234,5000"},
        TextCase{"main", "MeanRMSPSO", 0.000123, "0,000123", "0,0001"},
        TextCase{"main", "ALM", 1.234567890123456789, "1,23456789012346", "1,23456789012346"},
        TextCase{"bb", "S", 0.1234567890123456, "0,123456789012346", "0,123456789012"},
        TextCase{"bb", "T", 1234.56789, "1234,56789", "1234,5679"},
        TextCase{"bb", "dTLM", -0.126, "-0,126", "-0,13"},
        TextCase{"interp", "S", 2.5e-7, "2,5E-7", "2,5E-7"},
        TextCase{"interp", "T", 999.99999, "999,99999", "1000,0000"}));

TEST_F(StoreEngineTest, DatesUseTheLocaleFormatterAndBooleansTheirNames)
{
    openWith({{"Rec", 86400000 + 3600000}});
    const TextLocale locale{'.', [](DateTime t) { return "day " + std::to_string(t.msecs); }};
    EXPECT_EQ(main.asString("Created", locale), "day 90000000");
    EXPECT_EQ(main.displayText(0, mainSchema().fieldIndex("Created"), locale), "day 90000000");
    EXPECT_EQ(main.displayText(0, mainSchema().fieldIndex("Processed"), locale), "");
    EXPECT_EQ(main.asString("Computed"), "False");
}

// ---- the whole store ------------------------------------------------------------------------

TEST_F(StoreEngineTest, DataRoundTripsThroughLoad)
{
    StoreData original = makeData(greekRecords());
    fieldOf(original.records[0], mainSchema(), "Rem") = std::string("line 1\r\nline 2");
    fieldOf(original.records[0], mainSchema(), "Processed") = DateTime{123456789};
    fieldOf(original.records[0], mainSchema(), "Computed") = true;
    fieldOf(original.records[2], mainSchema(), "ALM") = 1.5e-300;
    original.records[2].nested[0].nextInc = 17; // rows were deleted before
    store.load(original);
    store.open();
    main.setOrder(0);
    main.last();

    const StoreData copy = store.data();
    ASSERT_EQ(copy.records.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(copy.records[i].values, original.records[i].values) << i;
        for (std::size_t k = 0; k < 2; ++k) {
            EXPECT_EQ(copy.records[i].nested[k].nextInc, original.records[i].nested[k].nextInc);
            ASSERT_EQ(copy.records[i].nested[k].rows.size(),
                      original.records[i].nested[k].rows.size());
            for (std::size_t r = 0; r < copy.records[i].nested[k].rows.size(); ++r)
                EXPECT_EQ(copy.records[i].nested[k].rows[r].values,
                          original.records[i].nested[k].rows[r].values);
        }
    }

    Store second;
    second.load(copy);
    second.open();
    EXPECT_EQ(column(second.cdsMain, "Name"),
              (std::vector<std::string>{"Beta", "Gamma", "Alpha"}));
    second.cdsMain.last();
    EXPECT_EQ(column(second.cdsBB, "S"), (std::vector<std::string>{"0.5", "2"}));
}

struct BadDataCase
{
    const char *name;
    std::function<void(StoreData &)> spoil;
};

class StoreLoadRejectsTest : public StoreEngineTest,
                             public ::testing::WithParamInterface<BadDataCase>
{
};

TEST_P(StoreLoadRejectsTest, DataThatDoNotFitTheSchema)
{
    StoreData data = makeData(greekRecords());
    GetParam().spoil(data);
    EXPECT_THROW(store.load(data), StoreError);
    store.open();
    EXPECT_EQ(main.recordCount(), 0); // nothing of it was taken
}

INSTANTIATE_TEST_SUITE_P(
    Spoiled, StoreLoadRejectsTest,
    ::testing::Values(
        BadDataCase{"TooFewFields", [](StoreData &d) { d.records[0].values.pop_back(); }},
        BadDataCase{"TextInFloat",
                    [](StoreData &d) {
                        fieldOf(d.records[1], mainSchema(), "MeanWL") = std::string("x");
                    }},
        BadDataCase{"NameTooLong",
                    [](StoreData &d) {
                        fieldOf(d.records[1], mainSchema(), "Name") = std::string(101, 'n');
                    }},
        BadDataCase{"SameCreated",
                    [](StoreData &d) {
                        fieldOf(d.records[2], mainSchema(), "Created") = DateTime{1000};
                    }},
        BadDataCase{"OneNestedTable", [](StoreData &d) { d.records[0].nested.pop_back(); }},
        BadDataCase{"IncNotRising",
                    [](StoreData &d) {
                        fieldOf(d.records[2].nested[0].rows[2], bbSchema(), "inc") =
                            std::int64_t{1};
                    }},
        BadDataCase{"IncNotBelowNext", [](StoreData &d) { d.records[2].nested[0].nextInc = 3; }},
        BadDataCase{"IncMissing",
                    [](StoreData &d) {
                        fieldOf(d.records[0].nested[1].rows[0], interpSchema(), "inc") =
                            std::monostate{};
                    }},
        BadDataCase{"CalculatedStored",
                    [](StoreData &d) {
                        fieldOf(d.records[0], mainSchema(), "RecNo") = std::int64_t{1};
                    }}),
    CaseName);

TEST_F(StoreEngineTest, ClearAllEmptiesAnOpenStore)
{
    openWith(greekRecords());
    main.edit();
    main.setString("Name", "Changed");
    store.clearAll();
    EXPECT_TRUE(main.active());
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_EQ(main.recordCount(), 0);
    EXPECT_EQ(bb.recordCount(), 0);
    EXPECT_TRUE(store.data().records.empty());
}

} // namespace
