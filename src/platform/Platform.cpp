#include "platform/Platform.h"

#include "platform/NativeServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kolvix {

#ifdef Q_OS_UNIX
Platform::FileRead Platform::readBoundedFile(const QString& path, qint64 maxBytes, QByteArray& contents) const
{
    contents.clear();
    if (path.isEmpty())
        return FileRead::Missing;
    const QByteArray name = QFile::encodeName(path);
    struct stat before
    {
    };
    if (::stat(name.constData(), &before) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Unreadable;
    if (!S_ISREG(before.st_mode))
        return FileRead::NotRegular;
    if (before.st_size > maxBytes)
        return FileRead::TooLarge;
    // Non-blocking, in case the name was swapped for a pipe since the test above; the test is
    // repeated on what was opened.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Unreadable;
    struct stat opened
    {
    };
    FileRead result = FileRead::Read;
    if (::fstat(fd, &opened) != 0)
        result = FileRead::Unreadable;
    else if (!S_ISREG(opened.st_mode))
        result = FileRead::NotRegular;
    else if (opened.st_size > maxBytes)
        result = FileRead::TooLarge;
    // At most one byte more than allowed is read: a file that grew is too large.
    while (result == FileRead::Read) {
        char buffer[65536];
        const qint64 room = maxBytes + 1 - contents.size();
        const ssize_t got = ::read(fd, buffer, size_t(qMin<qint64>(qint64(sizeof buffer), room)));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            result = FileRead::Unreadable;
        } else if (got == 0) {
            break;
        } else {
            contents.append(buffer, qsizetype(got));
            if (contents.size() > maxBytes)
                result = FileRead::TooLarge;
        }
    }
    ::close(fd);
    if (result != FileRead::Read)
        contents.clear();
    return result;
}
#else
Platform::FileRead Platform::readBoundedFile(const QString& path, qint64 maxBytes, QByteArray& contents) const
{
    contents.clear();
    if (path.isEmpty())
        return FileRead::Missing;
    const QFileInfo info(path);
    if (!info.exists())
        return FileRead::Missing;
    if (!info.isFile())
        return FileRead::NotRegular;
    if (info.size() > maxBytes)
        return FileRead::TooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileRead::Unreadable;
    // At most one byte more than allowed is read: a file that grew is too large.
    contents = file.read(maxBytes + 1);
    if (contents.size() > maxBytes) {
        contents.clear();
        return FileRead::TooLarge;
    }
    return FileRead::Read;
}
#endif

bool Platform::fileExists(const QString& path) const
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool Platform::folderExists(const QString& path) const
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool Platform::createFolder(const QString& path) const
{
    if (path.isEmpty())
        return false;
    QDir().mkpath(path);
    return folderExists(path);
}

namespace {

QString fromNative(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size()));
}

// The native services in the Qt-facing interface.
class NativePlatform final : public Platform
{
public:
    QString localAppDataFolder() const override { return fromNative(native::services().localAppDataFolder()); }
    QString commonAppDataFolder() const override { return fromNative(native::services().commonAppDataFolder()); }
    QString legacySettingsFolder() const override { return fromNative(native::services().legacySettingsFolder()); }
    QString programFilesFallbackFolder() const override
    {
        return fromNative(native::services().programFilesFallbackFolder());
    }
    bool isRemoteSession() const override { return native::services().isRemoteSession(); }
    QString computerName() const override { return fromNative(native::services().computerName()); }
    QString userName() const override { return fromNative(native::services().userName()); }
    int windowsMajorVersion() const override { return native::services().windowsMajorVersion(); }
    QString executableFolder() const override { return fromNative(native::services().executableFolder()); }
    QChar pathSeparator() const override { return QLatin1Char(native::services().pathSeparator()); }
};

Platform& nativePlatform()
{
    static NativePlatform instance;
    return instance;
}

Platform* gPlatform = nullptr;

} // namespace

Platform& platform()
{
    return gPlatform ? *gPlatform : nativePlatform();
}

void setPlatform(Platform* platform)
{
    gPlatform = platform;
}

} // namespace kolvix
