// Floating-point faults: which flags end a computation, with which text, and that the
// optimiser cannot hide a fault from the check.

#include "core/fpe.h"
#include "core/global.h"

#include "casename.h"
#include "core_support.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

namespace {

using namespace kelvora;
using namespace kelvora::test;
using testcase::CaseName;
using testcase::PrintTo;

struct RaisedFlags
{
    const char *name;
    int flags;
    const char *text;  // "" when nothing is reported
};

class FpFlagCheck : public testing::TestWithParam<RaisedFlags>
{
};

TEST_P(FpFlagCheck, ReportsTheFirstFaultInOrderOfPrecedence)
{
    std::feclearexcept(FE_ALL_EXCEPT);
    std::feraiseexcept(GetParam().flags);
    EXPECT_EQ(ErrorText([] { CheckFpFaults(); }), GetParam().text);
    // The check clears what it reported: a second one is silent.
    EXPECT_EQ(ErrorText([] { CheckFpFaults(); }), "");
}

INSTANTIATE_TEST_SUITE_P(
    Flags, FpFlagCheck,
    testing::Values(RaisedFlags{"none", 0, ""},
                    RaisedFlags{"underflow_inexact", FE_UNDERFLOW | FE_INEXACT, ""},
                    RaisedFlags{"invalid", FE_INVALID, Invalid},
                    RaisedFlags{"divbyzero", FE_DIVBYZERO, DivisionByZero},
                    RaisedFlags{"overflow", FE_OVERFLOW | FE_INEXACT, Overflow},
                    RaisedFlags{"overflow_invalid", FE_OVERFLOW | FE_INVALID, Overflow},
                    RaisedFlags{"all", FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW,
                                DivisionByZero}),
    CaseName);

TEST(FpFlagClear, ClearsEveryFault)
{
    std::feraiseexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    ClearFpFaults();
    EXPECT_FALSE(FpFaultRaised());
    EXPECT_EQ(ErrorText([] { CheckFpFaults(); }), "");
}

// Operands come from a table the optimiser cannot see through; results are thrown away, so
// an operation the compiler moved past the check or dropped would go unreported.
struct StepCase
{
    const char *name;
    std::function<void(long double, long double)> op;
    long double a;
    long double b;
    const char *text;
};

class SteppedOperation : public testing::TestWithParam<StepCase>
{
};

TEST_P(SteppedOperation, ReportsItsOwnFault)
{
    const StepCase &c = GetParam();
    ClearFpFaults();
    EXPECT_EQ(ErrorText([&] { c.op(c.a, c.b); }), c.text);
    EXPECT_FALSE(FpFaultRaised());
}

void Div(long double a, long double b) { SteppedFp::div(a, b); }
void Mul(long double a, long double b) { SteppedFp::mul(a, b); }
void Sub(long double a, long double b) { SteppedFp::sub(a, b); }
void Log(long double a, long double) { SteppedFp::log(a); }
void Exp(long double a, long double) { SteppedFp::exp(a); }
void Sqrt(long double a, long double) { SteppedFp::sqrt(a); }
void ToDouble(long double a, long double) { SteppedFp::toDouble(a); }

INSTANTIATE_TEST_SUITE_P(
    Operations, SteppedOperation,
    testing::Values(StepCase{"one_by_zero", Div, 1.0L, 0.0L, DivisionByZero},
                    StepCase{"zero_by_zero", Div, 0.0L, 0.0L, Invalid},
                    StepCase{"one_by_three", Div, 1.0L, 3.0L, ""},
                    StepCase{"huge_product", Mul, 1e4000L, 1e4000L, Overflow},
                    StepCase{"tiny_product", Mul, 1e-4000L, 1e-4000L, ""},
                    StepCase{"largest_difference", Sub, 1.1e4932L, -1.1e4932L, Overflow},
                    StepCase{"log_zero", Log, 0.0L, 0.0L, DivisionByZero},
                    StepCase{"log_negative", Log, -1.0L, 0.0L, Invalid},
                    StepCase{"exp_large", Exp, 11357.0L, 0.0L, Overflow},
                    StepCase{"exp_very_negative", Exp, -20000.0L, 0.0L, ""},
                    StepCase{"sqrt_negative", Sqrt, -1.0L, 0.0L, Invalid},
                    StepCase{"double_too_large", ToDouble, 1e400L, 0.0L, Overflow},
                    StepCase{"double_too_small", ToDouble, 1e-400L, 0.0L, ""}),
    CaseName);

// A value as a double field stores it: refused exactly where the conversion to double
// overflows, without leaving a fault flag behind.
struct StoredCase
{
    const char *name;
    long double value;
    const char *text;
    double stored; // when accepted
};

class StoredDoubleCheck : public testing::TestWithParam<StoredCase>
{
};

TEST_P(StoredDoubleCheck, RefusesWhatRoundsBeyondADouble)
{
    const StoredCase &c = GetParam();
    ClearFpFaults();
    double stored = 0.0;
    EXPECT_EQ(ErrorText([&] { stored = StoredDouble(c.value); }), c.text);
    EXPECT_FALSE(FpFaultRaised());
    if (std::string(c.text).empty()) {
        EXPECT_EQ(stored, c.stored);
    }
    EXPECT_EQ(ErrorText([&] { SteppedFp::toDouble(c.value); }), c.text);
}

constexpr double LargestDouble = std::numeric_limits<double>::max();
constexpr double Infinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Values, StoredDoubleCheck,
    testing::Values(StoredCase{"largest_double", LargestDouble, "", LargestDouble},
                    StoredCase{"just_below_the_bound",
                               std::nextafter(DoubleOverflowBound, 0.0L), "", LargestDouble},
                    StoredCase{"on_the_bound", DoubleOverflowBound, Overflow, 0.0},
                    StoredCase{"negative_on_the_bound", -DoubleOverflowBound, Overflow, 0.0},
                    StoredCase{"far_beyond", 1e400L, Overflow, 0.0},
                    StoredCase{"infinity", Infinity, "", Infinity},
                    StoredCase{"below_the_smallest", 1e-400L, "", 0.0}),
    CaseName);

// A fault whose infinity later vanishes from the result: C / (exp(C2 / 0) − 1) is 0.
TEST(FpOptimisedCode, DivisionByZeroWithAFiniteResultIsReported)
{
    const TParamVector P = Triple(0.65L, -650.0L, 3e6L);
    EXPECT_EQ(ErrorText([&] { SHSignal(P, 1000.0L); }), DivisionByZero);
}

// The step-checked run reports the fault that happened first, not the one that ranks first.
TEST(FpGuardedRun, ReportsTheFirstFaultingStep)
{
    const long double huge = 1e3000L;
    const long double zero = 0.0L;
    const auto overflowThenDivide = [&](auto fp) {
        using Fp = decltype(fp);
        const long double square = Fp::mul(FpFenced(huge), huge);
        return Fp::add(square, Fp::div(1.0L, FpFenced(zero)));
    };
    EXPECT_EQ(ErrorText([&] {
                  FpGuarded([&] { return overflowThenDivide(FastFp{}); },
                            [&] { return overflowThenDivide(SteppedFp{}); });
              }),
              Overflow);
}

struct TranscendentalCase
{
    const char *name;
    long double argument;
    bool exact;  // every processor gives this result exactly
};

class Transcendental : public testing::TestWithParam<TranscendentalCase>
{
};

// Both ways of computing take one result; a build that simulates another processor moves it
// one unit in the last place from the library's, except where the result is exact.
TEST_P(Transcendental, BothPathsTakeOneResult)
{
    const TranscendentalCase &c = GetParam();
    const long double x = c.argument;
    const bool perturbed = KELVORA_PERTURB_TRANSCENDENTALS != 0;
    const auto expectFromLibrary = [&](long double fast, long double stepped,
                                       long double library) {
        EXPECT_EQ(fast, stepped);
        if (c.exact || !perturbed) {
            EXPECT_EQ(fast, library);
        } else {
            const long double unit = std::nextafter(std::fabs(library),
                                                    std::numeric_limits<long double>::max())
                                     - std::fabs(library);
            EXPECT_EQ(std::fabs(fast - library), unit);
        }
    };
    if (x > 0.0L)
        expectFromLibrary(FastFp::log(x), SteppedFp::log(x), std::log(x));
    expectFromLibrary(FastFp::exp(x), SteppedFp::exp(x), std::exp(x));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, Transcendental,
    testing::Values(TranscendentalCase{"near_one", 1.0L + 0x1p-20L, false},
                    TranscendentalCase{"ordinary", 7.3365228e-4L, false},
                    TranscendentalCase{"odd_significand", 3.0L + 0x1p-62L, false},
                    TranscendentalCase{"negative", -40.5L, false},
                    TranscendentalCase{"zero", 0.0L, true}),
    CaseName);

} // namespace
