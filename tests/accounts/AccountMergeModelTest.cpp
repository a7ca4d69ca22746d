// The row logic of the account merging dialog: loading the rows from the account model,
// checking new names, writing the decisions back and the dialog's geometry.

#include "accounts/AccountMergeModel.h"
#include "accounts/AccountInfo.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>
#include <utility>
#include <vector>

namespace kolvix::test {
namespace {

using Destinations = std::vector<std::pair<QString, qint32>>;

// An account model as Load leaves it, built by hand: the To client's accounts and the slots.
struct ModelFixture
{
    TaInfo info;

    ModelFixture(const std::vector<std::pair<int, QString>>& toAccounts, bool grouped = false)
    {
        info.FromInfo.ClientID = 812;
        info.FromInfo.ClientName = QStringLiteral("Sample, One");
        info.ToInfo.ClientID = 57;
        info.ToInfo.ClientName = QStringLiteral("Sample, Two");
        for (const auto& [id, name] : toAccounts) {
            insertSortedAccountEntry(info.ToInfo.AccountList, QStringLiteral("%1=%2").arg(id).arg(name));
            info.ToInfo.MaxAccountID = std::max(info.ToInfo.MaxAccountID, id);
        }
        info.HasGroupedAccounts = grouped;
    }

    ModelFixture& slot(int id, TaAction action, const QString& fromName, int toID = -1, const QString& toName = {})
    {
        if (info.Accounts.size() <= size_t(id))
            info.Accounts.resize(size_t(id) + 1);
        info.Accounts[size_t(id)] = TaAccount {action, id, fromName, toID, toName};
        info.FromInfo.MaxAccountID = std::max(info.FromInfo.MaxAccountID, id);
        return *this;
    }

    QString slotText(int id) const
    {
        const TaAccount& a = info.Accounts.at(size_t(id));
        static const char* words[] = {"UNUSED", "UNASSIGNED", "MERGE", "APPEND"};
        return QStringLiteral("%1 %2 %3").arg(QLatin1String(words[int(a.Action)])).arg(a.ToID).arg(a.ToName);
    }
};

const QString kIssuesHead = QStringLiteral("The following issues were encountered with the proposed merge:\n");
const QString kIssuesTail
    = QStringLiteral("\n\nYou will need to resolve these issues before continuing with the merge.");

TEST(AccountMergeRows, OneRowPerUsedSlotLoadedFromTheModel)
{
    ModelFixture f({{0, QStringLiteral("Primary")}, {1, QStringLiteral("Medicare")}, {10, QStringLiteral("Ten")}});
    f.slot(0, TaAction::MERGE, QStringLiteral("Primary"), 0, QStringLiteral("Primary"))
        .slot(2, TaAction::UNASSIGNED, QStringLiteral("WorkCover"))
        .slot(3, TaAction::APPEND, QStringLiteral("Main"), 0, QStringLiteral("Grouped"))
        .slot(5, TaAction::MERGE, QStringLiteral("Ten dollars"), 10, QStringLiteral("TEN"));
    // slots 1 and 4 stay UNUSED

    AccountMergeModel model(f.info);
    const auto& rows = model.rows();
    ASSERT_EQ(rows.size(), 4u);
    const Destinations destinations
        = {{QStringLiteral("Primary"), 0}, {QStringLiteral("Medicare"), 1}, {QStringLiteral("Ten"), 10}};

    struct Expected
    {
        const char* name;
        qint32 tag;
        const char* source;
        int action;
        int destinationIndex;
        const char* newName;
    };
    const Expected expected[] = {
        {"fraAction00", 0, "Primary", AccountMergeModel::Merge, 0, "Primary"},
        {"fraAction01", 2, "WorkCover", AccountMergeModel::Add, 0, "WorkCover"}, // no ToName: item 0
        {"fraAction02", 3, "Main", AccountMergeModel::Add, 0, "Main"}, // APPEND shows the From name
        {"fraAction03", 5, "Ten dollars", AccountMergeModel::Merge, 2, "TEN"}, // ToName found ignoring case
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(rows[i].name, QString::fromLatin1(expected[i].name));
        EXPECT_EQ(rows[i].tag, expected[i].tag);
        EXPECT_EQ(rows[i].source, QString::fromLatin1(expected[i].source));
        EXPECT_EQ(rows[i].action, expected[i].action);
        EXPECT_EQ(rows[i].destinations, destinations);
        EXPECT_EQ(rows[i].destinationIndex, expected[i].destinationIndex);
        EXPECT_EQ(rows[i].newName, QString::fromLatin1(expected[i].newName));
        EXPECT_FALSE(rows[i].locked);
    }
    EXPECT_EQ(model.rowForAccount(3), &model.rows()[2]);
    EXPECT_EQ(model.rowForAccount(1), nullptr);
    EXPECT_EQ(model.fromName(), QStringLiteral("Sample, One"));
    EXPECT_EQ(model.toName(), QStringLiteral("Sample, Two"));
}

TEST(AccountMergeRows, RowNamesUseTwoDigitsAtLeast)
{
    ModelFixture f({{0, QStringLiteral("Primary")}});
    for (int id = 0; id <= 100; ++id)
        f.slot(id, TaAction::UNASSIGNED, QStringLiteral("A%1").arg(id));
    AccountMergeModel model(f.info);
    EXPECT_EQ(model.rows()[9].name, QStringLiteral("fraAction09"));
    EXPECT_EQ(model.rows()[10].name, QStringLiteral("fraAction10"));
    EXPECT_EQ(model.rows()[100].name, QStringLiteral("fraAction100"));
}

TEST(AccountMergeRows, EmptyDestinationListSelectsNothing)
{
    ModelFixture f({});
    f.slot(0, TaAction::UNASSIGNED, QStringLiteral("Primary"));
    AccountMergeModel model(f.info);
    ASSERT_EQ(model.rows().size(), 1u);
    EXPECT_TRUE(model.rows()[0].destinations.empty());
    EXPECT_EQ(model.rows()[0].destinationIndex, -1);
}

TEST(AccountMergeRows, OnlyThePrimaryRowOfAGroupedClientIsLocked)
{
    for (bool grouped : {false, true}) {
        ModelFixture f({{0, QStringLiteral("Main")}}, grouped);
        f.slot(0, TaAction::MERGE, QStringLiteral("Primary"), 0, QStringLiteral("Main"))
            .slot(1, TaAction::UNASSIGNED, QStringLiteral("X"));
        AccountMergeModel model(f.info);
        EXPECT_EQ(model.rows()[0].locked, grouped);
        EXPECT_FALSE(model.rows()[1].locked);
    }
}

TEST(AccountMergeRows, EqualNamesIgnoringCasePreselectAndWriteBackTheFirst)
{
    ModelFixture f({{3, QStringLiteral("Medicare")}, {12, QStringLiteral("MEDICARE")}}); // positions: 12, then 3
    f.slot(1, TaAction::MERGE, QStringLiteral("medicare"), 3, QStringLiteral("Medicare"));
    AccountMergeModel model(f.info);
    EXPECT_EQ(model.rows()[0].destinationIndex, 0);
    EXPECT_EQ(model.accept(), QString());
    EXPECT_EQ(f.slotText(1), QStringLiteral("MERGE 12 MEDICARE"));
}

// ---------------------------------------------------------------------------------------------
// Checks of new names

TEST(AccountMergeChecks, ValidRowsGiveNoIssues)
{
    ModelFixture f({{0, QStringLiteral("Primary")}, {1, QStringLiteral("Medicare")}});
    f.slot(0, TaAction::MERGE, QStringLiteral("Primary"), 0, QStringLiteral("Primary"))
        .slot(1, TaAction::UNASSIGNED, QStringLiteral("Workcover"))
        .slot(2, TaAction::UNASSIGNED, QStringLiteral("Other"));
    AccountMergeModel model(f.info);
    EXPECT_EQ(model.validate(), QString());
    model.rows()[2].newName = QStringLiteral("Workcover"); // two new accounts of one name pass
    EXPECT_EQ(model.validate(), QString());
    model.rows()[0].newName = QString(); // a Merge row's edit box is not checked
    EXPECT_EQ(model.validate(), QString());
}

TEST(AccountMergeChecks, IssuesAreCollectedInRowOrder)
{
    ModelFixture f({{0, QStringLiteral("Primary")}, {1, QStringLiteral("Medicare")}});
    f.slot(0, TaAction::UNASSIGNED, QStringLiteral("Primary")) // own name, in use by To
        .slot(1, TaAction::UNASSIGNED, QStringLiteral("Blank")) // cleared below
        .slot(2, TaAction::MERGE, QStringLiteral("Medicare"), 1, QStringLiteral("Medicare"))
        .slot(3, TaAction::UNASSIGNED, QStringLiteral("Spaces")) // spaces only
        .slot(4, TaAction::UNASSIGNED, QStringLiteral("Other"));
    AccountMergeModel model(f.info);
    model.rows()[1].newName = QString();
    model.rows()[2].action = AccountMergeModel::Add; // switched: edit box holds "Medicare"
    model.rows()[3].newName = QStringLiteral(" \t ");
    model.rows()[4].newName = QStringLiteral("  mEDICARE  "); // compared trimmed, ignoring case
    QStringList before;
    for (int id = 0; id <= 4; ++id)
        before << f.slotText(id);

    EXPECT_EQ(model.validate(),
              kIssuesHead
                  + QStringLiteral("\nThe new name you entered for account 'Primary' is already in use."
                                   "\nYou have not entered a new name for account 'Blank'."
                                   "\nThe new name you entered for account 'Medicare' is already in use."
                                   "\nYou have not entered a new name for account 'Spaces'."
                                   "\nThe new name you entered for account 'Other' is already in use.")
                  + kIssuesTail);
    // Refused: nothing is written back.
    EXPECT_EQ(model.accept(), model.validate());
    for (int id = 0; id <= 4; ++id)
        EXPECT_EQ(f.slotText(id), before[id]);
}

// The account-name column holds 16 characters: a longer new name, as it would be stored (with
// its blanks), is an issue line of its own and nothing is written back.
TEST(AccountMergeChecks, NewNamesLongerThanTheColumnAreRefused)
{
    ModelFixture f({{0, QStringLiteral("Primary")}});
    f.slot(1, TaAction::UNASSIGNED, QStringLiteral("Long"))
        .slot(2, TaAction::UNASSIGNED, QStringLiteral("Padded"))
        .slot(3, TaAction::UNASSIGNED, QStringLiteral("Fits"))
        .slot(4, TaAction::UNASSIGNED, QStringLiteral("LongAndInUse"));
    AccountMergeModel model(f.info);
    ASSERT_EQ(AccountMergeModel::kMaxNameLength, 16);
    model.rows()[0].newName = QStringLiteral("Seventeen chars!!");
    model.rows()[1].newName = QStringLiteral(" Fifteen chars! "); // 16 with its blanks
    model.rows()[2].newName = QStringLiteral("Sixteen chars!!!");
    model.rows()[3].newName = QStringLiteral("primary") + QString(10, QLatin1Char(' '));
    const QString issues = kIssuesHead
        + QStringLiteral("\nThe new name you entered for account 'Long' is longer than 16 characters."
                         "\nThe new name you entered for account 'LongAndInUse' is already in use."
                         "\nThe new name you entered for account 'LongAndInUse' is longer than 16 characters.")
        + kIssuesTail;
    EXPECT_EQ(model.validate(), issues);
    EXPECT_EQ(model.accept(), issues);
    EXPECT_EQ(f.slotText(1), QStringLiteral("UNASSIGNED -1 "));
    EXPECT_EQ(f.slotText(3), QStringLiteral("UNASSIGNED -1 "));

    model.rows()[0].newName = QStringLiteral("Long");
    model.rows()[3].newName = QStringLiteral("Other");
    EXPECT_EQ(model.accept(), QString());
    EXPECT_EQ(f.slotText(2), QStringLiteral("APPEND 2  Fifteen chars! "));
    EXPECT_EQ(f.slotText(3), QStringLiteral("APPEND 3 Sixteen chars!!!"));
}

TEST(AccountMergeChecks, LockedRowTakesPartWhenItShowsAdd)
{
    ModelFixture f({{4, QStringLiteral("Primary")}, {9, QStringLiteral("Other")}}, /*grouped*/ true);
    f.slot(0, TaAction::APPEND, QStringLiteral("primary"), 0, QStringLiteral("Grouped"));
    AccountMergeModel model(f.info);
    ASSERT_TRUE(model.rows()[0].locked);
    EXPECT_EQ(model.accept(),
              kIssuesHead + QStringLiteral("\nThe new name you entered for account 'primary' is already in use.")
                  + kIssuesTail);
    EXPECT_EQ(f.slotText(0), QStringLiteral("APPEND 0 Grouped"));
}

// ---------------------------------------------------------------------------------------------
// Write-back

TEST(AccountMergeWriteBack, NewAccountsAreNumberedAboveTheToClientsHighest)
{
    for (const auto& [toAccounts, firstID] : std::vector<std::pair<std::vector<std::pair<int, QString>>, int>> {
             {{{0, "Primary"}, {7, "Seven"}}, 8}, {{}, 1}}) {
        ModelFixture f(toAccounts);
        f.slot(2, TaAction::UNASSIGNED, QStringLiteral("Two"))
            .slot(5, TaAction::UNASSIGNED, QStringLiteral("Five"))
            .slot(9, TaAction::UNASSIGNED, QStringLiteral("Nine"));
        AccountMergeModel model(f.info);
        model.rows()[1].newName = QStringLiteral("  Five new "); // stored as typed
        ASSERT_EQ(model.accept(), QString());
        EXPECT_EQ(f.slotText(2), QStringLiteral("APPEND %1 Two").arg(firstID));
        EXPECT_EQ(f.slotText(5), QStringLiteral("APPEND %1   Five new ").arg(firstID + 1));
        EXPECT_EQ(f.slotText(9), QStringLiteral("APPEND %1 Nine").arg(firstID + 2));
        EXPECT_EQ(f.info.Accounts[5].FromName, QStringLiteral("Five"));
        EXPECT_EQ(f.info.Accounts[5].FromID, 5);
    }
}

TEST(AccountMergeWriteBack, MergeRowsTakeTheSelectedAccountAndNewIdsSkipThem)
{
    ModelFixture f({{0, QStringLiteral("Primary")}, {1, QStringLiteral("Medicare")}, {3, QStringLiteral("WC")}});
    f.slot(0, TaAction::MERGE, QStringLiteral("Primary"), 0, QStringLiteral("Primary"))
        .slot(1, TaAction::MERGE, QStringLiteral("EPC"), 1, QStringLiteral("Medicare"))
        .slot(2, TaAction::UNASSIGNED, QStringLiteral("Extra"))
        .slot(4, TaAction::APPEND, QStringLiteral("Later"), 0, QStringLiteral("Primary"));
    AccountMergeModel model(f.info);
    model.rows()[1].destinationIndex = 2; // positions: 0, 1, 3 -> WC
    model.rows()[3].newName = QStringLiteral("Later on");
    ASSERT_EQ(model.accept(), QString());
    EXPECT_EQ(f.slotText(0), QStringLiteral("MERGE 0 Primary"));
    EXPECT_EQ(f.slotText(1), QStringLiteral("MERGE 3 WC"));
    EXPECT_EQ(f.slotText(2), QStringLiteral("APPEND 4 Extra"));
    EXPECT_EQ(f.slotText(4), QStringLiteral("APPEND 5 Later on"));
}

TEST(AccountMergeWriteBack, LockedRowIsNeverWrittenBack)
{
    ModelFixture f({{0, QStringLiteral("Main")}, {2, QStringLiteral("Two")}}, /*grouped*/ true);
    f.slot(0, TaAction::MERGE, QStringLiteral("Primary"), 0, QStringLiteral("Main"))
        .slot(1, TaAction::UNASSIGNED, QStringLiteral("One"));
    AccountMergeModel model(f.info);
    model.rows()[0].destinationIndex = 1; // whatever the locked row shows
    model.rows()[0].action = AccountMergeModel::Add;
    model.rows()[0].newName = QStringLiteral("Something");
    ASSERT_EQ(model.accept(), QString());
    EXPECT_EQ(f.slotText(0), QStringLiteral("MERGE 0 Main"));
    EXPECT_EQ(f.slotText(1), QStringLiteral("APPEND 3 One"));
}

TEST(AccountMergeWriteBack, MergeWithoutDestinationThrowsAndChangesNothing)
{
    ModelFixture f({});
    f.slot(0, TaAction::UNASSIGNED, QStringLiteral("Primary")).slot(1, TaAction::UNASSIGNED, QStringLiteral("Other"));
    AccountMergeModel model(f.info);
    model.rows()[1].action = AccountMergeModel::Merge;
    EXPECT_EQ(model.validate(), QString());
    EXPECT_THROW(model.writeBack(), std::out_of_range);
    EXPECT_THROW(model.accept(), std::out_of_range);
    EXPECT_EQ(f.slotText(0), QStringLiteral("UNASSIGNED -1 "));
    EXPECT_EQ(f.slotText(1), QStringLiteral("UNASSIGNED -1 "));
}

// ---------------------------------------------------------------------------------------------
// Confirmation

TEST(AccountMergeDialog, NoRowsAndConfirmationText)
{
    ModelFixture f({{0, QStringLiteral("Primary")}});
    AccountMergeModel model(f.info);
    EXPECT_TRUE(model.rows().empty());
    EXPECT_EQ(model.accept(), QString());
    EXPECT_EQ(model.confirmationText(),
              QStringLiteral("Are you sure you want to merge the details of 'Sample, One' with "
                             "'Sample, Two'?\n\nThis operation cannot be reversed."));
}

} // namespace
} // namespace kolvix::test
