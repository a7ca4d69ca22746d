#include "core/Log.h"
#include "support/FakePlatform.h"
#include "support/ScriptedUi.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kolvix;
using namespace kolvix::test;

namespace {

class LogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        platform.exeFolder = dir.path();
        setLogClock([this] { return clock; });
        setLogFailureInterface(&ui);
    }
    void TearDown() override
    {
        setLogEnabled(false);
        setLogClock({});
        setLogServerName(QString());
        setLogFailureInterface(nullptr);
    }
    QByteArray fileOf(const char* day) const
    {
        QFile file(dir.filePath(QStringLiteral("Kolvix_%1.log").arg(day)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    FakePlatform platform;
    ScriptedUi ui;
    QDateTime clock {QDate(2026, 12, 10), QTime(10, 15, 2, 345)};
};

TEST_F(LogTest, OffWritesNothing)
{
    writeLog("merging");
    writeLogFmt("doADOQuery() EXCEPTION %s", {QString("boom")});
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(LogTest, LinesAndFileNamesFollowTheClockAcrossMidnight)
{
    setLogEnabled(true);
    writeLog("merging");
    writeLogFmt("  from: %d=%s", {812, QString("Sample, One")});
    clock = QDateTime(QDate(2026, 12, 10), QTime(23, 59, 59, 999));
    writeLog("two\nlines");
    clock = QDateTime(QDate(2026, 12, 11), QTime(0, 0, 0, 7));
    writeLogFmt("100% %d literal", {});

    EXPECT_EQ(fileOf("2026.12.10"),
              "10:15:02.345: merging\r\n"
              "10:15:02.345:   from: 812=Sample, One\r\n"
              "23:59:59.999: two\nlines\r\n");
    EXPECT_EQ(fileOf("2026.12.11"), "00:00:00.007: 100% %d literal\r\n");
}

#ifndef Q_OS_WIN
// The log holds patient names: only its owner may read it, whatever the process's umask.
TEST_F(LogTest, TheFileIsReadableByItsOwnerOnly)
{
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    auto permissions = [](const QString& path) {
        return QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    };
    setLogEnabled(true);
    writeLog("merging");
    EXPECT_EQ(permissions(dir.filePath("Kolvix_2026.12.10.log")), ownerOnly);

    // A file that others could read (written before) is narrowed when the next line is written.
    const QString older = dir.filePath("Kolvix_2026.12.11.log");
    {
        QFile file(older);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("00:00:00.000: before\r\n");
    }
    ASSERT_TRUE(QFile::setPermissions(older, ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    clock = QDateTime(QDate(2026, 12, 11), QTime(8, 0));
    writeLog("merging");
    EXPECT_EQ(permissions(older), ownerOnly);
    EXPECT_EQ(fileOf("2026.12.11"), "00:00:00.000: before\r\n08:00:00.000: merging\r\n");
}

// A link at the log's path (put there by anyone who may write the folder) would send patient
// names into the file it names: the line is not written, and the target keeps its content and
// its permissions.
TEST_F(LogTest, ALinkAtTheLogsPathIsNeverFollowed)
{
    const QString target = dir.filePath("elsewhere.txt");
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a log\n");
    }
    const QFileDevice::Permissions before = QFile::permissions(target);
    ASSERT_TRUE(QFile::link(target, dir.filePath("Kolvix_2026.12.10.log")));
    ASSERT_TRUE(QFile::link(dir.filePath("missing.txt"), dir.filePath("Kolvix_2026.12.11.log")));
    setLogEnabled(true);
    writeLog("merging Sample, One");
    clock = QDateTime(QDate(2026, 12, 11), QTime(8, 0));
    writeLog("merging Sample, One");
    EXPECT_EQ(fileOf("2026.12.10"), "not a log\n");
    EXPECT_EQ(QFile::permissions(target), before);
    EXPECT_FALSE(QFile::exists(dir.filePath("missing.txt")));
    EXPECT_TRUE(ui.shown.isEmpty());
}
#endif

TEST_F(LogTest, AFormatThatDoesNotFitLogsNothing)
{
    setLogEnabled(true);
    writeLogFmt("count %d", {QString("x")});
    EXPECT_TRUE(fileOf("2026.12.10").isEmpty());
    EXPECT_TRUE(ui.shown.isEmpty());
}

TEST_F(LogTest, AnUnwritableFolderIsSilentExceptOnTheDevelopersServer)
{
    platform.exeFolder = dir.filePath("missing/folder");
    setLogEnabled(true);
    setLogServerName("SRV1\\ZELVAN");
    writeLog("merging");
    EXPECT_TRUE(ui.shown.isEmpty());

    setLogServerName(QString::fromLatin1(kDeveloperWorkstation).toUpper() + "\\ZELVAN");
    writeLog("merging");
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].startsWith("Kolvix Utility: EXCEPTION:"));
    EXPECT_TRUE(ui.shown[0].endsWith("\nmerging"));
}

} // namespace
