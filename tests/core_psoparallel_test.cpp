// The swarm's passes side by side: for the same seed, the fit on several threads gives the
// fit on one thread in every result and every call of its host (from the calling thread, with
// the same values), however the fit ends. Passes are shortened so that the cases stay quick;
// the merging does not depend on their length.

#include "core/mt19937.h"
#include "core/pso.h"

#include "core_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace kelvora;
using namespace kelvora::test;

// The bytes of an extended value, as text.
std::string Bits(long double value)
{
    unsigned char bytes[10];
    std::memcpy(bytes, &value, sizeof bytes);
    std::string text;
    char hex[3];
    for (int k = 9; k >= 0; --k) {
        std::snprintf(hex, sizeof hex, "%02x", bytes[k]);
        text += hex;
    }
    return text;
}

std::string ParticleBits(const TParticle &p)
{
    std::string text;
    for (int j = 1; j <= MaxParams; ++j)
        text += Bits(p.X[j]) + Bits(p.V[j]) + Bits(p.P[j]);
    return text + Bits(p.BestFitness);
}

std::string BestBits(const PSOBest &best)
{
    return std::to_string(best.Improvements) + " " + std::to_string(best.BestIndex) + " "
           + Bits(best.OverallBest) + " " + ParticleBits(best.particle);
}

// Writes down every call of the fitter, with what the host can read at that moment; asks to
// stop after `stopAfter` sweeps (0: never).
class RecordingHost : public PSOHost
{
public:
    explicit RecordingHost(int stopAfter) : m_stopAfter(stopAfter) {}

    void ShowPSOProgress(const PSOBest &best) override
    {
        Called();
        calls.push_back("progress " + BestBits(best));
    }
    void ShowSweep(const PSOSweep &sweep) override
    {
        Called();
        calls.push_back("sweep " + std::to_string(sweep.restartNo) + " "
                        + std::to_string(sweep.sweep) + " " + std::to_string(sweep.passes) + " "
                        + std::to_string(sweep.sweepsPerPass) + " "
                        + std::to_string(sweep.improvements));
        ++sweeps;
        lastPass = sweep.restartNo;
        lastSweep = sweep.sweep;
    }
    void ProcessEvents() override
    {
        Called();
        calls.push_back("events");
    }
    bool StopRequested() override
    {
        Called();
        calls.push_back("stop?");
        return m_stopAfter > 0 && sweeps >= m_stopAfter;
    }

    std::vector<std::string> calls;
    int sweeps = 0;
    int lastPass = -1;
    int lastSweep = 0;
    bool calledFromAnotherThread = false;

private:
    void Called()
    {
        if (std::this_thread::get_id() != m_thread)
            calledFromAnotherThread = true;
    }

    int m_stopAfter;
    std::thread::id m_thread = std::this_thread::get_id();
};

// Everything a fit shows and leaves.
struct FitEnd
{
    PSOOutcome outcome{};
    std::string error;
    std::vector<std::string> calls;
    int lastPass = -1;  // the pass and sweep last shown
    int lastSweep = 0;
    bool calledFromAnotherThread = false;
};

struct ParallelCase
{
    const char *name;
    std::function<ReferenceSet()> points;
    TParamVector lo;
    TParamVector hi;
    std::uint32_t seed;
    int restarts;
    int maxSweeps;
    int stopAfter;  // sweeps; 0: no Stop
    // What the fit on one thread does, so that the case shows what it is meant to.
    std::function<void(const FitEnd &)> shows;
    // Every pass runs all its sweeps: no pass needs a second run from a corrected start.
    bool startsAllRight;
};

void PrintTo(const ParallelCase &c, std::ostream *os)
{
    *os << c.name;
}

FitEnd RunFit(const ParallelCase &c, int threads)
{
    RecordingHost host(c.stopAfter);
    PSOSettings settings;
    settings.Seed = c.seed;
    settings.Threads = threads;
    settings.MaxSweeps = c.maxSweeps;
    FitEnd end;
    try {
        end.outcome = PSOFit(PSOProblem{c.points(), c.restarts, c.lo, c.hi}, host, settings);
    } catch (const Error &e) {
        end.error = e.what();
    }
    end.calls = std::move(host.calls);
    end.lastPass = host.lastPass;
    end.lastSweep = host.lastSweep;
    end.calledFromAnotherThread = host.calledFromAnotherThread;
    return end;
}

// Where two records of calls first differ, with the calls there.
std::string FirstDifference(const std::vector<std::string> &one,
                            const std::vector<std::string> &several)
{
    std::size_t k = 0;
    while (k < one.size() && k < several.size() && one[k] == several[k])
        ++k;
    if (k == one.size() && k == several.size())
        return "";
    const auto at = [k](const std::vector<std::string> &calls) {
        return k < calls.size() ? calls[k] : std::string("(no call)");
    };
    return "call " + std::to_string(k) + ": one thread \"" + at(one) + "\", several \""
           + at(several) + "\"";
}

class PSOSideBySide : public testing::TestWithParam<std::tuple<ParallelCase, int>>
{
};

TEST_P(PSOSideBySide, SameFitAsOneThread)
{
    const ParallelCase &c = std::get<0>(GetParam());
    const int threads = std::get<1>(GetParam());
    const FitEnd one = RunFit(c, 1);
    c.shows(one);
    const FitEnd several = RunFit(c, threads);

    EXPECT_EQ(several.error, one.error);
    EXPECT_EQ(several.outcome.PassesRun, one.outcome.PassesRun);
    EXPECT_EQ(several.outcome.Stopped, one.outcome.Stopped);
    EXPECT_EQ(several.outcome.TargetReached, one.outcome.TargetReached);
    EXPECT_EQ(FirstDifference(one.calls, several.calls), "");
    EXPECT_FALSE(several.calledFromAnotherThread);
    EXPECT_EQ(BestBits(several.outcome.best), BestBits(one.outcome.best));
    if (c.startsAllRight) {
        EXPECT_EQ(several.outcome.PassesComputed, c.restarts + 1);
    }
}

// Four points off the instrument's curve by up to 50 mK: no triple comes near 0.005 mK.
ReferenceSet NoisyPoints()
{
    const std::array<long double, 4> temps = {500.0L, 900.0L, 1300.0L, 1700.0L};
    return PointsOf(Instrument(), temps, std::array<long double, 4>{0.05L, -0.05L, 0.0L, 0.03L});
}

// Three points on the instrument's curve: a pass of 480 sweeps reaches 0.005 mK or not,
// depending on where it starts.
ReferenceSet ExactPoints()
{
    const std::array<long double, 3> temps = {500.0L, 1000.0L, 1500.0L};
    return PointsOf(Instrument(), temps, std::array<long double, 3>{});
}

// n points from 600 K up in steps of 100 K, off the curve by -20, 0 or +20 mK.
ReferenceSet Points(int n)
{
    std::vector<long double> temps;
    std::vector<long double> deviations;
    for (int i = 1; i <= n; ++i) {
        temps.push_back(500.0L + 100.0L * i);
        deviations.push_back(static_cast<long double>(i % 3 - 1) * 0.02L);
    }
    return PointsOf(Triple(0.65L, 0.15L, 3e6L), temps, deviations);
}

const TParamVector Lo = Triple(0.6L, 0.0L, 2.5e6L);
const TParamVector Hi = Triple(0.7L, 0.2L, 3.5e6L);
// C down to -60000: a particle placed or clamped below minus a reference signal makes
// C / S + 1 negative, and its fitness an invalid operation.
const TParamVector FaultLo = Triple(0.6L, 0.0L, -6e4L);

// The pass in which the first zero word of the generator seeded with `seed` falls.
int PassOfFirstZeroWord(std::uint32_t seed, int maxSweeps)
{
    MTGenerator generator;
    generator.Seed(seed);
    const auto perPass = static_cast<long long>(90 + 180 * maxSweeps);
    for (long long word = 0; word < 16 * perPass; ++word) {
        if (generator.Next() == 0)
            return static_cast<int>(word / perPass);
    }
    return -1;
}

void AllPasses(const FitEnd &end, int passes)
{
    EXPECT_EQ(end.error, "");
    EXPECT_EQ(end.outcome.PassesRun, passes);
    EXPECT_FALSE(end.outcome.Stopped || end.outcome.TargetReached);
}

const ParallelCase Cases[] = {
    {"four_points_four_passes", NoisyPoints, Lo, Hi, 11u, 3, 300, 0,
     [](const FitEnd &e) { AllPasses(e, 4); }, true},
    {"twenty_points_three_passes", [] { return Points(20); }, Triple(0.4L, 0.05L, 1.5e6L),
     Triple(0.9L, 0.3L, 6e6L), 2024u, 2, 200, 0, [](const FitEnd &e) { AllPasses(e, 3); },
     true},
    {"seven_points_one_pass_each_thread", [] { return Points(7); }, Lo, Hi, 3u, 1, 400, 0,
     [](const FitEnd &e) { AllPasses(e, 2); }, true},
    // Pass 2 at its sweep 1234, part-way through a pass run ahead.
    {"stop_in_pass_2", [] { return Points(7); }, Lo, Hi, 5u, 4, 1500, 2 * 1500 + 1234,
     [](const FitEnd &e) {
         EXPECT_TRUE(e.outcome.Stopped);
         EXPECT_EQ(e.outcome.PassesRun, 3);
         EXPECT_EQ(e.lastSweep, 1234);
     },
     false},
    {"stop_after_the_first_sweep", NoisyPoints, Lo, Hi, 8u, 3, 300, 1,
     [](const FitEnd &e) {
         EXPECT_TRUE(e.outcome.Stopped);
         EXPECT_EQ(e.outcome.PassesRun, 1);
     },
     false},
    {"target_in_pass_2", ExactPoints, Lo, Hi, 1u, 5, 480, 0,
     [](const FitEnd &e) {
         EXPECT_TRUE(e.outcome.TargetReached);
         EXPECT_EQ(e.outcome.PassesRun, 3);
     },
     false},
    {"target_in_pass_5", ExactPoints, Lo, Hi, 5u, 7, 480, 0,
     [](const FitEnd &e) {
         EXPECT_TRUE(e.outcome.TargetReached);
         EXPECT_EQ(e.outcome.PassesRun, 6);
     },
     false},
    // A zero word is skipped by the draw; the passes after it still start where guessed.
    {"zero_word_in_pass_1", NoisyPoints, Lo, Hi, 1346497u, 4, 50, 0,
     [](const FitEnd &e) {
         EXPECT_EQ(PassOfFirstZeroWord(1346497u, 50), 1);
         AllPasses(e, 5);
     },
     true},
    {"zero_word_in_pass_3", NoisyPoints, Lo, Hi, 296854u, 4, 50, 0,
     [](const FitEnd &e) {
         EXPECT_EQ(PassOfFirstZeroWord(296854u, 50), 3);
         AllPasses(e, 5);
     },
     true},
    {"fault_placing_pass_3", NoisyPoints, FaultLo, Hi, 7u, 5, 50, 0,
     [](const FitEnd &e) {
         EXPECT_EQ(e.error, Invalid);
         EXPECT_EQ(e.lastPass, 2);
         EXPECT_EQ(e.lastSweep, 50);
     },
     false},
    {"fault_in_sweep_12_of_pass_3", NoisyPoints, FaultLo, Hi, 12u, 5, 50, 0,
     [](const FitEnd &e) {
         EXPECT_EQ(e.error, Invalid);
         EXPECT_EQ(e.lastPass, 3);
         EXPECT_EQ(e.lastSweep, 11);
     },
     false},
    // Every position clamped to Hi after the first sweep: each pass collapses there, and
    // every pass run ahead started from the wrong state.
    {"collapsing_passes", NoisyPoints, Hi, Lo, 3u, 4, 300, 0,
     [](const FitEnd &e) {
         AllPasses(e, 5);
         EXPECT_EQ(e.lastSweep, 1);
     },
     false},
};

INSTANTIATE_TEST_SUITE_P(Fits, PSOSideBySide,
                         testing::Combine(testing::ValuesIn(Cases), testing::Values(2, 3, 8)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name) + "_"
                                    + std::to_string(std::get<1>(info.param)) + "_threads";
                         });

} // namespace
