#pragma once

#include <string>

namespace kelvora {

// The program's folders, without a trailing separator. The program never creates, checks or
// removes them: they belong to the installation.
struct ProgramFolders
{
    std::string ProgramDir; // the folder that holds the program file
    std::string InputDir;   // ProgramDir/Data/Input: records and signal lists
    std::string OutputDir;  // ProgramDir/Data/Output: reports and results
    std::string DBDir;      // ProgramDir/DB: the database file
};

// The four folders of the program whose program file has this full path (a relative path is
// taken from the current folder).
ProgramFolders InitFolders(const std::string &programFile);

// DBDir/kelvora.dbs
std::string databasePath(const ProgramFolders &folders);

} // namespace kelvora
