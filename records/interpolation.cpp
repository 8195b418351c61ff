#include "records/interpolation.h"

#include "core/fpe.h"
#include "core/numfmt.h"
#include "records/uncertainties.h"
#include "tables/rows.h"

#include <exception>

namespace kelvora {

namespace {

// One field of every measurement, in table order, the current row kept.
std::vector<long double> scanMeasurements(Table &interp, double (MeasurementRow::*field)() const)
{
    const MeasurementRow measurement(interp);
    const int NSignals = interp.recordCount();
    if (NSignals < 1 || NSignals > MaxSignals)
        throw RangeError();
    std::vector<long double> values;
    values.reserve(static_cast<std::size_t>(NSignals));
    ForEachRow(interp, [&] { values.push_back((measurement.*field)()); });
    return values;
}

// A value equal to a bound lies inside; empty bounds read as 0.
bool outside(long double value, long double low, long double high)
{
    return value > high || value < low;
}

// True if one of the values lies outside low..high.
bool outsideRange(const std::vector<long double> &values, long double low, long double high)
{
    for (const long double value : values) {
        if (outside(value, low, high))
            return true;
    }
    return false;
}

// Which measurement a floating-point fault of the interpolation met, and for a signal that has
// no temperature, why.
std::string faultPlace(int row, long double signal, char decimalSeparator)
{
    std::string place = "Measurement " + std::to_string(row) + " has the signal "
                        + formatGeneral(signal, 12, decimalSeparator);
    if (signal == 0.0L)
        place += " (a signal list that ends before its count reads the missing signals as 0)";
    if (!(signal > 0.0L))
        place += "; a temperature needs a positive signal";
    return place;
}

} // namespace

ParameterTexts ParameterTextsOf(const RecordStore &records, FitMethod method,
                                const TextLocale &locale)
{
    const Table &main = records.cdsMain;
    const RecordRow mainRow(main);
    switch (method) {
    case FitMethod::LevenbergMarquardt:
        return {mainRow.text(RecordField::ALM, locale), mainRow.text(RecordField::BLM, locale),
                mainRow.text(RecordField::CLM, locale)};
    case FitMethod::ParticleSwarm:
        return {mainRow.text(RecordField::APSO, locale),
                mainRow.text(RecordField::BPSO, locale),
                mainRow.text(RecordField::CPSO, locale)};
    }
    throw RangeError();
}

void InterpolateMeasurements(RecordStore &records, const ParameterTexts &texts,
                             char decimalSeparator,
                             const std::function<void()> &temperatureWarning)
{
    Table &interp = records.cdsInterp;
    MeasurementRowEditor interpRow(interp);

    TParamVector P;
    P[1] = parseFloat(texts.A, decimalSeparator);
    P[2] = parseFloat(texts.B, decimalSeparator);
    P[3] = parseFloat(texts.C, decimalSeparator);

    const int n = interp.recordCount();
    if (n < 1 || n > MaxSignals)
        throw RangeError();

    // U beside each temperature where every reference point has its uncertainty.
    std::optional<UncertaintyPropagation> propagation = PropagationOf(records, P);
    if (propagation && !propagation->hasPointUncertainties())
        propagation.reset();
    const long double w = UncertaintySettingsOf(records).w;
    const auto expandedUncertainty = [&](long double signal) -> std::optional<long double> {
        if (!propagation)
            return std::nullopt;
        try {
            return propagation->at(signal, w).U;
        } catch (const Error &) {
            return std::nullopt;
        }
    };

    {
        const SuspendedDisplays suspended(interp);
        int row = 0;
        long double signal = 0.0L;
        const auto stopAtFault = [&] {
            // The faulting row keeps its old temperature; the rows before it keep their new
            // ones and are stored in the record.
            if (interp.isEditing())
                interp.cancel();
            PostIfEditing(records.cdsMain);
        };
        try {
            for (row = 1; row <= n; ++row) {
                interp.setRecNo(row);
                interp.edit();
                signal = interpRow.S();
                interpRow.setT(StoredDouble(SHTemperature(P, signal)));
                interpRow.clear(MeasurementField::U);
                if (const std::optional<long double> U = expandedUncertainty(signal))
                    interpRow.setU(StoredDouble(*U * 1000.0L));
                interp.post();
            }
        } catch (const FloatError &fault) {
            stopAtFault();
            throw FloatError(fault.kind(), faultPlace(row, signal, decimalSeparator));
        } catch (const std::exception &) {
            stopAtFault();
            throw;
        }
    }

    if (TemperaturesOutOfRange(records) && temperatureWarning)
        temperatureWarning();
    PostIfEditing(records.cdsMain);
}

bool SignalsOutOfRange(RecordStore &records)
{
    const std::vector<long double> SigS =
        scanMeasurements(records.cdsInterp, &MeasurementRow::S);
    const RecordRow record(records.cdsMain);
    return outsideRange(SigS, record.SMin(), record.SMax());
}

bool TemperaturesOutOfRange(RecordStore &records)
{
    const std::vector<long double> SigT =
        scanMeasurements(records.cdsInterp, &MeasurementRow::T);
    const RecordRow record(records.cdsMain);
    return outsideRange(SigT, record.TMin(), record.TMax());
}

bool TemperatureOutOfRange(const RecordStore &records, long double temperature)
{
    const RecordRow record(records.cdsMain);
    return outside(temperature, record.TMin(), record.TMax());
}

void LoadSignals(RecordStore &records, const std::vector<long double> &signalValues,
                 const std::function<void()> &signalWarning)
{
    Table &interp = records.cdsInterp;
    if (signalValues.empty() || signalValues.size() > static_cast<std::size_t>(MaxSignals))
        throw RangeError();

    // Converted before anything is deleted, so that a signal beyond a double's range leaves
    // the measurements as they were.
    std::vector<double> stored;
    stored.reserve(signalValues.size());
    for (const long double signal : signalValues)
        stored.push_back(StoredDouble(signal));

    DeleteAllRows(interp);
    {
        const SuspendedDisplays suspended(interp);
        for (const double signal : stored) {
            interp.append();
            MeasurementRowEditor(interp).setS(signal);
            interp.post();
        }
        interp.first();
    }

    if (SignalsOutOfRange(records) && signalWarning)
        signalWarning();
    PostIfEditing(records.cdsMain);
}

std::string OutOfRangeText(int kind)
{
    if (kind == OutOfRangeSignals)
        return "Signal for one or several records is out of\r"
               "the signal range for the reference blackbodies.\r"
               "\r"
               "Uncertainties of temperatures calculated for such\r"
               "signals can be higher than the uncertainties for\r"
               "temperatures that correspond to the signals lying\r"
               "within this range.";
    return "Temperature for one or several records is out of\r"
           "the temperature range for the reference blackbodies.\r"
           "\r"
           "Uncertainties of temperatures calculated for such\r"
           "records can be higher than the uncertainties for\r"
           "temperatures lying within this range.";
}

} // namespace kelvora
