#pragma once

#include "calibration/run.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

namespace kelvora {

// A run as a display on another thread sees it: the latest value of each kind of progress.
// The counters only grow within a run, so that a display compares them with what it showed
// last to tell what changed.
struct RunView
{
    enum class Stage { LevenbergMarquardt, ParticleSwarm };
    Stage stage = Stage::LevenbergMarquardt;
    // Once the Levenberg-Marquardt fit has ended, whatever its status.
    std::optional<LMStage> lm;
    // The swarm's best so far, and how many times it improved.
    std::optional<PSOProgress> best;
    int bestCount = 0;
    // The swarm's last sweep: its pass (-1 before the first sweep), its number within the
    // pass, the passes of the fit, the sweeps a pass may run, and the improvements so far.
    int restartNo = -1;
    int sweep = 0;
    int passes = 0;
    int sweepsPerPass = 0;
    std::uint32_t improvements = 0;
};

// The host of a run on a worker thread. The run's callbacks copy their progress into one
// guarded slot on the run's thread; a display takes the latest view at its own pace and never
// touches the fitter. Stop is the run's flag, which the swarm reads once per sweep.
class LiveProgress : public RunHost
{
public:
    // The memo lines are written with this decimal separator.
    explicit LiveProgress(char decimalSeparator = '.');

    RunView latest() const;
    void requestStop() { m_stop = true; }
    bool stopWasRequested() const { return m_stop; }

    void LMFinished(const LMStage &stage) override;
    void PSOStarting(const PSOProblem &problem) override;
    void ShowPSOProgress(const PSOBest &best) override;
    void ShowSweep(const PSOSweep &sweep) override;
    bool StopRequested() override { return m_stop; }

private:
    const char m_decimalSeparator;
    // The run's thread's: the points of the swarm's fit, for the lines of its best.
    ReferenceSet m_reference;
    std::atomic<bool> m_stop = false;
    mutable std::mutex m_mutex;
    RunView m_view;
};

} // namespace kelvora
