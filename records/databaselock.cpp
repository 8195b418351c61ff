#include "records/databaselock.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <unistd.h>

namespace kelvora {

namespace {

// The process id written in a lock file, or 0 when there is no readable one.
pid_t lockOwner(const std::string &lockPath)
{
    std::ifstream in(lockPath, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    long long pid = 0;
    const char *end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, pid);
    if (error != std::errc() || pid <= 0 || pid > INT_MAX)
        return 0;
    for (const char *p = rest; p != end; ++p)
        if (*p != '\n' && *p != '\r' && *p != ' ')
            return 0;
    return static_cast<pid_t>(pid);
}

bool isRunning(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

bool writeWholeFile(const std::string &path, const std::string &text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, text.data(), text.size())
                         == static_cast<ssize_t>(text.size());
    return ::close(fd) == 0 && written;
}

} // namespace

DatabaseLock::DatabaseLock(const std::string &dbPath)
    : m_lockPath(dbPath + ".lock")
{
}

DatabaseLock::~DatabaseLock()
{
    release();
}

bool DatabaseLock::acquire()
{
    if (m_held)
        return true;
    const std::string pid = std::to_string(::getpid());
    // The lock file appears complete or not at all: it is written under another name and
    // linked into place, which fails when a lock file is already there.
    const std::string temporary = m_lockPath + ".tmp-" + pid;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!writeWholeFile(temporary, pid + "\n")) {
            ::unlink(temporary.c_str());
            return true;
        }
        const int rc = ::link(temporary.c_str(), m_lockPath.c_str());
        const int error = errno;
        ::unlink(temporary.c_str());
        if (rc == 0) {
            m_held = true;
            return true;
        }
        if (error != EEXIST)
            return true;
        if (isRunning(lockOwner(m_lockPath)))
            return false;
        ::unlink(m_lockPath.c_str()); // left behind by a process that is gone
    }
    return false;
}

void DatabaseLock::release()
{
    if (!m_held)
        return;
    ::unlink(m_lockPath.c_str());
    m_held = false;
}

bool DatabaseLock::heldByOther() const
{
    return !m_held && isRunning(lockOwner(m_lockPath));
}

} // namespace kelvora
