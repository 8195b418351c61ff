#include "cli/dbcommands.h"
#include "cli/fitcommand.h"
#include "cli/options.h"
#include "cli/output.h"
#include "core/errors.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace {

struct Command
{
    const char *name;
    const char *summary;
    int (*run)(const std::vector<std::string> &args);
};

const Command Commands[] = {
    {"fit", "import a record file and calibrate it (fit --help for the options)",
     kelvora::cli::runFitCommand},
    {"list", "the records of the database (list --help for all database commands)",
     kelvora::cli::runListCommand},
    {"import", "a new record in the database from a record file",
     kelvora::cli::runImportCommand},
    {"calibrate", "calibrate a record of the database and save the results",
     kelvora::cli::runCalibrateCommand},
    {"interpolate", "temperatures of a signal list with a record's results",
     kelvora::cli::runInterpolateCommand},
    {"report", "the report of a record", kelvora::cli::runReportCommand},
    {"results", "the interpolation results of a record", kelvora::cli::runResultsCommand},
    {"uncertainty", "a record's uncertainty settings", kelvora::cli::runUncertaintyCommand},
    {"delete", "delete a record of the database", kelvora::cli::runDeleteCommand},
    {"certificate", "a record's calibration certificate as a PDF/A file",
     kelvora::cli::runCertificateCommand},
    {"certificates", "the register of issued certificates",
     kelvora::cli::runCertificatesCommand},
    {"laboratory", "the laboratory's details that certificates carry",
     kelvora::cli::runLaboratoryCommand},
};

std::string usage()
{
    std::string text = "usage: kelvora-cli COMMAND [arguments]\n\nCommands:\n";
    for (const Command &command : Commands) {
        std::string name = command.name;
        name.resize(std::max<std::size_t>(name.size(), 12), ' ');
        text += "  " + name + " " + command.summary + "\n";
    }
    return text;
}

int runCommandLine(int argc, char *argv[])
{
    if (argc < 2) {
        std::fputs(usage().c_str(), stderr);
        return kelvora::cli::ExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        kelvora::cli::printOut(usage());
        return 0;
    }
    for (const Command &command : Commands) {
        if (name == command.name)
            return command.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "kelvora-cli: unknown command '%s'\n", name.c_str());
    std::fputs(usage().c_str(), stderr);
    return kelvora::cli::ExitUsage;
}

} // namespace

int main(int argc, char *argv[])
{
    // A file-size limit makes a write fail with its own error instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    kelvora::cli::guardStandardStreams();
    try {
        return kelvora::cli::finishOutput(runCommandLine(argc, argv));
    } catch (const std::bad_alloc &error) {
        std::fprintf(stderr, "%s\n", kelvora::errorText(error).c_str());
        return kelvora::cli::ExitOutOfMemory;
    }
}
