#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace kelvora {

// A test fixture with a fresh folder for the files a test writes, removed afterwards.
class TempDirTest : public testing::Test
{
protected:
    void SetUp() override
    {
        const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("kelvora_textio_") + info->test_suite_name() + "_"
                           + info->name();
        for (char &c : name) {
            if (c == '/')
                c = '_';
        }
        m_dir = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string pathOf(const std::string &fileName) const { return (m_dir / fileName).string(); }

    // Writes the bytes as they are and returns the file's path.
    std::string writeFile(const std::string &fileName, const std::string &bytes) const
    {
        const std::string path = pathOf(fileName);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static std::string readFile(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path m_dir;
};

} // namespace kelvora
