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
        settings.MaxIter = intOption("--max-iter", *text, 1, MaxIterLimit);
    if (const auto text = options.value("--tol"))
        settings.Tol =
            floatOption("--tol", *text, {0.0L, 1.0L, true, true, "above 0 and below 1"});
    if (const auto text = options.value("--restarts"))
        settings.NRestarts = intOption("--restarts", *text, 0, MaxRestarts);
    if (const auto text = options.value("--range"))
        run.range = floatOption("--range", *text,
                                {MinSearchRange, MaxSearchRange, false, false,
                                 "from 1.0 to 1000.0"});
    if (const auto text = options.value("--seed"))
        settings.Seed = unsignedOption("--seed", *text);
    if (const auto text = options.value("--threads"))
        settings.Threads = intOption("--threads", *text, 1, MaxThreads);
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
