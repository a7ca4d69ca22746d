#include "Connection.h"

#include "ConnectionString.h"
#include "DatabaseFile.h"
#include "DbError.h"
#include "OdbcConnectionString.h"
#include "SqliteFunctions.h"
#include "TsqlAdapter.h"

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <atomic>
#include <climits>
#include <sqlite3.h>

namespace kolvix {

namespace {

std::atomic<int> g_connectionCount {0};

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

constexpr int kDefaultLockWait = 60;
constexpr int kLongestLockWait = 3600;

// The limit of lock waits from the environment variable KOLVIX_LOCK_WAIT (seconds, 1 to 3600;
// 60 when it is not set or empty), or what is wrong with its value.
std::chrono::milliseconds lockWaitLimitFromEnvironment(QString& error)
{
    const QString text = qEnvironmentVariable("KOLVIX_LOCK_WAIT").trimmed();
    if (text.isEmpty())
        return std::chrono::seconds(kDefaultLockWait);
    bool ok = false;
    const qlonglong seconds = text.toLongLong(&ok);
    if (ok && seconds >= 1 && seconds <= kLongestLockWait)
        return std::chrono::seconds(seconds);
    error = QStringLiteral("The environment variable KOLVIX_LOCK_WAIT is '%1': it must be a whole number of seconds "
                           "from 1 to %2, the longest the program waits for another program's lock on the database. "
                           "Set it within that range, or remove it to wait up to %3 seconds.")
                .arg(text.left(40))
                .arg(kLongestLockWait)
                .arg(kDefaultLockWait);
    return std::chrono::seconds(kDefaultLockWait);
}

// The first line of a statement, as a wait that gave up names it.
QString statementSummary(const QString& sql)
{
    const QString line = sql.section(QLatin1Char('\n'), 0, 0).trimmed();
    return line.size() > 80 ? line.left(77) + QStringLiteral("...") : line;
}

} // namespace

// The embedded engine's waits for other connections' locks (see the class comment).
struct Connection::LockWaits
{
    std::chrono::milliseconds statementLimit {30000};
    bool budget = false;
    std::chrono::milliseconds budgetLimit {0};
    std::chrono::milliseconds spent {0};
    bool gaveUp = false;
    QString gaveUpAt;
    QString statement;
    int notices = 0;
    bool noticed = false;
    QElapsedTimer waiting;
    std::function<void()> notice;

    // The engine's busy handler: called while a lock is held elsewhere, attempt 0 first; 1 to
    // try again after a pause, 0 to give up (the statement then fails with "database is locked").
    static int onBusy(void* data, int attempt)
    {
        auto& w = *static_cast<LockWaits*>(data);
        using std::chrono::milliseconds;
        if (attempt == 0) {
            w.waiting.start();
            w.noticed = false;
        }
        const milliseconds waited(w.waiting.elapsed());
        milliseconds left = w.statementLimit - waited;
        if (w.budget)
            left = std::min(left, w.budgetLimit - w.spent);
        if (left <= milliseconds(0)) {
            w.gaveUp = true;
            w.gaveUpAt = w.statement;
            return 0;
        }
        if (!w.noticed && waited >= kLockWaitNotice) {
            w.noticed = true;
            ++w.notices;
            if (w.notice)
                w.notice();
        }
        // Short pauses first, as the engine's own busy time-out makes them.
        static constexpr int kPauses[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
        const milliseconds pause
            = std::min(milliseconds(kPauses[std::min<size_t>(size_t(attempt), std::size(kPauses) - 1)]), left);
        sqlite3_sleep(int(pause.count()));
        if (w.budget)
            w.spent += pause;
        return 1;
    }
};

Connection::Connection()
    : m_connectionName(QStringLiteral("kolvix-connection-%1").arg(++g_connectionCount))
    , m_lockWaitLimit(lockWaitLimitFromEnvironment(m_lockWaitSettingError))
    , m_lockWaits(std::make_unique<LockWaits>())
{
}

Connection::~Connection()
{
    close();
}

void Connection::setConnectionString(const QString& connectionString)
{
    m_connectionString = connectionString;
}

void Connection::open()
{
    close();
    if (!m_lockWaitSettingError.isEmpty())
        throw DbError(m_lockWaitSettingError);
    const QString provider = connectionStringValue(m_connectionString, QStringLiteral("Provider"));
    const bool sqliteOdbc = provider.compare(QStringLiteral("SQLiteODBC"), Qt::CaseInsensitive) == 0;
    m_sqlite = sqliteOdbc || provider.compare(QStringLiteral("SQLite"), Qt::CaseInsensitive) == 0;
    m_odbc = !m_sqlite || sqliteOdbc;
    try {
        if (sqliteOdbc)
            openSqliteOdbc();
        else if (m_sqlite)
            openEmbedded();
        else
            openSqlServer();
    } catch (...) {
        close();
        throw;
    }
}

void Connection::openEmbedded()
{
    const QString file = connectionStringValue(m_connectionString, QStringLiteral("Data Source"));
    const QFileInfo info = existingDatabaseFile(file, m_readOnly);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (!db.isValid())
        throw DbError(QStringLiteral("The SQLite driver of Qt (QSQLITE) is not available."));
    // A URI with mode=rw opens the file for reading and writing (mode=ro for reading only) and
    // never creates it, even when it disappears between the check above and this open.
    db.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded)
                       + (m_readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw")));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
    if (!db.open())
        throw DbError(QStringLiteral("Cannot open the database file '%1': %2").arg(file, errorMessage(db.lastError())));

    // The engine reads the file only at the first statement: one read here, so that a file
    // that is no database fails now and not in the middle of a merge. A file that another
    // connection keeps locked is waited for, with the notice, at most the lock-wait limit;
    // statements apply their own time-outs.
    sqlite3* handle = sqliteHandle(db);
    if (!handle)
        throw DbError(QStringLiteral("Cannot open the database file '%1'.").arg(file));
    sqlite3_busy_handler(handle, &LockWaits::onBusy, m_lockWaits.get());
    m_lockWaits->statementLimit = m_lockWaitLimit;
    m_lockWaits->statement = QStringLiteral("opening the database");
    m_appliedTimeout = -1;
    int rc = sqlite3_exec(handle, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (m_readOnly && sqlite3_extended_errcode(handle) == SQLITE_READONLY_ROLLBACK) {
        // A program that was changing the file was stopped part way and left its journal, which
        // only a connection that may write can roll back: one such opening, then on read-only.
        recoverHotJournal(file, info.absoluteFilePath());
        rc = sqlite3_exec(handle, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if ((rc & 0xFF) == SQLITE_BUSY)
        throw DatabaseBusy(QStringLiteral("The database file '%1' is busy: another program has kept it locked for "
                                          "%2 seconds (it has begun changes that it does not finish).\nClose the "
                                          "other program that has the practice open, then try again.")
                               .arg(file)
                               .arg(std::chrono::duration_cast<std::chrono::seconds>(m_lockWaitLimit).count()));
    if (rc != SQLITE_OK)
        throw DbError(
            unreadableDatabaseMessage(file, QString::fromUtf8(sqlite3_errmsg(handle)), (rc & 0xFF) == SQLITE_NOTADB));
    // A file the operating system lets this process only read is opened read-only.
    if (!m_readOnly && sqlite3_db_readonly(handle, "main") == 1)
        throw DbError(QStringLiteral("The database file '%1' is read-only.").arg(file));
    registerSqliteFunctions();
}

void Connection::recoverHotJournal(const QString& file, const QString& path)
{
    sqlite3* writer = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &writer, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(writer, int(std::min<qint64>(m_lockWaitLimit.count(), INT_MAX)));
        rc = sqlite3_exec(writer, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    const QString message = writer ? QString::fromUtf8(sqlite3_errmsg(writer)) : QString();
    sqlite3_close(writer);
    if (rc != SQLITE_OK)
        throw DbError(
            QStringLiteral("The database file '%1' needs recovery: a program that was changing it (a merge or an "
                           "undo, for example) was stopped part way and left its journal '%1-journal', "
                           "which this user cannot roll back (%2).\nStart Kolvix Utility once as a user "
                           "who may write the file and its folder; it finishes the recovery. Then try "
                           "again.")
                .arg(file, message));
}

void Connection::openSqliteOdbc()
{
    const QString file = connectionStringValue(m_connectionString, QStringLiteral("Data Source"));
    const QFileInfo info = existingDatabaseFile(file, m_readOnly);
    // The driver reads the file name up to the next semicolon and takes no braces.
    if (info.absoluteFilePath().contains(u';'))
        throw DbError(
            QStringLiteral("The SQLite ODBC driver cannot open a file whose name holds a semicolon: '%1'.").arg(file));
    const QString driver = chooseSqliteOdbcDriver(installedOdbcDrivers());
    if (driver.isEmpty())
        throw DbError(
            QStringLiteral("The SQLite ODBC driver (%1) is not installed.").arg(QLatin1String(kSqliteOdbcDriver)));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
    if (!db.isValid())
        throw DbError(QStringLiteral("The ODBC driver of Qt (QODBC) is not available."));
    db.setDatabaseName(sqliteOdbcConnectionString(driver, info.absoluteFilePath(), m_commandTimeout));
    if (!db.open()) {
        const QString message = errorMessage(db.lastError());
        throw DbError(unreadableDatabaseMessage(file, message, message.contains(QStringLiteral("not a database"))));
    }
    // As on the embedded engine: a file that is no database fails now.
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master"))) {
        const QString message = errorMessage(probe.lastError());
        throw DbError(unreadableDatabaseMessage(file, message, message.contains(QStringLiteral("not a database"))));
    }
}

void Connection::openSqlServer()
{
    const QString driver = sqlServerOdbcDriver();
    if (driver.isEmpty())
        throw DbError(QStringLiteral("No SQL Server ODBC driver is installed."));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
    if (!db.isValid())
        throw DbError(QStringLiteral("The ODBC driver of Qt (QODBC) is not available."));
    db.setDatabaseName(odbcConnectionString(m_connectionString, driver));
    db.setConnectOptions(odbcConnectOptions(m_connectionString, m_connectTimeout));
    if (!db.open()) {
        const QString message = errorMessage(db.lastError());
        throw DbError(message.isEmpty() ? QStringLiteral("Unable to connect to the database server.") : message);
    }
}

void Connection::close()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_inTransaction = false;
    m_appliedTimeout = -1;
    m_lockWaits->budget = false;
}

bool Connection::isOpen() const
{
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
}

void Connection::requireOpen() const
{
    if (!isOpen())
        throw DbError(QStringLiteral("The database connection is not open."));
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void Connection::beginTransaction()
{
    requireOpen();
    QSqlDatabase db = database();
    if (m_sqlite && !m_odbc) {
        // The engine waits for a lock (the busy time-out) only when a statement starts a
        // transaction; a deferred transaction that has read gets "database is locked" at its
        // first write at once. So the write lock is taken here, where waiting is possible.
        if (m_appliedTimeout < 0)
            applyStatementTimeout(m_commandTimeout);
        m_lockWaits->statement = QStringLiteral("BEGIN");
        QSqlQuery begin(db);
        if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            const QString message = errorMessage(begin.lastError());
            throw DbError(message.isEmpty() ? QStringLiteral("Cannot begin a transaction.") : message);
        }
    } else if (!db.transaction()) {
        const QString message = errorMessage(db.lastError());
        throw DbError(message.isEmpty() ? QStringLiteral("Cannot begin a transaction.") : message);
    }
    m_inTransaction = true;
}

void Connection::commitTransaction()
{
    requireOpen();
    m_lockWaits->statement = QStringLiteral("COMMIT");
    QSqlDatabase db = database();
    if (!db.commit()) {
        const QString message = errorMessage(db.lastError());
        throw DbError(message.isEmpty() ? QStringLiteral("Cannot commit the transaction.") : message);
    }
    m_inTransaction = false;
}

void Connection::rollbackTransaction()
{
    requireOpen();
    QSqlDatabase db = database();
    // The engine ends a transaction itself after some failures (a full disk, an I/O error):
    // then there is nothing left to roll back.
    if (m_inTransaction && reportsLockWaits()) {
        sqlite3* handle = sqliteHandle(db);
        if (handle && sqlite3_get_autocommit(handle)) {
            m_inTransaction = false;
            return;
        }
    }
    if (!db.rollback()) {
        const QString message = errorMessage(db.lastError());
        throw DbError(message.isEmpty() ? QStringLiteral("Cannot roll back the transaction.") : message);
    }
    m_inTransaction = false;
}

QString Connection::prepareStatementText(const QString& tsql) const
{
    return m_sqlite ? adaptTsqlForSqlite(tsql) : tsql;
}

void Connection::applyStatementTimeout(int seconds)
{
    if (!reportsLockWaits() || seconds == m_appliedTimeout)
        return;
    // 0 means no limit, as for the command time-out on SQL Server.
    m_lockWaits->statementLimit = seconds <= 0 ? std::chrono::milliseconds::max() / 2 : std::chrono::seconds(seconds);
    m_appliedTimeout = seconds;
}

void Connection::setLockWaitNotice(std::function<void()> notice)
{
    m_lockWaits->notice = std::move(notice);
}

std::function<void()> Connection::lockWaitNotice() const
{
    return m_lockWaits->notice;
}

int Connection::lockWaitNotices() const
{
    return m_lockWaits->notices;
}

void Connection::beginLockWaitBudget()
{
    m_lockWaits->budget = true;
    m_lockWaits->budgetLimit = m_lockWaitLimit;
    m_lockWaits->spent = std::chrono::milliseconds(0);
    m_lockWaits->gaveUp = false;
    m_lockWaits->gaveUpAt.clear();
    if (!m_sqlite)
        setServerLockTimeout(int(std::min<qint64>(m_lockWaitLimit.count(), INT_MAX)));
}

void Connection::endLockWaitBudget()
{
    m_lockWaits->budget = false;
    if (!m_sqlite)
        setServerLockTimeout(-1);
}

bool Connection::lockWaitGaveUp() const
{
    return m_lockWaits->gaveUp;
}

QString Connection::lockWaitGaveUpAt() const
{
    return m_lockWaits->gaveUpAt;
}

void Connection::setServerLockTimeout(int milliseconds)
{
    // -1: wait as long as the statement's time-out allows. A failure leaves the session as it
    // was; the statements' own time-outs still bound every wait.
    if (!isOpen())
        return;
    QSqlQuery set(database());
    set.exec(QStringLiteral("SET LOCK_TIMEOUT %1").arg(milliseconds));
}

QSqlQuery Connection::startStatement(const QString& tsql, int commandTimeout)
{
    requireOpen();
    applyStatementTimeout(commandTimeout);
    m_lockWaits->statement = statementSummary(tsql);
    QSqlQuery query(database());
    query.setForwardOnly(true);
    return query;
}

QVariant Connection::engineValue(const QVariant& value) const
{
    // A text is stored as text, the empty one too; only a value without type is null.
    if (value.typeId() == QMetaType::QString && value.toString().isNull())
        return QVariant(QStringLiteral(""));
    // Through ODBC values are bound with their types, as SQL Server takes them.
    if (m_odbc)
        return value.isValid() ? value : QVariant(QMetaType::fromType<QString>());
    if (value.isNull())
        return value;
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    default:
        return value;
    }
}

QString Connection::errorMessage(const QSqlError& error)
{
    const QString databaseText = error.databaseText().trimmed();
    return databaseText.isEmpty() ? error.text().trimmed() : databaseText;
}

void Connection::registerSqliteFunctions()
{
    sqlite3* handle = sqliteHandle(database());
    if (!handle || !kolvix::registerSqliteFunctions(handle))
        throw DbError(QStringLiteral("Cannot register the functions SOUNDEX and onlyNumericChars."));
}

} // namespace kolvix
