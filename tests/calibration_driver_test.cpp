// The calibration run on small records: what it holds, what a failed Levenberg-Marquardt fit
// leaves, how the swarm stage reports, stops and repeats, and runs side by side.

#include "calibration/run.h"

#include "casename.h"
#include "core/lm.h"
#include "core/pso.h"
#include "fitline.h"
#include "samples/noisyrecord.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <thread>
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
    bool stop = false;
    int progressCalls = 0;
    PSOBest lastBest;
    PSOProgress lastProgress;
    PSOProblem swarmProblem;

    void LMFinished(const LMStage &) override { calls.push_back("LMFinished"); }
    void PSOStarting(const PSOProblem &problem) override
    {
        calls.push_back("PSOStarting");
        swarmProblem = problem;
    }
    void PSOFinished(const PSOStage &) override { calls.push_back("PSOFinished"); }
    void ShowPSOProgress(const PSOBest &best) override
    {
        ++progressCalls;
        lastBest = best;
        lastProgress = progressOf(best, swarmProblem.reference);
    }
    void ShowSweep(const PSOSweep &) override
    {
        if (++sweeps == stopAfterSweeps)
            stop = true;
    }
    bool StopRequested() override { return stop; }
};

// Two points for three parameters: the damping shrinks until the rank defect of the normal
// matrix shows as a negative radicand. Whether the last radicand falls below zero or stays
// just above it is a matter of rounding: the record is the first of a family of start values
// whose fit meets a negative radicand.
RunInput underdeterminedRecord()
{
    RunInput input;
    input.AS = 0.66;
    input.BS = 0.1;
    input.Points = {{0.5, 1420.0}, {11.4, 1774.0}};
    ReferenceSet reference;
    for (const auto &[s, t] : input.Points)
        reference.append(s, t);
    for (int k = 0; k < 40; ++k) {
        input.CS = 3e6 * (1.0 + 0.01 * k);
        LMProblem problem{reference, {}, 3, 200, 0.0L};
        problem.Params[1] = input.AS;
        problem.Params[2] = input.BS;
        problem.Params[3] = input.CS;
        try {
            if (LevMarFit(problem).Status == lmNotPositiveDefinite)
                return input;
        } catch (const FloatError &) {
            // A zero pivot instead: the next start.
        }
    }
    ADD_FAILURE() << "no start of the family meets a negative radicand";
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

TEST_P(RunFailedFit, HoldsNoResults)
{
    const FailureCase &c = GetParam();
    RunSettings settings;
    settings.MaxIter = c.maxIter;
    settings.Tol = c.tol;
    RecordingHost host;
    const RunInput input = c.record();
    const RunOutcome outcome = RunCalibration(input, settings, host);
    EXPECT_EQ(outcome.LM.Status, c.status);
    EXPECT_EQ(outcome.LM.Message, c.message);
    // The fitter's last accepted values.
    const LMOutcome fit =
        LevMarFit(LMProblem{outcome.reference, outcome.Initial, 3, c.maxIter, c.tol});
    EXPECT_EQ(outcome.LM.Result, fit.Params);
    EXPECT_EQ(outcome.LM.Iter, fit.Iter);
    EXPECT_TRUE(outcome.LM.Lines.empty());
    EXPECT_FALSE(outcome.PSO.has_value());
    EXPECT_FALSE(resultsOf(outcome).has_value());
    EXPECT_EQ(host.calls, std::vector<std::string>{"LMFinished"});
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

TEST(RunDriver, LevenbergMarquardtOnly)
{
    RunSettings settings;
    settings.LMOnly = true;
    const RunInput input = noisyRecord(6);
    RecordingHost host;
    const RunOutcome outcome = RunCalibration(input, settings, host);

    ASSERT_EQ(outcome.LM.Status, lmConverged);
    EXPECT_TRUE(outcome.LM.Message.empty());
    EXPECT_EQ(outcome.Initial[1], static_cast<long double>(input.AS));
    EXPECT_EQ(outcome.Initial[2], static_cast<long double>(input.BS));
    EXPECT_EQ(outcome.Initial[3], static_cast<long double>(input.CS));
    const ReferenceSet &reference = outcome.reference;
    EXPECT_EQ(reference.NPoints, 6);
    for (int j = 4; j <= MaxParams; ++j) {
        EXPECT_EQ(outcome.Initial[j], 0.0L) << "element " << j;
        EXPECT_EQ(outcome.LM.Result[j], 0.0L) << "element " << j;
    }
    EXPECT_NEAR(static_cast<double>(outcome.LM.Result[1]), 0.65, 1e-3);
    EXPECT_EQ(outcome.LM.MeanRMS, MeanRMSmK(outcome.LM.Result, reference));
    EXPECT_GT(outcome.LM.MeanRMS, 1.0L);
    EXPECT_LT(outcome.LM.MeanRMS, 20.0L);
    ASSERT_EQ(outcome.LM.Lines.size(), 6u);
    for (int i = 1; i <= 6; ++i) {
        const auto k = static_cast<std::size_t>(i - 1);
        const FitLine &line = outcome.LM.Lines[k];
        EXPECT_EQ(line.Index, i);
        EXPECT_EQ(reference.RefS[i], static_cast<long double>(input.Points[k].first));
        EXPECT_EQ(reference.RefT[i], static_cast<long double>(input.Points[k].second));
        EXPECT_EQ(line.T, SHTemperature(outcome.LM.Result, reference.RefS[i]));
        EXPECT_EQ(line.D, (line.T - reference.RefT[i]) * 1000.0L);
        const auto shown = test::readFitLine(line.Text, '.');
        ASSERT_TRUE(shown.has_value()) << line.Text;
        EXPECT_EQ(shown->index, i);
        EXPECT_NEAR(shown->T, static_cast<double>(line.T), 0.0005) << line.Text;
        EXPECT_NEAR(shown->d, static_cast<double>(line.D), 0.005) << line.Text;
    }
    EXPECT_FALSE(outcome.PSO.has_value());
    EXPECT_FALSE(resultsOf(outcome).has_value()) << "one fit alone is nothing to save";
    EXPECT_EQ(host.calls, std::vector<std::string>{"LMFinished"});
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
    RecordingHost host;
    const RunOutcome outcome = RunCalibration(noisyRecord(8), seeded(7, 1), host);

    ASSERT_TRUE(outcome.PSO.has_value());
    const PSOStage &pso = *outcome.PSO;
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"LMFinished", "PSOStarting", "PSOFinished"}));
    EXPECT_FALSE(pso.Stopped);
    EXPECT_EQ(pso.PassesRun, 2);
    ASSERT_GT(pso.Improvements, 0u);
    EXPECT_EQ(static_cast<int>(pso.Improvements), host.progressCalls);

    // The swarm fits the run's points in the box built around the Levenberg-Marquardt result
    // with the range 2.
    TParamVector lo;
    TParamVector hi;
    BuildSearchBox(outcome.LM.Result, 2.0L, lo, hi);
    EXPECT_EQ(outcome.Lo, lo);
    EXPECT_EQ(outcome.Hi, hi);
    EXPECT_EQ(host.swarmProblem.Lo, lo);
    EXPECT_EQ(host.swarmProblem.Hi, hi);
    EXPECT_EQ(host.swarmProblem.NRestarts, 1);
    EXPECT_EQ(host.swarmProblem.reference, outcome.reference);

    EXPECT_EQ(pso.Result, host.lastBest.particle.P);
    for (int j = 1; j <= 3; ++j) {
        EXPECT_GE(pso.Result[j], lo[j]) << "element " << j;
        EXPECT_LE(pso.Result[j], hi[j]) << "element " << j;
    }
    EXPECT_EQ(pso.MeanRMS, MeanRMSmK(pso.Result, outcome.reference));
    EXPECT_EQ(pso.MeanRMS, host.lastBest.OverallBest);
    // The swarm searches around a least-squares optimum: it cannot do much better.
    EXPECT_GT(pso.MeanRMS, outcome.LM.MeanRMS * 0.999L);
    ASSERT_EQ(pso.Lines.size(), 8u);
    for (int i = 1; i <= 8; ++i) {
        const FitLine &line = pso.Lines[static_cast<std::size_t>(i - 1)];
        EXPECT_EQ(line.T, SHTemperature(pso.Result, outcome.reference.RefS[i]));
    }

    // The last progress shown is the particle the run holds.
    EXPECT_EQ(host.lastProgress.Best, pso.Result);
    EXPECT_EQ(host.lastProgress.MeanRMS, pso.MeanRMS);
    ASSERT_EQ(host.lastProgress.Lines.size(), pso.Lines.size());
    for (std::size_t i = 0; i < pso.Lines.size(); ++i)
        EXPECT_EQ(host.lastProgress.Lines[i].Text, pso.Lines[i].Text);

    // What the window keeps and saves.
    const std::optional<RunResults> results = resultsOf(outcome);
    ASSERT_TRUE(results.has_value());
    EXPECT_EQ(results->reference, outcome.reference);
    EXPECT_EQ(results->LMResult, outcome.LM.Result);
    EXPECT_EQ(results->LMMeanRMS, outcome.LM.MeanRMS);
    EXPECT_EQ(results->PSOResult, pso.Result);
    EXPECT_EQ(results->PSOMeanRMS, pso.MeanRMS);
    EXPECT_FALSE(results->ResultsSaved);
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
        run.result = outcome.PSO->Result;
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
    EXPECT_EQ(outcome.PSO->MeanRMS, MeanRMSmK(outcome.PSO->Result, outcome.reference));
    EXPECT_EQ(host.calls.back(), "PSOFinished");
    EXPECT_TRUE(resultsOf(outcome).has_value()) << "a stopped swarm still holds its best";
}

// The Levenberg-Marquardt fit never looks at Stop: a Stop asked for during it is seen at the
// end of the swarm's first sweep.
TEST(RunDriver, StopDuringTheLevenbergMarquardtFitEndsTheSwarmAfterItsFirstSweep)
{
    class StopAtOnce : public RecordingHost
    {
    public:
        void LMFinished(const LMStage &stage) override
        {
            RecordingHost::LMFinished(stage);
            stop = true;
        }
    } host;
    const RunOutcome outcome = RunCalibration(noisyRecord(5), seeded(3, 10), host);
    ASSERT_EQ(outcome.LM.Status, lmConverged);
    ASSERT_TRUE(outcome.PSO.has_value());
    EXPECT_TRUE(outcome.PSO->Stopped);
    EXPECT_EQ(outcome.PSO->PassesRun, 1);
    EXPECT_EQ(host.sweeps, 1);
}

TEST(RunDriver, SwarmWithoutImprovementHoldsTheLevenbergMarquardtResult)
{
    // No pass at all.
    RecordingHost host;
    const RunOutcome outcome = RunCalibration(noisyRecord(7), seeded(5, -1), host);
    ASSERT_TRUE(outcome.PSO.has_value());
    EXPECT_EQ(outcome.PSO->PassesRun, 0);
    EXPECT_EQ(outcome.PSO->Improvements, 0u);
    EXPECT_EQ(outcome.PSO->Result, outcome.LM.Result);
    EXPECT_EQ(outcome.PSO->MeanRMS, outcome.LM.MeanRMS);
    ASSERT_EQ(outcome.PSO->Lines.size(), 7u);
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_EQ(outcome.PSO->Lines[i].T, outcome.LM.Lines[i].T) << "point " << i + 1;
    EXPECT_EQ(host.progressCalls, 0);
}

// A box whose lower bound lies above its upper bound has nowhere to place a particle: the run
// ends after the Levenberg-Marquardt stage with a message.
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
    RecordingHost host;
    try {
        RunCalibration(c.record(), settings, host);
        ADD_FAILURE() << "the run went on into an empty box";
    } catch (const Error &error) {
        EXPECT_STREQ(error.what(), EmptySearchBoxText);
    }
    EXPECT_EQ(host.calls, std::vector<std::string>{"LMFinished"});
    EXPECT_EQ(host.sweeps, 0);
}

INSTANTIATE_TEST_SUITE_P(Boxes, RunEmptySearchBox, ::testing::ValuesIn(EmptyBoxCases),
                         CaseName);

// ---- runs side by side ------------------------------------------------------------------

// The bytes of an extended value.
std::string Bits(long double value)
{
    return std::string(reinterpret_cast<const char *>(&value), 10);
}

// Everything a run gives, bit for bit.
std::string OutcomeBits(const RunOutcome &outcome)
{
    std::string bits = std::to_string(outcome.LM.Status) + " " + std::to_string(outcome.LM.Iter);
    const auto vector = [&bits](const TParamVector &P) {
        for (int j = 1; j <= MaxParams; ++j)
            bits += Bits(P[j]);
    };
    const auto lines = [&bits](const std::vector<FitLine> &fitted) {
        for (const FitLine &line : fitted)
            bits += Bits(line.T) + Bits(line.D) + line.Text;
    };
    vector(outcome.LM.Result);
    bits += Bits(outcome.LM.MeanRMS);
    lines(outcome.LM.Lines);
    if (outcome.PSO) {
        const PSOStage &pso = *outcome.PSO;
        bits += std::to_string(pso.PassesRun) + " " + std::to_string(pso.Improvements);
        vector(pso.Result);
        bits += Bits(pso.MeanRMS);
        lines(pso.Lines);
    }
    return bits;
}

struct SideBySideRecord
{
    int points;
    std::uint32_t seed;
    int restarts;
    int swarmThreads;  // the swarm's own passes side by side
};

const SideBySideRecord SideBySideRecords[] = {
    {3, 11u, 0, 1}, {5, 12u, 1, 2}, {4, 13u, 0, 1}, {6, 14u, 0, 1},
};

RunOutcome runRecord(const SideBySideRecord &record)
{
    RunSettings settings = seeded(record.seed, record.restarts);
    settings.Threads = record.swarmThreads;
    RunHost host;
    return RunCalibration(noisyRecord(record.points), settings, host);
}

class RunsSideBySide : public ::testing::TestWithParam<int>
{
protected:
    static constexpr std::size_t Count = std::size(SideBySideRecords);

    // Each record's run alone, once for every number of threads.
    static void SetUpTestSuite()
    {
        for (std::size_t k = 0; k < Count; ++k)
            alone[k] = OutcomeBits(runRecord(SideBySideRecords[k]));
    }

    static inline std::array<std::string, Count> alone;
};

// Runs of a table of records at once, each on a thread of its own: every run gives, bit for
// bit, what it gives alone.
TEST_P(RunsSideBySide, EachAsAlone)
{
    const int threads = GetParam();
    std::vector<std::string> together(static_cast<std::size_t>(threads));
    std::vector<std::thread> runs;
    for (int t = 0; t < threads; ++t) {
        runs.emplace_back([&together, t] {
            const auto k = static_cast<std::size_t>(t);
            together[k] = OutcomeBits(runRecord(SideBySideRecords[k % Count]));
        });
    }
    for (std::thread &run : runs)
        run.join();
    for (std::size_t k = 0; k < together.size(); ++k)
        EXPECT_TRUE(together[k] == alone[k % Count]) << "run " << k;
}

INSTANTIATE_TEST_SUITE_P(Threads, RunsSideBySide, ::testing::Values(2, 4, 8));

} // namespace
} // namespace kelvora
