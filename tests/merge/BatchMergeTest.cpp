// A run of reviewed pairs: each merged exactly as a single merge with the proposed accounts, or
// skipped with its reason, never half done; each merge undoable on its own.

#include "support/MergeFixture.h"
#include "support/QtPrinting.h"

#include "ledger/DistinctPairs.h"
#include "ledger/MergeHistory.h"
#include "merge/BatchMerge.h"
#include "merge/MergeUndo.h"

using namespace kolvix;
using namespace kolvix::test;

namespace {

class BatchMergeTest : public MergeFixture
{
protected:
    void SetUp() override
    {
        MergeFixture::SetUp();
        db.exec(kMorePairs);
    }

    static QStringList lines(const std::vector<BatchResult>& results)
    {
        QStringList list;
        for (const BatchResult& r : results)
            list << QStringLiteral("%1>%2 %3").arg(r.merge).arg(r.keep).arg(r.outcomeText());
        return list;
    }
};

TEST_F(BatchMergeTest, MergesThePairsTheSingleMergeWouldAndSkipsTheRestWithTheirReasons)
{
    const std::vector<BatchPair> pairs = {
        {401, 301, {}, {}}, // merged
        {403, 303, {}, {}}, // a check refuses it
        {404, 304, {}, {}}, // the accounts need a person
        {812, 57, {}, {}}, // merged
        {57, 302, {}, {}}, // merged: 57 kept the rows of 812 and goes on into 302
        {812, 402, {}, {}}, // 812 was merged away by pair 4
        {402, 999, {}, {}}, // no such client
        {402, 302, QStringLiteral("Moris, Oliver"), QStringLiteral("Morris, Olivia")}, // renamed since the scan
    };
    const auto before = db.snapshot(kNotProductTables);
    int reported = 0;
    BatchOptions options;
    options.pairDone = [&](int index, const BatchResult&) { EXPECT_EQ(index, reported++); };
    const std::vector<BatchResult> results = mergePairs(*session, pairs, options);
    EXPECT_EQ(reported, 8);
    EXPECT_EQ(lines(results),
              (QStringList {"401>301 merged", "403>303 skipped", "404>304 skipped", "812>57 merged", "57>302 merged",
                            "812>402 skipped", "402>999 skipped", "402>302 skipped"}));
    EXPECT_TRUE(results[1].reason.startsWith("The client to be moved has linked WPX clients and cannot be merged."))
        << results[1].reason.toStdString();
    EXPECT_TRUE(results[2].reason.startsWith("the accounts need a decision: ")) << results[2].reason.toStdString();
    EXPECT_EQ(results[5].reason, "client 812 was merged away by pair 4");
    EXPECT_EQ(results[6].reason, "client 999 does not exist");
    EXPECT_EQ(results[7].reason, "client 302 changed since the scan (now 'Morris, Oliver')");
    // Nothing of the run is shown; each reason is one line.
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.shown.join('\n').toStdString();
    for (const BatchResult& r : results)
        EXPECT_FALSE(r.reason.contains('\n'));

    // The skipped pairs are untouched; each merged pair has its own Audit row and ledger and is
    // undone on its own, newest first.
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 404"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Appoint WHERE ClientID = 403"), 1);
    for (int pair : {4, 3, 0}) {
        ASSERT_GT(results[pair].auditId, 0);
        const std::unique_ptr<UndoPlan> plan = planUndo(*session, results[pair].auditId);
        ASSERT_TRUE(plan) << ui.shown.join('\n').toStdString();
        ASSERT_EQ(executeUndo(*session, *plan), MergeOutcome::Merged);
    }
    EXPECT_EQ(db.snapshot(kNotProductTables), before);
}

// A run repeated, or a pair merged from elsewhere in between, merges nothing twice.
TEST_F(BatchMergeTest, APairMergedAlreadyIsSkippedAndSaysByWhichMerge)
{
    const std::vector<BatchPair> pairs = {{401, 301, {}, {}}, {812, 57, {}, {}}};
    ASSERT_EQ(lines(mergePairs(*session, pairs)), (QStringList {"401>301 merged", "812>57 merged"}));
    const int second = int(db.count("SELECT MAX(AuditID) FROM Audit"));
    const auto merged = db.snapshot();
    const std::vector<BatchResult> again = mergePairs(*session, pairs);
    ASSERT_EQ(lines(again), (QStringList {"401>301 skipped", "812>57 skipped"}));
    EXPECT_EQ(again[0].reason, QStringLiteral("already merged by merge %1").arg(second - 1));
    EXPECT_EQ(again[1].reason, QStringLiteral("already merged by merge %1").arg(second));
    EXPECT_EQ(db.snapshot(), merged);

    // A pair whose kept client was merged away elsewhere names where it went.
    const std::vector<BatchResult> into = mergePairs(*session, {{402, 401, {}, {}}});
    ASSERT_EQ(lines(into), QStringList {"402>401 skipped"});
    EXPECT_EQ(into[0].reason, QStringLiteral("client 401 was merged into 301 by merge %1").arg(second - 1));
}

// A pair marked as different people is skipped with the mark as its reason, and nothing asks to
// remove the mark; once the mark is removed the pair merges.
TEST_F(BatchMergeTest, SkipsAPairMarkedAsDifferentPeopleNamingTheMark)
{
    platform.user = QString();
    platform.computer = QStringLiteral("reception-2");
    markDistinctPair(connection, 301, 401, {});
    const auto before = db.snapshot(kNotProductTables);
    const std::vector<BatchResult> results = mergePairs(*session, {{401, 301, {}, {}}});
    EXPECT_EQ(lines(results), QStringList {"401>301 skipped"});
    EXPECT_EQ(results[0].reason,
              QStringLiteral("marked as different people on %1 by reception-2")
                  .arg(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"))));
    EXPECT_TRUE(ui.questions.isEmpty());
    EXPECT_EQ(db.snapshot(kNotProductTables), before);

    ASSERT_TRUE(unmarkDistinctPair(connection, 401, 301));
    EXPECT_EQ(lines(mergePairs(*session, {{401, 301, {}, {}}})), QStringList {"401>301 merged"});
}

TEST_F(BatchMergeTest, StopsBetweenPairsAndOnTheFirstSkipWhenAsked)
{
    const std::vector<BatchPair> pairs = {{401, 301, {}, {}}, {403, 303, {}, {}}, {402, 302, {}, {}}};
    BatchOptions stopAfterFirst;
    int done = 0;
    stopAfterFirst.pairDone = [&](int, const BatchResult&) { ++done; };
    stopAfterFirst.stopRequested = [&] { return done == 1; };
    EXPECT_EQ(lines(mergePairs(*session, pairs, stopAfterFirst)), QStringList {"401>301 merged"});
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 402"), 1);

    BatchOptions stopOnSkip;
    stopOnSkip.stopOnSkip = true;
    EXPECT_EQ(lines(mergePairs(*session, {pairs[1], pairs[2]}, stopOnSkip)), QStringList {"403>303 skipped"});
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 402"), 1);
}

TEST_F(BatchMergeTest, ADryRunReportsEveryPairAndChangesNothing)
{
    const auto before = db.snapshot({});
    BatchOptions dryRun;
    dryRun.dryRun = true;
    const std::vector<BatchResult> results
        = mergePairs(*session, {{401, 301, {}, {}}, {403, 303, {}, {}}, {812, 57, {}, {}}, {812, 302, {}, {}}}, dryRun);
    // As the run itself would: 812, merged by the third pair, is not merged again by the fourth.
    EXPECT_EQ(lines(results), (QStringList {"401>301 merged", "403>303 skipped", "812>57 merged", "812>302 skipped"}));
    EXPECT_EQ(results[3].reason, "client 812 was merged away by pair 3");
    EXPECT_EQ(results[0].auditId, -1);
    EXPECT_EQ(db.snapshot({}), before);
}

} // namespace
