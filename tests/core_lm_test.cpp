// The Levenberg-Marquardt fitter and its Cholesky solver.

#include "core/lm.h"

#include "casename.h"
#include "core_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cfenv>
#include <cmath>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace kelvora;
using namespace kelvora::test;
using testcase::CaseName;
using testcase::PrintTo;

// Five points that the instrument's triple fits exactly.
ReferenceSet ExactFivePoints()
{
    const std::array<long double, 5> temps = {400.0L, 800.0L, 1200.0L, 1600.0L, 2000.0L};
    return PointsOf(Instrument(), temps, std::array<long double, 5>{});
}

LMOutcome Fit(const ReferenceSet &reference, const TParamVector &start, int nParams,
              int MaxIter, long double Tol)
{
    return LevMarFit(LMProblem{reference, start, nParams, MaxIter, Tol});
}

struct ExactStart
{
    const char *name;
    int MaxIter;
    long double Tol;
    int status;
    int iter;
};

class LMExactStart : public testing::TestWithParam<ExactStart>
{
};

// g = 0, so every first trial is accepted with a zero step: λ falls by 5 per iteration.
TEST_P(LMExactStart, AcceptsTheZeroStep)
{
    const ExactStart &c = GetParam();
    const LMOutcome out = Fit(ExactFivePoints(), Instrument(), 3, c.MaxIter, c.Tol);
    EXPECT_EQ(out.Status, c.status);
    EXPECT_EQ(out.Iter, c.iter);
    EXPECT_EQ(out.RelChange, 0.0L);
    long double lambda = 20.0L;
    for (int k = 0; k < c.iter; ++k)
        lambda /= 5.0L;
    EXPECT_EQ(out.Lambda, lambda);
    EXPECT_EQ(out.Params, Instrument());
}

INSTANTIATE_TEST_SUITE_P(
    Limits, LMExactStart,
    testing::Values(ExactStart{"converged", 50, 1e-9L, lmConverged, 1},
                    ExactStart{"limit_one_wins", 1, 1e-9L, lmIterationLimit, 1},
                    ExactStart{"no_limit", 0, 1e-9L, lmConverged, 1},
                    ExactStart{"tolerance_zero", 4, 0.0L, lmIterationLimit, 4},
                    ExactStart{"tolerance_negative", 7, -1.0L, lmIterationLimit, 7}),
    CaseName);

TEST(LMFit, ConvergesFromANearbyStart)
{
    TParamVector start = Triple(0.6499L, 0.14L, 2.9e6L);
    start[7] = 7.0L;
    const LMOutcome out = Fit(ExactFivePoints(), start, 3, 50, 1e-9L);
    EXPECT_EQ(out.Status, lmConverged);
    EXPECT_GT(out.Iter, 1);
    EXPECT_LT(out.RelChange, 1e-9L);
    EXPECT_NEAR(out.Params[1], 0.65L, 1e-12L);
    EXPECT_NEAR(out.Params[2], 0.1L, 1e-10L);
    EXPECT_NEAR(out.Params[3] / 3e6L, 1.0L, 1e-12L);
    EXPECT_EQ(out.Params[7], 7.0L) << "elements beyond the fitted ones keep their values";
}

TEST(LMFit, StaleFlagsFromElsewhereAreIgnored)
{
    const ReferenceSet reference = ExactFivePoints();
    std::feraiseexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    EXPECT_EQ(Fit(reference, Instrument(), 3, 50, 1e-9L).Status, lmConverged);
}

// Four points with deviations of ±50 mK and a start that needs many iterations: near the
// minimum, rounding makes trials fail, and λ moves only by the schedule's factors.
TEST(LMLambda, FollowsTheScheduleThroughRejections)
{
    const std::array<long double, 4> temps = {500.0L, 800.0L, 1100.0L, 1400.0L};
    const ReferenceSet reference =
        PointsOf(Instrument(), temps, std::array<long double, 4>{0.0L, 0.05L, -0.05L, 0.0L});
    const TParamVector start = Triple(0.6499L, 0.24L, 2.9e6L);
    std::vector<long double> factors;
    long double previous = 20.0L;
    for (int k = 1; k <= 30; ++k) {
        const LMOutcome out = Fit(reference, start, 3, k, 0.0L);
        ASSERT_EQ(out.Status, lmIterationLimit);
        factors.push_back(out.Lambda / previous);
        previous = out.Lambda;
    }
    // One factor per iteration: ÷5 with no rejection; ×3, ×9, ×81, ×729 … with 1, 2, 3, 4 ….
    bool sawThreeRejections = false;
    for (long double f : factors) {
        const auto is = [f](long double factor) {
            return std::fabs(f / factor - 1.0L) < 1e-15L;
        };
        bool allowed = is(0.2L) || is(3.0L);
        for (long double g = 9.0L; g < 1e30L && !allowed; g *= 9.0L)
            allowed = is(g);
        EXPECT_TRUE(allowed) << "factor " << static_cast<double>(f);
        sawThreeRejections = sawThreeRejections || is(81.0L);
    }
    EXPECT_TRUE(sawThreeRejections);
}

// Eight points of a noisy instrument and a start far from its triple.
ReferenceSet NoisyEightPoints(TParamVector &start)
{
    const std::array<std::pair<long double, long double>, 8> points{{
        {0xa.e845367586d679p-20L, 712.5L},
        {0x9.9d40e98850d0c9fp-8L, 1025.0L},
        {0xc.6fd603c806c8fd3p-2L, 1337.5L},
        {0xb.f3e5b50fac3a036p+2L, 1650.0L},
        {0x9.9627d62a9085ac5p+5L, 1962.5L},
        {0x8.fdb3f785cda6265p+7L, 2275.0L},
        {0xc.c0753e266dc3a99p+8L, 2587.5L},
        {0xe.38201a231bb5b9bp+9L, 2900.0L},
    }};
    ReferenceSet reference;
    for (const auto &[s, t] : points)
        reference.append(s, t);
    start.fill(0.0L);
    start[1] = 0x9.ddc831d34688478p-4L;
    start[2] = 0xf.68d22693c4205ebp-7L;
    start[3] = 0xc.70acb4ba45014d2p+18L;
    return reference;
}

long double SumOfSquaredDeviations(const TParamVector &P, const ReferenceSet &reference)
{
    long double sum = 0.0L;
    for (int i = 1; i <= reference.NPoints; ++i) {
        const long double r = reference.RefT[i] - SHTemperature(P, reference.RefS[i]);
        sum += r * r;
    }
    return sum;
}

// A trial step is accepted when it raises the sum of squares by no more than 1e-4 of its
// predicted decrease X. One parameter, A, is fitted to one point, starting far above its
// value: the first trial, damped by λ = 20, overshoots more the higher the start, until it is
// rejected. Just below the start where that happens, the accepted trial raises the sum by
// nearly 1e-4·X, far more than rounding; the edge is found by bisection on the fitter's own
// outcome (λ falls to 4 after a first trial accepted, and rises after a rejection).
TEST(LMAcceptance, AStepMayRaiseTheSumOfSquaresByItsSlack)
{
    const TParamVector instrument = Instrument();
    ReferenceSet reference;
    const long double signal = SHSignal(instrument, 1000.0L);
    reference.append(signal, SHTemperature(instrument, signal));
    const auto start = [&](long double A) { return Triple(A, instrument[2], instrument[3]); };
    const auto firstTrialAccepted = [&](long double A) {
        const LMOutcome out = Fit(reference, start(A), 1, 1, 0.0L);
        return out.Status == lmIterationLimit && out.Lambda == 4.0L;
    };

    long double accepted = instrument[1] * 2.0L;
    long double rejected = accepted;
    while (firstTrialAccepted(rejected) && rejected < instrument[1] * 1000.0L)
        rejected *= 1.5L;
    ASSERT_TRUE(firstTrialAccepted(accepted));
    ASSERT_FALSE(firstTrialAccepted(rejected));
    for (int i = 0; i < 200; ++i) {
        const long double middle = (accepted + rejected) / 2.0L;
        if (middle == accepted || middle == rejected)
            break;
        (firstTrialAccepted(middle) ? accepted : rejected) = middle;
    }

    const long double before = SumOfSquaredDeviations(start(accepted), reference);
    const LMOutcome out = Fit(reference, start(accepted), 1, 1, 0.0L);
    const long double after = SumOfSquaredDeviations(out.Params, reference);
    EXPECT_GT(after - before, before * 1e-9L);
}

// A = 1e-296: its absolute difference step 1e-9 dwarfs it, the secant slope is far too
// small, and every trial step lands on the other side of A = 0.
TEST(LMStatus, NoDescentAfterFiftyRejections)
{
    const TParamVector start = Triple(1e-296L, 0.1L, 3e6L);
    ReferenceSet reference;
    for (int i = 1; i <= 4; ++i) {
        const long double s = SHSignal(Instrument(), 500.0L * i);
        reference.append(s, 1.5L * SHTemperature(start, s));
    }
    const LMOutcome out = Fit(reference, start, 3, 50, 1e-9L);
    EXPECT_EQ(out.Status, lmNoDescent);
    EXPECT_EQ(out.Iter, 1);
    EXPECT_EQ(out.Params, start);
    // ×3, ×3, then ×9 for each of the other 48 rejections.
    EXPECT_NEAR(out.Lambda / (180.0L * std::pow(9.0L, 48.0L)), 1.0L, 1e-15L);
}

// Three parameters fitted to two points: λ shrinks until the normal matrix's rank defect
// shows as a negative radicand. Whether it shows so (rather than as a zero pivot, or not yet)
// depends on the last bits of the processor's logarithm, so a table of point pairs and starts
// is searched for a fit that ends that way.
TEST(LMStatus, NotPositiveDefiniteKeepsThePreviousIteration)
{
    const std::array<std::array<long double, 2>, 8> pairs{{
        {400.0L, 800.0L}, {500.0L, 900.0L}, {600.0L, 1500.0L},
        {450.0L, 1000.0L}, {700.0L, 2000.0L}, {1000.0L, 1200.0L},
        {550.0L, 1100.0L}, {800.0L, 1000.0L},
    }};
    const std::array<TParamVector, 3> starts{Triple(0.66L, 0.3L, 3.1e6L),
                                             Triple(0.64L, 0.05L, 2.9e6L),
                                             Triple(0.651L, 0.12L, 3.02e6L)};
    for (const auto &temps : pairs) {
        for (const TParamVector &start : starts) {
            const ReferenceSet reference =
                PointsOf(Instrument(), temps, std::array<long double, 2>{});
            LMOutcome failed;
            try {
                failed = Fit(reference, start, 3, 300, 0.0L);
            } catch (const FloatError &) {
                continue;
            }
            if (failed.Status != lmNotPositiveDefinite)
                continue;
            ASSERT_GT(failed.Iter, 1);

            const LMOutcome previous = Fit(reference, start, 3, failed.Iter - 1, 0.0L);
            EXPECT_EQ(previous.Status, lmIterationLimit);
            EXPECT_EQ(failed.Params, previous.Params);
            EXPECT_NE(failed.Params, start);
            return;
        }
    }
    FAIL() << "no fit of three parameters to two points met a negative radicand";
}

TEST(LMStatus, LimitOfAnUnfinishedFit)
{
    const LMOutcome out = Fit(ExactFivePoints(), Triple(0.6499L, 0.14L, 2.9e6L), 3, 3, 1e-9L);
    EXPECT_EQ(out.Status, lmIterationLimit);
    EXPECT_EQ(out.Iter, 3);
    EXPECT_GT(out.RelChange, 1e-9L);
}

TEST(LMFaults, NoValueInTheDifferenceOverflows)
{
    const ReferenceSet reference = ExactFivePoints();
    // A + h is exactly 0, where the model has no value.
    EXPECT_EQ(ErrorText([&] { Fit(reference, Triple(-1e-9L, 0.1L, 3e6L), 3, 50, 1e-9L); }),
              Overflow);
}

TEST(LMFaults, UnusedParameterGivesAZeroPivot)
{
    const ReferenceSet reference = ExactFivePoints();
    // Element 4 has no effect: its row of the normal matrix is zero, so 0 / 0.
    EXPECT_EQ(ErrorText([&] { Fit(reference, Instrument(), 4, 50, 1e-9L); }), Invalid);
}

struct Counts
{
    int nParams;
    int nPoints;
};

void PrintTo(const Counts &c, std::ostream *os)
{
    *os << "params" << c.nParams << "_points" << c.nPoints;
}

class LMCounts : public testing::TestWithParam<Counts>
{
};

TEST_P(LMCounts, OutsideTheArraysIsARangeError)
{
    ReferenceSet reference = ExactFivePoints();
    reference.NPoints = GetParam().nPoints;
    EXPECT_THROW(Fit(reference, Instrument(), GetParam().nParams, 50, 1e-9L), RangeError);
}

INSTANTIATE_TEST_SUITE_P(Bounds, LMCounts,
                         testing::Values(Counts{0, 5}, Counts{11, 5}, Counts{3, 0},
                                         Counts{3, 21}, Counts{-1, 5}));

// The bytes of the fit's values, for comparing two fits bit for bit.
std::string Bits(const LMOutcome &out)
{
    std::string bytes(reinterpret_cast<const char *>(&out.RelChange), 10);
    bytes.append(reinterpret_cast<const char *>(&out.Lambda), 10);
    for (int j = 1; j <= MaxParams; ++j)
        bytes.append(reinterpret_cast<const char *>(&out.Params[j]), 10);
    return std::to_string(out.Status) + " " + std::to_string(out.Iter) + " " + bytes;
}

class LMAtOnce : public testing::TestWithParam<int>
{
};

// Fits of perturbed copies of one set, as a propagation of uncertainties makes them, on
// several threads at once: each gives what it gives alone.
TEST_P(LMAtOnce, EveryFitAsAlone)
{
    const int threads = GetParam();
    TParamVector start;
    const ReferenceSet noisy = NoisyEightPoints(start);
    std::vector<LMProblem> problems;
    for (int k = 0; k < 6 * threads; ++k) {
        LMProblem problem{noisy, start, 3, 50, 1e-12L};
        for (int i = 1; i <= noisy.NPoints; ++i)
            problem.reference.RefT[i] += 0.001L * static_cast<long double>((k * i) % 7 - 3);
        problems.push_back(problem);
    }
    std::vector<std::string> alone;
    for (const LMProblem &problem : problems)
        alone.push_back(Bits(LevMarFit(problem)));

    std::vector<std::string> together(problems.size());
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (std::size_t k = static_cast<std::size_t>(t); k < problems.size();
                 k += static_cast<std::size_t>(threads))
                together[k] = Bits(LevMarFit(problems[k]));
        });
    }
    for (std::thread &worker : workers)
        worker.join();
    EXPECT_EQ(together, alone);
    EXPECT_NE(alone.front(), alone.back()) << "the perturbations change the fits";
}

INSTANTIATE_TEST_SUITE_P(Threads, LMAtOnce, testing::Values(2, 4, 8));

struct CholeskyCase
{
    const char *name;
    std::vector<std::vector<long double>> matrix;  // symmetric, row by row
    std::vector<long double> rhs;
    bool solved;
    std::vector<long double> solution;
    const char *text;  // fault of the solve
};

class Cholesky : public testing::TestWithParam<CholeskyCase>
{
};

TEST_P(Cholesky, SolvesOrFails)
{
    const CholeskyCase &c = GetParam();
    const int n = static_cast<int>(c.rhs.size());
    TParamMatrix M;
    TParamVector b;
    for (int i = 1; i <= n; ++i) {
        b[i] = c.rhs[static_cast<std::size_t>(i - 1)];
        for (int j = i; j <= n; ++j)
            M[i][j] = c.matrix[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)];
    }
    const TParamMatrix before = M;
    bool solved = false;
    EXPECT_EQ(ErrorText([&] { solved = CholeskySolve(n, M, b); }), c.text);
    EXPECT_EQ(solved, c.solved);
    for (int i = 1; i <= n; ++i) {
        for (int j = i + 1; j <= n; ++j)
            EXPECT_EQ(M[i][j], before[i][j]) << "upper triangle changed at " << i << "," << j;
    }
    for (std::size_t i = 0; i < c.solution.size(); ++i)
        EXPECT_EQ(b[static_cast<int>(i) + 1], c.solution[i]);
}

INSTANTIATE_TEST_SUITE_P(
    Matrices, Cholesky,
    testing::Values(
        CholeskyCase{"three_by_three",
                     {{25, 15, -5}, {15, 18, 0}, {-5, 0, 11}}, {40, 51, 28}, true, {1, 2, 3},
                     ""},
        CholeskyCase{"two_by_two", {{4, 2}, {2, 3}}, {2, 1}, true, {0.5L, 0}, ""},
        CholeskyCase{"one_by_one", {{4}}, {6}, true, {1.5L}, ""},
        CholeskyCase{"indefinite", {{1, 2}, {2, 1}}, {1, 1}, false, {}, ""},
        CholeskyCase{"negative_first_pivot", {{-1}}, {1}, false, {}, ""},
        CholeskyCase{"zero_pivot", {{1, 1}, {1, 1}}, {1, 2}, false, {}, DivisionByZero},
        CholeskyCase{"zero_pivot_zero_rest", {{1, 1}, {1, 1}}, {1, 1}, false, {}, Invalid}),
    CaseName);

TEST(CholeskyBounds, SizeOutsideTheMatrixIsARangeError)
{
    TParamMatrix M;
    TParamVector b;
    EXPECT_THROW(CholeskySolve(0, M, b), RangeError);
    EXPECT_THROW(CholeskySolve(11, M, b), RangeError);
}

} // namespace
