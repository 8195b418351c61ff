// Costs of the uncertainties: the propagation to a full signal list, and the Monte Carlo check
// of a 20-point record on one and two threads.

#include "calibration/run.h"
#include "core/montecarlo.h"
#include "core/uncertainty.h"
#include "samples/noisyrecord.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace kelvora;

struct Fitted
{
    TParamVector P;
    std::vector<UncertainPoint> points;
};

// The 20-point record's Levenberg-Marquardt fit, each point with u(T) = 20 mK.
Fitted fittedRecord()
{
    RunSettings settings;
    settings.LMOnly = true;
    RunHost host;
    const RunInput input = samples::noisyRecord(MaxPoints);
    const RunOutcome outcome = RunCalibration(input, settings, host);
    Fitted fitted;
    fitted.P = outcome.LM.Result;
    for (const auto &[S, T] : input.Points)
        fitted.points.push_back({S, T, 0.020L});
    return fitted;
}

// A signal list of 1000 signals across the reference range.
std::vector<long double> thousandSignals(const Fitted &fitted)
{
    const long double low = fitted.points.front().S;
    const long double high = fitted.points.back().S;
    std::vector<long double> signals;
    for (int k = 0; k < 1000; ++k)
        signals.push_back(low + (high - low) * k / 999);
    return signals;
}

// What the interpolation of a full signal list adds: the decomposition once, then u_ref, u_sig,
// u_c, U and u_fit at every signal.
void BM_UncertaintiesOf1000Signals(benchmark::State &state)
{
    const Fitted fitted = fittedRecord();
    const std::vector<long double> signals = thousandSignals(fitted);
    for (auto _ : state) {
        const UncertaintyPropagation propagation(fitted.P, fitted.points);
        for (const long double S : signals)
            benchmark::DoNotOptimize(propagation.at(S, 1e-4L));
    }
}
BENCHMARK(BM_UncertaintiesOf1000Signals)->Unit(benchmark::kMicrosecond);

// The default check: 10 000 refits of the 20 points, T at the 20 reference signals.
void BM_MonteCarlo10000Trials20Points(benchmark::State &state)
{
    const Fitted fitted = fittedRecord();
    MonteCarloProblem problem;
    problem.points = fitted.points;
    problem.fitted = fitted.P;
    for (const UncertainPoint &point : fitted.points)
        problem.signalValues.push_back(point.S);
    problem.threads = static_cast<int>(state.range(0));
    MonteCarloHost host;
    for (auto _ : state) {
        const MonteCarloOutcome outcome = RunMonteCarlo(problem, host);
        if (outcome.failed != 0)
            state.SkipWithError("a trial failed to fit");
    }
}
BENCHMARK(BM_MonteCarlo10000Trials20Points)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

} // namespace
