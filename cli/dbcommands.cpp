#include "cli/dbcommands.h"

#include "calibration/run.h"
#include "certificate/certificatepdf.h"
#include "certificate/logo.h"
#include "certificatecontent/certificate.h"
#include "certificatecontent/certificatenumber.h"
#include "cli/dbsession.h"
#include "cli/fitcommand.h"
#include "cli/fitreport.h"
#include "cli/json.h"
#include "cli/offscreengui.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/runoptions.h"
#include "cli/uncertaintyreport.h"
#include "core/numfmt.h"
#include "database/databaseerror.h"
#include "frontend/systemlocale.h"
#include "records/interpolation.h"
#include "records/laboratory.h"
#include "records/operations.h"
#include "records/regularfile.h"
#include "records/reports.h"
#include "records/uncertainties.h"
#include "tables/rows.h"
#include "textio/recordfile.h"
#include "textio/report.h"
#include "textio/signals.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <tuple>

#include <unistd.h>

namespace kelvora::cli {

const char *const DatabaseUsage =
    "usage: kelvora-cli COMMAND [--db FILE] ...\n"
    "Commands on the program's database (DB/kelvora.dbs beside the program, or FILE):\n"
    "  list [--by-name]                 the records, newest first or by name, with the\n"
    "                                   seed that repeats each one's swarm fit\n"
    "  import RECORD.txt [--name NAME]  a new record from a record file (the name\n"
    "                                   defaults to the file name without extension)\n"
    "  calibrate NAME [--max-iter N] [--tol X] [--restarts N] [--range W] [--seed N]\n"
    "            [--threads N]          runs both fits and saves the results (the swarm\n"
    "                                   on N threads, all cores unless given)\n"
    "  interpolate NAME SIGNALS.txt [--method lm|pso] [--json]\n"
    "                                   replaces the measurements by the signal list\n"
    "                                   and computes their temperatures, with their\n"
    "                                   uncertainties (U with k = 2)\n"
    "  report NAME [-o FILE [--force]]  the record's report\n"
    "  results NAME [-o FILE [--force]] [--csv]\n"
    "                                   the interpolation results; --csv: as CSV with\n"
    "                                   each temperature's U (mK)\n"
    "  uncertainty NAME [--w X] [--trials N] [--seed N]\n"
    "                                   shows or sets the record's uncertainty settings:\n"
    "                                   w, the relative standard uncertainty of a measured\n"
    "                                   signal (0 to below 1), and the Monte Carlo check's\n"
    "                                   trials (2 to 1000000) and seed\n"
    "  delete NAME                      deletes the record\n"
    "  certificate NAME -o FILE.pdf [--force] [--method lm|pso] [--step K]\n"
    "              [--customer TEXT] [--make TEXT] [--model TEXT] [--serial TEXT]\n"
    "                                   issues the record's calibration certificate as a\n"
    "                                   PDF/A file under the next number: the parameters\n"
    "                                   of the fit chosen (by default the lower mean RMS),\n"
    "                                   a calibration table every K kelvins (50). It is\n"
    "                                   registered in the database before the file is\n"
    "                                   written. A record whose certificate states it as\n"
    "                                   it is gets none; a changed one gets a new number\n"
    "                                   that replaces its certificate\n"
    "  certificate --export NUMBER -o FILE.pdf [--force]\n"
    "                                   writes a registered certificate again, byte for\n"
    "                                   byte\n"
    "  certificate --withdraw NUMBER --reason TEXT\n"
    "                                   marks a registered certificate withdrawn\n"
    "  certificates [NAME] [--json]     the register of issued certificates (of the\n"
    "                                   records of that name), newest first\n"
    "  laboratory [--name TEXT] [--address TEXT] [--logo FILE | --no-logo]\n"
    "             [--calibrated-by NAME] [--approved-by NAME] [--page-size a4|letter]\n"
    "             [--pattern TEXT] [--next-number N]\n"
    "                                   shows or sets the laboratory's details that\n"
    "                                   certificates carry (pattern: KV-{yyyy}-{nnnn})\n"
    "NAME is the newest record of that name; \"--\" ends the options, so that a name\n"
    "that begins with \"-\" is reached as in \"report -- -x\". A record's name holds at\n"
    "most 100 characters. Commands that change the database refuse while Kelvora has it\n"
    "open. The options of calibrate take the ranges of fit's (fit --help). -o writes a\n"
    "new regular file only: --force replaces a file that is there, keeping its\n"
    "permissions.\n"
    "Exit status: 0 done, 1 refused (also a database in use, kept locked by another\n"
    "program or written by a newer version of Kelvora), 2 Levenberg-Marquardt failed,\n"
    "3 file cannot be opened or database missing or damaged, 4 floating-point fault,\n"
    "5 file or output cannot be written (also a database changed by another program\n"
    "since it was read, or an -o FILE that is there without --force or is no regular\n"
    "file), 6 out of memory, 64 bad command line. A change saved in the database counts\n"
    "as done: when only the output fails after it, the status stays 0 and standard error\n"
    "says what was saved.\n";

namespace {

void printError(const std::string &text)
{
    std::fprintf(stderr, "%s\n", asLines(text).c_str());
}

// The command line of one command: its positional arguments and options, --db included.
ParsedOptions parseCommandLine(const std::vector<std::string> &args, OptionTable known,
                               std::size_t positionals, const char *missing)
{
    known.valued.insert("--db");
    ParsedOptions options = parseOptions(args, known);
    if (options.positional.size() < positionals)
        throw UsageError(missing);
    if (options.positional.size() > positionals)
        throw UsageError("unexpected argument '" + options.positional[positionals] + "'");
    return options;
}

std::string databaseOption(const ParsedOptions &options)
{
    return options.value("--db").value_or(std::string());
}

// The current record as the user finds it again: its name and its creation time, the key
// that tells records of one name apart.
std::string recordKey(RecordStore &records)
{
    const RecordRow record(records.cdsMain);
    return "record \"" + record.name() + "\" (created "
           + record.text(RecordField::Created, systemTextLocale()) + ")";
}

// A text option's value that its field holds in full; a longer one is bad usage naming the
// limit, never cut.
std::string textOption(const std::string &option, const std::string &value, int limit)
{
    if (const std::string refusal = lengthRefusal(option + ": the text", value, limit);
        !refusal.empty())
        throw UsageError(refusal);
    return value;
}

// Runs a command, turning its errors into messages on stderr and exit statuses.
int runCommand(const char *name, const std::vector<std::string> &args,
               const std::function<int(const std::vector<std::string> &)> &command)
{
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        printOut(DatabaseUsage);
        return 0;
    }
    try {
        return command(args);
    } catch (const UsageError &e) {
        std::fprintf(stderr, "kelvora-cli %s: %s\n%s", name, e.what(), DatabaseUsage);
        return ExitUsage;
    } catch (const CommandError &e) {
        printError(e.what());
        return e.status();
    } catch (const RecordFileError &e) {
        printError(e.what());
        return e.kind() == RecordFileError::Kind::Open ? ExitCannotOpen : ExitRefused;
    } catch (const FloatError &e) {
        printError(e.what());
        return ExitFloatFault;
    } catch (const Error &e) {
        printError(e.what());
        return ExitRefused;
    }
}

// What -o does to a file that is there.
ExistingFile existingFileOption(const ParsedOptions &options)
{
    return options.has("--force") ? ExistingFile::Replace : ExistingFile::Refuse;
}

// Runs the writing of an -o file: its failures end the command with ExitCannotWrite, and a
// file that is there names the option that replaces it.
void writingOutput(const std::function<void()> &write)
{
    try {
        write();
    } catch (const OutputPathRefusal &refusal) {
        std::string text = refusal.what();
        if (refusal.reason() == OutputPathRefusal::Reason::Exists)
            text += "; --force replaces it";
        throw CommandError(text, ExitCannotWrite);
    } catch (const Error &e) {
        throw CommandError(e.what(), ExitCannotWrite);
    }
}

// Writes the text file -o names, or the text as it is to standard output when none is named.
void writeOutput(const ParsedOptions &options, const std::string &text)
{
    const auto file = options.value("-o");
    if (!file) {
        printOut(text);
        return;
    }
    writingOutput([&] { writeTextFile(*file, text, existingFileOption(options)); });
}

// Columns padded to their widest entry, counted in characters.
std::string alignedTable(const std::vector<std::vector<std::string>> &rows)
{
    const auto width = [](const std::string &text) { return characterCount(text); };
    std::vector<std::size_t> widths;
    for (const auto &row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], width(row[i]));
    }
    std::string out;
    for (const auto &row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - width(row[i]) + 2, ' ');
        }
        out += line + "\n";
    }
    return out;
}

int listRecords(const std::vector<std::string> &args)
{
    const ParsedOptions options = parseCommandLine(args, {{}, {"--by-name"}}, 0, "");
    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Read);
    const TextLocale locale = systemTextLocale();
    Table &main = db.records().cdsMain;
    const RecordRow mainRow(main);
    db.records().setRecordOrder(options.has("--by-name") ? RecordOrder::ByName
                                                         : RecordOrder::ByCreation);

    std::vector<std::vector<std::string>> rows{
        {"Name", "Created", "Processed", "Seed", "Computed", "Points", "Measurements"}};
    const int count = main.recordCount();
    for (int i = 1; i <= count; ++i) {
        main.setRecNo(i);
        rows.push_back({mainRow.name(), mainRow.text(RecordField::Created, locale),
                        mainRow.text(RecordField::Processed, locale),
                        mainRow.text(RecordField::Seed),
                        mainRow.computed() ? "yes" : "no",
                        std::to_string(db.records().cdsBB.recordCount()),
                        std::to_string(db.records().cdsInterp.recordCount())});
    }
    printOut(alignedTable(rows));
    return 0;
}

int importRecordFile(const std::vector<std::string> &args)
{
    const ParsedOptions options =
        parseCommandLine(args, {{"--name"}, {}}, 1, "missing record file");
    const std::string path = options.positional.front();
    const int nameLimit = textLimit(RecordField::Name);
    std::string name;
    if (const auto given = options.value("--name")) {
        name = textOption("--name", *given, nameLimit);
    } else {
        name = std::filesystem::path(path).stem().string();
        // Cut, the name would reach no record that another command could name.
        if (const std::string refusal = lengthRefusal("The name \"" + name + "\" that the file's "
                                                          "name gives",
                                                      name, nameLimit);
            !refusal.empty())
            throw CommandError(refusal + "; give a shorter one with --name", ExitRefused);
    }
    const TextLocale locale = systemTextLocale();
    const RecordFileData file = readRecordFile(path, locale.decimalSeparator);
    if (const std::string unread = unreadUncertaintiesText(file); !unread.empty())
        printError(unread);

    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Create);
    ImportRecord(db.records(), file, name);
    db.save();
    changeSaved(recordKey(db.records()) + " imported");
    printOut("Record \"" + RecordRow(db.records().cdsMain).name() + "\" imported with "
             + std::to_string(file.N) + " reference points\n");
    return 0;
}

int calibrateRecord(const std::vector<std::string> &args)
{
    const ParsedOptions options =
        parseCommandLine(args, {runOptionNames(), {}}, 1, "missing record name");
    const RunOptions run = runOptionsFrom(options);

    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Change);
    db.selectRecord(options.positional.front());
    if (const std::string refusal = CalibrationRefusal(db.records()); !refusal.empty())
        throw CommandError(refusal, ExitRefused);
    const FitRecord record = FitRecordOf(db.records());

    const RunOutcome outcome = runWithProgress(record.Input, run);
    printOut(plainFitReport(record, outcome));
    const std::optional<RunResults> results = resultsOf(outcome);
    if (!results)
        throw CommandError(outcome.LM.Message, ExitFitFailed);

    SaveResults(db.records(), *results, db.records().store.clock());
    db.save();
    changeSaved("the calibration results of " + recordKey(db.records()));
    return 0;
}

// The fit that --method names; none when it is not given.
std::optional<FitMethod> methodOption(const ParsedOptions &options)
{
    const auto text = options.value("--method");
    if (!text)
        return std::nullopt;
    if (*text == "pso")
        return FitMethod::ParticleSwarm;
    if (*text != "lm")
        throw UsageError("--method: '" + *text + "' is neither lm nor pso");
    return FitMethod::LevenbergMarquardt;
}

int interpolateSignals(const std::vector<std::string> &args)
{
    const ParsedOptions options = parseCommandLine(args, {{"--method"}, {"--json"}}, 2,
                                                   "missing record name or signal list");
    const FitMethod method = methodOption(options).value_or(FitMethod::LevenbergMarquardt);
    const std::vector<long double> signals =
        readSignalList(options.positional[1], systemTextLocale().decimalSeparator);

    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Change);
    const std::string &name = options.positional[0];
    db.selectRecord(name);
    RecordStore &records = db.records();
    if (!RecordRow(records.cdsMain).computed())
        throw CommandError("Record \"" + name + "\" has no calibration results", ExitRefused);

    const TextLocale locale = systemTextLocale();
    LoadSignals(records, signals, [] { printError(OutOfRangeText(OutOfRangeSignals)); });
    InterpolateMeasurements(records, ParameterTextsOf(records, method, locale),
                            locale.decimalSeparator,
                            [] { printError(OutOfRangeText(OutOfRangeTemperatures)); });
    db.save();
    changeSaved("the measurements of " + recordKey(records) + " interpolated");

    const SignalUncertainties uncertainties =
        signalUncertainties(UncertainPointsOf(records), FittedTriple(records, method), signals,
                            UncertaintySettingsOf(records).w, {});
    if (options.has("--json")) {
        Json report = Json::object();
        report.set("record", name);
        report.set("method", method == FitMethod::ParticleSwarm ? "pso" : "lm");
        addUncertainties(report, uncertainties);
        printOut(report.dump());
        return 0;
    }
    std::string results = interpolationResultsText(CollectMeasurements(records));
    results.erase(std::remove(results.begin(), results.end(), '\r'), results.end());
    printOut(results + "\n" + plainUncertainties(uncertainties));
    return 0;
}

int writeReport(const std::vector<std::string> &args)
{
    const ParsedOptions options =
        parseCommandLine(args, {{"-o"}, {"--force"}}, 1, "missing record name");
    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Read);
    db.selectRecord(options.positional.front());
    writeOutput(options,
                recordReportText(CollectRecordReport(db.records(), systemTextLocale())));
    return 0;
}

int writeResults(const std::vector<std::string> &args)
{
    const ParsedOptions options =
        parseCommandLine(args, {{"-o"}, {"--csv", "--force"}}, 1, "missing record name");
    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Read);
    db.selectRecord(options.positional.front());
    writeOutput(options,
                options.has("--csv")
                    ? UncertaintyResultsCsv(db.records())
                    : interpolationResultsText(CollectMeasurements(db.records())));
    return 0;
}

int uncertaintySettings(const std::vector<std::string> &args)
{
    const ParsedOptions options =
        parseCommandLine(args, {{"--w", "--trials", "--seed"}, {}}, 1, "missing record name");
    const bool changing = options.has("--w") || options.has("--trials") || options.has("--seed");
    DatabaseSession db(databaseOption(options), changing ? DatabaseSession::Access::Change
                                                         : DatabaseSession::Access::Read);
    const std::string &name = options.positional.front();
    db.selectRecord(name);
    UncertaintySettings settings = UncertaintySettingsOf(db.records());
    if (const auto w = options.value("--w"))
        settings.w = floatOption("--w", *w, RelativeSignalUncertaintyRange);
    if (const auto trials = options.value("--trials"))
        settings.trials = intOption("--trials", *trials, 2, MaxMonteCarloTrials);
    if (const auto seed = options.value("--seed"))
        settings.seed = unsignedOption("--seed", *seed);
    if (changing) {
        SetUncertaintySettings(db.records(), settings);
        db.save();
        changeSaved("the uncertainty settings of " + recordKey(db.records()));
    }
    printOut("Uncertainty settings of \"" + name + "\"\n"
             "  relative standard uncertainty of a measured signal w: "
             + formatGeneral(settings.w) + "\n  Monte Carlo trials: "
             + std::to_string(settings.trials) + "\n  Monte Carlo seed: "
             + std::to_string(settings.seed) + "\n");
    return 0;
}

int deleteRecord(const std::vector<std::string> &args)
{
    const ParsedOptions options = parseCommandLine(args, {}, 1, "missing record name");
    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Change);
    const std::string &name = options.positional.front();
    db.selectRecord(name);
    const std::string key = recordKey(db.records());
    db.records().cdsMain.remove();
    db.save();
    changeSaved(key + " deleted");
    printOut("Record \"" + name + "\" deleted\n");
    return 0;
}

// How a registered certificate's file is written again.
std::string exportCommandText(const std::string &number)
{
    return "kelvora-cli certificate --export " + number + " -o FILE.pdf";
}

// What -o refuses, and a folder that is missing or may not be written: said before a
// certificate is issued, so that no number is given for a file that cannot be written.
void checkCertificatePath(const std::string &path, ExistingFile existing)
{
    writingOutput([&] { checkOutputPath(path, existing); });
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw CommandError("Cannot create file " + path + ". " + systemErrorText(errno),
                           ExitCannotWrite);
}

// Writes a registered certificate's bytes; a failure says that the certificate stays issued.
void writeRegisteredFile(const std::string &path, ExistingFile existing,
                         const CertificateEntry &entry, const std::string &bytes)
{
    try {
        writingOutput([&] { writeOutputFile(path, bytes, existing); });
    } catch (const CommandError &e) {
        throw CommandError(std::string(e.what()) + "\nCertificate " + entry.number
                               + " is issued and registered all the same; write its file"
                                 " again with: "
                               + exportCommandText(entry.number),
                           e.status());
    }
}

int issueCertificate(const std::vector<std::string> &args)
{
    const ParsedOptions options = parseCommandLine(
        args,
        {{"-o", "--method", "--step", "--customer", "--make", "--model", "--serial"},
         {"--new-number", "--force"}},
        1, "missing record name");
    const auto path = options.value("-o");
    if (!path)
        throw UsageError("missing -o FILE.pdf");
    const ExistingFile existing = existingFileOption(options);
    checkCertificatePath(*path, existing);
    CertificateChoices choices;
    choices.method = methodOption(options);
    if (const auto step = options.value("--step")) {
        choices.step = intOption("--step", *step, 1, MaxTableStep);
    }
    if (options.has("--new-number"))
        printError("--new-number is no longer needed: every certificate gets a number of its"
                   " own");

    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Change);
    const std::string &name = options.positional.front();
    db.selectRecord(name);
    RecordStore &records = db.records();
    if (const std::string refusal = CertificateRefusal(records, choices); !refusal.empty())
        throw CommandError(refusal, ExitRefused);

    ItemDetails item = ItemDetailsOf(records);
    const std::tuple<const char *, std::string ItemDetails::*, RecordField> itemOptions[] = {
        {"--customer", &ItemDetails::customer, RecordField::Customer},
        {"--make", &ItemDetails::make, RecordField::Make},
        {"--model", &ItemDetails::model, RecordField::Model},
        {"--serial", &ItemDetails::serial, RecordField::Serial},
    };
    for (const auto &[option, text, field] : itemOptions) {
        if (const auto value = options.value(option))
            item.*text = textOption(option, *value, textLimit(field));
    }
    SetItemDetails(records, item);

    const OffscreenGui gui;
    IssuedCertificate issued;
    try {
        issued = IssueCertificate(records, choices, records.store.clock(), pdfRendering(),
                                  [&db] { db.save(); });
    } catch (const CertificateUnchangedError &e) {
        throw CommandError(std::string(e.what()) + ". Write it again with: "
                               + exportCommandText(e.number()),
                           ExitRefused);
    }
    writeRegisteredFile(*path, existing, issued.entry, issued.bytes);
    std::string said = "Certificate " + issued.entry.number + " of record \"" + name
                       + "\" written to " + *path + "\n";
    if (!issued.entry.replaces.empty())
        said += "It replaces certificate " + issued.entry.replaces + ".\n";
    printOut(said);
    return 0;
}

// The entries of the register that carry the number; "No certificate ..." when none does.
std::vector<const CertificateEntry *> numberedOrRefused(const Store &store,
                                                         const std::string &number)
{
    std::vector<const CertificateEntry *> entries =
        CertificatesNumbered(store.certificates(), number);
    if (entries.empty())
        throw CommandError("No certificate numbered \"" + number + "\" in the register",
                           ExitRefused);
    return entries;
}

int exportCertificate(const std::vector<std::string> &args)
{
    const ParsedOptions options =
        parseCommandLine(args, {{"--export", "-o"}, {"--force"}}, 0, "");
    const std::string number = *options.value("--export");
    const auto path = options.value("-o");
    if (!path)
        throw UsageError("missing -o FILE.pdf");
    const ExistingFile existing = existingFileOption(options);
    writingOutput([&] { checkOutputPath(*path, existing); });
    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Read);
    const std::vector<const CertificateEntry *> entries =
        numberedOrRefused(db.records().store, number);
    const auto withDocument =
        std::find_if(entries.begin(), entries.end(),
                     [](const CertificateEntry *entry) { return entry->hasDocument(); });
    const CertificateEntry &entry = withDocument == entries.end() ? *entries.front()
                                                                  : **withDocument;
    std::string bytes;
    try {
        bytes = registeredDocument(db.path(), entry);
    } catch (const DatabaseError &e) {
        throw CommandError(e.what(), ExitCannotOpen);
    }
    writingOutput([&] { writeOutputFile(*path, bytes, existing); });
    printOut("Certificate " + number + " written to " + *path + "\n");
    return 0;
}

int withdrawCertificate(const std::vector<std::string> &args)
{
    const ParsedOptions options =
        parseCommandLine(args, {{"--withdraw", "--reason"}, {}}, 0, "");
    const std::string number = *options.value("--withdraw");
    const std::string reason = options.value("--reason").value_or(std::string());
    if (reason.find_first_not_of(" \t\r\n") == std::string::npos)
        throw UsageError("--withdraw needs --reason TEXT: why the certificate is withdrawn");
    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Change);
    Store &store = db.records().store;
    const DateTime now = store.clock();
    std::vector<std::int64_t> positions;
    for (const CertificateEntry *entry : numberedOrRefused(store, number)) {
        if (entry->state == CertificateState::Withdrawn)
            throw CommandError("Certificate " + number + " was withdrawn on "
                                   + formatIsoDateTime(*entry->withdrawn) + ": "
                                   + entry->withdrawalReason,
                               ExitRefused);
        positions.push_back(entry->pos);
    }
    for (const std::int64_t pos : positions)
        store.withdrawCertificate(pos, reason, now);
    db.save();
    printOut("Certificate " + number + " withdrawn: " + reason + "\n");
    return 0;
}

// The certificate command: issues one, or with --export or --withdraw works on the register.
int certificateCommand(const std::vector<std::string> &args)
{
    const auto given = [&args](const char *option) {
        return std::any_of(args.begin(), args.end(), [option](const std::string &arg) {
            return arg == option || arg.rfind(std::string(option) + "=", 0) == 0;
        });
    };
    if (given("--export") && given("--withdraw"))
        throw UsageError("--export and --withdraw exclude each other");
    if (given("--export"))
        return exportCertificate(args);
    if (given("--withdraw"))
        return withdrawCertificate(args);
    return issueCertificate(args);
}

int listCertificates(const std::vector<std::string> &args)
{
    const ParsedOptions options = parseOptions(args, {{"--db"}, {"--json"}});
    if (options.positional.size() > 1)
        throw UsageError("unexpected argument '" + options.positional[1] + "'");
    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Read);
    const std::vector<CertificateEntry> &entries = db.records().store.certificates();
    std::vector<const CertificateEntry *> listed;
    for (const CertificateEntry *entry : NewestFirst(entries)) {
        if (options.positional.empty() || entry->recordName == options.positional.front())
            listed.push_back(entry);
    }
    if (options.has("--json")) {
        Json list = Json::array();
        for (const CertificateEntry *entry : listed) {
            Json item = Json::object();
            item.set("number", entry->number);
            item.set("issued", formatIsoDateTime(entry->issued));
            item.set("record", entry->recordName);
            item.set("customer", entry->customer);
            item.set("state", entry->state == CertificateState::Withdrawn ? "withdrawn"
                                                                          : "issued");
            item.set("sha256", entry->hasDocument() ? Json(entry->sha256) : Json());
            item.set("replaces", entry->replaces.empty() ? Json() : Json(entry->replaces));
            const std::string replacedBy = ReplacedByOf(entries, *entry);
            item.set("replaced_by", replacedBy.empty() ? Json() : Json(replacedBy));
            if (entry->withdrawn) {
                item.set("withdrawn", formatIsoDateTime(*entry->withdrawn));
                item.set("reason", entry->withdrawalReason);
            }
            list.push(std::move(item));
        }
        printOut(list.dump());
        return 0;
    }
    const TextLocale locale = systemTextLocale();
    std::vector<std::vector<std::string>> rows{
        {"Number", "Issued", "Record", "Customer", "State", "Replaces", "Replaced by"}};
    for (const CertificateEntry *entry : listed) {
        std::string state = CertificateStateText(*entry);
        if (entry->withdrawn)
            state += " " + locale.formatDateTime(*entry->withdrawn) + ": "
                     + entry->withdrawalReason;
        rows.push_back({entry->number, locale.formatDateTime(entry->issued), entry->recordName,
                        entry->customer, state, entry->replaces,
                        ReplacedByOf(entries, *entry)});
    }
    printOut(alignedTable(rows));
    return 0;
}

// The laboratory's details as lines of "label: value"; a value of several lines continues
// under the first.
std::string laboratoryText(const LaboratorySettings &laboratory, DateTime now)
{
    const std::vector<std::pair<std::string, std::string>> rows{
        {"Name", laboratory.name},
        {"Address", laboratory.address},
        {"Logo", laboratory.logo.empty() ? "none"
                                         : std::to_string(laboratory.logo.size()) + " bytes"},
        {"Calibrated by", laboratory.calibratedBy},
        {"Approved by", laboratory.approvedBy},
        {"Page size", laboratory.pageSize == PageSize::Letter ? "letter" : "a4"},
        {"Number pattern", laboratory.numberPattern},
        {"Next number", std::to_string(NextCertificateCounter(laboratory, now))},
    };
    std::string text;
    for (const auto &[label, value] : rows) {
        std::string line = label + ":";
        line += std::string(16 - line.size(), ' ');
        for (const char c : value)
            line += c == '\n' ? std::string("\n") + std::string(16, ' ') : std::string(1, c);
        text += line + "\n";
    }
    return text;
}

// The bytes of the logo file: a file that cannot be read ends the command with
// ExitCannotOpen, one that is no logo with ExitRefused.
std::string logoFile(const std::string &path)
{
    const OffscreenGui gui;
    try {
        return readLogoFile(path);
    } catch (const LogoFileError &e) {
        throw CommandError(e.what(), e.kind() == LogoFileError::Kind::Open ? ExitCannotOpen
                                                                           : ExitRefused);
    }
}

int laboratorySettings(const std::vector<std::string> &args)
{
    const OptionTable known{{"--name", "--address", "--logo", "--calibrated-by",
                             "--approved-by", "--page-size", "--pattern", "--next-number"},
                            {"--no-logo"}};
    const ParsedOptions options = parseCommandLine(args, known, 0, "");
    // --db names the file; every other option changes a detail.
    const bool changing = options.values.size() > (options.has("--db") ? 1u : 0u)
                          || !options.switches.empty();
    if (options.has("--logo") && options.has("--no-logo"))
        throw UsageError("--logo and --no-logo exclude each other");

    DatabaseSession db(databaseOption(options), changing ? DatabaseSession::Access::Create
                                                         : DatabaseSession::Access::Read);
    Store &store = db.records().store;
    const DateTime now = store.clock();
    LaboratorySettings laboratory = LaboratorySettingsOf(store.settings());
    const std::tuple<const char *, std::string LaboratorySettings::*, int> texts[] = {
        {"--name", &LaboratorySettings::name, MaxLaboratoryNameLength},
        {"--address", &LaboratorySettings::address, MaxAddressLength},
        {"--calibrated-by", &LaboratorySettings::calibratedBy, MaxLaboratoryNameLength},
        {"--approved-by", &LaboratorySettings::approvedBy, MaxLaboratoryNameLength},
    };
    for (const auto &[option, text, limit] : texts) {
        if (const auto value = options.value(option))
            laboratory.*text = textOption(option, *value, limit);
    }
    if (const auto size = options.value("--page-size")) {
        if (*size != "a4" && *size != "letter")
            throw UsageError("--page-size: '" + *size + "' is neither a4 nor letter");
        laboratory.pageSize = *size == "letter" ? PageSize::Letter : PageSize::A4;
    }
    if (const auto pattern = options.value("--pattern")) {
        if (const std::string refusal = NumberPatternRefusal(*pattern); !refusal.empty())
            throw UsageError("--pattern: " + refusal);
        laboratory.numberPattern = *pattern;
    }
    if (const auto next = options.value("--next-number")) {
        laboratory.nextNumber = intOption("--next-number", *next, 1, MaxCertificateCounter);
        // The number given is this year's.
        laboratory.counterYear = toCivil(now).year;
    }
    if (options.has("--no-logo"))
        laboratory.logo.clear();
    if (const auto logo = options.value("--logo"))
        laboratory.logo = logoFile(*logo);

    if (changing) {
        store.setSettings(WithLaboratorySettings(store.settings(), laboratory));
        db.save();
        changeSaved("the laboratory's details");
    }
    printOut(laboratoryText(laboratory, now));
    return 0;
}

} // namespace

int runListCommand(const std::vector<std::string> &args)
{
    return runCommand("list", args, listRecords);
}

int runImportCommand(const std::vector<std::string> &args)
{
    return runCommand("import", args, importRecordFile);
}

int runCalibrateCommand(const std::vector<std::string> &args)
{
    return runCommand("calibrate", args, calibrateRecord);
}

int runInterpolateCommand(const std::vector<std::string> &args)
{
    return runCommand("interpolate", args, interpolateSignals);
}

int runReportCommand(const std::vector<std::string> &args)
{
    return runCommand("report", args, writeReport);
}

int runResultsCommand(const std::vector<std::string> &args)
{
    return runCommand("results", args, writeResults);
}

int runUncertaintyCommand(const std::vector<std::string> &args)
{
    return runCommand("uncertainty", args, uncertaintySettings);
}

int runDeleteCommand(const std::vector<std::string> &args)
{
    return runCommand("delete", args, deleteRecord);
}

int runCertificateCommand(const std::vector<std::string> &args)
{
    return runCommand("certificate", args, certificateCommand);
}

int runCertificatesCommand(const std::vector<std::string> &args)
{
    return runCommand("certificates", args, listCertificates);
}

int runLaboratoryCommand(const std::vector<std::string> &args)
{
    return runCommand("laboratory", args, laboratorySettings);
}

} // namespace kelvora::cli
