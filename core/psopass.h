#pragma once

// One pass of the particle swarm: placement, leader, and sweeps until the spread collapses or
// the sweeps run out. A pass works on a state it is given, so that it can run on the
// process-wide variables where the host sees it, or on storage of its own on another thread;
// what it reports goes to an observer.

#include "core/global.h"
#include "core/mt19937.h"
#include "core/pso.h"

#include <array>
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

// Where a pass keeps its working state.
struct PassState
{
    TSwarm &Swarm;
    MTGenerator &Generator;
    int &Leader;  // particle whose current position attracts the others
    long double &RestartBest;  // best fitness of the pass
    long double D0 = 0.0L;  // spread at placement
};

// The state of a pass on the process-wide variables: Swarm, the process's generator,
// LeaderIndex and RestartBest.
PassState ProcessPassState();

class PassObserver
{
public:
    // The pass best has just improved, to state.RestartBest by particle state.Leader, in
    // `sweep`; true ends the pass there.
    virtual bool PassBestImproved(const PassState &state, int sweep) = 0;
    // Every particle of `sweep` has moved; the spread is taken next.
    virtual void SweepMoved(int sweep) = 0;
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

// Places the first SwarmSize particles at random in the box, at rest, each its own best;
// chooses the leader and takes the starting spread D0.
void StartPass(PassState &state, const TParamVector &Lo, const TParamVector &Hi);

// Sweeps `first` to `last` of a started pass.
PassEnd RunSweeps(PassState &state, const TParamVector &Lo, const TParamVector &Hi,
                  PassObserver &observer, int first, int last);

// What a fit changes in its particles (the first ParticlesPerSwarm, SwarmSize during a fit):
// dimensions 1..3 of X, V and P, and BestFitness. The rest of every particle stays as it was
// when the fit began.
class SwarmCopy
{
public:
    void Take(const TSwarm &swarm);
    // Writes the particles of `swarm`: those of `base` (the swarm as the fit began)
    // with the copied values in place.
    void PutInto(TSwarm &swarm, const TSwarm &base) const;

private:
    struct Values
    {
        long double X[Dimensions];
        long double V[Dimensions];
        long double P[Dimensions];
        long double BestFitness;
    };
    std::array<Values, ParticlesPerSwarm> m_particles;
};

} // namespace kelvora::psopass
