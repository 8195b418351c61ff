#pragma once

// The overall best of a swarm fit as the host sees it: improvements of the passes' bests are
// taken in pass order, each new overall best is shown, and the host's calls come in the order
// a fit on one thread makes them, whichever thread ran the pass.

#include "core/pso.h"
#include "core/psopass.h"

namespace kelvora::psopass {

// The fit's best and its host, on the thread that called PSOFit only.
class FitBest
{
public:
    FitBest(PSOHost &host, const FitSetup &setup);

    const PSOBest &best() const { return m_best; }
    // True when a pass best of `passBest` is a new overall best.
    bool Counts(long double passBest) const { return passBest < m_best.OverallBest; }
    // Takes a new overall best, `passBest` of `particle` at `leader` of its swarm, and shows
    // it. True when the fit has reached its target.
    bool Take(const TParticle &particle, int leader, long double passBest);
    // After every particle of a sweep moved: the sweep is shown and events run.
    void SweepMoved(int pass, int sweep);
    // After a sweep whose spread did not collapse: true when the host asks to stop;
    // otherwise events run again.
    bool SweepEnded();

private:
    PSOHost &m_host;
    PSOBest m_best;
    const int m_passes;
    const int m_sweepsPerPass;
};

// The observer of a pass run where the host sees it: every improvement and sweep goes to the
// fit's best as it happens.
class ShownPass final : public PassObserver
{
public:
    ShownPass(FitBest &best, int pass) : m_best(best), m_pass(pass) {}

    bool PassBestImproved(const PassState &state, int sweep) override;
    void SweepMoved(const PassState &state, int sweep) override;
    bool SweepEnded(const PassState &state, int sweep) override;

private:
    FitBest &m_best;
    int m_pass;
};

} // namespace kelvora::psopass
