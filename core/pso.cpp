#include "core/pso.h"

#include "core/fpe.h"
#include "core/mt19937.h"
#include "core/shkernel.h"

#include <cmath>

namespace kelvora {

namespace {

using F = SteppedFp;

constexpr std::uint16_t ParticlesPerSwarm = 30;
constexpr int SweepsPerParticle = 1000;
constexpr int Dimensions = 3;
// Both the cognitive and the social coefficient.
constexpr long double AccelCoeff = 2.05L;
// A pass ends when the spread has fallen to this fraction of the spread at placement.
constexpr long double CollapseRatio = 1e-38L;
// mK: a fit reaching a best below this ends at once.
constexpr long double TargetRMS = 0.005L;

enum class PassEnd { Finished, TargetReached, Stopped };

// The random numbers of one particle's move, drawn r1 then r2 for each dimension; each
// becomes a factor AccelCoeff × r.
struct MoveDraws
{
    double r1[Dimensions + 1];
    double r2[Dimensions + 1];
};

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

// Dimension j of particle p's move towards its own best and the current position of the
// leader (which may be p itself: its social term is then zero). The new velocity goes to v
// before the position is formed; the position is clamped on values rounded to double, raised
// to Lo first and then lowered to Hi, and the double goes to x. The velocity is not touched
// by the clamp.
template <typename Fp>
void MoveDimension(const TParticle &p, const TParticle &leader, const MoveDraws &r,
                   const TParamVector &Lo, const TParamVector &Hi, int j, long double &v,
                   double &x)
{
    const long double x0 = p.X[j];
    const long double r1 = AccelCoeff * r.r1[j];
    const long double r2 = AccelCoeff * r.r2[j];
    long double sum = Fp::add(p.V[j], Fp::mul(r1, Fp::sub(p.P[j], x0)));
    sum = Fp::add(sum, Fp::mul(r2, Fp::sub(leader.X[j], x0)));
    v = Fp::mul(Chi, sum);
    double moved = Fp::toDouble(Fp::add(x0, v));
    const double lo = Fp::toDouble(Lo[j]);
    if (moved < lo)
        moved = lo;
    const double hi = Fp::toDouble(Hi[j]);
    if (moved > hi)
        moved = hi;
    x = moved;
}

// Moves particle p and returns the fitness of its new position. The flags must be clear on
// entry; they are read once, at the end, and found clear again unless this throws.
long double MoveAndEvaluate(TParticle &p, const TParamVector &Lo, const TParamVector &Hi)
{
    MoveDraws r;
    for (int j = 1; j <= Dimensions; ++j) {
        r.r1[j] = MTRealPositive();
        r.r2[j] = MTRealPositive();
    }
    const TParticle &leader = Swarm[LeaderIndex];
    long double v[Dimensions + 1];
    double x[Dimensions + 1];
    // The move reads its operands from memory after this fence and is stored only when the
    // flags show no fault.
    FpFenceMemory();
    for (int j = 1; j <= Dimensions; ++j)
        MoveDimension<FastFp>(p, leader, r, Lo, Hi, j, v[j], x[j]);
    const long double f = FpFenced(shkernel::MeanRMS<FastFp>(x[1], x[2], x[3]));
    if (FpFaultRaised()) {
        // Once more, storing as it goes and checking every step, to report the first fault.
        ClearFpFaults();
        for (int j = 1; j <= Dimensions; ++j) {
            MoveDimension<SteppedFp>(p, leader, r, Lo, Hi, j, p.V[j], x[j]);
            p.X[j] = x[j];
        }
        return shkernel::MeanRMS<SteppedFp>(p.X);
    }
    for (int j = 1; j <= Dimensions; ++j) {
        p.V[j] = v[j];
        p.X[j] = x[j];
    }
    return f;
}

// Places the first SwarmSize particles at random in the box, at rest, each its own best.
void Place(const TParamVector &Lo, const TParamVector &Hi)
{
    ClearFpFaults();
    for (int i = 1; i <= SwarmSize; ++i) {
        TParticle &p = Swarm[i];
        for (int j = 1; j <= Dimensions; ++j) {
            const long double r = MTRealPositive();
            p.X[j] = F::add(Lo[j], F::mul(r, F::sub(Hi[j], Lo[j])));
            p.V[j] = 0.0L;
            p.P[j] = p.X[j];
        }
        p.BestFitness = MeanRMSmK(p.X);
    }
}

// Leader: the first particle with the lowest fitness, or 1 when none lies below NoValue.
void ChooseLeader()
{
    RestartBest = NoValue;
    LeaderIndex = 1;
    for (int i = 1; i <= SwarmSize; ++i) {
        if (Swarm[i].BestFitness < RestartBest) {
            RestartBest = Swarm[i].BestFitness;
            LeaderIndex = i;
        }
    }
}

// Takes the fitness f of particle i after its move; returns true when the fit has reached
// its target. Comparisons are strict: a tie never replaces a best.
bool Evaluate(int i, long double f, PSOHost &host)
{
    TParticle &p = Swarm[i];
    if (f < p.BestFitness) {
        p.BestFitness = f;
        for (int j = 1; j <= Dimensions; ++j)
            p.P[j] = p.X[j];
    }
    if (!(f < RestartBest))
        return false;
    RestartBest = f;
    LeaderIndex = i;
    if (!(RestartBest < OverallBest))
        return false;
    OverallBest = RestartBest;
    for (int k = 1; k <= SwarmSize; ++k)
        SwarmSnapshot[k] = Swarm[k];
    ++Improvements;
    BestIndex = LeaderIndex;
    host.ShowPSOProgress();
    ClearFpFaults();
    return OverallBest < TargetRMS;
}

PassEnd RunPass(int k, const TParamVector &Lo, const TParamVector &Hi, PSOHost &host)
{
    Place(Lo, Hi);
    ChooseLeader();
    const long double D0 = SwarmDiversity(Swarm);
    for (int sweep = 1; sweep <= MaxSweeps; ++sweep) {
        // The host's calls of the last sweep may have left flags set.
        ClearFpFaults();
        for (int i = 1; i <= SwarmSize; ++i) {
            const long double f = MoveAndEvaluate(Swarm[i], Lo, Hi);
            if (Evaluate(i, f, host))
                return PassEnd::TargetReached;
        }
        host.ShowSweep(k, sweep, Improvements);
        host.ProcessEvents();
        // A box of zero width has no spread to compare with: its pass ends after one sweep.
        const long double ratio = D0 == 0.0L ? 0.0L : F::div(SwarmDiversity(Swarm), D0);
        if (ratio < CollapseRatio)
            return PassEnd::Finished;
        if (host.StopRequested())
            return PassEnd::Stopped;
        host.ProcessEvents();
    }
    return PassEnd::Finished;
}

} // namespace

long double SwarmDiversity(const TSwarm &S)
{
    return FpGuarded([&] { return Diversity<FastFp>(S); },
                     [&] { return Diversity<SteppedFp>(S); });
}

PSOOutcome PSOFit(int NRestarts, const TParamVector &Lo, const TParamVector &Hi,
                  PSOHost &host, std::optional<std::uint32_t> seed)
{
    ClearFpFaults();
    BestIndex = 1;
    OverallBest = NoValue;
    Improvements = 0;
    if (seed)
        MTSeed(*seed);
    else
        MTSeedFromClock();
    SwarmSize = ParticlesPerSwarm;
    MaxSweeps = SwarmSize * SweepsPerParticle;
    // Clerc-Kennedy constriction with phi = 4.1: 2 / |2 - phi - sqrt(phi^2 - 4 phi)|.
    Chi = F::div(2.0L, std::fabs(F::sub(-2.1L, F::sqrt(F::sub(F::mul(4.1L, 4.1L), 16.4L)))));
    NParams = Dimensions;

    PSOOutcome out{0, 0, false, false};
    for (long long k = 0; k <= NRestarts; ++k) {
        ++out.PassesRun;
        const PassEnd end = RunPass(static_cast<int>(k), Lo, Hi, host);
        if (end == PassEnd::TargetReached) {
            out.TargetReached = true;
            break;
        }
        if (end == PassEnd::Stopped) {
            out.Stopped = true;
            break;
        }
    }
    out.Improvements = Improvements;
    return out;
}

} // namespace kelvora
