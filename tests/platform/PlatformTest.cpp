// The native platform (POSIX or Windows), the daily log beside the executable and the shared
// file-system services.

#include "platform/Platform.h"

#include "core/Log.h"
#include "support/FakePlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QOperatingSystemVersion>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace kolvix::test {
namespace {

#ifdef _WIN32

// The value of an environment variable as Windows sets it for every process.
QString windowsVariable(const char* name)
{
    return QDir::fromNativeSeparators(qEnvironmentVariable(name));
}

QString comparable(const QString& path)
{
    return QDir::fromNativeSeparators(path).toLower();
}

TEST(NativePlatformTest, MapsTheWindowsFolders)
{
    const Platform& os = platform();
    // The special folders, as Windows also names them in the environment of every process.
    ASSERT_FALSE(windowsVariable("LOCALAPPDATA").isEmpty());
    EXPECT_EQ(comparable(os.localAppDataFolder()), comparable(windowsVariable("LOCALAPPDATA")));
    ASSERT_FALSE(windowsVariable("ProgramData").isEmpty());
    EXPECT_EQ(comparable(os.commonAppDataFolder()), comparable(windowsVariable("ProgramData")));
    EXPECT_EQ(comparable(os.legacySettingsFolder()), comparable(windowsVariable("windir")));
    EXPECT_TRUE(os.folderExists(os.localAppDataFolder()));
    EXPECT_TRUE(os.folderExists(os.legacySettingsFolder()));
    EXPECT_EQ(os.programFilesFallbackFolder(), QStringLiteral("C:\\Program Files\\Zelvan 2000"));
    EXPECT_EQ(os.pathSeparator(), QLatin1Char('\\'));
}

TEST(NativePlatformTest, NamesTheComputerAndTheSession)
{
    const Platform& os = platform();
    EXPECT_EQ(os.computerName().toUpper(), qEnvironmentVariable("COMPUTERNAME").toUpper());
    EXPECT_FALSE(os.computerName().isEmpty());
    EXPECT_EQ(os.userName(), qEnvironmentVariable("USERNAME"));
    // A remote desktop session is named "RDP-Tcp#<n>" in the environment, the console "Console".
    EXPECT_EQ(os.isRemoteSession(), qEnvironmentVariable("SESSIONNAME").startsWith(QLatin1String("RDP-")));
}

TEST(NativePlatformTest, ReportsTheWindowsVersionForTheDisplayFonts)
{
    const int version = platform().windowsMajorVersion();
    EXPECT_EQ(version, QOperatingSystemVersion::current().majorVersion());
    EXPECT_GE(version, 6) << "every supported Windows is Vista or later: the newer display fonts apply";
}

TEST(NativePlatformTest, ExecutableFolderHoldsTheRunningProgram)
{
    const QString folder = platform().executableFolder();
    EXPECT_FALSE(folder.endsWith(QLatin1Char('\\')));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("\\PlatformTest.exe"))) << folder.toStdString();
    EXPECT_EQ(comparable(folder), comparable(QCoreApplication::applicationDirPath()));
}

#else

// Sets an environment variable for the life of the object and restores the old value.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

struct DataHomeCase
{
    const char* xdgDataHome; // nullptr: unset
    const char* home;
    const char* expected;
};

class LocalAppDataTest : public ::testing::TestWithParam<DataHomeCase>
{
};

TEST_P(LocalAppDataTest, FollowsTheXdgRule)
{
    const DataHomeCase& c = GetParam();
    ScopedEnv xdg("XDG_DATA_HOME", c.xdgDataHome);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(platform().localAppDataFolder().toStdString(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Environment, LocalAppDataTest,
                         ::testing::Values(DataHomeCase {"/data/home", "/home/u", "/data/home"},
                                           DataHomeCase {nullptr, "/home/u", "/home/u/.local/share"},
                                           DataHomeCase {"", "/home/u", "/home/u/.local/share"},
                                           DataHomeCase {"relative/path", "/home/u", "/home/u/.local/share"}));

TEST(NativePlatformTest, MapsTheWindowsFolders)
{
    const Platform& os = platform();
    EXPECT_EQ(os.commonAppDataFolder(), QStringLiteral("/var/lib"));
    EXPECT_EQ(os.legacySettingsFolder(), QStringLiteral("/etc"));
    EXPECT_EQ(os.programFilesFallbackFolder(), QStringLiteral("/opt/Zelvan 2000"));
    EXPECT_EQ(os.pathSeparator(), QLatin1Char('/'));
    EXPECT_FALSE(os.isRemoteSession());
    EXPECT_FALSE(os.computerName().isEmpty());
    // The login name of the effective user, as the system's user database has it.
    EXPECT_EQ(os.userName().toStdString(), std::string(getpwuid(geteuid())->pw_name));
    EXPECT_GE(os.windowsMajorVersion(), 6) << "the newer display fonts apply";
}

TEST(NativePlatformTest, ExecutableFolderHoldsTheRunningProgram)
{
    const QString folder = platform().executableFolder();
    EXPECT_FALSE(folder.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/PlatformTest"))) << folder.toStdString();
}

#endif

TEST(NativePlatformTest, SetPlatformSwapsAndRestores)
{
    Platform* native = &platform();
    {
        FakePlatform fake;
        fake.computer = QStringLiteral("FAKE");
        EXPECT_EQ(&platform(), &fake);
        EXPECT_EQ(platform().computerName(), QStringLiteral("FAKE"));
    }
    EXPECT_EQ(&platform(), native);
}

TEST(NativePlatformTest, TheDailyLogLiesBesideTheExecutable)
{
    const QDateTime now = QDateTime::currentDateTime();
    setLogClock([now] { return now; });
    setLogEnabled(true);
    const QString path = logFilePath(now);
    QFile::remove(path);
    writeLog(QStringLiteral("native platform test"));
    setLogEnabled(false);
    setLogClock({});

    const QFileInfo file(path);
    EXPECT_EQ(QDir::fromNativeSeparators(file.absolutePath()).toLower(),
              QDir::fromNativeSeparators(platform().executableFolder()).toLower());
    EXPECT_EQ(file.fileName(), QStringLiteral("Kolvix_%1.log").arg(now.toString(QStringLiteral("yyyy.MM.dd"))));
    QFile log(path);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_TRUE(log.readAll().endsWith(": native platform test\r\n"));
    log.close();
    QFile::remove(path);
}

TEST(PlatformFileServicesTest, TellFilesFromFoldersAndCreateNestedFolders)
{
    QTemporaryDir root;
    const Platform& os = platform();
    const QString file = root.filePath(QStringLiteral("config.ini"));
    QFile(file).open(QIODevice::WriteOnly);

    EXPECT_TRUE(os.fileExists(file));
    EXPECT_FALSE(os.folderExists(file));
    EXPECT_TRUE(os.folderExists(root.path()));
    EXPECT_FALSE(os.fileExists(root.path())) << "a folder is no file";
    EXPECT_FALSE(os.fileExists(root.filePath(QStringLiteral("none.ini"))));
    EXPECT_FALSE(os.fileExists(QString()));
    EXPECT_FALSE(os.folderExists(QString()));

    const QString nested = root.filePath(QStringLiteral("a/Ombrix/Zelvan"));
    EXPECT_TRUE(os.createFolder(nested));
    EXPECT_TRUE(os.folderExists(nested));
    EXPECT_TRUE(os.createFolder(nested)) << "an existing folder counts as created";
    EXPECT_TRUE(os.createFolder(nested + QStringLiteral("/"))) << "a trailing separator is allowed";

    EXPECT_FALSE(os.createFolder(file + QStringLiteral("/sub"))) << "a file blocks the path";
    EXPECT_FALSE(os.createFolder(QString()));
}

} // namespace
} // namespace kolvix::test
