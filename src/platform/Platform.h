#pragma once

#include <QByteArray>
#include <QString>

namespace kolvix {

// The operating-system services the utility needs, behind one interface so that tests can
// replace them (tests/support/FakePlatform.h). The native implementation wraps the Qt-free
// services of NativeServices.h (WindowsPlatform.cpp or PosixPlatform.cpp); setPlatform()
// swaps it.
class Platform
{
public:
    virtual ~Platform() = default;

    // Per-user local application-data folder; empty when it cannot be determined.
    // Windows: CSIDL_LOCAL_APPDATA. POSIX: $XDG_DATA_HOME, else ~/.local/share.
    virtual QString localAppDataFolder() const = 0;
    // All-users application-data folder; empty when it cannot be determined.
    // Windows: CSIDL_COMMON_APPDATA. POSIX: /var/lib.
    virtual QString commonAppDataFolder() const = 0;
    // Folder in which a bare settings-file name such as "ZV2000.INI" is resolved.
    // Windows: the Windows directory. POSIX: /etc.
    virtual QString legacySettingsFolder() const = 0;
    // The config folder used when no application-data folder can be used.
    // Windows: "C:\Program Files\Zelvan 2000". POSIX: "/opt/Zelvan 2000".
    virtual QString programFilesFallbackFolder() const = 0;
    // True inside a remote (terminal-services) session.
    virtual bool isRemoteSession() const = 0;
    virtual QString computerName() const = 0;
    // The operating-system user the program runs as (the login name); empty when unknown.
    virtual QString userName() const = 0;
    // Major version of the operating system as Windows numbers it (6 = Vista and later).
    // POSIX reports 10, so the newer display fonts apply.
    virtual int windowsMajorVersion() const = 0;
    // Folder of the running executable, without a trailing separator.
    virtual QString executableFolder() const = 0;
    // The separator of folder names ("\" on Windows, "/" elsewhere).
    virtual QChar pathSeparator() const = 0;

    // What readBoundedFile found.
    enum class FileRead { Read, Missing, NotRegular, TooLarge, Unreadable };
    // The contents of a regular file of at most maxBytes bytes. Anything else is not read: a
    // directory, device, pipe or socket is NotRegular (and never blocks the caller), a larger
    // file TooLarge, one that cannot be opened Unreadable.
    virtual FileRead readBoundedFile(const QString& path, qint64 maxBytes, QByteArray& contents) const;

    virtual bool fileExists(const QString& path) const;
    virtual bool folderExists(const QString& path) const;
    // Creates the folder with all missing parents; true when it exists afterwards.
    virtual bool createFolder(const QString& path) const;
};

// The platform in use. Never null: the native one unless a test installed another.
Platform& platform();
// Installs a platform (not owned); nullptr restores the native one.
void setPlatform(Platform* platform);

} // namespace kolvix
