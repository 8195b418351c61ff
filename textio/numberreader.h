#pragma once

#include "textio/textfile.h"

#include <optional>
#include <string>

namespace kelvora {

// Reads the numbers of an input text file: a number is a run of characters above the blank;
// everything up to blank and below, line breaks included, is skipped before it; the end of the
// file before a number reads as 0. Reads no further than the number asked for.
class NumberReader
{
public:
    explicit NumberReader(InputTextFile &file) : m_file(file) {}

    // A real: optional sign, digits with an optional full stop, optional exponent (E or e,
    // optional sign, digits). Empty when the run is anything else.
    std::optional<long double> readReal();
    // A whole number: optional sign and digits only, within the range of int. Empty when the
    // run is anything else.
    std::optional<int> readWholeNumber();
    // The next run when it starts on the current line, only blanks, tabs and carriage returns
    // before it; empty when the line (or the file) ends first or another control character
    // comes, which is left unread.
    std::string runOnLine();
    // The rest of the current line as it is written, up to `most` bytes and up to the first
    // control character but the tab, which is left unread.
    std::string textOnLine(std::size_t most);
    // Skips the rest of the current line and its line feed; a bare carriage return does not
    // end a line.
    void skipLine();

private:
    // The next run; empty at the end of the file.
    std::string nextRun();
    // The run that starts here, up to the next blank.
    std::string runHere();

    InputTextFile &m_file;
};

} // namespace kelvora
