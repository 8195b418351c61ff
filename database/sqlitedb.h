#pragma once

#include "database/databaseerror.h"

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace kelvora {

// An open SQLite connection. Every failure throws DatabaseError with the text of its result
// code (sqliteErrorText), or DatabaseBusyError when another program keeps the file locked
// longer than the connection waits.
class SqlConnection
{
public:
    SqlConnection(const std::string &path, int flags); // SQLITE_OPEN_* flags
    ~SqlConnection();
    SqlConnection(const SqlConnection &) = delete;
    SqlConnection &operator=(const SqlConnection &) = delete;

    sqlite3 *handle() const { return m_db; }
    [[noreturn]] void fail() const;
    void exec(const std::string &sql);
    // Closes the file, so that everything written reaches it; no statement may be left.
    void close();

private:
    sqlite3 *m_db = nullptr;
};

class SqlStatement
{
public:
    SqlStatement(SqlConnection &db, const std::string &sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement &) = delete;
    SqlStatement &operator=(const SqlStatement &) = delete;

    // True while a row is there to read.
    bool step();
    // Makes the statement ready to run again with new values.
    void reset();
    // Runs a statement that returns no rows, then resets it.
    void run();

    void bindNull(int i);
    void bind(int i, std::int64_t v);
    void bind(int i, double v);
    void bind(int i, const std::string &v);
    void bindBlob(int i, const std::string &bytes);

    int type(int column) const; // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, ...
    std::int64_t integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;
    std::string blob(int column) const;

private:
    void check(int rc);

    SqlConnection &m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

} // namespace kelvora
