#include "cli/output.h"

#include "cli/dbsession.h"
#include "core/errors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kelvora::cli {

namespace {

// The errno of the first failed write to standard output, which belongs to the process as
// standard output does; the stream itself forgets it once its buffer is dropped.
int g_outputError = 0;
// What the command changed in the database, once it is saved; empty before.
std::string g_savedChange;

} // namespace

void guardStandardStreams()
{
    for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(stream, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor, which is this one when the ones below it are open.
        const int null = ::open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != stream) {
            ::dup2(null, stream);
            ::close(null);
        }
        if (stream == STDOUT_FILENO)
            g_outputError = EBADF;
    }
}

void changeSaved(const std::string &what)
{
    g_savedChange = what;
}

void printOut(const std::string &text)
{
    if (g_outputError != 0)
        return;
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        g_outputError = errno != 0 ? errno : EIO;
}

int finishOutput(int status)
{
    if (g_outputError == 0) {
        errno = 0;
        if (std::fflush(stdout) != 0 || std::ferror(stdout))
            g_outputError = errno != 0 ? errno : EIO;
    }
    if (g_outputError == 0)
        return status;
    std::fprintf(stderr, "Error in writing to standard output: %s\n",
                 systemErrorText(g_outputError).c_str());
    if (!g_savedChange.empty()) {
        std::fprintf(stderr, "The change is saved all the same: %s\n", g_savedChange.c_str());
        return status;
    }
    return status == 0 ? ExitCannotWrite : status;
}

} // namespace kelvora::cli
