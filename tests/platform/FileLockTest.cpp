// The operating system's exclusive file lock: two opens exclude each other (also within one
// process), the holder's record is readable by the others, and the lock ends with unlock().

#include "platform/FileLock.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kolvix {
namespace {

TEST(FileLockTest, ExcludesOtherOpensAndLetsThemReadTheRecord)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("db.sqlite.mergelock");
    FileLock first(path);
    ASSERT_EQ(first.tryLock(), FileLock::Result::Acquired) << first.errorString().toStdString();
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(first.write("workstation=PC01\n"));
    EXPECT_TRUE(first.write("workstation=PC02\n")); // replaces, never appends

    FileLock second(path);
    EXPECT_EQ(second.tryLock(), FileLock::Result::Busy);
    EXPECT_FALSE(second.isLocked());
    EXPECT_EQ(second.read(), "workstation=PC02\n");
    EXPECT_FALSE(second.write("stolen")); // only the holder writes

    first.unlock();
    EXPECT_EQ(second.tryLock(), FileLock::Result::Acquired);
    EXPECT_EQ(first.tryLock(), FileLock::Result::Busy);
    {
        FileLock scoped(dir.filePath("other.mergelock"));
        EXPECT_EQ(scoped.tryLock(), FileLock::Result::Acquired);
    }
    FileLock again(dir.filePath("other.mergelock"));
    EXPECT_EQ(again.tryLock(), FileLock::Result::Acquired); // the destructor released it
}

TEST(FileLockTest, AReadOnlyFileCanStillBeLocked)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("readonly.mergelock");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("workstation=PC01\n");
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    FileLock lock(path);
    EXPECT_EQ(lock.tryLock(), FileLock::Result::Acquired) << lock.errorString().toStdString();
    FileLock other(path);
    EXPECT_EQ(other.tryLock(), FileLock::Result::Busy);
    EXPECT_EQ(other.read(), "workstation=PC01\n");
}

TEST(FileLockTest, AFileInAMissingFolderFailsWithAReason)
{
    FileLock lock(QStringLiteral("/nonexistent/folder/db.mergelock"));
    EXPECT_EQ(lock.tryLock(), FileLock::Result::Failed);
    EXPECT_TRUE(lock.errorString().contains("/nonexistent/folder/db.mergelock")) << lock.errorString().toStdString();
}

} // namespace
} // namespace kolvix
