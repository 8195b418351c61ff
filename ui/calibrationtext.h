#pragma once

#include "calibration/run.h"
#include "core/datetime.h"
#include "core/montecarlo.h"
#include "core/uncertainty.h"

#include <QString>
#include <QStringList>

#include <exception>
#include <optional>
#include <vector>

namespace kelvora {

// The texts of the calibration window: a fit's results as its boxes and memos show them, the
// swarm's progress, the uncertainties at the reference points, and the run's settings read
// from what the user typed.

// A fitted A, B or C in the 15-digit general format, and the widest texts of that format.
QString parameterText(long double value, char decimalSeparator);
QStringList widestParameterTexts(const TextLocale &locale);
// A mean RMS (mK) with four decimals, and the widest texts of that format.
QString meanRMSText(long double value, char decimalSeparator);
QStringList widestMeanRMSTexts(const TextLocale &locale);
// The memo of a fit's temperatures, a line per reference point.
QString fitLinesText(const std::vector<FitLine> &lines);
// The progress bar's text: the pass counted from 1, and the sweep within it.
QString progressText(int pass, int passes, int sweep, int sweepsPerPass);

// The memo of the uncertainties at the reference points: a heading, then per point T (K),
// u_fit, u_ref and u_mc (mK) of the check's values, "-" where a value is absent.
QString uncertaintyTableText(const std::vector<UncertainPoint> &points,
                             const UncertaintyPropagation &propagation,
                             const std::vector<std::optional<MonteCarloValue>> &checked,
                             char decimalSeparator);
// What to make of the uncertainties: the line shown under the memo and its whole text.
struct UncertaintyRemark
{
    QString line;
    QString whole;
};
UncertaintyRemark uncertaintyRemark(const UncertaintyPropagation &propagation,
                                    char decimalSeparator);

// The search range of the swarm, a factor on each side of the Levenberg-Marquardt result: its
// limits, and the decimals its edit writes.
inline constexpr long double SearchRangeMin = 1.0L;
inline constexpr long double SearchRangeMax = 1000.0L;
inline constexpr int SearchRangeDecimals = 1;

// The settings of a fit as the user typed them; an empty seed takes one from the clock.
struct TypedFitSettings
{
    QString maxIterations;
    QString tolerance;
    QString restarts;
    QString searchRange;
    QString seed;
};
struct FitSettings
{
    RunSettings run;
    // The refusal of a setting the swarm needs, raised once the Levenberg-Marquardt stage has
    // ended, where the fit reads it; the fit then runs that stage alone.
    std::exception_ptr swarmRefusal;
};
// The settings read from their texts. A text that is not a number raises the conversion
// error, a number the fit cannot use its refusal.
FitSettings fitSettingsOf(const TypedFitSettings &typed, char decimalSeparator);

} // namespace kelvora
