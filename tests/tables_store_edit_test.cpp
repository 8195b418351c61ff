#include "tables_fixture.h"

#include "casename.h"
#include "core/errors.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace kelvora;
using namespace kelvora::storetest;

namespace {

using testcase::CaseName;
using testcase::PrintTo;

std::string errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Error &e) {
        return e.what();
    }
    return {};
}

class StoreEditTest : public StoreEngineTest
{
protected:
    StoreEditTest() { store.clock = [this] { return DateTime{now}; }; }

    // Like the range refresh of the window: after each post or delete of a reference point,
    // scan the points, edit and post the record, and leave the point cursor where it was.
    void connectRangeReaction()
    {
        const auto refresh = [this] {
            if (bb.isEmpty())
                return;
            const int row = bb.recNo();
            double sMax = 0;
            for (int i = 1; i <= bb.recordCount(); ++i) {
                bb.setRecNo(i);
                sMax = std::max(sMax, bb.asFloat("S"));
            }
            bb.setRecNo(row);
            main.edit();
            main.setFloat("SMax", sMax);
            main.post();
        };
        bb.afterPost.connect(refresh);
        bb.afterDelete.connect(refresh);
    }

    std::int64_t now = 5000;
};

// ---- new records ----------------------------------------------------------------------------

TEST_F(StoreEditTest, NewRecordIsStampedUncomputedAndComesFirstWhenPosted)
{
    openWith(greekRecords());
    DateTime seenByReaction;
    main.onNewRecord.connect([&] { seenByReaction = main.asDateTime("Created"); });
    main.append();
    EXPECT_EQ(main.state(), TableState::Insert);
    EXPECT_EQ(seenByReaction.msecs, 5000);
    EXPECT_FALSE(main.isNull("Computed"));
    EXPECT_FALSE(main.asBoolean("Computed"));
    EXPECT_TRUE(main.isNull("Name"));
    EXPECT_EQ(bb.recordCount(), 0);
    main.setString("Name", "Delta");
    main.post();
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_EQ(main.recNo(), 1);
    EXPECT_EQ(column(main, "Name"), (std::vector<std::string>{"Delta", "Beta", "Gamma", "Alpha"}));
}

TEST_F(StoreEditTest, RecordsOfTheSameMillisecondGetTheNextFreeOne)
{
    openWith({{"Old", 5001}});
    for (const char *name : {"A", "B", "C"}) {
        main.append();
        main.setString("Name", name);
        main.post();
    }
    // 5000 was free, 5001 taken by Old, then 5002 and 5003.
    main.setOrder(0);
    std::vector<std::int64_t> stamps;
    for (int recNo = 1; recNo <= 4; ++recNo) {
        main.setRecNo(recNo);
        stamps.push_back(main.asDateTime("Created").msecs);
    }
    EXPECT_EQ(stamps, (std::vector<std::int64_t>{5000, 5002, 5003, 5001}));
}

// ---- refused posts --------------------------------------------------------------------------

struct RefusalCase
{
    const char *name;
    int table; // 0 cdsMain, 1 cdsBB, 2 cdsInterp
    std::function<void(Table &)> fill; // on the table in insert state
    const char *probe;   // a field whose entered value must survive a refusal
    const char *message; // empty: the post succeeds
};

class StoreRefusedPostTest : public StoreEditTest,
                             public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(StoreRefusedPostTest, KeepsTheRowPendingWithItsValues)
{
    openWith(greekRecords());
    const RefusalCase &c = GetParam();
    Table &table = c.table == 0 ? main : (c.table == 1 ? bb : interp);
    const int rows = table.recordCount();
    table.append();
    c.fill(table);
    const std::string entered = table.asString(c.probe);
    ASSERT_NE(entered, "");
    EXPECT_EQ(errorOf([&] { table.post(); }), c.message);
    if (*c.message) {
        EXPECT_EQ(table.state(), TableState::Insert);
        EXPECT_EQ(table.recordCount(), rows);
        EXPECT_EQ(table.asString(c.probe), entered);
    } else {
        EXPECT_EQ(table.state(), TableState::Browse);
        EXPECT_EQ(table.recordCount(), rows + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, StoreRefusedPostTest,
    ::testing::Values(
        RefusalCase{"MainWithoutName", 0, [](Table &t) { t.setFloat("TMax", 1.0); }, "TMax",
                    "Field 'Name' must have a value"},
        RefusalCase{"MainBlankName", 0,
                    [](Table &t) {
                        t.setFloat("TMax", 1.0);
                        t.setString("Name", "");
                    },
                    "TMax", "Field 'Name' must have a value"},
        RefusalCase{"MainSameCreated", 0,
                    [](Table &t) {
                        t.setString("Name", "Copy");
                        t.setDateTime("Created", DateTime{2000});
                    },
                    "Name", "Key violation."},
        RefusalCase{"MainNamed", 0, [](Table &t) { t.setString("Name", "New"); }, "Name", ""},
        RefusalCase{"BBWithoutS", 1, [](Table &t) { t.setFloat("T", 1000.0); }, "T",
                    "Field 'S' must have a value"},
        RefusalCase{"BBWithoutT", 1, [](Table &t) { t.setFloat("S", 0.5); }, "S",
                    "Field 'T' must have a value"},
        RefusalCase{"BBComplete", 1,
                    [](Table &t) {
                        t.setFloat("S", 0.5);
                        t.setFloat("T", 1000.0);
                    },
                    "S", ""},
        RefusalCase{"InterpEmpty", 2, [](Table &t) { t.setFloat("T", 1.0); }, "T", ""}),
    CaseName);

TEST_F(StoreEditTest, KeyViolationOnEditAndItsRepair)
{
    openWith(greekRecords());
    main.edit(); // Beta, created 3000
    main.setDateTime("Created", DateTime{1000});
    EXPECT_EQ(errorOf([&] { main.post(); }), "Key violation.");
    EXPECT_EQ(main.state(), TableState::Edit);
    main.setDateTime("Created", DateTime{3000}); // its own value again
    main.post();
    EXPECT_EQ(main.state(), TableState::Browse);
}

// ---- leaving a pending row ------------------------------------------------------------------

struct LeaveCase
{
    const char *name;
    bool insert;   // a new row, else an edit of the current one
    bool change;   // a field is written
    int rowsAfter; // rows after moving on
    const char *firstName; // name of the first row afterwards, in name order
};

class StoreLeavePendingTest : public StoreEditTest, public ::testing::WithParamInterface<LeaveCase>
{
};

TEST_P(StoreLeavePendingTest, MovingPostsAChangedRowAndDropsAnUntouchedOne)
{
    openWith(greekRecords());
    main.setOrder(0);
    const LeaveCase &c = GetParam();
    if (c.insert)
        main.append();
    else
        main.edit();
    if (c.change)
        main.setString("Name", "Aardvark");
    main.last();
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_EQ(main.recordCount(), c.rowsAfter);
    EXPECT_EQ(column(main, "Name").front(), c.firstName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoreLeavePendingTest,
    ::testing::Values(LeaveCase{"NewChanged", true, true, 4, "Aardvark"},
                      LeaveCase{"NewUntouched", true, false, 3, "Alpha"},
                      LeaveCase{"EditChanged", false, true, 3, "Aardvark"},
                      LeaveCase{"EditUntouched", false, false, 3, "Alpha"}),
    CaseName);

TEST_F(StoreEditTest, ValuesSetByTheNewRecordReactionAreNoChange)
{
    openWith(greekRecords());
    main.onNewRecord.connect([this] { main.setDateTime("Created", DateTime{now + 7}); });
    main.append();
    EXPECT_EQ(main.asDateTime("Created").msecs, 5007);
    main.first(); // dropped, not posted (which would be refused for the missing name)
    EXPECT_EQ(main.recordCount(), 3);
    EXPECT_EQ(main.state(), TableState::Browse);
}

TEST_F(StoreEditTest, AMoveWhosePostIsRefusedStaysOnThePendingRow)
{
    openWith(greekRecords());
    main.append();
    main.setFloat("MeanWL", 0.65);
    EXPECT_EQ(errorOf([&] { main.first(); }), "Field 'Name' must have a value");
    EXPECT_EQ(main.state(), TableState::Insert);
    EXPECT_EQ(main.asFloat("MeanWL"), 0.65);
    EXPECT_EQ(main.displayCurrentRow(), 3);
}

// ---- pending rows as a grid shows them ------------------------------------------------------

TEST_F(StoreEditTest, InsertShowsThePendingRowBeforeTheCurrentOne)
{
    openWith(greekRecords());
    main.setOrder(0);
    main.setRecNo(2); // Beta
    main.insert();
    main.setString("Name", "Zulu");
    EXPECT_EQ(main.recordCount(), 3);
    EXPECT_EQ(main.displayRowCount(), 4);
    EXPECT_EQ(main.displayCurrentRow(), 1);
    EXPECT_EQ(main.recNo(), 0);
    EXPECT_EQ(column(main, "Name"), (std::vector<std::string>{"Alpha", "Zulu", "Beta", "Gamma"}));
    EXPECT_EQ(column(main, "RecNo"), (std::vector<std::string>{"1", "", "2", "3"}));
    main.post(); // moves to its place in the order, the cursor with it
    EXPECT_EQ(column(main, "Name"), (std::vector<std::string>{"Alpha", "Beta", "Gamma", "Zulu"}));
    EXPECT_EQ(main.recNo(), 4);
    EXPECT_EQ(main.asString("Name"), "Zulu");
}

TEST_F(StoreEditTest, CancelDropsThePendingRowAndReturnsToTheFormerRow)
{
    openWith(greekRecords());
    main.setRecNo(2);
    for (const bool append : {true, false}) {
        int scrolls = 0;
        EventConnection counting = main.afterScroll.subscribe([&scrolls] { ++scrolls; });
        append ? main.append() : main.insert();
        main.setString("Name", "Temp");
        main.cancel();
        counting.reset();
        EXPECT_EQ(main.state(), TableState::Browse);
        EXPECT_EQ(main.displayRowCount(), 3);
        EXPECT_EQ(main.asString("Name"), "Gamma");
        EXPECT_EQ(bb.recordCount(), 3); // the nested tables show Gamma's rows again
        EXPECT_EQ(scrolls, 2);          // onto the new row and back
    }
}

TEST_F(StoreEditTest, EditBufferIsShownAndStoredOnlyByPost)
{
    openWith(greekRecords());
    main.edit();
    main.setString("Name", "Bravo");
    EXPECT_EQ(column(main, "Name"), (std::vector<std::string>{"Bravo", "Gamma", "Alpha"}));
    EXPECT_EQ(fieldOf(store.data().records[1], mainSchema(), "Name"), Value{std::string("Beta")});
    main.cancel();
    EXPECT_EQ(main.asString("Name"), "Beta");
    main.edit();
    main.setString("Name", "Bravo");
    main.post();
    EXPECT_EQ(fieldOf(store.data().records[1], mainSchema(), "Name"), Value{std::string("Bravo")});
}

TEST_F(StoreEditTest, PostKeepsTheCursorOnTheRowAtItsNewPlace)
{
    openWith(greekRecords());
    main.setOrder(0);
    main.first(); // Alpha
    main.edit();
    main.setString("Name", "Omega");
    main.post();
    EXPECT_EQ(main.asString("Name"), "Omega");
    EXPECT_EQ(main.recNo(), 3);
    EXPECT_EQ(bb.recordCount(), 2); // still Alpha's points
}

TEST_F(StoreEditTest, EditOnAnEmptyTableStartsANewRow)
{
    store.open();
    main.edit();
    EXPECT_EQ(main.state(), TableState::Insert);
    EXPECT_EQ(main.displayRowCount(), 1);
}

// ---- writing fields -------------------------------------------------------------------------

TEST_F(StoreEditTest, FieldWritesAreCheckedAndConverted)
{
    openWith(greekRecords());
    EXPECT_EQ(errorOf([&] { main.setString("Name", "x"); }), "Dataset not in edit or insert mode");
    main.edit();
    EXPECT_EQ(errorOf([&] { main.setValue("RecNo", std::int64_t{2}); }),
              "Field 'RecNo' cannot be modified");
    EXPECT_EQ(errorOf([&] { main.setValue("MeanWL", std::string("1")); }),
              "Invalid value for field 'MeanWL'");
    EXPECT_EQ(errorOf([&] { main.setString("Nope", "1"); }), "Field 'Nope' not found");

    main.setString("Name", std::string(150, 'n'));
    EXPECT_EQ(main.asString("Name"), std::string(100, 'n'));
    std::string accents;
    for (int i = 0; i < 101; ++i)
        accents += "\xC3\xA9"; // é
    main.setString("Name", accents);
    EXPECT_EQ(main.asString("Name"), accents.substr(0, 200));
    main.setString("Rem", std::string(150, 'r'));
    EXPECT_EQ(main.asString("Rem").size(), 150u);

    const TextLocale comma{',', formatIsoDateTime};
    main.setString("MeanWL", "0,65", comma);
    EXPECT_EQ(main.asFloat("MeanWL"), 0.65);
    EXPECT_THROW(main.setString("MeanWL", "0.65", comma), ConvertError);
    main.setString("MeanWL", "");
    EXPECT_TRUE(main.isNull("MeanWL"));
    main.setString("Computed", "true");
    EXPECT_TRUE(main.asBoolean("Computed"));
    main.setString("Processed", "2024-02-29 13:45:10");
    EXPECT_EQ(main.asString("Processed"), "2024-02-29 13:45:10");
    EXPECT_THROW(main.setString("Processed", "2023-02-29"), ConvertError);
    main.clear("Processed");
    EXPECT_TRUE(main.isNull("Processed"));

    bb.edit();
    EXPECT_EQ(errorOf([&] { bb.setValue("inc", std::int64_t{9}); }),
              "Field 'inc' cannot be modified");
}

// ---- no infinity in a double field ----------------------------------------------------------

struct DoubleWrite
{
    const char *name;
    std::function<void(Table &, const std::string &)> write;
    const char *error; // empty: accepted
    double stored;
};

class StoreDoubleFields : public StoreEditTest, public ::testing::WithParamInterface<DoubleWrite>
{
};

// Every double field of the three tables, whether a window edits it or not.
TEST_P(StoreDoubleFields, KeepOnlyFiniteValues)
{
    const DoubleWrite &c = GetParam();
    openWith(greekRecords());
    while (main.asString("Name") != "Gamma")
        main.next(); // the record with reference points and measurements
    for (Table *table : {&main, &bb, &interp}) {
        int fields = 0;
        for (const FieldDef &field : table->schema().fields) {
            if (field.kind != FieldKind::Float)
                continue;
            ++fields;
            table->edit();
            const Value before = table->value(field.name);
            EXPECT_EQ(errorOf([&] { c.write(*table, field.name); }), c.error) << field.name;
            if (*c.error != 0)
                EXPECT_EQ(table->value(field.name), before) << field.name;
            else
                EXPECT_EQ(table->asFloat(field.name), c.stored) << field.name;
            table->cancel();
        }
        EXPECT_GT(fields, 0) << table->schema().name;
    }
}

const auto typed = [](const char *text) {
    return [text](Table &table, const std::string &field) { table.setString(field, text); };
};
const auto assigned = [](double value) {
    return [value](Table &table, const std::string &field) { table.setFloat(field, value); };
};
constexpr double Largest = std::numeric_limits<double>::max();
constexpr double Infinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Values, StoreDoubleFields,
    ::testing::Values(
        DoubleWrite{"TypedBeyondTheDoubles", typed("1e400"), "Floating point overflow", 0},
        DoubleWrite{"TypedBelowTheDoubles", typed("-1e400"), "Floating point overflow", 0},
        DoubleWrite{"TypedLargestDouble", typed("1.7976931348623157e308"), "", Largest},
        DoubleWrite{"TypedRoundingToTheLargest", typed("-1.7976931348623158e308"), "",
                    -Largest},
        DoubleWrite{"Infinity", assigned(Infinity), "Floating point overflow", 0},
        DoubleWrite{"MinusInfinity", assigned(-Infinity), "Floating point overflow", 0},
        DoubleWrite{"NaN", assigned(std::numeric_limits<double>::quiet_NaN()),
                    "Invalid floating point operation", 0},
        DoubleWrite{"LargestDouble", assigned(Largest), "", Largest}),
    CaseName);

// ---- nested tables --------------------------------------------------------------------------

TEST_F(StoreEditTest, NestedTablesFollowTheCurrentRecord)
{
    openWith(greekRecords());
    ChangeLog bbChanges(bb);
    int bbScrolls = 0;
    bb.afterScroll.connect([&bbScrolls] { ++bbScrolls; });
    bb.last();
    main.next(); // Gamma
    EXPECT_EQ(column(bb, "T"), (std::vector<std::string>{"1200.0", "1700.0", "900.0"}));
    EXPECT_EQ(bb.recNo(), 1);
    EXPECT_TRUE(bb.bof());
    EXPECT_EQ(interp.recordCount(), 2);
    EXPECT_EQ(bbChanges.changes.back().kind, DataChange::Kind::Reset);
    EXPECT_EQ(bbScrolls, 1);
    main.next(); // Alpha
    EXPECT_EQ(column(interp, "S"), (std::vector<std::string>{"1"}));
}

TEST_F(StoreEditTest, NestedChangesLiveInTheRecordUntilItIsPostedOrCancelled)
{
    openWith(greekRecords());
    main.next(); // Gamma
    bb.next();
    bb.edit();
    EXPECT_EQ(main.state(), TableState::Edit);
    bb.setFloat("T", 1701.0);
    bb.post();
    EXPECT_EQ(main.state(), TableState::Edit);
    EXPECT_EQ(bb.asFloat("T"), 1701.0);
    EXPECT_EQ(fieldOf(store.data().records[2].nested[0].rows[1], bbSchema(), "T"),
              Value{1700.0});
    bb.remove();
    interp.append();
    interp.setFloat("S", 9.0);
    interp.post();
    interp.append(); // still pending when the record is cancelled
    interp.setFloat("S", 10.0);
    main.cancel();
    EXPECT_EQ(column(bb, "T"), (std::vector<std::string>{"1200.0", "1700.0", "900.0"}));
    EXPECT_EQ(interp.state(), TableState::Browse);
    EXPECT_EQ(column(interp, "S"), (std::vector<std::string>{"0.3", "0.4"}));

    bb.setRecNo(2);
    bb.edit();
    bb.setFloat("T", 1701.0);
    bb.post();
    main.post();
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_EQ(bb.recNo(), 2); // the record's post leaves the nested cursor alone
    EXPECT_EQ(fieldOf(store.data().records[2].nested[0].rows[1], bbSchema(), "T"),
              Value{1701.0});
}

TEST_F(StoreEditTest, IncRisesPerRecordInTheOrderRowsWereAdded)
{
    openWith(greekRecords());
    const auto addPoint = [this](double s) {
        bb.append();
        bb.setFloat("S", s);
        bb.setFloat("T", 1000.0);
        bb.post();
        return bb.asInteger("inc");
    };
    main.next(); // Gamma: inc 1..3
    EXPECT_EQ(addPoint(0.7), 4);
    bb.first();
    bb.remove();
    EXPECT_EQ(addPoint(0.8), 5);
    bb.setRecNo(2);
    bb.insert(); // shown before row 2, stored by its inc at the end
    EXPECT_EQ(bb.displayCurrentRow(), 1);
    bb.setFloat("S", 0.9);
    bb.setFloat("T", 1000.0);
    bb.post();
    EXPECT_EQ(bb.asInteger("inc"), 6);
    EXPECT_EQ(bb.recNo(), 5);
    EXPECT_EQ(column(bb, "inc"), (std::vector<std::string>{"2", "3", "4", "5", "6"}));
    main.post();
    main.first(); // Beta: its own count
    EXPECT_EQ(addPoint(0.1), 2);
}

TEST_F(StoreEditTest, RecordPostStoresAChangedNestedRowAndDropsAnUntouchedOne)
{
    openWith(greekRecords());
    bb.append();
    bb.setFloat("S", 0.3);
    bb.setFloat("T", 900.0);
    interp.append();
    main.post();
    EXPECT_FALSE(bb.isEditing() || interp.isEditing());
    EXPECT_EQ(bb.recordCount(), 2);
    EXPECT_EQ(interp.recordCount(), 0);
    EXPECT_EQ(store.data().records[1].nested[0].rows.size(), 2u);

    bb.append();
    bb.setFloat("S", 0.4); // T missing
    EXPECT_EQ(errorOf([&] { main.post(); }), "Field 'T' must have a value");
    EXPECT_EQ(main.state(), TableState::Edit);
    EXPECT_EQ(bb.state(), TableState::Insert);
}

TEST_F(StoreEditTest, MovingTheRecordPostsItsChangedNestedRow)
{
    openWith(greekRecords());
    bb.edit();
    bb.setFloat("S", 0.15);
    main.next();
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_EQ(fieldOf(store.data().records[1].nested[0].rows[0], bbSchema(), "S"),
              Value{0.15});
}

TEST_F(StoreEditTest, NestedRowForAnEmptyStoreStartsARecord)
{
    store.open();
    bb.append();
    EXPECT_EQ(main.state(), TableState::Insert);
    bb.setFloat("S", 1.0);
    bb.setFloat("T", 1000.0);
    bb.post();
    main.setString("Name", "First");
    main.post();
    ASSERT_EQ(store.data().records.size(), 1u);
    EXPECT_EQ(store.data().records[0].nested[0].rows.size(), 1u);
    EXPECT_EQ(store.data().records[0].nested[0].nextInc, 2);
}

// A reaction that edits and posts the record after each reference-point post, as the range
// refresh of the window does.
TEST_F(StoreEditTest, ReactionPostingTheRecordInsideANestedPost)
{
    openWith(greekRecords());
    connectRangeReaction();
    main.next(); // Gamma
    bb.setRecNo(2);
    bb.edit();
    bb.setFloat("S", 5.0);
    bb.post();
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_EQ(bb.recNo(), 2);
    EXPECT_EQ(fieldOf(store.data().records[2], mainSchema(), "SMax"), Value{5.0});

    bb.append();
    bb.setFloat("S", 6.0);
    bb.setFloat("T", 1000.0);
    main.post(); // posts the point first, whose reaction posts the record
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_EQ(bb.recNo(), 4);
    EXPECT_EQ(store.data().records[2].nested[0].rows.size(), 4u);
    EXPECT_EQ(fieldOf(store.data().records[2], mainSchema(), "SMax"), Value{6.0});

    bb.setRecNo(2);
    bb.remove(); // the 5.0 point: the range follows, the cursor stays on the next point
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_EQ(bb.recNo(), 2);
    EXPECT_EQ(bb.asFloat("S"), 0.2);
    EXPECT_EQ(fieldOf(store.data().records[2], mainSchema(), "SMax"), Value{6.0});
    bb.last();
    bb.remove();
    EXPECT_EQ(fieldOf(store.data().records[2], mainSchema(), "SMax"), Value{1.0});
}

// ---- deleting -------------------------------------------------------------------------------

struct DeleteCase
{
    int current;               // 1-based
    const char *remaining;     // T of the rows left, joined
    int currentAfter;
};

void PrintTo(const DeleteCase &c, std::ostream *os)
{
    *os << "current" << c.current;
}

class StoreDeleteTest : public StoreEditTest, public ::testing::WithParamInterface<DeleteCase>
{
};

TEST_P(StoreDeleteTest, TheFollowingRowOrTheNewLastBecomesCurrent)
{
    openWith({{"Rec", 1, {{1, 100}, {2, 200}, {3, 300}, {4, 400}}}});
    int deleted = 0;
    int scrolls = 0;
    bb.afterDelete.connect([&deleted] { ++deleted; });
    bb.afterScroll.connect([&scrolls] { ++scrolls; });
    bb.setRecNo(GetParam().current);
    scrolls = 0;
    bb.remove();
    std::string ts;
    for (const std::string &t : column(bb, "T"))
        ts += t + " ";
    EXPECT_EQ(ts, GetParam().remaining);
    EXPECT_EQ(bb.recNo(), GetParam().currentAfter);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(main.state(), TableState::Edit);
}

INSTANTIATE_TEST_SUITE_P(Positions, StoreDeleteTest,
                         ::testing::Values(DeleteCase{1, "200.0 300.0 400.0 ", 1},
                                           DeleteCase{2, "100.0 300.0 400.0 ", 2},
                                           DeleteCase{4, "100.0 200.0 300.0 ", 3}));

TEST_F(StoreEditTest, RemoveOnAnEmptyTableIsRefusedAndOnAPendingRowCancelsIt)
{
    store.open();
    EXPECT_EQ(errorOf([&] { main.remove(); }),
              "Cannot perform this operation on an empty dataset");
    EXPECT_EQ(errorOf([&] { bb.remove(); }), "Cannot perform this operation on an empty dataset");
    main.append();
    main.setString("Name", "Pending");
    int deletes = 0;
    main.beforeDelete.connect([&deletes] { ++deletes; });
    main.remove();
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_EQ(main.displayRowCount(), 0);
    EXPECT_EQ(deletes, 0);
}

TEST_F(StoreEditTest, DeletingARecordWithItsRowsLeavesTheOthersAlone)
{
    openWith(greekRecords());
    connectRangeReaction();
    main.beforeDelete.connect([this] {
        DeleteAllRows(bb);
        DeleteAllRows(interp);
    });
    int pointDeletes = 0;
    bb.afterDelete.connect([&pointDeletes] { ++pointDeletes; });
    main.next(); // Gamma, 3 points and 2 measurements
    main.edit();
    main.setString("Name", "Discarded");
    main.remove();
    EXPECT_EQ(pointDeletes, 3);
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_EQ(column(main, "Name"), (std::vector<std::string>{"Beta", "Alpha"}));
    EXPECT_EQ(main.asString("Name"), "Alpha");
    EXPECT_EQ(bb.recordCount(), 2); // Alpha's points
    const StoreData data = store.data();
    ASSERT_EQ(data.records.size(), 2u);
    EXPECT_EQ(data.records[0].nested[0].rows.size(), 2u);
    EXPECT_EQ(data.records[0].nested[1].rows.size(), 1u);
    EXPECT_EQ(data.records[1].nested[0].rows.size(), 1u);
}

TEST_F(StoreEditTest, DeletingAnEarlierStoredRecordKeepsTheOthersInOrder)
{
    openWith(greekRecords());
    main.last(); // Alpha, stored first
    main.remove();
    EXPECT_EQ(column(main, "Name"), (std::vector<std::string>{"Beta", "Gamma"}));
    EXPECT_EQ(main.asString("Name"), "Gamma");
    EXPECT_EQ(bb.recordCount(), 3);
    main.setOrder(0);
    EXPECT_EQ(column(main, "Name"), (std::vector<std::string>{"Beta", "Gamma"}));
}

// ---- notifications --------------------------------------------------------------------------

TEST_F(StoreEditTest, ChangesAreReportedWithTheirRows)
{
    openWith(greekRecords());
    ChangeLog log(main);
    using K = DataChange::Kind;
    const auto last = [&log] { return log.changes.back(); };
    main.next();
    EXPECT_EQ(last().kind, K::Moved);
    EXPECT_EQ(last().row, 1);
    main.append();
    EXPECT_EQ(log.changes[log.changes.size() - 2].kind, K::Inserted);
    EXPECT_EQ(log.changes[log.changes.size() - 2].row, 3);
    EXPECT_EQ(last().kind, K::State);
    main.setString("Name", "Zed");
    EXPECT_EQ(last().kind, K::Changed);
    EXPECT_EQ(last().row, 3);
    main.post(); // newest: moves to the top
    EXPECT_EQ(log.changes[log.changes.size() - 2].kind, K::Reset);
    EXPECT_EQ(last().kind, K::State);
    EXPECT_EQ(last().row, 0);
    main.last();
    main.remove();
    EXPECT_EQ(last().kind, K::Removed);
    EXPECT_EQ(last().row, 3);
}

TEST_F(StoreEditTest, SuspendedDisplaysGetOneResetOnTheLastResume)
{
    openWith(greekRecords());
    ChangeLog log(main);
    int scrolls = 0;
    main.afterScroll.connect([&scrolls] { ++scrolls; });
    main.disableControls();
    main.disableControls();
    main.next();
    main.edit();
    main.setString("Name", "Renamed");
    main.post();
    EXPECT_EQ(scrolls, 1); // other events still run
    main.enableControls();
    EXPECT_TRUE(main.controlsDisabled());
    EXPECT_TRUE(log.changes.empty());
    main.enableControls();
    EXPECT_FALSE(main.controlsDisabled());
    ASSERT_EQ(log.changes.size(), 1u);
    EXPECT_EQ(log.changes[0].kind, DataChange::Kind::Reset);
    main.enableControls(); // one too many: no further notice
    EXPECT_EQ(log.changes.size(), 1u);
}

TEST_F(StoreEditTest, DeleteAllRowsShowsBusyAndResumesTheDisplaysOnce)
{
    openWith(greekRecords());
    std::vector<bool> busy;
    store.setBusy = [&busy](bool on) { busy.push_back(on); };
    main.next(); // Gamma
    ChangeLog log(bb);
    int deletes = 0;
    bb.afterDelete.connect([&] {
        ++deletes;
        EXPECT_TRUE(bb.controlsDisabled());
    });
    DeleteAllRows(bb);
    EXPECT_EQ(deletes, 3);
    EXPECT_EQ(bb.recordCount(), 0);
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
    ASSERT_EQ(log.changes.size(), 1u);
    EXPECT_EQ(log.changes[0].kind, DataChange::Kind::Reset);

    DeleteAllRows(bb); // nothing left: no refusal
    EXPECT_EQ(deletes, 3);
    EXPECT_FALSE(bb.controlsDisabled());

    PostIfEditing(bb); // browse: nothing
    EXPECT_EQ(main.state(), TableState::Edit);
    PostIfEditing(main);
    EXPECT_EQ(main.state(), TableState::Browse);
    EXPECT_TRUE(store.data().records[2].nested[0].rows.empty());
}

} // namespace
