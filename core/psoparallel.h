#pragma once

// The passes of a swarm fit side by side. Passes depend on each other only through the
// generator's state at their start and the overall best, so later passes can run ahead on
// other threads: pass k starts from the state all earlier passes reach when each runs its
// full MaxSweeps, and records the improvements of its own best. The calling thread merges the
// passes in order, counting an improvement when it beats the overall best at that point and
// making the host's calls exactly as a fit on one thread makes them. A pass that started from
// a wrong state (one before it ended early) runs again from the right one; after a Stop or
// the target every pass not yet merged is dropped; the fault of a pass is raised on the
// calling thread once everything the pass did before it has been merged.

#include "core/psobest.h"

#include <optional>

namespace kelvora::psopass {

// Runs passes 0..NRestarts of a fit with this setup, the first from the generator `start`,
// on `threads` worker threads, merging them into `best` on the calling thread. Nothing when
// no thread could be started; nothing has been done then.
std::optional<PSOOutcome> RunPassesSideBySide(const FitSetup &setup, const MTGenerator &start,
                                              FitBest &best, int threads);

} // namespace kelvora::psopass
