#include "core/psopass.h"

#include "core/fpe.h"
#include "core/shkernel.h"

#include <cmath>

namespace kelvora::psopass {

namespace {

using F = SteppedFp;

// Both the cognitive and the social coefficient.
constexpr long double AccelCoeff = 2.05L;
// A pass ends when the spread has fallen to this fraction of the spread at placement.
constexpr long double CollapseRatio = 1e-38L;

// The random numbers of one particle's move, drawn r1 then r2 for each dimension; each
// becomes a factor AccelCoeff × r.
struct MoveDraws
{
    double r1[Dimensions + 1];
    double r2[Dimensions + 1];
};

// Dimension j of particle p's move towards its own best and the current position of the
// leader (which may be p itself: its social term is then zero). The new velocity goes to v
// before the position is formed; the position is clamped on values rounded to double, raised
// to Lo first and then lowered to Hi, and the double goes to x. The velocity is not touched
// by the clamp.
template <typename Fp>
void MoveDimension(const TParticle &p, const TParticle &leader, const MoveDraws &r,
                   const TParamVector &Lo, const TParamVector &Hi, long double Chi, int j,
                   long double &v, double &x)
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

// Moves particle i and returns the fitness of its new position. The flags must be clear on
// entry; they are read once, at the end, and found clear again unless this throws.
long double MoveAndEvaluate(PassState &s, int i, const FitSetup &setup)
{
    const TParamVector &Lo = setup.problem.Lo;
    const TParamVector &Hi = setup.problem.Hi;
    const ReferenceSet &reference = setup.problem.reference;
    MoveDraws r;
    for (int j = 1; j <= Dimensions; ++j) {
        r.r1[j] = s.Generator.RealPositive();
        r.r2[j] = s.Generator.RealPositive();
    }
    TParticle &p = s.Swarm[i];
    const TParticle &leader = s.Swarm[s.LeaderIndex];
    long double v[Dimensions + 1];
    double x[Dimensions + 1];
    // The move reads its operands from memory after this fence and is stored only when the
    // flags show no fault.
    FpFenceMemory();
    for (int j = 1; j <= Dimensions; ++j)
        MoveDimension<FastFp>(p, leader, r, Lo, Hi, setup.Chi, j, v[j], x[j]);
    const long double f = FpFenced(shkernel::MeanRMS<FastFp>(reference, x[1], x[2], x[3]));
    if (FpFaultRaised()) {
        // Once more, storing as it goes and checking every step, to report the first fault.
        ClearFpFaults();
        for (int j = 1; j <= Dimensions; ++j) {
            MoveDimension<SteppedFp>(p, leader, r, Lo, Hi, setup.Chi, j, p.V[j], x[j]);
            p.X[j] = x[j];
        }
        return shkernel::MeanRMS<SteppedFp>(reference, p.X);
    }
    for (int j = 1; j <= Dimensions; ++j) {
        p.V[j] = v[j];
        p.X[j] = x[j];
    }
    return f;
}

// Takes the fitness f of particle i after its move; true when it is a new pass best.
// Comparisons are strict: a tie never replaces a best.
bool Improve(PassState &s, int i, long double f)
{
    TParticle &p = s.Swarm[i];
    if (f < p.BestFitness) {
        p.BestFitness = f;
        for (int j = 1; j <= Dimensions; ++j)
            p.P[j] = p.X[j];
    }
    if (!(f < s.RestartBest))
        return false;
    s.RestartBest = f;
    s.LeaderIndex = i;
    return true;
}

long double passDiversity(const TSwarm &swarm)
{
    return SwarmDiversity(swarm, ParticlesPerSwarm, Dimensions);
}

} // namespace

FitSetup makeFitSetup(const PSOProblem &problem, int maxSweeps)
{
    FitSetup setup{problem};
    ClearFpFaults();
    // Clerc-Kennedy constriction with phi = 4.1: 2 / |2 - phi - sqrt(phi^2 - 4 phi)|.
    setup.Chi = F::div(2.0L,
                       std::fabs(F::sub(-2.1L, F::sqrt(F::sub(F::mul(4.1L, 4.1L), 16.4L)))));
    setup.MaxSweeps = maxSweeps > 0 ? maxSweeps : ParticlesPerSwarm * SweepsPerParticle;
    return setup;
}

void StartPass(PassState &s, const FitSetup &setup)
{
    const TParamVector &Lo = setup.problem.Lo;
    const TParamVector &Hi = setup.problem.Hi;
    ClearFpFaults();
    for (int i = 1; i <= ParticlesPerSwarm; ++i) {
        TParticle &p = s.Swarm[i];
        for (int j = 1; j <= Dimensions; ++j) {
            const long double r = s.Generator.RealPositive();
            p.X[j] = F::add(Lo[j], F::mul(r, F::sub(Hi[j], Lo[j])));
            p.V[j] = 0.0L;
            p.P[j] = p.X[j];
        }
        p.BestFitness = MeanRMSmK(p.X, setup.problem.reference);
    }
    // Leader: the first particle with the lowest fitness, or 1 when none lies below NoValue.
    s.RestartBest = NoValue;
    s.LeaderIndex = 1;
    for (int i = 1; i <= ParticlesPerSwarm; ++i) {
        if (s.Swarm[i].BestFitness < s.RestartBest) {
            s.RestartBest = s.Swarm[i].BestFitness;
            s.LeaderIndex = i;
        }
    }
    s.D0 = passDiversity(s.Swarm);
}

PassEnd RunSweeps(PassState &s, const FitSetup &setup, PassObserver &observer, int first,
                  int last)
{
    for (int sweep = first; sweep <= last; ++sweep) {
        // The observer's calls of the last sweep may have left flags set.
        ClearFpFaults();
        for (int i = 1; i <= ParticlesPerSwarm; ++i) {
            const long double f = MoveAndEvaluate(s, i, setup);
            if (Improve(s, i, f) && observer.PassBestImproved(s, sweep))
                return PassEnd::TargetReached;
        }
        observer.SweepMoved(s, sweep);
        // A box of zero width has no spread to compare with: its pass ends after one sweep.
        const long double ratio = s.D0 == 0.0L ? 0.0L : F::div(passDiversity(s.Swarm), s.D0);
        if (ratio < CollapseRatio)
            return PassEnd::Collapsed;
        if (observer.SweepEnded(s, sweep))
            return PassEnd::Stopped;
    }
    return PassEnd::Finished;
}

} // namespace kelvora::psopass
