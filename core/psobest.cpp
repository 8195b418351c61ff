#include "core/psobest.h"

#include "core/fpe.h"

namespace kelvora::psopass {

FitBest::FitBest(PSOHost &host, const FitSetup &setup)
    : m_host(host)
    , m_passes(setup.problem.NRestarts < 0 ? 0 : setup.problem.NRestarts + 1)
    , m_sweepsPerPass(setup.MaxSweeps)
{
}

bool FitBest::Take(const TParticle &particle, int leader, long double passBest)
{
    m_best.particle = particle;
    m_best.OverallBest = passBest;
    ++m_best.Improvements;
    m_best.BestIndex = leader;
    m_host.ShowPSOProgress(m_best);
    // The host's code may leave flags set; the fit's own must be clear.
    ClearFpFaults();
    return m_best.OverallBest < TargetRMS;
}

void FitBest::SweepMoved(int pass, int sweep)
{
    m_host.ShowSweep({pass, sweep, m_passes, m_sweepsPerPass, m_best.Improvements});
    m_host.ProcessEvents();
}

bool FitBest::SweepEnded()
{
    if (m_host.StopRequested())
        return true;
    m_host.ProcessEvents();
    return false;
}

bool ShownPass::PassBestImproved(const PassState &state, int)
{
    if (!m_best.Counts(state.RestartBest))
        return false;
    return m_best.Take(state.Swarm[state.LeaderIndex], state.LeaderIndex, state.RestartBest);
}

void ShownPass::SweepMoved(const PassState &, int sweep)
{
    m_best.SweepMoved(m_pass, sweep);
}

bool ShownPass::SweepEnded(const PassState &, int)
{
    return m_best.SweepEnded();
}

} // namespace kelvora::psopass
