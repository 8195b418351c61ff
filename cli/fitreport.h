#pragma once

#include "calibration/run.h"
#include "cli/json.h"
#include "tables/recordstore.h"

#include <string>

namespace kelvora::cli {

// A record as the store would hold it after importing a record file: every value a double.
struct FitRecord
{
    double MeanWL = 0.0;
    double Bandwidth = 0.0;
    RunInput Input; // the Saunders-White guess AS, BS, CS and the points
};

// What a calibration of the current record reads from it.
FitRecord FitRecordOf(RecordStore &records);

// The inputs, the start values, and per method its status, parameters, mean RMS and the
// fitted temperatures (and the swarm's seed, which repeats its fit), as readable text.
std::string plainFitReport(const FitRecord &record, const RunOutcome &outcome);

// The same as one JSON object; every extended or double value is a string of 21 significant
// digits, counts are numbers.
Json jsonFitReport(const FitRecord &record, const RunOutcome &outcome);

} // namespace kelvora::cli
