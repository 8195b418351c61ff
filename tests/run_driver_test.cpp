// The calibration run on small records: what it holds, what it leaves alone after a failed
// Levenberg-Marquardt fit, how the swarm stage reports, stops and repeats.

#include "calibration/run.h"

#include "core/lm.h"
#include "core/pso.h"
#include "casename.h"
#include "fitline.h"
#include "samples/noisyrecord.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace kelvora {
namespace {

using samples::noisyRecord;
using testcase::CaseName;
using testcase::PrintTo;

// Records what the run shows, and asks to stop after a given number of sweeps.
class RecordingHost : public RunHost
{
public:
    std::vector<std::string> calls;
    int sweeps = 0;
    int stopAfterSweeps = -1;
    int progressCalls = 0;
    PSOProgress lastProgress;
    TParamVector startingLo;
    TParamVector startingHi;

    void LMFinished(const LMStage &) override { calls.push_back("LMFinished"); }
    void PSOStarting(const TParamVector &lo, const TParamVector &hi) override
    {
        calls.push_back("PSOStarting");
        startingLo = lo;
        startingHi = hi;
    }
    void PSOFinished(const PSOStage &) override { calls.push_back("PSOFinished"); }
    void ShowPSOProgress() override
    {
        ++progressCalls;
        lastProgress = CurrentPSOProgress();
    }
    void ShowSweep(int, int, std::uint32_t) override
    {
        if (++sweeps == stopAfterSweeps)
            kelvora::StopRequested = true;
    }
};

TParamVector filled(long double value)
{
    TParamVector v;
    v.fill(value);
    return v;
}

// Gives every held result a value no run produces.
void markHeldResults()
{
    LMResult = filled(-7.0L);
    PSOResult = filled(-8.0L);
    LMMeanRMS = -9.0L;
    PSOMeanRMS = -10.0L;
    RefTLM.fill(-11.0L);
    RefTPSO.fill(-12.0L);
}

void expectHeldResultsMarked()
{
    EXPECT_EQ(LMResult, filled(-7.0L));
    EXPECT_EQ(PSOResult, filled(-8.0L));
    EXPECT_EQ(LMMeanRMS, -9.0L);
    EXPECT_EQ(PSOMeanRMS, -10.0L);
    TPointArray lm;
    lm.fill(-11.0L);
    TPointArray pso;
    pso.fill(-12.0L);
    EXPECT_EQ(RefTLM, lm);
    EXPECT_EQ(RefTPSO, pso);
}

// Two points for three parameters: the damping shrinks until the rank defect of the normal
// matrix shows as a negative radicand.
RunInput underdeterminedRecord()
{
    RunInput input;
    input.AS = 0.66;
    input.BS = 0.1;
    input.CS = 3e6;
    input.Points = {{0.5, 1420.0}, {11.4, 1774.0}};
    return input;
}

// A = 1e-296: the absolute difference step 1e-9 dwarfs it, and every trial step overshoots.
RunInput tinyARecord()
{
    RunInput input;
    input.AS = 1e-296;
    input.BS = 0.1;
    input.CS = 3e6;
    input.Points = {{1.8064078356321747e-13, 4.8750000000000004e+298},
                    {0.00073365228424381588, 9.7500000000000009e+298},
                    {1.1723002785658114, 1.4625e+299},
                    {46.875174825585113, 1.9500000000000002e+299}};
    return input;
}

struct FailureCase
{
    const char *name;
    RunInput (*record)();
    int maxIter;
    long double tol;
    int status;
    const char *message;
};

const char *const NotConverged =
    "Levenberg-Marquardt: Convergence was not achieved\rPlease check your data";

const FailureCase FailureCases[] = {
    {"NotPositiveDefinite", underdeterminedRecord, 200, 0.0L, lmNotPositiveDefinite,
     "Levenberg-Marquardt: Matrix cannot be inverted\rPlease check your data"},
    {"NoDescent", tinyARecord, 50, 1e-9L, lmNoDescent, NotConverged},
    // One iteration can only end in the iteration limit.
    {"IterationLimit", [] { return noisyRecord(5); }, 1, 1e-9L, lmIterationLimit, NotConverged},
};

class RunFailedFit : public ::testing::TestWithParam<FailureCase>
{
};

TEST_P(RunFailedFit, KeepsTheHeldResults)
{
    const FailureCase &c = GetParam();
    RunSettings settings;
    settings.MaxIter = c.maxIter;
    settings.Tol = c.tol;
    markHeldResults();
    ResultsSaved = true;
    RecordingHost host;
    const RunOutcome outcome = RunCalibration(c.record(), settings, host);
    EXPECT_EQ(outcome.LM.Status, c.status);
    EXPECT_EQ(outcome.LM.Message, c.message);
    EXPECT_EQ(outcome.LM.Result, Params);
    EXPECT_TRUE(outcome.LM.Lines.empty());
    EXPECT_FALSE(outcome.PSO.has_value());
    EXPECT_FALSE(ResultsSaved);
    EXPECT_EQ(host.calls, std::vector<std::string>{"LMFinished"});
    expectHeldResultsMarked();
}

INSTANTIATE_TEST_SUITE_P(Status, RunFailedFit, ::testing::ValuesIn(FailureCases),
                         CaseName);

TEST(RunDriver, RecordOutsideOneToTwentyPointsIsARangeError)
{
    const RunInput full = noisyRecord(20);
    for (const std::size_t count : {std::size_t{0}, std::size_t{21}}) {
        RunInput input = full;
        input.Points.resize(count, full.Points.front());
        RecordingHost host;
        EXPECT_THROW(RunCalibration(input, RunSettings{}, host), RangeError)
            << count << " points";
        EXPECT_TRUE(host.calls.empty());
    }
}

TEST(RunDriver, FloatingPointFaultOfTheFitPropagates)
{
    // With A = 0 every fitted temperature is NoValue, and its square overflows.
    RunInput input = noisyRecord(4);
    input.AS = 0.0;
    RecordingHost host;
    EXPECT_THROW(RunCalibration(input, RunSettings{}, host), FloatError);
}

TEST(RunDriver, LevenbergMarquardtOnlyHoldsItsResult)
{
    RunSettings settings;
    settings.LMOnly = true;
    markHeldResults();
    Params = filled(3.0L); // spare elements of a previous user must not leak in
    const RunInput input = noisyRecord(6);
    RecordingHost host;
    const RunOutcome outcome = RunCalibration(input, settings, host);

    ASSERT_EQ(outcome.LM.Status, lmConverged);
    EXPECT_TRUE(outcome.LM.Message.empty());
    EXPECT_EQ(outcome.Initial[1], static_cast<long double>(input.AS));
    EXPECT_EQ(outcome.Initial[2], static_cast<long double>(input.BS));
    EXPECT_EQ(outcome.Initial[3], static_cast<long double>(input.CS));
    EXPECT_EQ(NParams, 3);
    EXPECT_EQ(NPoints, 6);
    EXPECT_EQ(LMResult, outcome.LM.Result);
    EXPECT_EQ(LMResult, Params);
    for (int j = 4; j <= MaxParams; ++j) {
        EXPECT_EQ(outcome.Initial[j], 0.0L) << "element " << j;
        EXPECT_EQ(LMResult[j], 0.0L) << "element " << j;
    }
    EXPECT_NEAR(static_cast<double>(LMResult[1]), 0.65, 1e-3);
    EXPECT_EQ(LMMeanRMS, MeanRMSmK(LMResult));
    EXPECT_EQ(outcome.LM.MeanRMS, LMMeanRMS);
    EXPECT_GT(LMMeanRMS, 1.0L);
    EXPECT_LT(LMMeanRMS, 20.0L);
    ASSERT_EQ(outcome.LM.Lines.size(), 6u);
    for (int i = 1; i <= 6; ++i) {
        const auto k = static_cast<std::size_t>(i - 1);
        const FitLine &line = outcome.LM.Lines[k];
        EXPECT_EQ(line.Index, i);
        EXPECT_EQ(line.T, SHTemperature(LMResult, RefS[i]));
        EXPECT_EQ(RefTLM[i], line.T);
        EXPECT_EQ(RefS[i], static_cast<long double>(input.Points[k].first));
        EXPECT_EQ(line.D, (line.T - RefT[i]) * 1000.0L);
        const auto shown = test::readFitLine(line.Text, '.');
        ASSERT_TRUE(shown.has_value()) << line.Text;
        EXPECT_EQ(shown->index, i);
        EXPECT_NEAR(shown->T, static_cast<double>(line.T), 0.0005) << line.Text;
        EXPECT_NEAR(shown->d, static_cast<double>(line.D), 0.005) << line.Text;
    }
    EXPECT_FALSE(outcome.PSO.has_value());
    EXPECT_EQ(host.calls, std::vector<std::string>{"LMFinished"});
    EXPECT_EQ(PSOResult, filled(-8.0L));
    EXPECT_EQ(PSOMeanRMS, -10.0L);
}

RunSettings seeded(std::uint32_t seed, int restarts)
{
    RunSettings settings;
    settings.Seed = seed;
    settings.NRestarts = restarts;
    return settings;
}

TEST(RunDriver, SwarmStageHoldsTheBestParticle)
{
    ResultsSaved = true;
    RecordingHost host;
    const RunOutcome outcome = RunCalibration(noisyRecord(8), seeded(7, 1), host);

    ASSERT_TRUE(outcome.PSO.has_value());
    const PSOStage &pso = *outcome.PSO;
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"LMFinished", "PSOStarting", "PSOFinished"}));
    EXPECT_FALSE(ResultsSaved);
    EXPECT_FALSE(pso.Stopped);
    EXPECT_EQ(pso.PassesRun, 2);
    ASSERT_GT(pso.Improvements, 0u);
    EXPECT_EQ(static_cast<int>(pso.Improvements), host.progressCalls);

    // The box is built around the Levenberg-Marquardt result with the range 2.
    TParamVector lo;
    TParamVector hi;
    BuildSearchBox(LMResult, 2.0L, lo, hi);
    EXPECT_EQ(outcome.Lo, lo);
    EXPECT_EQ(outcome.Hi, hi);
    EXPECT_EQ(host.startingLo, lo);
    EXPECT_EQ(host.startingHi, hi);

    EXPECT_EQ(PSOResult, SwarmSnapshot[BestIndex].P);
    EXPECT_EQ(pso.Result, PSOResult);
    for (int j = 1; j <= 3; ++j) {
        EXPECT_GE(PSOResult[j], lo[j]) << "element " << j;
        EXPECT_LE(PSOResult[j], hi[j]) << "element " << j;
    }
    EXPECT_EQ(PSOMeanRMS, MeanRMSmK(PSOResult));
    EXPECT_EQ(PSOMeanRMS, OverallBest);
    EXPECT_EQ(pso.MeanRMS, PSOMeanRMS);
    // The swarm searches around a least-squares optimum: it cannot do much better.
    EXPECT_GT(PSOMeanRMS, LMMeanRMS * 0.999L);
    ASSERT_EQ(pso.Lines.size(), 8u);
    for (int i = 1; i <= 8; ++i) {
        const FitLine &line = pso.Lines[static_cast<std::size_t>(i - 1)];
        EXPECT_EQ(line.T, SHTemperature(PSOResult, RefS[i]));
        EXPECT_EQ(RefTPSO[i], line.T);
        EXPECT_EQ(RefTLM[i], outcome.LM.Lines[static_cast<std::size_t>(i - 1)].T);
    }

    // The last progress shown is the particle the run holds.
    EXPECT_EQ(host.lastProgress.Best, PSOResult);
    EXPECT_EQ(host.lastProgress.MeanRMS, PSOMeanRMS);
    ASSERT_EQ(host.lastProgress.Lines.size(), pso.Lines.size());
    for (std::size_t i = 0; i < pso.Lines.size(); ++i)
        EXPECT_EQ(host.lastProgress.Lines[i].Text, pso.Lines[i].Text);
}

TEST(RunDriver, FixedSeedRepeatsTheSwarmFit)
{
    struct Run
    {
        std::uint32_t seed;
        TParamVector result;
        std::uint32_t improvements;
    };
    std::array<Run, 3> runs{{{11, {}, 0}, {11, {}, 0}, {12, {}, 0}}};
    for (Run &run : runs) {
        RecordingHost host;
        const RunOutcome outcome = RunCalibration(noisyRecord(5), seeded(run.seed, 0), host);
        ASSERT_TRUE(outcome.PSO.has_value());
        run.result = PSOResult;
        run.improvements = outcome.PSO->Improvements;
    }
    EXPECT_EQ(runs[0].result, runs[1].result);
    EXPECT_EQ(runs[0].improvements, runs[1].improvements);
    EXPECT_NE(runs[0].result, runs[2].result);
}

// The swarm reports the seed it ran with: the one given, or the one drawn from the clock,
// with which the same fit is found again.
TEST(RunDriver, SeedOfTheSwarmIsReportedAndRepeatsItsFit)
{
    RecordingHost host;
    const RunOutcome given = RunCalibration(noisyRecord(5), seeded(4294967295u, 0), host);
    ASSERT_TRUE(given.PSO.has_value());
    EXPECT_EQ(given.PSO->Seed, 4294967295u);

    RunSettings fromClock;
    fromClock.NRestarts = 0;
    const RunOutcome drawn = RunCalibration(noisyRecord(5), fromClock, host);
    ASSERT_TRUE(drawn.PSO.has_value());
    const RunOutcome again =
        RunCalibration(noisyRecord(5), seeded(drawn.PSO->Seed, 0), host);
    ASSERT_TRUE(again.PSO.has_value());
    EXPECT_EQ(again.PSO->Seed, drawn.PSO->Seed);
    EXPECT_EQ(again.PSO->Result, drawn.PSO->Result);
    EXPECT_EQ(again.PSO->Improvements, drawn.PSO->Improvements);
}

TEST(RunDriver, StopEndsTheSwarmAfterItsSweep)
{
    RecordingHost host;
    host.stopAfterSweeps = 3;
    const RunOutcome outcome = RunCalibration(noisyRecord(5), seeded(3, 10), host);
    ASSERT_TRUE(outcome.PSO.has_value());
    EXPECT_TRUE(outcome.PSO->Stopped);
    EXPECT_EQ(outcome.PSO->PassesRun, 1);
    EXPECT_EQ(host.sweeps, 3);
    EXPECT_EQ(PSOMeanRMS, MeanRMSmK(PSOResult));
    EXPECT_EQ(host.calls.back(), "PSOFinished");
}

TEST(RunDriver, StopOfAnEarlierRunIsCleared)
{
    StopRequested = true;
    RecordingHost host;
    const RunOutcome outcome = RunCalibration(noisyRecord(5), seeded(3, 0), host);
    ASSERT_TRUE(outcome.PSO.has_value());
    EXPECT_FALSE(outcome.PSO->Stopped);
    EXPECT_FALSE(StopRequested);
    EXPECT_GT(host.sweeps, 1);
}

TEST(RunDriver, SwarmWithoutImprovementHoldsTheLevenbergMarquardtResult)
{
    // No pass at all: the snapshot still holds the particle of the previous fit.
    RecordingHost earlier;
    RunCalibration(noisyRecord(5), seeded(5, 0), earlier);
    const TParamVector previous = SwarmSnapshot[BestIndex].P;

    RecordingHost host;
    const RunOutcome outcome = RunCalibration(noisyRecord(7), seeded(5, -1), host);
    ASSERT_TRUE(outcome.PSO.has_value());
    EXPECT_EQ(outcome.PSO->PassesRun, 0);
    EXPECT_EQ(outcome.PSO->Improvements, 0u);
    EXPECT_NE(PSOResult, previous);
    EXPECT_EQ(PSOResult, LMResult);
    EXPECT_EQ(PSOMeanRMS, LMMeanRMS);
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(RefTPSO[i], RefTLM[i]) << "point " << i;
    EXPECT_EQ(host.progressCalls, 0);
}

// A box whose lower bound lies above its upper bound has nowhere to place a particle: the run
// ends after the Levenberg-Marquardt stage with a message, holding only that stage's result.
struct EmptyBoxCase
{
    const char *name;
    RunInput (*record)();
    long double range;
};

const EmptyBoxCase EmptyBoxCases[] = {
    // An instrument whose signals fall below zero: the fitted C is negative.
    {"NegativeC",
     [] {
         RunInput input = noisyRecord(5);
         input.CS = -input.CS;
         for (auto &point : input.Points)
             point.first = -point.first;
         return input;
     },
     2.0L},
    {"RangeBelowOne", [] { return noisyRecord(5); }, 0.5L},
};

class RunEmptySearchBox : public ::testing::TestWithParam<EmptyBoxCase>
{
};

TEST_P(RunEmptySearchBox, IsRefusedAfterTheLevenbergMarquardtStage)
{
    const EmptyBoxCase &c = GetParam();
    RunSettings settings = seeded(1, 0);
    settings.SearchRange = c.range;
    markHeldResults();
    RecordingHost host;
    try {
        RunCalibration(c.record(), settings, host);
        ADD_FAILURE() << "the run went on into an empty box";
    } catch (const Error &error) {
        EXPECT_STREQ(error.what(), EmptySearchBoxText);
    }
    EXPECT_EQ(host.calls, std::vector<std::string>{"LMFinished"});
    EXPECT_EQ(host.sweeps, 0);
    EXPECT_EQ(LMResult, Params);
    EXPECT_EQ(PSOResult, filled(-8.0L));
}

INSTANTIATE_TEST_SUITE_P(Boxes, RunEmptySearchBox, ::testing::ValuesIn(EmptyBoxCases),
                         CaseName);

} // namespace
} // namespace kelvora
