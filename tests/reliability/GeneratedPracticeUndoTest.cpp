// A generated practice, its heavy pair (thousands of rows over three accounts, one of them
// added) merged and undone: every table comes back exactly.

#include "reliability/DatabaseDigest.h"
#include "reliability/GeneratedPractice.h"

#include "db/Connection.h"
#include "ledger/MergeHistory.h"
#include "merge/MergeUndo.h"
#include "support/ScriptedUi.h"
#include "support/TestDatabase.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kolvix;
using namespace kolvix::test;

namespace {

TEST(GeneratedPracticeUndoTest, MergeThenUndoGivesBackEveryTableExactly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("practice.db"));
    const HeavyPair pair = generatePractice(path, 1000);
    const qint32 fromId = pair.from.toInt();
    const qint32 toId = pair.to.toInt();
    const DatabaseDigest before = digestOf(path, kNotProductTables);

    for (const bool useRollback : {true, false}) {
        SCOPED_TRACE(useRollback ? "Use Rollback on" : "Use Rollback off");
        ScriptedUi ui;
        Connection connection;
        connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=%1;").arg(path));
        connection.open();
        MergeSession session(connection, ui);
        session.UseRollback = useRollback;
        const auto from = loadClient(connection, fromId);
        const auto to = loadClient(connection, toId);
        ASSERT_TRUE(from && to);
        ASSERT_EQ(mergeClients(session, *from, *to), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
        ASSERT_NE(digestOf(path, kNotProductTables), before);

        const std::vector<MergeHistoryEntry> history = readMergeHistory(connection, 1);
        ASSERT_EQ(history.size(), 1u);
        EXPECT_GT(history[0].rows, 1000);
        const std::unique_ptr<UndoPlan> plan = planUndo(session, history[0].auditId);
        ASSERT_TRUE(plan) << ui.shown.join('\n').toStdString();
        ASSERT_EQ(executeUndo(session, *plan), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
        EXPECT_EQ(digestOf(path, kNotProductTables), before);
    }
}

} // namespace
