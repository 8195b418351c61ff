// The certificate and laboratory commands of kelvora-cli, run as the user runs them on a
// database in a temporary folder.

#include "casename.h"
#include "cli_process.h"
#include "database/database.h"
#include "records/laboratory.h"
#include "records/operations.h"
#include "samples/noisyrecord.h"
#include "tests/certificate_fixture.h"
#include "tests/pdftext.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace kelvora {
namespace {

using test::ProcessResult;
using testcase::CaseName;
using testcase::PrintTo;

class CliCertificate : public test::TempDirTest
{
protected:
    // A database with the computed record "Lamp" (7 points, 600 K to 1200 K, two
    // measurements) and the record "Raw" that was never computed.
    void SetUp() override
    {
        TempDirTest::SetUp();
        db = pathOf("kelvora.dbs");
        RecordStore records;
        records.store.open();
        ImportRecord(records, samples::noisyRecordFile(4), "Raw");
        test::importComputedRecord(records, "Lamp", 7, {0.05L, 0.2L});
        saveDatabase(db, records.store.data());
    }

    ProcessResult cli(std::vector<std::string> args) const
    {
        args.push_back("--db");
        args.push_back(db);
        return test::runProgram(KELVORA_CLI, args, dir(), {"LC_ALL=C"});
    }

    ProcessResult ok(const std::vector<std::string> &args) const
    {
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return result;
    }

    // The certificate number the record holds in the database file.
    std::string storedNumber(const std::string &name) const
    {
        const auto field = static_cast<std::size_t>(fieldIndex(RecordField::CertNo));
        const auto nameField = static_cast<std::size_t>(fieldIndex(RecordField::Name));
        for (const RowData &record : loadDatabase(db).records) {
            if (record.values[nameField] == Value{name}) {
                const auto *number = std::get_if<std::string>(&record.values[field]);
                return number != nullptr ? *number : std::string();
            }
        }
        ADD_FAILURE() << "no record " << name;
        return {};
    }

    std::string db;
};

TEST_F(CliCertificate, IssuesTheCertificateAndReusesItsNumberUntilANewOneIsAskedFor)
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

    // The details given stay with the record: the second certificate has them too.
    const std::string second = pathOf("second.pdf");
    ok({"certificate", "Lamp", "-o", second});
    EXPECT_NE(test::pdfText(second).find("ACME Pyrometry"), std::string::npos);
    EXPECT_NE(test::pdfText(second).find("CAL-007"), std::string::npos);
    EXPECT_EQ(ok({"certificate", "Lamp", "-o", second, "--new-number"}).out,
              "Certificate CAL-008 of record \"Lamp\" written to " + second + "\n");
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

} // namespace
} // namespace kelvora
