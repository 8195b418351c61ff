#include "cli/dbcommands.h"

#include "calibration/run.h"
#include "cli/dbsession.h"
#include "cli/fitcommand.h"
#include "cli/fitreport.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/runoptions.h"
#include "frontend/systemlocale.h"
#include "records/interpolation.h"
#include "records/operations.h"
#include "records/reports.h"
#include "textio/recordfile.h"
#include "textio/report.h"
#include "textio/signals.h"
#include "textio/textfile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

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
    "  interpolate NAME SIGNALS.txt [--method lm|pso]\n"
    "                                   replaces the measurements by the signal list\n"
    "                                   and computes their temperatures\n"
    "  report NAME [-o FILE]            the record's report\n"
    "  results NAME [-o FILE]           the interpolation results\n"
    "  delete NAME                      deletes the record\n"
    "NAME is the newest record of that name. Commands that change the database refuse\n"
    "while Kelvora has it open. The options of calibrate take the ranges of fit's\n"
    "(fit --help).\n"
    "Exit status: 0 done, 1 refused (also a database in use or kept locked by another\n"
    "program), 2 Levenberg-Marquardt failed, 3 file cannot be opened or database missing\n"
    "or damaged, 4 floating-point fault, 5 file or output cannot be written (also a\n"
    "database changed by another program since it was read), 6 out of memory, 64 bad\n"
    "command line.\n";

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
    const auto width = [](const std::string &text) {
        return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
    };
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
    db.records().setRecordOrder(options.has("--by-name") ? RecordOrder::ByName
                                                         : RecordOrder::ByCreation);

    std::vector<std::vector<std::string>> rows{
        {"Name", "Created", "Processed", "Seed", "Computed", "Points", "Measurements"}};
    const int count = main.recordCount();
    for (int i = 1; i <= count; ++i) {
        main.setRecNo(i);
        rows.push_back({main.asString("Name"), main.asString("Created", locale),
                        main.asString("Processed", locale), main.asString("Seed"),
                        main.asBoolean("Computed") ? "yes" : "no",
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
    const TextLocale locale = systemTextLocale();
    const RecordFileData file = readRecordFile(path, locale.decimalSeparator);
    const std::string name =
        options.value("--name").value_or(std::filesystem::path(path).stem().string());

    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Create);
    ImportRecord(db.records(), file, name);
    db.save();
    printOut("Record \"" + db.records().cdsMain.asString("Name") + "\" imported with "
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
    if (!outcome.LM.Message.empty())
        throw CommandError(outcome.LM.Message, ExitFitFailed);

    SaveResults(db.records(), db.records().store.clock(), outcome.PSO->Seed);
    db.save();
    return 0;
}

int interpolateSignals(const std::vector<std::string> &args)
{
    const ParsedOptions options =
        parseCommandLine(args, {{"--method"}, {}}, 2, "missing record name or signal list");
    FitMethod method = FitMethod::LevenbergMarquardt;
    if (const auto text = options.value("--method")) {
        if (*text == "pso")
            method = FitMethod::ParticleSwarm;
        else if (*text != "lm")
            throw UsageError("--method: '" + *text + "' is neither lm nor pso");
    }
    const std::vector<long double> signals = readSignalList(options.positional[1]);

    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Change);
    const std::string &name = options.positional[0];
    db.selectRecord(name);
    RecordStore &records = db.records();
    if (!records.cdsMain.asBoolean("Computed"))
        throw CommandError("Record \"" + name + "\" has no calibration results", ExitRefused);

    const TextLocale locale = systemTextLocale();
    LoadSignals(records, signals, [] { printError(OutOfRangeText(OutOfRangeSignals)); });
    InterpolateMeasurements(records, ParameterTextsOf(records, method, locale),
                            locale.decimalSeparator,
                            [] { printError(OutOfRangeText(OutOfRangeTemperatures)); });
    db.save();

    std::string results = interpolationResultsText(CollectMeasurements(records));
    results.erase(std::remove(results.begin(), results.end(), '\r'), results.end());
    printOut(results);
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
        parseCommandLine(args, {{"-o"}, {}}, 1, "missing record name");
    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Read);
    db.selectRecord(options.positional.front());
    writeOutput(options.value("-o"),
                interpolationResultsText(CollectMeasurements(db.records())));
    return 0;
}

int deleteRecord(const std::vector<std::string> &args)
{
    const ParsedOptions options = parseCommandLine(args, {}, 1, "missing record name");
    DatabaseSession db(databaseOption(options), DatabaseSession::Access::Change);
    const std::string &name = options.positional.front();
    db.selectRecord(name);
    db.records().cdsMain.remove();
    db.save();
    printOut("Record \"" + name + "\" deleted\n");
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

int runDeleteCommand(const std::vector<std::string> &args)
{
    return runCommand("delete", args, deleteRecord);
}

} // namespace kelvora::cli
