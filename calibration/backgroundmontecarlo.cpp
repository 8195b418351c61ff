#include "calibration/backgroundmontecarlo.h"

#include <utility>

namespace kelvora {

BackgroundMonteCarlo::BackgroundMonteCarlo(MonteCarloProblem problem,
                                           std::function<void()> finished)
    : m_trials(problem.trials)
{
    m_thread = std::thread([this, problem = std::move(problem), finished = std::move(finished)] {
        try {
            m_outcome = RunMonteCarlo(problem, *this);
        } catch (...) {
            m_error = std::current_exception();
        }
        if (finished)
            finished();
    });
}

BackgroundMonteCarlo::~BackgroundMonteCarlo()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

MonteCarloOutcome BackgroundMonteCarlo::result()
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_error)
        std::rethrow_exception(m_error);
    return *m_outcome;
}

void BackgroundMonteCarlo::TrialsDone(int done, int failed)
{
    m_done = done;
    m_failed = failed;
}

} // namespace kelvora
