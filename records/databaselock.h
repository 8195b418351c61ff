#pragma once

#include <string>

namespace kelvora {

// Guards the database against a second writer: a running copy of the program or a command
// that changes data. The guard is an advisory lock (flock) on the lock file beside the
// database, dbPath + ".lock", held on the open file for the life of the session. Taking it is
// one step that two processes can never both win, and the system drops it when its holder
// ends however it ends, so the lock of a crashed program is free again at once. The file
// holds the holder's process id for people to read; nothing decides by it. A second
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
    // a save and of the lock.
    bool acquire();
    // Removes the lock file and drops the lock.
    void release();
    bool held() const { return m_fd >= 0; }
    Failure failure() const { return m_failure; }
    // Unusable: 'Cannot use the lock file "<full path>". <reason>'. CannotCreate: what a save
    // of the database would report, 'Cannot create file "<full database path>". <reason>'.
    const std::string &failureText() const { return m_failureText; }

    const std::string &lockPath() const { return m_lockPath; }

private:
    void fail(Failure failure, const std::string &text);
    void removeLeftovers() const;

    std::string m_dbPath;
    std::string m_lockPath;
    int m_fd = -1;
    Failure m_failure = Failure::None;
    std::string m_failureText;
};

// The window's message for a database that another copy of the program holds.
std::string databaseInUseText(const std::string &dbPath);

// Throws Error when the lock is not held and cannot be taken now: a folder that could not hold
// the lock file at start may since have been made. The text is failureText(), or for a lock
// in use databaseInUseText().
void requireLock(DatabaseLock &lock, const std::string &dbPath);

} // namespace kelvora
