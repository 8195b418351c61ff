#include "records/regularfile.h"

#include "database/databasefiles.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvora {

namespace {

// The permissions of the file that the new one replaces, none when there is none; refuses
// what checkOutputPath refuses.
std::optional<mode_t> replacedFile(const std::string &path, ExistingFile existing)
{
    struct stat status{};
    // Nothing there, or a path that cannot be looked at: creating the file says why.
    if (::lstat(path.c_str(), &status) != 0)
        return std::nullopt;
    if (!S_ISREG(status.st_mode))
        throw OutputPathRefusal(OutputPathRefusal::Reason::NotRegular,
                                notRegularFileText(path, status.st_mode));
    if (existing == ExistingFile::Refuse)
        throw OutputPathRefusal(OutputPathRefusal::Reason::Exists,
                                "File " + path + " already exists");
    if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0
        || ::access(path.c_str(), W_OK) != 0)
        throw OutputPathRefusal(OutputPathRefusal::Reason::ReadOnly,
                                "Cannot replace file " + path + ": it is read-only");
    return status.st_mode & 07777;
}

// Writes the bytes into the temporary file, with the permissions given: 0, or the errno of
// the failure.
int fillFile(const std::string &temporary, const std::string &bytes,
             std::optional<mode_t> permissions)
{
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    if (permissions && ::fchmod(fd, *permissions) != 0)
        error = errno;
    for (std::size_t written = 0; error == 0 && written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n >= 0)
            written += static_cast<std::size_t>(n);
        else if (errno != EINTR)
            error = errno;
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

} // namespace

std::string notRegularFileText(const std::string &path, mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    const char *kind = S_ISDIR(mode)                    ? "a folder"
                       : S_ISFIFO(mode)                 ? "a named pipe"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                       : S_ISLNK(mode)                  ? "a symbolic link"
                                                        : nullptr;
    return path + " is " + (kind != nullptr ? std::string(kind) + ", not" : "not")
           + " a regular file";
}

void checkOutputPath(const std::string &path, ExistingFile existing)
{
    replacedFile(path, existing);
}

void writeOutputFile(const std::string &path, const std::string &bytes, ExistingFile existing)
{
    const std::optional<mode_t> permissions = replacedFile(path, existing);
    const auto cannotCreate = [&path](const std::string &reason) {
        return Error("Cannot create file " + path + ". " + reason);
    };
    std::string temporary;
    try {
        temporary = createTemporaryFile(path);
    } catch (const Error &failure) {
        throw cannotCreate(failure.what());
    }
    int error = fillFile(temporary, bytes, permissions);
    if (error == 0 && existing == ExistingFile::Refuse)
        error = moveWithoutReplacing(temporary, path);
    else if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        // Something came to the path meanwhile: refused as it would have been before.
        if (error == EEXIST && existing == ExistingFile::Refuse)
            replacedFile(path, existing);
        throw cannotCreate(systemErrorText(error));
    }
    syncFolderOf(path);
}

void writeTextFile(const std::string &path, const std::string &text, ExistingFile existing)
{
    try {
        writeOutputFile(path, text, existing);
    } catch (const OutputPathRefusal &) {
        throw;
    } catch (const Error &) {
        throw Error("Error in writing file " + path);
    }
}

} // namespace kelvora
