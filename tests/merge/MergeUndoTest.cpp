// Undoing a merge from its ledger: the database comes back exactly as it was, or the undo
// refuses and changes nothing.

#include "support/MergeFixture.h"
#include "support/QtPrinting.h"

#include "accounts/AccountMergeModel.h"

#include "ledger/MergeHistory.h"
#include "merge/MergeUndo.h"

using namespace kolvix;
using namespace kolvix::test;

namespace {

class MergeUndoTest : public MergeFixture
{
protected:
    // The undo as a front end runs it: plan, the scripted answer, execute.
    MergeOutcome undo(int auditId, bool dryRun = false)
    {
        const std::unique_ptr<UndoPlan> plan = planUndo(*session, auditId);
        if (!plan)
            return MergeOutcome::Refused;
        if (!ui.confirm(plan->confirmationText()))
            return cancelUndo(*plan);
        return executeUndo(*session, *plan, dryRun);
    }

    int lastMergeAudit() { return int(db.count("SELECT MAX(AuditID) FROM Audit WHERE Action LIKE 'Merge %'")); }

    QString stateOf(int auditId)
    {
        for (const MergeHistoryEntry& entry : readMergeHistory(connection))
            if (entry.auditId == auditId)
                return entry.stateText();
        return "missing";
    }

    QMap<QString, QStringList> productTables() const { return db.snapshot(kNotProductTables); }
};

struct UndoCase
{
    const char* name;
    bool useRollback;
    const char* extraSql; // before the merge
    int mergeAccount2Into = -1; // the To account the From client's account 2 is merged into; -1: as proposed
};

class ExactUndoTest : public MergeUndoTest, public ::testing::WithParamInterface<UndoCase>
{
};

// The example pair moves rows of every kind: moved rows, an added account, the To client's
// permission that the clean-up deleted, a pending-client row that came to refer to itself.
TEST_P(ExactUndoTest, MergeThenUndoGivesBackEveryTableExactly)
{
    session->UseRollback = GetParam().useRollback;
    if (*GetParam().extraSql)
        db.exec(GetParam().extraSql);
    if (GetParam().mergeAccount2Into >= 0)
        ui.onEditAccounts = [](AccountMergeModel& model) {
            AccountMergeModel::Row* row = model.rowForAccount(2);
            row->action = AccountMergeModel::Merge;
            for (size_t i = 0; i < row->destinations.size(); ++i)
                if (row->destinations[i].second == GetParam().mergeAccount2Into)
                    row->destinationIndex = int(i);
            return model.accept().isEmpty();
        };
    const auto before = productTables();

    ASSERT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    const int audit = lastMergeAudit();
    ASSERT_NE(productTables(), before);
    // One ledger row for each row the merge changed, and no more.
    int changed = 0;
    for (const QString& step : ui.steps)
        changed += step.section(' ', 2).toInt();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM KolvixMergeRow"), changed);
    EXPECT_EQ(stateOf(audit), "merged");

    ui.shown.clear();
    ASSERT_EQ(undo(audit), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(productTables(), before);
    EXPECT_TRUE(stateOf(audit).startsWith("undone ")) << stateOf(audit).toStdString();
    EXPECT_EQ(db.scalar("SELECT Action FROM Audit WHERE Action LIKE 'Undo%'"),
              QStringLiteral("Undo merge %1: 812 > 57 (Sample, One > Sample, Two)").arg(audit));
    EXPECT_EQ(ui.shown.last(),
              QStringLiteral("Information: Merge %1 has been undone: the rows it moved from 'Sample, "
                             "One' to 'Sample, Two' are back with 'Sample, One'.")
                  .arg(audit));

    // Once undone, never again.
    ui.shown.clear();
    EXPECT_EQ(undo(audit), MergeOutcome::Refused);
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].contains("An undone merge cannot be undone again.")) << ui.shown[0].toStdString();
    EXPECT_EQ(productTables(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExactUndoTest,
    ::testing::Values(
        UndoCase {"Rollback", true, ""}, UndoCase {"NoRollback", false, ""},
        UndoCase {"TablesMissing", true, "DROP TABLE XRay; DROP TABLE InvoiceActivityLog; DROP TABLE PXExceptionLog;"},
        // Rows told apart by all their values, two of them alike.
        UndoCase {"NoPrimaryKey", true,
                  "INSERT INTO Appoint (ClientID) VALUES (812);"
                  "CREATE TABLE AppointCopy AS SELECT * FROM Appoint; DROP TABLE Appoint;"
                  "ALTER TABLE AppointCopy RENAME TO Appoint;"},
        // The account-keyed table keyed by two columns.
        UndoCase {"CompositeKey", false,
                  "CREATE TABLE TransCopy (TransID INTEGER, Part INTEGER, ClientID INTEGER, AccountID INTEGER, "
                  "Amount REAL, PRIMARY KEY (TransID, Part));"
                  "INSERT INTO TransCopy SELECT TransID, 1, ClientID, AccountID, Amount FROM Trans;"
                  "DROP TABLE Trans; ALTER TABLE TransCopy RENAME TO Trans;"},
        // Rows that nothing tells apart, in a table without a key: four of the From client's and
        // one alike of the To client's. As many go back as the merge moved.
        UndoCase {"IdenticalRowsWithoutKey", true,
                  "CREATE TABLE DocumentsCopy AS SELECT ClientID, Title, FileName, CreatedDate FROM Documents;"
                  "DROP TABLE Documents; ALTER TABLE DocumentsCopy RENAME TO Documents;"
                  "INSERT INTO Documents (ClientID, Title) VALUES (812, 'Referral'), (812, 'Referral'), "
                  "(812, 'Referral'), (812, 'Referral'), (57, 'Referral');"},
        // The From accounts land on To accounts of other ids, so that the record must keep the
        // From account of every moved row, not the one it went to: account 2 matched by name
        // with the To client's account 3; merged into the primary account by hand; added as a new
        // account under another id, 2 being taken.
        UndoCase {"MatchedOntoAnotherId", true,
                  "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (57, 3, 'WorkCover');"},
        UndoCase {"MergedIntoThePrimary", false, "", 0},
        UndoCase {"AddedUnderANewId", true,
                  "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (57, 2, 'Private');"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MergeUndoTest, ChainedMergesUndoNewestFirst)
{
    db.exec("INSERT INTO Client (ClientID, Name, Surname, Active) VALUES (60, 'Three', 'Sample', 'T');"
            "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (60, 0, 'Primary');");
    const auto before = productTables();
    ASSERT_EQ(merge(812, 57), MergeOutcome::Merged);
    const int first = lastMergeAudit();
    ASSERT_EQ(merge(57, 60), MergeOutcome::Merged);
    const int second = lastMergeAudit();

    ui.shown.clear();
    const auto merged = db.snapshot({});
    EXPECT_EQ(undo(first), MergeOutcome::Refused);
    EXPECT_EQ(ui.shown,
              QStringList {QStringLiteral("Information: Merge %1 cannot be undone yet: a later merge "
                                          "changed its rows again.\nUndo merge %2 first.")
                               .arg(first)
                               .arg(second)});
    EXPECT_EQ(db.snapshot({}), merged);

    ASSERT_EQ(undo(second), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    ASSERT_EQ(undo(first), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(productTables(), before);
}

struct ChangeCase
{
    const char* name;
    const char* change; // made after the merge
    const char* shown;
    bool rowsAlike = false; // the merge moves two rows alike of a table without a key (Documents)
};

class ChangedRowTest : public MergeUndoTest, public ::testing::WithParamInterface<ChangeCase>
{
};

TEST_P(ChangedRowTest, RefusesAndChangesNothing)
{
    if (GetParam().rowsAlike)
        db.exec("CREATE TABLE DocumentsCopy AS SELECT ClientID, Title, FileName, CreatedDate FROM Documents;"
                "DROP TABLE Documents; ALTER TABLE DocumentsCopy RENAME TO Documents;"
                "UPDATE Documents SET Title = 'Referral' WHERE ClientID = 812;"
                "INSERT INTO Documents (ClientID, Title) VALUES (812, 'Referral');");
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    const int audit = lastMergeAudit();
    db.exec(GetParam().change);
    const auto changed = db.snapshot({});
    ui.shown.clear();
    EXPECT_EQ(undo(audit), MergeOutcome::Refused);
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].contains(GetParam().shown)) << ui.shown[0].toStdString();
    EXPECT_TRUE(ui.shown[0].endsWith("Nothing has been changed.")) << ui.shown[0].toStdString();
    EXPECT_EQ(db.snapshot({}), changed);
    EXPECT_EQ(stateOf(audit), "merged");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChangedRowTest,
    ::testing::Values(
        ChangeCase {"Moved", "UPDATE Quotes SET ClientID = 999",
                    "1 rows of the table Quotes are no longer as the merge left them"},
        ChangeCase {"Deleted", "DELETE FROM Recalls",
                    "1 rows of the table Recalls are no longer as the merge left them"},
        ChangeCase {"AddedAccountDeleted", "DELETE FROM Account WHERE ClientID = 57 AND AccountID = 2",
                    "1 rows of the table Account are no longer as the merge left them"},
        // The permission the clean-up deleted has a new row in its place.
        ChangeCase {"KeyTaken",
                    "INSERT INTO PXClientPracPermissions (PXClientPracPermissionsID, ClientID) VALUES (11, 5)",
                    "1 rows of the table PXClientPracPermissions that the merge deleted cannot be put back, because "
                    "other rows now hold their keys"},
        // A moved row edited since: moving it back would not give back what the merge found.
        ChangeCase {"MovedRowEdited", "UPDATE Appoint SET Note = 'seen again' WHERE ClientID = 57",
                    "2 rows of the table Appoint that the merge moved have been changed since the merge"},
        // The account the merge added, renamed since: the undo would delete what someone typed.
        ChangeCase {"AddedAccountEdited",
                    "UPDATE Account SET ShortDescription = 'Renamed', Balance = 999 WHERE ClientID = 57 AND "
                    "AccountID = 2",
                    "the account 2 that the merge added to client 57 has been changed since the merge"},
        // The rows would go back to a client or an account that is gone.
        ChangeCase {"FromClientDeleted", "DELETE FROM Client WHERE ClientID = 812",
                    "the client 812 ('Sample, One') that its rows would go back to no longer exists"},
        ChangeCase {"FromAccountDeleted", "DELETE FROM Account WHERE ClientID = 812 AND AccountID = 2",
                    "the account 2 of client 812 that its rows of the table Trans would go back to no longer exists"},
        // One of several rows alike in a table without a key is gone: fewer are left than moved.
        ChangeCase {"IdenticalRowGone",
                    "DELETE FROM Documents WHERE rowid = (SELECT MAX(rowid) FROM Documents WHERE ClientID = 57)",
                    "1 rows of the table Documents are no longer as the merge left them", true}),
    [](const auto& info) { return std::string(info.param.name); });

// What changes between the question and the answer is caught by the undo itself: the rows it
// moves back must be as many as the merge moved, and as the merge left them.
TEST_F(MergeUndoTest, RowsChangedWhileTheQuestionIsOpenRollTheUndoBack)
{
    const struct
    {
        const char* name;
        const char* change;
    } cases[] = {
        {"moved away", "UPDATE Quotes SET ClientID = 999 WHERE ClientID = 57"},
        {"edited", "UPDATE Quotes SET Description = 'changed meanwhile' WHERE ClientID = 57"},
    };
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    const int audit = lastMergeAudit();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<UndoPlan> plan = planUndo(*session, audit);
        ASSERT_TRUE(plan) << ui.shown.join('\n').toStdString();
        db.exec(c.change);
        const auto changed = db.snapshot({});
        ui.shown.clear();
        EXPECT_EQ(executeUndo(*session, *plan), MergeOutcome::Refused);
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(ui.shown[0],
                  QStringLiteral("Information: Merge %1 cannot be undone: 1 of 1 rows of the table Quotes "
                                 "are no longer as the merge left them.\nNothing has been changed.")
                      .arg(audit));
        EXPECT_EQ(db.snapshot({}), changed);
        EXPECT_EQ(stateOf(audit), "merged");
        db.exec("UPDATE Quotes SET ClientID = 57, Description = NULL WHERE ClientID = 999 OR ClientID = 57");
    }
}

struct DamageCase
{
    const char* name;
    const char* damage; // done to the record after the merge
    const char* what; // the damage as the refusal names it
};

class DamagedRecordTest : public MergeUndoTest, public ::testing::WithParamInterface<DamageCase>
{
};

// A record that anybody changed is never half applied: the undo reads all of it first, refuses,
// and changes nothing. Injected text never runs.
TEST_P(DamagedRecordTest, RefusesAndChangesNothing)
{
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    const int audit = lastMergeAudit();
    db.exec(GetParam().damage);
    const auto damaged = db.snapshot({});
    ui.shown.clear();
    EXPECT_EQ(undo(audit), MergeOutcome::Refused);
    ASSERT_EQ(ui.shown.size(), 1);
    const QString prefix = QStringLiteral("Information: The record of merge %1 is damaged (").arg(audit);
    EXPECT_TRUE(ui.shown[0].startsWith(prefix)) << ui.shown[0].toStdString();
    EXPECT_TRUE(ui.shown[0].contains(GetParam().what)) << ui.shown[0].toStdString();
    EXPECT_TRUE(ui.shown[0].endsWith("). Nothing has been changed.")) << ui.shown[0].toStdString();
    EXPECT_EQ(db.snapshot({}), damaged);
    EXPECT_EQ(logLines().last(), "cancelled - the merge's record is damaged [RecordDamaged]");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedRecordTest,
    ::testing::Values(
        DamageCase {"StepMissing", "DELETE FROM KolvixMergeStep WHERE StepNo = 3", "step 3 is missing"},
        DamageCase {"LastStepMissing",
                    "DELETE FROM KolvixMergeStep WHERE StepNo = (SELECT MAX(StepNo) FROM KolvixMergeStep)",
                    "the record holds rows of step"},
        DamageCase {"RowMissing",
                    "DELETE FROM KolvixMergeRow WHERE rowid = (SELECT MIN(r.rowid) FROM KolvixMergeRow r JOIN "
                    "KolvixMergeStep s ON s.StepNo = r.StepNo WHERE s.TableName = 'Trans')",
                    "says it changed 2 rows, but the record holds 1"},
        DamageCase {"TotalDiffers", "UPDATE KolvixMerge SET RowsChanged = RowsChanged + 1",
                    "the merge says it changed"},
        DamageCase {"TextForAnId", "UPDATE KolvixMergeStep SET OldValues = '[\"s:abc\"]' WHERE TableName = 'Appoint'",
                    "holds a value that does not fit the column ClientID of the table Appoint: [\"s:abc\"]"},
        DamageCase {"UnknownType", "UPDATE KolvixMergeStep SET OldValues = '[\"z:1\"]' WHERE TableName = 'Appoint'",
                    "a value of an unknown type or that does not read as its type: '[\"z:1\"]'"},
        DamageCase {"NumberThatIsNone",
                    "UPDATE KolvixMergeStep SET NewValues = '[\"i:5x\"]' WHERE TableName = 'Appoint'",
                    "does not read as its type"},
        DamageCase {"NotAList", "UPDATE KolvixMergeStep SET KeyColumns = 'AppointID' WHERE TableName = 'Appoint'",
                    "a list of values that does not read: 'AppointID'"},
        DamageCase {"ValuesForColumnsDiffer",
                    "UPDATE KolvixMergeStep SET NewValues = '[\"i:57\",\"i:1\"]' WHERE TableName = 'Appoint'",
                    "holds 1 columns with 1 old and 2 new values"},
        DamageCase {"NoSuchTable",
                    "UPDATE KolvixMergeStep SET TableName = 'Quotes]; DROP TABLE Client; --' WHERE TableName = "
                    "'Quotes'",
                    "names the table 'Quotes]; DROP TABLE Client; --', which the database does not have"},
        DamageCase {"NoSuchColumn",
                    "UPDATE KolvixMergeStep SET ChangedColumns = '[\"s:Nothing\"]' WHERE TableName = 'Quotes'",
                    "names the column 'Nothing', which the table Quotes does not have"},
        DamageCase {"DeletedRowCut", "UPDATE KolvixMergeRow SET RowData = '[\"i:11\"]' WHERE RowData IS NOT NULL",
                    "a deleted row of step"}),
    [](const auto& info) { return std::string(info.param.name); });

// A merge refused or failed before it committed can be undone never; a merge killed inside its
// transaction, which changed nothing, says so.
TEST_F(MergeUndoTest, AMergeThatDidNotCompleteReadsSoAndIsNotUndone)
{
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    const int audit = lastMergeAudit();
    // As a merge killed inside its transaction leaves it: the Audit row and the record's header,
    // written before the transaction, and nothing of what the transaction wrote.
    db.exec("DELETE FROM KolvixMergeRow; DELETE FROM KolvixMergeStep; UPDATE KolvixMerge SET MergeState = "
            "'started', RowsChanged = 0");
    const MergeHistoryEntry entry = readMergeHistory(connection).front();
    EXPECT_EQ(entry.stateText(), "did not complete, nothing changed");
    EXPECT_EQ(entry.workstation, platform.computerName());
    EXPECT_EQ(entry.rows, 0);
    ui.shown.clear();
    EXPECT_EQ(undo(audit), MergeOutcome::Refused);
    EXPECT_EQ(ui.shown,
              QStringList {QStringLiteral("Information: Merge %1 did not complete: it was stopped before it "
                                          "was committed, and nothing was changed. There is nothing to undo.")
                               .arg(audit)});
}

TEST_F(MergeUndoTest, RowsTheToClientGainedAfterTheMergeStayWithIt)
{
    const auto before = productTables();
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    const int audit = lastMergeAudit();
    // A payment on the account the merge added, and an appointment.
    db.exec("INSERT INTO Trans (TransID, ClientID, AccountID, Amount) VALUES (500, 57, 2, 99);"
            "INSERT INTO Appoint (AppointID, ClientID) VALUES (500, 57);");
    ASSERT_EQ(undo(audit), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_TRUE(
        ui.questions.last().endsWith("Rows that 'Sample, Two' gained after the merge stay with 'Sample, Two'."));
    EXPECT_TRUE(ui.shown.last().endsWith("The account 2 that the merge added to client 57 stays: 1 rows that were "
                                         "added after the merge refer to it."))
        << ui.shown.last().toStdString();

    db.exec("DELETE FROM Trans WHERE TransID = 500; DELETE FROM Appoint WHERE AppointID = 500;"
            "DELETE FROM Account WHERE ClientID = 57 AND AccountID = 2");
    EXPECT_EQ(productTables(), before);
}

TEST_F(MergeUndoTest, TheConfirmationNamesBothClientsAndTheRowsThatGoBack)
{
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    const int audit = lastMergeAudit();
    ui.answerYes = false;
    const auto merged = db.snapshot({});
    EXPECT_EQ(undo(audit), MergeOutcome::Cancelled);
    EXPECT_EQ(db.snapshot({}), merged);
    const QString question = ui.questions.last();
    EXPECT_TRUE(question.startsWith(QStringLiteral("Are you sure you want to undo merge %1 of 'Sample, One' into "
                                                   "'Sample, Two'")
                                        .arg(audit)))
        << question.toStdString();
    EXPECT_TRUE(question.contains("\n  Trans: 3 moved back\n")) << question.toStdString();
    EXPECT_TRUE(question.contains("\n  Account: 1 added by the merge removed\n")) << question.toStdString();
    EXPECT_TRUE(question.contains("\n  PXClientPracPermissions: 2 moved back, 1 put back\n")) << question.toStdString();

    // A dry run does it all and keeps nothing.
    ui.answerYes = true;
    EXPECT_EQ(undo(audit, true), MergeOutcome::Merged);
    EXPECT_EQ(db.snapshot({}), merged);
    EXPECT_EQ(stateOf(audit), "merged");
}

TEST_F(MergeUndoTest, TheHistoryGivesEachMergeItsState)
{
    // Made before ledgers existed: an Audit row alone.
    db.exec("INSERT INTO Audit (AuditDateTime, UserName, Action, Comment) VALUES ('2025-01-02 03:04:05', 'MERGE', "
            "'Merge 3 > 4 (Old, One > Old, Two)', 'MRG[0:Primary|0:Primary]')");
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    const int merged = lastMergeAudit();
    // The merges below go into a client of their own: 812 was merged away.
    db.exec("INSERT INTO Client (ClientID, Name, Surname, Active) VALUES (61, 'Four', 'Sample', 'T');"
            "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (61, 0, 'Primary');");
    // Rolled back: a table of the catalogue refuses.
    db.exec("CREATE TRIGGER fail BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ABORT, 'quotes are locked'); END;"
            "INSERT INTO Quotes (ClientID) VALUES (57);");
    ASSERT_EQ(merge(57, 61), MergeOutcome::Failed);
    const int reverted = lastMergeAudit();
    // Without the transaction the same failure leaves the steps before it done.
    session->UseRollback = false;
    db.exec("INSERT INTO Client (ClientID, Name, Surname, Active) VALUES (60, 'Three', 'Sample', 'T')");
    const auto beforeIncomplete = productTables();
    ASSERT_EQ(merge(57, 61), MergeOutcome::Failed);
    const int incomplete = lastMergeAudit();
    db.exec("DROP TRIGGER fail");
    // On request without a ledger.
    MergeOptions irreversible;
    irreversible.irreversible = true;
    ASSERT_EQ(merge(60, 61, irreversible), MergeOutcome::Merged);
    const int unrecorded = lastMergeAudit();

    const std::vector<MergeHistoryEntry> history = readMergeHistory(connection);
    QStringList states;
    for (const MergeHistoryEntry& entry : history)
        states << QStringLiteral("%1 %2>%3 %4").arg(entry.auditId).arg(entry.from).arg(entry.to).arg(entry.stateText());
    EXPECT_EQ(states,
              (QStringList {QStringLiteral("%1 60>61 not reversible").arg(unrecorded),
                            QStringLiteral("%1 57>61 incomplete").arg(incomplete),
                            QStringLiteral("%1 57>61 reverted").arg(reverted),
                            QStringLiteral("%1 812>57 merged").arg(merged), "1 3>4 not reversible"}));
    EXPECT_EQ(readMergeHistory(connection, 2).size(), 2u);
    EXPECT_EQ(history.back().fromName, "Old, One");
    EXPECT_EQ(accountMappingLines(history.back().comment), QStringList {"0 Primary -> 0 Primary (merged)"});
    EXPECT_EQ(history[3].workstation, platform.computerName());

    for (int refused : {unrecorded, reverted, 1}) {
        ui.shown.clear();
        EXPECT_EQ(undo(refused), MergeOutcome::Refused);
        ASSERT_EQ(ui.shown.size(), 1);
    }
    EXPECT_TRUE(ui.shown[0].contains("there is no record of the rows it changed")) << ui.shown[0].toStdString();

    // The incomplete merge goes back exactly as far as it went.
    ASSERT_EQ(undo(incomplete), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(productTables(), beforeIncomplete);
}

TEST_F(MergeUndoTest, ALedgerThatCannotBeCreatedLeavesTheChoiceToTheUser)
{
    // Something else holds one of the names, so the table cannot be created.
    db.exec("DROP TABLE KolvixMergeStep; CREATE VIEW KolvixMergeStep AS SELECT 1 AS x");
    const auto before = db.snapshot({});
    ui.answerYes = false;
    EXPECT_EQ(merge(), MergeOutcome::Refused);
    EXPECT_EQ(db.snapshot({}), before);
    ASSERT_FALSE(ui.questions.isEmpty());
    EXPECT_TRUE(ui.questions.first().startsWith("This merge cannot be recorded so that it can be undone later"))
        << ui.questions.first().toStdString();
    EXPECT_TRUE(ui.questions.first().endsWith("This merge will not be reversible."));
    EXPECT_EQ(logLines().last(), "cancelled - the merge could not be made reversible [NoLedger]");

    ui.answerYes = true;
    EXPECT_EQ(merge(), MergeOutcome::Merged);
    EXPECT_EQ(stateOf(lastMergeAudit()), "not reversible");
}

TEST_F(MergeUndoTest, TheLedgerTablesAreCreatedOnFirstUse)
{
    db.exec("DROP TABLE KolvixMerge; DROP TABLE KolvixMergeStep; DROP TABLE KolvixMergeRow");
    const auto before = productTables();
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    EXPECT_EQ(ui.questions.size(), 1); // the merge's own confirmation only
    ASSERT_EQ(undo(lastMergeAudit()), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(productTables(), before);
}

} // namespace
