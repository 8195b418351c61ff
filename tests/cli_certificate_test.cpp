// The certificate and laboratory commands of kelvora-cli, run as the user runs them on a
// database in a temporary folder.

#include "casename.h"
#include "cli_process.h"
#include "tests/cli_certificate_fixture.h"
#include "tests/pdftext.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace kelvora {
namespace {

using test::ProcessResult;
using testcase::CaseName;
using testcase::PrintTo;

using test::CliCertificate;

TEST_F(CliCertificate, IssuesTheCertificateAndANewNumberOnlyWhenTheRecordChanged)
{
    const ProcessResult settings =
        ok({"laboratory", "--name", "Kelvora Laboratory", "--address",
            "1 Furnace Lane\nThermopolis", "--calibrated-by", "A. Metrologist",
            "--approved-by", "B. Head", "--pattern", "CAL-{nnn}", "--next-number", "7"});
    EXPECT_NE(settings.out.find("Name:           Kelvora Laboratory\n"
                                "Address:        1 Furnace Lane\n"
                                "                Thermopolis\n"),
              std::string::npos)
        << settings.out;
    EXPECT_NE(settings.out.find("Number pattern: CAL-{nnn}\nNext number:    7\n"),
              std::string::npos);

    const std::string first = pathOf("first.pdf");
    EXPECT_EQ(ok({"certificate", "Lamp", "-o", first, "--customer", "ACME Pyrometry",
                  "--serial", "0042", "--step", "100"})
                  .out,
              "Certificate CAL-007 of record \"Lamp\" written to " + first + "\n");
    EXPECT_EQ(storedNumber("Lamp"), "CAL-007");
    const std::string text = test::pdfText(first);
    for (const char *said : {"Kelvora Laboratory", "Thermopolis", "ACME Pyrometry", "0042",
                             "A. Metrologist", "B. Head", "Calibration Certificate CAL-007",
                             "Page 1 of "})
        EXPECT_NE(text.find(said), std::string::npos) << said;
    std::vector<int> rows;
    for (const std::string &line : test::linesOf(text)) {
        std::smatch m;
        if (std::regex_match(line, m, std::regex(R"(\s*(\d{3,4})\s+\S+\s*)")))
            rows.push_back(std::stoi(m[1]));
    }
    EXPECT_EQ(rows, (std::vector<int>{600, 700, 800, 900, 1000, 1100, 1200}));

    // Nothing changed: no second certificate, and the first is named with how to write it
    // again. --new-number no longer asks for one.
    const std::string second = pathOf("second.pdf");
    for (const bool newNumber : {false, true}) {
        std::vector<std::string> args{"certificate", "Lamp", "-o", second, "--step", "100"};
        if (newNumber)
            args.push_back("--new-number");
        const ProcessResult again = cli(args);
        EXPECT_EQ(again.status, 1) << again.err;
        EXPECT_NE(again.err.find("Certificate CAL-007 of record \"Lamp\""), std::string::npos)
            << again.err;
        EXPECT_NE(again.err.find("kelvora-cli certificate --export CAL-007 -o FILE.pdf"),
                  std::string::npos)
            << again.err;
        EXPECT_EQ(again.err.find("--new-number is no longer needed") != std::string::npos,
                  newNumber)
            << again.err;
        EXPECT_FALSE(std::filesystem::exists(second));
    }

    // The details given stay with the record; a changed one makes the second certificate,
    // which names the first.
    EXPECT_EQ(ok({"certificate", "Lamp", "-o", second, "--step", "100", "--model", "KT-16"}).out,
              "Certificate CAL-008 of record \"Lamp\" written to " + second
                  + "\nIt replaces certificate CAL-007.\n");
    const std::string secondText = test::flowingText(test::pdfText(second));
    for (const char *said : {"ACME Pyrometry", "0042", "KT-16", "Certificate number CAL-008",
                             "This certificate replaces certificate CAL-007 of "})
        EXPECT_NE(secondText.find(said), std::string::npos) << said;
    EXPECT_EQ(test::flowingText(text).find("replaces"), std::string::npos);
    EXPECT_EQ(storedNumber("Lamp"), "CAL-008");
    EXPECT_NE(ok({"laboratory"}).out.find("Next number:    9\n"), std::string::npos);
}

struct RefusalCase
{
    const char *name;
    std::vector<std::string> args;
    int status;
    const char *says; // in the standard error
};

const RefusalCase RefusalCases[] = {
    {"NotComputed", {"certificate", "Raw", "-o", "x.pdf"}, 1, "has no calibration results"},
    {"NoSuchRecord", {"certificate", "Nothing", "-o", "x.pdf"}, 1, "No record named"},
    {"NoOutput", {"certificate", "Lamp"}, 64, "missing -o FILE.pdf"},
    {"StepZero", {"certificate", "Lamp", "-o", "x.pdf", "--step", "0"}, 64,
     "--step: '0' is not a whole number from 1 to 10000"},
    {"StepNotANumber", {"certificate", "Lamp", "-o", "x.pdf", "--step", "5K"}, 64, "--step"},
    {"StepBeyondTheRange", {"certificate", "Lamp", "-o", "x.pdf", "--step", "5000"}, 1,
     "No multiple of 5000 K"},
    {"UnknownMethod", {"certificate", "Lamp", "-o", "x.pdf", "--method", "best"}, 64,
     "neither lm nor pso"},
    {"MissingFolder", {"certificate", "Lamp", "-o", "missing/x.pdf"}, 5, "Cannot create file"},
    {"ExportWithoutOutput", {"certificate", "--export", "KV-2026-0001"}, 64,
     "missing -o FILE.pdf"},
    {"ExportOfANumberNotRegistered", {"certificate", "--export", "KV-2026-0001", "-o", "x.pdf"},
     1, "No certificate numbered \"KV-2026-0001\" in the register"},
    {"ExportWithARecordName", {"certificate", "Lamp", "--export", "KV-2026-0001", "-o", "x.pdf"},
     64, "unexpected argument 'Lamp'"},
    {"WithdrawalWithoutReason", {"certificate", "--withdraw", "KV-2026-0001"}, 64,
     "--withdraw needs --reason TEXT"},
    {"WithdrawalWithABlankReason",
     {"certificate", "--withdraw", "KV-2026-0001", "--reason", " \t"}, 64,
     "--withdraw needs --reason TEXT"},
    {"WithdrawalOfANumberNotRegistered",
     {"certificate", "--withdraw", "KV-2026-0001", "--reason", "Typing error"}, 1,
     "No certificate numbered"},
    {"ExportAndWithdrawal",
     {"certificate", "--export", "A", "--withdraw", "A", "--reason", "x", "-o", "x.pdf"}, 64,
     "exclude each other"},
    {"RegisterOfTwoNames", {"certificates", "Lamp", "Raw"}, 64, "unexpected argument 'Raw'"},
    {"PatternWithoutCounter", {"laboratory", "--pattern", "KV-{yyyy}"}, 64,
     "must hold the counter once"},
    {"NextNumberZero", {"laboratory", "--next-number", "0"}, 64, "--next-number"},
    {"NextNumberWithTrailingJunk", {"laboratory", "--next-number", "7th"}, 64,
     "--next-number: '7th' is not a whole number"},
    {"PaperSize", {"laboratory", "--page-size", "legal"}, 64, "neither a4 nor letter"},
    {"LogoNotAPicture", {"laboratory", "--logo", "notes.txt"}, 1, "holds no picture"},
    {"LogoAndNoLogo", {"laboratory", "--logo", "notes.txt", "--no-logo"}, 64,
     "exclude each other"},
};

class CliCertificateRefusal : public CliCertificate,
                              public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(CliCertificateRefusal, SaysWhyAndChangesNothing)
{
    writeFile("notes.txt", "Not a picture\n");
    const std::string before = test::readWholeFile(db);
    std::vector<std::string> args;
    for (const std::string &arg : GetParam().args)
        args.push_back(arg.find(".pdf") != std::string::npos || arg == "notes.txt"
                           ? pathOf(arg)
                           : arg);
    const ProcessResult result = cli(args);
    EXPECT_EQ(result.status, GetParam().status) << result.err;
    EXPECT_NE(result.err.find(GetParam().says), std::string::npos) << result.err;
    EXPECT_EQ(test::readWholeFile(db), before) << "the database is as it was";
    EXPECT_FALSE(std::filesystem::exists(pathOf("x.pdf")));
}

INSTANTIATE_TEST_SUITE_P(Commands, CliCertificateRefusal, ::testing::ValuesIn(RefusalCases),
                         CaseName);

// ---- the paths that -o names and the logo's file ----------------------------------------

// What is at a path before a command runs.
enum class PathKind {
    Nothing,
    File,         // "earlier", mode 0600
    ReadOnlyFile, // "earlier", mode 0444
    Folder,
    NamedPipe,
    Device,       // /dev/null, or /dev/zero for a logo
    Socket,
    DanglingLink, // a symbolic link to a name where nothing is
    LinkToFile,   // a symbolic link to a file "earlier"
};

// The file or folder, as far as a command could change it.
struct PathState
{
    std::filesystem::file_type type = std::filesystem::file_type::not_found;
    std::filesystem::perms permissions = std::filesystem::perms::none;
    std::string bytes;
    std::string linkTarget;

    friend bool operator==(const PathState &, const PathState &) = default;
};

PathState stateOf(const std::filesystem::path &path)
{
    namespace fs = std::filesystem;
    const fs::file_status status = fs::symlink_status(path);
    PathState state{status.type(), status.permissions(), {}, {}};
    if (status.type() == fs::file_type::regular)
        state.bytes = test::readWholeFile(path);
    if (status.type() == fs::file_type::symlink)
        state.linkTarget = fs::read_symlink(path).string();
    return state;
}

class CliFilePaths : public CliCertificate
{
protected:
    // Lays out `kind` at `name` in the test's folder and returns the path to name to the
    // command.
    std::string makePath(PathKind kind, const std::string &name, const char *device)
    {
        const std::string path = pathOf(name);
        namespace fs = std::filesystem;
        switch (kind) {
        case PathKind::Nothing:
            break;
        case PathKind::File:
        case PathKind::ReadOnlyFile:
            writeFile(name, "earlier\n");
            fs::permissions(path, kind == PathKind::File ? fs::perms(0600) : fs::perms(0444));
            break;
        case PathKind::Folder:
            fs::create_directory(path);
            break;
        case PathKind::NamedPipe:
            EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
        case PathKind::Device:
            return device;
        case PathKind::Socket: {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
            EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address),
                      0);
            ::close(fd);
            break;
        }
        case PathKind::DanglingLink:
            fs::create_symlink("nowhere", path);
            break;
        case PathKind::LinkToFile:
            writeFile("target", "earlier\n");
            fs::create_symlink("target", path);
            break;
        }
        return path;
    }

    // Every name in the test's folder with its state.
    std::map<std::string, PathState> folderState() const
    {
        std::map<std::string, PathState> states;
        for (const auto &entry : std::filesystem::directory_iterator(dir()))
            states[entry.path().filename().string()] = stateOf(entry.path());
        return states;
    }

    // Runs the command with a time limit, so that a command that waits on a named pipe
    // fails (killed: status 137) instead of keeping the test waiting.
    ProcessResult cliWithin(std::vector<std::string> args) const
    {
        args.insert(args.begin(), {"-s", "KILL", "60", KELVORA_CLI});
        args.push_back("--db");
        args.push_back(db);
        return test::runProgram("timeout", args, dir(), {"LC_ALL=C"});
    }
};

struct OutputPathCase
{
    const char *name;
    PathKind kind;
    bool force;
    const char *says; // in standard error when refused (status 5); null when written
};

const OutputPathCase OutputPathCases[] = {
    {"NewFile", PathKind::Nothing, false, nullptr},
    {"FileWithoutForce", PathKind::File, false, " already exists; --force replaces it"},
    {"FileWithForce", PathKind::File, true, nullptr},
    {"ReadOnlyFileWithForce", PathKind::ReadOnlyFile, true, ": it is read-only"},
    {"Folder", PathKind::Folder, true, " is a folder, not a regular file"},
    {"NamedPipe", PathKind::NamedPipe, true, " is a named pipe, not a regular file"},
    {"Device", PathKind::Device, true, " is a device, not a regular file"},
    {"Socket", PathKind::Socket, true, " is a socket, not a regular file"},
    {"DanglingLink", PathKind::DanglingLink, true, " is a symbolic link, not a regular file"},
    {"LinkToFile", PathKind::LinkToFile, true, " is a symbolic link, not a regular file"},
};

class CliOutputPath
    : public CliFilePaths,
      public ::testing::WithParamInterface<std::tuple<OutputPathCase, const char *>>
{
};

// Each command that writes -o writes a regular file only, and a file that is there only with
// --force, keeping its permissions; what it refuses (status 5, a message naming the path) it
// leaves as it was, with the database and everything else in the folder.
TEST_P(CliOutputPath, WritesOnlyARegularFileAndReplacesOneOnlyWithForce)
{
    const auto &[c, command] = GetParam();
    const std::string path = makePath(c.kind, "out.txt", "/dev/null");
    const PathState pathBefore = stateOf(path);
    const std::string databaseBefore = test::readWholeFile(db);
    std::map<std::string, PathState> folderBefore = folderState();
    const std::string commandOutput =
        std::string(command) == "certificate" ? "" : ok({command, "Lamp"}).out;

    std::vector<std::string> args{command, "Lamp", "-o", path};
    if (c.force)
        args.push_back("--force");
    const ProcessResult result = cliWithin(args);
    if (c.says != nullptr) {
        EXPECT_EQ(result.status, 5) << result.err;
        EXPECT_NE(result.err.find(path + c.says), std::string::npos) << result.err;
        EXPECT_EQ(stateOf(path), pathBefore);
        EXPECT_EQ(test::readWholeFile(db), databaseBefore);
        EXPECT_EQ(folderState(), folderBefore) << "nothing else changed";
        return;
    }
    ASSERT_EQ(result.status, 0) << result.err;
    const PathState written = stateOf(path);
    EXPECT_EQ(written.type, std::filesystem::file_type::regular);
    if (commandOutput.empty())
        EXPECT_EQ(written.bytes.rfind("%PDF-", 0), 0u);
    else
        EXPECT_EQ(written.bytes, commandOutput);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(written.permissions, c.kind == PathKind::Nothing
                                       ? std::filesystem::perms(0666 & ~mask)
                                       : pathBefore.permissions);
    folderBefore.erase("out.txt");
    std::map<std::string, PathState> folderAfter = folderState();
    folderAfter.erase("out.txt");
    folderAfter.erase("kelvora.dbs");
    folderBefore.erase("kelvora.dbs");
    EXPECT_EQ(folderAfter, folderBefore) << "no temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CliOutputPath,
    ::testing::Combine(::testing::ValuesIn(OutputPathCases),
                       ::testing::Values("certificate", "report", "results")),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param);
    });

// A picture in the netpbm format the program reads: width x height grey pixels.
std::string greyPicture(int width, int height)
{
    return "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n"
           + std::string(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                         '\x80');
}

struct LogoCase
{
    const char *name;
    PathKind kind;
    std::optional<std::string> bytes; // of the file when kind is File
    int status;
    const char *says; // in standard error when refused
};

const LogoCase LogoCases[] = {
    {"Picture", PathKind::File, greyPicture(64, 32), 0, nullptr},
    {"LargestPicture", PathKind::File, greyPicture(4000, 10), 0, nullptr},
    {"Folder", PathKind::Folder, std::nullopt, 1, " is a folder, not a regular file"},
    {"NamedPipe", PathKind::NamedPipe, std::nullopt, 1, " is a named pipe, not a regular file"},
    {"EndlessDevice", PathKind::Device, std::nullopt, 1, " is a device, not a regular file"},
    {"Missing", PathKind::Nothing, std::nullopt, 3, "Cannot open file "},
    {"LargerThanTwoMegabytes", PathKind::File, greyPicture(1024, 2048), 1,
     "The logo's file is larger than 2 MB: "},
    {"WiderThanTheLargest", PathKind::File, greyPicture(4001, 10), 1,
     "The logo's picture is larger than 4000 x 4000 pixels: "},
    {"TallerThanTheLargest", PathKind::File, greyPicture(10, 4001), 1,
     "The logo's picture is larger than 4000 x 4000 pixels: "},
};

class CliLogoFile : public CliFilePaths, public ::testing::WithParamInterface<LogoCase>
{
};

// The logo is read only from a regular file of a picture within the limits, each looked at
// before it is read: anything else is refused at once, with the database as it was.
TEST_P(CliLogoFile, IsARegularFileOfAPictureWithinTheLimits)
{
    const LogoCase &c = GetParam();
    std::string path;
    if (c.bytes)
        path = writeFile("logo.pgm", *c.bytes);
    else
        path = makePath(c.kind, "logo.pgm", "/dev/zero");
    const std::string databaseBefore = test::readWholeFile(db);

    const ProcessResult result = cliWithin({"laboratory", "--logo", path});
    EXPECT_EQ(result.status, c.status) << result.err;
    if (c.says == nullptr) {
        EXPECT_NE(result.out.find("Logo:           " + std::to_string(c.bytes->size())
                                  + " bytes\n"),
                  std::string::npos)
            << result.out;
        return;
    }
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(path), std::string::npos) << result.err;
    EXPECT_EQ(test::readWholeFile(db), databaseBefore);
}

INSTANTIATE_TEST_SUITE_P(Files, CliLogoFile, ::testing::ValuesIn(LogoCases), CaseName);

} // namespace
} // namespace kelvora
