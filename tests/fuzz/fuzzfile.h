#pragma once

// The readers under test read files: every input goes into one scratch file of this process.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace kelvora::fuzz {

// A fresh folder of this process, removed at exit (its name is never destroyed, so that the
// removal can still read it).
inline const std::string &scratchFolder()
{
    static const std::string *folder = [] {
        auto *pattern =
            new std::string(std::filesystem::temp_directory_path() / "kelvora-fuzz-XXXXXX");
        if (!::mkdtemp(pattern->data()))
            std::abort();
        std::atexit([] { std::filesystem::remove_all(scratchFolder()); });
        return pattern;
    }();
    return *folder;
}

// Replaces the file by exactly these bytes and returns its path.
inline std::string writeInput(const std::string &name, const std::uint8_t *data, std::size_t size)
{
    const std::string path = scratchFolder() + "/" + name;
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
    return path;
}

} // namespace kelvora::fuzz
