// The pieces of a calibration run that need no fit: the result lines, the failure texts,
// the search box and the default search range.

#include "calibration/run.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

namespace kelvora {
namespace {

struct FitLineCase
{
    int index;
    long double t;
    long double d;
    char separator;
    const char *expected;
};

// Temperatures keep 9 significant digits and 3 decimals, deviations 6 digits and 2
// decimals: the large values show which precision rounds first.
constexpr std::array<FitLineCase, 10> FitLineCases{{
    {2, 1234.56789L, -0.1234L, '.', "2: T = 1234.568 K; d = -0.12 mK"},
    {1, 1000.0L, 0.0L, '.', "1: T = 1000.000 K; d = 0.00 mK"},
    {12, 429.74849L, 0.0051L, '.', "12: T = 429.748 K; d = 0.01 mK"},
    {3, 12345678.9876L, 12345.678L, '.', "3: T = 12345679.000 K; d = 12345.70 mK"},
    {4, 999.99951L, -99.999L, '.', "4: T = 1000.000 K; d = -100.00 mK"},
    {5, 1357.77L, 0.5L, ',', "5: T = 1357,770 K; d = 0,50 mK"},
    {20, 933.473L, -1.25L, ',', "20: T = 933,473 K; d = -1,25 mK"},
    // A deviation that rounds to zero has no sign, as in the grid.
    {6, 1300.0L, -0.001L, '.', "6: T = 1300.000 K; d = 0.00 mK"},
    {7, 1300.0L, 0.004L, ',', "7: T = 1300,000 K; d = 0,00 mK"},
    {8, 1300.0L, -0.006L, '.', "8: T = 1300.000 K; d = -0.01 mK"},
}};

TEST(RunFitLine, TextOfEachPoint)
{
    for (const FitLineCase &c : FitLineCases) {
        EXPECT_EQ(FitLineText(c.index, c.t, c.d, c.separator), c.expected)
            << "point " << c.index;
    }
}

TEST(RunFitLine, LinesFollowTheReferenceSet)
{
    // A = 0.65, B = 0.1, C = 3e6 gives T = 2147.00234 K at S = 100.
    TParamVector P;
    P[1] = 0.65L;
    P[2] = 0.1L;
    P[3] = 3e6L;
    ReferenceSet reference;
    reference.append(100.0L, 2147.0L);
    reference.append(100.0L, 2147.01L);
    reference.RefS[3] = 0.0L; // beyond NPoints: never read
    const auto lines = FitLines(P, reference);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Index, 1);
    EXPECT_NEAR(static_cast<double>(lines[0].T), 2147.00234, 1e-5);
    EXPECT_NEAR(static_cast<double>(lines[0].D), 2.34, 1e-2);
    EXPECT_EQ(lines[0].Text, "1: T = 2147.002 K; d = 2.34 mK");
    EXPECT_EQ(lines[1].Text, "2: T = 2147.002 K; d = -7.66 mK");
    EXPECT_EQ(lines[1].D, (lines[1].T - reference.RefT[2]) * 1000.0L);
}

TEST(RunFailureMessage, ReasonPerStatus)
{
    const std::array<std::pair<int, const char *>, 3> cases{{
        {1, "Levenberg-Marquardt: Matrix cannot be inverted\rPlease check your data"},
        {2, "Levenberg-Marquardt: Convergence was not achieved\rPlease check your data"},
        {3, "Levenberg-Marquardt: Convergence was not achieved\rPlease check your data"},
    }};
    for (const auto &[status, expected] : cases)
        EXPECT_EQ(LMFailureMessage(status), expected) << "status " << status;
}

struct BoxCase
{
    long double A, B, C, w;
    std::array<long double, 3> lo, hi;
};

constexpr std::array<BoxCase, 5> BoxCases{{
    {0.65L, -0.2L, 3000.0L, 2.0L, {0.325L, -0.4L, 1500.0L}, {1.3L, -0.1L, 6000.0L}},
    {0.65L, 0.2L, 3000.0L, 2.0L, {0.325L, 0.1L, 1500.0L}, {1.3L, 0.4L, 6000.0L}},
    {1.6L, 0.0L, 3e6L, 1.5L, {1.6L / 1.5L, 0.0L, 2e6L}, {2.4L, 0.0L, 4.5e6L}},
    {1.6L, 0.5L, 3e6L, 1.0L, {1.6L, 0.5L, 3e6L}, {1.6L, 0.5L, 3e6L}},
    // A negative A is not ordered: the lower bound lies above the upper one.
    {-0.5L, 0.3L, 10.0L, 2.0L, {-0.25L, 0.15L, 5.0L}, {-1.0L, 0.6L, 20.0L}},
}};

TEST(RunSearchBox, BoundsAroundTheResult)
{
    for (const BoxCase &c : BoxCases) {
        TParamVector P;
        P[1] = c.A;
        P[2] = c.B;
        P[3] = c.C;
        P[7] = 5.0L;
        TParamVector lo;
        TParamVector hi;
        lo.fill(9.0L);
        hi.fill(9.0L);
        BuildSearchBox(P, c.w, lo, hi);
        for (int j = 1; j <= 3; ++j) {
            const auto i = static_cast<std::size_t>(j - 1);
            EXPECT_NEAR(static_cast<double>(lo[j]), static_cast<double>(c.lo[i]),
                        std::fabs(static_cast<double>(c.lo[i])) * 1e-15)
                << "A = " << static_cast<double>(c.A) << ", lo[" << j << "]";
            EXPECT_NEAR(static_cast<double>(hi[j]), static_cast<double>(c.hi[i]),
                        std::fabs(static_cast<double>(c.hi[i])) * 1e-15)
                << "A = " << static_cast<double>(c.A) << ", hi[" << j << "]";
        }
        for (int j = 4; j <= MaxParams; ++j) {
            EXPECT_EQ(lo[j], 0.0L) << "spare element " << j;
            EXPECT_EQ(hi[j], 0.0L) << "spare element " << j;
        }
    }
}

TEST(RunSearchBox, ZeroRangeIsADivisionByZero)
{
    TParamVector P;
    P[1] = 0.65L;
    TParamVector lo;
    TParamVector hi;
    EXPECT_THROW(BuildSearchBox(P, 0.0L, lo, hi), FloatError);
}

TEST(RunSearchRange, DefaultDependsOnPointCount)
{
    const std::array<std::pair<int, long double>, 6> cases{{
        {1, 1.5L}, {2, 1.5L}, {3, 1.5L}, {4, 2.0L}, {8, 2.0L}, {20, 2.0L},
    }};
    for (const auto &[points, range] : cases)
        EXPECT_EQ(DefaultSearchRange(points), range) << points << " points";
}

} // namespace
} // namespace kelvora
