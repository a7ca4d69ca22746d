#pragma once

#include <QString>

namespace kolvix {

// An exclusive lock on an existing file that the database engine also opens and locks (the
// practice's database file): a lock on one byte far beyond the ranges the engine uses, taken
// without waiting and held until unlock() or destruction. Nothing is written, truncated or
// created. The lock belongs to the file, not to the name it was reached by: a symbolic link
// or a hard link to the file meets the same lock. It is the operating system's own (an
// open-file-description lock on Linux, LockFileEx on Windows), so the system drops it when
// the process ends, however it ends. Two FileLock objects on the same file exclude each other
// also within one process.
//
// POSIX releases a process's classic record locks on a file whenever the process closes any
// descriptor of that file, which would silently drop the database engine's own locks. So the
// descriptor that holds this lock is never closed while the file exists: it stays open, one per
// file, for the life of the process, and is used again by the next lock of the same file.
class FileLock
{
public:
    enum class Result { Acquired, Busy, Failed };

    explicit FileLock(QString path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    const QString& path() const { return m_path; }
    // Busy when another holder has the lock; Failed (see errorString) when the file cannot be
    // opened or locked for another reason (it is missing, or not a regular file).
    Result tryLock();
    void unlock();
    bool isLocked() const { return m_locked; }
    QString errorString() const { return m_error; }

private:
    QString m_path;
    QString m_error;
    bool m_locked = false;
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    unsigned long long m_device = 0;
    unsigned long long m_inode = 0;
#endif
};

} // namespace kolvix
