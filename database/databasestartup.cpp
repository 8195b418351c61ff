#include "database/databasestartup.h"

#include "database/database.h"
#include "database/databasefiles.h"

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace kelvora {

namespace {

// Backup names tried before the move is given up.
constexpr int MaxBackups = 10000;

bool isFile(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isDbsExtension(const std::string &extension)
{
    static constexpr char Dbs[] = ".dbs";
    if (extension.size() != sizeof Dbs - 1)
        return false;
    for (std::size_t i = 0; i < extension.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(extension[i])) != Dbs[i])
            return false;
    return true;
}

std::string notFoundLine(const std::string &dbPath)
{
    return "File " + dbPath + " not found";
}

std::string corruptedLine(const std::string &dbPath)
{
    return "File " + dbPath + " might be corrupted";
}

std::string newerText(const std::string &dbPath, const std::string &reason)
{
    return "File " + dbPath + " is not opened\r" + reason
           + "\rIt is left as it is; open it with that version.";
}

// backupPath(), then the same with ".<number>" before its ".bak".
std::string numberedBackupPath(const std::string &file, int number)
{
    const std::string first = backupPath(file);
    if (number == 0)
        return first;
    return first.substr(0, first.size() - 4) + "." + std::to_string(number) + ".bak";
}

// Moves the file to the first free backup name; empty when it cannot be moved.
std::string moveToBackup(const std::string &file)
{
    for (int number = 0; number < MaxBackups; ++number) {
        const std::string backup = numberedBackupPath(file, number);
        const int error = moveWithoutReplacing(file, backup);
        if (error == 0)
            return backup;
        if (error != EEXIST)
            break;
    }
    return {};
}

// Loads the file when there is one; the outcome carries no message yet.
OpenOutcome tryLoad(const std::string &dbPath, StoreData &data)
{
    data = StoreData{};
    if (!isFile(dbPath))
        return {OpenOutcome::NotFound, {}, {}, {}};
    try {
        data = loadDatabase(dbPath);
        return {OpenOutcome::Loaded, {}, {}, {}};
    } catch (const NewerDatabaseError &e) {
        return {OpenOutcome::Newer, newerText(dbPath, e.what()), e.what(), {}};
    } catch (const DatabaseError &e) {
        return {OpenOutcome::Corrupted, {}, e.what(), {}};
    } catch (const DatabaseBusyError &) {
        return {OpenOutcome::Busy, databaseBusyText(dbPath), {}, {}};
    }
}

} // namespace

std::string backupPath(const std::string &dbPath)
{
    std::filesystem::path path(dbPath);
    if (!isDbsExtension(path.extension().string()))
        return dbPath + ".bak";
    return path.replace_extension(".bak").string();
}

OpenOutcome openDatabaseAtStartup(const std::string &dbPath, StoreData &data)
{
    OpenOutcome outcome = tryLoad(dbPath, data);
    switch (outcome.kind) {
    case OpenOutcome::NotFound:
        outcome.message = notFoundLine(dbPath) + "\r" + "Empty database will be created";
        break;
    case OpenOutcome::Corrupted:
        outcome.message = corruptedLine(dbPath) + "\r"
                          + "It will be backed up and the empty database will be created"
                          + "\r\rReason: " + outcome.reason;
        // The file itself, not a link to it, goes aside; a folder or a file in the way of one
        // name is passed by for the next.
        outcome.backup = moveToBackup(linkTarget(dbPath));
        if (outcome.backup.empty())
            outcome.kind = OpenOutcome::BackupFailed;
        else
            outcome.message += "\rBackup file: " + outcome.backup;
        break;
    case OpenOutcome::Loaded:
    case OpenOutcome::BackupFailed:
    case OpenOutcome::Busy:
    case OpenOutcome::Newer:
        break;
    }
    return outcome;
}

OpenOutcome checkDatabase(const std::string &dbPath, StoreData &data)
{
    OpenOutcome outcome = tryLoad(dbPath, data);
    if (outcome.kind == OpenOutcome::NotFound)
        outcome.message = notFoundLine(dbPath);
    else if (outcome.kind == OpenOutcome::Corrupted)
        outcome.message = corruptedLine(dbPath);
    return outcome;
}

} // namespace kelvora
