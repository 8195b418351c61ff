#pragma once

#include "tables/store.h"

#include <string>

namespace kelvora {

// The database path with its extension ".dbs" (any letter case) replaced by ".bak"; a path
// without that extension gets ".bak" appended.
std::string backupPath(const std::string &dbPath);

// What opening the database at start-up did, for the caller to show.
struct OpenOutcome
{
    enum Kind {
        Loaded,       // the file was read
        NotFound,     // no file: the store starts empty
        Corrupted,    // the file did not load and was moved to a backup file
        BackupFailed, // the file did not load and could not be moved: end without saving
        Busy,         // another program keeps the file locked: it is left as it is; end
        Newer,        // a newer version of the program wrote the file: it is left as it is; end
    };
    Kind kind = Loaded;
    std::string message; // the message box to show ("\r" separates its lines); empty: none
    std::string reason;  // Corrupted, BackupFailed, Newer: why the file did not load
    std::string backup;  // Corrupted: where the file was moved
};

// Shown after the "might be corrupted" message when the damaged file cannot be moved.
inline constexpr const char *CannotCreateBackupText = "Cannot create backup file";

// The start-up sequence: loads the file into `data`, or leaves `data` empty when there is no
// file, when another program keeps it locked, or when it does not load. A file that does not
// load is moved to a backup file beside the file the path leads to: backupPath(), or when that
// name is taken the first free one of "<name>.1.bak", "<name>.2.bak" ..., so that no earlier
// backup is ever replaced. The message names why the file did not load and where it went. A
// file that a newer version of the program wrote is no damage: it stays where and as it is,
// and the message says so.
OpenOutcome openDatabaseAtStartup(const std::string &dbPath, StoreData &data);

// Loads the file like the start-up but never moves, creates or deletes anything (beyond the
// journal of a save that a killed process left, which SQLite rolls back): NotFound and
// Corrupted carry the first line of the start-up message, Busy and Newer the whole of it.
OpenOutcome checkDatabase(const std::string &dbPath, StoreData &data);

} // namespace kelvora
