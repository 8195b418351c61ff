#pragma once

#include "core/errors.h"

#include <cstdio>
#include <string>
#include <vector>

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

// The longest line an input text file may have: far more than any valid line needs.
inline constexpr std::size_t MaxLineLength = 64 * 1024;
// The most that is read of an input text file, so that an endless source (a pipe of blank
// lines) ends: far more than any record file or signal list holds before its last number.
inline constexpr std::size_t MaxReadLength = 16 * 1024 * 1024;

// An input text file, read through a buffer only as far as its reader asks, so that what
// follows the data (a huge file, an endless device) costs nothing. A UTF-8 byte-order mark at
// its start, as many editors write one, is no part of its text. Throws RecordFileError: kind
// Open with `openFailureText`, or the system's reason when that is empty, when the file cannot
// be opened; kind Read with "Error in reading file " + path when reading fails, and with a
// second line that says why when a line is longer than MaxLineLength (naming the line and the
// limit) or more than MaxReadLength bytes are asked for.
class InputTextFile
{
public:
    explicit InputTextFile(const std::string &path, const std::string &openFailureText = {});
    ~InputTextFile();
    InputTextFile(const InputTextFile &) = delete;
    InputTextFile &operator=(const InputTextFile &) = delete;

    // The next byte (0..255) without taking it, or -1 at the end of the file.
    int peek();
    // The next byte, taken; -1 at the end of the file.
    int get();

private:
    [[noreturn]] void readError() const;

    std::string m_path;
    std::FILE *m_file = nullptr;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::size_t m_lineLength = 0;
    std::size_t m_line = 1;
    std::size_t m_read = 0;
    bool m_started = false; // the first bytes were read and a byte-order mark passed by
};

} // namespace kelvora
