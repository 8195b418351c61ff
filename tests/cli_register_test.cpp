// The register of issued certificates through kelvora-cli: listing, export and withdrawal, the
// file's checks of the register, the upgrade of an older file, and what every way of failing
// leaves behind.

#include "casename.h"
#include "tests/cli_certificate_fixture.h"
#include "tests/database_fixture.h"
#include "tests/pdftext.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace kelvora {
namespace {

using test::ProcessResult;
using testcase::CaseName;
using testcase::PrintTo;

namespace fs = std::filesystem;

// The SHA-256 of a file as coreutils' sha256sum gives it.
std::string sha256sumOf(const std::string &path)
{
    return test::toolOutput({"sha256sum", path}).substr(0, 64);
}

class CliRegister : public test::CliCertificate
{
public:
    const std::string &databasePath() const { return db; }
    const std::filesystem::path &folder() const { return dir(); }
    ProcessResult run(const std::vector<std::string> &args) const { return cli(args); }

protected:
    // Numbers without the year, so that they do not depend on the day the test runs.
    void SetUp() override
    {
        CliCertificate::SetUp();
        ok({"laboratory", "--pattern", "CAL-{nnn}"});
    }

    std::vector<CertificateEntry> registered() const { return loadDatabase(db).certificates; }

    // Runs SQL on the database with the sqlite3 shell, as a user who edits it by hand.
    void sqlite(const std::string &sql) const
    {
        const ProcessResult result = test::runProgram("sqlite3", {db, sql}, dir());
        ASSERT_EQ(result.status, 0) << result.err;
    }

    // What must hold whatever happened: every PDF file in the folder carries a number of the
    // register, no two records hold one number, and every registered document is written
    // again with the bytes its SHA-256 names, the same as the file of its number if there is
    // one.
    void expectRegisterHolds() const
    {
        const StoreData data = loadDatabase(db);
        std::set<std::string> numbers;
        for (const CertificateEntry &entry : data.certificates)
            numbers.insert(entry.number);
        for (const auto &file : fs::directory_iterator(dir())) {
            if (file.path().extension() != ".pdf")
                continue;
            std::smatch m;
            const std::string text = test::pdfText(file.path());
            ASSERT_TRUE(std::regex_search(text, m, std::regex("Certificate number +(\\S+)")))
                << file.path();
            EXPECT_EQ(numbers.count(m[1]), 1u) << file.path() << " is not registered";
        }
        std::set<std::string> held;
        const auto certNo = static_cast<std::size_t>(fieldIndex(RecordField::CertNo));
        for (const RowData &record : data.records) {
            if (const auto *number = std::get_if<std::string>(&record.values[certNo])) {
                EXPECT_TRUE(held.insert(*number).second) << *number << " held twice";
            }
        }
        for (const CertificateEntry &entry : data.certificates) {
            if (!entry.hasDocument())
                continue;
            const std::string copy = pathOf("exported/" + entry.number + ".pdf");
            fs::create_directories(pathOf("exported"));
            ok({"certificate", "--export", entry.number, "-o", copy, "--force"});
            EXPECT_EQ(sha256sumOf(copy), entry.sha256) << entry.number;
            const std::string issued = pathOf(entry.number + ".pdf");
            if (fs::exists(issued)) {
                EXPECT_EQ(test::readWholeFile(copy), test::readWholeFile(issued))
                    << entry.number;
            }
        }
        fs::remove_all(pathOf("exported"));
    }
};

TEST_F(CliRegister, ExportWritesTheRegisteredDocumentByteForByte)
{
    const std::string issued = pathOf("CAL-001.pdf");
    ok({"certificate", "Lamp", "-o", issued});
    const std::string copy = pathOf("copy.pdf");
    EXPECT_EQ(ok({"certificate", "--export", "CAL-001", "-o", copy}).out,
              "Certificate CAL-001 written to " + copy + "\n");
    EXPECT_EQ(test::readWholeFile(copy), test::readWholeFile(issued));
    ASSERT_EQ(registered().size(), 1u);
    EXPECT_EQ(registered().front().sha256, sha256sumOf(issued));

    const ProcessResult again = cli({"certificate", "--export", "CAL-001", "-o", copy});
    EXPECT_EQ(again.status, 5);
    EXPECT_NE(again.err.find(copy + " already exists; --force replaces it"), std::string::npos)
        << again.err;
    ok({"certificate", "--export", "CAL-001", "-o", copy, "--force"});
    EXPECT_EQ(test::readWholeFile(copy), test::readWholeFile(issued));
    expectRegisterHolds();
}

TEST_F(CliRegister, ListsTheRegisterNewestFirstWithReplacementsAndWithdrawals)
{
    ok({"certificate", "Lamp", "-o", pathOf("CAL-001.pdf")});
    ok({"certificate", "Lamp", "-o", pathOf("CAL-002.pdf"), "--customer", "ACME"});
    EXPECT_EQ(ok({"certificate", "--withdraw", "CAL-002", "--reason", "Wrong customer"}).out,
              "Certificate CAL-002 withdrawn: Wrong customer\n");
    const ProcessResult again =
        cli({"certificate", "--withdraw", "CAL-002", "--reason", "Twice"});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("Certificate CAL-002 was withdrawn on "), std::string::npos);
    EXPECT_NE(again.err.find(": Wrong customer"), std::string::npos);

    const std::vector<std::string> lines = test::linesOf(ok({"certificates"}).out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex("Number +Issued +Record +Customer +State +Replaces +Replaced by")));
    EXPECT_TRUE(std::regex_match(
        lines[1],
        std::regex("CAL-002 +.+ +Lamp +ACME +withdrawn .+: Wrong customer +CAL-001 *")))
        << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("CAL-001 +.* +Lamp +issued +CAL-002")))
        << lines[2];
    EXPECT_EQ(ok({"certificates", "Lamp"}).out, ok({"certificates"}).out);
    EXPECT_EQ(test::linesOf(ok({"certificates", "Raw"}).out).size(), 1u);

    const std::string json = test::flowingText(ok({"certificates", "--json"}).out);
    EXPECT_LT(json.find("\"number\": \"CAL-002\""), json.find("\"number\": \"CAL-001\""));
    for (const char *said :
         {"\"state\": \"withdrawn\"", "\"replaces\": \"CAL-001\"", "\"replaced_by\": null",
          "\"reason\": \"Wrong customer\"", "\"replaces\": null", "\"replaced_by\": \"CAL-002\""})
        EXPECT_NE(json.find(said), std::string::npos) << said;

    // The record's certificate now is none: one for it as it is gets the next number and
    // replaces nothing.
    EXPECT_EQ(ok({"certificate", "Lamp", "-o", pathOf("CAL-003.pdf")}).out,
              "Certificate CAL-003 of record \"Lamp\" written to " + pathOf("CAL-003.pdf")
                  + "\n");
    expectRegisterHolds();
}

struct DamageCase
{
    const char *name;
    const char *sql;
    bool listed;  // the register still loads: the damage shows when the document is written
    const char *says;
};

const DamageCase DamageCases[] = {
    {"EntryDeleted", "DELETE FROM _certificates WHERE number = 'CAL-001';", false,
     "The database is damaged: table _certificates holds other rows than its last save wrote"},
    {"EntryAltered", "UPDATE _certificates SET customer = 'Someone else';", false,
     "The database is damaged: an entry of its register of certificates does not match its"
     " checksum"},
    {"EntryWithdrawnByHand", "UPDATE _certificates SET state = 'withdrawn';", false,
     "does not match its checksum"},
    {"EntryCopied",
     "INSERT INTO _certificates SELECT _pos + 10, number, record, recordName, issued, fit,"
     " fitChosen, step, customer, sha256, fingerprint, replaces, state, withdrawalReason,"
     " withdrawn, _check FROM _certificates;",
     false, "does not match its checksum"},
    {"DocumentAltered",
     "UPDATE _certificateDocuments SET document = zeroblob(length(document)) WHERE _pos = 1;",
     true, "The database is damaged: the document of certificate CAL-001 does not match its"
           " SHA-256"},
    {"DocumentDeleted", "DELETE FROM _certificateDocuments WHERE _pos = 1;", true,
     "The database is damaged: it has lost the document of certificate CAL-001"},
    {"DocumentOfAnotherSha256", "UPDATE _certificateDocuments SET sha256 = 'ab' WHERE _pos = 1;",
     true,
     "The database is damaged: the document of certificate CAL-001 is not the one registered"},
};

class CliRegisterDamage : public CliRegister, public ::testing::WithParamInterface<DamageCase>
{
};

// A register changed behind the program's back is damage: the file is refused as a damaged
// record would be, or, for a document, when it is written out; it is left as it is.
TEST_P(CliRegisterDamage, IsFoundAndTheFileLeftAsItIs)
{
    const DamageCase &c = GetParam();
    ok({"certificate", "Lamp", "-o", pathOf("CAL-001.pdf")});
    ok({"certificate", "Lamp", "-o", pathOf("CAL-002.pdf"), "--customer", "ACME"});
    sqlite(c.sql);
    const std::string damaged = test::readWholeFile(db);

    const ProcessResult listed = cli({"certificates"});
    const ProcessResult exported =
        cli({"certificate", "--export", "CAL-001", "-o", pathOf("copy.pdf")});
    EXPECT_EQ(exported.status, 3);
    EXPECT_NE(exported.err.find(c.says), std::string::npos) << exported.err;
    if (c.listed) {
        EXPECT_EQ(listed.status, 0) << listed.err;
        ok({"certificate", "--export", "CAL-002", "-o", pathOf("copy.pdf")});
    } else {
        EXPECT_EQ(listed.status, 3);
        EXPECT_NE(listed.err.find(c.says), std::string::npos) << listed.err;
        EXPECT_EQ(cli({"certificate", "Lamp", "-o", pathOf("CAL-003.pdf"), "--customer", "B"})
                      .status,
                  3);
        EXPECT_FALSE(fs::exists(pathOf("CAL-003.pdf")));
    }
    EXPECT_EQ(test::readWholeFile(db), damaged);
}

INSTANTIATE_TEST_SUITE_P(Changes, CliRegisterDamage, ::testing::ValuesIn(DamageCases),
                         CaseName);

// A file of layout 4 kept a record's certificate number and date alone: they become entries
// without document, which the first save writes, and the next certificate of the record
// replaces. A number that two records held (as numbers could be given twice then) stays with
// both.
TEST_F(CliRegister, AnOlderFilesNumbersBecomeEntriesWithoutDocument)
{
    StoreData data = loadDatabase(db);
    const DateTime issued = fromCivil(CivilTime{2025, 11, 20, 14, 0, 0, 0});
    for (RowData &record : data.records) {
        record.values[static_cast<std::size_t>(fieldIndex(RecordField::CertNo))] =
            std::string("KV-2025-0042");
        record.values[static_cast<std::size_t>(fieldIndex(RecordField::CertIssued))] = issued;
    }
    saveDatabase(db, data);
    dbtest::toLayout(db, 4);
    const std::string older = test::readWholeFile(db);

    const std::vector<std::string> lines = test::linesOf(ok({"certificates"}).out);
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string &line : {lines[1], lines[2]})
        EXPECT_TRUE(std::regex_match(
            line, std::regex("KV-2025-0042 +.+ +(Lamp|Raw) +issued, without document *")))
            << line;
    const std::string json = ok({"certificates", "--json"}).out;
    EXPECT_NE(json.find("\"issued\": \"2025-11-20 14:00:00\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"sha256\": null"), std::string::npos) << json;
    const ProcessResult exported =
        cli({"certificate", "--export", "KV-2025-0042", "-o", pathOf("copy.pdf")});
    EXPECT_EQ(exported.status, 1);
    EXPECT_NE(exported.err.find("The register holds no document of certificate KV-2025-0042"),
              std::string::npos)
        << exported.err;
    EXPECT_EQ(test::readWholeFile(db), older) << "reading writes nothing";

    const std::string next = pathOf("CAL-001.pdf");
    EXPECT_EQ(ok({"certificate", "Lamp", "-o", next}).out,
              "Certificate CAL-001 of record \"Lamp\" written to " + next
                  + "\nIt replaces certificate KV-2025-0042.\n");
    EXPECT_NE(test::flowingText(test::pdfText(next))
                  .find("This certificate replaces certificate KV-2025-0042 of 2025-11-20."),
              std::string::npos);
    EXPECT_EQ(dbtest::pragma(db, "user_version"), dbtest::CurrentLayout);
    const std::vector<CertificateEntry> entries = registered();
    ASSERT_EQ(entries.size(), 3u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(entries[i].number, "KV-2025-0042");
        EXPECT_FALSE(entries[i].hasDocument());
        EXPECT_EQ(entries[i].issued, issued);
    }
    EXPECT_EQ(entries[2].replaces, "KV-2025-0042");
    expectRegisterHolds();
}

// ---- failing at each step of issuing ----

struct FailureCase
{
    const char *name;
    // Runs `certificate Lamp -o PATH` with the obstacle in place, and takes it away.
    std::function<ProcessResult(const CliRegister &, const std::string &path)> run;
    const char *fileName; // the name -o gives in the test's folder
    int status;
    const char *says;
    bool registered; // the certificate is committed all the same
};

// The command line that runs the command with the arguments, for a shell script.
std::string commandLine(const std::vector<std::string> &args)
{
    std::vector<std::string> words{"env", "LC_ALL=C", KELVORA_CLI};
    words.insert(words.end(), args.begin(), args.end());
    return test::shellWords(words);
}

// Runs the certificate command while the sqlite3 shell first takes the database's write lock
// (as a backup tool may), then after `holdFor` runs `sql` and lets go.
ProcessResult whileAnotherProgramWrites(const std::string &db, const std::string &path,
                                        const std::string &holdFor, const std::string &sql)
{
    const std::string script =
        "(echo 'BEGIN IMMEDIATE;'; sleep " + holdFor + "; echo " + test::shellQuoted(sql)
        + "'COMMIT;') | sqlite3 " + test::shellQuoted(db) + " & sleep 0.3; "
        + commandLine({"certificate", "Lamp", "-o", path, "--db", db})
        + "; status=$?; wait; exit $status";
    return test::runProgram("sh", {"-c", script}, fs::path(path).parent_path());
}

const FailureCase FailureCases[] = {
    // The database's folder may not be written, by a user whom permissions stop (as root: the
    // user nobody); the certificate's folder may.
    {"ReadOnlyDatabaseFolder",
     [](const CliRegister &f, const std::string &path) {
         const fs::path out = fs::path(path).parent_path();
         fs::create_directory(out);
         fs::permissions(out, fs::perms::all);
         fs::permissions(f.folder(), fs::perms(0555));
         std::vector<std::string> args{"certificate", "Lamp", "-o", path, "--db",
                                       f.databasePath()};
         if (::geteuid() == 0)
             args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups",
                                        KELVORA_CLI});
         ProcessResult result =
             test::runProgram(::geteuid() == 0 ? "setpriv" : KELVORA_CLI, args, out,
                              {"LC_ALL=C"});
         fs::permissions(f.folder(), fs::perms(0755));
         return result;
     },
     "writable/out.pdf", 5, "Permission denied", false},
    {"ReadOnlyDatabaseFile",
     [](const CliRegister &f, const std::string &path) {
         fs::permissions(f.databasePath(), fs::perms(0444));
         ProcessResult result = f.run({"certificate", "Lamp", "-o", path});
         fs::permissions(f.databasePath(), fs::perms(0644));
         return result;
     },
     "out.pdf", 5, "Permission denied", false},
    // A full disk, as a limit on the size of the files the program writes.
    {"FileSizeLimit",
     [](const CliRegister &f, const std::string &path) {
         const std::string limit = std::to_string(fs::file_size(f.databasePath()));
         return test::runProgram("prlimit",
                                 {"--fsize=" + limit, KELVORA_CLI, "certificate", "Lamp",
                                  "-o", path, "--db", f.databasePath()},
                                 fs::path(path).parent_path(), {"LC_ALL=C"});
     },
     "out.pdf", 5, "File too large", false},
    // Another program holds the file from before the command reads it until long after the
    // document is rendered: the save waits for it and gives up.
    {"KeptLockedByAnotherProgram",
     [](const CliRegister &f, const std::string &path) {
         return whileAnotherProgramWrites(f.databasePath(), path, "12", "");
     },
     "out.pdf", 1, "is busy: another program", false},
    // Another program changes the file after the command read it and rendered the document.
    {"ChangedByAnotherProgram",
     [](const CliRegister &f, const std::string &path) {
         return whileAnotherProgramWrites(f.databasePath(), path, "2",
                                          "UPDATE _saved SET saveId = saveId + 1;");
     },
     "out.pdf", 5, "was changed by another program after Kelvora read it", false},
    // The folder takes the file, but not its temporary name beside it, whose name is too long:
    // the certificate is registered before, and stays so.
    {"FileNotWrittenAfterTheRegister",
     [](const CliRegister &f, const std::string &path) {
         return f.run({"certificate", "Lamp", "-o", path});
     },
     nullptr, 5, "is issued and registered all the same; write its file again with: kelvora-cli"
                 " certificate --export CAL-001 -o FILE.pdf",
     true},
};

class CliCertificateFailure : public CliRegister,
                              public ::testing::WithParamInterface<FailureCase>
{
};

// Whatever fails, no file carries a number that the register does not hold, and a number is
// used only when the register holds it: the next certificate gets the number the failed one
// was to have, unless that one was registered.
TEST_P(CliCertificateFailure, LeavesNoFileOutsideTheRegisterAndNoNumberUsedTwice)
{
    const FailureCase &c = GetParam();
    const std::string name =
        c.fileName != nullptr ? std::string(c.fileName) : std::string(250, 'c') + ".pdf";
    const std::string path = pathOf(name);
    const ProcessResult result = c.run(*this, path);
    if (result.status == 126 || result.status == 127)
        GTEST_SKIP() << "the program cannot be run as another user here: " << result.err;
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(path));
    for (const auto &file : fs::directory_iterator(dir()))
        EXPECT_EQ(file.path().filename().string().find(".tmp-"), std::string::npos)
            << file.path();
    EXPECT_EQ(registered().size(), c.registered ? 1u : 0u);
    expectRegisterHolds();

    const ProcessResult next = cli({"certificate", "Lamp", "-o", pathOf("CAL-001.pdf")});
    if (c.registered) {
        EXPECT_EQ(next.status, 1) << "the registered certificate states the record as it is";
        ok({"certificate", "--export", "CAL-001", "-o", pathOf("CAL-001.pdf")});
    } else {
        EXPECT_EQ(next.status, 0) << next.err;
    }
    EXPECT_EQ(registered().back().number, "CAL-001");
    expectRegisterHolds();
}

INSTANTIATE_TEST_SUITE_P(Steps, CliCertificateFailure, ::testing::ValuesIn(FailureCases),
                         CaseName);

} // namespace
} // namespace kelvora
