#pragma once

#include "core/datetime.h"
#include "tables/recordstore.h"
#include "textio/report.h"

#include <string>
#include <utility>
#include <vector>

namespace kelvora {

// The report of the current record, for recordReportText.
RecordReport CollectRecordReport(RecordStore &records, const TextLocale &locale);
// Signal and temperature (empty = 0) of every measurement, in table order.
std::vector<std::pair<double, double>> CollectMeasurements(RecordStore &records);

// Proposed file names: Name_Created for the report, Name_Created_Processed for the results,
// cleaned by SafeFileName (without extension).
std::string ProposedReportName(const RecordStore &records, const TextLocale &locale);
std::string ProposedResultsName(const RecordStore &records, const TextLocale &locale);

} // namespace kelvora
