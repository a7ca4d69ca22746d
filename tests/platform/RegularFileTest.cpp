// The program's own files in folders that others may write: a regular file is created, read,
// replaced and appended to; anything else at the path is refused and left exactly as it was.

#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kolvix {
namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(RegularFileTest, CreatesReadsReplacesAndAppends)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("practice.db.mergelock");
    RegularFile missing;
    EXPECT_EQ(missing.open(path, RegularFile::Mode::Read), RegularFile::Status::Missing);
    EXPECT_FALSE(QFile::exists(path));

    RegularFile file;
    ASSERT_EQ(file.open(path, RegularFile::Mode::ReadWrite), RegularFile::Status::Opened)
        << file.errorString().toStdString();
    EXPECT_TRUE(file.replace("workstation=PC01\nstarted=2026-12-11 08:00:00\n"));
    EXPECT_TRUE(file.replace("workstation=PC02\n")); // replaces, never appends
    EXPECT_EQ(file.read(4096), "workstation=PC02\n");
    EXPECT_EQ(file.read(4), "work");
    file.close();

    RegularFile log;
    ASSERT_EQ(log.open(path, RegularFile::Mode::Append, true), RegularFile::Status::Opened);
    EXPECT_TRUE(log.append("one\r\n"));
    EXPECT_TRUE(log.append("two\r\n"));
    log.close();
    EXPECT_EQ(contentOf(path), "workstation=PC02\none\r\ntwo\r\n");
#ifndef Q_OS_WIN
    struct stat info
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u) << "an owner-only open narrows a file that others could read";
#endif
}

#ifndef Q_OS_WIN
// Whatever stands at the path, in every mode: refused, named, and nothing at the path or
// behind it is created, emptied or written.
TEST(RegularFileTest, RefusesEverythingButARegularFileOfItsOwnAndTouchesNothing)
{
    struct Case
    {
        const char* what;
        std::function<void(const QString& at, const QString& victim)> make;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"a symbolic link to a file", [](const QString& at, const QString& victim) { QFile::link(victim, at); },
         "a symbolic link"},
        {"a dangling symbolic link",
         [](const QString& at, const QString& victim) { QFile::link(victim + ".missing", at); }, "a symbolic link"},
        {"a hard link to a file",
         [](const QString& at, const QString& victim) {
             ASSERT_EQ(::link(QFile::encodeName(victim).constData(), QFile::encodeName(at).constData()), 0);
         },
         "hard links"},
        {"a folder", [](const QString& at, const QString&) { QDir().mkdir(at); }, "a folder"},
        {"a named pipe",
         [](const QString& at, const QString&) { ASSERT_EQ(::mkfifo(QFile::encodeName(at).constData(), 0600), 0); },
         "a pipe"},
        {"a symbolic link to a device", [](const QString& at, const QString&) { QFile::link("/dev/zero", at); },
         "a symbolic link"},
    };
    for (const Case& c : cases) {
        for (const RegularFile::Mode mode :
             {RegularFile::Mode::Read, RegularFile::Mode::ReadWrite, RegularFile::Mode::Append}) {
            SCOPED_TRACE(std::string(c.what) + ", mode " + std::to_string(int(mode)));
            QTemporaryDir dir;
            const QString victim = dir.filePath("practice.db");
            {
                QFile file(victim);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                file.write("precious");
            }
            const QString at = dir.filePath("practice.db.mergelock");
            c.make(at, victim);
            const QStringList before
                = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);

            RegularFile file;
            EXPECT_EQ(file.open(at, mode), RegularFile::Status::NotRegular);
            EXPECT_FALSE(file.isOpen());
            EXPECT_TRUE(file.errorString().contains(at)) << file.errorString().toStdString();
            EXPECT_TRUE(file.errorString().contains(QLatin1String(c.says))) << file.errorString().toStdString();
            EXPECT_FALSE(file.replace("written"));
            EXPECT_EQ(contentOf(victim), "precious");
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), before);
        }
    }
}
#endif

} // namespace
} // namespace kolvix
