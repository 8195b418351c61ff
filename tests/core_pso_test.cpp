// The particle swarm fitter: passes, the box, the host's calls, the best it shows and holds,
// reproducibility and faults; the moves of a pass, watched sweep by sweep.

#include "core/mt19937.h"
#include "core/pso.h"
#include "core/psopass.h"

#include "casename.h"
#include "core_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
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

    void ShowPSOProgress(const PSOBest &best) override
    {
        calls.push_back("progress");
        bests.push_back(best);
        onProgress(best);
    }
    void ShowSweep(const PSOSweep &sweep) override
    {
        calls.push_back("sweep");
        // Sweeps count from 1 within each pass.
        const bool samePass = !sweeps.empty() && sweeps.back().restartNo == sweep.restartNo;
        EXPECT_EQ(sweep.sweep, samePass ? sweeps.back().sweep + 1 : 1);
        EXPECT_EQ(sweep.improvements, bests.size());
        sweeps.push_back(sweep);
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
        return m_stopAfter > 0 && static_cast<int>(sweeps.size()) >= m_stopAfter;
    }

    std::vector<int> sweepPasses() const
    {
        std::vector<int> passes;
        for (const PSOSweep &sweep : sweeps)
            passes.push_back(sweep.restartNo);
        return passes;
    }

    std::vector<std::string> calls;
    std::vector<PSOBest> bests;
    std::vector<PSOSweep> sweeps;
    std::function<void(const PSOBest &)> onProgress = [](const PSOBest &) {};
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
ReferenceSet NoisyPoints()
{
    const std::array<long double, 4> temps = {500.0L, 900.0L, 1300.0L, 1700.0L};
    return PointsOf(Instrument(), temps, std::array<long double, 4>{0.05L, -0.05L, 0.0L, 0.03L});
}

// Three points on the instrument's curve: the swarm reaches the target within a pass.
ReferenceSet ExactPoints()
{
    const std::array<long double, 3> temps = {500.0L, 1000.0L, 1500.0L};
    return PointsOf(Instrument(), temps, std::array<long double, 3>{});
}

const TParamVector Lo = Box(0.6L, 0.0L, 2.5e6L);
const TParamVector Hi = Box(0.7L, 0.2L, 3.5e6L);

PSOProblem Problem(const ReferenceSet &reference, int restarts, const TParamVector &lo = Lo,
                   const TParamVector &hi = Hi)
{
    return PSOProblem{reference, restarts, lo, hi};
}

// Watches a pass of a fit sweep by sweep, with the state of the pass.
class SweepWatch final : public psopass::PassObserver
{
public:
    std::function<void(const psopass::PassState &, int)> onSweep;

    bool PassBestImproved(const psopass::PassState &, int) override { return false; }
    void SweepMoved(const psopass::PassState &state, int sweep) override
    {
        onSweep(state, sweep);
    }
    bool SweepEnded(const psopass::PassState &, int) override { return false; }
};

// The first pass of a fit of `problem` seeded with `seed`, run to its sweep `sweeps`.
std::unique_ptr<psopass::PassState> FirstPass(const PSOProblem &problem, std::uint32_t seed,
                                              int sweeps, SweepWatch &watch)
{
    const psopass::FitSetup setup = psopass::makeFitSetup(problem, 0);
    auto state = std::make_unique<psopass::PassState>();
    state->Generator.Seed(seed);
    psopass::StartPass(*state, setup);
    psopass::RunSweeps(*state, setup, watch, 1, sweeps);
    return state;
}

class PSOPasses : public testing::TestWithParam<int>
{
};

// A box of zero width: no spread, so each pass ends after its first sweep, and since every
// particle has the same fitness no evaluation is ever an improvement.
TEST_P(PSOPasses, ZeroWidthBoxRunsEveryPassOnce)
{
    const int restarts = GetParam();
    const TParamVector point = Instrument();
    RecordingHost host(1);  // would stop at once if the stop flag were read
    const PSOOutcome out =
        PSOFit(Problem(NoisyPoints(), restarts, point, point), host, Seeded(5u));
    const int passes = restarts < 0 ? 0 : restarts + 1;
    EXPECT_EQ(out.PassesRun, passes);
    std::vector<int> expected;
    for (int k = 0; k < passes; ++k)
        expected.push_back(k);
    EXPECT_EQ(host.sweepPasses(), expected);
    for (const PSOSweep &sweep : host.sweeps) {
        EXPECT_EQ(sweep.passes, passes);
        EXPECT_EQ(sweep.sweepsPerPass, 30000);
    }
    EXPECT_FALSE(out.Stopped);
    EXPECT_EQ(out.best.Improvements, 0u);
    EXPECT_TRUE(host.bests.empty());
    EXPECT_EQ(out.best.BestIndex, 1);
    EXPECT_EQ(out.best.OverallBest, NoValue);
    EXPECT_EQ(out.best.particle, TParticle{});
    for (const std::string &call : host.calls)
        EXPECT_NE(call, "stop?");
}

INSTANTIATE_TEST_SUITE_P(Restarts, PSOPasses, testing::Values(-1, 0, 1, 3));

// Stops at the end of the first sweep of the second pass.
class StopInSecondPass : public RecordingHost
{
public:
    bool StopRequested() override
    {
        RecordingHost::StopRequested();
        return sweeps.back().restartNo == 1;
    }
};

// A pass runs its 30000 sweeps, and the next pass begins after the last of them.
TEST(PSOPass, RunsThirtyThousandSweeps)
{
    StopInSecondPass host;
    const PSOOutcome out = PSOFit(Problem(NoisyPoints(), 4), host, Seeded(3u));
    EXPECT_TRUE(out.Stopped);
    EXPECT_EQ(out.PassesRun, 2);
    ASSERT_EQ(host.sweeps.size(), 30001u);
    const PSOSweep &lastOfFirst = host.sweeps[29999];
    EXPECT_EQ(lastOfFirst, (PSOSweep{0, 30000, 5, 30000, lastOfFirst.improvements}));
    EXPECT_EQ(host.sweeps.back(), (PSOSweep{1, 1, 5, 30000, out.best.Improvements}));
}

// A box of zero width at a triple that doubles hold exactly: a particle's moves keep it
// where it was placed, and every fitness of the pass equals every other. The first particle
// leads, and no tie counts as an improvement.
TEST(PSOTies, NeverReplaceABest)
{
    const TParamVector point = Box(0.625L, 0.125L, 3e6L);
    const PSOProblem problem = Problem(NoisyPoints(), 0, point, point);
    RecordingHost host(1);
    const PSOOutcome out = PSOFit(problem, host, Seeded(5u));
    EXPECT_EQ(out.PassesRun, 1);
    EXPECT_EQ(out.best.Improvements, 0u);
    EXPECT_TRUE(host.bests.empty());
    EXPECT_EQ(out.best.OverallBest, NoValue);

    SweepWatch watch;
    int sweeps = 0;
    watch.onSweep = [&](const psopass::PassState &state, int) {
        ++sweeps;
        EXPECT_EQ(state.LeaderIndex, 1);
        EXPECT_EQ(state.RestartBest, MeanRMSmK(point, problem.reference))
            << "every particle has the start's fitness";
    };
    FirstPass(problem, 5u, 1, watch);
    EXPECT_EQ(sweeps, 1);
}

TEST(PSOSweep, HostCallsInOrderAndStop)
{
    RecordingHost host(3);
    const PSOOutcome out = PSOFit(Problem(NoisyPoints(), 10), host, Seeded(11u));
    EXPECT_TRUE(out.Stopped);
    EXPECT_FALSE(out.TargetReached);
    EXPECT_EQ(out.PassesRun, 1);
    EXPECT_EQ(host.sweepPasses(), (std::vector<int>{0, 0, 0}));
    std::vector<std::string> perSweep;
    for (const std::string &call : host.calls) {
        if (call != "progress")
            perSweep.push_back(call);
    }
    const std::vector<std::string> expected = {"sweep", "events", "stop?", "events",
                                               "sweep", "events", "stop?", "events",
                                               "sweep", "events", "stop?"};
    EXPECT_EQ(perSweep, expected);
    EXPECT_EQ(host.bests.size(), out.best.Improvements);
}

// Particle 1's first move replayed from the generator: placement takes one draw per
// dimension of each of the 30 particles, then each dimension of a move draws r1 and then r2;
// the social pull is towards the leader's current position; the constriction factor of
// phi = 4.1 scales the whole sum; the result is rounded to double.
TEST(PSOSweep, FirstMoveFollowsTheDraws)
{
    const PSOProblem problem = Problem(NoisyPoints(), 0);
    const std::uint32_t seed = 77u;
    MTGenerator generator;
    generator.Seed(seed);
    std::array<TParamVector, 31> placed;
    int leader = 1;
    long double leaderFitness = NoValue;
    for (int i = 1; i <= 30; ++i) {
        for (int j = 1; j <= 3; ++j)
            placed[i][j] = Lo[j] + generator.RealPositive() * (Hi[j] - Lo[j]);
        const long double f = MeanRMSmK(placed[i], problem.reference);
        if (f < leaderFitness) {
            leaderFitness = f;
            leader = i;
        }
    }
    ASSERT_NE(leader, 1);
    const long double phi = 4.1L;
    const long double chi = 2.0L / std::fabs(2.0L - phi - std::sqrt(phi * phi - 4.0L * phi));
    EXPECT_NEAR(chi, 0.729843788128357L, 1e-15L);
    TParticle expected;
    for (int j = 1; j <= 3; ++j) {
        const long double r1 = 2.05L * generator.RealPositive();
        const long double r2 = 2.05L * generator.RealPositive();
        const long double x = placed[1][j];
        expected.V[j] = chi * (0.0L + r1 * (x - x) + r2 * (placed[leader][j] - x));
        expected.X[j] = static_cast<double>(x + expected.V[j]);
    }

    SweepWatch watch;
    int sweeps = 0;
    watch.onSweep = [&](const psopass::PassState &state, int) {
        ++sweeps;
        for (int j = 1; j <= 3; ++j) {
            EXPECT_EQ(state.Swarm[1].V[j], expected.V[j]) << "dimension " << j;
            EXPECT_EQ(state.Swarm[1].X[j], expected.X[j]) << "dimension " << j;
        }
    };
    FirstPass(problem, seed, 1, watch);
    EXPECT_EQ(sweeps, 1);
}

TEST(PSOBox, PositionsStayInside)
{
    SweepWatch watch;
    int checked = 0;
    watch.onSweep = [&](const psopass::PassState &state, int) {
        for (int i = 1; i <= 30; ++i) {
            for (int j = 1; j <= 3; ++j) {
                // The clamp works on values rounded to double.
                ASSERT_GE(state.Swarm[i].X[j], static_cast<double>(Lo[j]));
                ASSERT_LE(state.Swarm[i].X[j], static_cast<double>(Hi[j]));
                ++checked;
            }
        }
    };
    FirstPass(Problem(NoisyPoints(), 0), 3u, 40, watch);
    EXPECT_EQ(checked, 40 * 30 * 3);
}

// Raising to Lo comes first, lowering to Hi second: with Lo > Hi everything ends at Hi.
TEST(PSOBox, InvertedBoxClampsEverythingToTheUpperBound)
{
    const TParamVector lo = Box(0.7L, 0.2L, 3.5e6L);
    const TParamVector hi = Box(0.6L, 0.1L, 2.5e6L);
    const PSOProblem problem = Problem(NoisyPoints(), 1, lo, hi);
    SweepWatch watch;
    int sweeps = 0;
    watch.onSweep = [&](const psopass::PassState &state, int) {
        ++sweeps;
        for (int i = 1; i <= 30; ++i) {
            for (int j = 1; j <= 3; ++j)
                ASSERT_EQ(state.Swarm[i].X[j], static_cast<double>(hi[j]));
        }
    };
    FirstPass(problem, 3u, 1, watch);
    EXPECT_EQ(sweeps, 1);

    RecordingHost host;
    PSOFit(problem, host, Seeded(3u));
    // All in one place after the first sweep: no spread left, so each pass ends there.
    EXPECT_EQ(host.sweepPasses(), (std::vector<int>{0, 1}));
}

TEST(PSOBest, ShownAtEachImprovement)
{
    const PSOProblem problem = Problem(NoisyPoints(), 0);
    RecordingHost host(25);
    long double last = NoValue;
    host.onProgress = [&](const PSOBest &best) {
        EXPECT_LT(best.OverallBest, last);
        last = best.OverallBest;
        EXPECT_EQ(best.Improvements, host.bests.size());
        EXPECT_GE(best.BestIndex, 1);
        EXPECT_LE(best.BestIndex, 30);
        EXPECT_EQ(best.particle.BestFitness, best.OverallBest);
        EXPECT_EQ(MeanRMSmK(best.particle.P, problem.reference), best.OverallBest);
    };
    const PSOOutcome out = PSOFit(problem, host, Seeded(7u));
    EXPECT_GT(out.best.Improvements, 0u);
    ASSERT_FALSE(host.bests.empty());
    EXPECT_EQ(out.best, host.bests.back()) << "the fit holds the best it showed last";
    for (int j = 4; j <= MaxParams; ++j)
        EXPECT_EQ(out.best.particle.P[j], 0.0L) << "spare element " << j;
}

TEST(PSOBest, TargetEndsTheFitInTheMiddleOfASweep)
{
    RecordingHost host;
    const PSOOutcome out = PSOFit(Problem(ExactPoints(), 3), host, Seeded(2u));
    EXPECT_TRUE(out.TargetReached);
    EXPECT_FALSE(out.Stopped);
    EXPECT_EQ(out.PassesRun, 1);
    EXPECT_LT(out.best.OverallBest, 0.005L);
    ASSERT_FALSE(host.calls.empty());
    EXPECT_EQ(host.calls.back(), "progress");
    EXPECT_NEAR(out.best.particle.P[1], 0.65L, 1e-3L);
}

// Everything a fit shows and leaves, for comparing two runs.
struct FitRecord
{
    PSOOutcome outcome;
    std::vector<PSOBest> bests;
    std::vector<PSOSweep> sweeps;
};

FitRecord RunFit(const PSOProblem &problem, std::uint32_t seed, RecordingHost &host)
{
    FitRecord record;
    record.outcome = PSOFit(problem, host, Seeded(seed));
    record.bests = host.bests;
    record.sweeps = host.sweeps;
    return record;
}

TEST(PSORepeat, SameSeedSameFit)
{
    const PSOProblem problem = Problem(NoisyPoints(), 1);
    RecordingHost firstHost(30);
    const FitRecord first = RunFit(problem, 42u, firstHost);
    RecordingHost secondHost(30);
    const FitRecord second = RunFit(problem, 42u, secondHost);
    EXPECT_EQ(first.outcome.best, second.outcome.best);
    EXPECT_EQ(first.bests, second.bests);
    EXPECT_EQ(first.sweeps, second.sweeps);

    RecordingHost otherHost(30);
    EXPECT_NE(RunFit(problem, 43u, otherHost).outcome.best, first.outcome.best);
}

// Flags that the host's own code leaves set are not the fit's faults.
TEST(PSORepeat, FlagsLeftByTheHostChangeNothing)
{
    const PSOProblem problem = Problem(NoisyPoints(), 1);
    RecordingHost quietHost(30);
    const FitRecord quiet = RunFit(problem, 9u, quietHost);
    RecordingHost noisyHost(30);
    const auto raise = [] { std::feraiseexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW); };
    noisyHost.onEvents = raise;
    noisyHost.onSweep = raise;
    noisyHost.onProgress = [&](const PSOBest &) { raise(); };
    const FitRecord noisy = RunFit(problem, 9u, noisyHost);
    EXPECT_EQ(noisy.outcome.best, quiet.outcome.best);
    EXPECT_EQ(noisy.bests, quiet.bests);
}

// The fit works on its own copy of the problem: the caller's may change meanwhile.
TEST(PSORepeat, AProblemChangedDuringTheFitChangesNothing)
{
    const PSOProblem problem = Problem(NoisyPoints(), 1);
    RecordingHost quietHost(40);
    const FitRecord quiet = RunFit(problem, 21u, quietHost);

    PSOProblem changing = problem;
    RecordingHost changingHost(40);
    changingHost.onProgress = [&](const PSOBest &) {
        changing.reference.RefT[1] += 1.0L;
        changing.Lo[1] = changing.Hi[1];
        changing.NRestarts = 0;
    };
    PSOSettings settings = Seeded(21u);
    settings.Threads = 2;
    const PSOOutcome changed = PSOFit(changing, changingHost, settings);
    EXPECT_EQ(changed.best, quiet.outcome.best);
    EXPECT_EQ(changingHost.bests, quiet.bests);
    EXPECT_EQ(changingHost.sweeps, quiet.sweeps);
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
    RecordingHost host(5);
    const PSOProblem problem = Problem(NoisyPoints(), 0, GetParam().lo, GetParam().hi);
    EXPECT_EQ(ErrorText([&] { PSOFit(problem, host, Seeded(1u)); }), GetParam().text);
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
    const auto swarm = std::make_unique<TSwarm>();
    for (int i = 1; i <= c.particles; ++i) {
        for (int j = 1; j <= 3; ++j) {
            const auto &position = c.positions[static_cast<std::size_t>(i - 1)];
            (*swarm)[i].X[j] = position[static_cast<std::size_t>(j - 1)];
            (*swarm)[i].P[j] = 100.0L;  // best positions do not count
        }
    }
    (*swarm)[c.particles + 1].X[1] = 1e6L;  // beyond the swarm's size: does not count
    EXPECT_NEAR(SwarmDiversity(*swarm, c.particles, c.dims), c.expected, 1e-18L);
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
