// One merge at a time: the merge lock refuses a second attempt while the first is under way,
// the accounts are read again inside the transaction, a rolled-back attempt marks its Audit
// row, and a wait for another connection's lock is reported.

#include "support/MergeFixture.h"

#include "accounts/AccountMergeModel.h"
#include "ledger/MergeHistory.h"
#include "merge/MergeLock.h"
#include "merge/MergeUndo.h"

#include <QElapsedTimer>
#include <sqlite3.h>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

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
        MergeSession otherSession(other, ui);
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

// Whatever sits where the lock's record belongs (put there by anyone who may write the
// database's folder) refuses the merge with a reason, never blocks, and is left as it was,
// and so is the file it may point at: the database itself above all.
TEST_F(MergeLockTest, AnythingButARegularFileAtTheRecordsPathRefusesTheMergeAndIsLeftAlone)
{
    const QString record = MergeLock::lockFilePath(db.path());
    const QString other = QDir(db.folder()).filePath("other.txt");
    struct Case
    {
        const char* what;
        std::function<void()> make;
    };
    std::vector<Case> cases = {
        {"a folder", [&] { QDir().mkdir(record); }},
#ifndef Q_OS_WIN
        {"a symbolic link to the database", [&] { QFile::link(db.path(), record); }},
        {"a symbolic link to another file", [&] { QFile::link(other, record); }},
        {"a dangling symbolic link", [&] { QFile::link(other + ".missing", record); }},
        {"a hard link to another file",
         [&] { ::link(QFile::encodeName(other).constData(), QFile::encodeName(record).constData()); }},
        {"a named pipe", [&] { ::mkfifo(QFile::encodeName(record).constData(), 0600); }},
        {"a symbolic link to a device", [&] { QFile::link("/dev/zero", record); }},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            QFile file(other);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("another file\n");
        }
        c.make();
        ASSERT_TRUE(QFileInfo(record).isSymLink() || QFileInfo::exists(record));
        QFile database(db.path());
        ASSERT_TRUE(database.open(QIODevice::ReadOnly));
        const QByteArray databaseBytes = database.readAll();
        database.close();
        ui.shown.clear();

        EXPECT_EQ(merge(), MergeOutcome::Refused);
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_TRUE(ui.shown.first().startsWith("Information: The merge lock could not be taken, so the merge "
                                                "cannot start: '"
                                                + record + "' is not a regular file ("))
            << ui.shown.first().toStdString();
        EXPECT_TRUE(ui.shown.first().endsWith(". Nothing has been changed: remove it, then merge again."));
        ASSERT_TRUE(database.open(QIODevice::ReadOnly));
        EXPECT_EQ(database.readAll(), databaseBytes);
        database.close();
        QFile otherFile(other);
        ASSERT_TRUE(otherFile.open(QIODevice::ReadOnly));
        EXPECT_EQ(otherFile.readAll(), "another file\n");
        EXPECT_FALSE(QFile::exists(other + ".missing"));
        EXPECT_EQ(db.count("SELECT COUNT(*) FROM Audit"), 0);

        QFileInfo(record).isDir() ? QDir().rmdir(record) : QFile::remove(record);
    }
    // With the path free again the merge runs and leaves a record of its own, emptied.
    EXPECT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_TRUE(QFileInfo(record).isFile());
    EXPECT_EQ(QFileInfo(record).size(), 0);
}

#ifndef Q_OS_WIN
// The lock is the database file's, however the path is spelled: a merge through a symbolic
// link, a hard link, or after the record file was deleted meets it.
TEST_F(MergeLockTest, EveryPathToTheDatabaseMeetsTheSameLock)
{
    const QString symbolic = QDir(db.folder()).filePath("symbolic.db");
    const QString hard = QDir(db.folder()).filePath("hard.db");
    ASSERT_TRUE(QFile::link(db.path(), symbolic));
    ASSERT_EQ(::link(QFile::encodeName(db.path()).constData(), QFile::encodeName(hard).constData()), 0);
    auto mergeThrough = [&](const QString& path) {
        Connection other;
        other.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=%1;").arg(path));
        other.open();
        MergeSession otherSession(other, ui);
        return mergeClients(otherSession, {57, "Other", "From"}, {812, "Other", "To"});
    };
    std::vector<std::pair<QString, MergeOutcome>> seen;
    ui.onEditAccounts = [&](AccountMergeModel& model) {
        const auto before = db.snapshot();
        seen.emplace_back("symbolic link", mergeThrough(symbolic));
        seen.emplace_back("hard link", mergeThrough(hard));
        QFile::remove(MergeLock::lockFilePath(db.path()));
        seen.emplace_back("deleted record", mergeThrough(db.path()));
        EXPECT_EQ(db.snapshot(), before) << "a refused merge changed the database";
        return model.accept().isEmpty();
    };
    ASSERT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    ASSERT_EQ(seen.size(), 3u);
    for (const auto& [way, outcome] : seen)
        EXPECT_EQ(outcome, MergeOutcome::Refused) << way.toStdString();
    int refusals = 0;
    for (const QString& shown : ui.shown)
        refusals += shown.startsWith("Information: Another merge is in progress: it was started on ") ? 1 : 0;
    EXPECT_EQ(refusals, 3);
}
#endif

TEST_F(MergeLockTest, AccountsChangedAfterTheMappingRefuseTheMergeAndChangeNothing)
{
    // Another program adds an account to the To client while the user settles the mapping.
    QMap<QString, QStringList> before;
    ui.onEditAccounts = [&](AccountMergeModel& model) {
        db.exec("INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (57, 5, 'Late')");
        before = db.snapshot(kStampedTables);
        return model.accept().isEmpty();
    };
    for (const bool useRollback : {true, false}) {
        SCOPED_TRACE(useRollback ? "Use Rollback on" : "Use Rollback off");
        db.exec("DELETE FROM Account WHERE ClientID = 57 AND AccountID = 5; DELETE FROM Audit;");
        session->UseRollback = useRollback;
        ui.shown.clear();
        EXPECT_EQ(merge(), MergeOutcome::Refused);
        EXPECT_EQ(db.snapshot(kStampedTables), before);
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
    // The merge's record is written with the Audit row, before the transaction: it waits next.
    EXPECT_EQ(ui.lockWaitFailures.join('\n').toStdString(),
              "the Audit row was not written: database is locked\n"
              "the record of the merge was not written: database is locked");

    // Without the transaction each write takes the write lock for itself, in the same order.
    ui.lockWaitFailures.clear();
    session->UseRollback = false;
    EXPECT_EQ(merge(), MergeOutcome::Failed);
    EXPECT_EQ(ui.lockWaitFailures.join('\n').toStdString(),
              "the Audit row was not written: database is locked\n"
              "the record of the merge was not written: database is locked");
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
    ui.onStep = [&](int step) {
        // The read begins while the merge runs and stays open until the merge has ended.
        if (step != 1)
            return;
        sqlite3_exec(reader, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(reader, "SELECT ClientID FROM Client", -1, &read, nullptr);
        EXPECT_EQ(sqlite3_step(read), SQLITE_ROW);
    };
    const auto before = db.snapshot(kStampedTables);
    EXPECT_EQ(merge(), MergeOutcome::Failed);
    ui.onStep = nullptr;
    sqlite3_finalize(read);
    sqlite3_exec(reader, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    EXPECT_GE(ui.lockWaits.load(), 1);
    EXPECT_EQ(ui.lockWaitFailures.join('\n').toStdString(), "the changes could not be committed: database is locked");
    EXPECT_EQ(db.snapshot(kStampedTables), before);
    EXPECT_TRUE(ui.shown.last().startsWith(
        "Warning: Some data could not be transferred.\nPatient details have been reverted.\n\n"))
        << ui.shown.last().toStdString();
    EXPECT_TRUE(ui.shown.last().endsWith(
        "The merge waited for a lock that another connection holds on the database (to commit the changes, "
        "which waits until other connections stop reading) and gave up.\n"
        "Close the other program that has the practice open, then merge again."))
        << ui.shown.last().toStdString();
    // The reader held on while the outcome was written too: the record, written before it came,
    // still reads as what the attempt was.
    EXPECT_EQ(readMergeHistory(connection).front().stateText(), "did not complete, nothing changed");
}

// A reader that never ends: however long each statement may wait, the merge as a whole waits
// at most the limit, then rolls back and says which lock held it up. The Audit row, written
// before the reader came, cannot be marked while the reader holds on: the outcome says so.
TEST_F(MergeLockTest, AHeldReaderEndsTheMergeWithinTheLimitAndTheOutcomeSaysWhatHappened)
{
    connection.setLockWaitLimit(std::chrono::seconds(3)); // statements keep their 30 s and 60 s
    sqlite3* reader = nullptr;
    sqlite3_open(db.path().toUtf8().constData(), &reader);
    sqlite3_stmt* read = nullptr;
    ui.onStep = [&](int step) {
        if (step != 1 || read)
            return;
        sqlite3_exec(reader, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(reader, "SELECT ClientID FROM Client", -1, &read, nullptr);
        EXPECT_EQ(sqlite3_step(read), SQLITE_ROW);
    };
    const auto before = db.snapshot(kStampedTables);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(merge(), MergeOutcome::Failed);
    const qint64 took = clock.elapsed();
    sqlite3_finalize(read);
    sqlite3_exec(reader, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(reader);

    EXPECT_LT(took, 25000) << "the merge waited past its limit, up to a statement's own time-out";
    EXPECT_GE(ui.lockWaits.load(), 1);
    EXPECT_EQ(db.snapshot(kStampedTables), before);
    EXPECT_EQ(db.scalar("SELECT Action FROM Audit"), "Merge 812 > 57 (Sample, One > Sample, Two)");
    ASSERT_FALSE(ui.shown.isEmpty());
    EXPECT_EQ(ui.shown.last().toStdString(),
              "Warning: Some data could not be transferred.\nPatient details have been reverted.\n\n"
              "The Audit row of this attempt (1) could not be marked as reverted: database is locked\n\n"
              "The merge waited for a lock that another connection holds on the database (to commit the changes, "
              "which waits until other connections stop reading) and gave up.\n"
              "Close the other program that has the practice open, then merge again.");
    EXPECT_TRUE(logLines().contains("the Audit row 1 could not be marked as reverted: database is locked"))
        << logLines().join('\n').toStdString();
}

// The undo keeps the merge's bound: behind a reader that never ends it gives up within the limit,
// rolls back and says which lock held it up, as a merge does.
TEST_F(MergeLockTest, AHeldReaderEndsTheUndoWithinTheLimitAsItEndsAMerge)
{
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    const int audit = int(db.count("SELECT MAX(AuditID) FROM Audit"));
    connection.setLockWaitLimit(std::chrono::seconds(3)); // statements keep their 30 s and 60 s
    const std::unique_ptr<UndoPlan> plan = planUndo(*session, audit);
    ASSERT_TRUE(plan) << ui.shown.join('\n').toStdString();
    sqlite3* reader = nullptr;
    sqlite3_open(db.path().toUtf8().constData(), &reader);
    sqlite3_stmt* read = nullptr;
    sqlite3_exec(reader, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(reader, "SELECT ClientID FROM Client", -1, &read, nullptr);
    EXPECT_EQ(sqlite3_step(read), SQLITE_ROW);
    const auto merged = db.snapshot();
    ui.lockWaits = 0;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(executeUndo(*session, *plan), MergeOutcome::Failed);
    const qint64 took = clock.elapsed();
    sqlite3_finalize(read);
    sqlite3_exec(reader, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(reader);

    EXPECT_LT(took, 25000) << "the undo waited past its limit, up to a statement's own time-out";
    EXPECT_GE(ui.lockWaits.load(), 1);
    EXPECT_EQ(ui.lockWaitFailures.last(), "the changes could not be committed: database is locked");
    EXPECT_EQ(db.snapshot(), merged);
    EXPECT_EQ(ui.shown.last().toStdString(),
              QStringLiteral("Warning: Merge %1 could not be undone: database is locked\nNothing has been changed.\n\n"
                             "The undo waited for a lock that another connection holds on the database (to commit "
                             "the changes, which waits until other connections stop reading) and gave up.\n"
                             "Close the other program that has the practice open, then undo the merge again.")
                  .arg(audit)
                  .toStdString());
}

// Without the transaction each step commits on its own and waits for a reader to end: that
// wait is announced like any other, and bounded by the same limit.
TEST_F(MergeLockTest, AStepThatWaitsWithoutTheTransactionIsAnnouncedAndBounded)
{
    session->UseRollback = false;
    connection.setLockWaitLimit(std::chrono::seconds(3));
    sqlite3* reader = nullptr;
    sqlite3_open(db.path().toUtf8().constData(), &reader);
    sqlite3_stmt* read = nullptr;
    int waitsBefore = -1;
    ui.onStep = [&](int step) {
        if (step != 2 || read)
            return;
        waitsBefore = ui.lockWaits.load();
        sqlite3_exec(reader, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(reader, "SELECT ClientID FROM Client", -1, &read, nullptr);
        EXPECT_EQ(sqlite3_step(read), SQLITE_ROW);
    };
    EXPECT_EQ(merge(), MergeOutcome::Failed);
    sqlite3_finalize(read);
    sqlite3_exec(reader, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    EXPECT_EQ(waitsBefore, 0);
    EXPECT_GE(ui.lockWaits.load(), 1);
    ASSERT_FALSE(ui.shown.isEmpty());
    // The step's first write is its ledger rows.
    EXPECT_TRUE(ui.shown.last().startsWith("Warning: Some data could not be transferred.\n\nThe merge waited for a "
                                           "lock that another connection holds on the database (at the statement "
                                           "\"INSERT INTO KolvixMergeRow"))
        << ui.shown.last().toStdString();
    EXPECT_TRUE(ui.shown.last().endsWith("Close the other program that has the practice open, then merge again."));
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 3) << "the step that gave up changed rows";
}

// After some failures (a full disk, an I/O error) the engine ends the transaction itself,
// as a trigger's RAISE(ROLLBACK) does here: the merge must not then fail to roll back, but
// say plainly that nothing moved, and mark its Audit row.
TEST_F(MergeLockTest, AFailureThatEndsTheTransactionInTheEngineRevertsAndSaysSo)
{
    db.exec("CREATE TRIGGER full BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ROLLBACK, 'database or disk is full'); "
            "END;");
    const auto before = db.snapshot(kStampedTables);
    EXPECT_EQ(merge(), MergeOutcome::Failed);
    EXPECT_EQ(db.snapshot(kStampedTables), before);
    ASSERT_FALSE(ui.shown.isEmpty());
    EXPECT_EQ(ui.shown.last().toStdString(),
              "Warning: Some data could not be transferred.\nPatient details have been reverted.");
    EXPECT_EQ(db.scalar("SELECT Action FROM Audit"), "Merge 812 > 57 (Sample, One > Sample, Two) - reverted");
    EXPECT_TRUE(logLines().contains("EXCEPTION database or disk is full")) << logLines().join('\n').toStdString();
    EXPECT_FALSE(connection.inTransaction());
}

TEST_F(MergeLockTest, AMergeThatDoesNotWaitReportsNoLockWait)
{
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    EXPECT_EQ(ui.lockWaits.load(), 0);
    EXPECT_TRUE(ui.lockWaitFailures.isEmpty());
}

} // namespace
