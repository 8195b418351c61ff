#include "cli/fitcommand.h"

#include "calibration/run.h"
#include "cli/fitreport.h"
#include "cli/options.h"
#include "cli/progressline.h"
#include "cli/runoptions.h"
#include "textio/recordfile.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace kelvora::cli {

const char *const FitUsage =
    "usage: kelvora-cli fit RECORD.txt [options]\n"
    "Imports the record file and runs a calibration on it: Levenberg-Marquardt from the\n"
    "Saunders-White guess, then particle swarm optimisation around its result.\n"
    "  --max-iter N   iteration limit of Levenberg-Marquardt (50)\n"
    "  --tol X        tolerance on the relative parameter change (1e-9)\n"
    "  --restarts N   restarts of the particle swarm after its first pass (10)\n"
    "  --range W      search range, 1.0 to 1000.0 (2.0; 1.5 for three points)\n"
    "  --seed N       seed of the random generator instead of the clock\n"
    "  --lm-only      no particle swarm fit\n"
    "  --json         the results as one JSON object\n"
    "Exit status: 0 done, 1 record file refused, 2 Levenberg-Marquardt failed,\n"
    "3 file cannot be opened, 4 floating-point fault, 64 bad command line.\n";

namespace {

struct FitCommandLine
{
    std::string path;
    RunOptions run;
    bool json = false;
};

FitCommandLine parseFitCommandLine(const std::vector<std::string> &args)
{
    const OptionSpec known{runOptionNames(), {"--lm-only", "--json"}};
    const ParsedOptions options = parseOptions(args, known);
    if (options.positional.size() != 1)
        throw UsageError(options.positional.empty() ? "missing record file"
                                                    : "more than one record file");
    FitCommandLine line;
    line.path = options.positional.front();
    line.run = runOptionsFrom(options);
    line.run.settings.LMOnly = options.has("--lm-only");
    line.json = options.has("--json");
    return line;
}

// A value going into a double field of the store; one too large for it is refused as the
// store refuses it on import.
double storedDouble(long double value)
{
    const double stored = static_cast<double>(value);
    if (std::isinf(stored) && std::isfinite(value))
        throw StoreError("Error writing data to database");
    return stored;
}

// The record an import of the file creates: the Saunders-White guess is computed over the
// reference set filled with the values read, then everything is stored as doubles.
FitRecord importedRecord(const RecordFileData &file)
{
    FitRecord record;
    record.MeanWL = storedDouble(file.MeanWL);
    record.Bandwidth = storedDouble(file.Bandwidth);
    NPoints = file.N;
    for (int i = 1; i <= file.N; ++i) {
        RefS[i] = file.S[static_cast<std::size_t>(i - 1)];
        RefT[i] = file.T[static_cast<std::size_t>(i - 1)];
        record.Input.Points.emplace_back(storedDouble(RefS[i]), storedDouble(RefT[i]));
    }
    long double A = 0.0L;
    long double B = 0.0L;
    long double C = 0.0L;
    SaundersWhiteGuess(file.MeanWL, file.Bandwidth, A, B, C);
    record.Input.AS = storedDouble(A);
    record.Input.BS = storedDouble(B);
    record.Input.CS = storedDouble(C);
    return record;
}

// The user's text with each carriage return as a line break of the terminal.
std::string asLines(std::string text)
{
    for (char &c : text) {
        if (c == '\r')
            c = '\n';
    }
    return text;
}

int fitRecord(const FitCommandLine &line)
{
    RecordFileData file;
    try {
        file = readRecordFile(line.path, '.');
    } catch (const RecordFileError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return e.kind() == RecordFileError::Kind::Open ? ExitCannotOpen : ExitRecordRefused;
    }

    FitRecord record;
    try {
        record = importedRecord(file);
    } catch (const StoreError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return ExitRecordRefused;
    }

    RunSettings settings = line.run.settings;
    settings.SearchRange = line.run.range.value_or(DefaultSearchRange(file.N));
    RunOutcome outcome;
    {
        ProgressLine progress(stderr, isatty(STDERR_FILENO) == 1, settings.NRestarts);
        outcome = RunCalibration(record.Input, settings, progress);
    }

    if (line.json)
        std::fputs(jsonFitReport(record, outcome).dump().c_str(), stdout);
    else
        std::fputs(plainFitReport(record, outcome).c_str(), stdout);
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
            std::fputs(FitUsage, stdout);
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
        std::fprintf(stderr, "%s\n", e.what());
        return ExitFloatFault;
    }
}

} // namespace kelvora::cli
