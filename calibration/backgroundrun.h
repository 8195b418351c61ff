#pragma once

#include "calibration/liveprogress.h"
#include "calibration/run.h"

#include <exception>
#include <functional>
#include <optional>
#include <thread>

namespace kelvora {

// One calibration run on a thread of its own, reporting to a LiveProgress. The run works on
// values of its own; the caller reads its progress and, once it has ended, its outcome.
class BackgroundRun
{
public:
    // Starts the run at once. `finished` is called on the run's thread as its last act,
    // after the outcome or the error has been kept. The progress writes its numbers with the
    // settings' decimal separator, as the run writes its lines.
    BackgroundRun(RunInput input, RunSettings settings, std::function<void()> finished = {});
    // Asks the run to stop and waits for it: the swarm ends at its current sweep, a
    // Levenberg-Marquardt fit in progress runs to its end.
    ~BackgroundRun();
    BackgroundRun(const BackgroundRun &) = delete;
    BackgroundRun &operator=(const BackgroundRun &) = delete;

    LiveProgress &progress() { return m_progress; }
    // Waits for the end of the run; its outcome, or the error that ended it, rethrown.
    RunOutcome result();

private:
    LiveProgress m_progress;
    std::optional<RunOutcome> m_outcome;
    std::exception_ptr m_error;
    std::thread m_thread;
};

} // namespace kelvora
