#include "cli/fitcommand.h"

#include "calibration/run.h"
#include "cli/fitreport.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/runoptions.h"
#include "cli/uncertaintyreport.h"
#include "core/fpe.h"
#include "frontend/systemlocale.h"
#include "records/operations.h"
#include "records/uncertainties.h"
#include "textio/recordfile.h"
#include "textio/signals.h"

#include <cstdio>
#include <filesystem>

namespace kelvora::cli {

const char *const FitUsage =
    "usage: kelvora-cli fit RECORD.txt [options]\n"
    "Imports the record file and runs a calibration on it: Levenberg-Marquardt from the\n"
    "Saunders-White guess, then particle swarm optimisation around its result.\n"
    "  --max-iter N   iteration limit of Levenberg-Marquardt, 1 to 1000000 (50)\n"
    "  --tol X        tolerance on the relative parameter change, above 0 and below 1\n"
    "                 (1e-9)\n"
    "  --restarts N   restarts of the particle swarm after its first pass, 0 to 1000000\n"
    "                 (10)\n"
    "  --range W      search range, 1.0 to 1000.0 (2.0; 1.5 for three points)\n"
    "  --seed N       seed of the random generator instead of the clock, 0 to 4294967295\n"
    "  --threads N    threads of the particle swarm fit, 1 to 1024 (all cores); 1 runs its\n"
    "                 passes one after another; the results are the same\n"
    "  --lm-only      no particle swarm fit\n"
    "  --json         the results as one JSON object\n"
    "  --signals LIST.txt\n"
    "                 the temperatures of the signal list at the Levenberg-Marquardt\n"
    "                 triple with their uncertainties (u(T) of the points, the third\n"
    "                 number of a point's line, in mK) and the Birge ratio\n"
    "  --mc N         with --signals: checks them by N Monte Carlo trials, 2 to 1000000,\n"
    "                 seeded by --seed (1), on --threads threads\n"
    "  --w X          with --signals: the relative standard uncertainty of a measured\n"
    "                 signal, from 0 to below 1 (0)\n"
    "Exit status: 0 done, 1 record file refused, 2 Levenberg-Marquardt failed,\n"
    "3 file cannot be opened, 4 floating-point fault, 5 output cannot be written,\n"
    "6 out of memory, 64 bad command line.\n";

namespace {

struct FitCommandLine
{
    std::string path;
    RunOptions run;
    bool json = false;
    std::optional<std::string> signals;
    int monteCarloTrials = 0;
    long double w = 0.0L;
};

FitCommandLine parseFitCommandLine(const std::vector<std::string> &args)
{
    OptionTable known{runOptionNames(), {"--lm-only", "--json"}};
    known.valued.insert({"--signals", "--mc", "--w"});
    const ParsedOptions options = parseOptions(args, known);
    if (options.positional.size() != 1)
        throw UsageError(options.positional.empty() ? "missing record file"
                                                    : "more than one record file");
    FitCommandLine line;
    line.path = options.positional.front();
    line.run = runOptionsFrom(options);
    line.run.settings.LMOnly = options.has("--lm-only");
    line.json = options.has("--json");
    line.signals = options.value("--signals");
    if (const auto trials = options.value("--mc")) {
        if (!line.signals)
            throw UsageError("--mc needs --signals");
        line.monteCarloTrials = intOption("--mc", *trials, 2, MaxMonteCarloTrials);
    }
    if (const auto w = options.value("--w")) {
        if (!line.signals)
            throw UsageError("--w needs --signals");
        line.w = floatOption("--w", *w, RelativeSignalUncertaintyRange);
    }
    return line;
}

// The record as an import into the database holds it, imported into a store of its own that
// is never saved: the values as doubles, the Saunders-White guess over the points read.
// `points` receives the reference points with their uncertainties.
FitRecord importedRecord(const RecordFileData &file, const std::string &path,
                         std::vector<UncertainPoint> &points)
{
    RecordStore records;
    records.store.open();
    const std::string name = std::filesystem::path(path).stem().string();
    ImportRecord(records, file, name.empty() ? std::string("fit") : name);
    points = UncertainPointsOf(records);
    return FitRecordOf(records);
}

// The uncertainties of the signal list's temperatures at the Levenberg-Marquardt triple.
SignalUncertainties uncertaintiesOf(const FitCommandLine &line,
                                    const std::vector<long double> &signals,
                                    const std::vector<UncertainPoint> &points,
                                    const RunOutcome &outcome)
{
    MonteCarloRequest request;
    request.trials = line.monteCarloTrials;
    request.seed = line.run.settings.Seed.value_or(DefaultMonteCarloSeed);
    request.threads = line.run.settings.Threads;
    request.MaxIter = line.run.settings.MaxIter;
    request.Tol = line.run.settings.Tol;
    return signalUncertainties(points, outcome.LM.Result, signals, line.w, request);
}

int fitRecord(const FitCommandLine &line)
{
    // The refusals name their bounds and values with the user's decimal separator, as an
    // import does.
    const char separator = systemTextLocale().decimalSeparator;
    RecordFileData file;
    try {
        file = readRecordFile(line.path, separator);
    } catch (const RecordFileError &e) {
        std::fprintf(stderr, "%s\n", asLines(e.what()).c_str());
        return e.kind() == RecordFileError::Kind::Open ? ExitCannotOpen : ExitRecordRefused;
    }
    if (const std::string unread = unreadUncertaintiesText(file); !unread.empty())
        std::fprintf(stderr, "%s\n", asLines(unread).c_str());

    // The signal list is read before the fit, so that a list that cannot be read costs none.
    std::vector<long double> signals;
    if (line.signals) {
        try {
            signals = readSignalList(*line.signals, separator);
        } catch (const RecordFileError &e) {
            std::fprintf(stderr, "%s\n", asLines(e.what()).c_str());
            return e.kind() == RecordFileError::Kind::Check ? ExitRecordRefused
                                                            : ExitCannotOpen;
        }
    }

    FitRecord record;
    std::vector<UncertainPoint> points;
    try {
        record = importedRecord(file, line.path, points);
    } catch (const Error &e) {
        // A value the record cannot hold refuses the record file, as the import refuses it.
        std::fprintf(stderr, "%s\n", asLines(e.what()).c_str());
        return ExitRecordRefused;
    }

    const RunOutcome outcome = runWithProgress(record.Input, line.run);
    std::optional<SignalUncertainties> uncertainties;
    if (line.signals && outcome.LM.Message.empty())
        uncertainties = uncertaintiesOf(line, signals, points, outcome);
    if (line.json) {
        Json report = jsonFitReport(record, outcome);
        if (uncertainties)
            addUncertainties(report, *uncertainties);
        printOut(report.dump());
    } else {
        std::string report = plainFitReport(record, outcome);
        if (uncertainties)
            report += "\n" + plainUncertainties(*uncertainties);
        printOut(report);
    }
    if (!outcome.LM.Message.empty()) {
        std::fprintf(stderr, "%s\n", asLines(outcome.LM.Message).c_str());
        return ExitFitFailed;
    }
    return 0;
}

} // namespace

int runFitCommand(const std::vector<std::string> &args)
{
    for (const std::string &arg : args) {
        if (arg == "--help" || arg == "-h") {
            printOut(FitUsage);
            return 0;
        }
    }
    FitCommandLine line;
    try {
        line = parseFitCommandLine(args);
    } catch (const UsageError &e) {
        std::fprintf(stderr, "kelvora-cli fit: %s\n%s", e.what(), FitUsage);
        return ExitUsage;
    }
    try {
        return fitRecord(line);
    } catch (const Error &e) {
        // Floating-point faults, and any other fault of the computation, end the run.
        std::fprintf(stderr, "%s\n", asLines(e.what()).c_str());
        return ExitFloatFault;
    }
}

} // namespace kelvora::cli
