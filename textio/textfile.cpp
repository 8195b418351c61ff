#include "textio/textfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kelvora {

namespace {

struct FileCloser
{
    void operator()(std::FILE *f) const { std::fclose(f); }
};

std::string readErrorText(const std::string &path)
{
    return "Error in reading file " + path;
}

} // namespace

std::string readTextFile(const std::string &path, const std::string &openFailureText)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        const int reason = errno;
        throw RecordFileError(RecordFileError::Kind::Open,
                              !openFailureText.empty()
                                  ? openFailureText
                                  : "Cannot open file " + path + ". " + std::strerror(reason));
    }
    std::string content;
    char buf[65536];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, file.get())) > 0)
        content.append(buf, n);
    if (std::ferror(file.get()))
        throw RecordFileError(RecordFileError::Kind::Read, readErrorText(path));
    return content;
}

void writeTextFile(const std::string &path, const std::string &text)
{
    const std::string failure = "Error in writing file " + path;
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw Error(failure);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed)
        throw Error(failure);
}

} // namespace kelvora
