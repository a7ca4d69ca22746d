#pragma once

#include <QByteArray>
#include <QString>

namespace kolvix {

// An exclusive lock on a file, taken without waiting and held until unlock() or destruction.
// It is the operating system's own lock (flock on POSIX, LockFileEx on Windows), bound to the
// open file: the system drops it when the process ends, however it ends, so a lock left by a
// killed process never blocks the next one. Two FileLock objects on the same file exclude
// each other also within one process. The file's content is free for the holder to write
// and for anyone to read, held or not; the file is created when missing and never removed.
class FileLock
{
public:
    enum class Result { Acquired, Busy, Failed };

    explicit FileLock(QString path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    const QString& path() const { return m_path; }
    // Busy when another open of the file holds the lock; Failed (see errorString) when the
    // file cannot be opened or locked for another reason.
    Result tryLock();
    void unlock();
    bool isLocked() const { return m_locked; }
    // Replaces the file's content; only while locked.
    bool write(const QByteArray& content);
    // The file's content, up to 4 KiB; empty when it cannot be read.
    QByteArray read() const;
    QString errorString() const { return m_error; }

private:
    QString m_path;
    QString m_error;
    bool m_locked = false;
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};

} // namespace kolvix
