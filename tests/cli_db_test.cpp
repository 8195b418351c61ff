// The database commands of kelvora-cli, run as the user runs them on a database in a
// temporary folder.

#include "casename.h"
#include "cli_process.h"
#include "database/database.h"
#include "database/databaselayout.h"
#include "database/databaselock.h"
#include "database/databasestartup.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <chrono>
#include <thread>
#include <string>
#include <vector>

namespace kelvora {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;
using test::readWholeFile;
using testcase::CaseName;
using testcase::PrintTo;

const std::string Samples = KELVORA_SAMPLES;
const std::string Minimal = Samples + "/minimal.txt";        // Levenberg-Marquardt fails
const std::string Copper = Samples + "/fixed-points-in-cu.txt"; // 7 points, fits

// The columns of a `list` line: name, then created date and time, processed, computed,
// points, measurements as the last three.
struct ListedRecord
{
    std::string name;
    std::string computed;
    int points;
    int measurements;
};

ListedRecord parseListed(const std::string &line)
{
    static const std::regex pattern(R"(^(\S+) .* (yes|no) +(\d+) +(\d+)$)");
    std::smatch match;
    if (!std::regex_match(line, match, pattern)) {
        ADD_FAILURE() << "unexpected list line: " << line;
        return {};
    }
    return {match[1], match[2], std::stoi(match[3]), std::stoi(match[4])};
}

class CliDatabase : public test::TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        db = pathOf("kelvora.dbs");
    }

    // A command on the test's database, in the C locale unless told otherwise.
    ProcessResult cli(std::vector<std::string> args,
                      const std::string &locale = "C") const
    {
        args.push_back("--db");
        args.push_back(db);
        return test::runProgram(KELVORA_CLI, args, dir(), {"LC_ALL=" + locale});
    }

    // Runs a command that must succeed.
    ProcessResult ok(const std::vector<std::string> &args) const
    {
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return result;
    }

    // The data lines of `list`: every line after the header.
    std::vector<std::string> listed(const std::vector<std::string> &extra = {}) const
    {
        std::vector<std::string> args{"list"};
        args.insert(args.end(), extra.begin(), extra.end());
        const ProcessResult result = ok(args);
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < result.out.size()) {
            const std::size_t end = result.out.find('\n', start);
            lines.push_back(result.out.substr(start, end - start));
            start = end == std::string::npos ? result.out.size() : end + 1;
        }
        EXPECT_FALSE(lines.empty());
        if (!lines.empty()) {
            EXPECT_EQ(lines.front().rfind("Name", 0), 0u) << lines.front();
            lines.erase(lines.begin());
        }
        return lines;
    }

    // The first record that `list` shows: a failure, and an empty record, when it shows none.
    ListedRecord firstListed(const std::vector<std::string> &extra = {}) const
    {
        const std::vector<std::string> lines = listed(extra);
        if (lines.empty()) {
            ADD_FAILURE() << "list shows no record";
            return {};
        }
        return parseListed(lines.front());
    }

    std::string db;
};

std::vector<std::string> names(const std::vector<std::string> &lines)
{
    std::vector<std::string> result;
    for (const std::string &line : lines)
        result.push_back(parseListed(line).name);
    return result;
}

TEST_F(CliDatabase, ImportTwiceThenListNewestFirstOrByName)
{
    EXPECT_EQ(ok({"import", Minimal, "--name", "beta"}).out,
              "Record \"beta\" imported with 3 reference points\n");
    ok({"import", Copper, "--name", "alpha"});
    ok({"import", Minimal}); // named after the file

    EXPECT_EQ(names(listed()), (std::vector<std::string>{"minimal", "alpha", "beta"}));
    EXPECT_EQ(names(listed({"--by-name"})),
              (std::vector<std::string>{"alpha", "beta", "minimal"}));

    const ListedRecord alpha = firstListed({"--by-name"});
    EXPECT_EQ(alpha.computed, "no");
    EXPECT_EQ(alpha.points, 7);
    EXPECT_EQ(alpha.measurements, 0);
}

// An empty list fails the check that expects a record, and nothing else.
TEST_F(CliDatabase, TheFirstRecordOfAnEmptyListIsAFailure)
{
    ok({"import", Minimal, "--name", "m"});
    ok({"delete", "m"});
    ::testing::TestPartResultArray failures;
    ListedRecord first{"x", "x", 1, 1};
    {
        const ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD,
            &failures);
        first = firstListed();
    }
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.GetTestPartResult(0).nonfatally_failed());
    EXPECT_NE(std::string(failures.GetTestPartResult(0).message()).find("list shows no record"),
              std::string::npos)
        << failures.GetTestPartResult(0).message();
    EXPECT_EQ(first.name, "");
}

struct ImportRefusal
{
    const char *name;
    const char *content; // nullptr: the file does not exist
    std::vector<std::string> options;
    const char *locale;
    int status;
    const char *message; // "%s" stands for the record file's path
};

class CliImportRefusal : public CliDatabase, public ::testing::WithParamInterface<ImportRefusal>
{
};

TEST_P(CliImportRefusal, RefusedImportLeavesNoDatabase)
{
    const ImportRefusal &c = GetParam();
    const std::string path = c.content ? writeFile("record.txt", c.content) : pathOf("absent.txt");
    std::vector<std::string> args{"import", path};
    args.insert(args.end(), c.options.begin(), c.options.end());

    const ProcessResult result = cli(args, c.locale);

    EXPECT_EQ(result.status, c.status);
    if (c.message) {
        std::string expected = c.message;
        const auto at = expected.find("%s");
        if (at != std::string::npos)
            expected.replace(at, 2, path);
        EXPECT_EQ(result.err, expected + "\n");
    }
    EXPECT_FALSE(fs::exists(db));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliImportRefusal,
    ::testing::Values(
        ImportRefusal{"MissingFile", nullptr, {}, "C", 3, nullptr},
        ImportRefusal{"MeanWavelength", "1000.5\n0.01\n3\n", {}, "C", 1,
                      "Mean wavelength is out of range [0.1, 1000.0] \xC2\xB5m"},
        ImportRefusal{"MeanWavelengthCommaLocale", "1000.5\n0.01\n3\n", {}, "de_DE.UTF-8", 1,
                      "Mean wavelength is out of range [0,1, 1000,0] \xC2\xB5m"},
        ImportRefusal{"DecimalComma", "0,65\n0.01\n3\n", {}, "C", 1,
                      "Error in reading file %s"},
        ImportRefusal{"TooFewPoints", "0.65\n0.01\n2\n", {}, "C", 1,
                      "Number of reference blackbodies is out of range [3, 20]"},
        ImportRefusal{"EmptyName", "0.65\n0.01\n3\n2.4E-3 1235\n6.1E-3 1358\n1.85E-2 1500\n",
                      {"--name", ""}, "C", 1, "Field 'Name' must have a value"},
        ImportRefusal{"UncertaintyZeroOnceStored",
                      "0.65\n0.01\n3\n2.4E-3 1235 1e-4000\n6.1E-3 1358\n1.85E-2 1500\n", {}, "C",
                      1,
                      "Uncertainty of the temperature of point 1 is too small to be stored: "
                      "1E-4000 (the smallest is 2.2250738585072E-308)"},
        ImportRefusal{"UncertaintySubnormalCommaLocale",
                      "0.65\n0.01\n3\n2.4E-3 1235 1e-320\n6.1E-3 1358\n1.85E-2 1500\n", {},
                      "de_DE.UTF-8", 1,
                      "Uncertainty of the temperature of point 1 is too small to be stored: "
                      "1E-320 (the smallest is 2,2250738585072E-308)"}),
    CaseName);

// ---- names and texts ----

// A text longer than its field holds is bad usage naming the limit, never cut: a cut name
// would reach no record.
struct TooLongCase
{
    const char *name;
    std::vector<std::string> args; // "%pdf" stands for a certificate's path
    const char *option;
    int length;
    int limit;
};

const std::string Umlauts101 = [] {
    std::string text;
    for (int i = 0; i < 101; ++i)
        text += "\xC3\xA4";
    return text;
}();

const TooLongCase TooLongCases[] = {
    {"RecordName", {"import", Minimal, "--name", std::string(101, 'n')}, "--name", 101, 100},
    // Characters are counted, not bytes.
    {"RecordNameOfTwoByteCharacters", {"import", Minimal, "--name", Umlauts101}, "--name", 101,
     100},
    {"LaboratoryName", {"laboratory", "--name", std::string(201, 'L')}, "--name", 201, 200},
    {"Address", {"laboratory", "--address", std::string(501, 'a')}, "--address", 501, 500},
    {"CalibratedBy", {"laboratory", "--calibrated-by", std::string(201, 'c')}, "--calibrated-by",
     201, 200},
    {"ApprovedBy", {"laboratory", "--approved-by", std::string(201, 'p')}, "--approved-by", 201,
     200},
    {"Customer", {"certificate", "cu", "-o", "%pdf", "--customer", std::string(201, 'C')},
     "--customer", 201, 200},
    {"Make", {"certificate", "cu", "-o", "%pdf", "--make", std::string(101, 'M')}, "--make", 101,
     100},
    {"Model", {"certificate", "cu", "-o", "%pdf", "--model", std::string(101, 'M')}, "--model",
     101, 100},
    {"Serial", {"certificate", "cu", "-o", "%pdf", "--serial", std::string(101, 'S')},
     "--serial", 101, 100},
};

class CliTooLong : public CliDatabase, public ::testing::WithParamInterface<TooLongCase>
{
};

TEST_P(CliTooLong, IsRefusedNamingTheLimit)
{
    const TooLongCase &c = GetParam();
    ok({"import", Copper, "--name", "cu"});
    if (c.args.front() == "certificate")
        ok({"calibrate", "cu", "--restarts", "0", "--seed", "1"});
    const std::string before = readWholeFile(db);
    std::vector<std::string> args = c.args;
    std::replace(args.begin(), args.end(), std::string("%pdf"), pathOf("c.pdf"));

    const ProcessResult result = cli(args);

    EXPECT_EQ(result.status, 64);
    const std::string message = "kelvora-cli " + args.front() + ": " + c.option + ": the text is "
                                + std::to_string(c.length) + " characters long, more than the "
                                + std::to_string(c.limit) + " it may hold\n";
    EXPECT_EQ(result.err.substr(0, message.size()), message);
    EXPECT_TRUE(readWholeFile(db) == before) << "the database was written";
    EXPECT_FALSE(fs::exists(pathOf("c.pdf")));
}

INSTANTIATE_TEST_SUITE_P(Texts, CliTooLong, ::testing::ValuesIn(TooLongCases), CaseName);

// A name that the record file's name gives is held to the same limit: refused, and the way
// out named.
TEST_F(CliDatabase, ANameTooLongFromTheFilesNameIsRefused)
{
    const std::string stem(101, 'f');
    const ProcessResult result =
        cli({"import", writeFile(stem + ".txt", readWholeFile(Minimal))});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "The name \"" + stem + "\" that the file's name gives is 101 "
                          "characters long, more than the 100 it may hold; give a shorter one "
                          "with --name\n");
    EXPECT_FALSE(fs::exists(db));
}

// Texts as long as their fields hold are kept whole, and a record reached by its name.
TEST_F(CliDatabase, TextsAtTheirLimitsAreKeptWhole)
{
    const std::string name(100, 'n');
    ok({"import", Minimal, "--name", name});
    EXPECT_EQ(names(listed()), std::vector<std::string>{name});
    EXPECT_EQ(ok({"report", name}).status, 0);

    std::string address;
    for (int line = 0; line < 50; ++line)
        address += std::string(line == 0 ? 10 : 9, 'a') + (line < 49 ? "\n" : "");
    ASSERT_EQ(address.size(), 500u);
    const std::string shown = ok({"laboratory", "--name", std::string(200, 'L'), "--address",
                                  address, "--calibrated-by", std::string(200, 'c'),
                                  "--approved-by", std::string(200, 'p')})
                                  .out;
    for (const std::string &text : {std::string(200, 'L'), std::string(200, 'c'),
                                    std::string(200, 'p'), std::string(10, 'a') + "\n"})
        EXPECT_NE(shown.find(text), std::string::npos) << text;

    ok({"import", Copper, "--name", "cu"});
    ok({"calibrate", "cu", "--restarts", "0", "--seed", "1"});
    ok({"certificate", "cu", "-o", pathOf("c.pdf"), "--customer", std::string(200, 'C'),
        "--make", std::string(100, 'M'), "--model", std::string(100, 'm'), "--serial",
        std::string(100, 'S')});
    EXPECT_TRUE(fs::exists(pathOf("c.pdf")));
}

// "--" ends the options, so that a record whose name begins with "-" is reached; the usage
// text says so.
TEST_F(CliDatabase, DoubleDashReachesANameThatBeginsWithADash)
{
    ok({"import", Minimal, "--name", "-x"});
    const auto afterDoubleDash = [this](const std::string &command) {
        return test::runProgram(KELVORA_CLI, {command, "--db", db, "--", "-x"}, dir(),
                                {"LC_ALL=C"});
    };
    EXPECT_EQ(afterDoubleDash("report").status, 0);
    const ProcessResult asOption = cli({"report", "-x"});
    EXPECT_EQ(asOption.status, 64);
    EXPECT_EQ(asOption.err.rfind("kelvora-cli report: unknown option -x\n", 0), 0u)
        << asOption.err;
    EXPECT_NE(asOption.err.find("\"--\" ends the options"), std::string::npos) << asOption.err;
    EXPECT_EQ(afterDoubleDash("delete").status, 0);
    EXPECT_TRUE(listed().empty());
}

// A Saunders-White guess too large to be stored is refused with that reason alone: nothing
// was written.
TEST_F(CliDatabase, AGuessTooLargeIsRefusedWithItsReasonAlone)
{
    const std::string huge =
        writeFile("huge.txt", "0.65\n0.01\n3\n1e305 1235\n6.1E-3 1358\n1.85E-2 1500\n");
    const ProcessResult result = cli({"import", huge});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("The Saunders-White guess C = ", 0), 0u) << result.err;
    const std::string end = " of these reference points is too large to be stored\n";
    ASSERT_GT(result.err.size(), end.size());
    EXPECT_EQ(result.err.substr(result.err.size() - end.size()), end);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_FALSE(fs::exists(db));
}

// What the import does not read is said on standard error, and the import goes on: a
// byte-order mark is passed by, a u(T) that is not read as one is named.
TEST_F(CliDatabase, ImportSaysWhatItDoesNotReadAsAnUncertainty)
{
    const std::string record =
        writeFile("marked.txt", "\xEF\xBB\xBF" "0.65\n0.01\n3\n2.4E-3 1235 5 mK\n6.1E-3 1358 5\n"
                                "1.85E-2 1500 5,0\n");
    const ProcessResult result = cli({"import", record});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "Record \"marked\" imported with 3 reference points\n");
    EXPECT_EQ(result.err, "Point 1: '5 mK' after the temperature is not read as u(T)\n"
                          "Point 3: '5,0' after the temperature is not read as u(T)\n"
                          "A u(T) in mK is a number written with a full stop, followed on its "
                          "line by nothing or by a // comment; anything else after the "
                          "temperature is a comment.\n");
    EXPECT_EQ(firstListed().points, 3);
}

// A signal list with a signal that a double does not hold as it is changes nothing.
TEST_F(CliDatabase, InterpolateRefusesAnUnstorableSignal)
{
    ok({"import", Copper, "--name", "cu"});
    ok({"calibrate", "cu", "--restarts", "0", "--seed", "1"});
    const std::string before = readWholeFile(db);
    for (const auto &[signal, message] :
         {std::pair<std::string, std::string>{"1e-4000", "Signal 2 is too small to be stored: "
                                                         "1E-4000 (the smallest is "
                                                         "2.2250738585072E-308)\n"},
          {"-1e-310", "Signal 2 is too small to be stored: -1E-310 (the smallest is "
                      "2.2250738585072E-308)\n"},
          {"2e308", "Signal 2 is too large to be stored: 2E308 (the largest is "
                    "1.79769313486232E308)\n"}}) {
        SCOPED_TRACE(signal);
        const ProcessResult result =
            cli({"interpolate", "cu", writeFile("s.txt", "2\n1e-3\n" + signal + "\n")});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, message);
        EXPECT_TRUE(readWholeFile(db) == before) << "the database was written";
    }
}

TEST_F(CliDatabase, CalibrateSavesResultsIntoTheReport)
{
    ok({"import", Copper, "--name", "cu"});
    const ProcessResult run =
        ok({"calibrate", "cu", "--seed", "7", "--restarts", "1", "--threads", "2"});
    EXPECT_NE(run.out.find("Particle"), std::string::npos) << run.out;

    const ListedRecord record = firstListed();
    EXPECT_EQ(record.computed, "yes");

    const std::string report = ok({"report", "cu"}).out;
    for (const char *line : {"*** CALIBRATION ******************************\r\n",
                             "Levenberg-Marquardt method:\r\nA = ",
                             "Particle Swarm Optimization:\r\nA = ", "\r\nRecord processed: ",
                             "  Signal                   T(K)       TLM(K)     TPSO (K)   "
                             "TLM-T (mK) TPSO-T (mK) TLM-TPSO (mK)\r\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    // The seed makes the run repeatable: a second calibration stores the same parameters, on
    // any number of threads.
    const auto parameters = [](const std::string &text) {
        return text.substr(text.find("Levenberg-Marquardt method:"),
                           text.find("  Signal") - text.find("Levenberg-Marquardt method:"));
    };
    ok({"calibrate", "cu", "--seed", "7", "--restarts", "1", "--threads", "1"});
    EXPECT_EQ(parameters(ok({"report", "cu"}).out), parameters(report));
}

// `list` shows the seed each record's swarm result was found with (none before a
// calibration), and calibrating again with that seed stores the same parameters, whether the
// seed was given or drawn from the clock.
TEST_F(CliDatabase, ListShowsTheSeedThatRepeatsTheSwarmFit)
{
    // The Seed column of the record's line, read under its title.
    const auto seedOf = [this](const std::string &name) {
        const std::string out = ok({"list", "--by-name"}).out;
        const std::string header = out.substr(0, out.find('\n'));
        const std::size_t from = header.find("Seed");
        const std::size_t to = header.find("Computed");
        const std::size_t line = out.find("\n" + name + " ");
        EXPECT_NE(line, std::string::npos) << out;
        if (line == std::string::npos || from == std::string::npos || to == std::string::npos)
            return std::string("?");
        std::string seed = out.substr(line + 1 + from, to - from);
        seed.erase(seed.find_last_not_of(' ') + 1);
        return seed;
    };
    ok({"import", Copper, "--name", "cu"});
    ok({"import", Copper, "--name", "given"});
    EXPECT_EQ(seedOf("cu"), "") << "no seed before a calibration";

    ok({"calibrate", "given", "--seed", "4294967295", "--restarts", "0"});
    EXPECT_EQ(seedOf("given"), "4294967295");

    ok({"calibrate", "cu", "--restarts", "0"});
    const std::string drawn = seedOf("cu");
    ASSERT_FALSE(drawn.empty());
    const auto parameters = [](const std::string &report) {
        return report.substr(report.find("Levenberg-Marquardt method:"),
                             report.find("  Signal") - report.find("Levenberg-Marquardt method:"));
    };
    const std::string first = parameters(ok({"report", "cu"}).out);
    ok({"calibrate", "cu", "--restarts", "0", "--seed", drawn});
    EXPECT_EQ(parameters(ok({"report", "cu"}).out), first);
}

TEST_F(CliDatabase, FailedFitSavesNothing)
{
    ok({"import", Minimal, "--name", "m"});
    const std::string before = readWholeFile(db);

    const ProcessResult result = cli({"calibrate", "m", "--seed", "1"});

    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("Levenberg-Marquardt: Convergence was not achieved\n"
                              "Please check your data\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(readWholeFile(db), before);
}

struct CommandCase
{
    const char *name;
    std::vector<std::string> args;
    int status;
    const char *message;
};

class CliRefusal : public CliDatabase, public ::testing::WithParamInterface<CommandCase>
{
};

TEST_P(CliRefusal, RefusedCommandLeavesTheDatabase)
{
    ok({"import", Minimal, "--name", "m"});
    const std::string before = readWholeFile(db);
    const ProcessResult result = cli(GetParam().args);
    EXPECT_EQ(result.status, GetParam().status);
    EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
    EXPECT_EQ(readWholeFile(db), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliRefusal,
    ::testing::Values(
        CommandCase{"UnknownRecord", {"delete", "nope"}, 1, "No record named \"nope\"\n"},
        CommandCase{"UnknownRecordReport", {"report", "nope"}, 1, "No record named \"nope\""},
        CommandCase{"NotCalibrated",
                    {"interpolate", "m", KELVORA_SAMPLES "/Signals/furnace-run.txt"},
                    1, "has no calibration results"},
        CommandCase{"BadMethod", {"interpolate", "m", "x.txt", "--method", "ls"}, 64,
                    "--method"},
        CommandCase{"UnknownOption", {"list", "--fast"}, 64, "unknown option --fast"},
        CommandCase{"ExtraArgument", {"delete", "m", "n"}, 64, "unexpected argument 'n'"},
        CommandCase{"BadRange", {"calibrate", "m", "--range", "0.5"}, 64, "--range"},
        CommandCase{"BadThreads", {"calibrate", "m", "--threads", "0"}, 64, "--threads"},
        CommandCase{"NegativeRestarts", {"calibrate", "m", "--restarts", "-1"}, 64,
                    "--restarts: '-1' is not a whole number from 0 to 1000000"},
        // Every numeric option is the number alone: trailing characters are refused.
        CommandCase{"SeedWithTrailingJunk", {"calibrate", "m", "--seed", "12abc"}, 64,
                    "--seed: '12abc' is not a whole number"},
        CommandCase{"MaxIterWithTrailingJunk", {"calibrate", "m", "--max-iter", "50x"}, 64,
                    "--max-iter: '50x' is not a whole number"},
        CommandCase{"TolWithTrailingJunk", {"calibrate", "m", "--tol", "1e-9e"}, 64,
                    "--tol: '1e-9e' is not a number"},
        CommandCase{"RestartsWithTrailingJunk", {"calibrate", "m", "--restarts", "1;"}, 64,
                    "--restarts: '1;' is not a whole number"},
        CommandCase{"RangeWithTrailingJunk", {"calibrate", "m", "--range", "2.0.1"}, 64,
                    "--range: '2.0.1' is not a number"},
        CommandCase{"ThreadsWithTrailingJunk", {"calibrate", "m", "--threads", "2abc"}, 64,
                    "--threads: '2abc' is not a whole number"},
        CommandCase{"RelativeUncertaintyOfOne", {"uncertainty", "m", "--w", "1"}, 64,
                    "--w: '1' is not a number from 0 to below 1"},
        CommandCase{"NegativeRelativeUncertainty", {"uncertainty", "m", "--w", "-1e-6"}, 64,
                    "--w"},
        CommandCase{"OneTrial", {"uncertainty", "m", "--trials", "1"}, 64,
                    "--trials: '1' is not a whole number from 2 to 1000000"},
        CommandCase{"TrialsWithTrailingJunk", {"uncertainty", "m", "--trials", "10k"}, 64,
                    "--trials: '10k' is not a whole number"},
        CommandCase{"UncertaintyOfNoRecord", {"uncertainty", "nope", "--w", "0.1"}, 1,
                    "No record named \"nope\""}),
    CaseName);

struct InterpolationCase
{
    const char *name;
    const char *signals;
    int rows;
    bool signalWarning;
    bool temperatureWarning;
};

class CliInterpolate : public CliDatabase, public ::testing::WithParamInterface<InterpolationCase>
{
};

TEST_P(CliInterpolate, WarningsGoToStandardErrorAndRowsAreKept)
{
    const InterpolationCase &c = GetParam();
    ok({"import", Copper, "--name", "cu"});
    ok({"calibrate", "cu", "--seed", "3", "--restarts", "1"});
    const std::string list = writeFile("signals.txt", c.signals);

    const ProcessResult result = ok({"interpolate", "cu", list, "--method", "pso"});

    const std::string signalText = "Signal for one or several records is out of\n"
                                   "the signal range for the reference blackbodies.\n\n"
                                   "Uncertainties of temperatures calculated for such\n"
                                   "signals can be higher than the uncertainties for\n"
                                   "temperatures that correspond to the signals lying\n"
                                   "within this range.\n";
    const std::string temperatureText =
        "Temperature for one or several records is out of\n"
        "the temperature range for the reference blackbodies.\n\n"
        "Uncertainties of temperatures calculated for such\n"
        "records can be higher than the uncertainties for\n"
        "temperatures lying within this range.\n";
    EXPECT_EQ(result.err, (c.signalWarning ? signalText : "")
                              + (c.temperatureWarning ? temperatureText : ""));
    EXPECT_EQ(result.out.rfind("Number of interpolated temperatures: " + std::to_string(c.rows)
                                   + "\n  Signal                  Temperature(K)\n",
                               0),
              0u)
        << result.out;
    EXPECT_EQ(firstListed().measurements, c.rows);

    // The listing is the results file, followed by the uncertainties.
    const std::size_t uncertainties = result.out.find("\nUncertainties (mK; U with k = 2)\n");
    ASSERT_NE(uncertainties, std::string::npos) << result.out;
    const std::string saved = pathOf("results.txt");
    ok({"results", "cu", "-o", saved});
    std::string expected = result.out.substr(0, uncertainties);
    expected = std::regex_replace(expected, std::regex("\n"), "\r\n");
    EXPECT_EQ(readWholeFile(saved), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliInterpolate,
    ::testing::Values(
        InterpolationCase{"Inside", "2\n1.0E-3\n1.0\n", 2, false, false},
        InterpolationCase{"Outside", "3\n1.0E-3\n50.0\n1.0\n", 3, true, true}),
    CaseName);

TEST_F(CliDatabase, ReportAndResultsToStandardOutputOrFile)
{
    ok({"import", Minimal, "--name", "m"});
    const std::string report = ok({"report", "m"}).out;
    EXPECT_EQ(report.rfind("0.65  // Mean wavelength (um)\r\n0.01  // Bandwidth (um)\r\n"
                           "3  // Number of reference temperatures\r\nRecord created: ",
                           0),
              0u)
        << report;
    EXPECT_NE(report.find("  Signal                  T(K)\r\n"
                          " 2.40000000000000E-0003  1.23500000000000E+0003 \r\n"),
              std::string::npos);

    const std::string saved = pathOf("report.txt");
    ok({"report", "m", "-o", saved});
    EXPECT_EQ(readWholeFile(saved), report);

    EXPECT_EQ(ok({"results", "m"}).out,
              "Number of interpolated temperatures: 0\r\n"
              "  Signal                  Temperature(K)\r\n");

    const std::string unwritable = pathOf("no/such/folder/report.txt");
    const ProcessResult failed = cli({"report", "m", "-o", unwritable});
    EXPECT_EQ(failed.status, 5);
    EXPECT_EQ(failed.err, "Error in writing file " + unwritable + "\n");
}

// A record whose points give u(T): the interpolation lists U beside each temperature, the
// same keys as fit --signals with --json, and the CSV results carry U; the results file stays
// as it was.
TEST_F(CliDatabase, InterpolationShowsTheUncertaintiesAndResultsExportThemAsCsv)
{
    const std::string record = writeFile("cu-u.txt",
                                         "1.6\n0.1\n7\n"
                                         "6.318016E-06  429.7485  5\n"
                                         "1.415591E-04  505.078   5\n"
                                         "1.741514E-02  692.677   10\n"
                                         "4.941202E-01  933.473   15\n"
                                         "5.192162E+00  1234.93   20\n"
                                         "9.072690E+00  1337.33   20\n"
                                         "1.004142E+01  1357.77   25\n");
    ok({"import", record, "--name", "cu"});
    ok({"calibrate", "cu", "--seed", "3", "--restarts", "1"});
    const std::string list = writeFile("signals.txt", "2\n1.0E-3\n1.0\n");

    const std::string text = ok({"interpolate", "cu", list}).out;
    static const std::regex row(R"(\n  1  0\.001  [0-9]+\.[0-9]{4}  [0-9]+\.[0-9]{3}  )");
    EXPECT_TRUE(std::regex_search(text, row)) << text;
    EXPECT_NE(text.find("\nBirge ratio R_B = "), std::string::npos) << text;

    const std::string json = ok({"interpolate", "cu", list, "--json"}).out;
    for (const char *key : {"\"record\": \"cu\"", "\"method\": \"lm\"", "\"interpolated\": [",
                            "\"u_ref\": \"", "\"u_sig\": \"", "\"u_c\": \"", "\"U\": \"",
                            "\"u_fit\": \"", "\"birge_ratio\": \""})
        EXPECT_NE(json.find(key), std::string::npos) << key << "\n" << json;

    const std::string csv = ok({"results", "cu", "--csv"}).out;
    static const std::regex csvForm("No,S,T \\(K\\),U \\(mK\\)\n"
                                    "1,0\\.001,[0-9]+\\.[0-9]{4},[0-9]+\\.[0-9]{3}\n"
                                    "2,1,[0-9]+\\.[0-9]{4},[0-9]+\\.[0-9]{3}\n");
    EXPECT_TRUE(std::regex_match(csv, csvForm)) << csv;
    EXPECT_EQ(ok({"results", "cu"}).out.rfind("Number of interpolated temperatures: 2\r\n"
                                              "  Signal                  Temperature(K)\r\n",
                                              0),
              0u);
}

// The record's uncertainty settings are shown, set and kept; the signals' w goes into U.
TEST_F(CliDatabase, UncertaintySettingsAreShownAndSetAndGoIntoU)
{
    const std::string record = writeFile("cu-u.txt",
                                         "1.6\n0.1\n3\n"
                                         "1.741514E-02  692.677   10\n"
                                         "4.941202E-01  933.473   15\n"
                                         "5.192162E+00  1234.93   20\n");
    ok({"import", record, "--name", "cu"});
    ok({"calibrate", "cu", "--seed", "3", "--restarts", "0"});
    EXPECT_EQ(ok({"uncertainty", "cu"}).out,
              "Uncertainty settings of \"cu\"\n"
              "  relative standard uncertainty of a measured signal w: 0\n"
              "  Monte Carlo trials: 10000\n  Monte Carlo seed: 1\n");
    const std::string list = writeFile("signals.txt", "1\n1.0\n");
    const std::string exact = ok({"interpolate", "cu", list, "--json"}).out;
    EXPECT_NE(exact.find("\"u_sig\": \"0."), std::string::npos) << exact;

    EXPECT_EQ(ok({"uncertainty", "cu", "--w", "0.001", "--trials", "500"}).out,
              "Uncertainty settings of \"cu\"\n"
              "  relative standard uncertainty of a measured signal w: 0.001\n"
              "  Monte Carlo trials: 500\n  Monte Carlo seed: 1\n");
    EXPECT_NE(ok({"uncertainty", "cu"}).out.find("Monte Carlo trials: 500\n"), std::string::npos)
        << "kept in the database";
    const std::string withW = ok({"interpolate", "cu", list, "--json"}).out;
    const auto value = [](const std::string &json, const std::string &key) {
        std::string quoted = key;
        quoted.insert(0, 1, '"').append("\": \"");
        const std::size_t at = json.find(quoted);
        return at == std::string::npos ? -1.0 : std::stod(json.substr(at + quoted.size()));
    };
    EXPECT_EQ(value(exact, "u_sig"), 0.0);
    EXPECT_GT(value(withW, "u_sig"), 0.0);
    EXPECT_GT(value(withW, "U"), value(exact, "U"));
}

TEST_F(CliDatabase, DeleteTakesTheNewestRecordOfThatName)
{
    ok({"import", Minimal, "--name", "dup"});
    ok({"import", Copper, "--name", "dup"});
    ok({"import", Minimal, "--name", "other"});

    EXPECT_EQ(ok({"delete", "dup"}).out, "Record \"dup\" deleted\n");

    const std::vector<std::string> lines = listed();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(parseListed(lines[0]).name, "other");
    EXPECT_EQ(parseListed(lines[1]).name, "dup");
    EXPECT_EQ(parseListed(lines[1]).points, 3);
}

// Every command on a database that is missing or damaged reports it and leaves it as it is;
// only import creates a missing database.
const std::vector<std::vector<std::string>> EveryCommandButImport{
    {"list"},
    {"report", "x"},
    {"results", "x"},
    {"delete", "x"},
    {"calibrate", "x"},
    {"interpolate", "x", KELVORA_SAMPLES "/Signals/furnace-run.txt"},
};

TEST_F(CliDatabase, MissingDatabaseIsReportedAndNotCreated)
{
    for (const auto &args : EveryCommandButImport) {
        SCOPED_TRACE(args.front());
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.status, 3);
        EXPECT_EQ(result.err, "File " + db + " not found\n");
        EXPECT_FALSE(fs::exists(db));
    }
}

TEST_F(CliDatabase, DamagedDatabaseIsLeftByteIdentical)
{
    const std::string garbage = "this is not a database\r\n\x01\x02\x03";
    writeFile("kelvora.dbs", garbage);
    auto commands = EveryCommandButImport;
    commands.push_back({"import", Minimal});
    for (const auto &args : commands) {
        SCOPED_TRACE(args.front());
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.status, 3);
        EXPECT_EQ(result.err.rfind("File " + db + " might be corrupted", 0), 0u) << result.err;
        EXPECT_EQ(readWholeFile(db), garbage);
        EXPECT_FALSE(fs::exists(backupPath(db)));
    }
}

TEST_F(CliDatabase, HeldLockRefusesChangesButNotReading)
{
    ok({"import", Copper, "--name", "cu"});
    const std::string before = readWholeFile(db);
    DatabaseLock window(db);
    ASSERT_TRUE(window.acquire());

    const std::vector<std::vector<std::string>> changes{
        {"import", Minimal},
        {"delete", "cu"},
        {"calibrate", "cu"},
        {"interpolate", "cu", KELVORA_SAMPLES "/Signals/furnace-run.txt"},
    };
    for (const auto &args : changes) {
        SCOPED_TRACE(args.front());
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("in use"), std::string::npos) << result.err;
        EXPECT_TRUE(readWholeFile(db) == before) << "the database was written";
    }
    EXPECT_EQ(cli({"list"}).status, 0);
    EXPECT_EQ(cli({"report", "cu"}).status, 0);

    window.release();
    EXPECT_EQ(cli({"delete", "cu"}).status, 0);
}

// ---- reliability of the database file ----

std::string tamperedBy(const std::string &db, const std::string &sql)
{
    sqlite3 *handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    char *error = nullptr;
    sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(handle);
    return message;
}

std::vector<std::string> folderEntries(const fs::path &folder)
{
    std::vector<std::string> entries;
    for (const auto &entry : fs::directory_iterator(folder))
        entries.push_back(entry.path().filename().string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

bool printable(const std::string &text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        return c == '\n' || (c >= ' ' && c <= '~') || (static_cast<unsigned char>(c) >= 0x80);
    });
}

struct DamageCase
{
    const char *name;
    std::function<void(const std::string &db)> damage;
    const char *reason; // the line after "File ... might be corrupted"
};

const DamageCase DamageCases[] = {
    {"ValueChangedBehindItsChecksum",
     [](const std::string &db) { tamperedBy(db, "UPDATE cdsMain SET MeanWL = 0.66;"); },
     "The database is damaged: a row of table cdsMain does not match its checksum"},
    {"LastReferencePointLost",
     [](const std::string &db) { tamperedBy(db, "DELETE FROM cdsBB WHERE inc = 7;"); },
     "The database is damaged: a row of table cdsMain does not match its checksum"},
    {"ReferencePointChanged",
     [](const std::string &db) { tamperedBy(db, "UPDATE cdsBB SET T = T + 1e-9;"); },
     "The database is damaged: a row of table cdsBB does not match its checksum"},
    // Set back by hand, the version would turn the checks off.
    {"LayoutVersionSetBack",
     [](const std::string &db) { tamperedBy(db, "PRAGMA user_version = 1;"); },
     "The database is damaged: its layout version 1 does not match the tables it holds"},
    // Names made of raw bytes in the file's own schema never reach the message.
    {"SchemaOfRawBytes",
     [](const std::string &db) {
         tamperedBy(db, "DROP TABLE _fields; CREATE TABLE \"\x01\xfe\x80_fields\" (x);");
     },
     "The database is damaged: its table _fields is missing"},
};

class CliDamagedDatabase : public CliDatabase, public ::testing::WithParamInterface<DamageCase>
{
};

TEST_P(CliDamagedDatabase, EveryCommandRefusesItAndLeavesItUntouched)
{
    ok({"import", Copper, "--name", "cu"});
    GetParam().damage(db);
    const std::string damaged = readWholeFile(db);
    auto commands = EveryCommandButImport;
    commands.push_back({"import", Minimal});
    for (auto args : commands) {
        if (args.size() > 1 && args[1] == "x")
            args[1] = "cu";
        SCOPED_TRACE(args.front());
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.status, 3);
        EXPECT_EQ(result.err, "File " + db + " might be corrupted\n" + GetParam().reason + "\n");
        EXPECT_TRUE(printable(result.err));
        EXPECT_EQ(readWholeFile(db), damaged);
        EXPECT_FALSE(fs::exists(backupPath(db)));
    }
}

INSTANTIATE_TEST_SUITE_P(Damage, CliDamagedDatabase, ::testing::ValuesIn(DamageCases), CaseName);

// A database of a newer layout is no damage: every command refuses it saying so, and leaves it
// where and as it is.
TEST_F(CliDatabase, NewerDatabaseIsRefusedAndLeftAsItIs)
{
    ok({"import", Copper, "--name", "cu"});
    const int newer = LayoutVersion + 1;
    tamperedBy(db, "PRAGMA user_version = " + std::to_string(newer) + ";");
    const std::string before = readWholeFile(db);
    auto commands = EveryCommandButImport;
    commands.push_back({"import", Minimal});
    commands.push_back({"uncertainty", "cu", "--w", "0.01"});
    commands.push_back({"laboratory", "--name", "Lab"});
    for (auto args : commands) {
        if (args.size() > 1 && args[1] == "x")
            args[1] = "cu";
        SCOPED_TRACE(args.front());
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "File " + db + " is not opened\nThe database was written by a "
                                  "newer version of Kelvora (layout " + std::to_string(newer)
                                  + "); this version reads layouts up to "
                                  + std::to_string(LayoutVersion)
                                  + "\nIt is left as it is; open it with that version.\n");
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(readWholeFile(db), before);
        EXPECT_EQ(folderEntries(dir()), std::vector<std::string>{"kelvora.dbs"});
    }
}

// Four imports at once, against a lock file left by a process that has ended, each writer
// reaching the database under one of its names: every import that says it is done is in the
// file, and every other one is refused as it should be. While another program keeps the file
// locked for a moment, the writers wait for it.
struct RaceCase
{
    const char *name;
    bool otherNames;    // writers take turns with a symbolic link and a hard link
    bool busyAtTheStart; // another program keeps the file locked for the first second
};

class CliRace : public CliDatabase, public ::testing::WithParamInterface<RaceCase>
{
};

TEST_P(CliRace, WritersAtOnceNeverLoseARecord)
{
    const RaceCase &c = GetParam();
    ok({"import", Minimal, "--name", "first"});
    fs::create_directory(dir() / "link");
    fs::create_directory(dir() / "hard");
    fs::create_symlink("../kelvora.dbs", dir() / "link" / "kelvora.dbs");
    fs::create_hard_link(db, dir() / "hard" / "kelvora.dbs");
    const std::vector<std::string> paths =
        c.otherNames ? std::vector<std::string>{db, (dir() / "link" / "kelvora.dbs").string(),
                                                (dir() / "hard" / "kelvora.dbs").string()}
                     : std::vector<std::string>{db};
    const int trials = c.busyAtTheStart ? 2 : 12;
    constexpr int Writers = 4;
    int done = 0;
    for (int trial = 0; trial < trials; ++trial) {
        writeFile("kelvora.dbs.lock", "999999999\n");
        std::string script;
        std::vector<std::string> writerPaths;
        for (int w = 0; w < Writers; ++w) {
            const std::string name = "t" + std::to_string(trial) + "w" + std::to_string(w);
            writerPaths.push_back(paths[static_cast<std::size_t>(trial + w) % paths.size()]);
            script += "(" + test::shellWords({KELVORA_CLI, "import", Minimal, "--name", name,
                                              "--db", writerPaths.back()})
                      + " >" + test::shellQuoted(pathOf(name + ".out")) + " 2>"
                      + test::shellQuoted(pathOf(name + ".err")) + "; echo $? >"
                      + test::shellQuoted(pathOf(name + ".rc")) + ") & ";
        }
        sqlite3 *other = nullptr;
        if (c.busyAtTheStart) {
            ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
                      SQLITE_OK);
        }
        int writers = -1;
        std::thread race([&] { writers = std::system((script + "wait").c_str()); });
        if (other) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(other);
        }
        race.join();
        ASSERT_EQ(writers, 0);
        const std::vector<std::string> listedNames = names(listed());
        for (int w = 0; w < Writers; ++w) {
            const std::string name = "t" + std::to_string(trial) + "w" + std::to_string(w);
            const int status = std::stoi(readWholeFile(pathOf(name + ".rc")));
            const bool kept = std::count(listedNames.begin(), listedNames.end(), name) == 1;
            if (status == 0) {
                ++done;
                EXPECT_TRUE(kept) << name << " was imported and is lost";
            } else {
                EXPECT_EQ(status, 1) << name;
                EXPECT_EQ(readWholeFile(pathOf(name + ".err")),
                          "The database " + writerPaths[static_cast<std::size_t>(w)]
                              + " is in use by a running copy of Kelvora; close it and try"
                                " again\n");
                EXPECT_FALSE(kept) << name << " was refused and is there";
            }
        }
    }
    EXPECT_EQ(static_cast<int>(listed().size()), done + 1);
    EXPECT_GE(done, trials) << "every trial has a winner";
}

INSTANTIATE_TEST_SUITE_P(Writers, CliRace,
                         ::testing::Values(RaceCase{"OneName", false, false},
                                           RaceCase{"ThreeNames", true, false},
                                           RaceCase{"ThreeNamesAndABusyFile", true, true}),
                         CaseName);

// Another program (an SQLite shell, a backup tool) keeps the file locked longer than a reader
// waits: the file is busy, not damaged; it is reported so and left as it is.
TEST_F(CliDatabase, AFileKeptLockedByAnotherProgramIsBusyNotDamaged)
{
    ok({"import", Copper, "--name", "cu"});
    const std::string before = readWholeFile(db);
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const ProcessResult result = cli({"delete", "cu"});
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "The database " + db
                              + " is busy: another program (an SQLite tool or a backup) keeps it"
                                " locked.\nIt is left as it is; try again when that program is"
                                " done.\n");
    EXPECT_EQ(readWholeFile(db), before);
    EXPECT_EQ(folderEntries(dir()), std::vector<std::string>{"kelvora.dbs"});
}

// A record deleted with its rows outside the program: with two records of one name the
// commands would otherwise act on the older one as if nothing had happened.
TEST_F(CliDatabase, ARecordDeletedBehindTheChecksIsFound)
{
    ok({"import", Minimal, "--name", "lamp"});
    ok({"import", Copper, "--name", "lamp"});
    tamperedBy(db, "DELETE FROM cdsBB WHERE _record = 2; DELETE FROM cdsInterp WHERE _record = 2;"
                   " DELETE FROM cdsMain WHERE _pos = 2;");
    const std::string damaged = readWholeFile(db);
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"report", "lamp"}, {"results", "lamp"},
          {"calibrate", "lamp", "--restarts", "0"}}) {
        SCOPED_TRACE(args.front());
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.status, 3);
        EXPECT_EQ(result.err, "File " + db + " might be corrupted\nThe database is damaged: table"
                                             " cdsMain holds other rows than its last save"
                                             " wrote\n");
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(readWholeFile(db), damaged);
    }
}

// The first save through a link that leads to no file yet creates that file and keeps the
// link, so that every name of the database goes on reaching the same file.
TEST_F(CliDatabase, AFirstSaveThroughADanglingLinkCreatesItsTarget)
{
    fs::create_directory(dir() / "shared");
    fs::create_symlink("shared/kelvora.dbs", db);
    ok({"import", Minimal, "--name", "m"});
    EXPECT_TRUE(fs::is_symlink(db));
    EXPECT_TRUE(fs::is_regular_file(dir() / "shared" / "kelvora.dbs"));
    EXPECT_EQ(names(listed()), std::vector<std::string>{"m"});
    const ProcessResult other = test::runProgram(
        KELVORA_CLI, {"list", "--db", (dir() / "shared" / "kelvora.dbs").string()}, dir());
    EXPECT_EQ(other.status, 0);
    EXPECT_NE(other.out.find("\nm "), std::string::npos) << other.out;
}

// Standard output that a command cannot write: a full device, or none at all.
struct LostOutputCase
{
    const char *name;
    const char *redirection;
    const char *reason; // the system's text
};

const LostOutputCase LostOutputCases[] = {
    {"FullDevice", ">/dev/full", "No space left on device"},
    {"Closed", ">&-", "Bad file descriptor"},
};

class CliLostOutput : public CliDatabase, public ::testing::WithParamInterface<LostOutputCase>
{
protected:
    ProcessResult withLostOutput(const std::vector<std::string> &args) const
    {
        std::vector<std::string> command{
            "-c", std::string("exec \"$0\" \"$@\" ") + GetParam().redirection, KELVORA_CLI};
        command.insert(command.end(), args.begin(), args.end());
        command.insert(command.end(), {"--db", db});
        return test::runProgram("sh", command, dir(), {"LC_ALL=C"});
    }

    std::string lostText() const
    {
        return std::string("Error in writing to standard output: ") + GetParam().reason + "\n";
    }

    // The record of that name as the messages name it: with its creation time as `list`
    // shows it, the key that tells records of one name apart.
    std::string recordKey(const std::string &name) const
    {
        static const std::regex columns(R"(^(\S+) {2,}(\S.*?) {2,}.*$)");
        for (const std::string &line : listed()) {
            std::smatch match;
            if (std::regex_match(line, match, columns) && match[1] == name)
                return "record \"" + name + "\" (created " + match[2].str() + ")";
        }
        ADD_FAILURE() << "no record " << name;
        return {};
    }
};

// What a command writes must reach standard output: lost output of a command that changes
// nothing is a failure with the system's text, not a success.
TEST_P(CliLostOutput, IsAFailureWhenNothingChanged)
{
    ok({"import", Minimal, "--name", "m"});
    const std::string before = readWholeFile(db);
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"report", "m"}, {"results", "m"}, {"list"}, {"list", "--help"},
          {"uncertainty", "m"}, {"laboratory"}}) {
        SCOPED_TRACE(args.front());
        const ProcessResult r = withLostOutput(args);
        EXPECT_EQ(r.status, 5);
        EXPECT_EQ(r.err, lostText());
        EXPECT_TRUE(readWholeFile(db) == before) << "the database was written";
    }
}

// A change that is saved is done, also when the output after it is lost: the status says so,
// so that nobody repeats it (a second import would be a second record), and standard error
// says what was saved, naming the record by its key.
TEST_P(CliLostOutput, LeavesASavedChangeDone)
{
    ok({"import", Copper, "--name", "cu"});
    const std::string cu = recordKey("cu");
    const std::string furnace = Samples + "/Signals/furnace-run.txt";
    struct Change
    {
        std::vector<std::string> args;
        std::function<std::string()> saved; // what standard error says was saved
    };
    std::string second;
    const Change changes[] = {
        {{"import", Minimal, "--name", "second"},
         [&] { return (second = recordKey("second")) + " imported"; }},
        {{"uncertainty", "cu", "--w", "0.01"},
         [&] { return "the uncertainty settings of " + cu; }},
        {{"laboratory", "--name", "Lab"},
         [] { return std::string("the laboratory's details"); }},
        {{"calibrate", "cu", "--restarts", "0", "--seed", "1"},
         [&] { return "the calibration results of " + cu; }},
        {{"interpolate", "cu", furnace},
         [&] { return "the measurements of " + cu + " interpolated"; }},
        {{"delete", "second"}, [&] { return second + " deleted"; }},
    };
    for (const Change &change : changes) {
        SCOPED_TRACE(change.args.front());
        const ProcessResult r = withLostOutput(change.args);
        EXPECT_EQ(r.status, 0);
        // After what the command says on standard error anyway (interpolate's range warnings).
        const std::string said =
            lostText() + "The change is saved all the same: " + change.saved() + "\n";
        EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), said.size())), said)
            << r.err;
    }
    EXPECT_EQ(names(listed()), std::vector<std::string>{"cu"});
    const ListedRecord record = firstListed();
    EXPECT_EQ(record.computed, "yes");
    EXPECT_GT(record.measurements, 0);
    EXPECT_NE(ok({"uncertainty", "cu"}).out.find("signal w: 0.01\n"), std::string::npos);
    EXPECT_NE(ok({"laboratory"}).out.find("Name:           Lab\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Outputs, CliLostOutput, ::testing::ValuesIn(LostOutputCases),
                         CaseName);

TEST_F(CliDatabase, LockPathThatIsAFolderIsRefusedClearly)
{
    ok({"import", Minimal, "--name", "m"});
    const std::string before = readWholeFile(db);
    fs::create_directory(db + ".lock");
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"import", Minimal}, {"delete", "m"}}) {
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "Cannot use the lock file \"" + db + ".lock\". Is a directory\n");
    }
    EXPECT_EQ(readWholeFile(db), before);
    EXPECT_EQ(names(listed()), std::vector<std::string>{"m"});
}

// Run by a user whom permissions stop (as root: the user nobody), the reading commands work in
// a folder that may not be written, and the changing ones refuse with the save's message. That
// user runs the program and reads the record file from copies in the test's own folder, which
// it may enter wherever the build lies (a checkout in a folder that only its owner enters).
TEST_F(CliDatabase, ReadOnlyFolderReadsButRefusesChanges)
{
    const fs::path folder = dir() / "ro";
    fs::create_directory(folder);
    const std::string roDb = (folder / "kelvora.dbs").string();
    ASSERT_EQ(test::runProgram(KELVORA_CLI, {"import", Copper, "--name", "cu", "--db", roDb},
                               dir()).status, 0);
    const std::string before = readWholeFile(roDb);
    const std::string program = pathOf("kelvora-cli");
    const std::string minimal = pathOf("minimal.txt");
    fs::copy_file(KELVORA_CLI, program);
    fs::copy_file(Minimal, minimal);
    const fs::perms readable = fs::perms::owner_read | fs::perms::group_read
                               | fs::perms::others_read;
    const fs::perms enterable = fs::perms::owner_exec | fs::perms::group_exec
                                | fs::perms::others_exec;
    fs::permissions(program, readable | enterable);
    fs::permissions(minimal, readable);
    fs::permissions(dir(), fs::perms::owner_all | readable | enterable);
    fs::permissions(folder, readable | enterable);
    const auto asUser = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--db", roDb});
        if (::geteuid() != 0)
            return test::runProgram(program, args, dir());
        args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", program});
        return test::runProgram("setpriv", args, dir());
    };
    const ProcessResult list = asUser({"list"});
    if (list.status == 126 || list.status == 127)
        GTEST_SKIP() << "the program cannot be run as another user here: " << list.err;
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(asUser({"report", "cu"}).status, 0);
    // Without a lock the changing commands are refused before they start; with one taken
    // only the save is, after a calibration has printed its results.
    const auto refusesChanges = [&](bool locked) {
        for (const std::vector<std::string> &args :
             {std::vector<std::string>{"import", minimal}, {"delete", "cu"},
              {"calibrate", "cu", "--restarts", "0"}}) {
            SCOPED_TRACE(args.front());
            const ProcessResult result = asUser(args);
            EXPECT_EQ(result.status, 5);
            EXPECT_EQ(result.err, "Cannot create file \"" + roDb + "\". Permission denied\n");
            EXPECT_EQ(result.out.empty(), !locked || args.front() != "calibrate");
        }
        EXPECT_EQ(readWholeFile(roDb), before);
    };
    refusesChanges(false);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"kelvora.dbs"});

    // A lock file left by a killed writer, and the files the user's own: the lock is taken,
    // and the save meets the folder that may not be written.
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
    test::writeWholeFile(folder / "kelvora.dbs.lock", "999999999\n");
    fs::permissions(folder, fs::perms::owner_write, fs::perm_options::remove);
    if (::geteuid() == 0) {
        for (const char *name : {"kelvora.dbs", "kelvora.dbs.lock"})
            ASSERT_EQ(::chown((folder / name).c_str(), 65534, 65534), 0);
    }
    SCOPED_TRACE("stale lock file");
    refusesChanges(true);
}

// Under a file-size limit a save fails with the system's text, the first save of a new file
// as much as a save in place, and leaves the folder as it was.
TEST_F(CliDatabase, FileSizeLimitFailsTheSaveAndKeepsTheFile)
{
    for (const bool first : {true, false}) {
        SCOPED_TRACE(first ? "first save" : "save in place");
        if (!first)
            ok({"import", Copper, "--name", "cu"});
        const std::string before = readWholeFile(db);
        ASSERT_TRUE(first || before.size() > 8192u);
        // 8 blocks of 512 bytes: every page past the first 4 KiB is beyond the limit.
        const ProcessResult result = test::runProgram(
            "sh", {"-c", "ulimit -f 8; exec \"$0\" \"$@\"", KELVORA_CLI, "import", Copper,
                   "--name", "m", "--db", db},
            dir());
        EXPECT_EQ(result.status, 5);
        EXPECT_EQ(result.err, "Cannot create file \"" + db + "\". File too large\n");
        EXPECT_EQ(readWholeFile(db), before);
        EXPECT_EQ(folderEntries(dir()),
                  first ? std::vector<std::string>{} : std::vector<std::string>{"kelvora.dbs"});
    }
}

TEST_F(CliDatabase, SaveKeepsTheFilesModeOwnerAndLink)
{
    const fs::path target = dir() / "store" / "kelvora.dbs";
    fs::create_directory(target.parent_path());
    ASSERT_EQ(test::runProgram(KELVORA_CLI,
                               {"import", Copper, "--name", "cu", "--db", target.string()}, dir())
                  .status, 0);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
    }
    fs::create_symlink(target, db);

    ok({"import", Minimal, "--name", "m"});
    ok({"delete", "cu"});

    EXPECT_TRUE(fs::is_symlink(db));
    struct stat status{};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(status.st_uid, 65534u);
    }
    EXPECT_EQ(names(listed()), std::vector<std::string>{"m"});
    EXPECT_EQ(folderEntries(target.parent_path()), std::vector<std::string>{"kelvora.dbs"});
}

} // namespace
} // namespace kelvora
