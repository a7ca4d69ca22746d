#pragma once

#include "support/FakePlatform.h"

#include "settings/CommandLine.h"
#include "settings/Settings.h"
#include "settings/UtilityConnect.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace kolvix::test {

// A machine of its own for each test: the per-user, common and Windows folders of the
// platform lie in a temporary folder, the command line is empty and the settings
// locations are reset.
class SettingsFixture : public ::testing::Test
{
protected:
    SettingsFixture()
    {
        os.localAppData = root.filePath(QStringLiteral("local"));
        os.commonAppData = root.filePath(QStringLiteral("common"));
        os.legacyFolder = root.filePath(QStringLiteral("windows"));
        for (const QString& folder : {os.localAppData, os.commonAppData, os.legacyFolder})
            QDir().mkpath(folder);
        reset();
    }
    ~SettingsFixture() override { reset(); }

    static void reset()
    {
        setCommandLineArguments({});
        gsConfigFolder.clear();
        gsDataFolder.clear();
        gsConfigIniName.clear();
        gsDataIniName.clear();
        gsUtilityIniName.clear();
        gsServerName.clear();
        gsDatabaseName.clear();
        gTerminateRequested = false;
        setConfigObject(nullptr);
    }

    QString localProduct() const { return os.localAppData + QStringLiteral("/Ombrix/Zelvan"); }
    QString commonProduct() const { return os.commonAppData + QStringLiteral("/Ombrix/Zelvan"); }
    QString legacyFile() const { return os.legacyFolder + QStringLiteral("/ZV2000.INI"); }

    static void writeFile(const QString& path, const QString& text)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        file.write(text.toUtf8());
    }
    // The product's files in the common application-data folder.
    void writeConfig(const QString& text) const { writeFile(commonProduct() + QStringLiteral("/config.ini"), text); }
    void writeData(const QString& text) const { writeFile(commonProduct() + QStringLiteral("/data.ini"), text); }

    QTemporaryDir root;
    FakePlatform os;
};

} // namespace kolvix::test
