#pragma once

#include "textio/textfile.h"

#include <string>
#include <utility>
#include <vector>

namespace kelvora {

// Most signals a signal list may hold.
inline constexpr int MaxSignals = 1000;

// Reads a signal list: the count on its first line, then one signal per line, anything after a
// number on its line ignored; signals missing at the end of the file read as 0. Throws
// RecordFileError: kind Check with "Number of signals must be from 1 to 1000", a carriage
// return and "Check the first line in the file " + path for a count outside 1..1000, and with
// the refusal of unstorableText naming the signal ("Signal 3 is too small to be stored: ...",
// written with `decimalSeparator`) for a signal that a double does not hold as it is; kind
// Read or Open with "Error in reading file " + path for every other failure.
std::vector<long double> readSignalList(const std::string &path, char decimalSeparator);

// The interpolation results file for rows of (signal, temperature): a count line, a header and
// one row per signal, every line ending in CR LF.
std::string interpolationResultsText(const std::vector<std::pair<double, double>> &rows);

} // namespace kelvora
