#pragma once

#include <string>

namespace kelvora {

// The program's folders, without a trailing separator. The program never creates, checks or
// removes them: they belong to the installation.
extern std::string ProgramDir; // the folder that holds the program file
extern std::string InputDir;   // ProgramDir/Data/Input: records and signal lists
extern std::string OutputDir;  // ProgramDir/Data/Output: reports and results
extern std::string DBDir;      // ProgramDir/DB: the database file

// Sets the four folders from the full path of the program file (a relative path is taken
// from the current folder).
void InitFolders(const std::string &programFile);

// DBDir/kelvora.dbs
std::string databasePath();

} // namespace kelvora
