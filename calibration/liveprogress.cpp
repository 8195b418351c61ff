#include "calibration/liveprogress.h"

namespace kelvora {

LiveProgress::LiveProgress(char decimalSeparator) : m_decimalSeparator(decimalSeparator) {}

RunView LiveProgress::latest() const
{
    const std::lock_guard lock(m_mutex);
    return m_view;
}

void LiveProgress::LMFinished(const LMStage &stage)
{
    const std::lock_guard lock(m_mutex);
    m_view.lm = stage;
}

void LiveProgress::PSOStarting(const PSOProblem &problem)
{
    m_reference = problem.reference;
    const std::lock_guard lock(m_mutex);
    m_view.stage = RunView::Stage::ParticleSwarm;
}

void LiveProgress::ShowPSOProgress(const PSOBest &best)
{
    // The lines are made here, on the run's thread, outside the lock.
    PSOProgress progress = progressOf(best, m_reference, m_decimalSeparator);
    const std::lock_guard lock(m_mutex);
    m_view.best = std::move(progress);
    ++m_view.bestCount;
}

void LiveProgress::ShowSweep(const PSOSweep &sweep)
{
    const std::lock_guard lock(m_mutex);
    m_view.restartNo = sweep.restartNo;
    m_view.sweep = sweep.sweep;
    m_view.passes = sweep.passes;
    m_view.sweepsPerPass = sweep.sweepsPerPass;
    m_view.improvements = sweep.improvements;
}

} // namespace kelvora
