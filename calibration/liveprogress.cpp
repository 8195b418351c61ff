#include "calibration/liveprogress.h"

#include "core/pso.h"

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

void LiveProgress::PSOStarting(const TParamVector &, const TParamVector &)
{
    const std::lock_guard lock(m_mutex);
    m_view.stage = RunView::Stage::ParticleSwarm;
}

void LiveProgress::ShowPSOProgress()
{
    // Read here, on the run's thread, while the snapshot holds this best.
    PSOProgress best = CurrentPSOProgress(m_decimalSeparator);
    const std::lock_guard lock(m_mutex);
    m_view.best = std::move(best);
    ++m_view.bestCount;
}

void LiveProgress::ShowSweep(int restartNo, int sweep, std::uint32_t improvements)
{
    const int sweepsPerPass = MaxSweeps;
    const std::lock_guard lock(m_mutex);
    m_view.restartNo = restartNo;
    m_view.sweep = sweep;
    m_view.sweepsPerPass = sweepsPerPass;
    m_view.improvements = improvements;
}

} // namespace kelvora
