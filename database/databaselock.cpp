#include "database/databaselock.h"

#include "core/errors.h"
#include "database/databasefiles.h"
#include "database/databasetexts.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvora {

namespace {

bool samePlace(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

DatabaseLock::DatabaseLock(const std::string &dbPath)
    : m_dbPath(dbPath), m_file(linkTarget(dbPath)), m_lockPath(m_file + ".lock")
{
}

DatabaseLock::~DatabaseLock()
{
    release();
}

void DatabaseLock::fail(Failure failure, const std::string &text)
{
    m_failure = failure;
    m_failureText = text;
}

bool DatabaseLock::acquire()
{
    if (held()) {
        if (lockDatabaseFile())
            return true;
        release();
        return false;
    }
    // A holder that releases removes the file, so the file that was locked may no longer be
    // the one at the path: then the lock is taken again on the file that is there now.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                              0644);
        if (fd < 0) {
            const int error = errno;
            struct stat there{};
            if (::lstat(m_lockPath.c_str(), &there) == 0)
                fail(Failure::Unusable, lockFileUnusableText(m_lockPath, systemErrorText(error)));
            else
                fail(Failure::CannotCreate, cannotCreateText(m_dbPath, systemErrorText(error)));
            return false;
        }
        struct stat locked{};
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
            ::close(fd);
            fail(Failure::Unusable,
                 lockFileUnusableText(m_lockPath, "It is not a regular file"));
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                fail(Failure::InUse, {});
            else
                fail(Failure::Unusable, lockFileUnusableText(m_lockPath, systemErrorText(error)));
            return false;
        }
        if (afterLocking)
            afterLocking();
        struct stat now{};
        if (::stat(m_lockPath.c_str(), &now) != 0 || !samePlace(now, locked)) {
            ::close(fd);
            continue;
        }
        m_fd = fd;
        if (!lockDatabaseFile()) {
            release();
            return false;
        }
        m_failure = Failure::None;
        m_failureText.clear();
        const std::string pid = std::to_string(::getpid()) + "\n";
        // The process id is for people only: a lock file that cannot take it locks all the same.
        [[maybe_unused]] const bool written =
            ::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) > 0;
        removeLeftovers();
        return true;
    }
    fail(Failure::InUse, {});
    return false;
}

// A name of the database file in another folder (a hard link) has a lock file of its own; the
// lock on the file itself is what two such names share. A file that is not there yet, or that
// cannot be opened (then it can be neither read nor saved, and says so itself), has no lock.
bool DatabaseLock::lockDatabaseFile()
{
    struct stat there{};
    if (::stat(m_file.c_str(), &there) != 0 || !S_ISREG(there.st_mode)) {
        unlockDatabaseFile();
        return true;
    }
    struct stat locked{};
    if (m_fileFd >= 0 && ::fstat(m_fileFd, &locked) == 0 && samePlace(locked, there))
        return true;
    unlockDatabaseFile();
    const int fd = ::open(m_file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error != EWOULDBLOCK)
            return true; // a file system without such locks: the lock file guards alone
        fail(Failure::InUse, {});
        return false;
    }
    m_fileFd = fd;
    return true;
}

// Closing the file drops every lock this process holds on it, SQLite's too: it is closed only
// between saves, when no connection is open.
void DatabaseLock::unlockDatabaseFile()
{
    if (m_fileFd >= 0)
        ::close(m_fileFd);
    m_fileFd = -1;
}

// What a killed process leaves: "<database>.tmp-XXXXXX" of a first save and
// "<database>.lock.tmp-<pid>" of the lock file of earlier versions. Only the holder of the
// lock writes such files, so while we hold it every one of them is a leftover.
void DatabaseLock::removeLeftovers() const
{
    const std::filesystem::path db(m_file);
    const std::filesystem::path folder = db.parent_path().empty() ? "." : db.parent_path();
    const std::string prefixes[] = {db.filename().string() + ".tmp-",
                                    db.filename().string() + ".lock.tmp-"};
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        for (const std::string &prefix : prefixes) {
            if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix) {
                ::unlinkat(::dirfd(dir), entry->d_name, 0);
                break;
            }
        }
    }
    ::closedir(dir);
}

void DatabaseLock::release()
{
    unlockDatabaseFile();
    if (!held())
        return;
    // Removed while still locked, and only when it is still our file.
    struct stat locked{};
    struct stat now{};
    if (::fstat(m_fd, &locked) == 0 && ::stat(m_lockPath.c_str(), &now) == 0
        && samePlace(locked, now))
        ::unlink(m_lockPath.c_str());
    ::close(m_fd);
    m_fd = -1;
}

void requireLock(DatabaseLock &lock, const std::string &dbPath)
{
    if (lock.acquire())
        return;
    throw Error(lock.failure() == DatabaseLock::Failure::InUse ? databaseInUseText(dbPath)
                                                               : lock.failureText());
}

} // namespace kelvora
