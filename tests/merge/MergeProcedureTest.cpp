#include "support/MergeFixture.h"

#include "support/MovedTables.h"
#include <QDateTime>

#include "accounts/AccountMergeModel.h"
#include "ledger/DistinctPairs.h"

#include <algorithm>

using namespace kolvix;
using namespace kolvix::test;

namespace {

class MergeProcedureTest : public MergeFixture
{
};

TEST_F(MergeProcedureTest, ExampleMergeWithoutRollbackWritesTheDocumentedLog)
{
    session->UseRollback = false;
    ASSERT_EQ(merge(), MergeOutcome::Merged);

    // A line for each moved column in the catalogue's order, but: the tables moved account by
    // account run as one loop per account (0, then 2), and PatCat and ClientContact move by
    // statements of their own that write no line.
    QStringList expected = {"merging", "  from: 812=Sample, One", "  into: 57=Sample, Two"};
    const QStringList byAccount = tablesMovedByAccount();
    for (const MovedColumn& moved : movedColumns()) {
        if (moved.byAccount) {
            if (moved.table == byAccount.first()) {
                for (const char* account : {"0", "2"}) {
                    for (const QString& table : byAccount)
                        expected << QStringLiteral("moveTrans [%1].[ClientID|AccountID] updating 812.%2 to 57.%2")
                                        .arg(table, account);
                }
            }
        } else if (moved.table != "PatCat" && moved.table != "ClientContact") {
            expected << QStringLiteral("moveClient [%1].[%2] updating 812 to 57").arg(moved.table, moved.column);
        }
        // The permissions that now duplicate the To client's go right after they moved.
        if (moved.table == "PXClientPracPermissions")
            expected << "deleteDuplicates [PXClientPracPermissions].[PXClientPracPermissionsID] grouped by [ClientID], "
                        "[AllowPracID], [AllowPGroupID] removing 57";
    }
    expected << "success - client merged";
    EXPECT_EQ(logLines(), expected);

    EXPECT_EQ(ui.shown, QStringList {"Information: Clients have been successfully merged."});
    EXPECT_EQ(ui.questions,
              QStringList {"Are you sure you want to merge the details of 'Sample, One' with "
                           "'Sample, Two'?\n\nThis operation cannot be reversed."});
    EXPECT_EQ(ui.cursor, (QStringList {"wait", "arrow"}));
}

TEST_F(MergeProcedureTest, ExampleMergeMovesEverythingAndWritesTheAuditRow)
{
    ASSERT_EQ(merge(), MergeOutcome::Merged);

    // With the transaction on the log has no closing line.
    EXPECT_EQ(logLines().last(), "moveClient [PXPendingClient].[ParentID] updating 812 to 57");

    EXPECT_EQ(db.scalar("SELECT UserName || '|' || Action || '|' || Comment || '|' || Report FROM Audit"),
              "MERGE|Merge 812 > 57 (Sample, One > Sample, Two)|MRG[0:Primary|0:Primary], "
              "ADD[2:WorkCover|2:WorkCover]|0");
    EXPECT_EQ(db.scalar("SELECT AuditDateTime FROM Audit").left(10), QDate::currentDate().toString(Qt::ISODate));

    // Account 2 was copied as the To client's account 2; the From client keeps its own rows.
    EXPECT_EQ(db.scalar("SELECT ShortDescription FROM Account WHERE ClientID = 57 AND AccountID = 2"), "WorkCover");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Account WHERE ClientID = 812"), 2);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Client WHERE ClientID = 812"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 57 AND AccountID = 0"), 3);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 57 AND AccountID = 2"), 1);

    // Nothing of the From client is left in any table of the catalogue.
    for (const MovedColumn& moved : movedColumns()) {
        if (moved.table == "Client")
            continue;
        EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM [%1] WHERE [%2] = 812").arg(moved.table, moved.column)),
                  0)
            << moved.table.toStdString() << "." << moved.column.toStdString();
    }
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Client WHERE ReferredByID = 57 OR ReferredByID2 = 57"), 2);
    // Duplicate permissions 11 and 12 leave 12; the pending row that came to refer to itself is gone.
    EXPECT_EQ(db.scalar("SELECT group_concat(PXClientPracPermissionsID) FROM PXClientPracPermissions"), "12,13");
    EXPECT_EQ(db.scalar("SELECT group_concat(PendingClientID) FROM PXPendingClient ORDER BY 1"), "1,3");

    // The trace pane holds the account dump.
    ASSERT_FALSE(session->mem.lines().isEmpty());
    EXPECT_EQ(session->mem.lines().first(), "BadGroupIDMerge F");
}

TEST_F(MergeProcedureTest, CancellingTheDialogOrAnsweringNoChangesNothing)
{
    const auto before = db.snapshot();
    ui.onEditAccounts = [](AccountMergeModel&) { return false; };
    EXPECT_EQ(merge(), MergeOutcome::Cancelled);
    EXPECT_EQ(logLines().last(), "cancelled - user cancelled from account merge");

    ui.onEditAccounts = nullptr;
    ui.answerYes = false;
    EXPECT_EQ(merge(), MergeOutcome::Cancelled);
    EXPECT_EQ(db.snapshot(), before);
    EXPECT_TRUE(ui.cursor.isEmpty());
}

TEST_F(MergeProcedureTest, PatCatAndContactsTheToClientHoldsStayWithTheFromClient)
{
    db.exec("INSERT INTO PatCat (ClientID, CategoryID) VALUES (57, 7), (812, 7);"
            "INSERT INTO ClientContact (ClientID, ContactID, RelationID) VALUES (57, 31, 1);");
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    EXPECT_EQ(db.scalar("SELECT group_concat(CategoryID) FROM (SELECT CategoryID FROM PatCat WHERE ClientID = 57 "
                        "ORDER BY 1)"),
              "7,9");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM PatCat WHERE ClientID = 812 AND CategoryID = 7"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM ClientContact WHERE ClientID = 812 AND ContactID = 31"), 1);
}

TEST_F(MergeProcedureTest, DuplicatePermissionsLeaveTheLargestId)
{
    db.exec("DELETE FROM PXClientPracPermissions;"
            "INSERT INTO PXClientPracPermissions VALUES (11, 812, 5, 5), (12, 812, 5, 5), (13, 812, 5, 5);");
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    EXPECT_EQ(db.scalar("SELECT group_concat(PXClientPracPermissionsID) FROM PXClientPracPermissions"), "13");
}

// Rows on accounts the From client does not have (no Account row, or a negative id) stay with
// it, as the catalogue moves account by account: the user is told before the dialog, and the
// merge itself runs as always.
TEST_F(MergeProcedureTest, RowsOnAccountsTheFromClientDoesNotHaveAreNamedAndStay)
{
    db.exec("INSERT INTO Trans (ClientID, AccountID, Amount) VALUES (812, 9, 1), (812, -1, 2), (812, 9, 3);"
            "INSERT INTO HICAPSDetail (ClientID, AccountID) VALUES (812, 9);");
    ASSERT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(ui.notMoved.join('\n').toStdString(),
              "Not moved: Trans (3 rows on accounts -1, 9, which the client does not have)\n"
              "Not moved: HICAPSDetail (1 rows on account 9, which the client does not have)");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 3);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM HICAPSDetail WHERE ClientID = 812"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 57"), 4);

    // A merge that leaves nothing behind says nothing of it.
    ui.notMoved.clear();
    db.exec("INSERT INTO Client (ClientID, Name, Surname) VALUES (300, 'Three', 'Sample');"
            "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (300, 0, 'Primary');"
            "INSERT INTO Trans (ClientID, AccountID, Amount) VALUES (300, 0, 1);");
    ASSERT_EQ(merge(300, 57), MergeOutcome::Merged);
    EXPECT_TRUE(ui.notMoved.isEmpty());
}

// What the record says of a pair decides before the checks: a pair merged already has nothing
// left to merge; a client merged away is no Move To; a client merged away that has gained rows
// since may be merged, with a notice, and only those rows move.
TEST_F(MergeProcedureTest, AMergedPairIsNotMergedAgainAndAClientMergedAwayIsNoMoveTo)
{
    db.exec("INSERT INTO Client (ClientID, Name, Surname, Active) VALUES (300, 'Three', 'Sample', 'T');"
            "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (300, 0, 'Primary');");
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    const int audit = int(db.count("SELECT MAX(AuditID) FROM Audit"));
    const QString when = db.scalar("SELECT AuditDateTime FROM Audit");
    const QString shownWhen = QDateTime::fromString(when, QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                  .toString(QStringLiteral("dd/MM/yyyy HH:mm"));

    struct Case
    {
        qint32 from;
        qint32 to;
        QString shown;
        QString log;
    };
    const Case cases[] = {
        {812, 57,
         QStringLiteral("Information: Client 812 was merged into 57 by merge %1 on %2. There is nothing left to merge.")
             .arg(audit)
             .arg(shownWhen),
         QStringLiteral("cancelled - FROM was merged already by merge %1 [AlreadyMerged]").arg(audit)},
        {300, 812,
         QStringLiteral("Information: Client 812 was merged into 57 by merge %1. Choose 57 as Move To, or undo merge "
                        "%1 first.")
             .arg(audit),
         QStringLiteral("cancelled - TO was merged away by merge %1 [ToMergedAway]").arg(audit)},
        {812, 300,
         QStringLiteral("Information: Client 812 was merged into 57 by merge %1 on %2. There is nothing left to merge.")
             .arg(audit)
             .arg(shownWhen),
         QStringLiteral("cancelled - FROM was merged already by merge %1 [AlreadyMerged]").arg(audit)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 into %2").arg(c.from).arg(c.to).toStdString());
        const auto before = db.snapshot();
        ui.shown.clear();
        EXPECT_EQ(merge(c.from, c.to), MergeOutcome::Refused);
        EXPECT_EQ(ui.shown, QStringList {c.shown});
        EXPECT_EQ(logLines().last(), c.log);
        EXPECT_EQ(ui.accountDialogs, 1); // the first merge's only
        EXPECT_EQ(db.snapshot(), before);
    }

    // An appointment booked on the emptied record afterwards: the second merge moves it alone.
    db.exec("INSERT INTO Appoint (AppointID, ClientID) VALUES (900, 812)");
    ui.shown.clear();
    ASSERT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(ui.notices,
              QStringList {QStringLiteral("Client 812 was merged into 57 by merge %1 on %2; it has gained "
                                          "1 rows since, which this merge moves to 57.")
                               .arg(audit)
                               .arg(shownWhen)});
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Appoint WHERE ClientID = 57 AND AppointID = 900"), 1);
}

// An account id too large to map is a refusal like the checks', not a failure.
TEST_F(MergeProcedureTest, AnAccountIdTooLargeToMapRefusesTheMerge)
{
    db.exec("INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (812, 100001, 'Huge')");
    const auto before = db.snapshot();
    EXPECT_EQ(merge(), MergeOutcome::Refused);
    EXPECT_EQ(db.snapshot(), before);
    EXPECT_EQ(ui.shown,
              QStringList {"Information: The client to be moved has an account id of 100001; account ids "
                           "above 100000 cannot be merged."});
    EXPECT_EQ(logLines().last(), "cancelled - an account id of FROM is too large [AccountIDTooLarge]");
}

// Two clients marked as different people are merged only once the user has the mark removed;
// answered No, nothing changes and the mark stays.
TEST_F(MergeProcedureTest, AMarkedPairIsRefusedUnlessTheUserHasTheMarkRemoved)
{
    platform.user = QStringLiteral("jane");
    platform.computer = QStringLiteral("reception-2");
    markDistinctPair(connection, 57, 812, QStringLiteral("twins"));
    const auto before = db.snapshot();
    const QString refusal = QStringLiteral("Clients 812 and 57 are marked as different people on %1 by jane at "
                                           "reception-2 (note: twins), so they are not merged.")
                                .arg(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
    EXPECT_EQ(merge(), MergeOutcome::Refused);
    EXPECT_EQ(ui.questions, QStringList {refusal});
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(logLines().last(), "cancelled - FROM and TO are marked as different people [MarkedDistinct]");
    EXPECT_EQ(db.snapshot(), before);

    // Yes: the mark goes, and the merge goes on to its own confirmation.
    ui.removeMark = true;
    EXPECT_EQ(merge(), MergeOutcome::Merged);
    EXPECT_EQ(ui.questions.size(), 3); // the refusal again, answered Yes, then the merge's own
    EXPECT_FALSE(findDistinctPair(connection, 812, 57));
    EXPECT_TRUE(logLines().contains("mark as different people removed: 57 and 812"));
}

TEST_F(MergeProcedureTest, MissingTablesAreSkippedAndNoted)
{
    db.exec("DROP TABLE TyroTrans; DROP TABLE NewStatement;");
    session->UseRollback = false;
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    const QStringList log = logLines();
    EXPECT_TRUE(log.contains("moveClient [TyroTrans].[ClientID] skipping (table does not exist)"));
    EXPECT_FALSE(log.join('\n').contains("[NewStatement]"));
    // One line for TyroTrans, one per moved account for NewStatement.
    EXPECT_EQ(session->mem.lines().count("Table 'TyroTrans' does not exist (not merged)"), 1);
    EXPECT_EQ(session->mem.lines().count("Table 'NewStatement' does not exist (not merged)"), 2);
}

TEST_F(MergeProcedureTest, ANewNameWithQuotesAndKeywordsIsStoredAsTyped)
{
    // 16 characters, the most the account-name column holds.
    const QString name = QStringLiteral("O'B TOP;--[x]%_ë");
    ui.onEditAccounts = [&](AccountMergeModel& model) {
        model.rowForAccount(2)->newName = name;
        return model.accept().isEmpty();
    };
    const auto others = db.snapshot({"Account", "Audit"});
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    EXPECT_EQ(db.scalar("SELECT ShortDescription FROM Account WHERE ClientID = 57 AND AccountID = 2"), name);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Account"), 5);
    EXPECT_NE(db.snapshot({"Account", "Audit"}), others); // the merge itself moved rows
}

// A failure forced at each step of the catalogue, by a trigger that raises on the statement
// of that step.
// A client whose account is linked to the From client, so that step 1 has a row to move.
const char* const kLinkedClient
    = "INSERT INTO Client (ClientID, Name, Surname) VALUES (300, 'Linked', 'Group');"
      "INSERT INTO Account (ClientID, AccountID, ShortDescription, GroupID) VALUES (300, 0, 'Primary', 812);";

struct InjectedFailure
{
    int step;
    const char* trigger; // the trigger's event, e.g. "UPDATE OF ClientID ON Appoint"
    const char* probe; // counts rows that the step changes
};

const InjectedFailure kFailures[] = {
    {1, "UPDATE OF GroupID ON Account", "SELECT COUNT(*) FROM Account WHERE GroupID = 812"},
    {2, "INSERT ON Account", "SELECT COUNT(*) FROM Account WHERE ClientID = 57"},
    {3, "UPDATE OF ClientID ON Trans", "SELECT COUNT(*) FROM Trans WHERE ClientID = 812 AND AccountID = 0"},
    {4, "UPDATE OF ClientID ON HICAPSDetail",
     "SELECT COUNT(*) FROM HICAPSDetail WHERE ClientID = 812 AND AccountID = 0"},
    {5, "UPDATE OF ClientID ON NewStatement",
     "SELECT COUNT(*) FROM NewStatement WHERE ClientID = 812 AND AccountID = 0"},
    {6, "UPDATE OF ClientID ON StatementActivityLog",
     "SELECT COUNT(*) FROM StatementActivityLog WHERE ClientID = 812 AND AccountID = 0"},
    {7, "UPDATE OF ClientID ON InvoiceActivityLog",
     "SELECT COUNT(*) FROM InvoiceActivityLog WHERE ClientID = 812 AND AccountID = 0"},
    {8, "UPDATE OF ClientID ON TyroTrans", "SELECT COUNT(*) FROM TyroTrans WHERE ClientID = 812"},
    {9, "UPDATE OF ClientID ON Appoint", "SELECT COUNT(*) FROM Appoint WHERE ClientID = 812"},
    {10, "UPDATE OF ClientID ON ContactAttachment", "SELECT COUNT(*) FROM ContactAttachment WHERE ClientID = 812"},
    {11, "UPDATE OF ClientID ON Attachments", "SELECT COUNT(*) FROM Attachments WHERE ClientID = 812"},
    {12, "UPDATE OF ClientID ON ClinicalNotes", "SELECT COUNT(*) FROM ClinicalNotes WHERE ClientID = 812"},
    {13, "UPDATE OF ClientID ON Future", "SELECT COUNT(*) FROM Future WHERE ClientID = 812"},
    {14, "UPDATE OF ClientID ON Recalls", "SELECT COUNT(*) FROM Recalls WHERE ClientID = 812"},
    {15, "UPDATE OF ClientID ON PatCat", "SELECT COUNT(*) FROM PatCat WHERE ClientID = 812"},
    {16, "UPDATE OF ClientID ON ClientContact", "SELECT COUNT(*) FROM ClientContact WHERE ClientID = 812"},
    {17, "UPDATE OF ClientID ON Referral", "SELECT COUNT(*) FROM Referral WHERE ClientID = 812"},
    {18, "UPDATE OF ReferredByID ON Client", "SELECT COUNT(*) FROM Client WHERE ReferredByID = 812"},
    {19, "UPDATE OF ReferredByID2 ON Client", "SELECT COUNT(*) FROM Client WHERE ReferredByID2 = 812"},
    {20, "UPDATE OF ClientID ON GroupAppDetail", "SELECT COUNT(*) FROM GroupAppDetail WHERE ClientID = 812"},
    {21, "UPDATE OF ClientID ON AppChange", "SELECT COUNT(*) FROM AppChange WHERE ClientID = 812"},
    {22, "UPDATE OF ClientID ON SMSReply", "SELECT COUNT(*) FROM SMSReply WHERE ClientID = 812"},
    {23, "UPDATE OF ClientID ON Documents", "SELECT COUNT(*) FROM Documents WHERE ClientID = 812"},
    {24, "UPDATE OF ClientID ON Quotes", "SELECT COUNT(*) FROM Quotes WHERE ClientID = 812"},
    {25, "UPDATE OF ClientID ON ActEvents", "SELECT COUNT(*) FROM ActEvents WHERE ClientID = 812"},
    {26, "UPDATE OF ClientID ON XRayFolder", "SELECT COUNT(*) FROM XRayFolder WHERE ClientID = 812"},
    {27, "UPDATE OF ClientID ON XRayReport", "SELECT COUNT(*) FROM XRayReport WHERE ClientID = 812"},
    {28, "UPDATE OF ClientID ON XRay", "SELECT COUNT(*) FROM XRay WHERE ClientID = 812"},
    {29, "UPDATE OF ClientID ON SalesEvents", "SELECT COUNT(*) FROM SalesEvents WHERE ClientID = 812"},
    {30, "UPDATE OF ClientID ON WaitingList", "SELECT COUNT(*) FROM WaitingList WHERE ClientID = 812"},
    {31, "UPDATE OF ClientID ON ClassTypeClient", "SELECT COUNT(*) FROM ClassTypeClient WHERE ClientID = 812"},
    {32, "UPDATE OF ClientID ON SMSMsg", "SELECT COUNT(*) FROM SMSMsg WHERE ClientID = 812"},
    {33, "UPDATE OF ClientID ON RecallRecurrence", "SELECT COUNT(*) FROM RecallRecurrence WHERE ClientID = 812"},
    {34, "UPDATE OF ClientID ON PXClientForgotPassword",
     "SELECT COUNT(*) FROM PXClientForgotPassword WHERE ClientID = 812"},
    {35, "UPDATE OF ClientID ON PXAppRequest", "SELECT COUNT(*) FROM PXAppRequest WHERE ClientID = 812"},
    {36, "UPDATE OF ClientID ON PXCurrentReservedApp",
     "SELECT COUNT(*) FROM PXCurrentReservedApp WHERE ClientID = 812"},
    {37, "UPDATE OF ClientID ON PXClientSearchResult",
     "SELECT COUNT(*) FROM PXClientSearchResult WHERE ClientID = 812"},
    {38, "UPDATE OF ClientID ON PXExceptionLog", "SELECT COUNT(*) FROM PXExceptionLog WHERE ClientID = 812"},
    {39, "UPDATE OF ClientID ON PXClientPracPermissions",
     "SELECT COUNT(*) FROM PXClientPracPermissions WHERE ClientID = 812"},
    {40, "DELETE ON PXClientPracPermissions", "SELECT COUNT(*) FROM PXClientPracPermissions"},
    {41, "UPDATE OF GuestClientID ON PXPendingClient",
     "SELECT COUNT(*) FROM PXPendingClient WHERE GuestClientID = 812"},
    {42, "UPDATE OF ParentID ON PXPendingClient", "SELECT COUNT(*) FROM PXPendingClient WHERE ParentID = 812"},
    {43, "DELETE ON PXPendingClient", "SELECT COUNT(*) FROM PXPendingClient"},
};

// A failure is injected into the step of every column the merge moves.
TEST(InjectedFailures, CoverEveryMovedColumn)
{
    for (const MovedColumn& moved : movedColumns()) {
        const QString trigger = QStringLiteral("UPDATE OF %1 ON %2").arg(moved.column, moved.table);
        EXPECT_TRUE(std::any_of(std::begin(kFailures), std::end(kFailures), [&](const InjectedFailure& f) {
            return trigger == QLatin1String(f.trigger);
        })) << trigger.toStdString();
    }
}

class InjectedFailureTest : public MergeFixture, public ::testing::WithParamInterface<InjectedFailure>
{
protected:
    void SetUp() override
    {
        MergeFixture::SetUp();
        db.exec(QString::fromLatin1(kLinkedClient));
    }

    void injectFailure() const
    {
        db.exec(QStringLiteral("CREATE TRIGGER injected_failure BEFORE %1 BEGIN SELECT RAISE(ABORT, "
                               "'injected failure'); END;")
                    .arg(GetParam().trigger));
    }

    std::vector<qint64> probes() const
    {
        std::vector<qint64> values;
        for (const InjectedFailure& f : kFailures)
            values.push_back(db.count(QString::fromLatin1(f.probe)));
        return values;
    }
};

TEST_P(InjectedFailureTest, WithRollbackEveryTableButAuditIsAsBefore)
{
    injectFailure();
    const auto before = db.snapshot(kStampedTables);
    ASSERT_EQ(merge(), MergeOutcome::Failed);
    EXPECT_EQ(db.snapshot(kStampedTables), before);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Audit"), 1);
    EXPECT_TRUE(db.scalar("SELECT Action FROM Audit").endsWith(") - reverted"));
    EXPECT_EQ(db.scalar("SELECT MergeState FROM KolvixMerge"), "reverted");
    EXPECT_EQ(ui.shown.last(), "Warning: Some data could not be transferred.\nPatient details have been reverted.");
    const QStringList log = logLines();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.last(), "failed - some data could not be transferred [DBRollbackTrans]");
    EXPECT_TRUE(log[log.size() - 2].startsWith("EXCEPTION ")) << log[log.size() - 2].toStdString();
    EXPECT_TRUE(log[log.size() - 2].contains("injected failure"));
    EXPECT_EQ(ui.cursor, (QStringList {"wait", "arrow"}));
}

TEST_P(InjectedFailureTest, WithoutRollbackEarlierStepsStayDoneAndLaterOnesDoNotRun)
{
    // What every step changes: the probes before any merge and after a clean one.
    const auto initial = probes();
    std::vector<qint64> finalProbes;
    {
        TestDatabase clean;
        ASSERT_EQ(mergeExampleCopy(ui, clean, QString::fromLatin1(kLinkedClient)), MergeOutcome::Merged);
        for (const InjectedFailure& f : kFailures)
            finalProbes.push_back(clean.count(QString::fromLatin1(f.probe)));
    }

    injectFailure();
    session->UseRollback = false;
    ASSERT_EQ(merge(), MergeOutcome::Failed);
    EXPECT_EQ(ui.shown.last(), "Warning: Some data could not be transferred.");
    EXPECT_EQ(logLines().last(), "failed - some data could not be transferred");

    const auto after = probes();
    const int failed = GetParam().step;
    for (size_t i = 0; i < std::size(kFailures); ++i) {
        const int step = kFailures[i].step;
        if (step < failed)
            EXPECT_EQ(after[i], finalProbes[i]) << "step " << step << " should be done";
        else
            EXPECT_EQ(after[i], initial[i]) << "step " << step << " should not have run";
        EXPECT_NE(initial[i], finalProbes[i]) << "the fixture gives step " << step << " nothing to change";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryStep, InjectedFailureTest, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<InjectedFailure>& info) {
                             return "Step" + std::to_string(info.param.step);
                         });

} // namespace
