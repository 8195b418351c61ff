// The inline logarithm against the library's logl: the same bits and the same exception flags
// over millions of arguments in both of its branches, at the edge between them, over the
// subnormals and at the special values.

#include "core/fpe.h"
#include "core/inlinelog.h"

#include "casename.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace kelvora;
using testcase::CaseName;
using testcase::PrintTo;

using Limits = std::numeric_limits<long double>;

// The exception flags raised since the last ClearAllFlags: on x86-64 every x87 flag (the
// denormal-operand flag included) and MXCSR's; elsewhere the standard five.
#if defined(__x86_64__)
void ClearAllFlags()
{
    unsigned int mxcsr;
    asm volatile("fnclex");
    asm volatile("stmxcsr %0" : "=m"(mxcsr));
    mxcsr &= ~0x3Fu;
    asm volatile("ldmxcsr %0" : : "m"(mxcsr));
}

unsigned RaisedFlags()
{
    unsigned short status;
    unsigned int mxcsr;
    asm volatile("fnstsw %0" : "=a"(status));
    asm volatile("stmxcsr %0" : "=m"(mxcsr));
    return (status & 0x3Fu) | ((mxcsr & 0x3Fu) << 8);
}
#else
void ClearAllFlags()
{
    std::feclearexcept(FE_ALL_EXCEPT);
}

unsigned RaisedFlags()
{
    return static_cast<unsigned>(std::fetestexcept(FE_ALL_EXCEPT));
}
#endif

struct Result
{
    unsigned char bits[10];  // the 80-bit value as it is stored
    unsigned flags;
};

template <typename Log>
Result Evaluate(long double x, Log log)
{
    ClearAllFlags();
    const long double r = FpFenced(log(FpFenced(x)));
    Result result;
    result.flags = RaisedFlags();
    std::memcpy(result.bits, &r, sizeof result.bits);
    return result;
}

// A long double from its sign, biased exponent and 64-bit significand.
long double Compose(bool negative, unsigned exponent, std::uint64_t significand)
{
    static_assert(Limits::digits == 64 || !InlineLogIsInline);
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, &significand, 8);
    const unsigned top = (negative ? 0x8000u : 0u) | (exponent & 0x7FFFu);
    bytes[8] = static_cast<unsigned char>(top & 0xFFu);
    bytes[9] = static_cast<unsigned char>(top >> 8);
    long double x;
    std::memcpy(&x, bytes, sizeof x);
    return x;
}

constexpr std::uint64_t IntegerBit = std::uint64_t{1} << 63;

struct LogCase
{
    const char *name;
    // Fills the arguments of the case; the generator is seeded per case.
    std::function<void(std::mt19937_64 &, std::vector<long double> &)> arguments;
};

class InlineLogMatchesLibrary : public testing::TestWithParam<LogCase>
{
};

TEST_P(InlineLogMatchesLibrary, SameBitsSameFlags)
{
    std::mt19937_64 random(20261210u);
    std::vector<long double> xs;
    GetParam().arguments(random, xs);
    ASSERT_FALSE(xs.empty());
    int mismatches = 0;
    for (const long double x : xs) {
        const Result library = Evaluate(x, [](long double v) { return std::log(v); });
        const Result inlined = Evaluate(x, [](long double v) { return InlineLog(v); });
        const bool sameBits = std::memcmp(library.bits, inlined.bits, 10) == 0;
        if (!sameBits || library.flags != inlined.flags) {
            if (++mismatches <= 5) {
                std::ostringstream text;
                text.precision(21);
                text << "log(" << x << "): library " << std::log(x) << " flags 0x" << std::hex
                     << library.flags << ", inline " << InlineLog(x) << " flags 0x"
                     << inlined.flags;
                ADD_FAILURE() << text.str();
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << "of " << xs.size() << " arguments";
}

// Uniform in [lo, hi] with all 64 bits of the significand in play.
void Uniform(std::mt19937_64 &random, std::vector<long double> &xs, long double lo,
             long double hi, int count)
{
    for (int k = 0; k < count; ++k) {
        const long double u = static_cast<long double>(random()) * 0x1p-64L;
        xs.push_back(lo + u * (hi - lo));
    }
}

// Normal numbers with a random significand and a biased exponent in [lo, hi].
void Normals(std::mt19937_64 &random, std::vector<long double> &xs, unsigned lo, unsigned hi,
             int count)
{
    std::uniform_int_distribution<unsigned> exponent(lo, hi);
    for (int k = 0; k < count; ++k)
        xs.push_back(Compose(false, exponent(random), random() | IntegerBit));
}

// 0.29 as the library compares with it, a double.
const long double Limit = static_cast<long double>(0.29);

INSTANTIATE_TEST_SUITE_P(
    Arguments, InlineLogMatchesLibrary,
    testing::Values(
        // |x − 1| <= 0.29: fyl2xp1 on x − 1, where the fit's C/S + 1 near 1 falls.
        LogCase{"near_one",
                [](std::mt19937_64 &random, std::vector<long double> &xs) {
                    Uniform(random, xs, 1.0L - Limit, 1.0L + Limit, 1'000'000);
                }},
        // fyl2x over the magnitudes a fit meets: 2^-8 to 2^48.
        LogCase{"fit_range",
                [](std::mt19937_64 &random, std::vector<long double> &xs) {
                    Normals(random, xs, 16383u - 8u, 16383u + 48u, 1'000'000);
                }},
        // fyl2x over every positive normal exponent.
        LogCase{"all_exponents",
                [](std::mt19937_64 &random, std::vector<long double> &xs) {
                    Normals(random, xs, 1u, 32766u, 1'000'000);
                }},
        LogCase{"subnormals",
                [](std::mt19937_64 &random, std::vector<long double> &xs) {
                    for (int k = 0; k < 500'000; ++k)
                        xs.push_back(Compose(false, 0u, (random() & ~IntegerBit) | 1u));
                }},
        // Every extended value within 20000 units of the last place of 1 ± 0.29, the edge
        // between the two branches, on either side of it.
        LogCase{"branch_edges",
                [](std::mt19937_64 &, std::vector<long double> &xs) {
                    for (const long double edge : {1.0L + Limit, 1.0L - Limit}) {
                        long double below = edge;
                        long double above = edge;
                        xs.push_back(edge);
                        for (int k = 0; k < 20'000; ++k) {
                            below = std::nextafter(below, 0.0L);
                            above = std::nextafter(above, 2.0L);
                            xs.push_back(below);
                            xs.push_back(above);
                        }
                    }
                }},
        // Around 1, where the result is smallest and log(1) is exactly +0.
        LogCase{"around_one",
                [](std::mt19937_64 &, std::vector<long double> &xs) {
                    long double below = 1.0L;
                    long double above = 1.0L;
                    xs.push_back(1.0L);
                    for (int k = 0; k < 20'000; ++k) {
                        below = std::nextafter(below, 0.0L);
                        above = std::nextafter(above, 2.0L);
                        xs.push_back(below);
                        xs.push_back(above);
                    }
                }},
        // Zeros, negatives, infinities, NaNs and the ends of the range: the library's own
        // path, with its faults.
        LogCase{"special_values",
                [](std::mt19937_64 &random, std::vector<long double> &xs) {
                    xs = {0.0L,
                          -0.0L,
                          -1.0L,
                          -Limits::denorm_min(),
                          -Limits::max(),
                          Limits::infinity(),
                          -Limits::infinity(),
                          Limits::quiet_NaN(),
                          -Limits::quiet_NaN(),
                          Limits::signaling_NaN(),
                          Limits::denorm_min(),
                          Limits::min(),
                          std::nextafter(Limits::min(), 0.0L),
                          Limits::max(),
                          0.5L,
                          2.0L,
                          std::exp(1.0L)};
                    for (int k = 0; k < 100'000; ++k)
                        xs.push_back(Compose(true, 1u + static_cast<unsigned>(random() % 32766u),
                                             random() | IntegerBit));
                }}),
    CaseName);

TEST(InlineLog, IsInlineOnX87WithGlibc)
{
#if defined(__x86_64__) && defined(__GLIBC__)
    EXPECT_TRUE(InlineLogIsInline);
#else
    EXPECT_FALSE(InlineLogIsInline);
#endif
}

} // namespace
