// The lock on a database file: two holders exclude each other (also within one process and
// through any name of the file), nothing is written or created, and the database engine's own
// locks on the file survive it.

#include "platform/FileLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace kolvix {
namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class FileLockTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("practice.db");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("database content");
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(FileLockTest, ExcludesEveryOtherHolderAndWritesNothing)
{
    const QDateTime modified = QFileInfo(path).lastModified();
    FileLock first(path);
    ASSERT_EQ(first.tryLock(), FileLock::Result::Acquired) << first.errorString().toStdString();
    FileLock second(path);
    EXPECT_EQ(second.tryLock(), FileLock::Result::Busy);
    EXPECT_FALSE(second.isLocked());

    first.unlock();
    EXPECT_EQ(second.tryLock(), FileLock::Result::Acquired);
    EXPECT_EQ(first.tryLock(), FileLock::Result::Busy);
    second.unlock();
    {
        FileLock scoped(path);
        EXPECT_EQ(scoped.tryLock(), FileLock::Result::Acquired);
    }
    EXPECT_EQ(first.tryLock(), FileLock::Result::Acquired); // the destructor released it
    first.unlock();

    EXPECT_EQ(contentOf(path), "database content");
    EXPECT_EQ(QFileInfo(path).lastModified(), modified);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden), QStringList {"practice.db"});
}

#ifndef Q_OS_WIN
TEST_F(FileLockTest, EveryNameOfTheFileMeetsTheSameLock)
{
    ASSERT_TRUE(QFile::link(path, dir.filePath("symbolic.db")));
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.filePath("hard.db")).constData()), 0);
    FileLock held(path);
    ASSERT_EQ(held.tryLock(), FileLock::Result::Acquired);
    for (const char* name : {"symbolic.db", "hard.db"}) {
        FileLock other(dir.filePath(name));
        EXPECT_EQ(other.tryLock(), FileLock::Result::Busy) << name;
    }
    held.unlock();
    FileLock throughLink(dir.filePath("hard.db"));
    ASSERT_EQ(throughLink.tryLock(), FileLock::Result::Acquired);
    EXPECT_EQ(held.tryLock(), FileLock::Result::Busy);
}

// POSIX drops a process's record locks on a file when the process closes any descriptor of
// it: the engine's write lock taken in this process must still hold another process off after
// the lock was taken, released and its object destroyed.
TEST_F(FileLockTest, TheDatabaseEnginesOwnLocksSurviveIt)
{
    const QString sqlite3Tool = QStandardPaths::findExecutable("sqlite3");
    if (sqlite3Tool.isEmpty())
        GTEST_SKIP() << "the sqlite3 command-line tool is needed to hold a lock in another process";
    const QString database = dir.filePath("engine.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(database.toUtf8().constData(), &db), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(db, "CREATE TABLE t (x); BEGIN IMMEDIATE; INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr),
        SQLITE_OK);
    {
        FileLock lock(database);
        ASSERT_EQ(lock.tryLock(), FileLock::Result::Acquired) << lock.errorString().toStdString();
    }
    QProcess other;
    other.start(sqlite3Tool, {database, "BEGIN IMMEDIATE; SELECT 'got the write lock';"});
    ASSERT_TRUE(other.waitForFinished(10000));
    EXPECT_FALSE(other.readAllStandardOutput().contains("got the write lock"));
    EXPECT_TRUE(other.readAllStandardError().contains("locked")) << "the engine's write lock was dropped";
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}
#endif

TEST_F(FileLockTest, AMissingFileOrAFolderFailsWithAReasonAndNothingIsCreated)
{
    for (const QString& target : {dir.filePath("missing.db"), dir.path()}) {
        FileLock lock(target);
        EXPECT_EQ(lock.tryLock(), FileLock::Result::Failed) << target.toStdString();
        EXPECT_TRUE(lock.errorString().contains(target)) << lock.errorString().toStdString();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("missing.db")));
}

} // namespace
} // namespace kolvix
