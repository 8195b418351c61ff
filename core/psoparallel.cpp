#include "core/psoparallel.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace kelvora::psopass {

namespace {

// Sweeps between two saved states of a pass on a worker: a Stop part-way through the pass is
// rebuilt from the last saved state before it.
constexpr int CheckpointEvery = 1000;
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
    SwarmCopy Swarm;
};

// A pass's state at the end of a sweep (0: after placement).
struct Checkpoint
{
    int Sweep;
    MTGenerator Generator;
    int Leader;
    long double RestartBest;
    SwarmCopy Swarm;
};

// One pass given to a worker.
struct Slot
{
    // Under the run's mutex: the generator state the pass starts from, once known.
    MTGenerator Start;
    bool StartReady = false;

    std::atomic<bool> Cancelled{false};
    // The last sweep done after which the pass went on.
    std::atomic<int> SweepsDone{0};
    std::atomic<bool> Ended{false};

    // Improvements the calling thread has not taken yet, in order.
    std::mutex ImprovementsMutex;
    std::deque<Improvement> Improvements;

    // The worker's; the calling thread reads them once Ended is set.
    std::unique_ptr<TSwarm> Swarm;
    MTGenerator Generator;
    int Leader = 1;
    long double RestartBest = NoValue;
    long double D0 = 0.0L;
    std::vector<Checkpoint> Checkpoints;
    PassEnd End = PassEnd::Stopped;
    bool Failed = false;  // an exception ended the pass
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
            Improvement improvement{sweep, state.Leader, best, {}};
            improvement.Swarm.Take(state.Swarm);
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

    void SweepMoved(int) override {}

    bool SweepEnded(const PassState &state, int sweep) override
    {
        if (sweep % CheckpointEvery == 0)
            Save(state, sweep);
        m_slot.SweepsDone.store(sweep, std::memory_order_release);
        return m_slot.Cancelled.load(std::memory_order_relaxed)
               || m_over.load(std::memory_order_relaxed);
    }

    void Save(const PassState &state, int sweep)
    {
        Checkpoint checkpoint{sweep, state.Generator, state.Leader, state.RestartBest, {}};
        checkpoint.Swarm.Take(state.Swarm);
        m_slot.Checkpoints.push_back(std::move(checkpoint));
    }

private:
    Slot &m_slot;
    // No pass best at or above it can count any more.
    const std::atomic<double> &m_bound;
    const std::atomic<bool> &m_over;
};

// Re-runs sweeps already merged: nothing to report.
class Silent final : public PassObserver
{
public:
    bool PassBestImproved(const PassState &, int) override { return false; }
    void SweepMoved(int) override {}
    bool SweepEnded(const PassState &, int) override { return false; }
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

enum class MergeEnd { PassDone, TargetReached, Stopped, TakeOver };

struct Merged
{
    MergeEnd End;
    int Sweeps;  // sweeps of the pass merged
};

class SideBySide
{
public:
    SideBySide(long long lastPass, const TParamVector &Lo, const TParamVector &Hi,
               FitBest &best, int threads)
        : m_lastPass(lastPass)
        , m_lo(Lo)
        , m_hi(Hi)
        , m_best(best)
        , m_threads(static_cast<int>(std::min<long long>(threads, lastPass + 1)))
        , m_base(std::make_unique<TSwarm>(Swarm))
        , m_trueStart(MTProcess)
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
    void RunSlot(Slot &slot);

    std::shared_ptr<Slot> SlotFor(long long pass);
    Merged Merge(Slot &slot, long long pass);
    bool TakeImprovements(std::deque<Improvement> &pending, int sweep);
    void TakeState(const Slot &slot);
    void RestoreAt(const Slot &slot, int sweep);
    PassEnd TakeOver(const Slot &slot, long long pass, int merged);
    void PassMerged();
    void StopWorkers();

    const long long m_lastPass;
    // Copies: the workers read them while the caller's own may change.
    const TParamVector m_lo;
    const TParamVector m_hi;
    FitBest &m_best;
    const int m_threads;
    // Swarm as the fit began: what a pass changes is written over it.
    const std::unique_ptr<const TSwarm> m_base;
    std::fenv_t m_environment;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    // Under m_mutex: passes m_firstUnmerged .. m_nextPass - 1 given to workers, in order.
    std::deque<std::shared_ptr<Slot>> m_inFlight;
    long long m_nextPass = 0;
    long long m_firstUnmerged = 0;
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
    while (const std::shared_ptr<Slot> slot = NextSlot())
        RunSlot(*slot);
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
    std::uint64_t left = NonzeroWordsPerPass(MaxSweeps);
    while (left > 0) {
        if (!Wanted(slot))
            return false;
        const std::uint64_t words = std::min(left, SkipChunk);
        generator.SkipNonzeroWords(words);
        left -= words;
    }
    return true;
}

void SideBySide::RunSlot(Slot &slot)
{
    Recorder recorder(slot, m_bound, m_over);
    try {
        slot.Swarm = std::make_unique<TSwarm>(*m_base);
        slot.Generator = slot.Start;
        PassState state{*slot.Swarm, slot.Generator, slot.Leader, slot.RestartBest};
        StartPass(state, m_lo, m_hi);
        slot.D0 = state.D0;
        recorder.Save(state, 0);
        slot.End = RunSweeps(state, m_lo, m_hi, recorder, 1, MaxSweeps);
    } catch (...) {
        // The calling thread runs the pass again itself and meets the same fault there.
        slot.Failed = true;
    }
    slot.Ended.store(true, std::memory_order_release);
    std::lock_guard lock(m_mutex);
    m_changed.notify_all();
}

// The slot of the next pass to merge, once its start is known to be right.
std::shared_ptr<Slot> SideBySide::SlotFor(long long pass)
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
// ends.
Merged SideBySide::Merge(Slot &slot, long long pass)
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
                return {MergeEnd::TargetReached, sweep};
            m_best.SweepMoved(static_cast<int>(pass), sweep);
            merged = sweep;
            if (m_best.SweepEnded())
                return {MergeEnd::Stopped, sweep};
        }
        m_bound.store(DoubleAtOrAbove(OverallBest), std::memory_order_relaxed);
        if (!ended)
            continue;
        if (slot.Failed)
            return {MergeEnd::TakeOver, merged};
        switch (slot.End) {
        case PassEnd::Finished:
            return {MergeEnd::PassDone, merged};
        case PassEnd::Collapsed:
            // Its last sweep: moved and shown, then the spread had collapsed.
            if (TakeImprovements(pending, merged + 1))
                return {MergeEnd::TargetReached, merged + 1};
            m_best.SweepMoved(static_cast<int>(pass), merged + 1);
            return {MergeEnd::PassDone, merged + 1};
        case PassEnd::TargetReached:
            if (TakeImprovements(pending, merged + 1))
                return {MergeEnd::TargetReached, merged + 1};
            break;
        case PassEnd::Stopped:
            break;
        }
        // Not what the records show: the calling thread runs the rest itself.
        return {MergeEnd::TakeOver, merged};
    }
}

// Counts the recorded improvements of `sweep` that beat the overall best; true when one
// reaches the target.
bool SideBySide::TakeImprovements(std::deque<Improvement> &pending, int sweep)
{
    while (!pending.empty() && pending.front().Sweep == sweep) {
        const Improvement &improvement = pending.front();
        if (m_best.Counts(improvement.Best)) {
            improvement.Swarm.PutInto(SwarmSnapshot, *m_base);
            if (m_best.Take(improvement.Leader, improvement.Best))
                return true;
        }
        pending.pop_front();
    }
    return false;
}

// The process-wide state of the pass from the worker's, where the worker left it.
void SideBySide::TakeState(const Slot &slot)
{
    for (int k = 1; k <= SwarmSize; ++k)
        Swarm[k] = (*slot.Swarm)[k];
    MTProcess = slot.Generator;
    LeaderIndex = slot.Leader;
    RestartBest = slot.RestartBest;
}

// The process-wide state of the pass at the end of `sweep`, rebuilt from the last state the
// worker saved before it. The worker must have ended.
void SideBySide::RestoreAt(const Slot &slot, int sweep)
{
    const Checkpoint *from = &slot.Checkpoints.front();
    for (const Checkpoint &checkpoint : slot.Checkpoints) {
        if (checkpoint.Sweep <= sweep)
            from = &checkpoint;
    }
    from->Swarm.PutInto(Swarm, *m_base);
    MTProcess = from->Generator;
    LeaderIndex = from->Leader;
    RestartBest = from->RestartBest;
    PassState state = ProcessPassState();
    state.D0 = slot.D0;
    Silent silent;
    RunSweeps(state, m_lo, m_hi, silent, from->Sweep + 1, sweep);
}

// Runs the rest of a pass that failed on its worker on this thread, where the host sees it,
// from the end of the last sweep merged. Swarm holds the last pass merged, as a fit on one
// thread has it when this pass begins.
PassEnd SideBySide::TakeOver(const Slot &slot, long long pass, int merged)
{
    PassState state = ProcessPassState();
    if (merged == 0) {
        MTProcess = slot.Start;
        StartPass(state, m_lo, m_hi);
    } else {
        RestoreAt(slot, merged);
        state.D0 = slot.D0;
    }
    ShownPass shown(m_best, static_cast<int>(pass));
    return RunSweeps(state, m_lo, m_hi, shown, merged + 1, MaxSweeps);
}

// The next pass starts where the process's generator now stands.
void SideBySide::PassMerged()
{
    std::lock_guard lock(m_mutex);
    m_trueStart = MTProcess;
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

    PSOOutcome out{0, 0, false, false};
    for (long long pass = 0; pass <= m_lastPass; ++pass) {
        ++out.PassesRun;
        const std::shared_ptr<Slot> slot = SlotFor(pass);
        const Merged merged = Merge(*slot, pass);
        if (merged.End == MergeEnd::PassDone) {
            TakeState(*slot);
            PassMerged();
            continue;
        }
        if (merged.End == MergeEnd::TakeOver) {
            const PassEnd end = TakeOver(*slot, pass, merged.Sweeps);
            out.TargetReached = end == PassEnd::TargetReached;
            out.Stopped = end == PassEnd::Stopped;
            if (out.TargetReached || out.Stopped)
                break;
            PassMerged();
            continue;
        }
        StopWorkers();
        if (merged.End == MergeEnd::TargetReached) {
            out.TargetReached = true;
            TakeState(*slot);
        } else {
            out.Stopped = true;
            RestoreAt(*slot, merged.Sweeps);
        }
        break;
    }
    StopWorkers();
    out.PassesComputed = m_passesComputed;
    out.BusiestWorkerSeconds = m_busiestSeconds;
    return out;
}

} // namespace

std::optional<PSOOutcome> RunPassesSideBySide(long long lastPass, const TParamVector &Lo,
                                              const TParamVector &Hi, FitBest &best,
                                              int threads)
{
    SideBySide run(lastPass, Lo, Hi, best, threads);
    return run.Run();
}

} // namespace kelvora::psopass
