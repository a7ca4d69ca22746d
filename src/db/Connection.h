#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>

class QSqlError;

namespace kolvix {

// The one database connection of the program.
//
// The connection string's "Provider" chooses the engine: "SQLite" (any case) opens the
// embedded engine on the file named by "Data Source" (read-write, never created);
// "SQLiteODBC" (any case) opens the same kind of file through Qt's ODBC driver and the SQLite
// ODBC driver "SQLite3", so that the ODBC code path that serves SQL Server (parameter binding,
// rows affected, transactions, date-time binding, the driver's error texts) runs end to end
// on a local file; every other provider reaches SQL Server through Qt's ODBC driver, with
// the connection keys translated into an ODBC connection string.
//
// The program writes T-SQL. Where SQLite is the engine (both SQLite providers) every
// statement is adapted before it runs (see TsqlAdapter.h). On the embedded engine the
// functions SOUNDEX, onlyNumericChars and BINARY_CHECKSUM are registered; through the ODBC
// driver they cannot be, so the patient search, which uses them, does not work on the provider
// SQLiteODBC (the merge works; its record then goes without the rows' check sums). Dates and date-times are stored as
// ISO text 'YYYY-MM-DD hh:mm:ss' (the ODBC driver adds milliseconds: 'YYYY-MM-DD hh:mm:ss.zzz'), booleans as 0/1.
//
// Time-outs. The connect time-out bounds the login (ODBC SQL_ATTR_LOGIN_TIMEOUT; the
// embedded engine waits at most lockWaitLimit() for a file another connection keeps locked). A statement's command
// time-out becomes, on SQL Server, the ODBC query time-out of that statement
// (SQL_ATTR_QUERY_TIMEOUT; 0 waits without limit) and, on the embedded engine, the longest
// a statement waits for a lock that another connection holds. Through the SQLite ODBC driver
// the busy time-out is the connection's command time-out when it opens.
//
// Lock waits. On the embedded engine the connection itself waits for other connections' locks
// (reportsLockWaits()): it tells the lock-wait notice once a wait has lasted kLockWaitNotice,
// bounds each wait by the statement's time-out and, between beginLockWaitBudget() and
// endLockWaitBudget(), all waits together by lockWaitLimit(). On SQL Server the budget sets
// the session's LOCK_TIMEOUT to the limit, so that no single wait outlasts it.
class Connection
{
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setConnectionString(const QString& connectionString);
    QString connectionString() const { return m_connectionString; }

    // Seconds. The command time-out is the default for commands and datasets that do not
    // set their own; the connect time-out bounds open().
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds; }
    int commandTimeout() const { return m_commandTimeout; }
    void setConnectTimeout(int seconds) { m_connectTimeout = seconds; }
    int connectTimeout() const { return m_connectTimeout; }

    // Opens a database file (the SQLite providers) for reading only: for what only reads, so
    // that a read-only file or folder serves. Set before open().
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isReadOnly() const { return m_readOnly; }

    // Throws DbError with the client's message when the database cannot be opened. A database
    // file (the SQLite providers) is checked before the connection is used: a missing file, a
    // directory, a device or pipe, a file this user cannot read or write (or in a folder it
    // cannot write) and a file that is no database each fail here with a message that says so.
    // A file that another connection keeps locked is waited for up to lockWaitLimit(), then
    // fails with DatabaseBusy.
    void open();
    void close();
    bool isOpen() const;

    // True where SQLite is the engine, whichever driver reaches it (the providers SQLite and
    // SQLiteODBC): statements are written in its dialect.
    bool isEmbedded() const { return m_sqlite; }
    // True where statements go through Qt's ODBC driver (SQL Server, and the provider SQLiteODBC).
    bool usesOdbc() const { return m_odbc; }
    // True where BINARY_CHECKSUM can be used: SQL Server's own, or the embedded engine's
    // registered one (not through the SQLite ODBC driver).
    bool hasBinaryChecksum() const { return !(m_sqlite && m_odbc); }

    // On the embedded engine a transaction takes the write lock as it begins (BEGIN IMMEDIATE),
    // waiting for another process's lock as long as the busy time-out in force allows (the
    // last statement's time-out, or the connection's command time-out before any statement).
    // A deferred transaction that has read would fail at its first write without waiting.
    void beginTransaction();
    void commitTransaction();
    void rollbackTransaction();
    bool inTransaction() const { return m_inTransaction; }

    // The total time the waits for other connections' locks may take within a budget (and the
    // longest wait at open()): 60 s, or the seconds in the environment variable KOLVIX_LOCK_WAIT
    // (1 to 3600; any other value makes open() fail with a message that says so).
    void setLockWaitLimit(std::chrono::milliseconds limit)
    {
        m_lockWaitLimit = limit;
        m_lockWaitSettingError.clear();
    }
    std::chrono::milliseconds lockWaitLimit() const { return m_lockWaitLimit; }
    // Called on this connection's thread once a wait for another connection's lock has lasted
    // kLockWaitNotice (embedded engine).
    void setLockWaitNotice(std::function<void()> notice);
    std::function<void()> lockWaitNotice() const;
    // True where the connection itself waits for locks and tells the notice (the embedded
    // engine through Qt's SQLite driver); elsewhere the caller watches the clock itself.
    bool reportsLockWaits() const { return m_sqlite && !m_odbc; }
    // How many waits have been long enough for the notice since the connection opened.
    int lockWaitNotices() const;
    // From now on all waits for locks together last at most lockWaitLimit().
    void beginLockWaitBudget();
    void endLockWaitBudget();
    // Since beginLockWaitBudget(): whether a wait gave up (its statement then failed), and
    // where the last one did: the first line of the statement, "BEGIN" or "COMMIT".
    bool lockWaitGaveUp() const;
    QString lockWaitGaveUpAt() const;

    // The statement as it runs on this connection: adapted on the embedded engine,
    // unchanged on SQL Server.
    QString prepareStatementText(const QString& tsql) const;

    // Applies a statement's time-out before it runs (on the embedded engine: the busy time-out).
    void applyStatementTimeout(int seconds);

    QSqlDatabase database() const;

    // A value as this engine takes it: on the embedded engine (provider SQLite) date-times
    // become 'YYYY-MM-DD hh:mm:ss' text and booleans 0/1; through ODBC they keep their types.
    // A text is never null (a null QString is the empty text); null is a QVariant without
    // type (sent to SQL Server as a null text).
    QVariant engineValue(const QVariant& value) const;

    // The client's own text of a failure: the driver's message where it has one.
    static QString errorMessage(const QSqlError& error);

private:
    friend class Statement;
    // Where a statement (Statement) begins: requires an open connection, applies the
    // statement's time-out and names it for the lock waits; gives the forward-only query to
    // prepare it on. Throws DbError when the connection is not open.
    QSqlQuery startStatement(const QString& tsql, int commandTimeout);

    void registerSqliteFunctions();
    void openEmbedded();
    void openSqliteOdbc();
    // Rolls back the hot journal of a database file on a connection of its own that may write;
    // throws DbError that says what to do when it cannot.
    void recoverHotJournal(const QString& file, const QString& path);
    void openSqlServer();
    void requireOpen() const;
    void setServerLockTimeout(int milliseconds);
    struct LockWaits;

    QString m_connectionName;
    QString m_connectionString;
    int m_commandTimeout = 30;
    int m_connectTimeout = 15;
    bool m_sqlite = false;
    bool m_odbc = false;
    bool m_inTransaction = false;
    bool m_readOnly = false;
    int m_appliedTimeout = -1;
    QString m_lockWaitSettingError; // declared before m_lockWaitLimit, which sets it
    std::chrono::milliseconds m_lockWaitLimit;
    std::unique_ptr<LockWaits> m_lockWaits;
};

// How long a wait for another connection's lock lasts before the user is told.
inline constexpr std::chrono::milliseconds kLockWaitNotice {2000};

} // namespace kolvix
