#include "records/databaselock.h"

#include "core/errors.h"
#include "records/database.h"

#include <cerrno>
#include <cstring>
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
    : m_dbPath(dbPath), m_lockPath(dbPath + ".lock")
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
    if (held())
        return true;
    // A holder that releases removes the file, so the file that was locked may no longer be
    // the one at the path: then the lock is taken again on the file that is there now.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                              0644);
        if (fd < 0) {
            const int error = errno;
            struct stat there{};
            if (::lstat(m_lockPath.c_str(), &there) == 0)
                fail(Failure::Unusable, "Cannot use the lock file \"" + fullPath(m_lockPath)
                                            + "\". " + std::strerror(error));
            else
                fail(Failure::CannotCreate, cannotCreateText(m_dbPath, std::strerror(error)));
            return false;
        }
        struct stat locked{};
        if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
            ::close(fd);
            fail(Failure::Unusable, "Cannot use the lock file \"" + fullPath(m_lockPath)
                                        + "\". It is not a regular file");
            return false;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                fail(Failure::InUse, {});
            else
                fail(Failure::Unusable, "Cannot use the lock file \"" + fullPath(m_lockPath)
                                            + "\". " + std::strerror(error));
            return false;
        }
        struct stat now{};
        if (::stat(m_lockPath.c_str(), &now) != 0 || !samePlace(now, locked)) {
            ::close(fd);
            continue;
        }
        m_fd = fd;
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

// What a killed process leaves: "<database>.tmp-XXXXXX" of a first save and
// "<database>.lock.tmp-<pid>" of the lock file of earlier versions. Only the holder of the
// lock writes such files, so while we hold it every one of them is a leftover.
void DatabaseLock::removeLeftovers() const
{
    const std::filesystem::path db(m_dbPath);
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

std::string databaseInUseText(const std::string &dbPath)
{
    return "The database " + dbPath + " is in use by another running copy of Kelvora.";
}

void requireLock(DatabaseLock &lock, const std::string &dbPath)
{
    if (lock.acquire())
        return;
    throw Error(lock.failure() == DatabaseLock::Failure::InUse ? databaseInUseText(dbPath)
                                                               : lock.failureText());
}

} // namespace kelvora
