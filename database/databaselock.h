#pragma once

#include <functional>
#include <string>

namespace kelvora {

// Guards the database against a second writer: a running copy of the program or a command
// that changes data. The guard is an advisory lock (flock) on the lock file beside the
// database, held on the open file for the life of the session, and on the database file
// itself while there is one. The lock file lies beside the file that the path leads to, at the
// end of its symbolic links, and the lock on the database file holds whatever name reaches it,
// a hard link included: every name of one file takes the same lock. Taking the lock file is
// one step that two processes can never both win, and the system drops both locks when their
// holder ends however it ends, so the lock of a crashed program is free again at once. The
// lock file holds the holder's process id for people to read; nothing decides by it. A second
// DatabaseLock object of the same process counts as another holder.
class DatabaseLock
{
public:
    enum class Failure {
        None,
        InUse,       // another holder keeps the lock
        Unusable,    // the lock file is there but cannot be locked: a folder, an unreadable file
        CannotCreate // there is no lock file and the folder cannot hold one: missing, read-only
    };

    explicit DatabaseLock(const std::string &dbPath);
    ~DatabaseLock(); // releases
    DatabaseLock(const DatabaseLock &) = delete;
    DatabaseLock &operator=(const DatabaseLock &) = delete;

    // True when the lock is held after the call; otherwise failure() says why. Taking the lock
    // removes what killed processes left beside the database: unfinished temporary files of
    // a save and of the lock. Called again while held, it takes the lock on a database file
    // that has appeared or been replaced since (a first save creates it); when another holder
    // has that one, the whole lock is dropped and the failure is InUse.
    bool acquire();
    // Removes the lock file and drops the lock.
    void release();
    bool held() const { return m_fd >= 0; }
    Failure failure() const { return m_failure; }
    // Unusable: 'Cannot use the lock file "<full path>". <reason>'. CannotCreate: what a save
    // of the database would report, 'Cannot create file "<full database path>". <reason>'.
    const std::string &failureText() const { return m_failureText; }

    const std::string &lockPath() const { return m_lockPath; }

    // Runs between locking the open lock file and checking that it is still the file at the
    // lock path, the moment at which a holder may release it and a third process take the
    // lock on a new file: tests put that race here.
    std::function<void()> afterLocking;

private:
    void fail(Failure failure, const std::string &text);
    bool lockDatabaseFile();
    void unlockDatabaseFile();
    void removeLeftovers() const;

    std::string m_dbPath;
    std::string m_file; // where the database path leads
    std::string m_lockPath;
    int m_fd = -1;
    int m_fileFd = -1; // the database file, locked too
    Failure m_failure = Failure::None;
    std::string m_failureText;
};

// Throws Error when the lock is not held and cannot be taken now: a folder that could not hold
// the lock file at start may since have been made. The text is failureText(), or for a lock
// in use databaseInUseText().
void requireLock(DatabaseLock &lock, const std::string &dbPath);

} // namespace kelvora
