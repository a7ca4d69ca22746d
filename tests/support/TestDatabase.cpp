#include "TestDatabase.h"

#include <QFile>
#include <sqlite3.h>
#include <stdexcept>

namespace kolvix::test {

namespace {

struct Db
{
    sqlite3* handle = nullptr;
    explicit Db(const QString& path)
    {
        if (sqlite3_open(path.toUtf8().constData(), &handle) != SQLITE_OK)
            throw std::runtime_error("cannot open test database");
        sqlite3_busy_timeout(handle, 5000);
        // Fixtures need no durability; without this every statement waits for the disk.
        sqlite3_exec(handle, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    }
    ~Db() { sqlite3_close(handle); }
};

} // namespace

QString sourcePath(const QString& relative)
{
    return QStringLiteral(KOLVIX_SOURCE_DIR "/") + relative;
}

TestDatabase::TestDatabase()
{
    m_path = m_dir.filePath(QStringLiteral("test.db"));
    QFile schema(sourcePath(QStringLiteral("schema/sqlite/schema.sql")));
    if (!schema.open(QIODevice::ReadOnly))
        throw std::runtime_error("schema/sqlite/schema.sql is missing");
    exec(QString::fromUtf8(schema.readAll()));
}

TestDatabase::~TestDatabase() = default;

QString TestDatabase::connectionString() const
{
    return QStringLiteral("Provider=SQLite;Data Source=%1;").arg(m_path);
}

void TestDatabase::exec(const QString& sql) const
{
    Db db(m_path);
    char* error = nullptr;
    if (sqlite3_exec(db.handle, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = std::string("test SQL failed: ") + (error ? error : "?") + "\n" + sql.toStdString();
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

QString TestDatabase::scalar(const QString& sql) const
{
    Db db(m_path);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db.handle, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("test SQL failed: ") + sqlite3_errmsg(db.handle));
    QString result;
    if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL)
        result = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return result;
}

QMap<QString, QStringList> TestDatabase::snapshot(const QStringList& exceptTables) const
{
    Db db(m_path);
    QMap<QString, QStringList> result;
    QStringList tables;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.handle, "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%'", -1,
                       &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        tables << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    for (const QString& table : tables) {
        if (exceptTables.contains(table, Qt::CaseInsensitive))
            continue;
        QStringList rows;
        const QByteArray sql = QStringLiteral("SELECT * FROM [%1]").arg(table).toUtf8();
        sqlite3_prepare_v2(db.handle, sql.constData(), -1, &stmt, nullptr);
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList values;
            for (int c = 0; c < columns; ++c) {
                if (sqlite3_column_type(stmt, c) == SQLITE_NULL)
                    values << QStringLiteral("NULL");
                else
                    values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
            }
            rows << values.join(QLatin1Char('|'));
        }
        sqlite3_finalize(stmt);
        rows.sort();
        result.insert(table, rows);
    }
    return result;
}

} // namespace kolvix::test
