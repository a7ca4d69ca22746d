// A merge that meets another process's write lock waits for it up to its time-out, then
// fails, rolls back and warns, losing nothing; the program stays usable for the next merge.

#include "support/QtPrinting.h"

#include "accounts/AccountMergeModel.h"
#include "support/MergeFixture.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>

namespace kolvix::test {
namespace {

// Another program's connection that holds the write lock: BEGIN IMMEDIATE and an
// uncommitted change to a catalogue table.
class LockHolder
{
public:
    explicit LockHolder(const QString& path) { sqlite3_open(path.toUtf8().constData(), &m_db); }
    ~LockHolder()
    {
        release();
        sqlite3_close(m_db);
    }
    // Returns SQLite's message, empty on success.
    std::string exec(const char* sql)
    {
        char* error = nullptr;
        sqlite3_exec(m_db, sql, nullptr, nullptr, &error);
        const std::string message = error ? error : "";
        sqlite3_free(error);
        return message;
    }
    void lock()
    {
        ASSERT_EQ(exec("BEGIN IMMEDIATE; UPDATE Appoint SET ClientID = 57 WHERE ClientID = 57;"), "");
        m_locked = true;
    }
    void release()
    {
        if (m_locked)
            exec("ROLLBACK");
        m_locked = false;
    }

private:
    sqlite3* m_db = nullptr;
    bool m_locked = false;
};

class LockContentionTest : public MergeFixture, public ::testing::WithParamInterface<bool>
{
protected:
    void setTimeouts(int seconds)
    {
        session->cmd.setCommandTimeout(seconds);
        session->dsTemp.setCommandTimeout(seconds);
        session->dsAudit.setCommandTimeout(seconds);
        session->dsAccount.setCommandTimeout(seconds);
    }
};

class HeldLockTest : public LockContentionTest
{
};

// Param: Use Rollback.
TEST_P(HeldLockTest, FailsTheMergeWhichLosesNothingAndTheNextMergeSucceeds)
{
    session->UseRollback = GetParam();
    setTimeouts(1);
    const auto before = db.snapshot(kStampedTables);
    LockHolder other(db.path());
    other.lock();
    ASSERT_EQ(merge(), MergeOutcome::Failed);
    ASSERT_FALSE(ui.shown.isEmpty());
    // Held up before its first step, at the merge's record: nothing has been changed, which lock
    // held the merge up, and what to do.
    EXPECT_TRUE(ui.shown.last().startsWith("Warning: The merge could not start: database is locked\n"
                                           "Nothing has been changed.\n\n"
                                           "The merge waited for a lock that another connection holds on the "
                                           "database (at the statement \"INSERT INTO KolvixMerge "))
        << ui.shown.last().toStdString();
    EXPECT_TRUE(logLines().contains("failed - the merge could not start [NotStarted]"))
        << logLines().join('\n').toStdString();
    EXPECT_TRUE(ui.shown.last().endsWith("Close the other program that has the practice open, then merge again."));
    // The engine's own text: the merge met the lock, and nothing else went wrong.
    EXPECT_TRUE(logLines().contains("EXCEPTION database is locked")) << logLines().join('\n').toStdString();
    EXPECT_TRUE(ui.steps.isEmpty()) << ui.steps.join('\n').toStdString();
    EXPECT_EQ(db.snapshot(kStampedTables), before);

    other.release();
    ui.shown.clear();
    ASSERT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(ui.shown, QStringList {"Information: Clients have been successfully merged."});
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 0);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Audit"), 1); // the first attempt could not write one
}

INSTANTIATE_TEST_SUITE_P(UseRollback, HeldLockTest, ::testing::Bool());

class ReleasedLockTest : public LockContentionTest
{
};

// A lock released while the merge waits for it: the merge goes on; one that gave up at once
// would fail. The lock is taken when the user presses OK in the account dialog and released a
// moment later, while the merge is under way. Param: dry run, which writes no Audit row, so
// that the first write to meet the lock is the catalogue's, inside the transaction (the real
// merge meets it with its Audit row).
TEST_P(ReleasedLockTest, TheMergeWaitsForIt)
{
    setTimeouts(60);
    LockHolder other(db.path());
    std::thread releaser;
    ui.onEditAccounts = [&](AccountMergeModel& model) {
        other.lock();
        releaser = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            other.release();
        });
        return model.accept().isEmpty();
    };
    MergeOptions options;
    options.dryRun = GetParam();
    const MergeOutcome outcome = merge(812, 57, options);
    if (releaser.joinable())
        releaser.join();
    EXPECT_EQ(outcome, MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    ASSERT_FALSE(ui.shown.isEmpty());
    EXPECT_EQ(ui.shown.last(),
              GetParam() ? "Information: Dry run complete: every step ran and was rolled back. "
                           "Nothing was changed."
                         : "Information: Clients have been successfully merged.");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), GetParam() ? 3 : 0);
}

INSTANTIATE_TEST_SUITE_P(DryRun, ReleasedLockTest, ::testing::Bool());

} // namespace
} // namespace kolvix::test
