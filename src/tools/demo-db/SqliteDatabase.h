#pragma once

// The demo-database generator's own thin wrappers of the sqlite3 C interface: a database file
// and a prepared statement that inserts rows.

#include <sqlite3.h>

#include <optional>
#include <string>

namespace kolvix::demo {

class Database
{
public:
    // Opens (creates) the file; throws std::runtime_error when it cannot.
    explicit Database(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs one or more statements; throws std::runtime_error with SQLite's message.
    void exec(const std::string& sql);

    sqlite3* handle() const { return m_db; }
    sqlite3_int64 lastId() const { return sqlite3_last_insert_rowid(m_db); }

private:
    sqlite3* m_db = nullptr;
};

// A NULL value for Statement::insert.
struct Null
{
};

class Statement
{
public:
    // Each row inserted adds one to rowCounter.
    Statement(Database& db, const std::string& sql, long long& rowCounter);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds the values to the parameters in order, runs the statement and gives the new rowid.
    template <typename... Values> sqlite3_int64 insert(const Values&... values)
    {
        int index = 1;
        (bind(index++, values), ...);
        return step();
    }

private:
    sqlite3_int64 step();
    void bind(int i, int v) { sqlite3_bind_int(m_stmt, i, v); }
    void bind(int i, sqlite3_int64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bind(int i, double v) { sqlite3_bind_double(m_stmt, i, v); }
    void bind(int i, Null) { sqlite3_bind_null(m_stmt, i); }
    void bind(int i, const char* v)
    {
        if (v)
            sqlite3_bind_text(m_stmt, i, v, -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(m_stmt, i);
    }
    void bind(int i, const std::string& v) { sqlite3_bind_text(m_stmt, i, v.data(), int(v.size()), SQLITE_TRANSIENT); }
    template <typename T> void bind(int i, const std::optional<T>& v)
    {
        if (v)
            bind(i, *v);
        else
            sqlite3_bind_null(m_stmt, i);
    }

    Database& m_db;
    long long& m_rows;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace kolvix::demo
