#include "ui/calibrationtext.h"

#include "core/errors.h"
#include "core/numfmt.h"
#include "ui/sizing.h"


#include <cstdint>
#include <limits>

namespace kelvora {

namespace {

// The formats of the fitted parameters and of the mean RMS.
constexpr int ParameterDigits = 15;
constexpr int MeanRMSPrecision = 9;
constexpr int MeanRMSDecimals = 4;

QString millikelvins(const std::optional<long double> &value, char decimalSeparator)
{
    if (!value)
        return QStringLiteral("-");
    return QString::fromStdString(formatFixed(*value * 1000.0L, 15, 3, decimalSeparator));
}

} // namespace

QString parameterText(long double value, char decimalSeparator)
{
    return QString::fromStdString(formatGeneral(value, ParameterDigits, decimalSeparator));
}

QStringList widestParameterTexts(const TextLocale &locale)
{
    return widestGeneralTexts(ParameterDigits, locale, ValueRange::Extended);
}

QString meanRMSText(long double value, char decimalSeparator)
{
    return QString::fromStdString(
        formatFixed(value, MeanRMSPrecision, MeanRMSDecimals, decimalSeparator));
}

QStringList widestMeanRMSTexts(const TextLocale &locale)
{
    return widestFixedTexts(MeanRMSPrecision, MeanRMSDecimals, locale, ValueRange::Extended);
}

QString fitLinesText(const std::vector<FitLine> &lines)
{
    QStringList text;
    for (const FitLine &line : lines)
        text << QString::fromStdString(line.Text);
    return text.join(QLatin1Char('\n'));
}

QString progressText(int pass, int passes, int sweep, int sweepsPerPass)
{
    return QStringLiteral("Pass %1 of %2, sweep %3 of %4")
        .arg(pass)
        .arg(passes)
        .arg(sweep)
        .arg(sweepsPerPass);
}

QString uncertaintyTableText(const std::vector<UncertainPoint> &points,
                             const UncertaintyPropagation &propagation,
                             const std::vector<std::optional<MonteCarloValue>> &checked,
                             char decimalSeparator)
{
    QStringList lines{QStringLiteral("T (K)  u_fit  u_ref  u_mc (mK)")};
    for (std::size_t i = 0; i < points.size(); ++i) {
        const InterpolatedUncertainty u = propagation.at(points[i].S, 0.0L);
        std::optional<long double> mc;
        if (i < checked.size() && checked[i])
            mc = checked[i]->u;
        lines << QString::fromStdString(formatFixed(points[i].T, 15, 4, decimalSeparator))
                     + QStringLiteral("  ") + millikelvins(u.uFit, decimalSeparator)
                     + QStringLiteral("  ") + millikelvins(u.uRef, decimalSeparator)
                     + QStringLiteral("  ") + millikelvins(mc, decimalSeparator);
    }
    return lines.join(QLatin1Char('\n'));
}

UncertaintyRemark uncertaintyRemark(const UncertaintyPropagation &propagation,
                                    char decimalSeparator)
{
    if (const auto ratio = propagation.birgeRatio())
        return {QString::fromStdString(BirgeRatioShortRemark(*ratio, decimalSeparator)),
                QString::fromStdString(BirgeRatioRemark(*ratio, decimalSeparator))};
    if (!propagation.hasPointUncertainties())
        return {QStringLiteral("No u_ref: u(T) of a reference point is missing"),
                QStringLiteral("Give u(T) of every reference point for u_ref, U and the Birge "
                               "ratio; u_fit alone comes from the scatter of the points.")};
    const QString remark =
        QStringLiteral("Three points leave no scatter: no u_fit, no Birge ratio");
    return {remark, remark};
}

namespace {

// The refusal of a setting that is a number the fit cannot use.
Error refusedSetting(const QString &typed, const char *setting, const QString &limits)
{
    return Error(QStringLiteral("'%1' is not a valid %2: it must be %3")
                     .arg(typed, QLatin1String(setting), limits)
                     .toStdString());
}

// A whole number of at least `least`.
int wholeSetting(const QString &typed, const char *setting, int least)
{
    const int value = parseInt(typed.toStdString());
    if (value < least)
        throw refusedSetting(typed, setting, QStringLiteral("at least %1").arg(least));
    return value;
}

long double toleranceSetting(const QString &typed, char decimalSeparator)
{
    const long double tolerance = parseFloat(typed.toStdString(), decimalSeparator);
    // A tolerance of 0 or less is never reached: the fit could only fail.
    if (!(tolerance > 0.0L))
        throw refusedSetting(typed, "Tolerance", QStringLiteral("greater than 0"));
    return tolerance;
}

std::optional<std::uint32_t> seedSetting(const QString &typed)
{
    if (typed.trimmed().isEmpty())
        return std::nullopt;
    bool whole = false;
    const qlonglong seed = typed.trimmed().toLongLong(&whole);
    if (!whole)
        throw ConvertError("'" + typed.toStdString() + "' is not a valid integer value");
    if (seed < 0 || seed > std::numeric_limits<std::uint32_t>::max())
        throw refusedSetting(typed, "Seed", QStringLiteral("from 0 to 4294967295"));
    return static_cast<std::uint32_t>(seed);
}

long double searchRangeSetting(const QString &typed, char decimalSeparator)
{
    const long double range = parseFloat(typed.toStdString(), decimalSeparator);
    if (!(range >= SearchRangeMin && range <= SearchRangeMax)) {
        const auto limit = [decimalSeparator](long double value) {
            return QString::fromStdString(
                formatFixed(value, 15, SearchRangeDecimals, decimalSeparator));
        };
        throw refusedSetting(typed, "Search Range",
                             QStringLiteral("from %1 to %2")
                                 .arg(limit(SearchRangeMin), limit(SearchRangeMax)));
    }
    return range;
}

} // namespace

FitSettings fitSettingsOf(const TypedFitSettings &typed, char decimalSeparator)
{
    FitSettings read;
    RunSettings &settings = read.run;
    settings.DecimalSeparator = decimalSeparator;
    // Fewer than one iteration would set no limit to a fit that cannot be stopped.
    settings.MaxIter = wholeSetting(typed.maxIterations, "Max. Number of Iterations", 1);
    settings.Tol = toleranceSetting(typed.tolerance, decimalSeparator);
    try {
        settings.NRestarts = wholeSetting(typed.restarts, "Number of Restarts", 0);
        settings.SearchRange = searchRangeSetting(typed.searchRange, decimalSeparator);
        settings.Seed = seedSetting(typed.seed);
    } catch (const Error &) {
        read.swarmRefusal = std::current_exception();
        settings.LMOnly = true;
    }
    return read;
}

} // namespace kelvora
