#pragma once

#include "core/errors.h"

#include <string>

#include <sys/types.h>

namespace kelvora {

// The files a user names for the program to write (reports, results, certificates) or to read
// whole (a logo): only ever regular files. What is at a path is looked at before anything is
// opened there, so that a named pipe never keeps the program waiting and a device is never
// written. A file is written whole under a temporary name beside its path and then moved into
// place: no one ever sees half of it.

// What happens to a file that is already at the path written.
enum class ExistingFile {
    Refuse,  // it stays as it is, and the writing is refused
    Replace, // the user agreed to replace it: the new file takes its permissions
};

// A path the program does not write to: what() names it and says why.
class OutputPathRefusal : public Error
{
public:
    enum class Reason {
        Exists,     // a file is there and may not be replaced
        NotRegular, // something other than a regular file is there
        ReadOnly,   // the file there is read-only
    };

    OutputPathRefusal(Reason reason, const std::string &message)
        : Error(message), m_reason(reason)
    {
    }
    Reason reason() const { return m_reason; }

private:
    Reason m_reason;
};

// "<path> is a folder, not a regular file" (a named pipe, a device, a socket, a symbolic
// link) for a file of that mode (stat's st_mode); empty for a regular file.
std::string notRegularFileText(const std::string &path, mode_t mode);

// What writeOutputFile refuses, found without writing or opening anything: OutputPathRefusal
// when anything but a regular file is at the path (a symbolic link too: the program does not
// write where a link leads), a file with `existing` Refuse, or a read-only file (one that
// grants nobody writing, or that the program may not write).
void checkOutputPath(const std::string &path, ExistingFile existing);

// Writes the bytes as the file at `path`: OutputPathRefusal as checkOutputPath, also when a
// file appears at the path while the bytes are written and `existing` is Refuse. A new file
// gets the permissions of any new file, a replaced one keeps its own. Error "Cannot create
// file <path>. <the system's reason>" when the file cannot be written; the path then holds
// what it held.
void writeOutputFile(const std::string &path, const std::string &bytes, ExistingFile existing);

// A text the user saves (a report, results) as writeOutputFile writes it; a failure to write
// raises Error "Error in writing file <path>".
void writeTextFile(const std::string &path, const std::string &text, ExistingFile existing);

} // namespace kelvora
