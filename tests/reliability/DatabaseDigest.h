#pragma once

// The logical content of a SQLite file, table by table, for comparing whole databases of
// some hundred thousand rows quickly; read straight through SQLite, bypassing the program.

#include <QMap>
#include <QString>
#include <QStringList>
#include <sqlite3.h>
#include <stdexcept>

namespace kolvix::test {

// The rows of one table: their number and an order-independent hash (the sum of one 64-bit
// FNV-1a hash per row, taken over each value's type and bytes in column order).
struct TableDigest
{
    qint64 rows = 0;
    quint64 hash = 0;
    bool operator==(const TableDigest&) const = default;
};

// One digest per table, and one more, "sqlite_master", for the schema.
using DatabaseDigest = QMap<QString, TableDigest>;

namespace digest_detail {

struct Handle
{
    sqlite3* db = nullptr;
    explicit Handle(const QString& path)
    {
        // Read-write: a file left with a hot journal is rolled back by the first reader, as
        // the program's next connection would do.
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path.toStdString());
        sqlite3_busy_timeout(db, 10000);
    }
    ~Handle() { sqlite3_close(db); }
};

struct Statement
{
    sqlite3_stmt* stmt = nullptr;
    Statement(sqlite3* db, const QString& sql)
    {
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("SQL failed: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(stmt); }
};

inline void mix(quint64& h, const void* data, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ULL;
    }
}

inline TableDigest digestOfQuery(sqlite3* db, const QString& sql)
{
    Statement s(db, sql);
    TableDigest digest;
    const int columns = sqlite3_column_count(s.stmt);
    int rc;
    while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
        quint64 h = 14695981039346656037ULL;
        for (int c = 0; c < columns; ++c) {
            const unsigned char type = static_cast<unsigned char>(sqlite3_column_type(s.stmt, c));
            mix(h, &type, 1);
            switch (type) {
            case SQLITE_INTEGER: {
                const sqlite3_int64 v = sqlite3_column_int64(s.stmt, c);
                mix(h, &v, sizeof v);
                break;
            }
            case SQLITE_FLOAT: {
                const double v = sqlite3_column_double(s.stmt, c);
                mix(h, &v, sizeof v);
                break;
            }
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                const void* v = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(s.stmt, c))
                                                    : sqlite3_column_blob(s.stmt, c);
                const int size = sqlite3_column_bytes(s.stmt, c);
                mix(h, &size, sizeof size);
                mix(h, v, size_t(size));
                break;
            }
            default:
                break;
            }
        }
        ++digest.rows;
        digest.hash += h;
    }
    if (rc != SQLITE_DONE)
        throw std::runtime_error(std::string("SQL failed: ") + sqlite3_errmsg(db));
    return digest;
}

} // namespace digest_detail

// Every table of the file but the ones excepted (names in any case), whose rows of
// sqlite_sequence are left out as well.
inline DatabaseDigest digestOf(const QString& path, const QStringList& exceptTables = {})
{
    using namespace digest_detail;
    Handle h(path);
    DatabaseDigest result;
    result.insert(QStringLiteral("sqlite_master"),
                  digestOfQuery(h.db, QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master")));
    QStringList tables;
    {
        Statement s(h.db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
        while (sqlite3_step(s.stmt) == SQLITE_ROW)
            tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.stmt, 0)));
    }
    for (const QString& table : tables) {
        if (exceptTables.contains(table, Qt::CaseInsensitive))
            continue;
        QString sql = QStringLiteral("SELECT * FROM [%1]").arg(table);
        // The counters of AUTOINCREMENT keys: those of excepted tables are excepted too.
        if (table == QLatin1String("sqlite_sequence")) {
            QStringList names;
            for (QString name : exceptTables)
                names << QLatin1Char('\'') + name.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
            if (!names.isEmpty())
                sql += QStringLiteral(" WHERE name COLLATE NOCASE NOT IN (%1)").arg(names.join(QLatin1Char(',')));
        }
        result.insert(table, digestOfQuery(h.db, sql));
    }
    return result;
}

// The tables whose digests differ (or that only one side has), for failure messages.
inline QString differingTables(const DatabaseDigest& a, const DatabaseDigest& b)
{
    QStringList names;
    for (auto it = a.begin(); it != a.end(); ++it) {
        if (!b.contains(it.key()) || !(b.value(it.key()) == it.value()))
            names << QStringLiteral("%1 (%2 rows against %3)").arg(it.key()).arg(it->rows).arg(b.value(it.key()).rows);
    }
    for (auto it = b.begin(); it != b.end(); ++it) {
        if (!a.contains(it.key()))
            names << it.key();
    }
    return names.join(QStringLiteral(", "));
}

// The answer of PRAGMA integrity_check: "ok" for a sound file.
inline QString integrityCheck(const QString& path)
{
    using namespace digest_detail;
    Handle h(path);
    Statement s(h.db, QStringLiteral("PRAGMA integrity_check"));
    QStringList lines;
    while (sqlite3_step(s.stmt) == SQLITE_ROW)
        lines << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.stmt, 0)));
    return lines.join(QLatin1Char('\n'));
}

} // namespace kolvix::test
