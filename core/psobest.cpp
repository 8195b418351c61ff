#include "core/psobest.h"

#include "core/fpe.h"

namespace kelvora::psopass {

bool FitBest::Take(int leader, long double passBest)
{
    OverallBest = passBest;
    ++Improvements;
    BestIndex = leader;
    m_host.ShowPSOProgress();
    // The host's code may leave flags set; the fit's own must be clear.
    ClearFpFaults();
    return OverallBest < TargetRMS;
}

void FitBest::SweepMoved(int pass, int sweep)
{
    m_host.ShowSweep(pass, sweep, Improvements);
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
    for (int k = 1; k <= SwarmSize; ++k)
        SwarmSnapshot[k] = state.Swarm[k];
    return m_best.Take(state.Leader, state.RestartBest);
}

void ShownPass::SweepMoved(int sweep)
{
    m_best.SweepMoved(m_pass, sweep);
}

bool ShownPass::SweepEnded(const PassState &, int)
{
    return m_best.SweepEnded();
}

} // namespace kelvora::psopass
