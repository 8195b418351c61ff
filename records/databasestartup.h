#pragma once

#include "records/store.h"

#include <string>

namespace kelvora {

// The database path with its extension ".dbs" (any letter case) replaced by ".bak"; a path
// without that extension gets ".bak" appended.
std::string backupPath(const std::string &dbPath);

// What opening the database at start-up did, for the caller to show.
struct OpenOutcome
{
    enum Kind {
        Loaded,      // the file was read
        NotFound,    // no file: the store starts empty
        Corrupted,   // the file did not load and was moved to the backup path
        BackupFailed // the file did not load and could not be moved: end without saving
    };
    Kind kind = Loaded;
    std::string message; // the message box to show ("\r" separates its lines); empty: none
    std::string reason;  // Corrupted, BackupFailed: why the file did not load
};

// Shown after the "might be corrupted" message when the damaged file cannot be moved.
inline constexpr const char *CannotCreateBackupText = "Cannot create backup file";

// The start-up sequence: loads the file into `data`, or leaves `data` empty when there is no
// file, or when the file does not load; such a file first replaces any older backup file.
OpenOutcome openDatabaseAtStartup(const std::string &dbPath, StoreData &data);

// Loads the file like the start-up but never moves, creates or deletes anything (beyond the
// journal of a save that a killed process left, which SQLite rolls back): NotFound and
// Corrupted carry the first line of the start-up message.
OpenOutcome checkDatabase(const std::string &dbPath, StoreData &data);

} // namespace kelvora
