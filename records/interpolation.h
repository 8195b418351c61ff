#pragma once

#include "core/datetime.h"
#include "core/global.h"
#include "tables/recordstore.h"
#include "textio/signals.h"

#include <functional>
#include <string>
#include <vector>

namespace kelvora {

// Temperatures of the measured signals of the current record, with the warnings of signals
// and temperatures outside its reference range.

// The fit whose parameters an interpolation applies.
enum class FitMethod { LevenbergMarquardt, ParticleSwarm };

// The parameter texts of that fit, each the field read as a string.
struct ParameterTexts
{
    std::string A, B, C;
};
ParameterTexts ParameterTextsOf(const RecordStore &records, FitMethod method,
                                const TextLocale &locale);

// Interpolates every measurement with the triple parsed from the texts ("'x' is not a valid
// floating point value" before anything changed; more than 1000 rows: "Range check error"),
// and gives each its expanded uncertainty U (k = 2, mK) where every reference point has its
// u(T_i), U empty elsewhere.
// `temperatureWarning` runs when a temperature lies outside TMin..TMax, before the record is
// posted. A floating-point fault stops at its row and propagates, its text followed by a line
// that names the measurement, its signal and, for a signal of 0 or below, why it has no
// temperature: that row keeps its old temperature, the rows before it keep their new ones and
// the record is posted, so that no table is left editing and the displays are resumed.
void InterpolateMeasurements(RecordStore &records, const ParameterTexts &texts,
                             char decimalSeparator,
                             const std::function<void()> &temperatureWarning = {});

// True if a measured signal (temperature) lies outside the record's reference range; a
// value equal to a bound lies inside. More than 1000 rows (MaxSignals of the signal lists) or
// none: "Range check error". The current measurement row stays where it was.
bool SignalsOutOfRange(RecordStore &records);
bool TemperaturesOutOfRange(RecordStore &records);
// True if the temperature lies outside the current record's TMin..TMax, as those tests
// compare.
bool TemperatureOutOfRange(const RecordStore &records, long double temperature);

// Which out-of-range warning to show: signals after a signal list was loaded, temperatures
// after an interpolation.
inline constexpr int OutOfRangeSignals = 1;
inline constexpr int OutOfRangeTemperatures = 2;
// The warning's text for that kind (any kind but OutOfRangeSignals gives the temperature
// text); lines separated by "\r", an empty line by two.
std::string OutOfRangeText(int kind);

// Replaces the measurements of the current record by the signals (1..1000), with empty
// temperatures, first row current (more than 1000 or none: "Range check error", and a signal
// beyond a double's range: "Floating point overflow", both before anything changed);
// `signalWarning` runs when a signal lies outside the reference range, before the record is
// posted.
void LoadSignals(RecordStore &records, const std::vector<long double> &signalValues,
                 const std::function<void()> &signalWarning = {});

} // namespace kelvora
