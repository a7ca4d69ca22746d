#pragma once

#include <QString>
#include <QStringList>
#include <sqlite3.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace kolvix::test {

// Read access to an SQLite file for checks that need whole result sets (PRAGMA lists, rows).
class SqliteFile
{
public:
    explicit SqliteFile(const QString& path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(m_db);
            throw std::runtime_error("cannot open " + path.toStdString());
        }
    }
    ~SqliteFile() { sqlite3_close(m_db); }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    // Every row, each column as text ("NULL" for null).
    std::vector<QStringList> rows(const QString& sql) const
    {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(m_db)) + " in: " + sql.toStdString());
        std::vector<QStringList> result;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                row << (sqlite3_column_type(stmt, c) == SQLITE_NULL
                            ? QStringLiteral("NULL")
                            : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c))));
            result.push_back(row);
        }
        const std::string error = rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(m_db);
        sqlite3_finalize(stmt);
        if (!error.empty())
            throw std::runtime_error(error + " in: " + sql.toStdString());
        return result;
    }

    // The first column of every row.
    QStringList column(const QString& sql) const
    {
        QStringList values;
        for (const QStringList& row : rows(sql))
            values << row.value(0);
        return values;
    }

    QString scalar(const QString& sql) const
    {
        const auto result = rows(sql);
        return result.empty() ? QString() : result.front().value(0);
    }
    long long count(const QString& sql) const { return scalar(sql).toLongLong(); }

    void exec(const QString& sql) const
    {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(message + " in: " + sql.toStdString());
        }
    }

    // The column names of a table or view, in order.
    QStringList columns(const QString& table) const
    {
        QStringList names;
        for (const QStringList& row : rows(QStringLiteral("PRAGMA table_info([%1])").arg(table)))
            names << row.value(1);
        return names;
    }

private:
    sqlite3* m_db = nullptr;
};

} // namespace kolvix::test
