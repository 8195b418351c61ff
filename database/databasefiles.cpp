#include "database/databasefiles.h"

#include "core/errors.h"
#include "database/databaseerror.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kelvora {

namespace {

// As the system follows links: more than this many in a row is a loop.
constexpr int MaxLinksFollowed = 40;

std::string readLink(const std::string &path)
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

int syncPath(const std::string &path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

} // namespace

std::string linkTarget(const std::string &path)
{
    namespace fs = std::filesystem;
    std::string current = path;
    for (int followed = 0; followed < MaxLinksFollowed; ++followed) {
        struct stat status{};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return current;
        const std::string target = readLink(current);
        if (target.empty())
            return current;
        // A relative target is taken from the folder of the link, as the system takes it.
        current = fs::path(target).is_absolute()
                      ? target
                      : (fs::path(current).parent_path() / target).string();
    }
    return path;
}

std::string createTemporaryFile(const std::string &path)
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof Letters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = path + ".tmp-";
        for (int i = 0; i < 6; ++i)
            name += Letters[pick(device)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            throw DatabaseError(systemErrorText(errno));
    }
    throw DatabaseError(systemErrorText(EEXIST));
}

int syncFile(const std::string &path)
{
    return syncPath(path, O_RDONLY);
}

void syncFolderOf(const std::string &path)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    syncPath(folder.empty() ? "." : folder.string(), O_RDONLY | O_DIRECTORY);
}

int moveWithoutReplacing(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without that kind of rename: a second name, then the first one removed.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP)
        return errno;
    // Without hard links either: nothing closes the moment between the look and the move.
    struct stat status{};
    if (::lstat(to.c_str(), &status) == 0)
        return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

} // namespace kelvora
