#pragma once

#include "core/Log.h"
#include "db/Connection.h"
#include "merge/MergeProcedure.h"
#include "merge/MergeSession.h"
#include "support/FakePlatform.h"
#include "support/ScriptedUi.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace kolvix::test {

// The example pair of the merge: client 812 (Sample, One) with accounts 0=Primary and
// 2=WorkCover, moved into client 57 (Sample, Two) with accounts 0=Primary and 1=Medicare.
// Client 812 owns rows in every table of the catalogue, none of which conflicts with 57's; none of
// them is what a pre-check refuses (its password reset was activated long ago), so that a fault in
// a check fails the tests about that check, not every merge.
inline const char* const kExamplePair = R"SQL(
INSERT INTO Client (ClientID, Name, Surname, Active) VALUES (812, 'One', 'Sample', 'T'), (57, 'Two', 'Sample', 'T');
INSERT INTO Client (ClientID, Name, Surname, ReferredByID) VALUES (900, 'A', 'Referred', 812);
INSERT INTO Client (ClientID, Name, Surname, ReferredByID2) VALUES (901, 'B', 'Referred', 812);
INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES
  (812, 0, 'Primary'), (812, 2, 'WorkCover'), (57, 0, 'Primary'), (57, 1, 'Medicare');
INSERT INTO Trans (ClientID, AccountID, Amount) VALUES (812, 0, 10), (812, 0, 11), (812, 2, 20), (57, 0, 5);
INSERT INTO HICAPSDetail (ClientID, AccountID) VALUES (812, 0), (812, 2);
INSERT INTO NewStatement (ClientID, AccountID) VALUES (812, 0), (812, 2);
INSERT INTO StatementActivityLog (ClientID, AccountID) VALUES (812, 0), (812, 2);
INSERT INTO InvoiceActivityLog (ClientID, AccountID) VALUES (812, 0), (812, 2);
INSERT INTO TyroTrans (ClientID) VALUES (812);
INSERT INTO Appoint (ClientID) VALUES (812), (812), (57);
INSERT INTO ContactAttachment (ClientID) VALUES (812);
INSERT INTO Attachments (ClientID) VALUES (812);
INSERT INTO ClinicalNotes (ClientID) VALUES (812);
INSERT INTO Future (ClientID) VALUES (812);
INSERT INTO Recalls (ClientID) VALUES (812);
INSERT INTO Category (CategoryID, Description) VALUES (7, 'Sport'), (9, 'Senior');
INSERT INTO PatCat (ClientID, CategoryID) VALUES (812, 9);
INSERT INTO Relation (RelationID, Description, MergeID) VALUES (1, 'Mother', 1), (2, 'GP', 2);
INSERT INTO Contact (ContactID, Name, Surname, ContactType) VALUES (31, 'Ann', 'Other', 'Family'), (32, 'Dr', 'Who', 'Doctor');
INSERT INTO ClientContact (ClientID, ContactID, RelationID) VALUES (812, 31, 1), (57, 32, 2);
INSERT INTO Referral (ClientID) VALUES (812);
INSERT INTO GroupAppDetail (ClientID) VALUES (812);
INSERT INTO AppChange (ClientID) VALUES (812);
INSERT INTO SMSReply (ClientID) VALUES (812);
INSERT INTO Documents (ClientID) VALUES (812);
INSERT INTO Quotes (ClientID) VALUES (812);
INSERT INTO ActEvents (ClientID) VALUES (812);
INSERT INTO XRayFolder (ClientID) VALUES (812);
INSERT INTO XRayReport (ClientID) VALUES (812);
INSERT INTO XRay (ClientID) VALUES (812);
INSERT INTO SalesEvents (ClientID) VALUES (812);
INSERT INTO WaitingList (ClientID) VALUES (812);
INSERT INTO ClassTypeClient (ClientID) VALUES (812);
INSERT INTO SMSMsg (ClientID) VALUES (812);
INSERT INTO RecallRecurrence (ClientID) VALUES (812);
INSERT INTO PXClientForgotPassword (ClientID, ExpiryDate, Activated) VALUES (812, '2001-01-01 00:00:00', 1);
INSERT INTO PXAppRequest (ClientID) VALUES (812);
INSERT INTO PXCurrentReservedApp (ClientID) VALUES (812);
INSERT INTO PXClientSearchResult (ClientID) VALUES (812);
INSERT INTO PXExceptionLog (ClientID) VALUES (812);
INSERT INTO PXClientPracPermissions (PXClientPracPermissionsID, ClientID, AllowPracID, AllowPGroupID) VALUES
  (11, 57, 1, 1), (12, 812, 1, 1), (13, 812, 2, 1);
INSERT INTO PXPendingClient (PendingClientID, GuestClientID, ParentID) VALUES (1, 812, NULL), (2, 57, 812), (3, 700, 812);
)SQL";

// Pairs for a run of merges, besides the example pair (812 into 57): two pairs that merge cleanly, one that a check
// refuses (a WPX client with linked clients), and one whose accounts need a person (an account
// without a name, which the account dialog would ask to name).
inline const char* const kMorePairs = R"SQL(
INSERT INTO Client (ClientID, Name, Surname, Active) VALUES
  (301, 'Ruby', 'Robinson', 'T'), (401, 'Ruby', 'Robinon', 'T'),
  (302, 'Oliver', 'Morris', 'T'), (402, 'Oliver', 'Moris', 'T'),
  (303, 'Ann', 'Linked', 'T'), (403, 'Ann', 'Linkd', 'T'),
  (304, 'Tom', 'Accounts', 'T'), (404, 'Tom', 'Acounts', 'T');
INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES
  (301, 0, 'Primary'), (401, 0, 'Primary'), (302, 0, 'Primary'), (402, 0, 'Primary'),
  (303, 0, 'Primary'), (403, 0, 'Primary'),
  (304, 0, 'Primary'), (404, 0, 'Primary'), (404, 1, ' ');
INSERT INTO Trans (ClientID, AccountID, Amount) VALUES (401, 0, 1), (402, 0, 2), (404, 1, 3);
INSERT INTO Appoint (ClientID) VALUES (401), (402), (403);
INSERT INTO PXClientLink (ClientID, GroupID) VALUES (700, 403);
)SQL";

// The example merge on another database: the example pair and any extra fixture SQL are
// written into copy, which is then merged (812 into 57) with a connection and session of its own,
// ui as its front end.
inline MergeOutcome mergeExampleCopy(ScriptedUi& ui, TestDatabase& copy, const QString& extraSql = {},
                                     bool useRollback = true)
{
    copy.exec(QString::fromLatin1(kExamplePair));
    if (!extraSql.isEmpty())
        copy.exec(extraSql);
    Connection connection;
    connection.setConnectionString(copy.connectionString());
    connection.open();
    MergeSession session(connection, ui);
    session.UseRollback = useRollback;
    return mergeClients(session, {812, "Sample", "One"}, {57, "Sample", "Two"});
}

// A database with the example pair, a connection to it, a session and a scripted user
// interface; the log goes to a temporary folder and is switched on.
class MergeFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        platform.exeFolder = logDir.path();
        db.exec(QString::fromLatin1(kExamplePair));
        connection.setConnectionString(db.connectionString());
        connection.open();
        session = std::make_unique<MergeSession>(connection, ui);
        setLogFolder(logDir.path());
        setLogEnabled(true);
    }

    void TearDown() override
    {
        setLogEnabled(false);
        setLogFolder(QString());
    }

    MergeOutcome merge(qint32 from = 812, qint32 to = 57, const MergeOptions& options = {})
    {
        auto client = [this](qint32 id) {
            return MergeClient {id, db.scalar(QStringLiteral("SELECT Surname FROM Client WHERE ClientID = %1").arg(id)),
                                db.scalar(QStringLiteral("SELECT Name FROM Client WHERE ClientID = %1").arg(id))};
        };
        return mergeClients(*session, client(from), client(to), options);
    }

    // Today's log without its time stamps.
    QStringList logLines() const
    {
        QFile file(logFilePath(QDateTime::currentDateTime()));
        QStringList lines;
        if (!file.open(QIODevice::ReadOnly))
            return lines;
        const QString text = QString::fromLocal8Bit(file.readAll());
        for (QString line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            lines << line.mid(14); // "hh:mm:ss.zzz: "
        return lines;
    }

    QTemporaryDir logDir;
    FakePlatform platform;
    ScriptedUi ui;
    TestDatabase db;
    Connection connection;
    std::unique_ptr<MergeSession> session;
};

} // namespace kolvix::test
