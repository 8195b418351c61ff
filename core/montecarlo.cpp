#include "core/montecarlo.h"

#include "core/fpe.h"
#include "core/lm.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <thread>

namespace kelvora {

namespace {

constexpr int MaxThreads = 1024;
// Trials a thread takes at a time, drawn from one generator: few enough that the last ones
// spread over the threads, enough that seeding the generator costs little.
constexpr int Block = 16;

// One refit of the drawn temperatures from the fitted triple; empty when it fails. Each fit
// works on its own problem and storage, so that the threads' fits run side by side.
std::optional<TParamVector> refit(const MonteCarloProblem &problem,
                                  const ReferenceSet &reference)
{
    LMProblem fit;
    fit.reference = reference;
    fit.Params = problem.fitted;
    fit.NParams = 3;
    fit.MaxIter = problem.MaxIter;
    fit.Tol = problem.Tol;
    try {
        const LMOutcome outcome = LevMarFit(fit);
        if (outcome.Status != lmConverged)
            return std::nullopt;
        return outcome.Params;
    } catch (const Error &) {
        return std::nullopt;
    }
}

// Trials in blocks: the trials of block b are b·Block and on, in order, drawn from one
// generator seeded with the seed and b, one normal deviate per point in point order. A block
// runs on one thread, so that every trial draws the same numbers on any number of threads.
void runBlock(const MonteCarloProblem &problem, int block,
              std::vector<std::optional<TParamVector>> &fits, std::atomic<int> &failed)
{
    std::seed_seq seeds{problem.seed, static_cast<std::uint32_t>(block)};
    std::mt19937_64 generator(seeds);
    std::normal_distribution<long double> normal;
    const int n = static_cast<int>(problem.points.size());
    ReferenceSet reference;
    reference.NPoints = n;
    for (int i = 1; i <= n; ++i)
        reference.RefS[i] = problem.points[static_cast<std::size_t>(i - 1)].S;
    const int last = std::min(problem.trials, (block + 1) * Block);
    for (int k = block * Block; k < last; ++k) {
        for (int i = 1; i <= n; ++i) {
            const UncertainPoint &point = problem.points[static_cast<std::size_t>(i - 1)];
            reference.RefT[i] = point.T + *point.u * normal(generator);
        }
        std::optional<TParamVector> &fit = fits[static_cast<std::size_t>(k)];
        fit = refit(problem, reference);
        if (!fit)
            ++failed;
    }
}

// Runs work(i) for i = 0..count-1 on `threads` threads, the calling thread among them;
// `between()` runs on the calling thread after each of its items and returns false to stop
// everyone. Returns false when stopped.
template <typename Work, typename Between>
bool runSideBySide(int count, int threads, Work work, Between between)
{
    std::atomic<int> next = 0;
    std::atomic<bool> stop = false;
    const auto worker = [&](bool caller) {
        while (!stop) {
            const int i = next++;
            if (i >= count)
                return;
            work(i);
            if (caller && !between())
                stop = true;
        }
    };
    std::vector<std::thread> others;
    for (int t = 1; t < std::min(threads, count); ++t)
        others.emplace_back(worker, false);
    worker(true);
    for (std::thread &thread : others)
        thread.join();
    return !stop;
}

} // namespace

void ProbabilisticallySymmetricInterval(const std::vector<long double> &sorted, long double &low,
                                        long double &high)
{
    const auto M = static_cast<long long>(sorted.size());
    // 0.95·M rounded to the nearest whole number, in whole numbers: (95·M + 50) / 100.
    const long long q = (95 * M + 50) / 100;
    const long long r = std::max(1LL, (M - q + 1) / 2);
    low = sorted[static_cast<std::size_t>(r - 1)];
    high = sorted[static_cast<std::size_t>(std::min(M, r + q) - 1)];
}

MonteCarloOutcome RunMonteCarlo(const MonteCarloProblem &problem, MonteCarloHost &host)
{
    const std::size_t n = problem.points.size();
    if (n < 3 || n > static_cast<std::size_t>(MaxPoints) || problem.trials < 2
        || problem.trials > MaxMonteCarloTrials || problem.threads < 1
        || problem.threads > MaxThreads)
        throw RangeError();
    for (const UncertainPoint &point : problem.points) {
        if (!point.u)
            throw RangeError();
    }

    MonteCarloOutcome outcome;
    outcome.trials = problem.trials;
    outcome.values.assign(problem.signalValues.size(), std::nullopt);

    // Each trial's fitted triple, in its own slot.
    std::vector<std::optional<TParamVector>> fits(static_cast<std::size_t>(problem.trials));
    std::atomic<int> failed = 0;
    std::atomic<int> done = 0;
    const bool finished = runSideBySide(
        (problem.trials + Block - 1) / Block, problem.threads,
        [&](int block) {
            runBlock(problem, block, fits, failed);
            done += std::min(Block, problem.trials - block * Block);
        },
        [&] {
            host.TrialsDone(done, failed);
            return !host.StopRequested();
        });
    outcome.failed = failed;
    if (!finished) {
        outcome.stopped = true;
        return outcome;
    }
    host.TrialsDone(problem.trials, outcome.failed);
    if (problem.trials - outcome.failed < 2)
        return outcome;

    // The statistics of each signal, the trials in their order.
    runSideBySide(
        static_cast<int>(problem.signalValues.size()), problem.threads,
        [&](int j) {
            const long double S = problem.signalValues[static_cast<std::size_t>(j)];
            std::vector<long double> values;
            values.reserve(fits.size());
            try {
                for (const std::optional<TParamVector> &P : fits) {
                    if (P)
                        values.push_back(SHTemperature(*P, S));
                }
            } catch (const Error &) {
                return;
            }
            const auto count = static_cast<long double>(values.size());
            long double sum = 0.0L;
            for (const long double v : values)
                sum += v;
            MonteCarloValue value;
            value.mean = sum / count;
            long double squares = 0.0L;
            for (const long double v : values)
                squares += (v - value.mean) * (v - value.mean);
            value.u = std::sqrt(squares / (count - 1));
            if (!std::isfinite(value.u))
                return;
            std::sort(values.begin(), values.end());
            ProbabilisticallySymmetricInterval(values, value.low, value.high);
            outcome.values[static_cast<std::size_t>(j)] = value;
        },
        [] { return true; });
    return outcome;
}

} // namespace kelvora
