#pragma once

#include "core/errors.h"
#include "records/recordssession.h"

#include <string>

namespace kelvora::cli {

// Exit statuses of the database commands besides 0 and ExitUsage; 1 to 4 mean what they
// mean for `fit`.
inline constexpr int ExitRefused = 1; // refused input, no such record, database in use or busy
// The database (also when another program changed it since it was read), a report, a results
// file or standard output.
inline constexpr int ExitCannotWrite = 5;

// An error that ends a command with its own exit status.
class CommandError : public Error
{
public:
    CommandError(const std::string &text, int status) : Error(text), m_status(status) {}
    int status() const { return m_status; }

private:
    int m_status;
};

// The database a command works on, loaded into a record store. A file that is missing or
// does not load is reported and left exactly as it is.
class DatabaseSession
{
public:
    enum class Access {
        Read,   // reading commands: no lock, the file must exist
        Change, // the lock must be free, the file must exist
        Create, // as Change, and a missing file starts an empty store
    };

    // `path` empty: the program's database, DB/kelvora.dbs beside the program file.
    DatabaseSession(const std::string &path, Access access);
    DatabaseSession(const DatabaseSession &) = delete;
    DatabaseSession &operator=(const DatabaseSession &) = delete;

    const std::string &path() const { return m_session.path(); }
    RecordStore &records() { return m_session.records(); }

    // Makes the newest record of that name current; "No record named ..." otherwise.
    void selectRecord(const std::string &name);
    // Posts a pending edit and writes the records changed since the file was read, in one
    // step; once they are written, changeSaved() is told so.
    void save();

private:
    RecordsSession m_session;
};

// The database path of the program folder of the running executable.
std::string programDatabasePath();

} // namespace kelvora::cli
