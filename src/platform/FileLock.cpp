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
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
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

#ifdef _WIN32

namespace {

// The locked byte: at 2^62, far beyond the engine's lock bytes (from 1 GiB on) and any content.
OVERLAPPED lockedRange()
{
    OVERLAPPED range {};
    range.Offset = 0;
    range.OffsetHigh = 0x40000000;
    return range;
}

} // namespace

FileLock::Result FileLock::tryLock()
{
    if (m_locked)
        return Result::Acquired;
    m_error.clear();
    const std::wstring path = m_path.toStdWString();
    // Read access is enough for a lock; the engine's own handles keep their sharing.
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_error = QStringLiteral("cannot open '%1' (system error %2)").arg(m_path).arg(GetLastError());
        return Result::Failed;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        m_error = QStringLiteral("'%1' is not a regular file").arg(m_path);
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

#else

namespace {

// The locked byte: at 2^62, far beyond the engine's lock bytes (from 1 GiB on) and any content.
constexpr off_t kLockedByte = off_t(1) << 62;

// One descriptor per file, kept open (see the class comment), and whether a FileLock of this
// process holds the file's lock: the system's lock does not exclude a process from itself.
struct OpenFile
{
    int fd = -1;
    bool held = false;
};

std::mutex gFilesMutex;
std::map<std::pair<unsigned long long, unsigned long long>, OpenFile> gFiles;

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Sets or clears the lock on the descriptor; 0 or the errno.
int setLock(int fd, short type)
{
    struct flock range
    {
    };
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = kLockedByte;
    range.l_len = 1;
    for (;;) {
#ifdef F_OFD_SETLK
        const int rc = ::fcntl(fd, F_OFD_SETLK, &range);
#else
        const int rc = ::flock(fd, (type == F_UNLCK ? LOCK_UN : LOCK_EX) | LOCK_NB);
#endif
        if (rc == 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

// A file that was deleted serves no one any more: its descriptor is closed once unlocked.
void forgetDeletedFiles()
{
    for (auto it = gFiles.begin(); it != gFiles.end();) {
        struct stat info
        {
        };
        if (!it->second.held && ::fstat(it->second.fd, &info) == 0 && info.st_nlink == 0) {
            ::close(it->second.fd);
            it = gFiles.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace

FileLock::Result FileLock::tryLock()
{
    if (m_locked)
        return Result::Acquired;
    m_error.clear();
    const QByteArray name = QFile::encodeName(m_path);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0) {
        m_error = QStringLiteral("cannot open '%1': %2").arg(m_path, errnoText(errno));
        return Result::Failed;
    }
    if (!S_ISREG(info.st_mode)) {
        m_error = QStringLiteral("'%1' is not a regular file").arg(m_path);
        return Result::Failed;
    }
    std::lock_guard<std::mutex> guard(gFilesMutex);
    forgetDeletedFiles();
    auto key = std::make_pair((unsigned long long)info.st_dev, (unsigned long long)info.st_ino);
    auto it = gFiles.find(key);
    if (it == gFiles.end()) {
        // A write lock needs a descriptor open for writing; nothing is ever written through it.
        const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            m_error = QStringLiteral("cannot open '%1': %2").arg(m_path, errnoText(errno));
            return Result::Failed;
        }
        struct stat opened
        {
        };
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            // Swapped since the look above; nothing of the engine's can be on it.
            ::close(fd);
            m_error = QStringLiteral("'%1' is not a regular file").arg(m_path);
            return Result::Failed;
        }
        key = std::make_pair((unsigned long long)opened.st_dev, (unsigned long long)opened.st_ino);
        it = gFiles.find(key);
        if (it == gFiles.end())
            it = gFiles.emplace(key, OpenFile {fd, false}).first;
        // else: replaced by a file this process knows already; the extra descriptor stays open
        // rather than risk the engine's locks.
    }
    if (it->second.held)
        return Result::Busy;
    const int error = setLock(it->second.fd, F_WRLCK);
    if (error == EAGAIN || error == EACCES || error == EWOULDBLOCK)
        return Result::Busy;
    if (error != 0) {
        m_error = QStringLiteral("cannot lock '%1': %2").arg(m_path, errnoText(error));
        return Result::Failed;
    }
    it->second.held = true;
    m_device = key.first;
    m_inode = key.second;
    m_locked = true;
    return Result::Acquired;
}

void FileLock::unlock()
{
    if (!m_locked)
        return;
    std::lock_guard<std::mutex> guard(gFilesMutex);
    auto it = gFiles.find(std::make_pair(m_device, m_inode));
    if (it != gFiles.end()) {
        setLock(it->second.fd, F_UNLCK);
        it->second.held = false;
    }
    m_locked = false;
}

#endif

} // namespace kolvix
