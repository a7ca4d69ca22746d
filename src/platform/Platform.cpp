#include "platform/Platform.h"

#include "platform/NativeServices.h"

#include <QDir>
#include <QFileInfo>

namespace kolvix {

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
