#include "core/psoparallel.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace kelvora::psopass {

namespace {

// The calling thread merges what the workers have done at this interval: often enough for
// a display and for Stop, seldom enough to cost the workers nothing.
constexpr auto MergeInterval = std::chrono::milliseconds(5);
// Nonzero words a worker skips between two looks at whether its pass is still wanted.
constexpr std::uint64_t SkipChunk = std::uint64_t{1} << 18;

// An improvement of a pass best, as the worker running the pass recorded it.
struct Improvement
{
    int Sweep;
    int Leader;
    long double Best;
    TParticle Particle;  // the leader as it was then
};

// One pass given to a worker.
struct Slot
{
    // Under the run's mutex: the generator state the pass starts from, once known.
    MTGenerator Start;
    bool StartReady = false;

    std::atomic<bool> Cancelled{false};
    // The last sweep whose particles have all moved, and the last one after which the pass
    // went on.
    std::atomic<int> SweepsMoved{0};
    std::atomic<int> SweepsDone{0};
    std::atomic<bool> Ended{false};

    // Improvements the calling thread has not taken yet, in order.
    std::mutex ImprovementsMutex;
    std::deque<Improvement> Improvements;

    // The worker's; the calling thread reads them once Ended is set.
    MTGenerator End;  // where the generator stands after the pass
    std::exception_ptr Error;  // what ended the pass, if anything did
};

// What the worker running a pass keeps of it.
class Recorder final : public PassObserver
{
public:
    Recorder(Slot &slot, const std::atomic<double> &bound, const std::atomic<bool> &over)
        : m_slot(slot)
        , m_bound(bound)
        , m_over(over)
    {
    }

    bool PassBestImproved(const PassState &state, int sweep) override
    {
        const long double best = state.RestartBest;
        const long double bound = m_bound.load(std::memory_order_relaxed);
        if (best < bound) {
            Improvement improvement{sweep, state.LeaderIndex, best,
                                    state.Swarm[state.LeaderIndex]};
            std::lock_guard lock(m_slot.ImprovementsMutex);
            // The pass best only falls: the oldest records are the first the overall best
            // has passed since, and those can no longer count.
            auto &records = m_slot.Improvements;
            while (!records.empty() && !(records.front().Best < bound))
                records.pop_front();
            records.push_back(std::move(improvement));
        }
        // Below the target it is a new overall best wherever it is merged, and the fit's end.
        return best < TargetRMS;
    }

    void SweepMoved(const PassState &, int sweep) override
    {
        m_slot.SweepsMoved.store(sweep, std::memory_order_release);
    }

    bool SweepEnded(const PassState &, int sweep) override
    {
        m_slot.SweepsDone.store(sweep, std::memory_order_release);
        return m_slot.Cancelled.load(std::memory_order_relaxed)
               || m_over.load(std::memory_order_relaxed);
    }

private:
    Slot &m_slot;
    // No pass best at or above it can count any more.
    const std::atomic<double> &m_bound;
    const std::atomic<bool> &m_over;
};

double ThreadCpuSeconds()
{
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec t{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) == 0)
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#endif
    return 0.0;
}

// The least double not below `value`; infinity beyond the doubles.
double DoubleAtOrAbove(long double value)
{
    constexpr double infinity = std::numeric_limits<double>::infinity();
    if (!(value < static_cast<long double>(std::numeric_limits<double>::max())))
        return infinity;
    const double d = static_cast<double>(value);
    return d < value ? std::nextafter(d, infinity) : d;
}

enum class MergeEnd { PassDone, TargetReached, Stopped };

class SideBySide
{
public:
    SideBySide(const FitSetup &setup, const MTGenerator &start, FitBest &best, int threads)
        : m_setup(setup)
        , m_lastPass(setup.problem.NRestarts)
        , m_best(best)
        , m_threads(std::min(threads, m_lastPass + 1))
        , m_trueStart(start)
    {
        std::fegetenv(&m_environment);
    }
    ~SideBySide() { StopWorkers(); }
    SideBySide(const SideBySide &) = delete;
    SideBySide &operator=(const SideBySide &) = delete;

    std::optional<PSOOutcome> Run();

private:
    void Work();
    std::shared_ptr<Slot> NextSlot();
    bool Wanted(const Slot &slot) const
    {
        return !slot.Cancelled.load(std::memory_order_relaxed)
               && !m_over.load(std::memory_order_relaxed);
    }
    bool SkipFullPass(MTGenerator &generator, const Slot &slot) const;
    void RunSlot(Slot &slot, PassState &state);

    std::shared_ptr<Slot> SlotFor(int pass);
    MergeEnd Merge(Slot &slot, int pass);
    bool TakeImprovements(std::deque<Improvement> &pending, int sweep);
    void PassMerged(const Slot &slot);
    void StopWorkers();

    const FitSetup &m_setup;
    const int m_lastPass;
    FitBest &m_best;
    const int m_threads;
    std::fenv_t m_environment;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    // Under m_mutex: passes m_firstUnmerged .. m_nextPass - 1 given to workers, in order.
    std::deque<std::shared_ptr<Slot>> m_inFlight;
    int m_nextPass = 0;
    int m_firstUnmerged = 0;
    MTGenerator m_trueStart;  // where pass m_firstUnmerged starts
    int m_passesComputed = 0;
    double m_busiestSeconds = 0.0;

    std::atomic<bool> m_over{false};
    std::atomic<double> m_bound{std::numeric_limits<double>::infinity()};
    std::vector<std::thread> m_workers;
};

void SideBySide::Work()
{
    // The caller's rounding and precision, and flags of this thread's own.
    std::fesetenv(&m_environment);
    // Each placement renews what a pass changes, so one state serves every pass.
    const auto state = std::make_unique<PassState>();
    while (const std::shared_ptr<Slot> slot = NextSlot())
        RunSlot(*slot, *state);
    const double seconds = ThreadCpuSeconds();
    std::lock_guard lock(m_mutex);
    m_busiestSeconds = std::max(m_busiestSeconds, seconds);
}

// The next pass for a worker, its start known; nothing when the fit is over.
std::shared_ptr<Slot> SideBySide::NextSlot()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] {
            return m_over
                   || (m_nextPass <= m_lastPass && m_nextPass < m_firstUnmerged + m_threads);
        });
        if (m_over)
            return nullptr;
        const auto slot = std::make_shared<Slot>();
        ++m_nextPass;
        const std::shared_ptr<Slot> previous = m_inFlight.empty() ? nullptr : m_inFlight.back();
        m_inFlight.push_back(slot);
        if (previous) {
            // Where the pass before ends when it runs all its sweeps.
            m_changed.wait(lock, [&] { return previous->StartReady || !Wanted(*slot); });
            if (!Wanted(*slot))
                continue;
            MTGenerator start = previous->Start;
            lock.unlock();
            const bool skipped = SkipFullPass(start, *slot);
            lock.lock();
            if (!skipped || !Wanted(*slot))
                continue;
            slot->Start = start;
        } else {
            slot->Start = m_trueStart;
        }
        slot->StartReady = true;
        ++m_passesComputed;
        m_changed.notify_all();
        return slot;
    }
}

bool SideBySide::SkipFullPass(MTGenerator &generator, const Slot &slot) const
{
    std::uint64_t left = NonzeroWordsPerPass(m_setup.MaxSweeps);
    while (left > 0) {
        if (!Wanted(slot))
            return false;
        const std::uint64_t words = std::min(left, SkipChunk);
        generator.SkipNonzeroWords(words);
        left -= words;
    }
    return true;
}

void SideBySide::RunSlot(Slot &slot, PassState &state)
{
    Recorder recorder(slot, m_bound, m_over);
    try {
        state.Generator = slot.Start;
        StartPass(state, m_setup);
        RunSweeps(state, m_setup, recorder, 1, m_setup.MaxSweeps);
        slot.End = state.Generator;
    } catch (...) {
        // Raised on the calling thread when the merge reaches it.
        slot.Error = std::current_exception();
    }
    slot.Ended.store(true, std::memory_order_release);
    std::lock_guard lock(m_mutex);
    m_changed.notify_all();
}

// The slot of the next pass to merge, once its start is known to be right.
std::shared_ptr<Slot> SideBySide::SlotFor(int pass)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock,
                       [&] { return !m_inFlight.empty() && m_inFlight.front()->StartReady; });
        std::shared_ptr<Slot> slot = m_inFlight.front();
        if (slot->Start == m_trueStart)
            return slot;
        // The pass before ended early: this start is wrong, and so is every one after it.
        for (const auto &wrong : m_inFlight)
            wrong->Cancelled = true;
        m_inFlight.clear();
        m_nextPass = pass;
        m_changed.notify_all();
    }
}

// Merges the pass as far as its worker has got, again and again, until the pass or the fit
// ends. A merged pass is never cancelled, so its worker ends it only by its last sweep, a
// collapse, the target or a fault.
MergeEnd SideBySide::Merge(Slot &slot, int pass)
{
    std::deque<Improvement> pending;
    int merged = 0;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(lock, MergeInterval,
                               [&] { return slot.Ended.load(std::memory_order_acquire); });
        }
        const bool ended = slot.Ended.load(std::memory_order_acquire);
        const int done = slot.SweepsDone.load(std::memory_order_acquire);
        {
            std::lock_guard lock(slot.ImprovementsMutex);
            for (Improvement &improvement : slot.Improvements)
                pending.push_back(std::move(improvement));
            slot.Improvements.clear();
        }
        for (int sweep = merged + 1; sweep <= done; ++sweep) {
            if (TakeImprovements(pending, sweep))
                return MergeEnd::TargetReached;
            m_best.SweepMoved(pass, sweep);
            merged = sweep;
            if (m_best.SweepEnded())
                return MergeEnd::Stopped;
        }
        m_bound.store(DoubleAtOrAbove(m_best.best().OverallBest), std::memory_order_relaxed);
        if (!ended)
            continue;
        // The sweep in which the pass ended: its improvements, and its display when all its
        // particles moved (the spread collapsed, or taking it failed).
        const int last = merged + 1;
        if (TakeImprovements(pending, last))
            return MergeEnd::TargetReached;
        if (slot.SweepsMoved.load(std::memory_order_acquire) >= last)
            m_best.SweepMoved(pass, last);
        if (slot.Error)
            std::rethrow_exception(slot.Error);
        return MergeEnd::PassDone;
    }
}

// Counts the recorded improvements of `sweep` that beat the overall best; true when one
// reaches the target.
bool SideBySide::TakeImprovements(std::deque<Improvement> &pending, int sweep)
{
    while (!pending.empty() && pending.front().Sweep == sweep) {
        const Improvement &improvement = pending.front();
        if (m_best.Counts(improvement.Best)
            && m_best.Take(improvement.Particle, improvement.Leader, improvement.Best))
            return true;
        pending.pop_front();
    }
    return false;
}

// The next pass starts where the generator of this one ended.
void SideBySide::PassMerged(const Slot &slot)
{
    std::lock_guard lock(m_mutex);
    m_trueStart = slot.End;
    m_inFlight.pop_front();
    ++m_firstUnmerged;
    m_changed.notify_all();
}

void SideBySide::StopWorkers()
{
    {
        std::lock_guard lock(m_mutex);
        m_over = true;
        for (const auto &slot : m_inFlight)
            slot->Cancelled = true;
        m_changed.notify_all();
    }
    for (std::thread &worker : m_workers) {
        if (worker.joinable())
            worker.join();
    }
}

std::optional<PSOOutcome> SideBySide::Run()
{
    for (int k = 0; k < m_threads; ++k) {
        try {
            m_workers.emplace_back([this] { Work(); });
        } catch (const std::system_error &) {
            if (m_workers.empty())
                return std::nullopt;
            break;
        }
    }

    PSOOutcome out;
    for (int pass = 0; pass <= m_lastPass; ++pass) {
        ++out.PassesRun;
        const std::shared_ptr<Slot> slot = SlotFor(pass);
        const MergeEnd end = Merge(*slot, pass);
        if (end == MergeEnd::PassDone) {
            PassMerged(*slot);
            continue;
        }
        out.TargetReached = end == MergeEnd::TargetReached;
        out.Stopped = end == MergeEnd::Stopped;
        break;
    }
    StopWorkers();
    out.PassesComputed = m_passesComputed;
    out.BusiestWorkerSeconds = m_busiestSeconds;
    return out;
}

} // namespace

std::optional<PSOOutcome> RunPassesSideBySide(const FitSetup &setup, const MTGenerator &start,
                                              FitBest &best, int threads)
{
    SideBySide run(setup, start, best, threads);
    return run.Run();
}

} // namespace kelvora::psopass
