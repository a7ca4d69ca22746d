#include "tools/demo-db/SqliteDatabase.h"

#include <stdexcept>

namespace kolvix::demo {

Database::Database(const std::string& path)
{
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw std::runtime_error("cannot create " + path + ": " + message);
    }
}

Database::~Database()
{
    sqlite3_close(m_db);
}

void Database::exec(const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(m_db);
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

Statement::Statement(Database& db, const std::string& sql, long long& rowCounter)
    : m_db(db)
    , m_rows(rowCounter)
{
    if (sqlite3_prepare_v3(db.handle(), sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string(sqlite3_errmsg(db.handle())) + " in: " + sql);
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

sqlite3_int64 Statement::step()
{
    if (sqlite3_step(m_stmt) != SQLITE_DONE) {
        const std::string message = sqlite3_errmsg(m_db.handle());
        sqlite3_reset(m_stmt);
        throw std::runtime_error(message + " in: " + sqlite3_sql(m_stmt));
    }
    sqlite3_reset(m_stmt);
    ++m_rows;
    return m_db.lastId();
}

} // namespace kolvix::demo
