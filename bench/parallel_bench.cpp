// The swarm's passes side by side against the same fit on one thread, in the same run: a
// default fit (11 passes) of the 20-point bench record with a fixed seed, timed on the
// calling thread one way and then the other in every iteration, so that both see the same
// load.
//
// BM_ThreadsAgainstOne/N: wall time on N threads over wall time on one ("ratio"), one pair
// of fits per repetition; the median of the repetitions is the figure.
// BM_ThreadsCounted/N: as if every thread had a core of its own, on any machine: the CPU
// time of the busiest worker thread in pass-times ("pass_times"), one pass-time being the
// CPU time of the fit on one thread over its 11 passes. With N cores the fit takes
// ceil(11 / N) pass-times at best, and the guesses and merging cost little on top.

#include "calibration/run.h"
#include "core/pso.h"
#include "samples/noisyrecord.h"

#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdint>

namespace {

using namespace kelvora;

constexpr int DefaultRestarts = 10;
constexpr std::uint32_t Seed = 2024u;

// The swarm's problem of a default run on the 20-point bench record: its points, and the box
// around its Levenberg-Marquardt result.
PSOProblem BenchProblem()
{
    RunSettings settings;
    settings.LMOnly = true;
    RunHost host;
    const RunOutcome outcome = RunCalibration(samples::noisyRecord(MaxPoints), settings, host);
    PSOProblem problem{outcome.reference, DefaultRestarts, {}, {}};
    BuildSearchBox(outcome.LM.Result, 2.0L, problem.Lo, problem.Hi);
    return problem;
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double WallSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct Timed
{
    PSOOutcome outcome;
    double wall;
    double cpu;  // of the calling thread
};

Timed Fit(const PSOProblem &problem, int threads)
{
    PSOHost host;
    PSOSettings settings;
    settings.Seed = Seed;
    settings.Threads = threads;
    const double wall = WallSeconds();
    const double cpu = ThreadCpuSeconds();
    Timed timed{PSOFit(problem, host, settings), 0.0, 0.0};
    timed.cpu = ThreadCpuSeconds() - cpu;
    timed.wall = WallSeconds() - wall;
    return timed;
}

void BM_ThreadsAgainstOne(benchmark::State &state)
{
    const PSOProblem problem = BenchProblem();
    const int threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const Timed single = Fit(problem, 1);
        const Timed parallel = Fit(problem, threads);
        if (!(parallel.outcome.best == single.outcome.best))
            state.SkipWithError("the fits differ");
        state.SetIterationTime(parallel.wall);
        state.counters["one_thread_s"] = single.wall;
        state.counters["ratio"] = parallel.wall / single.wall;
    }
}
BENCHMARK(BM_ThreadsAgainstOne)
    ->ArgName("threads")
    ->Arg(2)
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_ThreadsCounted(benchmark::State &state)
{
    const PSOProblem problem = BenchProblem();
    const int threads = static_cast<int>(state.range(0));
    double passTimes = 0.0;
    double wallPassTimes = 0.0;
    for (auto _ : state) {
        const Timed single = Fit(problem, 1);
        const double passTime = single.cpu / (DefaultRestarts + 1);
        const Timed parallel = Fit(problem, threads);
        passTimes += parallel.outcome.BusiestWorkerSeconds / passTime;
        wallPassTimes += parallel.wall / passTime;
        state.SetIterationTime(parallel.outcome.BusiestWorkerSeconds);
    }
    state.counters["pass_times"] =
        benchmark::Counter(passTimes, benchmark::Counter::kAvgIterations);
    // What the threads take on this machine's own cores.
    state.counters["wall_pass_times"] =
        benchmark::Counter(wallPassTimes, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ThreadsCounted)
    ->ArgName("threads")
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->Arg(6)
    ->Arg(8)
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

} // namespace
