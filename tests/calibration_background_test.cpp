// A calibration run on a thread of its own: the same numbers as a run on the caller's
// thread, the latest progress for a display, Stop, errors carried back.

#include "calibration/backgroundrun.h"

#include "core/errors.h"
#include "core/lm.h"
#include "core/pso.h"
#include "samples/noisyrecord.h"

#include <gtest/gtest.h>

#include <atomic>

namespace kelvora {
namespace {

using samples::noisyRecord;

RunSettings seeded(std::uint32_t seed, int restarts)
{
    RunSettings settings;
    settings.Seed = seed;
    settings.NRestarts = restarts;
    return settings;
}

struct SameRunCase
{
    const char *name;
    int points;
    std::uint32_t seed;
    int restarts;
};

void PrintTo(const SameRunCase &c, std::ostream *out)
{
    *out << c.name;
}

class BackgroundRunMatches : public ::testing::TestWithParam<SameRunCase>
{
};

TEST_P(BackgroundRunMatches, TheRunOnTheCallersThread)
{
    const SameRunCase &c = GetParam();
    RunHost here;
    const RunOutcome expected = RunCalibration(noisyRecord(c.points), seeded(c.seed, c.restarts),
                                               here);
    ASSERT_TRUE(expected.PSO.has_value());

    std::atomic<int> finishedCalls = 0;
    RunSettings withComma = seeded(c.seed, c.restarts);
    withComma.DecimalSeparator = ',';
    BackgroundRun run(noisyRecord(c.points), withComma, [&] { ++finishedCalls; });
    const RunOutcome outcome = run.result();
    EXPECT_EQ(finishedCalls, 1);

    EXPECT_EQ(outcome.LM.Status, expected.LM.Status);
    EXPECT_EQ(outcome.LM.Iter, expected.LM.Iter);
    EXPECT_EQ(outcome.LM.Result, expected.LM.Result);
    EXPECT_EQ(outcome.LM.MeanRMS, expected.LM.MeanRMS);
    ASSERT_TRUE(outcome.PSO.has_value());
    EXPECT_EQ(outcome.PSO->Result, expected.PSO->Result);
    EXPECT_EQ(outcome.PSO->MeanRMS, expected.PSO->MeanRMS);
    EXPECT_EQ(outcome.PSO->Improvements, expected.PSO->Improvements);
    EXPECT_EQ(outcome.PSO->PassesRun, c.restarts + 1);

    // What a display finds at the end is the run's last word, in the display's numbers.
    const RunView view = run.progress().latest();
    EXPECT_EQ(view.stage, RunView::Stage::ParticleSwarm);
    ASSERT_TRUE(view.lm.has_value());
    EXPECT_EQ(view.lm->Result, outcome.LM.Result);
    ASSERT_TRUE(view.best.has_value());
    EXPECT_EQ(view.best->Best, outcome.PSO->Result);
    EXPECT_EQ(view.best->MeanRMS, outcome.PSO->MeanRMS);
    EXPECT_EQ(view.bestCount, static_cast<int>(outcome.PSO->Improvements));
    EXPECT_EQ(view.improvements, outcome.PSO->Improvements);
    EXPECT_EQ(view.restartNo, c.restarts);
    EXPECT_EQ(view.passes, c.restarts + 1);
    EXPECT_EQ(view.sweepsPerPass, 30000);
    EXPECT_GE(view.sweep, 1);
    ASSERT_EQ(view.best->Lines.size(), static_cast<std::size_t>(c.points));
    EXPECT_NE(view.best->Lines.front().Text.find(','), std::string::npos)
        << view.best->Lines.front().Text;
    EXPECT_EQ(view.best->Lines.front().Text, outcome.PSO->Lines.front().Text);
}

INSTANTIATE_TEST_SUITE_P(Records, BackgroundRunMatches,
                         ::testing::Values(SameRunCase{"ThreePointsTwoPasses", 3, 5, 1},
                                           SameRunCase{"SixPointsOnePass", 6, 9, 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(BackgroundRun, StopEndsTheSwarmInItsFirstPass)
{
    BackgroundRun run(noisyRecord(5), seeded(3, 10));
    // Asked at once, while the run is starting or fitting by Levenberg-Marquardt, which never
    // looks at it, or at the latest early in the first pass of the swarm.
    run.progress().requestStop();
    const RunOutcome outcome = run.result();
    ASSERT_EQ(outcome.LM.Status, lmConverged);
    ASSERT_TRUE(outcome.PSO.has_value());
    EXPECT_TRUE(outcome.PSO->Stopped);
    EXPECT_EQ(outcome.PSO->PassesRun, 1);
    const RunView view = run.progress().latest();
    EXPECT_EQ(view.restartNo, 0);
    EXPECT_LT(view.sweep, 30000);
    EXPECT_TRUE(run.progress().stopWasRequested());
}

TEST(BackgroundRun, LevenbergMarquardtFailureEndsTheRunWithItsMessage)
{
    RunSettings settings = seeded(1, 10);
    settings.MaxIter = 1;
    BackgroundRun run(noisyRecord(5), settings);
    const RunOutcome outcome = run.result();
    EXPECT_EQ(outcome.LM.Status, lmIterationLimit);
    EXPECT_FALSE(outcome.PSO.has_value());
    const RunView view = run.progress().latest();
    ASSERT_TRUE(view.lm.has_value());
    EXPECT_EQ(view.lm->Message, outcome.LM.Message);
    EXPECT_EQ(view.stage, RunView::Stage::LevenbergMarquardt);
    EXPECT_FALSE(view.best.has_value());
}

TEST(BackgroundRun, ErrorOfTheRunIsRethrownToTheCaller)
{
    // With A = 0 every fitted temperature is NoValue, and its square overflows.
    RunInput input = noisyRecord(4);
    input.AS = 0.0;
    std::atomic<int> finishedCalls = 0;
    BackgroundRun run(input, seeded(1, 0), [&] { ++finishedCalls; });
    EXPECT_THROW(run.result(), FloatError);
    EXPECT_EQ(finishedCalls, 1);
}

TEST(BackgroundRun, EndingItStopsTheSwarm)
{
    RunView last;
    BackgroundRun *running = nullptr;
    {
        // The run only ends when asked to, after `running` is set.
        BackgroundRun run(noisyRecord(6), seeded(2, 1000), [&] {
            last = running->progress().latest();
        });
        running = &run;
        while (run.progress().latest().restartNo < 0)
            std::this_thread::yield();
    }
    // A thousand passes would have run for hours: the run ended in its first pass.
    EXPECT_EQ(last.restartNo, 0);
    EXPECT_LT(last.sweep, 30000);
}

} // namespace
} // namespace kelvora
