#include "records/folders.h"

#include <filesystem>

namespace kelvora {

ProgramFolders InitFolders(const std::string &programFile)
{
    namespace fs = std::filesystem;
    const fs::path program = fs::absolute(fs::path(programFile)).parent_path();
    ProgramFolders folders;
    folders.ProgramDir = program.string();
    folders.InputDir = (program / "Data" / "Input").string();
    folders.OutputDir = (program / "Data" / "Output").string();
    folders.DBDir = (program / "DB").string();
    return folders;
}

std::string databasePath(const ProgramFolders &folders)
{
    return (std::filesystem::path(folders.DBDir) / "kelvora.dbs").string();
}

} // namespace kelvora
