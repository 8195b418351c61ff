#include "database/database.h"

#include "database/databasefiles.h"
#include "database/databasereading.h"
#include "database/databasetexts.h"
#include "database/databasewriting.h"
#include "database/sqlitedb.h"

#include <sqlite3.h>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvora {

namespace {

// A file that did not exist: written whole under a temporary name beside it, synced and moved
// into place, never over a file that appeared meanwhile.
void writeNewFile(const std::string &path, const std::string &file, const WriteRequest &request,
                  std::int64_t saveId)
{
    const std::string temporary = createTemporaryFile(file);
    try {
        SqlConnection db(temporary, SQLITE_OPEN_READWRITE);
        // The file is moved into place only when complete, so SQLite need not guard it.
        db.exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN");
        writeAll(db, request);
        markSaved(db, saveId);
        db.exec("COMMIT");
        db.close();
        if (const int error = syncFile(temporary))
            throw DatabaseError(systemErrorText(error));
        const int error = moveWithoutReplacing(temporary, file);
        if (error == EEXIST)
            throw DatabaseChangedError(databaseChangedText(path));
        if (error != 0)
            throw DatabaseError(systemErrorText(error));
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    // The new file is in place; syncing the folder only makes the move durable, so a failure
    // here is not a failed save.
    syncFolderOf(file);
}

void writeInPlace(const std::string &path, const std::string &file,
                  const WriteRequest &request, std::int64_t saveId)
{
    SqlConnection db(file, SQLITE_OPEN_READWRITE);
    db.exec("PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL; BEGIN IMMEDIATE");
    const int version = checkHeader(db);
    const StoreChanges *changes = request.changes;
    if (changes) {
        // Another save since the store read the file: what it wrote is never overwritten.
        const std::int64_t mark = version == LayoutWithoutChecksums ? 0 : readSaveId(db);
        if (!changes->fromFile || mark != changes->saveId)
            throw DatabaseChangedError(databaseChangedText(path));
    }
    const bool whole = changes == nullptr || version != LayoutVersion || changes->saveId == 0
                       || !holdsEveryField(checkDefinitions(db, version));
    if (whole) {
        dropTables(db);
        writeAll(db, request);
    } else {
        writeChanges(db, request);
    }
    markSaved(db, saveId);
    db.exec("COMMIT");
    db.close();
}

// After a failed write SQLite may leave its journal for the next reader to roll back (it
// does so after an I/O error): that is done at once, so that the file is the old one again.
void rollBackNow(const std::string &file)
{
    try {
        SqlConnection db(file, SQLITE_OPEN_READWRITE);
        db.exec("SELECT count(*) FROM sqlite_schema");
    } catch (const Error &) {
        // The next load tries again.
    }
}

// Writes the request; returns the save id it marked the file with.
std::int64_t writeStore(const std::string &path, const WriteRequest &request)
{
    // A file-size limit then fails the write with EFBIG, instead of killing the program
    // halfway through a save.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::int64_t saveId = newSaveId();
    const std::string file = linkTarget(path);
    try {
        struct stat status{};
        if (::stat(file.c_str(), &status) != 0) {
            if (errno != ENOENT)
                throw DatabaseError(systemErrorText(errno));
            writeNewFile(path, file, request, saveId);
            return saveId;
        }
        if (S_ISDIR(status.st_mode))
            throw DatabaseError(systemErrorText(EISDIR));
        // A file that the user has made read-only to protect it stays as it is.
        if (!S_ISREG(status.st_mode) || (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            throw DatabaseError(systemErrorText(EACCES));
        // A file there although the store started without one: someone else made it.
        if (request.changes && !request.changes->fromFile)
            throw DatabaseChangedError(databaseChangedText(path));
        try {
            writeInPlace(path, file, request, saveId);
        } catch (const DatabaseError &) {
            rollBackNow(file);
            throw;
        }
    } catch (const DatabaseError &e) {
        throw Error(cannotCreateText(path, e.what()));
    } catch (const DatabaseBusyError &) {
        throw DatabaseBusyError(databaseBusyText(path));
    }
    return saveId;
}

} // namespace

StoreData loadDatabase(const std::string &path)
{
    // Opened for writing when the file allows it, so that SQLite can roll back the
    // transaction of a save that was killed; reading writes nothing else.
    SqlConnection db(linkTarget(path), SQLITE_OPEN_READWRITE);
    db.exec("BEGIN");
    const int version = checkHeader(db);
    checkIntegrity(db);
    checkTables(db, version);
    StoreData data = readRecords(db, version, checkDefinitions(db, version));
    db.exec("COMMIT");
    return data;
}

void saveDatabase(const std::string &path, const StoreData &data)
{
    writeStore(path, WriteRequest{data.records, data.settings, data.keys, nullptr});
}

void saveDatabase(const std::string &path, Store &store)
{
    const std::int64_t saveId =
        writeStore(path, WriteRequest{store.records(), store.settings(), store.keys(),
                                      &store.changes()});
    store.changesSaved(saveId);
}

} // namespace kelvora
