#include "records/recordssession.h"

#include "core/errors.h"
#include "database/database.h"

#include <utility>

namespace kelvora {

RecordsSession::RecordsSession(std::string dbPath) : m_path(std::move(dbPath))
{
    const auto on = [this](Event<> &event, std::function<void()> reaction) {
        m_connections.push_back(event.subscribe(std::move(reaction)));
    };
    const auto recordChanged = [this] {
        if (m_open && !m_posting && changed)
            changed();
    };
    // Points and measurements are kept in the record's edit buffer until the record is
    // posted; the next save posts it.
    const auto rowChanged = [this, recordChanged] {
        m_nestedChanged = true;
        recordChanged();
    };
    on(m_records.cdsMain.afterPost, recordChanged);
    on(m_records.cdsMain.afterDelete, recordChanged);
    for (Table *nested : {&m_records.cdsBB, &m_records.cdsInterp}) {
        on(nested->afterPost, rowChanged);
        on(nested->afterDelete, rowChanged);
    }
}

RecordsSession::~RecordsSession() = default;

DatabaseLock::Failure RecordsSession::lock()
{
    if (!m_lock)
        m_lock = std::make_unique<DatabaseLock>(m_path);
    m_lock->acquire();
    return m_lock->failure();
}

const std::string &RecordsSession::lockFailureText() const
{
    static const std::string none;
    return m_lock ? m_lock->failureText() : none;
}

OpenOutcome RecordsSession::open(Opening opening)
{
    StoreData data;
    const OpenOutcome outcome = opening == Opening::AtStartup
                                    ? openDatabaseAtStartup(m_path, data)
                                    : checkDatabase(m_path, data);
    // Changes made while the tables open (the reference range of the first record) wait
    // for the first change of the session to be saved.
    Store &store = m_records.store;
    try {
        store.load(std::move(data));
    } catch (const std::exception &) {
        store.clearAll();
        store.open();
        m_open = true;
        throw;
    }
    store.open();
    m_open = true;
    return outcome;
}

void RecordsSession::write()
{
    if (m_lock)
        requireLock(*m_lock, m_path);
    saveDatabase(m_path, m_records.store);
}

void RecordsSession::autosave()
{
    Table &main = m_records.cdsMain;
    if (m_nestedChanged && main.state() == TableState::Edit && !m_records.cdsBB.isEditing()
        && !m_records.cdsInterp.isEditing()) {
        m_posting = true;
        try {
            main.post();
        } catch (const Error &) {
            // The record cannot be posted as it stands; the user's own post will say why.
        }
        m_posting = false;
    }
    if (!main.isEditing())
        m_nestedChanged = false;
    write();
}

void RecordsSession::save()
{
    PostIfEditing(m_records.cdsMain);
    write();
}

void RecordsSession::close()
{
    save();
    closeWithoutSaving();
}

void RecordsSession::closeWithoutSaving()
{
    m_open = false;
    m_records.store.close();
    if (m_lock)
        m_lock->release();
}

} // namespace kelvora
