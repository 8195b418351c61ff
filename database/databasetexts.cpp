#include "database/databasetexts.h"

#include "core/errors.h"

#include <sqlite3.h>

#include <cerrno>
#include <filesystem>

namespace kelvora {

std::string sqliteErrorText(int resultCode, int systemError)
{
    switch (resultCode & 0xFF) {
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_FULL:
        if (systemError != 0)
            return systemErrorText(systemError);
        break;
    case SQLITE_NOTADB:
        return "The file is not a Kelvora database";
    case SQLITE_CORRUPT:
        return "The database is damaged: some of its pages are malformed";
    case SQLITE_READONLY:
        // A moved file is SQLite's own case; every other refusal to write is the system's.
        if (resultCode != SQLITE_READONLY_DBMOVED)
            return systemErrorText(EACCES);
        break;
    default:
        break;
    }
    return sqlite3_errstr(resultCode);
}

std::string fullPath(const std::string &path)
{
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.string();
}

std::string cannotCreateText(const std::string &path, const std::string &reason)
{
    return "Cannot create file \"" + fullPath(path) + "\". " + reason;
}

std::string lockFileUnusableText(const std::string &lockPath, const std::string &reason)
{
    return "Cannot use the lock file \"" + fullPath(lockPath) + "\". " + reason;
}

std::string databaseInUseText(const std::string &dbPath)
{
    return "The database " + dbPath + " is in use by another running copy of Kelvora.";
}

std::string databaseInUseCommandText(const std::string &dbPath)
{
    return "The database " + dbPath
           + " is in use by a running copy of Kelvora; close it and try again";
}

std::string databaseBusyText(const std::string &dbPath)
{
    return "The database " + dbPath
           + " is busy: another program (an SQLite tool or a backup) keeps it locked.\r"
             "It is left as it is; try again when that program is done.";
}

std::string databaseChangedText(const std::string &dbPath)
{
    return "The database " + dbPath
           + " was changed by another program after Kelvora read it.\r"
             "Nothing was saved, so that the other program's changes are not overwritten.";
}

} // namespace kelvora
