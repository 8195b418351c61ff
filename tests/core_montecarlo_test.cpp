// The Monte Carlo check of the propagated uncertainty: agreement where the fit is close to
// linear, a visible disagreement where it is not, the same results on any number of threads,
// failed trials counted, a stop, and the 95 % interval's ends.

#include "core/montecarlo.h"

#include "casename.h"
#include "core_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace kelvora;
using namespace kelvora::test;
using testcase::CaseName;
using testcase::PrintTo;

// n points from 430 K to 1358 K exactly on the curve, each with u(T_i) = u kelvin, the signals
// to check at 430 K, 894 K, 1358 K (the range), 1765 K and 2716 K (beyond it) and 344 K (below).
MonteCarloProblem ProblemOf(int n, long double u, int trials = DefaultMonteCarloTrials)
{
    MonteCarloProblem problem;
    problem.fitted = InGaAs();
    for (int i = 0; i < n; ++i) {
        UncertainPoint point;
        point.S = SHSignal(problem.fitted, 430.0L + (1358.0L - 430.0L) * i / (n - 1));
        point.T = SHTemperature(problem.fitted, point.S);
        point.u = u;
        problem.points.push_back(point);
    }
    for (const long double t : {430.0L, 894.0L, 1358.0L, 1765.0L, 2716.0L, 344.0L})
        problem.signalValues.push_back(SHSignal(problem.fitted, t));
    problem.trials = trials;
    problem.threads = 2;
    return problem;
}

class Recording : public MonteCarloHost
{
public:
    void TrialsDone(int done, int failed) override
    {
        doneCounts.push_back(done);
        lastFailed = failed;
    }
    bool StopRequested() override { return ++stopReads > stopAfter; }

    std::vector<int> doneCounts;
    int lastFailed = -1;
    int stopReads = 0;
    int stopAfter = 1 << 30;
};

// Ten thousand trials on seven points of 10 mK: the temperatures move by parts in 10^5, where
// the fit is linear, and u_mc is u_ref within the 5 % that the statistics of 10 000 trials
// (about 0.7 % of u) leave with a wide margin; the interval is about ±2·u_ref around T.
TEST(MonteCarlo, AgreesWithThePropagationForSmallUncertainties)
{
    const MonteCarloProblem problem = ProblemOf(7, 0.010L);
    const UncertaintyPropagation propagation(problem.fitted, problem.points);
    Recording host;
    const MonteCarloOutcome outcome = RunMonteCarlo(problem, host);
    EXPECT_EQ(outcome.trials, 10000);
    EXPECT_EQ(outcome.failed, 0);
    EXPECT_FALSE(outcome.stopped);
    ASSERT_EQ(outcome.values.size(), problem.signalValues.size());
    for (std::size_t j = 0; j < problem.signalValues.size(); ++j) {
        const InterpolatedUncertainty linear = propagation.at(problem.signalValues[j], 0.0L);
        SCOPED_TRACE("T = " + std::to_string(static_cast<double>(linear.T)));
        ASSERT_TRUE(outcome.values[j].has_value());
        const MonteCarloValue &mc = *outcome.values[j];
        EXPECT_NEAR(mc.u / *linear.uRef, 1.0L, 0.05L);
        EXPECT_NEAR(mc.mean, linear.T, 0.1L * *linear.uRef);
        EXPECT_NEAR((linear.T - mc.low) / *linear.uRef, 1.96L, 0.15L);
        EXPECT_NEAR((mc.high - linear.T) / *linear.uRef, 1.96L, 0.15L);
    }
    EXPECT_EQ(host.doneCounts.back(), 10000);
    EXPECT_EQ(host.lastFailed, 0);
}

// Four points of 30 K: far beyond the range the temperature is no longer linear in the
// points' temperatures. The spread grows by more than a tenth over u_ref and the interval
// leans towards high temperatures, which the linear propagation cannot show.
TEST(MonteCarlo, DepartsVisiblyFromThePropagationForLargeUncertainties)
{
    const MonteCarloProblem problem = ProblemOf(4, 30.0L);
    const UncertaintyPropagation propagation(problem.fitted, problem.points);
    Recording host;
    const MonteCarloOutcome outcome = RunMonteCarlo(problem, host);
    const std::size_t far = 4; // 2716 K
    const InterpolatedUncertainty linear = propagation.at(problem.signalValues[far], 0.0L);
    ASSERT_TRUE(outcome.values[far].has_value());
    const MonteCarloValue &mc = *outcome.values[far];
    EXPECT_GT(mc.u / *linear.uRef, 1.08L);
    EXPECT_GT(mc.high - linear.T, 1.5L * (linear.T - mc.low));
    EXPECT_GT(mc.mean - linear.T, 0.1L * *linear.uRef);
    // Inside the range the two still agree.
    EXPECT_NEAR(outcome.values[1]->u / *propagation.at(problem.signalValues[1], 0.0L).uRef, 1.0L,
                0.05L);
    EXPECT_EQ(host.lastFailed, outcome.failed);
}

TEST(MonteCarlo, GivesTheSameNumbersOnAnyNumberOfThreads)
{
    MonteCarloProblem problem = ProblemOf(5, 0.5L, 203);
    problem.threads = 1;
    MonteCarloHost host;
    const MonteCarloOutcome one = RunMonteCarlo(problem, host);
    for (const int threads : {2, 3, 8}) {
        problem.threads = threads;
        const MonteCarloOutcome other = RunMonteCarlo(problem, host);
        EXPECT_EQ(other.failed, one.failed) << threads;
        ASSERT_EQ(other.values.size(), one.values.size());
        for (std::size_t j = 0; j < one.values.size(); ++j) {
            ASSERT_TRUE(one.values[j] && other.values[j]);
            EXPECT_EQ(other.values[j]->u, one.values[j]->u) << threads << " threads, " << j;
            EXPECT_EQ(other.values[j]->mean, one.values[j]->mean);
            EXPECT_EQ(other.values[j]->low, one.values[j]->low);
            EXPECT_EQ(other.values[j]->high, one.values[j]->high);
        }
    }
    // Another seed draws other temperatures.
    problem.seed = 2;
    EXPECT_NE(RunMonteCarlo(problem, host).values[0]->u, one.values[0]->u);
}

// A limit of one iteration ends every refit with "Convergence was not achieved".
TEST(MonteCarlo, CountsTrialsWhoseFitFails)
{
    MonteCarloProblem problem = ProblemOf(5, 0.5L, 100);
    problem.MaxIter = 1;
    Recording host;
    const MonteCarloOutcome outcome = RunMonteCarlo(problem, host);
    EXPECT_EQ(outcome.failed, 100);
    EXPECT_EQ(host.lastFailed, 100);
    for (const auto &value : outcome.values)
        EXPECT_FALSE(value.has_value()) << "no trial to take a spread from";
}

TEST(MonteCarlo, StopsWhenAskedAndGivesNothing)
{
    const MonteCarloProblem problem = ProblemOf(5, 0.5L, 5000);
    Recording host;
    host.stopAfter = 2;
    const MonteCarloOutcome outcome = RunMonteCarlo(problem, host);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_LT(host.doneCounts.back(), 5000);
    for (const auto &value : outcome.values)
        EXPECT_FALSE(value.has_value());
}

// A signal whose temperature faults has no spread; the others have theirs.
TEST(MonteCarlo, ASignalWithoutTemperatureHasNoValue)
{
    MonteCarloProblem problem = ProblemOf(5, 0.5L, 50);
    problem.signalValues = {0.0L, problem.signalValues[1]};
    MonteCarloHost host;
    const MonteCarloOutcome outcome = RunMonteCarlo(problem, host);
    EXPECT_FALSE(outcome.values[0].has_value());
    EXPECT_TRUE(outcome.values[1].has_value());
}

TEST(MonteCarlo, RefusesAProblemOutsideItsBounds)
{
    MonteCarloHost host;
    MonteCarloProblem problem = ProblemOf(5, 0.5L, 10);
    problem.points[2].u.reset();
    EXPECT_EQ(ErrorText([&] { RunMonteCarlo(problem, host); }), "Range check error");
    for (const int trials : {1, MaxMonteCarloTrials + 1}) {
        problem = ProblemOf(5, 0.5L, trials);
        EXPECT_EQ(ErrorText([&] { RunMonteCarlo(problem, host); }), "Range check error");
    }
    problem = ProblemOf(3, 0.5L, 10);
    problem.points.pop_back();
    EXPECT_EQ(ErrorText([&] { RunMonteCarlo(problem, host); }), "Range check error");
}

struct IntervalCase
{
    const char *name;
    int M;
    int low;  // 1-based positions in the sorted values
    int high;
};

class Interval : public testing::TestWithParam<IntervalCase>
{
};

TEST_P(Interval, EndsAtTheRanksOfTheSupplement)
{
    const IntervalCase &c = GetParam();
    std::vector<long double> sorted;
    for (int i = 1; i <= c.M; ++i)
        sorted.push_back(i);
    long double low = 0, high = 0;
    ProbabilisticallySymmetricInterval(sorted, low, high);
    EXPECT_EQ(low, c.low);
    EXPECT_EQ(high, c.high);
}

INSTANTIATE_TEST_SUITE_P(Cases, Interval,
                         testing::Values(IntervalCase{"TenThousand", 10000, 250, 9750},
                                         IntervalCase{"OddRemainder", 101, 3, 99},
                                         IntervalCase{"Forty", 40, 1, 39},
                                         IntervalCase{"Few", 5, 1, 5},
                                         IntervalCase{"One", 1, 1, 1}),
                         CaseName);

} // namespace
