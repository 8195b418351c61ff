#include "certificatecontent/certificatedata.h"

#include "core/numfmt.h"
#include "records/uncertainties.h"
#include "tables/rows.h"

#include <algorithm>
#include <cmath>

namespace kelvora {

namespace {

FitMethod statedMethod(const Table &main, const CertificateChoices &choices)
{
    if (choices.method)
        return *choices.method;
    const RecordRow record(main);
    return record.meanRMSPSO() < record.meanRMSLM()
               ? FitMethod::ParticleSwarm
               : FitMethod::LevenbergMarquardt;
}

// The whole multiples of the step within the record's range of validity: first and last.
std::pair<long double, long double> tableSpan(const Table &main, int step)
{
    const RecordRow record(main);
    const long double first = std::ceil(record.TMin() / static_cast<long double>(step));
    const long double last = std::floor(record.TMax() / static_cast<long double>(step));
    return {first, last};
}

std::string kelvins(double value)
{
    return formatFixed(value, 15, 4) + " K";
}

void collectPoints(RecordStore &records, CertificateData &data)
{
    Table &bb = records.cdsBB;
    const ReferencePointRow bbRow(bb);
    const bool swarm = data.method == FitMethod::ParticleSwarm;
    ForEachRow(bb, [&] {
        CertificatePoint point;
        point.S = bbRow.S();
        point.T = bbRow.T();
        point.fittedT = swarm ? bbRow.TPSO() : bbRow.TLM();
        point.deviation = swarm ? bbRow.dTPSO() : bbRow.dTLM();
        data.points.push_back(point);
    });
}

void collectTable(const Table &main, CertificateData &data)
{
    const auto [first, last] = tableSpan(main, data.step);
    for (long double k = first; k <= last; ++k) {
        CalibrationRow row;
        row.T = k * data.step;
        row.S = SHSignal(data.P, row.T);
        if (row.S == NoValue || !std::isfinite(row.S))
            throw FloatError(FloatError::Kind::Overflow);
        data.table.push_back(row);
    }
}

void collectMeasurements(RecordStore &records, CertificateData &data)
{
    Table &interp = records.cdsInterp;
    ForEachRow(interp, [&] {
        CertificateMeasurement measurement;
        measurement.S = MeasurementRow(interp).S();
        measurement.signalOutside =
            measurement.S < data.SMin || measurement.S > data.SMax;
        try {
            const long double T = SHTemperature(data.P, measurement.S);
            if (T == NoValue || !std::isfinite(T))
                throw FloatError(FloatError::Kind::Invalid);
            measurement.T = T;
            // Compared as the stored temperature would be.
            const double stored = static_cast<double>(T);
            measurement.temperatureOutside = stored < data.TMin || stored > data.TMax;
        } catch (const FloatError &error) {
            measurement.fault = error.what();
        }
        data.measurements.push_back(measurement);
    });
}

} // namespace

bool HasUncertainties(const CertificateData &data)
{
    return std::any_of(data.points.begin(), data.points.end(),
                       [](const CertificatePoint &p) { return p.u.has_value(); })
           || std::any_of(data.table.begin(), data.table.end(),
                          [](const CalibrationRow &r) { return r.U.has_value(); })
           || std::any_of(data.measurements.begin(), data.measurements.end(),
                          [](const CertificateMeasurement &m) { return m.U.has_value(); });
}

std::string RecordCertificateRefusal(RecordStore &records)
{
    const Table &main = records.cdsMain;
    const RecordRow mainRow(main);
    if (main.recordCount() == 0)
        return "There is no record to certify";
    const std::string name = mainRow.name();
    if (!mainRow.computed())
        return "The record \"" + name + "\" has no calibration results: compute its"
               " parameters and save them before a certificate is issued";
    if (records.cdsBB.isEmpty())
        return "The record \"" + name + "\" has no reference points";
    return {};
}

std::string CertificateRefusal(RecordStore &records, const CertificateChoices &choices)
{
    if (std::string refusal = RecordCertificateRefusal(records); !refusal.empty())
        return refusal;
    const Table &main = records.cdsMain;
    const RecordRow mainRow(main);
    if (choices.step < 1 || choices.step > MaxTableStep)
        return "The step of the calibration table must be a whole number of kelvins from 1"
               " to " + std::to_string(MaxTableStep);
    const auto [first, last] = tableSpan(main, choices.step);
    const std::string range = "from " + kelvins(mainRow.TMin()) + " to "
                              + kelvins(mainRow.TMax());
    if (last < first)
        return "No multiple of " + std::to_string(choices.step) + " K lies in the range of"
               " validity, " + range + ": choose a smaller step";
    if (last - first + 1 > MaxTableRows)
        return "A step of " + std::to_string(choices.step) + " K gives more than "
               + std::to_string(MaxTableRows) + " rows in the range of validity, " + range
               + ": choose a larger step";
    return {};
}

CertificateData CollectCertificateData(RecordStore &records, const CertificateIssue &issue,
                                       const CertificateChoices &choices)
{
    const Table &main = records.cdsMain;
    const RecordRow mainRow(main);
    CertificateData data;
    data.laboratory = issue.laboratory;
    data.number = issue.number;
    data.issued = issue.issued;

    data.item = ItemDetailsOf(records);
    data.recordName = mainRow.name();
    data.meanWL = mainRow.meanWL();
    data.bandwidth = mainRow.bandwidth();
    data.calibrated = mainRow.processed();

    data.method = statedMethod(main, choices);
    data.methodChosen = choices.method.has_value();
    const bool swarm = data.method == FitMethod::ParticleSwarm;
    data.parameters = ParameterTextsOf(records, data.method, TextLocale{});
    data.P[1] = parseFloat(data.parameters.A);
    data.P[2] = parseFloat(data.parameters.B);
    data.P[3] = parseFloat(data.parameters.C);
    data.meanRMS = swarm ? mainRow.meanRMSPSO() : mainRow.meanRMSLM();
    data.otherMeanRMS = swarm ? mainRow.meanRMSLM() : mainRow.meanRMSPSO();
    if (swarm)
        data.swarmSeed = mainRow.seed();

    data.TMin = mainRow.TMin();
    data.TMax = mainRow.TMax();
    data.SMin = mainRow.SMin();
    data.SMax = mainRow.SMax();
    collectPoints(records, data);
    data.step = choices.step;
    collectTable(main, data);
    collectMeasurements(records, data);
    data.remarks = mainRow.rem();

    AddEvaluatedUncertainties(data, records);
    return data;
}

void AddEvaluatedUncertainties(CertificateData &data, RecordStore &records)
{
    const std::vector<UncertainPoint> points = UncertainPointsOf(records);
    for (std::size_t i = 0; i < points.size() && i < data.points.size(); ++i) {
        if (points[i].u)
            data.points[i].u = static_cast<double>(*points[i].u * 1000.0L);
    }
    const std::optional<UncertaintyPropagation> propagation = PropagationOf(records, data.P);
    if (!propagation || !propagation->hasPointUncertainties())
        return;
    if (const auto ratio = propagation->birgeRatio())
        data.birgeRatio = static_cast<double>(*ratio);
    const long double w = UncertaintySettingsOf(records).w;
    const auto expanded = [&](long double S) -> std::optional<double> {
        try {
            if (const auto U = propagation->at(S, w).U)
                return static_cast<double>(*U * 1000.0L);
        } catch (const Error &) {
        }
        return std::nullopt;
    };
    for (CalibrationRow &row : data.table)
        row.U = expanded(row.S);
    for (CertificateMeasurement &m : data.measurements) {
        if (m.T)
            m.U = expanded(m.S);
    }
}

} // namespace kelvora
