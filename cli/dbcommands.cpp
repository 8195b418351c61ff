#include "cli/dbcommands.h"

#include "calibration/run.h"
#include "certificate/certificatepdf.h"
#include "certificatecontent/certificate.h"
#include "certificatecontent/certificatenumber.h"
#include "cli/dbsession.h"
#include "cli/fitcommand.h"
#include "cli/fitreport.h"
#include "cli/offscreengui.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/runoptions.h"
#include "cli/uncertaintyreport.h"
#include "core/numfmt.h"
#include "frontend/systemlocale.h"
#include "records/interpolation.h"
#include "records/laboratory.h"
#include "records/operations.h"
#include "records/reports.h"
#include "records/uncertainties.h"
#include "tables/rows.h"
#include "textio/recordfile.h"
#include "textio/report.h"
#include "textio/signals.h"
#include "textio/textfile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <tuple>

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
    "  report NAME [-o FILE]            the record's report\n"
    "  results NAME [-o FILE] [--csv]   the interpolation results; --csv: as CSV with\n"
    "                                   each temperature's U (mK)\n"
    "  uncertainty NAME [--w X] [--trials N] [--seed N]\n"
    "                                   shows or sets the record's uncertainty settings:\n"
    "                                   w, the relative standard uncertainty of a measured\n"
    "                                   signal (0 to below 1), and the Monte Carlo check's\n"
    "                                   trials (2 to 1000000) and seed\n"
    "  delete NAME                      deletes the record\n"
    "  certificate NAME -o FILE.pdf [--method lm|pso] [--step K] [--new-number]\n"
    "              [--customer TEXT] [--make TEXT] [--model TEXT] [--serial TEXT]\n"
    "                                   issues the record's calibration certificate as a\n"
    "                                   PDF/A file: the parameters of the fit chosen (by\n"
    "                                   default the lower mean RMS), a calibration table\n"
    "                                   every K kelvins (50); the record's number and date\n"
    "                                   of issue, unless --new-number, or the next number\n"
    "  laboratory [--name TEXT] [--address TEXT] [--logo FILE | --no-logo]\n"
    "             [--calibrated-by NAME] [--approved-by NAME] [--page-size a4|letter]\n"
    "             [--pattern TEXT] [--next-number N]\n"
    "                                   shows or sets the laboratory's details that\n"
    "                                   certificates carry (pattern: KV-{yyyy}-{nnnn})\n"
    "NAME is the newest record of that name; \"--\" ends the options, so that a name\n"
    "that begins with \"-\" is reached as in \"report -- -x\". A record's name holds at\n"
    "most 100 characters. Commands that change the database refuse while Kelvora has it\n"
    "open. The options of calibrate take the ranges of fit's (fit --help).\n"
    "Exit status: 0 done, 1 refused (also a database in use, kept locked by another\n"
    "program or written by a newer version of Kelvora), 2 Levenberg-Marquardt failed,\n"
    "3 file cannot be opened or database missing or damaged, 4 floating-point fault,\n"
    "5 file or output cannot be written (also a database changed by another program\n"
    "since it was read), 6 out of memory, 64 bad command line. A change saved in the\n"
    "database counts as done: when only the output fails after it, the status stays 0\n"
    "and standard error says what was saved.\n";

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

// Writes a text file, or the text as it is to standard output when no file is named.
void writeOutput(const std::optional<std::string> &file, const std::string &text)
{
    if (!file) {
        printOut(text);
        return;
    }
    try {
        writeTextFile(*file, text);
    } catch (const Error &e) {
        throw CommandError(e.what(), ExitCannotWrite);
    }
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
        parseCommandLine(args, {{"-o"}, {}}, 1, "missing record name");
    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Read);
    db.selectRecord(options.positional.front());
    writeOutput(options.value("-o"),
                recordReportText(CollectRecordReport(db.records(), systemTextLocale())));
    return 0;
}

int writeResults(const std::vector<std::string> &args)
{
    const ParsedOptions options =
        parseCommandLine(args, {{"-o"}, {"--csv"}}, 1, "missing record name");
    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Read);
    db.selectRecord(options.positional.front());
    writeOutput(options.value("-o"),
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

int issueCertificate(const std::vector<std::string> &args)
{
    const ParsedOptions options = parseCommandLine(
        args,
        {{"-o", "--method", "--step", "--customer", "--make", "--model", "--serial"},
         {"--new-number"}},
        1, "missing record name");
    const auto path = options.value("-o");
    if (!path)
        throw UsageError("missing -o FILE.pdf");
    CertificateChoices choices;
    choices.method = methodOption(options);
    if (const auto step = options.value("--step")) {
        choices.step = intOption("--step", *step, 1, MaxTableStep);
    }

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
    const CertificateIssue issue = IssueCertificate(
        records, choices, options.has("--new-number"), records.store.clock(),
        [&path](const CertificateDocument &document) {
            try {
                writeCertificatePdf(*path, document);
            } catch (const Error &e) {
                throw CommandError(e.what(), ExitCannotWrite);
            }
        });
    db.save();
    std::printf("Certificate %s of record \"%s\" written to %s\n", issue.number.c_str(),
                name.c_str(), path->c_str());
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

// The bytes of an image file; Error when the file cannot be read or holds no image.
std::string logoFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw CommandError("Cannot open file " + path, ExitCannotOpen);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const OffscreenGui gui;
    if (const std::string refusal = logoRefusal(bytes); !refusal.empty())
        throw CommandError(refusal + ": " + path, ExitRefused);
    return bytes;
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
    return runCommand("certificate", args, issueCertificate);
}

int runLaboratoryCommand(const std::vector<std::string> &args)
{
    return runCommand("laboratory", args, laboratorySettings);
}

} // namespace kelvora::cli
