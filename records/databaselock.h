#pragma once

#include <string>

namespace kelvora {

// Guards the database against a second running copy of the program: a lock file beside it
// (dbPath + ".lock") holds the owner's process id. A lock file whose process is gone was left
// by a crash and is taken over. A second DatabaseLock object of the same process counts as
// another holder.
class DatabaseLock
{
public:
    explicit DatabaseLock(const std::string &dbPath);
    ~DatabaseLock(); // releases
    DatabaseLock(const DatabaseLock &) = delete;
    DatabaseLock &operator=(const DatabaseLock &) = delete;

    // False only while another holder keeps the lock. When the lock file cannot be written
    // at all (no folder, read-only folder) it answers true without holding anything: the
    // program then runs unguarded and its save reports the folder's problem.
    bool acquire();
    void release();
    bool held() const { return m_held; }
    bool heldByOther() const;
    const std::string &lockPath() const { return m_lockPath; }

private:
    std::string m_lockPath;
    bool m_held = false;
};

} // namespace kelvora
