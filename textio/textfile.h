#pragma once

#include "core/errors.h"

#include <string>

namespace kelvora {

// A refused or unreadable input text file: what() is the message the user sees.
class RecordFileError : public Error
{
public:
    enum class Kind {
        Check, // a value read is outside its range
        Read,  // an invalid number, or the file system failed while reading
        Open,  // the file cannot be opened
    };

    RecordFileError(Kind kind, const std::string &message) : Error(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// The whole content of a file. Throws RecordFileError: kind Open with `openFailureText`, or
// the system's reason when that is empty, when the file cannot be opened; kind Read with
// "Error in reading file " + path when reading fails.
std::string readTextFile(const std::string &path, const std::string &openFailureText = {});

// Creates or replaces the file and writes `text` as it is (no line-end translation). Any
// failure throws Error "Error in writing file " + path.
void writeTextFile(const std::string &path, const std::string &text);

} // namespace kelvora
