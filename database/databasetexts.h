#pragma once

#include <string>

namespace kelvora {

// The texts of the database file's failures, and the one place where SQLite's result codes
// become the words a user reads (the system's errors through systemErrorText).

// An SQLite result code (extended) as a text. A failed call of the system (reading, writing,
// opening, a full disk) is the system's text of `systemError` when that is known; a file or
// folder that may not be written is the system's "Permission denied"; anything else is
// SQLite's own text.
std::string sqliteErrorText(int resultCode, int systemError);

// The path made absolute, or as it is when that fails.
std::string fullPath(const std::string &path);

// 'Cannot create file "<full path>". <reason>', the text of a failed save.
std::string cannotCreateText(const std::string &path, const std::string &reason);
// 'Cannot use the lock file "<full path>". <reason>'
std::string lockFileUnusableText(const std::string &lockPath, const std::string &reason);

// The window's message for a database that another copy of the program holds.
std::string databaseInUseText(const std::string &dbPath);
// The command line's, which says what to do.
std::string databaseInUseCommandText(const std::string &dbPath);

// Another program (an SQLite tool, a backup) keeps the file locked longer than a reader
// waits; lines separated by "\r".
std::string databaseBusyText(const std::string &dbPath);

// A save that finds the file changed by another program since the store read it; lines
// separated by "\r".
std::string databaseChangedText(const std::string &dbPath);

} // namespace kelvora
