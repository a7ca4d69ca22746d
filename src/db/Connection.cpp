#include "Connection.h"

#include "DbError.h"
#include "SqliteFunctions.h"
#include "TsqlAdapter.h"

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <atomic>
#include <climits>
#include <sqlite3.h>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace kolvix {

namespace {

std::atomic<int> g_connectionCount {0};

const QString kLocalHost = QStringLiteral("localhost");

// The SQLite ODBC driver (Debian's libsqliteodbc) that the provider SQLiteODBC uses.
const QString kSqliteOdbcDriver = QStringLiteral("SQLite3");

// A value in an ODBC connection string: braced when it holds ; { or } or blanks at either
// end, with } doubled inside the braces.
QString odbcValue(const QString& value)
{
    const bool needsBraces = value.contains(u';') || value.contains(u'{') || value.contains(u'}')
        || (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needsBraces)
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

// "Data Source" of a SQL Server connection string: host, "host\instance" or "host,port";
// "." and "(local)" (and an empty value) mean this computer.
struct ServerAddress
{
    QString host;
    QString instance;
    QString port;
    bool local = false;
};

ServerAddress parseDataSource(QString dataSource)
{
    ServerAddress address;
    dataSource = dataSource.trimmed();
    if (dataSource.startsWith(QStringLiteral("tcp:"), Qt::CaseInsensitive))
        dataSource = dataSource.mid(4).trimmed();
    const qsizetype comma = dataSource.lastIndexOf(u',');
    if (comma >= 0) {
        address.port = dataSource.mid(comma + 1).trimmed();
        dataSource = dataSource.left(comma).trimmed();
    }
    const qsizetype slash = dataSource.indexOf(u'\\');
    if (slash >= 0) {
        address.instance = dataSource.mid(slash + 1).trimmed();
        dataSource = dataSource.left(slash).trimmed();
    }
    address.host = dataSource;
    address.local = dataSource.isEmpty() || dataSource == u'.'
        || dataSource.compare(QStringLiteral("(local)"), Qt::CaseInsensitive) == 0;
    return address;
}

bool isTrue(const QString& value)
{
    const QString v = value.trimmed();
    return v.compare(QStringLiteral("SSPI"), Qt::CaseInsensitive) == 0
        || v.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0
        || v.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0;
}

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

QStringList installedOdbcDrivers()
{
    QStringList drivers;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return drivers;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_OV_ODBC3)), 0);
    SQLWCHAR description[512];
    SQLWCHAR attributes[2048];
    SQLSMALLINT descriptionLength = 0;
    SQLSMALLINT attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (
        SQL_SUCCEEDED(SQLDriversW(env, direction, description, SQLSMALLINT(std::size(description)), &descriptionLength,
                                  attributes, SQLSMALLINT(std::size(attributes)), &attributesLength))) {
        const qsizetype length = qMin<qsizetype>(descriptionLength, qsizetype(std::size(description)) - 1);
        drivers << QString::fromUtf16(reinterpret_cast<const char16_t*>(description), length);
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return drivers;
}

std::chrono::milliseconds defaultLockWaitLimit()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("KOLVIX_LOCK_WAIT", &ok);
    return std::chrono::seconds(ok && seconds > 0 ? seconds : 60);
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
    , m_lockWaitLimit(defaultLockWaitLimit())
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
    const QString provider = connectionValue(m_connectionString, QStringLiteral("Provider"));
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

namespace {

// The existing database file that "Data Source" names; a SQLite database is never created.
// Whatever keeps the file from serving as the database is said here, before anything opens it.
QFileInfo existingDatabaseFile(const QString& connectionString, bool readOnly)
{
    const QString file = Connection::connectionValue(connectionString, QStringLiteral("Data Source"));
    if (file.isEmpty())
        throw DbError(QStringLiteral("The connection string names no database file (Data Source)."));
    const QFileInfo info(file);
    if (!info.exists())
        throw DbError(QStringLiteral("The database file '%1' does not exist.").arg(file));
    if (info.isDir())
        throw DbError(QStringLiteral("The database file '%1' is a directory, not a file.").arg(file));
    if (!info.isFile())
        throw DbError(
            QStringLiteral("The database file '%1' is not a regular file (a device, a pipe or a socket).").arg(file));
    if (!info.isReadable())
        throw DbError(QStringLiteral("The database file '%1' cannot be read (permission denied).").arg(file));
    if (readOnly)
        return info;
    if (!info.isWritable())
        throw DbError(QStringLiteral("The database file '%1' is read-only.").arg(file));
    // A change writes a journal beside the file.
    if (!QFileInfo(info.absolutePath()).isWritable())
        throw DbError(QStringLiteral("The database file '%1' is in a read-only folder.").arg(file));
    return info;
}

// The message for a file that opened but cannot be read as a database.
QString unreadableDatabaseMessage(const QString& file, const QString& message, bool notADatabase)
{
    if (notADatabase)
        return QStringLiteral("The database file '%1' is not a database.").arg(file);
    return QStringLiteral("Cannot open the database file '%1': %2").arg(file, message);
}

} // namespace

void Connection::openEmbedded()
{
    const QString file = connectionValue(m_connectionString, QStringLiteral("Data Source"));
    const QFileInfo info = existingDatabaseFile(m_connectionString, m_readOnly);

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
    const int rc = sqlite3_exec(handle, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr);
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

void Connection::openSqliteOdbc()
{
    const QString file = connectionValue(m_connectionString, QStringLiteral("Data Source"));
    const QFileInfo info = existingDatabaseFile(m_connectionString, m_readOnly);
    // The driver reads the file name up to the next semicolon and takes no braces.
    if (info.absoluteFilePath().contains(u';'))
        throw DbError(
            QStringLiteral("The SQLite ODBC driver cannot open a file whose name holds a semicolon: '%1'.").arg(file));
    const QString driver = chooseSqliteOdbcDriver(installedOdbcDrivers());
    if (driver.isEmpty())
        throw DbError(QStringLiteral("The SQLite ODBC driver (%1) is not installed.").arg(kSqliteOdbcDriver));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_connectionName);
    if (!db.isValid())
        throw DbError(QStringLiteral("The ODBC driver of Qt (QODBC) is not available."));
    // Timeout: the driver's busy time-out in milliseconds, from the command time-out (0: no limit).
    const int milliseconds
        = m_commandTimeout <= 0 || m_commandTimeout > INT_MAX / 1000 ? INT_MAX : m_commandTimeout * 1000;
    db.setDatabaseName(QStringLiteral("DRIVER={%1};Database=%2;Timeout=%3;NoCreat=1;")
                           .arg(driver, info.absoluteFilePath())
                           .arg(milliseconds));
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

QString Connection::connectionValue(const QString& connectionString, const QString& key)
{
    const QString& s = connectionString;
    qsizetype i = 0;
    while (i < s.size()) {
        const qsizetype equals = s.indexOf(u'=', i);
        if (equals < 0)
            break;
        qsizetype semicolon = s.indexOf(u';', i);
        if (semicolon >= 0 && semicolon < equals) { // a part without a value
            i = semicolon + 1;
            continue;
        }
        const QString name = s.mid(i, equals - i).trimmed();
        qsizetype j = equals + 1;
        while (j < s.size() && s[j] == u' ')
            ++j;
        QString value;
        if (j < s.size() && (s[j] == u'"' || s[j] == u'\'')) {
            // A quoted value may hold semicolons; a doubled quote stands for itself.
            const QChar quote = s[j++];
            while (j < s.size()) {
                if (s[j] == quote && !(j + 1 < s.size() && s[j + 1] == quote))
                    break;
                if (s[j] == quote)
                    ++j;
                value += s[j++];
            }
            semicolon = s.indexOf(u';', j);
        } else {
            semicolon = s.indexOf(u';', j);
            value = s.mid(j, (semicolon < 0 ? s.size() : semicolon) - j).trimmed();
        }
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
        if (semicolon < 0)
            break;
        i = semicolon + 1;
    }
    return QString();
}

QString Connection::odbcConnectionString(const QString& connectionString, const QString& driver)
{
    auto value = [&](const char* key) { return connectionValue(connectionString, QString::fromLatin1(key)); };
    const bool freeTds = driver.contains(QStringLiteral("FreeTDS"), Qt::CaseInsensitive);
    const ServerAddress address = parseDataSource(value("Data Source"));

    QString result
        = QStringLiteral("DRIVER={%1};").arg(QString(driver).replace(QStringLiteral("}"), QStringLiteral("}}")));
    auto add = [&](const QString& key, const QString& v) {
        result += key + QLatin1Char('=') + odbcValue(v) + QLatin1Char(';');
    };

    if (freeTds) {
        // FreeTDS takes a named instance as host\instance and a port as a key of its own; it
        // always speaks TCP/IP.
        const QString host = address.local ? kLocalHost : address.host;
        if (!address.port.isEmpty()) {
            add(QStringLiteral("Server"), host);
            add(QStringLiteral("Port"), address.port);
        } else {
            add(QStringLiteral("Server"),
                address.instance.isEmpty() ? host : host + QLatin1Char('\\') + address.instance);
        }
    } else {
#ifdef Q_OS_WIN
        const QString localHost = QStringLiteral("(local)");
#else
        const QString localHost = kLocalHost;
#endif
        const QString host = address.local ? localHost : address.host;
        if (!address.port.isEmpty())
            add(QStringLiteral("Server"), host + QLatin1Char(',') + address.port);
        else
            add(QStringLiteral("Server"),
                address.instance.isEmpty() ? host : host + QLatin1Char('\\') + address.instance);
    }

    const QString database = value("Initial Catalog");
    if (!database.isEmpty())
        add(QStringLiteral("Database"), database);
    const QString user = value("User ID");
    if (!freeTds && user.isEmpty() && isTrue(value("Integrated Security"))) {
        add(QStringLiteral("Trusted_Connection"), QStringLiteral("Yes"));
    } else if (!user.isEmpty()) {
        add(QStringLiteral("UID"), user);
        add(QStringLiteral("PWD"), value("Password"));
    }
    const QString workstation = value("Workstation ID");
    if (!workstation.isEmpty())
        add(QStringLiteral("WSID"), workstation);

    if (freeTds) {
        // The protocol of SQL Server 2012 and later (older servers answer with their own).
        // Left to "auto", FreeTDS falls back to the Sybase protocol after a silent server's
        // login time-out and then hangs instead of failing.
        add(QStringLiteral("TDS_Version"), QStringLiteral("7.4"));
        // Qt talks to FreeTDS in 8-bit text; make that UTF-8 both ways.
        add(QStringLiteral("ClientCharset"), QStringLiteral("UTF-8"));
    } else {
        if (value("Network Library").compare(QStringLiteral("dbmssocn"), Qt::CaseInsensitive) == 0)
            add(QStringLiteral("Network"), QStringLiteral("DBMSSOCN"));
        // Version 18 encrypts by default and then insists on a trusted server certificate;
        // the product's servers are reached as before, without encryption being demanded.
        if (driver.contains(QStringLiteral("ODBC Driver 18"), Qt::CaseInsensitive))
            add(QStringLiteral("Encrypt"), QStringLiteral("no"));
    }
    return result;
}

QString Connection::odbcConnectOptions(const QString& connectionString, int connectTimeout)
{
    QString options = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(qMax(0, connectTimeout));
    bool ok = false;
    const int packetSize = connectionValue(connectionString, QStringLiteral("Packet Size")).toInt(&ok);
    if (ok && packetSize > 0)
        options += QStringLiteral(";SQL_ATTR_PACKET_SIZE=%1").arg(packetSize);
    return options;
}

QString Connection::sqlServerOdbcDriver()
{
    return chooseSqlServerOdbcDriver(installedOdbcDrivers());
}

QString Connection::chooseSqliteOdbcDriver(const QStringList& installedDrivers)
{
    for (const QString& name : {kSqliteOdbcDriver, kSqliteOdbcDriver + QStringLiteral(" ODBC Driver")})
        for (const QString& installed : installedDrivers)
            if (installed.compare(name, Qt::CaseInsensitive) == 0)
                return installed;
    return QString();
}

QString Connection::chooseSqlServerOdbcDriver(const QStringList& installedDrivers)
{
    static const QStringList preferred {
        QStringLiteral("ODBC Driver 18 for SQL Server"), QStringLiteral("ODBC Driver 17 for SQL Server"),
        QStringLiteral("SQL Server Native Client 11.0"), QStringLiteral("SQL Server"), QStringLiteral("FreeTDS")};
    for (const QString& name : preferred)
        for (const QString& installed : installedDrivers)
            if (installed.compare(name, Qt::CaseInsensitive) == 0)
                return installed;
    return QString();
}

} // namespace kolvix
