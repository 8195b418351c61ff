#include "database/registertable.h"

#include "database/databaselayout.h"
#include "database/rowchecksum.h"
#include "database/sqlitedb.h"

#include <sqlite3.h>

#include <algorithm>

namespace kelvora {

namespace {

// The columns of an entry after its position and before its checksum, in the order in which
// the statements below bind and read them.
const char *const EntryColumns = "number, record, recordName, issued, fit, fitChosen, step,"
                                 " customer, sha256, fingerprint, replaces, state,"
                                 " withdrawalReason, withdrawn";
constexpr int EntryColumnCount = 14;

const char *const IssuedState = "issued";
const char *const WithdrawnState = "withdrawn";

// An empty text is stored as NULL where the column may hold none.
void bindOptional(SqlStatement &st, int column, const std::string &text)
{
    if (text.empty())
        st.bindNull(column);
    else
        st.bind(column, text);
}

// Binds the position, the columns of the entry and its checksum; returns the checksum.
std::int64_t bindEntry(SqlStatement &st, const CertificateEntry &entry)
{
    const std::int64_t checksum = certificateChecksum(entry);
    st.bind(1, entry.pos);
    st.bind(2, entry.number);
    st.bind(3, entry.recordKey);
    st.bind(4, entry.recordName);
    st.bind(5, entry.issued.msecs);
    bindOptional(st, 6, entry.fit);
    st.bind(7, std::int64_t{entry.fitChosen});
    st.bind(8, entry.step);
    st.bind(9, entry.customer);
    bindOptional(st, 10, entry.sha256);
    bindOptional(st, 11, entry.fingerprint);
    bindOptional(st, 12, entry.replaces);
    st.bind(13, std::string(entry.state == CertificateState::Withdrawn ? WithdrawnState
                                                                       : IssuedState));
    bindOptional(st, 14, entry.withdrawalReason);
    if (entry.withdrawn)
        st.bind(15, entry.withdrawn->msecs);
    else
        st.bindNull(15);
    st.bind(16, checksum);
    return checksum;
}

[[noreturn]] void badEntry()
{
    throw DatabaseError("The database holds a bad entry in its register of certificates");
}

std::string readText(const SqlStatement &st, int column, bool optional)
{
    const int type = st.type(column);
    if (type == SQLITE_TEXT)
        return st.text(column);
    if (type != SQLITE_NULL || !optional)
        badEntry();
    return {};
}

std::int64_t readNumber(const SqlStatement &st, int column)
{
    if (st.type(column) != SQLITE_INTEGER)
        badEntry();
    return st.integer(column);
}

const CertificateEntry &entryAt(const std::vector<CertificateEntry> &entries, std::int64_t pos)
{
    const auto at = std::lower_bound(
        entries.begin(), entries.end(), pos,
        [](const CertificateEntry &entry, std::int64_t p) { return entry.pos < p; });
    if (at == entries.end() || at->pos != pos)
        throw DatabaseError("A changed certificate is not in the register");
    return *at;
}

class RegisterWriter
{
public:
    explicit RegisterWriter(SqlConnection &db)
        : m_insert(db, "INSERT INTO " + quoted(CertificatesTable) + " VALUES ("
                           + placeholders(EntryColumnCount + 2) + ")")
        , m_delete(db, "DELETE FROM " + quoted(CertificatesTable) + " WHERE "
                           + quoted(PosColumn) + " = ? RETURNING " + quoted(CheckColumn))
        , m_document(db, "INSERT OR REPLACE INTO " + quoted(DocumentsTable)
                             + " VALUES (?, ?, ?)")
    {
    }

    void write(const CertificateEntry &entry, TableTally &tally)
    {
        tally.add(bindEntry(m_insert, entry));
        m_insert.run();
        if (entry.document) {
            m_document.bind(1, entry.pos);
            m_document.bind(2, entry.sha256);
            m_document.bindBlob(3, *entry.document);
            m_document.run();
        }
    }

    // Takes the entry's row out of the tally, as its checksum in the file says.
    void remove(std::int64_t pos, TableTally &tally)
    {
        m_delete.bind(1, pos);
        while (m_delete.step()) {
            --tally.rows;
            tally.sum -= static_cast<std::uint64_t>(m_delete.integer(0));
        }
        m_delete.reset();
    }

private:
    SqlStatement m_insert;
    SqlStatement m_delete;
    SqlStatement m_document;
};

} // namespace

std::string registerTablesSql()
{
    return "CREATE TABLE " + quoted(CertificatesTable) + " (" + quoted(PosColumn)
           + " INTEGER PRIMARY KEY, number TEXT NOT NULL, record INTEGER NOT NULL,"
             " recordName TEXT NOT NULL, issued INTEGER NOT NULL, fit TEXT,"
             " fitChosen INTEGER NOT NULL, step INTEGER NOT NULL, customer TEXT NOT NULL,"
             " sha256 TEXT, fingerprint TEXT, replaces TEXT, state TEXT NOT NULL,"
             " withdrawalReason TEXT, withdrawn INTEGER, "
           + quoted(CheckColumn) + " INTEGER NOT NULL) STRICT;"
           + "CREATE TABLE IF NOT EXISTS " + quoted(DocumentsTable) + " (" + quoted(PosColumn)
           + " INTEGER PRIMARY KEY, sha256 TEXT NOT NULL, document BLOB NOT NULL) STRICT;";
}

TableTally writeRegister(SqlConnection &db, const std::vector<CertificateEntry> &entries)
{
    RegisterWriter writer(db);
    TableTally tally;
    for (const CertificateEntry &entry : entries)
        writer.write(entry, tally);
    const std::string documents = quoted(DocumentsTable);
    const std::string pos = quoted(PosColumn);
    db.exec("DELETE FROM " + documents + " WHERE NOT EXISTS (SELECT 1 FROM "
            + quoted(CertificatesTable) + " c WHERE c." + pos + " = " + documents + "." + pos
            + " AND c.sha256 = " + documents + ".sha256)");
    SqlStatement missing(db, "SELECT number FROM " + quoted(CertificatesTable) + " c WHERE"
                                 " c.sha256 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM "
                                 + documents + " d WHERE d." + pos + " = c." + pos + ")");
    if (missing.step())
        throw DatabaseError("The document of certificate " + missing.text(0)
                            + " is in the database file that was read, which no longer holds"
                              " it");
    return tally;
}

void writeRegisterChanges(SqlConnection &db, const std::vector<CertificateEntry> &entries,
                          const StoreChanges &changes, TableTally &tally)
{
    RegisterWriter writer(db);
    for (const std::int64_t pos : changes.certificatesAdded) {
        const CertificateEntry &entry = entryAt(entries, pos);
        if (!entry.document)
            throw DatabaseError("The document of certificate " + entry.number
                                + " is not there to be written");
        writer.write(entry, tally);
    }
    for (const std::int64_t pos : changes.certificatesWithdrawn) {
        writer.remove(pos, tally);
        writer.write(entryAt(entries, pos), tally);
    }
}

std::vector<CertificateEntry> readRegister(SqlConnection &db, TableTally &tally)
{
    SqlStatement rows(db, "SELECT " + quoted(PosColumn) + ", " + EntryColumns + ", "
                              + quoted(CheckColumn) + " FROM " + quoted(CertificatesTable)
                              + " ORDER BY " + quoted(PosColumn));
    std::vector<CertificateEntry> entries;
    while (rows.step()) {
        CertificateEntry entry;
        entry.pos = readNumber(rows, 0);
        entry.number = readText(rows, 1, false);
        entry.recordKey = readNumber(rows, 2);
        entry.recordName = readText(rows, 3, false);
        entry.issued = DateTime{readNumber(rows, 4)};
        entry.fit = readText(rows, 5, true);
        const std::int64_t fitChosen = readNumber(rows, 6);
        if (fitChosen != 0 && fitChosen != 1)
            badEntry();
        entry.fitChosen = fitChosen == 1;
        entry.step = readNumber(rows, 7);
        entry.customer = readText(rows, 8, false);
        entry.sha256 = readText(rows, 9, true);
        entry.fingerprint = readText(rows, 10, true);
        entry.replaces = readText(rows, 11, true);
        const std::string state = readText(rows, 12, false);
        if (state != IssuedState && state != WithdrawnState)
            badEntry();
        entry.state = state == WithdrawnState ? CertificateState::Withdrawn
                                              : CertificateState::Issued;
        entry.withdrawalReason = readText(rows, 13, true);
        if (rows.type(14) != SQLITE_NULL)
            entry.withdrawn = DateTime{readNumber(rows, 14)};
        const std::int64_t checksum = readNumber(rows, 15);
        if (checksum != certificateChecksum(entry))
            throw DatabaseError("The database is damaged: an entry of its register of"
                                " certificates does not match its checksum");
        tally.add(checksum);
        entries.push_back(std::move(entry));
    }
    return entries;
}

StoredDocument readDocument(SqlConnection &db, const CertificateEntry &entry)
{
    SqlStatement st(db, "SELECT sha256, document FROM " + quoted(DocumentsTable) + " WHERE "
                            + quoted(PosColumn) + " = ?");
    st.bind(1, entry.pos);
    if (!st.step() || st.type(0) != SQLITE_TEXT || st.type(1) != SQLITE_BLOB)
        throw DatabaseError("The database is damaged: it has lost the document of certificate "
                            + entry.number);
    return StoredDocument{st.text(0), st.blob(1)};
}

} // namespace kelvora
