#include "cli/runoptions.h"

#include "cli/progressline.h"

#include <unistd.h>

#include <cstdio>

namespace kelvora::cli {

namespace {

// More threads than this only cost memory: a fit never uses more threads than passes.
constexpr int MaxThreads = 1024;

} // namespace

const std::set<std::string> &runOptionNames()
{
    static const std::set<std::string> names{"--max-iter", "--tol", "--restarts", "--range",
                                             "--seed", "--threads"};
    return names;
}

RunOptions runOptionsFrom(const ParsedOptions &options)
{
    RunOptions run;
    RunSettings &settings = run.settings;
    if (const auto text = options.value("--max-iter"))
        settings.MaxIter = intOption("--max-iter", *text);
    if (const auto text = options.value("--tol"))
        settings.Tol = floatOption("--tol", *text);
    if (const auto text = options.value("--restarts"))
        settings.NRestarts = intOption("--restarts", *text);
    if (const auto text = options.value("--range")) {
        run.range = floatOption("--range", *text);
        // The limits of the window's search range box.
        if (!(*run.range >= 1.0L && *run.range <= 1000.0L))
            throw UsageError("--range: " + *text + " is not from 1.0 to 1000.0");
    }
    if (const auto text = options.value("--seed"))
        settings.Seed = unsignedOption("--seed", *text);
    if (const auto text = options.value("--threads")) {
        settings.Threads = intOption("--threads", *text);
        if (settings.Threads < 1 || settings.Threads > MaxThreads)
            throw UsageError("--threads: " + *text + " is not from 1 to "
                             + std::to_string(MaxThreads));
    }
    return run;
}

RunOutcome runWithProgress(const RunInput &input, const RunOptions &options)
{
    RunSettings settings = options.settings;
    settings.SearchRange =
        options.range.value_or(DefaultSearchRange(static_cast<int>(input.Points.size())));
    ProgressLine progress(stderr, isatty(STDERR_FILENO) == 1);
    return RunCalibration(input, settings, progress);
}

} // namespace kelvora::cli
