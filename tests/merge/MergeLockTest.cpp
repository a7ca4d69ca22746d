// One merge at a time: the merge lock refuses a second attempt while the first is under way,
// the accounts are read again inside the transaction, a rolled-back attempt marks its Audit
// row, and a wait for another connection's lock is reported.

#include "MergeFixture.h"

#include "accounts/AccountMergeModel.h"
#include "merge/MergeLock.h"

#include <sqlite3.h>

using namespace kolvix;
using namespace kolvix::test;

namespace {

class MergeLockTest : public MergeFixture
{
protected:
    // A merge of another client pair on a connection and session of its own, as a second
    // workstation would run it.
    MergeOutcome mergeElsewhere(qint32 from, qint32 to)
    {
        Connection other;
        other.setConnectionString(db.connectionString());
        other.open();
        MergeSession otherSession(other);
        return mergeClients(otherSession, {from, "Other", "From"}, {to, "Other", "To"});
    }
};

TEST_F(MergeLockTest, ASecondMergeIsRefusedWhileTheFirstWaitsInItsDialog)
{
    db.exec("INSERT INTO Client (ClientID, Name, Surname) VALUES (300, 'Three', 'Sample');"
            "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (300, 0, 'Primary');");
    platform.computer = QStringLiteral("FRONTDESK");
    std::optional<MergeOutcome> second;
    ui.onEditAccounts = [&](AccountMergeModel& model) {
        const auto before = db.snapshot();
        second = mergeElsewhere(57, 300);
        EXPECT_EQ(db.snapshot(), before) << "the refused merge changed the database";
        return model.accept().isEmpty();
    };
    ASSERT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(*second, MergeOutcome::Refused);
    ASSERT_GE(ui.shown.size(), 2);
    const QString refusal = ui.shown.first();
    EXPECT_TRUE(refusal.startsWith("Information: Another merge is in progress: it was started on workstation "
                                   "'FRONTDESK' at "
                                   + QDate::currentDate().toString(Qt::ISODate)))
        << refusal.toStdString();
    EXPECT_TRUE(refusal.endsWith(".\nOnly one merge can run at a time. Please try again when it has finished."));
    EXPECT_TRUE(logLines().contains("cancelled - another merge is in progress [MergeLocked]"));
    EXPECT_EQ(ui.shown.last(), "Information: Clients have been successfully merged.");

    // Released with the outcome: the next merge runs.
    ui.onEditAccounts = nullptr;
    EXPECT_EQ(mergeElsewhere(57, 300), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 300"), 4);
}

TEST_F(MergeLockTest, EveryEndOfAnAttemptReleasesTheLock)
{
    // Refused by a check, cancelled, failed: each time the next attempt can take the lock.
    MergeLock probe(connection);
    EXPECT_EQ(merge(812, 812), MergeOutcome::Refused);
    EXPECT_TRUE(probe.tryAcquire());
    probe.release();
    ui.answerYes = false;
    EXPECT_EQ(merge(), MergeOutcome::Cancelled);
    EXPECT_TRUE(probe.tryAcquire());
    probe.release();
    ui.answerYes = true;
    db.exec("CREATE TRIGGER fail BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ABORT, 'quotes are locked'); END;");
    EXPECT_EQ(merge(), MergeOutcome::Failed);
    EXPECT_TRUE(probe.tryAcquire());

    // While the probe holds it, the merge is refused before any check runs.
    ui.shown.clear();
    const auto before = db.snapshot();
    EXPECT_EQ(merge(), MergeOutcome::Refused);
    EXPECT_EQ(db.snapshot(), before);
    EXPECT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(logLines().last(), "cancelled - another merge is in progress [MergeLocked]");
}

TEST_F(MergeLockTest, ALockFileThatCannotBeCreatedRefusesTheMerge)
{
    QDir(db.folder()).mkdir(QFileInfo(MergeLock::lockFilePath(db.path())).fileName());
    EXPECT_EQ(merge(), MergeOutcome::Refused);
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown.first().startsWith(
        "Information: The merge lock could not be taken, so the merge cannot start: cannot open '"))
        << ui.shown.first().toStdString();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Audit"), 0);
}

TEST_F(MergeLockTest, AccountsChangedAfterTheMappingRefuseTheMergeAndChangeNothing)
{
    // Another program adds an account to the To client while the user settles the mapping.
    QMap<QString, QStringList> before;
    ui.onEditAccounts = [&](AccountMergeModel& model) {
        db.exec("INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (57, 5, 'Late')");
        before = db.snapshot({"Audit"});
        return model.accept().isEmpty();
    };
    for (const bool useRollback : {true, false}) {
        SCOPED_TRACE(useRollback ? "Use Rollback on" : "Use Rollback off");
        db.exec("DELETE FROM Account WHERE ClientID = 57 AND AccountID = 5; DELETE FROM Audit;");
        session->UseRollback = useRollback;
        ui.shown.clear();
        EXPECT_EQ(merge(), MergeOutcome::Refused);
        EXPECT_EQ(db.snapshot({"Audit"}), before);
        EXPECT_EQ(ui.shown,
                  QStringList {"Information: The accounts of the clients changed while the merge was being "
                               "prepared (another merge or another user changed them).\nNothing has been "
                               "changed. Please start the merge again."});
        EXPECT_EQ(logLines().last(), "cancelled - the accounts changed after they were mapped [AccountsChanged]");
        EXPECT_EQ(db.scalar("SELECT Action FROM Audit"), "Merge 812 > 57 (Sample, One > Sample, Two) - reverted");
        EXPECT_FALSE(connection.inTransaction());
    }
}

TEST_F(MergeLockTest, ARolledBackMergeMarksItsAuditRowWithinTheColumn)
{
    db.exec("CREATE TRIGGER fail BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ABORT, 'quotes are locked'); END;");
    ASSERT_EQ(merge(), MergeOutcome::Failed);
    EXPECT_EQ(db.scalar("SELECT Action FROM Audit"), "Merge 812 > 57 (Sample, One > Sample, Two) - reverted");

    // A long header is cut so that the mark fits the column's 100 characters.
    const QString longName = QString(60, QLatin1Char('N'));
    db.exec(
        QStringLiteral("DELETE FROM Audit; UPDATE Client SET Name = '%1' WHERE ClientID IN (812, 57)").arg(longName));
    ASSERT_EQ(merge(), MergeOutcome::Failed);
    const QString action = db.scalar("SELECT Action FROM Audit");
    EXPECT_EQ(action.size(), 100);
    EXPECT_TRUE(action.endsWith("N > Sa - reverted")) << action.toStdString();
    EXPECT_TRUE(action.startsWith("Merge 812 > 57 (Sample, NNN"));

    // Without the transaction nothing is reverted, and the row says what was attempted.
    db.exec("DELETE FROM Audit");
    session->UseRollback = false;
    ASSERT_EQ(merge(), MergeOutcome::Failed);
    EXPECT_FALSE(db.scalar("SELECT Action FROM Audit").contains("reverted"));
}

// Another program's connection that holds the write lock.
class WriteLockHolder
{
public:
    explicit WriteLockHolder(const QString& path)
    {
        sqlite3_open(path.toUtf8().constData(), &m_db);
        sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    ~WriteLockHolder()
    {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(m_db);
    }

private:
    sqlite3* m_db = nullptr;
};

TEST_F(MergeLockTest, AWaitForAnotherConnectionsLockIsReportedAndNamedWhenItFails)
{
    // Time-outs of 3 s: long enough for the 2 s notice, short enough for a test.
    for (Dataset* ds : {&session->dsTemp, &session->dsAudit, &session->dsAccount})
        ds->setCommandTimeout(3);
    session->cmd.setCommandTimeout(3);
    connection.setCommandTimeout(3);
    WriteLockHolder other(db.path());
    EXPECT_EQ(merge(), MergeOutcome::Failed);
    EXPECT_GE(ui.lockWaits.load(), 1);
    EXPECT_EQ(ui.lockWaitFailures.join('\n').toStdString(),
              "the Audit row was not written: database is locked\n"
              "the transaction could not begin: database is locked");

    // Without the transaction each step takes the write lock for itself; the first one waits.
    ui.lockWaitFailures.clear();
    session->UseRollback = false;
    EXPECT_EQ(merge(), MergeOutcome::Failed);
    EXPECT_EQ(ui.lockWaitFailures.join('\n').toStdString(),
              "the Audit row was not written: database is locked\n"
              "a statement could not be run: database is locked");
}

// Another program's connection in the middle of a read: the commit waits for it to finish.
TEST_F(MergeLockTest, ACommitThatWaitsForAReaderIsReportedAndRolledBackWhenItFails)
{
    for (Dataset* ds : {&session->dsTemp, &session->dsAudit, &session->dsAccount})
        ds->setCommandTimeout(3);
    session->cmd.setCommandTimeout(3);
    connection.setCommandTimeout(3);
    sqlite3* reader = nullptr;
    sqlite3_open(db.path().toUtf8().constData(), &reader);
    sqlite3_stmt* read = nullptr;
    ui.onEditAccounts = [&](AccountMergeModel& model) {
        // The read stays open until the merge has ended.
        sqlite3_exec(reader, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(reader, "SELECT ClientID FROM Client", -1, &read, nullptr);
        EXPECT_EQ(sqlite3_step(read), SQLITE_ROW);
        return model.accept().isEmpty();
    };
    const auto before = db.snapshot({"Audit"});
    EXPECT_EQ(merge(), MergeOutcome::Failed);
    sqlite3_finalize(read);
    sqlite3_exec(reader, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    EXPECT_GE(ui.lockWaits.load(), 1);
    // The Audit row, written on its own, also needs the reader gone; the merge goes on without it.
    EXPECT_EQ(ui.lockWaitFailures.join('\n').toStdString(),
              "the Audit row was not written: database is locked\n"
              "the changes could not be committed: database is locked");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Audit"), 0);
    EXPECT_EQ(db.snapshot({"Audit"}), before);
    EXPECT_EQ(ui.shown.last(), "Warning: Some data could not be transferred.\nPatient details have been reverted.");
}

TEST_F(MergeLockTest, AMergeThatDoesNotWaitReportsNoLockWait)
{
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    EXPECT_EQ(ui.lockWaits.load(), 0);
    EXPECT_TRUE(ui.lockWaitFailures.isEmpty());
}

} // namespace
