#include "platform/RegularFile.h"

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
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kolvix {

namespace {

QString notRegularMessage(const QString& path, const QString& what)
{
    return QStringLiteral("'%1' is not a regular file (%2)").arg(path, what);
}

} // namespace

RegularFile::~RegularFile()
{
    close();
}

#ifdef _WIN32

namespace {

QString systemError(DWORD error)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("system error %1").arg(error);
    LocalFree(text);
    return message;
}

// What stands at the path when it is not a plain file; empty for a regular file.
QString whatIsThere(DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return QStringLiteral("a link or reparse point");
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return QStringLiteral("a folder");
    return {};
}

} // namespace

RegularFile::Status RegularFile::open(const QString& path, Mode mode, bool ownerOnly)
{
    (void)ownerOnly; // the folder's permissions decide on Windows
    close();
    m_path = path;
    m_error.clear();
    const std::wstring name = path.toStdWString();
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !whatIsThere(attributes).isEmpty()) {
        m_error = notRegularMessage(path, whatIsThere(attributes));
        return Status::NotRegular;
    }
    const DWORD access = mode == Mode::Read ? GENERIC_READ
        : mode == Mode::Append              ? FILE_APPEND_DATA | SYNCHRONIZE
                                            : GENERIC_READ | GENERIC_WRITE;
    const DWORD disposition = mode == Mode::Read ? OPEN_EXISTING : OPEN_ALWAYS;
    HANDLE handle = CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        m_error = QStringLiteral("cannot open '%1': %2").arg(path, systemError(error));
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Status::Missing : Status::Failed;
    }
    BY_HANDLE_FILE_INFORMATION info {};
    QString what;
    if (GetFileType(handle) != FILE_TYPE_DISK)
        what = QStringLiteral("a device or pipe");
    else if (!GetFileInformationByHandle(handle, &info))
        what = QStringLiteral("its kind cannot be read");
    else if (!whatIsThere(info.dwFileAttributes).isEmpty())
        what = whatIsThere(info.dwFileAttributes);
    else if (info.nNumberOfLinks > 1)
        what = QStringLiteral("it has other names: hard links");
    if (!what.isEmpty()) {
        CloseHandle(handle);
        m_error = notRegularMessage(path, what);
        return Status::NotRegular;
    }
    m_handle = handle;
    return Status::Opened;
}

void RegularFile::close()
{
    if (m_handle)
        CloseHandle(static_cast<HANDLE>(m_handle));
    m_handle = nullptr;
}

bool RegularFile::isOpen() const
{
    return m_handle != nullptr;
}

QByteArray RegularFile::read(qint64 maxBytes)
{
    QByteArray content;
    HANDLE handle = static_cast<HANDLE>(m_handle);
    if (!handle || SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return content;
    content.resize(maxBytes);
    DWORD got = 0;
    if (!ReadFile(handle, content.data(), DWORD(maxBytes), &got, nullptr))
        got = 0;
    content.resize(got);
    return content;
}

bool RegularFile::replace(const QByteArray& content)
{
    HANDLE handle = static_cast<HANDLE>(m_handle);
    if (!handle || SetFilePointer(handle, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER
        || !SetEndOfFile(handle)) {
        m_error = QStringLiteral("cannot write '%1': %2").arg(m_path, systemError(GetLastError()));
        return false;
    }
    return writeAll(content);
}

bool RegularFile::append(const QByteArray& content)
{
    return writeAll(content);
}

bool RegularFile::writeAll(const QByteArray& content)
{
    HANDLE handle = static_cast<HANDLE>(m_handle);
    DWORD written = 0;
    if (!handle || !WriteFile(handle, content.constData(), DWORD(content.size()), &written, nullptr)
        || written != DWORD(content.size())) {
        m_error = QStringLiteral("cannot write '%1': %2").arg(m_path, systemError(GetLastError()));
        return false;
    }
    return true;
}

#else

namespace {

QString whatIsThere(mode_t mode)
{
    if (S_ISLNK(mode))
        return QStringLiteral("a symbolic link");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (!S_ISREG(mode))
        return QStringLiteral("a device");
    return {};
}

} // namespace

RegularFile::Status RegularFile::open(const QString& path, Mode mode, bool ownerOnly)
{
    close();
    m_path = path;
    m_error.clear();
    const QByteArray name = QFile::encodeName(path);
    // What is there is looked at first, so that nothing but a regular file is ever opened; the
    // open itself follows no link and does not block, and what it opened is looked at again.
    struct stat there
    {
    };
    if (::lstat(name.constData(), &there) == 0 && !whatIsThere(there.st_mode).isEmpty()) {
        m_error = notRegularMessage(path, whatIsThere(there.st_mode));
        return Status::NotRegular;
    }
    int flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (mode == Mode::Read)
        flags |= O_RDONLY;
    else
        flags |= O_CREAT | (mode == Mode::Append ? O_WRONLY | O_APPEND : O_RDWR);
    const int fd = ::open(name.constData(), flags, ownerOnly ? 0600 : 0666);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP || error == EISDIR || error == ENXIO) {
            m_error = notRegularMessage(path,
                                        error == EISDIR      ? QStringLiteral("a folder")
                                            : error == ENXIO ? QStringLiteral("a pipe or a device")
                                                             : QStringLiteral("a symbolic link"));
            return Status::NotRegular;
        }
        m_error = QStringLiteral("cannot open '%1': %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
        return error == ENOENT ? Status::Missing : Status::Failed;
    }
    struct stat opened
    {
    };
    QString what;
    if (::fstat(fd, &opened) != 0)
        what = QStringLiteral("its kind cannot be read");
    else if (!whatIsThere(opened.st_mode).isEmpty())
        what = whatIsThere(opened.st_mode);
    else if (opened.st_nlink > 1)
        what = QStringLiteral("it has other names: hard links");
    if (!what.isEmpty()) {
        ::close(fd);
        m_error = notRegularMessage(path, what);
        return Status::NotRegular;
    }
    if (ownerOnly && opened.st_uid == ::geteuid() && (opened.st_mode & 077) != 0)
        ::fchmod(fd, opened.st_mode & 0700);
    m_fd = fd;
    return Status::Opened;
}

void RegularFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool RegularFile::isOpen() const
{
    return m_fd >= 0;
}

QByteArray RegularFile::read(qint64 maxBytes)
{
    QByteArray content;
    if (m_fd < 0)
        return content;
    content.resize(maxBytes);
    qint64 done = 0;
    while (done < maxBytes) {
        const ssize_t got = ::pread(m_fd, content.data() + done, size_t(maxBytes - done), off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += got;
    }
    content.resize(done);
    return content;
}

bool RegularFile::replace(const QByteArray& content)
{
    if (m_fd < 0 || ::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0) {
        m_error = QStringLiteral("cannot write '%1': %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return writeAll(content);
}

bool RegularFile::append(const QByteArray& content)
{
    return writeAll(content);
}

bool RegularFile::writeAll(const QByteArray& content)
{
    qsizetype done = 0;
    while (m_fd >= 0 && done < content.size()) {
        const ssize_t n = ::write(m_fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = QStringLiteral("cannot write '%1': %2")
                          .arg(m_path, QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC)));
            return false;
        }
        done += n;
    }
    return m_fd >= 0;
}

#endif

} // namespace kolvix
