#pragma once

// The passes of a swarm fit side by side. Passes depend on each other only through the
// generator's state at their start and the overall best, so later passes can run ahead on
// other threads: pass k starts from the state all earlier passes reach when each runs its
// full MaxSweeps, and records the improvements of its own best. The calling thread merges the
// passes in order, counting an improvement when it beats the overall best at that point and
// making the host's calls exactly as a fit on one thread makes them. A pass that started from
// a wrong state (one before it ended early) runs again from the right one; after a Stop or
// the target every pass not yet merged is dropped; a pass that failed on its thread is run
// on the calling thread from where the merge stands, so that its fault is raised there, after
// the passes before it, with the state a fit on one thread leaves.

#include "core/psobest.h"

#include <optional>

namespace kelvora::psopass {

// Runs passes 0..lastPass of the fit PSOFit has begun (generator seeded, constants set, best
// reset) on `threads` worker threads, merging them into `best` on the calling thread.
// Nothing when no thread could be started; nothing has been done then.
std::optional<PSOOutcome> RunPassesSideBySide(long long lastPass, const TParamVector &Lo,
                                              const TParamVector &Hi, FitBest &best,
                                              int threads);

} // namespace kelvora::psopass
