#pragma once

#include <string>
#include <vector>

namespace kelvora::cli {

// Exit statuses of `fit` besides 0 (success) and ExitUsage.
inline constexpr int ExitRecordRefused = 1;
inline constexpr int ExitFitFailed = 2;
inline constexpr int ExitCannotOpen = 3;
inline constexpr int ExitFloatFault = 4;
// Of every command: the memory ran out.
inline constexpr int ExitOutOfMemory = 6;

extern const char *const FitUsage;

// `kelvora-cli fit RECORD.txt [options]`: imports the record file as the record store would
// hold it and runs a calibration on it. `args` are the arguments after "fit".
int runFitCommand(const std::vector<std::string> &args);

} // namespace kelvora::cli
