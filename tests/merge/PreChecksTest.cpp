#include "support/MergeFixture.h"

#include "merge/PreChecks.h"

using namespace kolvix;
using namespace kolvix::test;

namespace {

class PreChecksTest : public MergeFixture
{
protected:
    // Runs a merge that is expected to be refused: nothing may change, nothing may be asked.
    void expectRefused(const QString& logLine, const QString& message)
    {
        const auto before = db.snapshot();
        EXPECT_EQ(merge(), MergeOutcome::Refused);
        EXPECT_EQ(logLines().last(), logLine);
        ASSERT_FALSE(ui.shown.isEmpty());
        EXPECT_EQ(ui.shown.last(), message);
        EXPECT_EQ(ui.accountDialogs, 0);
        EXPECT_TRUE(ui.cursor.isEmpty());
        EXPECT_EQ(db.snapshot(), before);
    }
};

struct Refusal
{
    const char* name;
    const char* fixture; // makes the From client 812 refuse
    const char* nearMiss; // almost the same, but must pass
    const char* logLine;
    const char* message;
};

const Refusal kRefusals[] = {
    {"WpxEnabled", "UPDATE Client SET PXAccess = 1, PXVerified = 1, PXEmail = 'a@b.c' WHERE ClientID = 812",
     "UPDATE Client SET PXAccess = 1, PXVerified = 1, PXEmail = '' WHERE ClientID = 812",
     "cancelled - FROM has WPX enabled [WPXEnabledFrom]",
     "Information: The client to be moved has WPX currently enabled and cannot be merged.\nMerging this patient would "
     "change/remove their WPX access.\n\nIf you want to merge them you will need to resolve WPX details between\n"
     "'From' and 'To' then remove WPX access for the 'From' client."},
    {"PendingWithParent", "UPDATE PXPendingClient SET ParentID = 999 WHERE PendingClientID = 1",
     "UPDATE Client SET PendingClient = 1 WHERE ClientID = 57",
     "cancelled - FROM is pending WPX actions [WPXPendingAction]",
     "Information: The client to be moved is a pending WPX client and cannot be merged.\n\nIf you want to merge them "
     "you will need to process/finalise them first."},
    {"PendingByFlag", "UPDATE Client SET PendingClient = 1 WHERE ClientID = 812",
     "UPDATE Client SET PendingClient = 1 WHERE ClientID = 812; DELETE FROM PXPendingClient WHERE GuestClientID = 812",
     "cancelled - FROM is pending WPX actions [WPXPendingAction]",
     "Information: The client to be moved is a pending WPX client and cannot be merged.\n\nIf you want to merge them "
     "you will need to process/finalise them first."},
    {"PasswordResetLaterToday",
     "UPDATE PXClientForgotPassword SET ExpiryDate = date('now', 'localtime') || ' 23:59:59', Activated = 0 "
     "WHERE ClientID = 812",
     "UPDATE PXClientForgotPassword SET ExpiryDate = date('now', 'localtime') || ' 23:59:59', Activated = 1 "
     "WHERE ClientID = 812",
     "cancelled - FROM has a pending WPX password reset [WPXPendingPassword]",
     "Information: The client to be moved has a WPX password reset pending and cannot be merged at this time."},
    {"PasswordResetExpiredYesterday", // the near miss is a reset that expired at midnight
     "UPDATE PXClientForgotPassword SET ExpiryDate = date('now', 'localtime') || ' 00:00:01', Activated = 0 "
     "WHERE ClientID = 812",
     "UPDATE PXClientForgotPassword SET ExpiryDate = date('now', 'localtime', '-1 day') || ' 23:59:59', "
     "Activated = 0 WHERE ClientID = 812",
     "cancelled - FROM has a pending WPX password reset [WPXPendingPassword]",
     "Information: The client to be moved has a WPX password reset pending and cannot be merged at this time."},
    {"LinkedWpxClients", "INSERT INTO PXClientLink (ClientID, GroupID) VALUES (700, 812)",
     "INSERT INTO PXClientLink (ClientID, GroupID) VALUES (700, 57)",
     "cancelled - FROM has linked WPX clients [WPXEnabledGrouped]",
     "Information: The client to be moved has linked WPX clients and cannot be merged.\n\nIf you want to merge them "
     "you will need to unlink them from the 'From' client."},
    {"LinkedToWpxClient",
     "INSERT INTO Client (ClientID, Name, Surname) VALUES (40, 'Gus', 'Group'); "
     "INSERT INTO PXClientLink (ClientID, GroupID) VALUES (812, 40), (812, 41)",
     "INSERT INTO PXClientLink (ClientID, GroupID) VALUES (57, 40)",
     "cancelled - FROM is linked to another WPX client [WPXEnabledLink]",
     "Information: The client to be moved is linked to the following WPX client(s) and cannot be merged.\n"
     "    ,  [41]\n    Group, Gus [40]\n\nIf you want to merge them you will need to unlink them first."},
    {"BadGroupMerge",
     "INSERT INTO Account (ClientID, AccountID, ShortDescription, GroupID) VALUES (57, 5, 'Link', 812)",
     "INSERT INTO Account (ClientID, AccountID, ShortDescription, GroupID) VALUES (57, 5, 'Link', 56)",
     "cancelled - account has a bad group merge [BadGroupIDMerge]",
     "Information: The clients accounts are linked and cannot be merged.\nIf you want to merge them you will need to "
     "unlink the 'To' client from the 'From' client."},
    {"InvalidMapping",
     "UPDATE Account SET AccountID = -3 WHERE ClientID = 57 AND AccountID = 1; "
     "UPDATE Account SET ShortDescription = 'Medicare' WHERE ClientID = 812 AND AccountID = 2",
     "UPDATE Account SET AccountID = 3 WHERE ClientID = 57 AND AccountID = 1; "
     "UPDATE Account SET ShortDescription = 'Medicare' WHERE ClientID = 812 AND AccountID = 2",
     "cancelled - account info is not correctly mapped [InvalidMapping]",
     "Warning: This client cannot be merged as the account information was not correctly mapped.\n\nPlease contact "
     "Ombrix to fix this issue."},
};

class RefusalTest : public PreChecksTest, public ::testing::WithParamInterface<Refusal>
{
};

TEST_P(RefusalTest, RefusesWithItsReasonAndChangesNothing)
{
    db.exec(QString::fromLatin1(GetParam().fixture));
    expectRefused(QString::fromLatin1(GetParam().logLine), QString::fromUtf8(GetParam().message));
}

TEST_P(RefusalTest, NearMissPasses)
{
    db.exec(QString::fromLatin1(GetParam().nearMiss));
    EXPECT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join("\n").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Checks, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(PreChecksTest, SameClientIsRefusedWithoutAQuery)
{
    const MergeClient client {812, "Sample", "One"};
    db.exec("DROP TABLE PXPendingClient"); // any query of a later check would fail
    EXPECT_EQ(mergeClients(*session, client, client), MergeOutcome::Refused);
    EXPECT_EQ(logLines(),
              (QStringList {"merging", "  from: 812=Sample, One", "  into: 812=Sample, One",
                            "cancelled - clients are the same"}));
    EXPECT_EQ(ui.shown, QStringList {"Information: The selected clients are the same."});
}

TEST_F(PreChecksTest, GroupedAccountsWarnAndTheMergeGoesOn)
{
    db.exec("INSERT INTO Account (ClientID, AccountID, ShortDescription, GroupID) VALUES (300, 0, 'Primary', 812)");
    EXPECT_EQ(merge(), MergeOutcome::Merged);
    EXPECT_TRUE(logLines().contains("warning - FROM client has clients linked to them [HasGroupedAccounts]"));
    EXPECT_EQ(ui.shown.first(),
              "Information: The client to be moved has clients linked to them.\nThe merge procedure will force "
              "primary accounts to be merged.\n\nIf you do not want this to happen then you will need to unlink "
              "anyone linked.");
    EXPECT_EQ(ui.accountDialogs, 1);
}

TEST_F(PreChecksTest, TwoPendingRowsAreLoggedAndTheFirstDecides)
{
    db.exec("INSERT INTO PXPendingClient (PendingClientID, GuestClientID, ParentID) VALUES (9, 812, 5)");
    EXPECT_FALSE(clientIsPending(*session, 812));
    EXPECT_EQ(logLines().last(), "clientIsPending - found 2 entries, expecting 1");
}

TEST_F(PreChecksTest, FailingQueriesPassOnOrPassTheCheckAsTheirRunnerDoes)
{
    db.exec("DROP TABLE PXClientForgotPassword; DROP TABLE PXClientLink");
    // Checks 4, 5 and 6 use the integer form: each failure is logged and boxed, then passes.
    EXPECT_EQ(merge(), MergeOutcome::Merged);
    EXPECT_EQ(ui.shown.filter("Kolvix Utility: doADOQuery: ").size(), 3);
    EXPECT_EQ(logLines().filter("doADOQuery() EXCEPTION ").size(), 3);

    // Check 3 uses the row-count form: its failure ends the attempt. (812 has gained a row since
    // its merge, so that the checks run again.)
    db.exec("DROP TABLE PXPendingClient; INSERT INTO Appoint (ClientID) VALUES (812)");
    ui.shown.clear();
    EXPECT_THROW(merge(), std::exception);
    EXPECT_EQ(ui.shown.filter("Kolvix Utility: doADOQuery: ").size(), 1);
}

TEST_F(PreChecksTest, ContactConflictShowsTheReportOfEveryPair)
{
    db.exec("INSERT INTO Relation (RelationID, Description, MergeID) VALUES (5, 'RelY', 5), (6, 'RelW', 6);"
            "INSERT INTO Contact (ContactID, Name, Surname, ContactType) VALUES "
            "  (41, 'Contact', 'A', 'TypeX'), (42, 'Contact', 'B', 'TypeX'), (43, 'Contact', 'C', 'TypeZ');"
            "INSERT INTO ClientContact (ClientID, ContactID, RelationID) VALUES "
            "  (57, 41, 5), (812, 42, 5), (57, 43, 6), (812, 43, 6);");
    expectRefused("cancelled - contacts conflict [ContactConflict]",
                  "Information: The client to be moved has conflicting contacts and cannot be merged.\r\n"
                  "\r\n"
                  "Duplicate relationships:\r\n"
                  "    Contact A (TypeX/RelY) && Contact B (TypeX/RelY)\r\n"
                  "\r\n"
                  "Identical contacts: (these can be resolved by the merge)\r\n"
                  "    Contact C (TypeZ/RelW)\r\n"
                  "\r\n"
                  "If you want to merge them you will need to resolve the contact details.\r\n");
}

TEST_F(PreChecksTest, ContactsSharedTheSameWayInAnyCaseDoNotConflict)
{
    db.exec("INSERT INTO Relation (RelationID, Description, MergeID) VALUES (6, 'Dentist', 6);"
            "INSERT INTO Contact (ContactID, Name, Surname, ContactType) VALUES (43, 'Contact', 'C', NULL);"
            "INSERT INTO ClientContact (ClientID, ContactID, RelationID, ContactType) VALUES "
            "  (57, 43, 6, 'dentist'), (812, 43, 6, 'DENTIST');");
    EXPECT_EQ(merge(), MergeOutcome::Merged);
    // The From client's row for the contact the To client holds stays where it is.
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM ClientContact WHERE ClientID = 812 AND ContactID = 43"), 1);
}

TEST_F(PreChecksTest, SameContactUnderAnotherRelationIsADuplicateContact)
{
    db.exec("INSERT INTO Relation (RelationID, Description, MergeID) VALUES (6, 'Dentist', 6), (7, 'Doctor', 7);"
            "INSERT INTO Contact (ContactID, Name, Surname, ContactType) VALUES (43, 'Contact', 'C', 'dentist');"
            "INSERT INTO ClientContact (ClientID, ContactID, RelationID) VALUES (57, 43, 6), (812, 43, 7);");
    expectRefused("cancelled - contacts conflict [ContactConflict]",
                  "Information: The client to be moved has conflicting contacts and cannot be merged.\r\n\r\n"
                  "Duplicate contacts: (with differing relationship and/or contact types)\r\n"
                  "    Contact C (dentist) && (dentist/Doctor)\r\n"
                  "\r\n"
                  "If you want to merge them you will need to resolve the contact details.\r\n");
}

} // namespace
