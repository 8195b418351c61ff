#include "cli/output.h"

#include "cli/dbsession.h"
#include "core/errors.h"

#include <cerrno>
#include <cstdio>

namespace kelvora::cli {

namespace {

// The errno of the first failed write to standard output, which belongs to the process as
// standard output does; the stream itself forgets it once its buffer is dropped.
int g_outputError = 0;

} // namespace

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
    return status == 0 ? ExitCannotWrite : status;
}

} // namespace kelvora::cli
