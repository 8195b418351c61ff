#pragma once

#include "database/databaselock.h"
#include "database/databasestartup.h"
#include "tables/event.h"
#include "tables/recordstore.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelvora {

// The record store bound to its database file for one session of work: the window's whole
// life, or one command of the command-line tool. The session takes the lock against a second
// writer, reads the file into the store, writes the changes back and closes.
class RecordsSession
{
public:
    // How a file that does not load is met when the session opens.
    enum class Opening {
        AtStartup, // the file is moved to the backup path and the store starts empty
        Check,     // the file stays as it is; the caller decides whether to go on
    };

    explicit RecordsSession(std::string dbPath);
    ~RecordsSession();
    RecordsSession(const RecordsSession &) = delete;
    RecordsSession &operator=(const RecordsSession &) = delete;

    const std::string &path() const { return m_path; }
    RecordStore &records() { return m_records; }
    bool isOpen() const { return m_open; }

    // Takes the lock on the database; None when it is held, otherwise why not, with the
    // text lockFailureText().
    DatabaseLock::Failure lock();
    const std::string &lockFailureText() const;

    // Reads the file into the store and opens its tables, whatever the outcome: a file that
    // does not load leaves the store empty. A file that loads but does not fit the records
    // leaves the store empty and open, and its StoreError propagates.
    OpenOutcome open(Opening opening);

    // Called after every post and delete of a record or of one of its rows while the session
    // is open: the window schedules its save there.
    std::function<void()> changed;

    // Writes the changes to the file, taking the lock again first if the session has one
    // that is not held. A record left in edit state only because its points or measurements
    // changed is posted first; an edit the user still has open stays open. Throws Error with
    // the text of the failure (DatabaseChangedError when another program changed the file
    // since it was read, DatabaseBusyError when one keeps it locked); the change log stays
    // for the next save.
    void autosave();
    // Posts a pending edit of the record, then writes like autosave.
    void save();
    // Saves, closes the tables and drops the lock. A failed save throws and leaves the
    // session open.
    void close();
    // Closes the tables and drops the lock without saving: what was not saved is lost.
    void closeWithoutSaving();

private:
    void write();

    std::string m_path;
    RecordStore m_records;
    std::unique_ptr<DatabaseLock> m_lock;
    std::vector<EventConnection> m_connections; // to the store's events
    bool m_open = false;
    bool m_nestedChanged = false;
    bool m_posting = false;
};

} // namespace kelvora
