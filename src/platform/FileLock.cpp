#include "platform/FileLock.h"

#include <QFile>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kolvix {

FileLock::FileLock(QString path)
    : m_path(std::move(path))
{
}

FileLock::~FileLock()
{
    unlock();
}

QByteArray FileLock::read() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096);
}

#ifdef _WIN32

namespace {

// The locked byte lies far beyond the content, so that the content stays readable (a locked
// range cannot be read through another handle).
OVERLAPPED lockedRange()
{
    OVERLAPPED range {};
    range.Offset = 0;
    range.OffsetHigh = 1;
    return range;
}

} // namespace

FileLock::Result FileLock::tryLock()
{
    if (m_locked)
        return Result::Acquired;
    const std::wstring path = m_path.toStdWString();
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    // A file that another user created may be read-only for this one: the lock works on it
    // all the same, only the record cannot be written.
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        handle = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_error = QStringLiteral("cannot open '%1' (system error %2)").arg(m_path).arg(GetLastError());
        return Result::Failed;
    }
    OVERLAPPED range = lockedRange();
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range)) {
        const DWORD error = GetLastError();
        CloseHandle(handle);
        if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING)
            return Result::Busy;
        m_error = QStringLiteral("cannot lock '%1' (system error %2)").arg(m_path).arg(error);
        return Result::Failed;
    }
    m_handle = handle;
    m_locked = true;
    return Result::Acquired;
}

void FileLock::unlock()
{
    if (!m_locked)
        return;
    OVERLAPPED range = lockedRange();
    UnlockFileEx(static_cast<HANDLE>(m_handle), 0, 1, 0, &range);
    CloseHandle(static_cast<HANDLE>(m_handle));
    m_handle = nullptr;
    m_locked = false;
}

bool FileLock::write(const QByteArray& content)
{
    if (!m_locked)
        return false;
    HANDLE handle = static_cast<HANDLE>(m_handle);
    if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || !SetEndOfFile(handle))
        return false;
    DWORD written = 0;
    return WriteFile(handle, content.constData(), DWORD(content.size()), &written, nullptr)
        && written == DWORD(content.size());
}

#else

FileLock::Result FileLock::tryLock()
{
    if (m_locked)
        return Result::Acquired;
    const QByteArray path = QFile::encodeName(m_path);
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // A file that another user created may be read-only for this one: the lock works on it
    // all the same, only the record cannot be written.
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_error = QStringLiteral("cannot open '%1': %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        return Result::Failed;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return Result::Busy;
        m_error = QStringLiteral("cannot lock '%1': %2").arg(m_path, QString::fromLocal8Bit(std::strerror(error)));
        return Result::Failed;
    }
    m_fd = fd;
    m_locked = true;
    return Result::Acquired;
}

void FileLock::unlock()
{
    if (!m_locked)
        return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
    m_locked = false;
}

bool FileLock::write(const QByteArray& content)
{
    if (!m_locked || ::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0)
        return false;
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(m_fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

#endif

} // namespace kolvix
