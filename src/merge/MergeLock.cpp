#include "merge/MergeLock.h"

#include "db/Command.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "platform/FileLock.h"
#include "platform/Platform.h"
#include "platform/RegularFile.h"

#include <QFileInfo>

namespace kolvix {

namespace {

// The name of the application lock on SQL Server.
const char* const kLockResource = "KolvixMerge";
const char* const kTimeFormat = "yyyy-MM-dd hh:mm:ss";

// What the holder records: its workstation and start time, one per line.
QByteArray holderRecord()
{
    return (QStringLiteral("workstation=") + platform().computerName() + QStringLiteral("\nstarted=")
            + QDateTime::currentDateTime().toString(QString::fromLatin1(kTimeFormat)) + QStringLiteral("\n"))
        .toUtf8();
}

void readHolderRecord(const QString& text, QString& workstation, QDateTime& started)
{
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("workstation=")))
            workstation = line.mid(12).trimmed();
        else if (line.startsWith(QLatin1String("started=")))
            started = QDateTime::fromString(line.mid(8).trimmed(), QString::fromLatin1(kTimeFormat));
    }
}

} // namespace

MergeLock::MergeLock(Connection& connection)
    : m_connection(connection)
{
}

MergeLock::~MergeLock()
{
    try {
        release();
    } catch (const std::exception&) {
        // The session's end releases an application lock that could not be released here.
    }
}

QString MergeLock::lockFilePath(const QString& databaseFile)
{
    return databaseFile + QStringLiteral(".mergelock");
}

bool MergeLock::tryAcquire()
{
    if (m_held)
        return true;
    m_holderWorkstation.clear();
    m_holderStarted = QDateTime();
    m_error.clear();
    m_held = m_connection.isEmbedded() ? acquireFile() : acquireApplicationLock();
    return m_held;
}

bool MergeLock::acquireFile()
{
    // The lock is on the database file itself, whatever name it was reached by; the record
    // lies beside the file's real name.
    const QFileInfo database(connectionStringValue(m_connection.connectionString(), QStringLiteral("Data Source")));
    const QString databaseFile
        = database.canonicalFilePath().isEmpty() ? database.absoluteFilePath() : database.canonicalFilePath();
    const QString recordPath = lockFilePath(databaseFile);
    m_file = std::make_unique<FileLock>(databaseFile);
    switch (m_file->tryLock()) {
    case FileLock::Result::Acquired:
        break;
    case FileLock::Result::Busy: {
        RegularFile record;
        if (record.open(recordPath, RegularFile::Mode::Read) == RegularFile::Status::Opened)
            readHolderRecord(QString::fromUtf8(record.read(4096)), m_holderWorkstation, m_holderStarted);
        m_file.reset();
        return false;
    }
    case FileLock::Result::Failed:
        m_error = m_file->errorString();
        m_file.reset();
        return false;
    }
    m_record = std::make_unique<RegularFile>();
    switch (m_record->open(recordPath, RegularFile::Mode::ReadWrite)) {
    case RegularFile::Status::Opened:
        m_record->replace(holderRecord());
        break;
    case RegularFile::Status::NotRegular:
        // Something else stands where the record belongs: it is left as it is, and so is the merge.
        m_error = m_record->errorString() + QStringLiteral(". Nothing has been changed: remove it, then merge again.");
        m_record.reset();
        m_file.reset();
        return false;
    default:
        // A record that cannot be written (a read-only file or folder) only leaves the next
        // attempt without the holder's name; the lock holds all the same.
        m_record.reset();
        break;
    }
    return true;
}

bool MergeLock::acquireApplicationLock()
{
    Dataset ds(m_connection, 30);
    ds.setSql(QStringLiteral("SET NOCOUNT ON;\r\nDECLARE @r int;\r\n"
                             "EXEC @r = sp_getapplock @Resource = '%1', @LockMode = 'Exclusive', "
                             "@LockOwner = 'Session', @LockTimeout = 0;\r\nSELECT @r AS Result")
                  .arg(QLatin1String(kLockResource)));
    ds.open();
    // 0 and 1: granted; -1: another session holds it; below: the request failed.
    const int result = ds.isEmpty() ? -999 : ds.field(0).asInteger();
    if (result >= 0) {
        m_applicationLock = true;
        // The session's context carries the record, where other sessions can read it.
        Command set(m_connection, 30);
        set.setCommandText(QStringLiteral("SET CONTEXT_INFO 0x")
                           + QString::fromLatin1(holderRecord().left(128).toHex()));
        try {
            set.execute();
        } catch (const std::exception&) {
        }
        return true;
    }
    if (result != -1) {
        m_error = QStringLiteral("sp_getapplock returned %1").arg(result);
        return false;
    }
    // Who holds it; reading other sessions needs VIEW SERVER STATE, so this may tell nothing.
    try {
        Dataset holder(m_connection, 30);
        holder.setSql(QStringLiteral("SELECT TOP 1 CAST(S.context_info AS varchar(128)) AS Record, S.host_name\r\n"
                                     "FROM sys.dm_tran_locks L\r\n"
                                     "JOIN sys.dm_exec_sessions S ON S.session_id = L.request_session_id\r\n"
                                     "WHERE L.resource_type = 'APPLICATION' AND L.request_mode = 'X' AND "
                                     "L.resource_description LIKE '%%1%'")
                          .arg(QLatin1String(kLockResource)));
        holder.open();
        if (!holder.isEmpty()) {
            readHolderRecord(holder.field(0).asString(), m_holderWorkstation, m_holderStarted);
            if (m_holderWorkstation.isEmpty())
                m_holderWorkstation = holder.field(1).asString().trimmed();
        }
    } catch (const std::exception&) {
    }
    return false;
}

void MergeLock::release()
{
    if (!m_held)
        return;
    m_held = false;
    if (m_record) {
        m_record->replace(QByteArray());
        m_record.reset();
    }
    if (m_file) {
        m_file->unlock();
        m_file.reset();
    }
    if (m_applicationLock) {
        m_applicationLock = false;
        Command cmd(m_connection, 30);
        cmd.setCommandText(QStringLiteral("SET CONTEXT_INFO 0x;\r\nEXEC sp_releaseapplock @Resource = '%1', "
                                          "@LockOwner = 'Session'")
                               .arg(QLatin1String(kLockResource)));
        cmd.execute();
    }
}

QString MergeLock::refusalMessage() const
{
    if (!m_error.isEmpty())
        return QStringLiteral("The merge lock could not be taken, so the merge cannot start: %1").arg(m_error);
    QString who = m_holderWorkstation.isEmpty() ? QStringLiteral("another workstation")
                                                : QStringLiteral("workstation '%1'").arg(m_holderWorkstation);
    if (m_holderStarted.isValid())
        who += QStringLiteral(" at %1").arg(m_holderStarted.toString(QString::fromLatin1(kTimeFormat)));
    return QStringLiteral("Another merge is in progress: it was started on %1.\n"
                          "Only one merge can run at a time. Please try again when it has finished.")
        .arg(who);
}

} // namespace kolvix
