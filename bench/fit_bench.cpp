// Costs of the calibration run: the figure of merit, one particle swarm sweep against the 30
// evaluations it holds, and a whole default fit.

#include "calibration/run.h"
#include "core/pso.h"
#include "samples/noisyrecord.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

using namespace kelvora;

// The record of every benchmark: 20 points, 600 K to 2500 K.
RunInput benchRecord()
{
    return samples::noisyRecord(MaxPoints);
}

// The bench record's Levenberg-Marquardt fit: its reference set, and its result, the
// centre of the swarm's box.
RunOutcome lmOnBenchRecord()
{
    RunSettings settings;
    settings.LMOnly = true;
    RunHost host;
    return RunCalibration(benchRecord(), settings, host);
}

void BM_MeanRMSmK20Points(benchmark::State &state)
{
    const RunOutcome fit = lmOnBenchRecord();
    const TParamVector P = fit.LM.Result;
    for (auto _ : state)
        benchmark::DoNotOptimize(MeanRMSmK(P, fit.reference));
}
BENCHMARK(BM_MeanRMSmK20Points);

// Thirty evaluations at the swarm's places, the fitness work of one sweep.
void BM_Thirty20PointEvaluations(benchmark::State &state)
{
    const RunOutcome fit = lmOnBenchRecord();
    const TParamVector P = fit.LM.Result;
    TParamVector Q = P;
    for (auto _ : state) {
        for (int k = 0; k < 30; ++k) {
            Q[1] = P[1] * (1.0L + 1e-4L * static_cast<long double>(k));
            benchmark::DoNotOptimize(MeanRMSmK(Q, fit.reference));
        }
    }
}
BENCHMARK(BM_Thirty20PointEvaluations);

// Stops the swarm after a fixed number of sweeps.
class SweepCounter : public PSOHost
{
public:
    explicit SweepCounter(int limit) : m_limit(limit) {}
    void ShowSweep(const PSOSweep &) override { ++sweeps; }
    bool StopRequested() override { return sweeps >= m_limit; }
    int sweeps = 0;

private:
    int m_limit;
};

// One pass of `sweeps` sweeps (placement and seeding included, spread over them); the
// per-sweep counter is the cost of one sweep.
void BM_PSOSweep(benchmark::State &state)
{
    const RunOutcome fit = lmOnBenchRecord();
    PSOProblem problem{fit.reference, 0, {}, {}};
    BuildSearchBox(fit.LM.Result, 2.0L, problem.Lo, problem.Hi);
    const int limit = static_cast<int>(state.range(0));
    std::int64_t sweeps = 0;
    for (auto _ : state) {
        SweepCounter host(limit);
        PSOFit(problem, host, PSOSettings{.Seed = 1u});
        sweeps += host.sweeps;
    }
    state.counters["sweep"] = benchmark::Counter(static_cast<double>(sweeps),
                                                 benchmark::Counter::kIsRate
                                                     | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PSOSweep)->Arg(500)->Unit(benchmark::kMillisecond);

// A whole default run on `threads` threads: Levenberg-Marquardt and 11 swarm passes, range 2,
// fixed seed. With as many threads as cores it is the run a user gets.
void BM_DefaultFit20Points(benchmark::State &state)
{
    const RunInput input = benchRecord();
    RunSettings settings;
    settings.Seed = 2024u;
    settings.Threads = static_cast<int>(state.range(0));
    std::int64_t passes = 0;
    for (auto _ : state) {
        RunHost host;
        const RunOutcome outcome = RunCalibration(input, settings, host);
        passes += outcome.PSO ? outcome.PSO->PassesRun : 0;
    }
    state.counters["passes"] = benchmark::Counter(static_cast<double>(passes),
                                                  benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_DefaultFit20Points)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
