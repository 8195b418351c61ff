#pragma once

// The Monte Carlo check of the propagated uncertainty (propagation of distributions): every
// trial draws each reference temperature from a normal distribution about its value with its
// standard uncertainty, refits A, B and C by Levenberg-Marquardt from the fitted triple with
// the calibration's settings, and evaluates T(S) at the signals asked for. The spread of
// those temperatures over the trials is u_mc; their 2.5 % and 97.5 % quantiles bound the
// probabilistically symmetric 95 % interval.
//
// The trials run on any number of threads with the same results to the last bit: each block
// of 16 trials draws from a generator of its own, seeded with the seed and the block's number,
// runs on one thread and writes only its own slots; the statistics are taken in trial order.

#include "core/uncertainty.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kelvora {

inline constexpr int DefaultMonteCarloTrials = 10000;
inline constexpr std::uint32_t DefaultMonteCarloSeed = 1;
// Each trial keeps its fitted triple until the statistics are taken.
inline constexpr int MaxMonteCarloTrials = 1000000;

struct MonteCarloProblem
{
    // The reference points, every one with its u(T_i) (kelvin).
    std::vector<UncertainPoint> points;
    // The fitted A, B, C: the mean of every draw's temperatures is the points' T, and every
    // refit starts here.
    TParamVector fitted;
    // The Levenberg-Marquardt settings of the calibration.
    int MaxIter = 50;
    long double Tol = 1e-9L;
    int trials = DefaultMonteCarloTrials; // 2 to MaxMonteCarloTrials
    std::uint32_t seed = DefaultMonteCarloSeed;
    // Where T(S) is evaluated.
    std::vector<long double> signalValues;
    int threads = 1; // 1 to 1024
};

// The spread of T(S) over the trials at one signal, kelvin.
struct MonteCarloValue
{
    long double mean = 0.0L;
    long double u = 0.0L;    // standard deviation over the trials (divisor M − 1)
    long double low = 0.0L;  // the 95 % interval's ends
    long double high = 0.0L;
};

struct MonteCarloOutcome
{
    int trials = 0; // asked for
    int failed = 0; // trials whose refit did not converge or raised a fault
    bool stopped = false;
    // Per signal, in the problem's order; empty for a signal where a trial's temperature
    // faults, and for every signal when the run stopped or fewer than two trials succeeded.
    std::vector<std::optional<MonteCarloValue>> values;
};

// What a display of the check hooks into. Every call comes from the thread that called
// RunMonteCarlo, whatever the number of threads.
class MonteCarloHost
{
public:
    virtual ~MonteCarloHost() = default;
    // Trials finished so far; called as they finish, every 16 trials or so.
    virtual void TrialsDone(int /*done*/, int /*failed*/) {}
    // Read after each block of trials of the calling thread; true ends the run: no value is
    // given then.
    virtual bool StopRequested() { return false; }
};

// Runs the check. A problem outside its bounds (fewer than 3 or more than 20 points, a point
// without u(T_i), a count of trials or threads out of range) raises RangeError.
MonteCarloOutcome RunMonteCarlo(const MonteCarloProblem &problem, MonteCarloHost &host);

// The 95 % interval of sorted values, as GUM Supplement 1 takes it: q = 0.95·M rounded to the
// nearest whole number, r = (M − q) / 2 rounded up, the interval [y_r, y_(r+q)] (from 1).
// `sorted` must hold at least one value.
void ProbabilisticallySymmetricInterval(const std::vector<long double> &sorted, long double &low,
                                        long double &high);

} // namespace kelvora
