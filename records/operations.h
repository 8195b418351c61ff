#pragma once

#include "calibration/run.h"
#include "core/datetime.h"
#include "core/global.h"
#include "records/recordstore.h"
#include "textio/recordfile.h"
#include "textio/report.h"
#include "textio/signals.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kelvora {

// Record operations shared by the window and the command-line tool. Each works on the
// current record; the caller has shown its dialogs before and shows any message after.

// The message of a value the import cannot store.
inline constexpr const char *WriteFailedText = "Error writing data to database";

// Fills the reference set (NPoints, RefS, RefT) with the file's points in file order: what
// the Saunders-White guess of an import averages over.
void LoadReferenceSet(const RecordFileData &file);

// Adds the imported record as a new current record: the record with Name, MeanWL, Bandwidth
// (a store refusal propagates as StoreError and leaves the record in insert state), its
// points (a failure: Error WriteFailedText; the points so far stay in the record's pending
// edit, stored when it is next posted), the Saunders-White guess over the reference set
// filled from the file (same message), and its reference range. Name is cut to 100
// characters.
void ImportRecord(RecordStore &records, const RecordFileData &file, const std::string &name);

// A calibration needs at least this many reference points: three parameters are fitted.
inline constexpr int MinCalibrationPoints = 3;

// The refusal of a calibration of a record with n < MinCalibrationPoints reference points.
std::string NotEnoughPointsText(int n);

// Why the current record cannot be calibrated (too few reference points), or empty.
std::string CalibrationRefusal(RecordStore &records);

// What a calibration run reads from the current record: AS, BS, CS (empty = 0) and its
// reference points in table order. The reference cursor stays where it was.
RunInput RunInputOf(RecordStore &records);

// Writes the held results of the last calibration run (LMResult, LMMeanRMS, PSOResult,
// PSOMeanRMS; NPoints, RefS, RefT) into the current record and its reference points, marks
// it computed and stamps Processed with `now`.
void SaveResults(RecordStore &records, DateTime now);

// The parameter texts of the chosen method (0 = Levenberg-Marquardt, 1 = particle swarm),
// each the field read as a string.
struct ParameterTexts
{
    std::string A, B, C;
};
ParameterTexts ParameterTextsOf(const RecordStore &records, int method,
                                const TextLocale &locale);

// Interpolates every measurement with the triple parsed from the texts ("'x' is not a valid
// floating point value" before anything changed; more than 1000 rows: "Range check error").
// `temperatureWarning` runs when a temperature lies outside TMin..TMax, before the record is
// posted. A floating-point fault stops at its row and propagates: that row keeps its old
// temperature, the rows before it keep their new ones and the record is posted, so that no
// table is left editing and the displays are resumed.
void InterpolateMeasurements(RecordStore &records, const ParameterTexts &texts,
                             char decimalSeparator,
                             const std::function<void()> &temperatureWarning = {});

// True if a measured signal (temperature) lies outside the record's reference range; a
// value equal to a bound lies inside. Fills NSignals and SigS (SigT); more than 1000 rows or
// none: "Range check error". The current measurement row stays where it was.
bool SignalsOutOfRange(RecordStore &records);
bool TemperaturesOutOfRange(RecordStore &records);

// The measurement working arrays of the range tests (MaxSignals of the signal lists).
inline int NSignals = 0;
inline IndexedArray<long double, MaxSignals> SigS;
inline IndexedArray<long double, MaxSignals> SigT;

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

// The report of the current record, for recordReportText.
RecordReport CollectRecordReport(RecordStore &records, const TextLocale &locale);
// Signal and temperature (empty = 0) of every measurement, in table order.
std::vector<std::pair<double, double>> CollectMeasurements(RecordStore &records);

// Proposed file names: Name_Created for the report, Name_Created_Processed for the results,
// cleaned by SafeFileName (without extension).
std::string ProposedReportName(const RecordStore &records, const TextLocale &locale);
std::string ProposedResultsName(const RecordStore &records, const TextLocale &locale);

} // namespace kelvora
