#pragma once

#include "core/montecarlo.h"

#include <atomic>
#include <exception>
#include <functional>
#include <optional>
#include <thread>

namespace kelvora {

// The Monte Carlo check on a thread of its own, its trials on as many threads as the problem
// says. The caller reads the trials done at any time and, once it has ended, its outcome.
class BackgroundMonteCarlo : private MonteCarloHost
{
public:
    // Starts the check at once. `finished` is called on the check's thread as its last act,
    // after the outcome or the error has been kept.
    BackgroundMonteCarlo(MonteCarloProblem problem, std::function<void()> finished = {});
    // Asks the check to stop and waits for it.
    ~BackgroundMonteCarlo() override;
    BackgroundMonteCarlo(const BackgroundMonteCarlo &) = delete;
    BackgroundMonteCarlo &operator=(const BackgroundMonteCarlo &) = delete;

    int trials() const { return m_trials; }
    int done() const { return m_done; }
    int failed() const { return m_failed; }
    // The check ends after the blocks of trials in progress; it then gives no values.
    void requestStop() { m_stop = true; }
    bool stopWasRequested() const { return m_stop; }
    // Waits for the end of the check; its outcome, or the error that ended it, rethrown.
    MonteCarloOutcome result();

private:
    void TrialsDone(int done, int failed) override;
    bool StopRequested() override { return m_stop; }

    const int m_trials;
    std::atomic<int> m_done = 0;
    std::atomic<int> m_failed = 0;
    std::atomic<bool> m_stop = false;
    std::optional<MonteCarloOutcome> m_outcome;
    std::exception_ptr m_error;
    std::thread m_thread;
};

} // namespace kelvora
