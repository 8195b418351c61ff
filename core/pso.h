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

// A particle swarm fit to make: the points, the passes and the box.
struct PSOProblem
{
    ReferenceSet reference;  // the points (S, T) the fitness is taken over
    int NRestarts = 10;  // passes after the first
    TParamVector Lo;  // lower bound of each dimension
    TParamVector Hi;  // upper bound of each dimension
};

// The best of a fit: what the host is shown at each improvement and the outcome holds.
struct PSOBest
{
    // The particle that holds the best, as it was when the best improved (the swarm's snapshot
    // at BestIndex): its best position P is the result. A zero particle until an improvement.
    TParticle particle;
    int BestIndex = 1;
    long double OverallBest = NoValue;  // fitness of particle.P, mK
    std::uint32_t Improvements = 0;  // times OverallBest improved during the fit

    bool operator==(const PSOBest &) const = default;
};

// Where a fit stands after a sweep.
struct PSOSweep
{
    int restartNo = 0;  // the pass, from 0
    int sweep = 0;  // the sweep within the pass, from 1
    int passes = 0;  // passes of the fit: NRestarts + 1
    int sweepsPerPass = 0;
    std::uint32_t improvements = 0;

    bool operator==(const PSOSweep &) const = default;
};

// What the window running a fit supplies; a fit without a window uses these defaults.
class PSOHost
{
public:
    virtual ~PSOHost() = default;
    // After each new overall best.
    virtual void ShowPSOProgress(const PSOBest & /*best*/) {}
    // After each sweep.
    virtual void ShowSweep(const PSOSweep & /*sweep*/) {}
    // Lets pending user-interface events run; twice per sweep.
    virtual void ProcessEvents() {}
    // Read once per sweep: true ends the fit.
    virtual bool StopRequested() { return false; }
};

struct PSOOutcome
{
    int PassesRun = 0;  // passes begun
    bool Stopped = false;  // the host asked to stop
    bool TargetReached = false;  // OverallBest fell below 0.005 mK
    PSOBest best;
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
    // Sweeps per pass; 0 for 30 particles × 1000. Only tests shorten the passes.
    int MaxSweeps = 0;
};

// One thread per core, the default of a calibration run.
int DefaultPSOThreads();

// Particle swarm fit of A, B, C with fitness MeanRMSmK over the problem's reference set, in
// NRestarts + 1 passes within the box Lo..Hi. Floating-point faults leave as FloatError.
// The fit works on a copy of its problem and on state of its own: any number of fits may run
// at once on different threads.
//
// Every call of the host comes from the calling thread, in the order and with the values of
// a fit on one thread. On several threads later passes run ahead on other threads and are
// merged in order: Stop is read once per merged sweep and honoured at the end of that sweep
// of the earliest pass not yet merged, and a fault of a pass run ahead is raised only when
// everything before it has been merged.
PSOOutcome PSOFit(const PSOProblem &problem, PSOHost &host, const PSOSettings &settings = {});

// The spread of the first `SwarmSize` particles: the mean distance of their current
// positions from the centroid, over dimensions 1..NParams, divided by NParams.
long double SwarmDiversity(const TSwarm &S, int SwarmSize, int NParams);

} // namespace kelvora
