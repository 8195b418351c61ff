// Costs of the calibration run: the figure of merit, one particle swarm sweep against the 30
// evaluations it holds, and a whole default fit.

#include "calibration/run.h"
#include "core/pso.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

using namespace kelvora;

// A 20-point record of an instrument at 0.65 um (A = 0.65, B = 0.15, C = 3e6), 600 K to
// 2500 K, with reference temperatures off by -20, 0 or +20 mK, and its Saunders-White start.
RunInput benchRecord()
{
    TParamVector truth;
    truth[1] = 0.65L;
    truth[2] = 0.15L;
    truth[3] = 3e6L;
    RunInput input;
    NPoints = MaxPoints;
    for (int i = 1; i <= MaxPoints; ++i) {
        const long double t = 500.0L + 100.0L * i;
        const long double error = static_cast<long double>(i % 3 - 1) * 0.02L;
        input.Points.emplace_back(static_cast<double>(SHSignal(truth, t + error)),
                                  static_cast<double>(t));
        RefS[i] = input.Points.back().first;
        RefT[i] = input.Points.back().second;
    }
    long double A = 0.0L;
    long double B = 0.0L;
    long double C = 0.0L;
    SaundersWhiteGuess(0.65L, 0.01L, A, B, C);
    input.AS = static_cast<double>(A);
    input.BS = static_cast<double>(B);
    input.CS = static_cast<double>(C);
    return input;
}

// Fills the reference set with the bench record and returns its Levenberg-Marquardt
// result, the centre of the swarm's box.
TParamVector lmOnBenchRecord()
{
    RunSettings settings;
    settings.LMOnly = true;
    RunHost host;
    return RunCalibration(benchRecord(), settings, host).LM.Result;
}

void BM_MeanRMSmK20Points(benchmark::State &state)
{
    const TParamVector P = lmOnBenchRecord();
    for (auto _ : state)
        benchmark::DoNotOptimize(MeanRMSmK(P));
}
BENCHMARK(BM_MeanRMSmK20Points);

// Thirty evaluations at the swarm's places, the fitness work of one sweep.
void BM_Thirty20PointEvaluations(benchmark::State &state)
{
    const TParamVector P = lmOnBenchRecord();
    TParamVector Q = P;
    for (auto _ : state) {
        for (int k = 0; k < 30; ++k) {
            Q[1] = P[1] * (1.0L + 1e-4L * static_cast<long double>(k));
            benchmark::DoNotOptimize(MeanRMSmK(Q));
        }
    }
}
BENCHMARK(BM_Thirty20PointEvaluations);

// Stops the swarm after a fixed number of sweeps.
class SweepCounter : public PSOHost
{
public:
    explicit SweepCounter(int limit) : m_limit(limit) {}
    void ShowSweep(int, std::uint32_t) override { ++sweeps; }
    bool StopRequested() override { return sweeps >= m_limit; }
    int sweeps = 0;

private:
    int m_limit;
};

// One pass of `sweeps` sweeps (placement and seeding included, spread over them); the
// per-sweep counter is the cost of one sweep.
void BM_PSOSweep(benchmark::State &state)
{
    TParamVector lo;
    TParamVector hi;
    BuildSearchBox(lmOnBenchRecord(), 2.0L, lo, hi);
    const int limit = static_cast<int>(state.range(0));
    std::int64_t sweeps = 0;
    for (auto _ : state) {
        SweepCounter host(limit);
        PSOFit(0, lo, hi, host, 1u);
        sweeps += host.sweeps;
    }
    state.counters["sweep"] = benchmark::Counter(static_cast<double>(sweeps),
                                                 benchmark::Counter::kIsRate
                                                     | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PSOSweep)->Arg(500)->Unit(benchmark::kMillisecond);

// A whole default run: Levenberg-Marquardt and 11 swarm passes, range 2, fixed seed.
void BM_DefaultFit20Points(benchmark::State &state)
{
    const RunInput input = benchRecord();
    RunSettings settings;
    settings.Seed = 2024u;
    std::int64_t passes = 0;
    for (auto _ : state) {
        RunHost host;
        const RunOutcome outcome = RunCalibration(input, settings, host);
        passes += outcome.PSO ? outcome.PSO->PassesRun : 0;
    }
    state.counters["passes"] = benchmark::Counter(static_cast<double>(passes),
                                                  benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_DefaultFit20Points)->Unit(benchmark::kMillisecond);

} // namespace
