#pragma once

#include "cli/json.h"
#include "core/montecarlo.h"
#include "core/uncertainty.h"

#include <optional>
#include <string>
#include <vector>

namespace kelvora::cli {

// The uncertainties of the temperatures of a signal list at a fitted triple, with the Monte
// Carlo check when it ran.
struct SignalUncertainties
{
    std::vector<long double> signals;
    // Per signal; empty where the signal has no temperature.
    std::vector<std::optional<InterpolatedUncertainty>> values;
    std::optional<long double> birgeRatio;
    std::optional<MonteCarloOutcome> monteCarlo;
};

// What the Monte Carlo check is asked to do; trials 0: no check.
struct MonteCarloRequest
{
    int trials = 0;
    std::uint32_t seed = DefaultMonteCarloSeed;
    int threads = 1;
    int MaxIter = 50;
    long double Tol = 1e-9L;
};

// Propagates the points' uncertainties to the signals at P, the signals' relative
// uncertainty being w, and runs the check when asked. A check that cannot run (a point
// without u(T_i)) says why on standard error and leaves monteCarlo empty.
SignalUncertainties signalUncertainties(const std::vector<UncertainPoint> &points,
                                        const TParamVector &P,
                                        const std::vector<long double> &signals, long double w,
                                        const MonteCarloRequest &request);

// The list under "interpolated": per signal "S", "T", "u_ref", "u_sig", "u_c", "U", "u_fit"
// and after the check "u_mc", "mc_low", "mc_high"; kelvins as strings, absent values null.
Json jsonInterpolated(const SignalUncertainties &u);
// The Birge ratio as a string, or null.
Json jsonBirgeRatio(const SignalUncertainties &u);
// Adds "interpolated" and "birge_ratio" to the report, and after the check "mc_trials" and
// "mc_failed".
void addUncertainties(Json &report, const SignalUncertainties &u);

// A table of the signals with T and their uncertainties in mK, and the Birge-ratio remark.
std::string plainUncertainties(const SignalUncertainties &u);

} // namespace kelvora::cli
