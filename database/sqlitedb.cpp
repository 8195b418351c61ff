#include "database/sqlitedb.h"

#include "database/databasetexts.h"

#include <sqlite3.h>

#include <new>

namespace kelvora {

namespace {

// The errno of the system call that failed: SQLite's note of it, or the database file's own
// (SQLite's note is lost when a failed write is rolled back).
int systemErrorOf(sqlite3 *db)
{
    if (!db)
        return 0;
    int error = sqlite3_system_errno(db);
    if (error == 0)
        sqlite3_file_control(db, "main", SQLITE_FCNTL_LAST_ERRNO, &error);
    return error;
}

// SQLite's message of a single failure can quote the file (a damaged schema), so it is never
// used: the text comes from the result code.
[[noreturn]] void throwFailure(sqlite3 *db, int rc)
{
    const std::string text = sqliteErrorText(rc, systemErrorOf(db));
    const int primary = rc & 0xFF;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        throw DatabaseBusyError(text);
    throw DatabaseError(text);
}

} // namespace

SqlConnection::SqlConnection(const std::string &path, int flags)
{
    const int rc = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
    if (rc == SQLITE_NOMEM) {
        sqlite3_close_v2(m_db);
        throw std::bad_alloc();
    }
    if (rc != SQLITE_OK) {
        sqlite3 *failed = m_db;
        m_db = nullptr;
        try {
            throwFailure(failed, rc);
        } catch (...) {
            sqlite3_close_v2(failed);
            throw;
        }
    }
    sqlite3_extended_result_codes(m_db, 1);
    // A name in double quotes that names no column is an error, never a string.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    // A reader of the file waits while a save commits.
    sqlite3_busy_timeout(m_db, 10000);
}

SqlConnection::~SqlConnection()
{
    sqlite3_close_v2(m_db);
}

void SqlConnection::fail() const
{
    const int rc = sqlite3_extended_errcode(m_db);
    // A lack of memory says nothing about the file.
    if (rc == SQLITE_NOMEM)
        throw std::bad_alloc();
    throwFailure(m_db, rc);
}

void SqlConnection::exec(const std::string &sql)
{
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
}

void SqlConnection::close()
{
    if (sqlite3_close(m_db) != SQLITE_OK)
        fail();
    m_db = nullptr;
}

SqlStatement::SqlStatement(SqlConnection &db, const std::string &sql)
    : m_db(db)
{
    if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &m_stmt, nullptr) != SQLITE_OK)
        db.fail();
}

SqlStatement::~SqlStatement()
{
    sqlite3_finalize(m_stmt);
}

bool SqlStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_db.fail();
    return false;
}

void SqlStatement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void SqlStatement::run()
{
    step();
    reset();
}

void SqlStatement::check(int rc)
{
    if (rc != SQLITE_OK)
        m_db.fail();
}

void SqlStatement::bindNull(int i)
{
    check(sqlite3_bind_null(m_stmt, i));
}

void SqlStatement::bind(int i, std::int64_t v)
{
    check(sqlite3_bind_int64(m_stmt, i, v));
}

void SqlStatement::bind(int i, double v)
{
    check(sqlite3_bind_double(m_stmt, i, v));
}

void SqlStatement::bind(int i, const std::string &v)
{
    check(sqlite3_bind_text64(m_stmt, i, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void SqlStatement::bindBlob(int i, const std::string &bytes)
{
    check(sqlite3_bind_blob64(m_stmt, i, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
}

int SqlStatement::type(int column) const
{
    return sqlite3_column_type(m_stmt, column);
}

std::int64_t SqlStatement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

double SqlStatement::real(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

std::string SqlStatement::text(int column) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)))
             : std::string();
}

std::string SqlStatement::blob(int column) const
{
    const auto *p = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)))
             : std::string();
}

} // namespace kelvora
