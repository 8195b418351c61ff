#include "records/databasestartup.h"

#include "records/database.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

namespace kelvora {

namespace {

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

// Loads the file when there is one; the outcome carries no message yet.
OpenOutcome tryLoad(const std::string &dbPath, StoreData &data)
{
    data = StoreData{};
    if (!isFile(dbPath))
        return {OpenOutcome::NotFound, {}, {}};
    try {
        data = loadDatabase(dbPath);
        return {OpenOutcome::Loaded, {}, {}};
    } catch (const DatabaseError &e) {
        return {OpenOutcome::Corrupted, {}, e.what()};
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
    case OpenOutcome::Corrupted: {
        outcome.message = corruptedLine(dbPath) + "\r"
                          + "It will be backed up and the empty database will be created";
        // The move replaces an older backup file; a folder in its place makes it fail.
        if (std::rename(dbPath.c_str(), backupPath(dbPath).c_str()) != 0)
            outcome.kind = OpenOutcome::BackupFailed;
        break;
    }
    case OpenOutcome::Loaded:
    case OpenOutcome::BackupFailed:
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
