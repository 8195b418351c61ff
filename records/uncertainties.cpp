#include "records/uncertainties.h"

#include "core/errors.h"
#include "core/numfmt.h"
#include "tables/rows.h"

#include <algorithm>
#include <cmath>

namespace kelvora {

TParamVector FittedTriple(const RecordStore &records, FitMethod method)
{
    const bool lm = method == FitMethod::LevenbergMarquardt;
    const Table &main = records.cdsMain;
    TParamVector P;
    P[1] = main.asFloat(lm ? "ALM" : "APSO");
    P[2] = main.asFloat(lm ? "BLM" : "BPSO");
    P[3] = main.asFloat(lm ? "CLM" : "CPSO");
    return P;
}

std::vector<UncertainPoint> UncertainPointsOf(RecordStore &records)
{
    std::vector<UncertainPoint> points;
    Table &bb = records.cdsBB;
    ForEachRow(bb, [&] {
        UncertainPoint point;
        point.S = bb.asFloat("S");
        point.T = bb.asFloat("T");
        if (!bb.isNull("uT"))
            point.u = static_cast<long double>(bb.asFloat("uT")) / 1000.0L;
        points.push_back(point);
    });
    return points;
}

UncertaintySettings UncertaintySettingsOf(const RecordStore &records)
{
    const Table &main = records.cdsMain;
    UncertaintySettings settings;
    if (!main.isNull("wS"))
        settings.w = main.asFloat("wS");
    const RecordRow record(main);
    if (const std::optional<int> trials = record.MCTrials())
        settings.trials = *trials;
    if (const std::optional<std::uint32_t> seed = record.MCSeed())
        settings.seed = *seed;
    return settings;
}

std::string UncertaintySettingsRefusal(const UncertaintySettings &settings)
{
    if (!(settings.w >= 0.0L && settings.w < MaxRelativeSignalUncertainty))
        return "The relative uncertainty of a signal must be at least 0 and below 1";
    if (settings.trials < 2 || settings.trials > MaxMonteCarloTrials)
        return "The number of Monte Carlo trials must be from 2 to "
               + std::to_string(MaxMonteCarloTrials);
    return {};
}

void SetUncertaintySettings(RecordStore &records, const UncertaintySettings &settings)
{
    if (const std::string refusal = UncertaintySettingsRefusal(settings); !refusal.empty())
        throw Error(refusal);
    Table &main = records.cdsMain;
    if (settings.w != UncertaintySettingsOf(records).w) {
        // U of the measurements was computed with the old w: left empty until they are
        // computed again, rather than shown wrong.
        Table &interp = records.cdsInterp;
        const SuspendedDisplays suspended(interp);
        ForEachRow(interp, [&] {
            if (interp.isNull("U"))
                return;
            interp.edit();
            interp.clear("U");
            interp.post();
        });
    }
    main.edit();
    main.setFloat("wS", static_cast<double>(settings.w));
    RecordRowEditor record(main);
    record.setMCTrials(settings.trials);
    record.setMCSeed(settings.seed);
    main.post();
}

std::optional<UncertaintyPropagation> PropagationOf(RecordStore &records, const TParamVector &P)
{
    try {
        return UncertaintyPropagation(P, UncertainPointsOf(records));
    } catch (const Error &) {
        return std::nullopt;
    }
}

std::vector<std::optional<InterpolatedUncertainty>> UncertaintiesAt(
    const std::optional<UncertaintyPropagation> &propagation, const TParamVector &P,
    const std::vector<long double> &signalValues, long double w)
{
    std::vector<std::optional<InterpolatedUncertainty>> values;
    values.reserve(signalValues.size());
    for (const long double S : signalValues) {
        try {
            if (propagation) {
                values.emplace_back(propagation->at(S, w));
            } else {
                const TemperatureDerivatives d = SHTemperatureDerivatives(P, S);
                InterpolatedUncertainty value;
                value.S = S;
                value.T = d.T;
                value.uSig = std::fabs(d.dS) * S * w;
                values.emplace_back(value);
            }
        } catch (const Error &) {
            values.emplace_back();
        }
    }
    return values;
}

std::vector<std::pair<double, double>> UncertaintyCurve(const UncertaintyPropagation &propagation,
                                                        const TParamVector &P, double TMin,
                                                        double TMax, long double w, int steps)
{
    std::vector<std::pair<double, double>> curve;
    if (!propagation.hasPointUncertainties() || !(TMax > TMin) || steps < 1)
        return curve;
    const double beyond = (TMax - TMin) / 6.0;
    const double low = std::max(TMin - beyond, TMin / 2.0);
    const double high = TMax + beyond;
    for (int k = 0; k <= steps; ++k) {
        const double T = low + (high - low) * k / steps;
        try {
            const long double S = SHSignal(P, T);
            if (const std::optional<long double> U = propagation.at(S, w).U)
                curve.emplace_back(T, static_cast<double>(*U * 1000.0L));
        } catch (const Error &) {
        }
    }
    return curve;
}

std::string UncertaintyResultsCsv(RecordStore &records)
{
    std::string csv = "No,S,T (K),U (mK)\n";
    Table &interp = records.cdsInterp;
    int row = 0;
    ForEachRow(interp, [&] {
        csv += std::to_string(++row) + ",";
        if (!interp.isNull("S"))
            csv += formatGeneral(interp.asFloat("S"), 12);
        csv += ",";
        if (!interp.isNull("T"))
            csv += formatFixed(interp.asFloat("T"), 15, 4);
        csv += ",";
        if (!interp.isNull("U"))
            csv += formatFixed(interp.asFloat("U"), 15, 3);
        csv += "\n";
    });
    return csv;
}

} // namespace kelvora
