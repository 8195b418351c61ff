#pragma once

// One pass of the particle swarm: placement, leader, and sweeps until the spread collapses or
// the sweeps run out. A pass works on a state of its own and reads only its fit's setup, so
// that passes can run on any thread; what it reports goes to an observer.

#include "core/global.h"
#include "core/mt19937.h"
#include "core/pso.h"

#include <cstdint>

namespace kelvora::psopass {

inline constexpr std::uint16_t ParticlesPerSwarm = 30;
inline constexpr int SweepsPerParticle = 1000;
inline constexpr int Dimensions = 3;
// mK: a fit reaching a best below this ends at once.
inline constexpr long double TargetRMS = 0.005L;

// The words a pass of `sweeps` sweeps draws, zero words not counted: one per dimension of
// every particle at placement, two per dimension of every particle in each sweep.
inline std::uint64_t NonzeroWordsPerPass(int sweeps)
{
    constexpr std::uint64_t perRound = ParticlesPerSwarm * Dimensions;
    return perRound + 2 * perRound * static_cast<std::uint64_t>(sweeps);
}

// What every pass of a fit reads and nothing changes: the fit's own copy of its problem, the
// constriction factor and the sweeps of a pass.
struct FitSetup
{
    PSOProblem problem;
    long double Chi = 0.0L;
    int MaxSweeps = 0;
};

// The setup of a fit of `problem`: Chi computed as the fit begins, MaxSweeps
// ParticlesPerSwarm × SweepsPerParticle unless `maxSweeps` is positive.
FitSetup makeFitSetup(const PSOProblem &problem, int maxSweeps);

// The working state of a pass: the swarm (its first ParticlesPerSwarm particles), the
// generator it draws from, the particle whose current position attracts the others and the
// best fitness of the pass.
struct PassState
{
    TSwarm Swarm;
    MTGenerator Generator;
    int LeaderIndex = 1;
    long double RestartBest = NoValue;
    long double D0 = 0.0L;  // spread at placement
};

class PassObserver
{
public:
    // The pass best has just improved, to state.RestartBest by particle state.LeaderIndex, in
    // `sweep`; true ends the pass there.
    virtual bool PassBestImproved(const PassState &state, int sweep) = 0;
    // Every particle of `sweep` has moved; the spread is taken next.
    virtual void SweepMoved(const PassState &state, int sweep) = 0;
    // `sweep` is over and the spread has not collapsed; true ends the pass.
    virtual bool SweepEnded(const PassState &state, int sweep) = 0;

protected:
    ~PassObserver() = default;
};

enum class PassEnd {
    Finished,  // the last sweep asked for is done
    Collapsed,  // the spread fell below 1e-38 of its start
    TargetReached,  // PassBestImproved ended it
    Stopped  // SweepEnded ended it
};

// Places the first ParticlesPerSwarm particles at random in the box, at rest, each its own
// best; chooses the leader and takes the starting spread D0.
void StartPass(PassState &state, const FitSetup &setup);

// Sweeps `first` to `last` of a started pass.
PassEnd RunSweeps(PassState &state, const FitSetup &setup, PassObserver &observer, int first,
                  int last);

} // namespace kelvora::psopass
