#include "records/folders.h"

#include <filesystem>

namespace kelvora {

std::string ProgramDir;
std::string InputDir;
std::string OutputDir;
std::string DBDir;

void InitFolders(const std::string &programFile)
{
    namespace fs = std::filesystem;
    const fs::path program = fs::absolute(fs::path(programFile)).parent_path();
    ProgramDir = program.string();
    InputDir = (program / "Data" / "Input").string();
    OutputDir = (program / "Data" / "Output").string();
    DBDir = (program / "DB").string();
}

std::string databasePath()
{
    return (std::filesystem::path(DBDir) / "kelvora.dbs").string();
}

} // namespace kelvora
