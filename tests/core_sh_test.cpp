// The Sakuma-Hattori equation, its inverse, the Saunders-White estimate and the mean RMS.

#include "core/global.h"

#include "casename.h"
#include "core_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cfenv>
#include <cmath>
#include <limits>
#include <string>

namespace {

using namespace kelvora;
using namespace kelvora::test;
using testcase::CaseName;
using testcase::PrintTo;

constexpr long double Ulp = std::numeric_limits<long double>::epsilon();

TEST(SHValues, KnownPoints)
{
    const TParamVector P = Instrument();
    EXPECT_NEAR(SHSignal(P, 1000.0L) / 7.3365228e-4L, 1.0L, 1e-7L);
    EXPECT_NEAR(SHTemperature(P, 100.0L), 2147.00234L, 1e-5L);
}

TEST(SHValues, StaleFlagsFromElsewhereAreIgnored)
{
    std::feraiseexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    EXPECT_NEAR(SHTemperature(Instrument(), 100.0L), 2147.00234L, 1e-5L);
    std::feraiseexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    EXPECT_NEAR(SHSignal(Instrument(), 1000.0L) / 7.3365228e-4L, 1.0L, 1e-7L);
}

struct RoundTrip
{
    long double A, B, C, T;
};

void PrintTo(const RoundTrip &c, std::ostream *os)
{
    *os << "A" << c.A << "_T" << c.T;
}

class SHRoundTrip : public testing::TestWithParam<RoundTrip>
{
};

TEST_P(SHRoundTrip, TemperatureOfTheSignalIsTheTemperature)
{
    const RoundTrip &c = GetParam();
    const TParamVector P = Triple(c.A, c.B, c.C);
    EXPECT_NEAR(SHTemperature(P, SHSignal(P, c.T)), c.T, 16 * Ulp * c.T);
}

INSTANTIATE_TEST_SUITE_P(Instruments, SHRoundTrip,
                         testing::Values(RoundTrip{0.65L, 0.1L, 3e6L, 300.0L},
                                         RoundTrip{0.65L, 0.1L, 3e6L, 1234.5L},
                                         RoundTrip{0.65L, 0.1L, 3e6L, 3000.0L},
                                         RoundTrip{1.6L, 0.5L, 1e5L, 429.75L},
                                         RoundTrip{1.6L, 0.5L, 1e5L, 1357.77L},
                                         RoundTrip{0.9L, -0.3L, 5e4L, 2500.0L}));

enum class Fn { Signal, Temperature };

struct SHCase
{
    const char *name;
    Fn fn;
    long double A, B, C;
    long double arg;
    const char *text;  // "" for a result of NoValue
};

class SHUndefined : public testing::TestWithParam<SHCase>
{
};

TEST_P(SHUndefined, GivesNoValueOrItsFault)
{
    const SHCase &c = GetParam();
    const TParamVector P = Triple(c.A, c.B, c.C);
    long double result = 0.0L;
    const std::string text = ErrorText([&] {
        result = c.fn == Fn::Signal ? SHSignal(P, c.arg) : SHTemperature(P, c.arg);
    });
    EXPECT_EQ(text, c.text);
    if (text.empty()) {
        EXPECT_EQ(result, NoValue);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SHUndefined,
    testing::Values(
        SHCase{"signal_huge_denominator", Fn::Signal, 0.65L, 1e30L, 3e6L, 1000.0L, ""},
        SHCase{"signal_zero_denominator", Fn::Signal, 0.65L, -650.0L, 3e6L, 1000.0L,
               DivisionByZero},
        SHCase{"signal_exp_overflow", Fn::Signal, 0.65L, -648.8L, 3e6L, 1000.0L, Overflow},
        SHCase{"temperature_c_zero", Fn::Temperature, 0.65L, 0.1L, 0.0L, 5.0L, ""},
        SHCase{"temperature_a_zero", Fn::Temperature, 0.0L, 0.1L, 3e6L, 5.0L, ""},
        SHCase{"temperature_ratio_lost", Fn::Temperature, 0.65L, 0.1L, 3e6L, 1e30L, ""},
        SHCase{"temperature_square_underflows", Fn::Temperature, 1e-2480L, 0.1L, 3e6L, 5.0L,
               ""},
        SHCase{"temperature_signal_zero", Fn::Temperature, 0.65L, 0.1L, 3e6L, 0.0L,
               DivisionByZero},
        SHCase{"temperature_signal_and_c_zero", Fn::Temperature, 0.65L, 0.1L, 0.0L, 0.0L,
               Invalid},
        SHCase{"temperature_log_of_zero", Fn::Temperature, 0.65L, 0.1L, -5.0L, 5.0L,
               DivisionByZero},
        SHCase{"temperature_log_of_negative", Fn::Temperature, 0.65L, 0.1L, -10.0L, 5.0L,
               Invalid}),
    CaseName);

TEST(ReferencePoints, TwentyAtMost)
{
    ReferenceSet reference;
    for (int i = 1; i <= MaxPoints; ++i)
        reference.append(i, 100.0L * i);
    EXPECT_EQ(reference.NPoints, MaxPoints);
    EXPECT_EQ(reference.RefS[MaxPoints], MaxPoints);
    EXPECT_EQ(reference.RefT[MaxPoints], 100.0L * MaxPoints);
    const ReferenceSet full = reference;
    EXPECT_THROW(reference.append(21.0L, 2100.0L), RangeError);
    EXPECT_EQ(reference, full) << "a refused point changes nothing";
}

TEST(SaundersWhite, ZeroBandwidthGivesTheWavelengthAndZero)
{
    const std::array<long double, 3> temps = {500.0L, 1000.0L, 1500.0L};
    const ReferenceSet reference =
        PointsOf(Instrument(), temps, std::array<long double, 3>{});
    long double A = 0.0L, B = 1.0L, C = 0.0L;
    SaundersWhiteGuess(0.65L, 0.0L, reference, A, B, C);
    EXPECT_EQ(A, 0.65L);
    EXPECT_EQ(B, 0.0L);
}

TEST(SaundersWhite, NarrowBandAndTheMeanOfC)
{
    long double A = 0.0L, B = 0.0L, C = 0.0L;
    const ReferenceSet none;
    EXPECT_EQ(ErrorText([&] { SaundersWhiteGuess(0.65L, 0.01L, none, A, B, C); }), Invalid);
    EXPECT_NEAR(A, 0.6499231L, 1e-7L);
    EXPECT_NEAR(B, 0.1418910L, 1e-7L);

    // Each point alone would give its own C: 2e6 and 4e6. The estimate is their mean.
    ReferenceSet two;
    two.append(SHSignal(Triple(A, B, 2e6L), 800.0L), 800.0L);
    two.append(SHSignal(Triple(A, B, 4e6L), 1600.0L), 1600.0L);
    SaundersWhiteGuess(0.65L, 0.01L, two, A, B, C);
    EXPECT_NEAR(C / 3e6L, 1.0L, 1e-15L);
}

struct SWFault
{
    const char *name;
    long double lambda;
    long double bandwidth;
    long double pointT;
    int n;
    const char *text;
};

class SaundersWhiteFault : public testing::TestWithParam<SWFault>
{
};

TEST_P(SaundersWhiteFault, EndsTheEstimate)
{
    const SWFault &c = GetParam();
    ReferenceSet reference;
    for (int i = 1; i <= c.n; ++i)
        reference.append(1.0L, c.pointT);
    long double A = 0.0L, B = 0.0L, C = 0.0L;
    EXPECT_EQ(ErrorText([&] { SaundersWhiteGuess(c.lambda, c.bandwidth, reference, A, B, C); }),
              c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaundersWhiteFault,
    testing::Values(SWFault{"wavelength_zero", 0.0L, 0.01L, 1000.0L, 1, DivisionByZero},
                    SWFault{"no_points", 0.65L, 0.01L, 1000.0L, 0, Invalid},
                    SWFault{"denominator_zero", 0.65L, 0.0L, 0.0L, 1, DivisionByZero}),
    CaseName);

TEST(MeanRMS, ExactFitIsZero)
{
    const std::array<long double, 4> temps = {400.0L, 900.0L, 1700.0L, 2600.0L};
    const ReferenceSet reference =
        PointsOf(Instrument(), temps, std::array<long double, 4>{});
    EXPECT_EQ(MeanRMSmK(Instrument(), reference), 0.0L);
}

TEST(MeanRMS, DividesByTheNumberOfPoints)
{
    const std::array<long double, 3> temps = {500.0L, 1000.0L, 1500.0L};
    const ReferenceSet reference =
        PointsOf(Instrument(), temps, std::array<long double, 3>{0.001L, -0.001L, 0.001L});
    EXPECT_NEAR(MeanRMSmK(Instrument(), reference), 1.0L, 1e-9L);
}

// Signals of the points, in order; the instrument's temperature of each is taken as the
// reference temperature.
struct RMSFault
{
    const char *name;
    std::array<long double, 3> signals;
    int n;
    const char *text;
};

class MeanRMSFault : public testing::TestWithParam<RMSFault>
{
};

TEST_P(MeanRMSFault, ReportsTheFirstFaultingPoint)
{
    const RMSFault &c = GetParam();
    ReferenceSet reference;
    for (int i = 1; i <= c.n; ++i)
        reference.append(c.signals[static_cast<std::size_t>(i - 1)], 1000.0L);
    EXPECT_EQ(ErrorText([&] { MeanRMSmK(Instrument(), reference); }), c.text);
}

// A signal of 0 divides by zero; 1e30 makes the temperature NoValue, whose square overflows.
INSTANTIATE_TEST_SUITE_P(
    Cases, MeanRMSFault,
    testing::Values(RMSFault{"no_points", {1.0L, 1.0L, 1.0L}, 0, Invalid},
                    RMSFault{"signal_zero", {1.0L, 0.0L, 1.0L}, 3, DivisionByZero},
                    RMSFault{"no_value", {1.0L, 1.0L, 1e30L}, 3, Overflow},
                    RMSFault{"division_first", {0.0L, 1e30L, 1.0L}, 3, DivisionByZero},
                    RMSFault{"overflow_first", {1e30L, 0.0L, 1.0L}, 3, Overflow}),
    CaseName);

} // namespace
