#pragma once

#include "core/global.h"

#include <cstdint>
#include <optional>

namespace kelvora {

// One particle of the swarm.
struct TParticle
{
    TParamVector X;  // current position
    TParamVector V;  // current velocity
    TParamVector P;  // best position reached in the current pass
    long double BestFitness = 0.0L;  // fitness of P, mK

    bool operator==(const TParticle &) const = default;
};

inline constexpr int MaxParticles = 1000;
using TSwarm = IndexedArray<TParticle, MaxParticles>;

// The state of the last fit, kept after it so that the caller can read the result: element
// 1..3 of SwarmSnapshot[BestIndex].P with fitness OverallBest.
inline TSwarm Swarm;
inline TSwarm SwarmSnapshot;  // copy of the swarm taken at each new overall best
inline std::uint16_t SwarmSize = 0;
inline int MaxSweeps = 0;
inline long double Chi = 0.0L;
inline int LeaderIndex = 1;  // particle whose current position attracts the others
inline long double RestartBest = NoValue;  // best fitness of the current pass
inline long double OverallBest = NoValue;  // best fitness of the whole fit
inline int BestIndex = 1;
inline std::uint32_t Improvements = 0;  // times OverallBest improved during the fit

// What the window running a fit supplies; a fit without a window uses these defaults.
class PSOHost
{
public:
    virtual ~PSOHost() = default;
    // After each new overall best.
    virtual void ShowPSOProgress() {}
    // After each sweep: the pass number, the sweep within the pass (from 1) and the
    // improvements so far.
    virtual void ShowSweep(int /*restartNo*/, int /*sweep*/, std::uint32_t /*improvements*/) {}
    // Lets pending user-interface events run; twice per sweep.
    virtual void ProcessEvents() {}
    // Read once per sweep: true ends the fit.
    virtual bool StopRequested() { return false; }
};

struct PSOOutcome
{
    int PassesRun;  // passes begun
    std::uint32_t Improvements;
    bool Stopped;  // the host asked to stop
    bool TargetReached;  // OverallBest fell below 0.005 mK
    // The seed the generator was seeded with: the settings' seed, or the one drawn from the
    // clock, with which the fit can be repeated.
    std::uint32_t Seed = 0;
    // The work of a fit on several threads, for measuring it (zero on one thread): passes
    // run on the worker threads, each run counted (a pass run again from a corrected start,
    // or dropped when the fit ended before it, included), and the CPU time of the busiest
    // worker.
    int PassesComputed = 0;
    double BusiestWorkerSeconds = 0.0;
};

struct PSOSettings
{
    // Seed of the generator; without one it is seeded from the clock.
    std::optional<std::uint32_t> Seed;
    // Worker threads the passes run on side by side while the calling thread merges them.
    // With 1, or a single pass, they run one after another on the calling thread. Any number
    // gives the same fit.
    int Threads = 1;
    // Sweeps per pass; 0 for SwarmSize × 1000. Only tests shorten the passes.
    int MaxSweeps = 0;
};

// One thread per core, the default of a calibration run.
int DefaultPSOThreads();

// Particle swarm fit of A, B, C (NParams := 3) with fitness MeanRMSmK, in NRestarts + 1
// passes within the box Lo..Hi. Floating-point faults leave as FloatError with the state as
// it stood.
//
// Every call of the host comes from the calling thread, in the order and with the values of
// a fit on one thread. On several threads later passes run ahead on the other threads and
// are merged in order: during such a fit SwarmSnapshot, BestIndex, OverallBest and
// Improvements hold the merged values at each call of the host (Swarm, LeaderIndex,
// RestartBest and the generator hold the last pass merged), Stop is read once per merged
// sweep and honoured at the end of that sweep of the earliest pass not yet merged, and a
// fault of a pass run ahead is raised only when every pass before it has been merged.
// Afterwards every process-wide variable holds what a fit on one thread leaves.
PSOOutcome PSOFit(int NRestarts, const TParamVector &Lo, const TParamVector &Hi,
                  PSOHost &host, const PSOSettings &settings = {});

// The spread of the first SwarmSize particles: the mean distance of their current positions
// from the centroid, over dimensions 1..NParams, divided by NParams.
long double SwarmDiversity(const TSwarm &S);

} // namespace kelvora
