#include "records_fixture.h"

#include "calibration/run.h"
#include "casename.h"
#include "core/errors.h"
#include "core/global.h"
#include "records/operations.h"
#include "tables/rows.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kelvora {
namespace {

using namespace kelvora::test;
using testcase::CaseName;
using testcase::PrintTo;

// --- Import ----------------------------------------------------------------------------

TEST_F(RecordsTest, ImportWritesRecordPointsGuessAndRanges)
{
    const Points points{{2.4e-3L, 1235.0L}, {6.1e-3L, 1358.0L}, {1.85e-2L, 1500.0L}};
    import("Lamp 3", points);

    EXPECT_EQ(records.cdsMain.state(), TableState::Browse);
    EXPECT_EQ(records.cdsMain.recordCount(), 1);
    const RecordRow main(records.cdsMain);
    EXPECT_EQ(main.name(), "Lamp 3");
    EXPECT_EQ(main.meanWL(), 0.65);
    EXPECT_EQ(main.bandwidth(), 0.01);
    EXPECT_FALSE(main.computed());
    EXPECT_EQ(main.processed(), std::nullopt);
    EXPECT_TRUE(main.isNull(RecordField::ALM));

    EXPECT_EQ(column(records.cdsBB, &ReferencePointRow::S),
              (std::vector<double>{2.4e-3, 6.1e-3, 1.85e-2}));
    EXPECT_EQ(column(records.cdsBB, &ReferencePointRow::T),
              (std::vector<double>{1235.0, 1358.0, 1500.0}));

    // The guess is computed over the extended values read, not over the stored doubles.
    ReferenceSet read;
    for (const auto &[s, t] : points)
        read.append(s, t);
    long double a = 0, b = 0, c = 0;
    SaundersWhiteGuess(0.65L, 0.01L, read, a, b, c);
    EXPECT_EQ(main.AS(), static_cast<double>(a));
    EXPECT_EQ(main.BS(), static_cast<double>(b));
    EXPECT_EQ(main.CS(), static_cast<double>(c));

    expectRanges({2.4e-3, 1.85e-2, 1235.0, 1500.0});
    EXPECT_FALSE(records.RangesBusy);
}

TEST_F(RecordsTest, ImportStoresTheUncertaintiesTheFileGives)
{
    RecordFileData file = fileData(ThreePoints);
    file.uT = {0.5L, std::nullopt, 12.25L};
    ImportRecord(records, file, "With u");
    Table &bb = records.cdsBB;
    std::vector<std::optional<double>> stored;
    ForEachRow(bb, [&] { stored.push_back(ReferencePointRow(bb).uT()); });
    EXPECT_EQ(stored, (std::vector<std::optional<double>>{0.5, std::nullopt, 12.25}));

    import("Without", ThreePoints);
    ForEachRow(bb, [&] { EXPECT_EQ(ReferencePointRow(bb).uT(), std::nullopt); });
}

TEST_F(RecordsTest, ImportLeavesNewRecordCurrentAndReferenceCursorOnFirstPoint)
{
    import("Older", ThreePoints);
    import("Newer", ThreePoints);
    EXPECT_EQ(records.cdsMain.recordCount(), 2);
    EXPECT_EQ(RecordRow(records.cdsMain).name(), "Newer");
    EXPECT_EQ(records.cdsBB.recNo(), 1);
    EXPECT_FALSE(records.cdsBB.controlsDisabled());
}

TEST_F(RecordsTest, ImportRefreshesRangesOnceNotPerPoint)
{
    int mainPosts = 0;
    records.cdsMain.afterPost.connect([&] { ++mainPosts; });
    import("Five", {{1, 500}, {2, 600}, {3, 700}, {4, 800}, {5, 900}});
    // The record itself, its initial guess, its ranges.
    EXPECT_EQ(mainPosts, 3);
}

TEST_F(RecordsTest, ImportCutsNameAt100Characters)
{
    import(std::string(150, 'n'), ThreePoints);
    EXPECT_EQ(RecordRow(records.cdsMain).name(), std::string(100, 'n'));
}

TEST_F(RecordsTest, ImportWithEmptyNameIsRefusedByTheStore)
{
    try {
        import("", ThreePoints);
        FAIL() << "an empty name was accepted";
    } catch (const StoreError &e) {
        EXPECT_STREQ(e.what(), "Field 'Name' must have a value");
    }
    EXPECT_EQ(records.cdsMain.state(), TableState::Insert);
    EXPECT_EQ(RecordRow(records.cdsMain).meanWL(), 0.65);
    EXPECT_EQ(records.cdsBB.recordCount(), 0);
}

struct FailingPointCase
{
    const char *name;
    Points points;
    int failingPost; // the post of a point whose after-post reaction fails; 0: none
    int kept;
};

class FailingPointTest : public RecordsTest,
                         public ::testing::WithParamInterface<FailingPointCase>
{
};

TEST_P(FailingPointTest, EarlierPointsAreKeptWithoutGuessOrRanges)
{
    const FailingPointCase &c = GetParam();
    int posts = 0;
    records.cdsBB.afterPost.connect([&] {
        if (++posts == c.failingPost)
            throw StoreError("disk gone");
    });
    try {
        import("Broken", c.points);
        FAIL() << "the failure was not reported";
    } catch (const Error &e) {
        EXPECT_STREQ(e.what(), "Error writing data to database");
    }
    EXPECT_FALSE(records.RangesBusy);
    EXPECT_FALSE(records.cdsBB.controlsDisabled());
    EXPECT_FALSE(records.cdsBB.isEditing());
    PostIfEditing(records.cdsMain);
    EXPECT_EQ(records.cdsBB.recordCount(), c.kept);
    const RecordRow record(records.cdsMain);
    EXPECT_TRUE(record.isNull(RecordField::AS));
    EXPECT_TRUE(record.isNull(RecordField::SMin));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailingPointTest,
    ::testing::Values(FailingPointCase{"StoreRefusesSecondPost", ThreePoints, 2, 2},
                      // A signal beyond the range of a double cannot be stored.
                      FailingPointCase{"SignalOverflows",
                                       {{0.5L, 1000}, {1.0L, 1100}, {1e400L, 1200}}, 0, 2}),
    CaseName);

// Signals that a double holds, but whose initial guess C it does not: the failure names the
// value and nothing else (nothing of the guess was written), and the record keeps its points
// without a guess or ranges.
TEST_F(RecordsTest, AGuessTooLargeToStoreIsNamed)
{
    try {
        import("Huge", {{1e305L, 1235}, {6.1e-3L, 1358}, {1.85e-2L, 1500}});
        FAIL() << "the failure was not reported";
    } catch (const WriteFailedError &e) {
        FAIL() << "reported as a failed write: " << e.what();
    } catch (const Error &e) {
        const std::string why = e.what();
        EXPECT_EQ(why.rfind("The Saunders-White guess C = ", 0), 0u) << why;
        const std::string end = " of these reference points is too large to be stored";
        ASSERT_GT(why.size(), end.size());
        EXPECT_EQ(why.substr(why.size() - end.size()), end);
        EXPECT_EQ(why.find('\r'), std::string::npos) << why;
    }
    PostIfEditing(records.cdsMain);
    EXPECT_EQ(records.cdsBB.recordCount(), 3);
    const RecordRow record(records.cdsMain);
    EXPECT_TRUE(record.isNull(RecordField::CS));
    EXPECT_TRUE(record.isNull(RecordField::SMin));
}

// --- Reference ranges ------------------------------------------------------------------

struct RangeCase
{
    const char *name;
    Points points;
    Ranges expected;
};

class ImportRangesTest : public RecordsTest, public ::testing::WithParamInterface<RangeCase>
{
};

TEST_P(ImportRangesTest, RangesAreTheExtremesOfThePoints)
{
    import("R", GetParam().points);
    expectRanges(GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportRangesTest,
    ::testing::Values(
        RangeCase{"Mixed", ThreePoints, {0.1, 2.0, 800, 1500}},
        // Signal and temperature extremes need not sit on the same point.
        RangeCase{"Crossed", {{3.0L, 700}, {1.0L, 900}, {2.0L, 1100}}, {1.0, 3.0, 700, 1100}},
        RangeCase{"Equal", {{1.5L, 1000}, {1.5L, 1000}, {1.5L, 1000}}, {1.5, 1.5, 1000, 1000}}),
    CaseName);

struct DeleteCase
{
    int row; // 1-based, in entry order of ThreePoints
    Ranges expected;
};

void PrintTo(const DeleteCase &c, std::ostream *os)
{
    *os << "row" << c.row;
}

class DeletePointTest : public RecordsTest, public ::testing::WithParamInterface<DeleteCase>
{
};

TEST_P(DeletePointTest, DeletingAPointRefreshesTheRanges)
{
    import("R", ThreePoints);
    records.cdsBB.setRecNo(GetParam().row);
    records.cdsBB.remove();
    EXPECT_EQ(records.cdsMain.state(), TableState::Browse);
    expectRanges(GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DeletePointTest,
                         ::testing::Values(DeleteCase{1, {0.1, 2.0, 800, 1500}},
                                           DeleteCase{2, {0.1, 0.5, 800, 1000}},
                                           DeleteCase{3, {0.5, 2.0, 1000, 1500}}));

TEST_F(RecordsTest, DeletingTheLastPointKeepsTheLastRanges)
{
    import("R", ThreePoints);
    records.cdsBB.setRecNo(2);
    records.cdsBB.remove();
    records.cdsBB.first();
    records.cdsBB.remove(); // (0.1, 800) is left
    expectRanges({0.1, 0.1, 800, 800});
    records.cdsBB.remove();
    EXPECT_EQ(records.cdsBB.recordCount(), 0);
    expectRanges({0.1, 0.1, 800, 800});
}

TEST_F(RecordsTest, RangeRefreshKeepsTheReferenceCursor)
{
    import("R", ThreePoints);
    for (int row = 1; row <= 3; ++row) {
        records.cdsBB.setRecNo(row);
        records.UpdateReferenceRanges();
        EXPECT_EQ(records.cdsBB.recNo(), row);
    }
}

TEST_F(RecordsTest, EditingAPointRefreshesTheRangesUnlessBusy)
{
    import("R", ThreePoints);
    records.cdsBB.setRecNo(1);
    records.cdsBB.edit();
    ReferencePointRowEditor(records.cdsBB).setT(1600);
    records.cdsBB.post();
    EXPECT_EQ(RecordRow(records.cdsMain).TMax(), 1600);

    records.RangesBusy = true;
    records.cdsBB.edit();
    ReferencePointRowEditor(records.cdsBB).setT(1700);
    records.cdsBB.post();
    records.RangesBusy = false;
    PostIfEditing(records.cdsMain);
    EXPECT_EQ(RecordRow(records.cdsMain).TMax(), 1600);
}

TEST_F(RecordsTest, DeletingARecordRemovesItsRowsAndLeavesOtherRangesAlone)
{
    import("Keep", {{0.2L, 900}, {0.4L, 1100}, {0.3L, 1000}});
    import("Drop", {{1, 500}, {2, 600}, {3, 700}, {4, 800}, {5, 900}});
    addMeasurements({1.5, 2.5, 3.5});
    ASSERT_EQ(RecordRow(records.cdsMain).name(), "Drop");

    records.cdsMain.remove();

    ASSERT_EQ(records.cdsMain.recordCount(), 1);
    EXPECT_EQ(RecordRow(records.cdsMain).name(), "Keep");
    expectRanges({0.2, 0.4, 900, 1100});
    EXPECT_EQ(records.cdsBB.recordCount(), 3);
    const StoreData data = records.store.data();
    ASSERT_EQ(data.records.size(), 1u);
    EXPECT_EQ(data.records[0].nested[0].rows.size(), 3u);
    EXPECT_TRUE(data.records[0].nested[1].rows.empty());
}

// --- Saving calibration results --------------------------------------------------------

struct SaveCase
{
    long double lmShift;  // K
    long double psoShift; // K
    double dTLM, dTPSO, Difference; // mK
};

void PrintTo(const SaveCase &c, std::ostream *os)
{
    *os << "dTLM" << c.dTLM << "_dTPSO" << c.dTPSO;
}

class SaveResultsTest : public RecordsTest, public ::testing::WithParamInterface<SaveCase>
{
};

TEST_P(SaveResultsTest, DeviationsAreFittedMinusReferenceAndLMMinusPSO)
{
    const SaveCase &c = GetParam();
    const std::array<long double, 3> temperatures{1000.0L, 800.0L, 1500.0L};
    Points points;
    for (const long double t : temperatures)
        points.emplace_back(signalAt(t), t);
    import("Computed", points);
    const Ranges before = ranges();

    RunResults results = shiftedResults(points, c.lmShift, c.psoShift, 0.25L, 0.125L);
    results.Seed = 4294967295u;
    const DateTime now{1262304000123};

    SaveResults(records, results, now);

    EXPECT_EQ(records.cdsMain.state(), TableState::Browse);
    const RecordRow main(records.cdsMain);
    EXPECT_TRUE(main.computed());
    EXPECT_EQ(main.processed(), now);
    EXPECT_EQ(main.ALM(), 1.0);
    EXPECT_EQ(main.BLM(), static_cast<double>(-c.lmShift));
    EXPECT_EQ(main.BPSO(), static_cast<double>(-c.psoShift));
    EXPECT_EQ(main.meanRMSLM(), 0.25);
    EXPECT_EQ(main.meanRMSPSO(), 0.125);
    EXPECT_EQ(main.seed(), 4294967295u) << "the seed the swarm ran with";
    expectRanges(before);

    Table &bb = records.cdsBB;
    EXPECT_EQ(bb.recNo(), 3);
    EXPECT_FALSE(bb.controlsDisabled());
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        bb.setRecNo(i);
        const double t = static_cast<double>(temperatures[static_cast<std::size_t>(i - 1)]);
        const ReferencePointRow point(bb);
        EXPECT_NEAR(point.TLM(), t + static_cast<double>(c.lmShift), 1e-9);
        EXPECT_NEAR(point.TPSO(), t + static_cast<double>(c.psoShift), 1e-9);
        EXPECT_NEAR(point.dTLM(), c.dTLM, 1e-6);
        EXPECT_NEAR(point.dTPSO(), c.dTPSO, 1e-6);
        EXPECT_NEAR(point.difference(), c.Difference, 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SaveResultsTest,
                         ::testing::Values(SaveCase{0.0002L, -0.0001L, 0.2, -0.1, 0.3},
                                           SaveCase{-0.0005L, 0.0003L, -0.5, 0.3, -0.8},
                                           SaveCase{0.0L, 0.0L, 0.0, 0.0, 0.0}));

} // namespace
} // namespace kelvora
