// The text files a user saves: written whole, with the message of a failed writing naming the
// file, and a refused path reported as refused. The kinds of paths are tried through the
// command-line tool (cli_certificate_test.cpp).

#include "records/regularfile.h"

#include "tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kelvora {
namespace {

using test::readWholeFile;
using test::TempDirTest;

class WriteTextFileTest : public TempDirTest
{
};

TEST_F(WriteTextFileTest, ReplacesFileWithExactBytes)
{
    const std::string path = writeFile("out.txt", "a much longer earlier content\r\n");
    writeTextFile(path, "1\r\n2 \xB5m\r\n", ExistingFile::Replace);
    EXPECT_EQ(readWholeFile(path), "1\r\n2 \xB5m\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir()), {}), 1)
        << "no temporary file is left";
}

TEST_F(WriteTextFileTest, FailureNamesThePath)
{
    const std::string path = pathOf("no such folder/out.txt");
    try {
        writeTextFile(path, "x", ExistingFile::Refuse);
        FAIL() << "written into a missing folder";
    } catch (const OutputPathRefusal &e) {
        FAIL() << "refused: " << e.what();
    } catch (const Error &e) {
        EXPECT_EQ(std::string(e.what()), "Error in writing file " + path);
    }
}

TEST_F(WriteTextFileTest, AFileThatIsThereIsRefusedAsItIs)
{
    const std::string path = writeFile("out.txt", "kept");
    try {
        writeTextFile(path, "x", ExistingFile::Refuse);
        FAIL() << "replaced";
    } catch (const OutputPathRefusal &e) {
        EXPECT_EQ(e.reason(), OutputPathRefusal::Reason::Exists);
        EXPECT_EQ(std::string(e.what()), "File " + path + " already exists");
    }
    EXPECT_EQ(readWholeFile(path), "kept");
}

} // namespace
} // namespace kelvora
