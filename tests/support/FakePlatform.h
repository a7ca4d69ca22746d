#pragma once

#include "platform/Platform.h"

#include <QString>

namespace kolvix::test {

// A platform whose folders, session and names the test sets. Folders are real paths (for
// example under a QTemporaryDir), so existence tests and folder creation work on disk.
// Installs itself on construction and restores the native platform on destruction.
class FakePlatform : public Platform
{
public:
    FakePlatform();
    ~FakePlatform() override;

    QString localAppData;
    QString commonAppData;
    QString legacyFolder;
    QString programFilesFallback = QStringLiteral("/nonexistent/Zelvan 2000");
    bool remoteSession = false;
    QString computer = QStringLiteral("PC01");
    QString user = QStringLiteral("reception");
    int windowsVersion = 10;
    QString exeFolder;

    QString localAppDataFolder() const override { return localAppData; }
    QString commonAppDataFolder() const override { return commonAppData; }
    QString legacySettingsFolder() const override { return legacyFolder; }
    QString programFilesFallbackFolder() const override { return programFilesFallback; }
    bool isRemoteSession() const override { return remoteSession; }
    QString computerName() const override { return computer; }
    QString userName() const override { return user; }
    int windowsMajorVersion() const override { return windowsVersion; }
    QString executableFolder() const override { return exeFolder; }
    QChar pathSeparator() const override { return QLatin1Char('/'); }
};

} // namespace kolvix::test
