#pragma once

#include "calibration/run.h"
#include "cli/options.h"

#include <optional>
#include <set>
#include <string>

namespace kelvora::cli {

// The options that choose the settings of a calibration run: --max-iter N (1 to 1000000),
// --tol X (above 0, below 1), --restarts N (0 to 1000000), --range W (1.0 to 1000.0),
// --seed N (0 to 4294967295), --threads N (1 to 1024).
const std::set<std::string> &runOptionNames();

struct RunOptions
{
    RunSettings settings; // SearchRange left at its default
    std::optional<long double> range; // --range when given; else the record decides
};

// Reads the run options out of a parsed command line; a bad value raises UsageError.
RunOptions runOptionsFrom(const ParsedOptions &options);

// A calibration run on the input with the options, the search range defaulting to the one
// its number of points gives; the swarm's progress shows on standard error when that is a
// terminal.
RunOutcome runWithProgress(const RunInput &input, const RunOptions &options);

} // namespace kelvora::cli
