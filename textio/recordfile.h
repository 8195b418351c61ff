#pragma once

#include "core/global.h"
#include "textio/textfile.h"

#include <optional>
#include <string>
#include <vector>

namespace kelvora {

// The values of a record file that passed every check.
struct RecordFileData
{
    long double MeanWL = 0;
    long double Bandwidth = 0;
    int N = 0;
    std::vector<long double> S;
    std::vector<long double> T;
    // The standard uncertainty of each T in mK, where its line gives one.
    std::vector<std::optional<long double>> uT;
    // One line for each point whose line goes on after the temperature with what looks like a
    // number but is not read as u(T): "Point 3: '5 mK' after the temperature is not read as
    // u(T)".
    std::vector<std::string> unreadUncertainties;
};

// Reads and checks a record file: mean wavelength, bandwidth, the count of reference points
// and that many signal-temperature pairs, each group starting on a new line and anything after
// its last number on that line ignored. A point's line may give a third number, the standard
// uncertainty u(T) in mK, after its temperature: a run that is a number and is followed on its
// line by nothing or by a comment that starts with "//". Any other third run starts a comment
// as before, so that a comment that begins with a number ("1 of 3 runs") stays one; when it
// looks like a number (looksLikeNumber), the point is named in unreadUncertainties. A signal
// and a u(T) must also be values that a double holds as they are: from the smallest normal
// double up to the largest. Throws RecordFileError: kind Check with the message of the first
// check that fails (bounds and values written with `decimalSeparator`), kind Read with "Error
// in reading file " + path for an invalid number, kind Open when the file cannot be opened.
RecordFileData readRecordFile(const std::string &path, char decimalSeparator);

// The file's unreadUncertainties as one message, lines separated by "\r", with what a u(T)
// must look like; empty when there are none.
std::string unreadUncertaintiesText(const RecordFileData &file);

// The file's reference points as read, in file order.
ReferenceSet ReferenceSetOf(const RecordFileData &file);

} // namespace kelvora
