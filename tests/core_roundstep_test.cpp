// The round ticks of the charts' axes: ordinary ranges get their usual steps, and every input,
// however far out, ends with a bounded axis or none.

#include "casename.h"
#include "core/roundstep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace kelvora {
namespace {

using testcase::CaseName;
using testcase::PrintTo;

constexpr double Infinity = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Largest = std::numeric_limits<double>::max();
constexpr double Denormal = 1e-320;

struct StepCase
{
    const char *name;
    double span;
    double step; // 0: none
};

const StepCase StepCases[] = {
    {"Kelvins", 700, 100},
    {"Tenths", 0.9, 0.2},
    {"Millikelvins", 0.04, 0.01},
    {"Hundreds", 3000, 500},
    {"Huge", 1e308, 2e307},
    {"Largest", Largest, 5e307},
    {"SmallestNormalFifth", 5 * std::numeric_limits<double>::min(), 2e-308},
    {"Zero", 0, 0},
    {"Negative", -5, 0},
    {"Infinite", Infinity, 0},
    {"MinusInfinite", -Infinity, 0},
    {"NaN", NaN, 0},
    {"Denormal", Denormal, 0},
};

class RoundStepTest : public ::testing::TestWithParam<StepCase>
{
};

TEST_P(RoundStepTest, IsRoundOrNone)
{
    const double step = RoundStep(GetParam().span);
    if (GetParam().step == 0)
        EXPECT_EQ(step, 0);
    else
        EXPECT_NEAR(step, GetParam().step, GetParam().step * 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Spans, RoundStepTest, ::testing::ValuesIn(StepCases), CaseName);

struct TicksCase
{
    const char *name;
    double low;
    double high;
    double step;
    std::vector<double> ticks;
};

const TicksCase TicksCases[] = {
    {"Even", 0, 10, 2, {0, 2, 4, 6, 8, 10}},
    {"OddEnds", 713, 1688, 200, {800, 1000, 1200, 1400, 1600}},
    {"ZeroExactly", -0.3, 0.3, 0.1, {-0.3, -0.2, -0.1, 0, 0.1, 0.2, 0.3}},
    {"EqualEndsOnAStep", 5, 5, 1, {5}},
    {"EqualEndsBetweenSteps", 5.5, 5.5, 1, {}},
    {"WidestAxis", -1e308, 1e308, 5e307, {-1e308, -5e307, 0, 5e307, 1e308}},
    {"HighBelowLow", 1, 0, 0.1, {}},
    {"LowNaN", NaN, 1, 0.1, {}},
    {"HighInfinite", 0, Infinity, 1, {}},
    {"LowMinusInfinite", -Infinity, 0, 1, {}},
    {"StepZero", 0, 1, 0, {}},
    {"StepNegative", 0, 1, -0.1, {}},
    {"StepNaN", 0, 1, NaN, {}},
    {"StepInfinite", 0, 1, Infinity, {}},
    {"StepDenormal", 0, 1e-300, Denormal, {}},
    {"TooManyTicks", 0, 1e6, 1, {}},
    {"StepLostInTheValues", 1e300, 1e300, 1, {}},
    {"WholeRangeInUnitSteps", -Largest, Largest, 1, {}},
};

class RoundTicksTest : public ::testing::TestWithParam<TicksCase>
{
};

TEST_P(RoundTicksTest, AreTheMultiplesOrNone)
{
    const TicksCase &c = GetParam();
    const std::vector<double> ticks = RoundTicks(c.low, c.high, c.step);
    ASSERT_EQ(ticks.size(), c.ticks.size());
    for (std::size_t i = 0; i < ticks.size(); ++i)
        EXPECT_NEAR(ticks[i], c.ticks[i], std::abs(c.step) * 1e-9) << i;
    EXPECT_LE(ticks.size(), static_cast<std::size_t>(MaxRoundTicks));
}

INSTANTIATE_TEST_SUITE_P(Ranges, RoundTicksTest, ::testing::ValuesIn(TicksCases), CaseName);

struct AxisCase
{
    const char *name;
    double low;
    double high;
    double margin;
    AxisEnds ends;
    std::optional<RoundAxis> axis;
};

const AxisCase AxisCases[] = {
    {"Kelvins", 800, 1500, 0.04, AxisEnds::WithinSign, RoundAxis{600, 1600, 200}},
    {"Deviations", -12, 30, 0.05, AxisEnds::RoundSteps, RoundAxis{-20, 40, 10}},
    {"EqualEndsAtZero", 0, 0, 0.05, AxisEnds::RoundSteps, RoundAxis{-1.5, 1.5, 0.5}},
    {"EqualEnds", 1000, 1000, 0.05, AxisEnds::RoundSteps, RoundAxis{850, 1150, 50}},
    {"PositiveStaysAtTheMargin", 0.1, 10, 0.05, AxisEnds::WithinSign,
     RoundAxis{-0.395, 12, 2}},
    {"PositiveOnRoundSteps", 0.1, 10, 0.05, AxisEnds::RoundSteps, RoundAxis{-2, 12, 2}},
    {"NegativeStaysAtTheMargin", -10, -0.1, 0.05, AxisEnds::WithinSign,
     RoundAxis{-12, 0.395, 2}},
    {"HugeEqualEnds", 1e308, 1e308, 0.05, AxisEnds::RoundSteps,
     RoundAxis{8.5e307, 1.15e308, 5e306}},
    {"WholeRange", -1e308, 1e308, 0.05, AxisEnds::RoundSteps, std::nullopt},
    {"AxisBeyondTheLargest", -8e307, 8e307, 0.05, AxisEnds::RoundSteps, std::nullopt},
    {"LargestEqualEnds", Largest, Largest, 0.05, AxisEnds::RoundSteps, std::nullopt},
    {"LowNaN", NaN, 1, 0.05, AxisEnds::RoundSteps, std::nullopt},
    {"HighNaN", 0, NaN, 0.05, AxisEnds::WithinSign, std::nullopt},
    {"HighInfinite", 0, Infinity, 0.05, AxisEnds::RoundSteps, std::nullopt},
    {"LowMinusInfinite", -Infinity, 0, 0.05, AxisEnds::WithinSign, std::nullopt},
    {"NoValues", Infinity, -Infinity, 0.05, AxisEnds::WithinSign, std::nullopt},
    {"HighBelowLow", 2, 1, 0.05, AxisEnds::RoundSteps, std::nullopt},
    {"DenormalSpan", 0, Denormal, 0.05, AxisEnds::RoundSteps, std::nullopt},
    {"DenormalEqualEnds", Denormal, Denormal, 0.05, AxisEnds::RoundSteps, std::nullopt},
};

class RoundAxisTest : public ::testing::TestWithParam<AxisCase>
{
};

// An axis that is given holds the values, its ticks are within MaxRoundTicks, and its ends
// and step are finite.
TEST_P(RoundAxisTest, IsBoundedOrNone)
{
    const AxisCase &c = GetParam();
    const std::optional<RoundAxis> axis = RoundAxisOver(c.low, c.high, c.margin, c.ends);
    ASSERT_EQ(axis.has_value(), c.axis.has_value());
    if (!axis)
        return;
    const double tolerance = c.axis->step * 1e-9;
    EXPECT_NEAR(axis->low, c.axis->low, tolerance);
    EXPECT_NEAR(axis->high, c.axis->high, tolerance);
    EXPECT_NEAR(axis->step, c.axis->step, tolerance);
    EXPECT_LE(axis->low, c.low);
    EXPECT_GE(axis->high, c.high);
    EXPECT_TRUE(std::isfinite(axis->high - axis->low));
    const std::vector<double> ticks = RoundTicks(axis->low, axis->high, axis->step);
    EXPECT_GE(ticks.size(), 2u);
    EXPECT_LE(ticks.size(), static_cast<std::size_t>(MaxRoundTicks));
}

INSTANTIATE_TEST_SUITE_P(Values, RoundAxisTest, ::testing::ValuesIn(AxisCases), CaseName);

} // namespace
} // namespace kelvora
