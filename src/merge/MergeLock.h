#pragma once

#include <QDateTime>
#include <QString>
#include <memory>

namespace kolvix {

class Connection;
class FileLock;
class RegularFile;

// The practice-wide merge lock: one merge at a time on a database, whichever workstation or
// front end runs it. On SQL Server it is an application lock owned by the connection's
// session (sp_getapplock, exclusive); on the embedded engine an operating-system lock on the
// database file itself (FileLock), which every name of the file meets. Either is released by
// the system when the process ends, however it ends, so a merge that was killed never blocks
// the next one. The holder records its workstation and start time for the message that
// refuses a second merge: in the session's context on SQL Server, in the file
// "<database file>.mergelock" beside the database file's real name on the embedded engine.
// That record is only ever written when it is a regular file of its own; anything else at
// its path (a link, a folder, a pipe, a device) refuses the merge and is left untouched.
class MergeLock
{
public:
    explicit MergeLock(Connection& connection);
    ~MergeLock();
    MergeLock(const MergeLock&) = delete;
    MergeLock& operator=(const MergeLock&) = delete;

    // Takes the lock without waiting; true when this attempt holds it now. False when
    // another merge holds it (holderWorkstation / holderStarted say what it recorded) or
    // when the lock cannot be taken at all (error() says why).
    bool tryAcquire();
    void release();
    bool isHeld() const { return m_held; }

    QString holderWorkstation() const { return m_holderWorkstation; }
    QDateTime holderStarted() const { return m_holderStarted; }
    QString error() const { return m_error; }
    // The message that refuses the merge after tryAcquire() returned false.
    QString refusalMessage() const;

    // The record file of an embedded database file.
    static QString lockFilePath(const QString& databaseFile);

private:
    bool acquireFile();
    bool acquireApplicationLock();

    Connection& m_connection;
    std::unique_ptr<FileLock> m_file;
    std::unique_ptr<RegularFile> m_record;
    bool m_held = false;
    bool m_applicationLock = false;
    QString m_holderWorkstation;
    QDateTime m_holderStarted;
    QString m_error;
};

} // namespace kolvix
