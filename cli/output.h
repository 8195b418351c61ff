#pragma once

#include <string>

namespace kelvora::cli {

// Standard output of every command. What a command writes there must reach it: a full disk or
// a closed pipe ends the command with ExitCannotWrite and the system's text, never with
// success.

// Writes the text as it is; after a failure nothing more is written.
void printOut(const std::string &text);

// Flushes standard output at the end of a command: `status`, or when what the command wrote did
// not all reach standard output, "Error in writing to standard output: <reason>" on standard
// error and ExitCannotWrite (a command that failed already keeps its own status).
int finishOutput(int status);

} // namespace kelvora::cli
