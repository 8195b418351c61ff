#include "cli/dbsession.h"

#include "cli/fitcommand.h"
#include "cli/output.h"
#include "database/database.h"
#include "records/folders.h"
#include "tables/rows.h"

#include <filesystem>
#include <system_error>

namespace kelvora::cli {

std::string programDatabasePath()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return databasePath(InitFolders(error ? std::string("kelvora-cli") : program.string()));
}

DatabaseSession::DatabaseSession(const std::string &path, Access access)
    : m_session(path.empty() ? programDatabasePath() : path)
{
    // A folder that cannot hold the lock file cannot take the save either: that is reported
    // with the save's own text, after what a reading command would report about the file.
    bool unwritable = false;
    if (access != Access::Read) {
        switch (m_session.lock()) {
        case DatabaseLock::Failure::None:
            break;
        case DatabaseLock::Failure::CannotCreate:
            unwritable = true;
            break;
        case DatabaseLock::Failure::Unusable:
            throw CommandError(m_session.lockFailureText(), ExitRefused);
        case DatabaseLock::Failure::InUse:
            throw CommandError(databaseInUseCommandText(m_session.path()), ExitRefused);
        }
    }

    const OpenOutcome outcome = m_session.open(RecordsSession::Opening::Check);
    switch (outcome.kind) {
    case OpenOutcome::Loaded:
        break;
    case OpenOutcome::NotFound:
        if (access != Access::Create)
            throw CommandError(outcome.message, ExitCannotOpen);
        break;
    case OpenOutcome::Busy:
    case OpenOutcome::Newer:
        throw CommandError(outcome.message, ExitRefused);
    case OpenOutcome::Corrupted:
    case OpenOutcome::BackupFailed:
        throw CommandError(outcome.reason.empty() ? outcome.message
                                                  : outcome.message + "\n" + outcome.reason,
                           ExitCannotOpen);
    }
    if (unwritable)
        throw CommandError(m_session.lockFailureText(), ExitCannotWrite);
}

void DatabaseSession::selectRecord(const std::string &name)
{
    Table &main = records().cdsMain;
    records().setRecordOrder(RecordOrder::ByCreation);
    const int count = main.recordCount();
    for (int i = 1; i <= count; ++i) {
        main.setRecNo(i);
        if (RecordRow(main).name() == name)
            return;
    }
    throw CommandError("No record named \"" + name + "\"", ExitRefused);
}

void DatabaseSession::save()
{
    PostIfEditing(records().cdsMain);
    try {
        m_session.save();
    } catch (const DatabaseBusyError &e) {
        throw CommandError(e.what(), ExitRefused);
    } catch (const Error &e) {
        throw CommandError(e.what(), ExitCannotWrite);
    }
    changeSaved("the changes to the database " + path());
}

} // namespace kelvora::cli
