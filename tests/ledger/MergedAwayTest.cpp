// The clients earlier merges emptied: read from the merges' Audit rows, left out of the
// duplicate finder's scan, and candidates again once their merge row is marked reverted.

#include "ledger/MergedAway.h"
#include "duplicates/DuplicateFinder.h"
#include "ledger/MergeHistory.h"

#include "merge/MergeUndo.h"
#include "support/MergeFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace kolvix::test {
namespace {

TEST(ReadMergeAction, ReadsTheFromClientOfACommittedMergeOnly)
{
    struct Case
    {
        const char* action;
        int from;
    };
    const Case cases[] = {
        {"Merge 812 > 57 (Sample, One > Sample, Two)", 812},
        {"Merge 35 > 20 (Harpur, Louise > Harper, Louise)", 35},
        // Cut to the column's 100 characters: the ids stand first.
        {"Merge 1234567 > 7 (Montgomery-Worthington, Alexandra Elisabeth > Montgomery-Worthington, Alexan", 1234567},
        {"Merge 35 > 20 (Harpur, Louise > Harper, Louise) - reverted", -1},
        {"Merge 35 > 20 (Harpur, Louise > Harp - reverted", -1},
        {"Merged the accounts", -1},
        {"Merge x > 20", -1},
        {"", -1},
    };
    for (const Case& c : cases) {
        const std::optional<MergeAction> action = readMergeAction(QString::fromLatin1(c.action));
        EXPECT_EQ(action && !action->reverted ? action->from : -1, c.from) << c.action;
    }
}

class MergedAwayTest : public MergeFixture
{
protected:
    void SetUp() override
    {
        MergeFixture::SetUp();
        // One patient registered twice, with an account each.
        db.exec("INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Mobile, Active) VALUES "
                "(20, 'Harper', 'Louise', '1975-04-09 00:00:00', '0412 345 678', 'T'),"
                "(35, 'Harpur', 'Louise', '1975-04-09 00:00:00', '0412345678', 'T');"
                "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (20, 0, 'Primary'), "
                "(35, 0, 'Primary');"
                "INSERT INTO Appoint (ClientID) VALUES (35);");
    }

    DuplicateScanResult scan()
    {
        DuplicateFinder finder(connection);
        return finder.scan({});
    }

    // The pair of 20 and 35, whichever of the two the scan suggests keeping.
    static bool listsHarper(const DuplicateScanResult& result)
    {
        for (const DuplicatePair& pair : result.pairs)
            if (std::min(pair.keep.clientId, pair.merge.clientId) == 20
                && std::max(pair.keep.clientId, pair.merge.clientId) == 35)
                return true;
        return false;
    }
};

TEST_F(MergedAwayTest, AMergedPairLeavesTheListAndComesBackWhenItsMergeRowIsMarkedReverted)
{
    const DuplicateScanResult first = scan();
    ASSERT_TRUE(listsHarper(first));
    EXPECT_EQ(first.mergedAway, 0);

    // A merge that fails is rolled back and its row marked: nothing was merged away.
    ui.onStep = [](int step) {
        if (step == 2)
            throw std::runtime_error("the disk is full");
    };
    ASSERT_EQ(merge(35, 20), MergeOutcome::Failed);
    EXPECT_TRUE(readMergedAwayClients(connection).isEmpty());
    EXPECT_TRUE(listsHarper(scan()));

    ui.onStep = nullptr;
    ASSERT_EQ(merge(35, 20), MergeOutcome::Merged);
    EXPECT_EQ(readMergedAwayClients(connection), QSet<int>({35}));
    const DuplicateScanResult merged = scan();
    EXPECT_FALSE(listsHarper(merged));
    EXPECT_EQ(merged.mergedAway, 1);
    EXPECT_EQ(merged.clients, first.clients - 1);

    // Marked reverted: the From client counts again.
    db.exec("UPDATE Audit SET Action = Action || ' - reverted' WHERE Action NOT LIKE '% - reverted'");
    EXPECT_TRUE(readMergedAwayClients(connection).isEmpty());
    const DuplicateScanResult reverted = scan();
    EXPECT_TRUE(listsHarper(reverted));
    EXPECT_EQ(reverted.mergedAway, 0);
    EXPECT_EQ(reverted.clients, first.clients);
}

TEST_F(MergedAwayTest, AnUndoneMergesFromClientIsACandidateAgain)
{
    const DuplicateScanResult first = scan();
    ASSERT_EQ(merge(35, 20), MergeOutcome::Merged);
    const int audit = int(db.count("SELECT MAX(AuditID) FROM Audit"));
    EXPECT_FALSE(listsHarper(scan()));

    const std::unique_ptr<UndoPlan> plan = planUndo(*session, audit);
    ASSERT_TRUE(plan) << ui.shown.join('\n').toStdString();
    ASSERT_EQ(executeUndo(*session, *plan), MergeOutcome::Merged);
    EXPECT_TRUE(readMergedAwayClients(connection).isEmpty());
    const DuplicateScanResult undone = scan();
    EXPECT_TRUE(listsHarper(undone));
    EXPECT_EQ(undone.mergedAway, 0);
    EXPECT_EQ(undone.clients, first.clients);

    // Another merge of the same client after the undo stands again.
    ASSERT_EQ(merge(35, 20), MergeOutcome::Merged);
    EXPECT_EQ(readMergedAwayClients(connection), QSet<int>({35}));
}

TEST_F(MergedAwayTest, OnlyTheMergesRowsCount)
{
    db.exec("INSERT INTO Audit (UserName, Action) VALUES ('RECEPTION', 'Merge 35 > 20 (typed by hand)'),"
            "('MERGE', 'Merge 812 > 57 (Sample, One > Sample, Two)'), ('MERGE', NULL)");
    EXPECT_EQ(readMergedAwayClients(connection), QSet<int>({812}));
    EXPECT_TRUE(listsHarper(scan()));
}

} // namespace
} // namespace kolvix::test
