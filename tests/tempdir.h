#pragma once

// A fresh folder for the files a test writes, and whole-file reading and writing.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace kelvora::test {

// The bytes of a file as they are; empty when it cannot be read.
inline std::string readWholeFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Replaces the file by exactly these bytes.
inline void writeWholeFile(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// A test fixture with a folder of its own, unique even among test programs that run at the
// same time, removed afterwards (with its permissions given back, should a test take them).
class TempDirTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kelvora-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_dir, ec);
    }

    const std::filesystem::path &dir() const { return m_dir; }
    std::string pathOf(const std::string &fileName) const { return (m_dir / fileName).string(); }

    // Writes the bytes as they are and returns the file's path.
    std::string writeFile(const std::string &fileName, const std::string &bytes) const
    {
        const std::string path = pathOf(fileName);
        writeWholeFile(path, bytes);
        return path;
    }

private:
    std::filesystem::path m_dir;
};

} // namespace kelvora::test
