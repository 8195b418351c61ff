#pragma once

#include <string>
#include <vector>

namespace kelvora::cli {

// The commands on the program's database (DB/kelvora.dbs beside the program, or the file
// given with --db). `args` are the arguments after the command name. Exit statuses as in
// DatabaseUsage.
int runListCommand(const std::vector<std::string> &args);
int runImportCommand(const std::vector<std::string> &args);
int runCalibrateCommand(const std::vector<std::string> &args);
int runInterpolateCommand(const std::vector<std::string> &args);
int runReportCommand(const std::vector<std::string> &args);
int runResultsCommand(const std::vector<std::string> &args);
int runUncertaintyCommand(const std::vector<std::string> &args);
int runDeleteCommand(const std::vector<std::string> &args);
int runCertificateCommand(const std::vector<std::string> &args);
int runCertificatesCommand(const std::vector<std::string> &args);
int runLaboratoryCommand(const std::vector<std::string> &args);

extern const char *const DatabaseUsage;

} // namespace kelvora::cli
