#include "core/pso.h"

#include "core/fpe.h"
#include "core/mt19937.h"
#include "core/psobest.h"
#include "core/psoparallel.h"
#include "core/psopass.h"

#include <memory>
#include <thread>

namespace kelvora {

namespace {

using namespace psopass;

template <typename Fp>
long double Diversity(const TSwarm &S, int n, int d)
{
    TParamVector centre;
    for (int j = 1; j <= d; ++j) {
        long double sum = 0.0L;
        for (int i = 1; i <= n; ++i)
            sum = Fp::add(sum, S[i].X[j]);
        centre[j] = Fp::div(sum, static_cast<long double>(n));
    }
    long double total = 0.0L;
    for (int i = 1; i <= n; ++i) {
        long double squares = 0.0L;
        for (int j = 1; j <= d; ++j) {
            const long double dx = Fp::sub(S[i].X[j], centre[j]);
            squares = Fp::add(squares, Fp::mul(dx, dx));
        }
        total = Fp::add(total, Fp::sqrt(squares));
    }
    return Fp::div(Fp::div(total, static_cast<long double>(d)), static_cast<long double>(n));
}

// The passes one after another on this thread, on one pass state that each placement renews.
PSOOutcome RunPassesHere(const FitSetup &setup, MTGenerator generator, FitBest &best)
{
    PSOOutcome out;
    const auto state = std::make_unique<PassState>();
    state->Generator = generator;
    for (long long k = 0; k <= setup.problem.NRestarts; ++k) {
        ++out.PassesRun;
        StartPass(*state, setup);
        ShownPass shown(best, static_cast<int>(k));
        const PassEnd end = RunSweeps(*state, setup, shown, 1, setup.MaxSweeps);
        if (end == PassEnd::TargetReached) {
            out.TargetReached = true;
            break;
        }
        if (end == PassEnd::Stopped) {
            out.Stopped = true;
            break;
        }
    }
    return out;
}

} // namespace

long double SwarmDiversity(const TSwarm &S, int SwarmSize, int NParams)
{
    return FpGuarded([&] { return Diversity<FastFp>(S, SwarmSize, NParams); },
                     [&] { return Diversity<SteppedFp>(S, SwarmSize, NParams); });
}

int DefaultPSOThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

PSOOutcome PSOFit(const PSOProblem &problem, PSOHost &host, const PSOSettings &settings)
{
    ClearFpFaults();
    const std::uint32_t seed = settings.Seed ? *settings.Seed : ClockSeed();
    MTGenerator generator;
    generator.Seed(seed);
    const FitSetup setup = makeFitSetup(problem, settings.MaxSweeps);

    FitBest best(host, setup);
    PSOOutcome out;
    std::optional<PSOOutcome> parallel;
    if (settings.Threads > 1 && setup.problem.NRestarts >= 1)
        parallel = RunPassesSideBySide(setup, generator, best, settings.Threads);
    out = parallel ? *parallel : RunPassesHere(setup, generator, best);
    out.best = best.best();
    out.Seed = seed;
    return out;
}

} // namespace kelvora
