// The particle swarm fitter: passes, the box, the host's calls, the snapshot of the best,
// reproducibility and faults.

#include "core/mt19937.h"
#include "core/pso.h"

#include "core_support.h"
#include "casename.h"

#include <gtest/gtest.h>

#include <array>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace kelvora;
using namespace kelvora::test;
using testcase::CaseName;
using testcase::PrintTo;

// Records what the fitter asks of its host; stops after `stopAfter` sweeps (0: never).
class RecordingHost : public PSOHost
{
public:
    explicit RecordingHost(int stopAfter = 0) : m_stopAfter(stopAfter) {}

    void ShowPSOProgress() override
    {
        calls.push_back("progress");
        ++progressCalls;
        onProgress();
    }
    void ShowSweep(int restartNo, int sweep, std::uint32_t improvements) override
    {
        calls.push_back("sweep");
        // Sweeps count from 1 within each pass.
        const bool samePass = !sweepPasses.empty() && sweepPasses.back() == restartNo;
        EXPECT_EQ(sweep, samePass ? lastSweep + 1 : 1);
        lastSweep = sweep;
        sweepPasses.push_back(restartNo);
        EXPECT_EQ(improvements, Improvements);
        onSweep();
    }
    void ProcessEvents() override
    {
        calls.push_back("events");
        onEvents();
    }
    bool StopRequested() override
    {
        calls.push_back("stop?");
        return m_stopAfter > 0 && static_cast<int>(sweepPasses.size()) >= m_stopAfter;
    }

    std::vector<std::string> calls;
    std::vector<int> sweepPasses;
    int progressCalls = 0;
    int lastSweep = 0;
    std::function<void()> onProgress = [] {};
    std::function<void()> onSweep = [] {};
    std::function<void()> onEvents = [] {};

private:
    int m_stopAfter;
};

TParamVector Box(long double a, long double b, long double c)
{
    return Triple(a, b, c);
}

PSOSettings Seeded(std::uint32_t seed)
{
    PSOSettings settings;
    settings.Seed = seed;
    return settings;
}

// Four points off the instrument's curve by up to 50 mK: no triple comes near 0.005 mK.
void NoisyPoints()
{
    const std::array<long double, 4> temps = {500.0L, 900.0L, 1300.0L, 1700.0L};
    FillReferenceSet(Instrument(), temps, std::array<long double, 4>{0.05L, -0.05L, 0.0L, 0.03L});
}

// Three points on the instrument's curve: the swarm reaches the target within a pass.
void ExactPoints()
{
    const std::array<long double, 3> temps = {500.0L, 1000.0L, 1500.0L};
    FillReferenceSet(Instrument(), temps, std::array<long double, 3>{});
}

const TParamVector Lo = Box(0.6L, 0.0L, 2.5e6L);
const TParamVector Hi = Box(0.7L, 0.2L, 3.5e6L);

TEST(PSOStart, SetsItsConstants)
{
    NoisyPoints();
    RecordingHost host(1);
    PSOFit(0, Lo, Hi, host, Seeded(1u));
    EXPECT_EQ(SwarmSize, 30);
    EXPECT_EQ(MaxSweeps, 30000);
    EXPECT_EQ(NParams, 3);
    EXPECT_NEAR(Chi, 0.729843788128357L, 1e-15L);
}

class PSOPasses : public testing::TestWithParam<int>
{
};

// A box of zero width: no spread, so each pass ends after its first sweep, and since every
// particle has the same fitness no evaluation is ever an improvement.
TEST_P(PSOPasses, ZeroWidthBoxRunsEveryPassOnce)
{
    const int restarts = GetParam();
    NoisyPoints();
    const TParamVector point = Instrument();
    RecordingHost host(1);  // would stop at once if the stop flag were read
    const PSOOutcome out = PSOFit(restarts, point, point, host, Seeded(5u));
    const int passes = restarts < 0 ? 0 : restarts + 1;
    EXPECT_EQ(out.PassesRun, passes);
    std::vector<int> expected;
    for (int k = 0; k < passes; ++k)
        expected.push_back(k);
    EXPECT_EQ(host.sweepPasses, expected);
    EXPECT_FALSE(out.Stopped);
    EXPECT_EQ(out.Improvements, 0u);
    EXPECT_EQ(host.progressCalls, 0);
    EXPECT_EQ(BestIndex, 1);
    EXPECT_EQ(OverallBest, NoValue);
    for (const std::string &call : host.calls)
        EXPECT_NE(call, "stop?");
}

INSTANTIATE_TEST_SUITE_P(Restarts, PSOPasses, testing::Values(-1, 0, 1, 3));

// A box of zero width at a triple that doubles hold exactly: a particle's moves keep it
// where it was placed, and every fitness of the pass equals every other. The first particle
// leads, and no tie counts as an improvement.
TEST(PSOTies, NeverReplaceABest)
{
    NoisyPoints();
    const TParamVector point = Box(0.625L, 0.125L, 3e6L);
    RecordingHost host(1);
    const PSOOutcome out = PSOFit(0, point, point, host, Seeded(5u));
    EXPECT_EQ(out.PassesRun, 1);
    EXPECT_EQ(out.Improvements, 0u);
    EXPECT_EQ(host.progressCalls, 0);
    EXPECT_EQ(LeaderIndex, 1);
    EXPECT_EQ(RestartBest, MeanRMSmK(point)) << "every particle has the start's fitness";
    EXPECT_EQ(OverallBest, NoValue);
}

TEST(PSOSweep, HostCallsInOrderAndStop)
{
    NoisyPoints();
    RecordingHost host(3);
    const PSOOutcome out = PSOFit(10, Lo, Hi, host, Seeded(11u));
    EXPECT_TRUE(out.Stopped);
    EXPECT_FALSE(out.TargetReached);
    EXPECT_EQ(out.PassesRun, 1);
    EXPECT_EQ(host.sweepPasses, (std::vector<int>{0, 0, 0}));
    std::vector<std::string> perSweep;
    for (const std::string &call : host.calls) {
        if (call != "progress")
            perSweep.push_back(call);
    }
    const std::vector<std::string> expected = {"sweep", "events", "stop?", "events",
                                               "sweep", "events", "stop?", "events",
                                               "sweep", "events", "stop?"};
    EXPECT_EQ(perSweep, expected);
    EXPECT_EQ(static_cast<std::uint32_t>(host.progressCalls), out.Improvements);
}

// Particle 1's first move replayed from the generator: placement takes one draw per
// dimension, then each dimension of a move draws r1 and then r2; the social pull is towards
// the leader's current position; Chi scales the whole sum; the result is rounded to double.
TEST(PSOSweep, FirstMoveFollowsTheDraws)
{
    NoisyPoints();
    const std::uint32_t seed = 77u;
    MTSeed(seed);
    std::array<TParamVector, 31> placed;
    int leader = 1;
    long double leaderFitness = NoValue;
    for (int i = 1; i <= 30; ++i) {
        for (int j = 1; j <= 3; ++j)
            placed[i][j] = Lo[j] + MTRealPositive() * (Hi[j] - Lo[j]);
        const long double f = MeanRMSmK(placed[i]);
        if (f < leaderFitness) {
            leaderFitness = f;
            leader = i;
        }
    }
    ASSERT_NE(leader, 1);
    const long double chi = 2.0L / std::fabs(-2.1L - std::sqrt(4.1L * 4.1L - 16.4L));
    TParticle expected;
    for (int j = 1; j <= 3; ++j) {
        const long double r1 = 2.05L * MTRealPositive();
        const long double r2 = 2.05L * MTRealPositive();
        const long double x = placed[1][j];
        expected.V[j] = chi * (0.0L + r1 * (x - x) + r2 * (placed[leader][j] - x));
        expected.X[j] = static_cast<double>(x + expected.V[j]);
    }

    RecordingHost host(1);
    host.onSweep = [&] {
        for (int j = 1; j <= 3; ++j) {
            EXPECT_EQ(Swarm[1].V[j], expected.V[j]) << "dimension " << j;
            EXPECT_EQ(Swarm[1].X[j], expected.X[j]) << "dimension " << j;
        }
    };
    PSOFit(0, Lo, Hi, host, Seeded(seed));
    EXPECT_EQ(host.sweepPasses.size(), 1u);
}

TEST(PSOBox, PositionsStayInside)
{
    NoisyPoints();
    RecordingHost host(40);
    int checked = 0;
    host.onSweep = [&] {
        for (int i = 1; i <= SwarmSize; ++i) {
            for (int j = 1; j <= 3; ++j) {
                // The clamp works on values rounded to double.
                ASSERT_GE(Swarm[i].X[j], static_cast<double>(Lo[j]));
                ASSERT_LE(Swarm[i].X[j], static_cast<double>(Hi[j]));
                ++checked;
            }
        }
    };
    PSOFit(0, Lo, Hi, host, Seeded(3u));
    EXPECT_EQ(checked, 40 * 30 * 3);
}

// Raising to Lo comes first, lowering to Hi second: with Lo > Hi everything ends at Hi.
TEST(PSOBox, InvertedBoxClampsEverythingToTheUpperBound)
{
    NoisyPoints();
    const TParamVector lo = Box(0.7L, 0.2L, 3.5e6L);
    const TParamVector hi = Box(0.6L, 0.1L, 2.5e6L);
    RecordingHost host;
    host.onSweep = [&] {
        for (int i = 1; i <= SwarmSize; ++i) {
            for (int j = 1; j <= 3; ++j)
                ASSERT_EQ(Swarm[i].X[j], static_cast<double>(hi[j]));
        }
    };
    PSOFit(1, lo, hi, host, Seeded(3u));
    // All in one place after the first sweep: no spread left, so each pass ends there.
    EXPECT_EQ(host.sweepPasses, (std::vector<int>{0, 1}));
}

TEST(PSOBest, SnapshotOfEachImprovement)
{
    NoisyPoints();
    SwarmSnapshot[31].BestFitness = -7.0L;
    RecordingHost host(25);
    long double last = NoValue;
    host.onProgress = [&] {
        EXPECT_LT(OverallBest, last);
        last = OverallBest;
        EXPECT_EQ(BestIndex, LeaderIndex);
        EXPECT_EQ(Improvements, static_cast<std::uint32_t>(host.progressCalls));
        for (int i = 1; i <= SwarmSize; ++i)
            ASSERT_EQ(SwarmSnapshot[i], Swarm[i]);
        EXPECT_EQ(SwarmSnapshot[BestIndex].BestFitness, OverallBest);
    };
    const PSOOutcome out = PSOFit(0, Lo, Hi, host, Seeded(7u));
    EXPECT_GT(out.Improvements, 0u);
    EXPECT_EQ(MeanRMSmK(SwarmSnapshot[BestIndex].P), OverallBest);
    EXPECT_EQ(SwarmSnapshot[31].BestFitness, -7.0L);  // only the swarm's own particles
}

TEST(PSOBest, TargetEndsTheFitInTheMiddleOfASweep)
{
    ExactPoints();
    RecordingHost host;
    const PSOOutcome out = PSOFit(3, Lo, Hi, host, Seeded(2u));
    EXPECT_TRUE(out.TargetReached);
    EXPECT_FALSE(out.Stopped);
    EXPECT_EQ(out.PassesRun, 1);
    EXPECT_LT(OverallBest, 0.005L);
    ASSERT_FALSE(host.calls.empty());
    EXPECT_EQ(host.calls.back(), "progress");
    const TParamVector &best = SwarmSnapshot[BestIndex].P;
    EXPECT_NEAR(best[1], 0.65L, 1e-3L);
}

// Everything the fit leaves behind, for comparing two runs.
struct FitState
{
    PSOOutcome outcome;
    long double best;
    int bestIndex;
    std::vector<TParticle> swarm;
    std::vector<TParticle> snapshot;
};

FitState RunFit(std::uint32_t seed, RecordingHost &host)
{
    FitState state;
    state.outcome = PSOFit(1, Lo, Hi, host, Seeded(seed));
    state.best = OverallBest;
    state.bestIndex = BestIndex;
    for (int i = 1; i <= SwarmSize; ++i) {
        state.swarm.push_back(Swarm[i]);
        state.snapshot.push_back(SwarmSnapshot[i]);
    }
    return state;
}

TEST(PSORepeat, SameSeedSameFit)
{
    NoisyPoints();
    RecordingHost firstHost(30);
    const FitState first = RunFit(42u, firstHost);
    RecordingHost secondHost(30);
    const FitState second = RunFit(42u, secondHost);
    EXPECT_EQ(first.outcome.Improvements, second.outcome.Improvements);
    EXPECT_EQ(first.best, second.best);
    EXPECT_EQ(first.bestIndex, second.bestIndex);
    EXPECT_EQ(first.swarm, second.swarm);
    EXPECT_EQ(first.snapshot, second.snapshot);

    RecordingHost otherHost(30);
    EXPECT_NE(RunFit(43u, otherHost).swarm, first.swarm);
}

// Flags that the host's own code leaves set are not the fit's faults.
TEST(PSORepeat, FlagsLeftByTheHostChangeNothing)
{
    NoisyPoints();
    RecordingHost quietHost(30);
    const FitState quiet = RunFit(9u, quietHost);
    RecordingHost noisyHost(30);
    const auto raise = [] { std::feraiseexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW); };
    noisyHost.onEvents = raise;
    noisyHost.onSweep = raise;
    noisyHost.onProgress = raise;
    const FitState noisy = RunFit(9u, noisyHost);
    EXPECT_EQ(noisy.best, quiet.best);
    EXPECT_EQ(noisy.swarm, quiet.swarm);
}

struct PSOFault
{
    const char *name;
    TParamVector lo;
    TParamVector hi;
    const char *text;
};

class PSOFaults : public testing::TestWithParam<PSOFault>
{
};

TEST_P(PSOFaults, EndTheFit)
{
    NoisyPoints();
    RecordingHost host(5);
    EXPECT_EQ(
        ErrorText([&] { PSOFit(0, GetParam().lo, GetParam().hi, host, Seeded(1u)); }),
        GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PSOFaults,
    testing::Values(
        // C / S + 1 < 0 at every placed particle: the fitness fails.
        PSOFault{"fitness_invalid", Box(0.6L, 0.0L, -2e6L), Box(0.7L, 0.2L, -1e6L), Invalid},
        // The width of the box itself overflows before any fitness is taken.
        PSOFault{"box_width_overflow", Box(-1e4932L, 0.0L, 2.5e6L), Box(1e4932L, 0.2L, 3.5e6L),
                 Overflow},
        // Positions beyond the range of double: the clamp's rounding overflows.
        PSOFault{"clamp_rounding_overflow", Box(0.6L, 1e400L, 2.5e6L),
                 Box(0.7L, 2e400L, 3.5e6L), Overflow}),
    CaseName);

struct DiversityCase
{
    const char *name;
    int particles;
    int dims;
    std::vector<std::array<long double, 3>> positions;
    long double expected;
};

class Diversity : public testing::TestWithParam<DiversityCase>
{
};

TEST_P(Diversity, MeanDistanceFromTheCentroidPerDimension)
{
    const DiversityCase &c = GetParam();
    static TSwarm swarm;
    swarm = TSwarm{};
    for (int i = 1; i <= c.particles; ++i) {
        for (int j = 1; j <= 3; ++j) {
            const auto &position = c.positions[static_cast<std::size_t>(i - 1)];
            swarm[i].X[j] = position[static_cast<std::size_t>(j - 1)];
            swarm[i].P[j] = 100.0L;  // best positions do not count
        }
    }
    swarm[c.particles + 1].X[1] = 1e6L;  // beyond SwarmSize: does not count
    SwarmSize = static_cast<std::uint16_t>(c.particles);
    NParams = c.dims;
    EXPECT_NEAR(SwarmDiversity(swarm), c.expected, 1e-18L);
}

INSTANTIATE_TEST_SUITE_P(
    Swarms, Diversity,
    testing::Values(
        DiversityCase{"two_apart", 2, 3, {{0, 0, 0}, {2, 0, 0}}, 1.0L / 3.0L},
        DiversityCase{"one_dimension", 2, 1, {{0, 5, 5}, {2, -5, 9}}, 1.0L},
        DiversityCase{"four_corners", 4, 2, {{0, 0, 0}, {6, 0, 0}, {0, 8, 0}, {6, 8, 0}},
                      2.5L},
        DiversityCase{"all_together", 3, 3, {{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}, 0.0L}),
    CaseName);

} // namespace
