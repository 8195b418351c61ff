#pragma once

#include "core/montecarlo.h"
#include "core/uncertainty.h"
#include "records/interpolation.h"
#include "tables/recordstore.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kelvora {

// The uncertainties of the current record: its reference points with their u(T_i), its
// settings, and the propagation at a triple. u(T_i) is stored in mK, every value here is in
// kelvin.

// The triple of the current record's fit, as stored.
TParamVector FittedTriple(const RecordStore &records, FitMethod method);

// The reference points of the current record in their order, u empty where not given.
std::vector<UncertainPoint> UncertainPointsOf(RecordStore &records);

// The record's uncertainty settings; an empty field gives the default.
struct UncertaintySettings
{
    long double w = 0.0L; // relative standard uncertainty of a measured signal
    int trials = DefaultMonteCarloTrials;
    std::uint32_t seed = DefaultMonteCarloSeed;
};
UncertaintySettings UncertaintySettingsOf(const RecordStore &records);
// w is a relative uncertainty: from 0 up to, not including, 1.
inline constexpr long double MaxRelativeSignalUncertainty = 1.0L;
// Why the settings cannot be kept ("" when they can): w out of its range, or trials out of
// 2..MaxMonteCarloTrials.
std::string UncertaintySettingsRefusal(const UncertaintySettings &settings);
// Writes the settings into the current record; a refused value raises Error with the refusal.
// A new w empties U of the measurements until they are computed again.
void SetUncertaintySettings(RecordStore &records, const UncertaintySettings &settings);

// The propagation of the current record's points at P; empty when the points do not fix A, B
// and C there or a floating-point fault stops it.
std::optional<UncertaintyPropagation> PropagationOf(RecordStore &records, const TParamVector &P);

// Every figure at each signal, T and u_sig alone where the propagation is absent; empty where
// the signal has no temperature.
std::vector<std::optional<InterpolatedUncertainty>> UncertaintiesAt(
    const std::optional<UncertaintyPropagation> &propagation, const TParamVector &P,
    const std::vector<long double> &signalValues, long double w);

// U (k = 2, mK) against T over the reference temperatures TMin..TMax and a sixth of their
// span beyond each end, in `steps` equal steps of T: (T, U) where T has a signal and U a
// value. Empty without every point's u(T).
std::vector<std::pair<double, double>> UncertaintyCurve(const UncertaintyPropagation &propagation,
                                                        const TParamVector &P, double TMin,
                                                        double TMax, long double w,
                                                        int steps = 200);

// The results with uncertainties of the current record's measurements as CSV: one header
// line, a row per measurement with its number, signal, temperature (K) and U (k = 2, mK),
// U empty where the reference points have no uncertainties. Lines end in LF.
std::string UncertaintyResultsCsv(RecordStore &records);

} // namespace kelvora
