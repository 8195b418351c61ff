#include "calibration/backgroundrun.h"

#include <utility>

namespace kelvora {

BackgroundRun::BackgroundRun(RunInput input, RunSettings settings,
                             std::function<void()> finished)
    : m_progress(settings.DecimalSeparator)
{
    m_thread = std::thread([this, input = std::move(input), settings,
                            finished = std::move(finished)] {
        try {
            m_outcome = RunCalibration(input, settings, m_progress);
        } catch (...) {
            m_error = std::current_exception();
        }
        if (finished)
            finished();
    });
}

BackgroundRun::~BackgroundRun()
{
    m_progress.requestStop();
    if (m_thread.joinable())
        m_thread.join();
}

RunOutcome BackgroundRun::result()
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_error)
        std::rethrow_exception(m_error);
    return *m_outcome;
}

} // namespace kelvora
