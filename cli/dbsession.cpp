#include "cli/dbsession.h"

#include "cli/fitcommand.h"
#include "records/folders.h"

#include <filesystem>
#include <system_error>

namespace kelvora::cli {

std::string programDatabasePath()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    InitFolders(error ? std::string("kelvora-cli") : program.string());
    return databasePath();
}

DatabaseSession::DatabaseSession(const std::string &path, Access access)
    : m_path(path.empty() ? programDatabasePath() : path)
{
    // A folder that cannot hold the lock file cannot take the save either: that is reported
    // with the save's own text, after what a reading command would report about the file.
    bool unwritable = false;
    if (access != Access::Read) {
        m_lock = std::make_unique<DatabaseLock>(m_path);
        if (!m_lock->acquire()) {
            switch (m_lock->failure()) {
            case DatabaseLock::Failure::CannotCreate:
                unwritable = true;
                break;
            case DatabaseLock::Failure::Unusable:
                throw CommandError(m_lock->failureText(), ExitRefused);
            case DatabaseLock::Failure::InUse:
            case DatabaseLock::Failure::None:
                throw CommandError("The database " + m_path
                                       + " is in use by a running copy of Kelvora;"
                                       " close it and try again",
                                   ExitRefused);
            }
        }
    }

    StoreData data;
    const OpenOutcome outcome = checkDatabase(m_path, data);
    switch (outcome.kind) {
    case OpenOutcome::Loaded:
        break;
    case OpenOutcome::NotFound:
        if (access != Access::Create)
            throw CommandError(outcome.message, ExitCannotOpen);
        break;
    case OpenOutcome::Corrupted:
    case OpenOutcome::BackupFailed:
        throw CommandError(outcome.reason.empty() ? outcome.message
                                                  : outcome.message + "\n" + outcome.reason,
                           ExitCannotOpen);
    }
    if (unwritable)
        throw CommandError(m_lock->failureText(), ExitCannotWrite);
    m_records.store.load(std::move(data));
    m_records.store.open();
}

void DatabaseSession::selectRecord(const std::string &name)
{
    Table &main = m_records.cdsMain;
    main.setOrder(1); // by creation time, newest first
    const int count = main.recordCount();
    for (int i = 1; i <= count; ++i) {
        main.setRecNo(i);
        if (main.asString("Name") == name)
            return;
    }
    throw CommandError("No record named \"" + name + "\"", ExitRefused);
}

void DatabaseSession::save()
{
    PostIfEditing(m_records.cdsMain);
    try {
        saveDatabase(m_path, m_records.store);
    } catch (const Error &e) {
        throw CommandError(e.what(), ExitCannotWrite);
    }
}

} // namespace kelvora::cli
