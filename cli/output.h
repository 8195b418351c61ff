#pragma once

#include <string>

namespace kelvora::cli {

// Standard output of every command. What a command writes there must reach it: a full disk or
// a closed pipe ends the command with ExitCannotWrite and the system's text, never with
// success.

// Run first: a standard stream that the caller closed is opened on /dev/null, so that no file
// the command opens takes its place and receives what the command writes there; a closed
// standard output counts as one that failed ("Bad file descriptor").
void guardStandardStreams();

// Writes the text as it is; after a failure nothing more is written.
void printOut(const std::string &text);

// Says what a command changed once the change is saved in the database ("record "m" (created
// ...) imported"); the last description given is the one said. From then on a failure of
// standard output no longer means that the command was not done.
void changeSaved(const std::string &what);

// Flushes standard output at the end of a command: `status`, or when what the command wrote did
// not all reach standard output, "Error in writing to standard output: <reason>" on standard
// error and ExitCannotWrite (a command that failed already keeps its own status). After a
// saved change the status stays as it is and a second line says what was saved: "The change
// is saved all the same: <what>", so that nobody repeats it.
int finishOutput(int status);

} // namespace kelvora::cli
