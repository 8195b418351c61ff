#include "core/pso.h"

#include "core/fpe.h"
#include "core/mt19937.h"
#include "core/psobest.h"
#include "core/psoparallel.h"
#include "core/psopass.h"

#include <cmath>
#include <thread>

namespace kelvora {

namespace {

using F = SteppedFp;
using namespace psopass;

template <typename Fp>
long double Diversity(const TSwarm &S)
{
    const int d = NParams;
    const int n = SwarmSize;
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

// The passes one after another on this thread, on the process-wide state.
PSOOutcome RunPassesHere(long long lastPass, const TParamVector &Lo, const TParamVector &Hi,
                         FitBest &best)
{
    PSOOutcome out{0, 0, false, false};
    for (long long k = 0; k <= lastPass; ++k) {
        ++out.PassesRun;
        PassState state = ProcessPassState();
        StartPass(state, Lo, Hi);
        ShownPass shown(best, static_cast<int>(k));
        const PassEnd end = RunSweeps(state, Lo, Hi, shown, 1, MaxSweeps);
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

long double SwarmDiversity(const TSwarm &S)
{
    return FpGuarded([&] { return Diversity<FastFp>(S); },
                     [&] { return Diversity<SteppedFp>(S); });
}

int DefaultPSOThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

PSOOutcome PSOFit(int NRestarts, const TParamVector &Lo, const TParamVector &Hi,
                  PSOHost &host, const PSOSettings &settings)
{
    ClearFpFaults();
    BestIndex = 1;
    OverallBest = NoValue;
    Improvements = 0;
    const std::uint32_t seed = settings.Seed ? *settings.Seed : ClockSeed();
    MTSeed(seed);
    SwarmSize = ParticlesPerSwarm;
    MaxSweeps = settings.MaxSweeps > 0 ? settings.MaxSweeps : SwarmSize * SweepsPerParticle;
    // Clerc-Kennedy constriction with phi = 4.1: 2 / |2 - phi - sqrt(phi^2 - 4 phi)|.
    Chi = F::div(2.0L, std::fabs(F::sub(-2.1L, F::sqrt(F::sub(F::mul(4.1L, 4.1L), 16.4L)))));
    NParams = Dimensions;

    FitBest best(host);
    const long long lastPass = NRestarts;
    PSOOutcome out{0, 0, false, false};
    if (settings.Threads > 1 && lastPass >= 1) {
        if (const auto parallel = RunPassesSideBySide(lastPass, Lo, Hi, best, settings.Threads))
            out = *parallel;
        else
            out = RunPassesHere(lastPass, Lo, Hi, best);
    } else {
        out = RunPassesHere(lastPass, Lo, Hi, best);
    }
    out.Improvements = Improvements;
    out.Seed = seed;
    return out;
}

} // namespace kelvora
