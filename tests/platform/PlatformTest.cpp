// The native platform on POSIX systems and the shared file-system services.

#include "platform/Platform.h"

#include "support/FakePlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace kolvix::test {
namespace {

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
    EXPECT_GE(os.windowsMajorVersion(), 6) << "the newer display fonts apply";
}

TEST(NativePlatformTest, ExecutableFolderHoldsTheRunningProgram)
{
    const QString folder = platform().executableFolder();
    EXPECT_FALSE(folder.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/PlatformTest"))) << folder.toStdString();
}

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
