#include "records_fixture.h"

#include "casename.h"
#include "core/errors.h"
#include "core/global.h"
#include "records/interpolation.h"
#include "records/operations.h"
#include "records/uncertainties.h"
#include "tables/rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kelvora {
namespace {

using namespace kelvora::test;
using testcase::CaseName;
using testcase::PrintTo;

// A computed record: LM triple A = 1, B = 0, C = 1; PSO triple shifted by 0.5 K; reference
// range S 0.1..2.0 and T 800..1500.
class InterpolationTest : public RecordsTest
{
protected:
    InterpolationTest()
    {
        import("Computed", ThreePoints);
        editRecord([](RecordRowEditor &record) {
            record.setALM(1.0);
            record.setBLM(0.0);
            record.setCLM(1.0);
            record.setAPSO(1.0);
            record.setBPSO(-0.5);
            record.setCPSO(1.0);
        });
    }

    static ParameterTexts lmTexts() { return {"1", "0", "1"}; }
};

TEST_F(InterpolationTest, ParameterTextsAreTheFieldTextsOfTheChosenMethod)
{
    editRecord([](RecordRowEditor &record) {
        record.setALM(0.0650123456789012345);
        record.setBPSO(-2.5);
    });
    const ParameterTexts lm = ParameterTextsOf(records, FitMethod::LevenbergMarquardt,
                                                TextLocale{',', formatIsoDateTime});
    EXPECT_EQ(lm.A, "0,0650123456789012");
    EXPECT_EQ(lm.B, "0");
    const ParameterTexts pso = ParameterTextsOf(records, FitMethod::ParticleSwarm, TextLocale{});
    EXPECT_EQ(pso.A, "1");
    EXPECT_EQ(pso.B, "-2.5");
    // A value from outside the two methods is refused, not read as one of them.
    EXPECT_THROW(ParameterTextsOf(records, static_cast<FitMethod>(2), TextLocale{}), RangeError);
}

TEST_F(InterpolationTest, EachMethodGivesTheTemperaturesOfItsTriple)
{
    const std::vector<long double> temperatures{900.0L, 1200.0L, 1400.0L};
    for (const FitMethod method : {FitMethod::LevenbergMarquardt, FitMethod::ParticleSwarm}) {
        SCOPED_TRACE(static_cast<int>(method));
        std::vector<double> signals;
        for (const long double t : temperatures)
            signals.push_back(static_cast<double>(signalAt(t)));
        LoadSignals(records, {signals.begin(), signals.end()});

        const ParameterTexts texts = ParameterTextsOf(records, method, TextLocale{});
        InterpolateMeasurements(records, texts, '.');

        EXPECT_EQ(records.cdsInterp.recNo(), 3);
        EXPECT_EQ(records.cdsMain.state(), TableState::Browse);
        EXPECT_FALSE(records.cdsInterp.controlsDisabled());
        const std::vector<double> interpolated = column(records.cdsInterp, &MeasurementRow::T);
        const double offset = method == FitMethod::ParticleSwarm ? 0.5 : 0.0;
        for (std::size_t i = 0; i < temperatures.size(); ++i)
            EXPECT_NEAR(interpolated[i], static_cast<double>(temperatures[i]) + offset, 1e-9);
    }
}

// Three points: each reference signal's temperature depends on its own point alone, so its
// U is twice the point's u(T); U needs every point's u(T) and is cleared without it.
TEST_F(InterpolationTest, EachTemperatureGetsItsExpandedUncertainty)
{
    const std::vector<double> given{3.0, 4.0, 5.0}; // mK, in the points' order
    Table &bb = records.cdsBB;
    std::vector<long double> signals;
    std::size_t i = 0;
    ForEachRow(bb, [&] {
        signals.push_back(ReferencePointRow(bb).S());
        bb.edit();
        ReferencePointRowEditor(bb).setUT(given[i++]);
        bb.post();
    });
    signals.push_back(static_cast<long double>(signalAt(1100.0L)));
    LoadSignals(records, signals);
    InterpolateMeasurements(records, lmTexts(), '.');
    const std::vector<std::optional<double>> U = column(records.cdsInterp, &MeasurementRow::U);
    ASSERT_EQ(U.size(), 4u);
    for (std::size_t j = 0; j < given.size(); ++j) {
        ASSERT_TRUE(U[j].has_value()) << j;
        EXPECT_NEAR(*U[j], 2.0 * given[j], 1e-9 * given[j]) << j;
    }
    EXPECT_GT(U[3], 0.0);

    // The results with uncertainties: a header line and a row per measurement.
    const std::string csv = UncertaintyResultsCsv(records);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "No,S,T (K),U (mK)");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5);
    EXPECT_NE(csv.find("\n1,0.5,"), std::string::npos);
    EXPECT_NE(csv.find(",6.000\n"), std::string::npos);

    bb.first();
    bb.edit();
    ReferencePointRowEditor(bb).clear(ReferencePointField::uT);
    bb.post();
    InterpolateMeasurements(records, lmTexts(), '.');
    ForEachRow(records.cdsInterp,
               [&] { EXPECT_EQ(MeasurementRow(records.cdsInterp).U(), std::nullopt); });
    const std::string withoutU = UncertaintyResultsCsv(records);
    EXPECT_NE(withoutU.find(",\n2,"), std::string::npos) << "an empty last field";
}

// The record's uncertainty settings: kept as given, refused out of their ranges; a new w
// empties U of the measurements, which were computed with the old one.
TEST_F(InterpolationTest, UncertaintySettingsAreKeptInTheRecord)
{
    ForEachRow(records.cdsBB, [&] {
        records.cdsBB.edit();
        ReferencePointRowEditor(records.cdsBB).setUT(5.0);
        records.cdsBB.post();
    });
    LoadSignals(records, {static_cast<long double>(signalAt(1100.0L))});
    InterpolateMeasurements(records, lmTexts(), '.');
    const std::optional<double> before = column(records.cdsInterp, &MeasurementRow::U).at(0);
    ASSERT_TRUE(before.has_value());

    const UncertaintySettings defaults = UncertaintySettingsOf(records);
    EXPECT_EQ(defaults.w, 0.0L);
    EXPECT_EQ(defaults.trials, DefaultMonteCarloTrials);
    const UncertaintySettings same{0.0L, 500, 7};
    SetUncertaintySettings(records, same);
    EXPECT_EQ(UncertaintySettingsOf(records).trials, 500);
    EXPECT_EQ(UncertaintySettingsOf(records).seed, 7u);
    EXPECT_EQ(column(records.cdsInterp, &MeasurementRow::U).at(0), before) << "w is unchanged";

    SetUncertaintySettings(records, {1e-4L, 500, 7});
    EXPECT_EQ(UncertaintySettingsOf(records).w, static_cast<long double>(1e-4));
    EXPECT_EQ(MeasurementRow(records.cdsInterp).U(), std::nullopt);
    InterpolateMeasurements(records, lmTexts(), '.');
    EXPECT_GT(column(records.cdsInterp, &MeasurementRow::U).at(0), *before) << "u_sig is added";

    const UncertaintySettings refused[] = {
        {-1e-9L, 500, 7}, {1.0L, 500, 7}, {0.0L, 1, 7}, {0.0L, MaxMonteCarloTrials + 1, 7}};
    for (const UncertaintySettings &settings : refused) {
        EXPECT_NE(UncertaintySettingsRefusal(settings), "");
        EXPECT_THROW(SetUncertaintySettings(records, settings), Error);
        EXPECT_EQ(UncertaintySettingsOf(records).trials, 500) << "the settings stay";
    }
}

TEST_F(InterpolationTest, InterpolationUsesTheTextsWithTheirDecimalSeparator)
{
    addMeasurements({static_cast<double>(signalAt(1000.0L))});
    InterpolateMeasurements(records, {"1,0", "-0,25", "1"}, ',');
    EXPECT_NEAR(MeasurementRow(records.cdsInterp).T(), 1000.25, 1e-9);
}

struct WarningCase
{
    const char *name;
    std::vector<long double> signals;
    int expectedWarnings;
};

class SignalWarningTest : public InterpolationTest,
                          public ::testing::WithParamInterface<WarningCase>
{
};

TEST_P(SignalWarningTest, SignalsOutsideTheReferenceRangeWarnOnce)
{
    int warnings = 0;
    LoadSignals(records, GetParam().signals, [&] { ++warnings; });
    EXPECT_EQ(warnings, GetParam().expectedWarnings);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SignalWarningTest,
    ::testing::Values(WarningCase{"OnBoundsAndInside", {0.1L, 1.0L, 2.0L}, 0},
                      WarningCase{"JustAbove", {1.0L, 2.0000001L}, 1},
                      WarningCase{"JustBelow", {0.0999L}, 1},
                      WarningCase{"SeveralOutside", {5.0L, 0.01L, 7.0L}, 1},
                      WarningCase{"ZeroAndNegative", {0.0L, -1.0L}, 1}),
    CaseName);

struct TemperatureCase
{
    const char *name;
    std::vector<long double> temperatures;
    int expectedWarnings;
};

class TemperatureWarningTest : public InterpolationTest,
                               public ::testing::WithParamInterface<TemperatureCase>
{
};

TEST_P(TemperatureWarningTest, TemperaturesOutsideTheReferenceRangeWarnOnce)
{
    std::vector<long double> signals;
    for (const long double t : GetParam().temperatures)
        signals.push_back(signalAt(t));
    LoadSignals(records, signals);
    int warnings = 0;
    InterpolateMeasurements(records, lmTexts(), '.', [&] { ++warnings; });
    EXPECT_EQ(warnings, GetParam().expectedWarnings);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TemperatureWarningTest,
    ::testing::Values(TemperatureCase{"Inside", {810.0L, 1000.0L, 1490.0L}, 0},
                      TemperatureCase{"Above", {1000.0L, 1510.0L, 1600.0L}, 1},
                      TemperatureCase{"Below", {790.0L}, 1}),
    CaseName);

// One temperature against the range (800..1500 K), as a measurement's mark in the grid asks.
TEST_F(InterpolationTest, OneTemperatureIsOutsideOnlyBeyondABound)
{
    const std::pair<long double, bool> cases[] = {
        {800.0L, false}, {1500.0L, false}, {1000.0L, false},
        {799.999L, true}, {1500.001L, true}, {0.0L, true}};
    for (const auto &[t, outside] : cases)
        EXPECT_EQ(TemperatureOutOfRange(records, t), outside) << static_cast<double>(t);
}

TEST_F(InterpolationTest, RangeTestsScanEveryRowAndKeepTheMeasurementCursor)
{
    // Only the last signal lies outside, above SMax.
    addMeasurements({0.5, 1.0, 3.0});
    for (int row = 1; row <= 3; ++row) {
        records.cdsInterp.setRecNo(row);
        EXPECT_TRUE(SignalsOutOfRange(records));
        EXPECT_EQ(records.cdsInterp.recNo(), row);
        EXPECT_TRUE(TemperaturesOutOfRange(records)); // no temperatures yet: 0 K
        EXPECT_EQ(records.cdsInterp.recNo(), row);
    }
}

struct BadTextCase
{
    ParameterTexts texts;
    const char *message;
};

void PrintTo(const BadTextCase &c, std::ostream *os)
{
    *os << c.texts.A << "_" << c.texts.B << "_" << c.texts.C;
}

class BadParameterTextTest : public InterpolationTest,
                             public ::testing::WithParamInterface<BadTextCase>
{
};

TEST_P(BadParameterTextTest, RefusedBeforeAnythingChanges)
{
    addMeasurements({0.5, 1.0});
    try {
        InterpolateMeasurements(records, GetParam().texts, '.');
        FAIL() << "the texts were accepted";
    } catch (const ConvertError &e) {
        EXPECT_STREQ(e.what(), GetParam().message);
    }
    records.cdsInterp.first();
    EXPECT_TRUE(MeasurementRow(records.cdsInterp).isNull(MeasurementField::T));
    EXPECT_EQ(records.cdsMain.state(), TableState::Browse);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadParameterTextTest,
    ::testing::Values(BadTextCase{{"abc", "0", "1"}, "'abc' is not a valid floating point value"},
                      BadTextCase{{"1", "", "1"}, "'' is not a valid floating point value"},
                      BadTextCase{{"1", "0", "1,5"},
                                  "'1,5' is not a valid floating point value"}));

TEST_F(InterpolationTest, RowCountOutside1To1000IsARangeError)
{
    for (const int rows : {0, 1001}) {
        SCOPED_TRACE(rows);
        DeleteAllRows(records.cdsInterp);
        addMeasurements(std::vector<double>(static_cast<std::size_t>(rows), 1.0));
        try {
            InterpolateMeasurements(records, lmTexts(), '.');
            FAIL() << "no range error";
        } catch (const RangeError &e) {
            EXPECT_STREQ(e.what(), "Range check error");
        }
        if (rows > 0) {
            records.cdsInterp.last();
            EXPECT_TRUE(MeasurementRow(records.cdsInterp).isNull(MeasurementField::T));
        }
    }
}

// A signal without a temperature stops the interpolation with the system's text, then the
// measurement, its signal and why (a signal list that ends early reads its missing signals as
// 0).
struct FaultCase
{
    const char *name;
    double signal;
    char separator;
    FloatError::Kind kind;
    const char *message;
};

class InterpolationFault : public InterpolationTest,
                           public ::testing::WithParamInterface<FaultCase>
{
};

TEST_P(InterpolationFault, NamesTheMeasurementAndWhy)
{
    const FaultCase &c = GetParam();
    const double good = static_cast<double>(signalAt(1000.0L));
    addMeasurements({good, good, c.signal});
    try {
        InterpolateMeasurements(records, lmTexts(), c.separator);
        FAIL() << "no fault";
    } catch (const FloatError &e) {
        EXPECT_EQ(e.kind(), c.kind);
        EXPECT_STREQ(e.what(), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, InterpolationFault,
    ::testing::Values(
        FaultCase{"Zero", 0.0, '.', FloatError::Kind::DivisionByZero,
                  "Floating point division by zero\rMeasurement 3 has the signal 0 (a signal "
                  "list that ends before its count reads the missing signals as 0); a "
                  "temperature needs a positive signal"},
        FaultCase{"Negative", -0.5, ',', FloatError::Kind::Invalid,
                  "Invalid floating point operation\rMeasurement 3 has the signal -0,5; a "
                  "temperature needs a positive signal"}),
    CaseName);

TEST_F(InterpolationTest, FaultPartWayKeepsEarlierRowsAndLeavesTheTableUsable)
{
    const double good = static_cast<double>(signalAt(1000.0L));
    addMeasurements({good, good, 0.0, good}); // a signal of 0 divides by zero
    EXPECT_THROW(InterpolateMeasurements(records, lmTexts(), '.'), FloatError);

    Table &interp = records.cdsInterp;
    EXPECT_FALSE(interp.isEditing());
    EXPECT_FALSE(interp.controlsDisabled());
    EXPECT_EQ(records.cdsMain.state(), TableState::Browse);
    EXPECT_EQ(interp.recNo(), 3);
    const std::array<bool, 4> hasT{true, true, false, false};
    for (int i = 1; i <= 4; ++i) {
        interp.setRecNo(i);
        EXPECT_EQ(!MeasurementRow(interp).isNull(MeasurementField::T),
                  hasT[static_cast<std::size_t>(i - 1)])
            << i;
    }

    // Usable afterwards: the bad signal can be corrected and the interpolation run again.
    interp.setRecNo(3);
    interp.edit();
    MeasurementRowEditor(interp).setS(good);
    interp.post();
    InterpolateMeasurements(records, lmTexts(), '.');
    for (const double t : column(interp, &MeasurementRow::T))
        EXPECT_NEAR(t, 1000.0, 1e-9);
}

TEST_F(InterpolationTest, LoadSignalsReplacesTheMeasurements)
{
    addMeasurements({0.5, 1.0, 1.5});
    InterpolateMeasurements(records, lmTexts(), '.');

    LoadSignals(records, {0.25L, 0.75L});

    Table &interp = records.cdsInterp;
    EXPECT_EQ(records.cdsMain.state(), TableState::Browse);
    EXPECT_EQ(interp.recNo(), 1);
    EXPECT_EQ(column(interp, &MeasurementRow::S), (std::vector<double>{0.25, 0.75}));
    for (int i = 1; i <= 2; ++i) {
        interp.setRecNo(i);
        EXPECT_TRUE(MeasurementRow(interp).isNull(MeasurementField::T));
    }
}

TEST_F(InterpolationTest, RefusedSignalListKeepsTheMeasurements)
{
    addMeasurements({0.5, 1.0});
    const std::vector<std::vector<long double>> refused{
        {}, std::vector<long double>(1001, 1.0L), {1.0L, 1e400L}};
    for (const auto &signals : refused) {
        SCOPED_TRACE(signals.size());
        EXPECT_THROW(LoadSignals(records, signals), Error);
        EXPECT_EQ(column(records.cdsInterp, &MeasurementRow::S),
                  (std::vector<double>{0.5, 1.0}));
    }
}

} // namespace
} // namespace kelvora
