// kolvix-merge --history, --undo and --irreversible, run as a process.

#include "support/KolvixMergeFixture.h"

#include "platform/Platform.h"

#include <QRegularExpression>

using namespace kolvix;
using namespace kolvix::test;

namespace {

// A merge, its line in the history, a dry run of its undo, the undo, and the history again:
// the practice is back exactly as it was, and the merge cannot be undone twice.
TEST_F(KolvixMergeTest, HistoryListsAMergeAndItsUndoRestoresTheDatabaseExactly)
{
    EXPECT_EQ(historyLines(run({"--history"})), QStringList {});
    const auto before = db.snapshot(kNotProductTables);

    const ProcessRun merged = run({"--from", "812", "--to", "57", "--yes", "--progress"});
    ASSERT_EQ(merged.exitCode, 0) << merged.out.toStdString();
    int rowsChanged = 0;
    for (const QString& line : merged.err.split('\n', Qt::SkipEmptyParts))
        rowsChanged += line.section(": ", 1).section(' ', 0, 0).toInt();
    ASSERT_GT(rowsChanged, 0) << merged.err.toStdString();
    const QString audit = db.scalar("SELECT MAX(AuditID) FROM Audit");
    const QString when = db.scalar("SELECT AuditDateTime FROM Audit WHERE AuditID = " + audit).left(19);

    const QStringList lines = historyLines(run({"--history"}));
    ASSERT_EQ(lines.size(), 1);
    const QStringList cells = lines[0].split('\t');
    EXPECT_EQ(cells,
              (QStringList {audit, QString(when).replace('T', ' '), platform().computerName(), "812", "57",
                            "Sample, One", "Sample, Two", QString::number(rowsChanged), "merged"}));
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(cells.value(1)).hasMatch())
        << cells.value(1).toStdString();

    // A dry run, and a question nobody answers: nothing changes.
    const auto asMerged = db.snapshot();
    const ProcessRun dryRun = run({"--undo", audit, "--dry-run", "--yes"});
    EXPECT_EQ(dryRun.exitCode, 0) << dryRun.out.toStdString();
    EXPECT_TRUE(dryRun.out.contains("\nAre you sure you want to undo merge " + audit
                                    + " of 'Sample, One' into 'Sample, Two' ("))
        << dryRun.out.toStdString();
    EXPECT_TRUE(dryRun.out.contains("\n  Trans: 3 moved back\n")) << dryRun.out.toStdString();
    EXPECT_TRUE(dryRun.out.contains("\n  Account: 1 added by the merge removed\n")) << dryRun.out.toStdString();
    EXPECT_TRUE(dryRun.out.endsWith("stay with 'Sample, Two'.\n(--yes) Yes\nInformation: Dry run complete: the undo "
                                    "ran and was rolled back. Nothing was changed.\n"))
        << dryRun.out.toStdString();
    EXPECT_EQ(db.snapshot(), asMerged);
    const ProcessRun unanswered = run({"--undo", audit});
    EXPECT_EQ(unanswered.exitCode, 1) << unanswered.out.toStdString();
    EXPECT_TRUE(unanswered.out.endsWith("(no terminal input) No\n")) << unanswered.out.toStdString();
    EXPECT_EQ(db.snapshot(), asMerged);

    const ProcessRun undone = run({"--undo", audit, "--yes"});
    EXPECT_EQ(undone.exitCode, 0) << undone.out.toStdString() << undone.err.toStdString();
    EXPECT_TRUE(undone.out.endsWith("Information: Merge " + audit
                                    + " has been undone: the rows it moved from 'Sample, One' to 'Sample, Two' are "
                                      "back with 'Sample, One'.\n"))
        << undone.out.toStdString();
    EXPECT_EQ(db.snapshot(kNotProductTables), before);

    // The undo's own Audit row is no merge of the history.
    const QStringList after = historyLines(run({"--history"}));
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(after[0].section('\t', 0, 7), lines[0].section('\t', 0, 7));
    EXPECT_TRUE(QRegularExpression("\tundone \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d$").match(after[0]).hasMatch())
        << after[0].toStdString();

    const auto asUndone = db.snapshot();
    const ProcessRun again = run({"--undo", audit, "--yes"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.out.contains("\nInformation: Merge " + audit + " was undone on ")) << again.out.toStdString();
    EXPECT_TRUE(again.out.endsWith(". An undone merge cannot be undone again.\n")) << again.out.toStdString();
    const ProcessRun none = run({"--undo", "999", "--yes"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.out.endsWith("\nInformation: There is no merge with the Audit row 999.\nThe merge history lists "
                                  "the merges and their Audit rows.\n"))
        << none.out.toStdString();
    EXPECT_EQ(db.snapshot(), asUndone);
}

// One line per merge whatever its names hold, newest first; a merge without a ledger has no
// row count; --limit keeps the newest.
TEST_F(KolvixMergeTest, HistoryGivesEachMergeOneLineNewestFirst)
{
    // A merge made before merges kept a ledger: its Audit row alone.
    db.exec("INSERT INTO Audit (AuditDateTime, UserName, Action, Comment) VALUES ('2025-01-02 03:04:05', 'MERGE', "
            "'Merge 3 > 4 (Old, One > Old, Two)', 'MRG[0:Primary|0:Primary]');"
            "UPDATE Client SET Surname = 'Sam\tple', Name = 'O\r\nne' WHERE ClientID = 812");
    const QString old = db.scalar("SELECT MAX(AuditID) FROM Audit");
    ASSERT_EQ(run({"--from", "812", "--to", "57", "--yes"}).exitCode, 0);
    const QString audit = db.scalar("SELECT MAX(AuditID) FROM Audit");

    const QStringList lines = historyLines(run({"--history"}));
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(audit + "\t")) << lines[0].toStdString();
    EXPECT_EQ(lines[0].section('\t', 5, 6), "Sam\\tple, O\\r\\nne\tSample, Two") << lines[0].toStdString();
    EXPECT_EQ(lines[0].count('\t'), 8);
    EXPECT_TRUE(lines[0].endsWith("\tmerged"));
    EXPECT_EQ(lines[1], old + "\t2025-01-02 03:04:05\t\t3\t4\tOld, One\tOld, Two\t\tnot reversible");

    EXPECT_EQ(historyLines(run({"--history", "--limit", "1"})), QStringList {lines[0]});
    for (const QStringList& bad : {QStringList {"--history", "--limit", "0"}, QStringList {"--history", "--limit=x"},
                                   QStringList {"--history", "--undo", audit}, QStringList {"--undo", "0", "--yes"},
                                   QStringList {"--undo", audit, "--from", "812", "--yes"}}) {
        const ProcessRun r = run(bad);
        EXPECT_EQ(r.exitCode, 64) << bad.join(' ').toStdString();
        EXPECT_EQ(r.out, QString()) << bad.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    }
    EXPECT_EQ(run({"--history"}, settingsDir.filePath("missing.db")).exitCode, 3);
}

// A database where the ledger cannot be created: --yes does not merge without it, --irreversible
// does, and the history says the merge cannot be undone.
TEST_F(KolvixMergeTest, AMergeThatCannotBeRecordedNeedsIrreversible)
{
    // Something else holds one of the ledger's names.
    db.exec("DROP TABLE KolvixMergeStep; CREATE VIEW KolvixMergeStep AS SELECT 1 AS x");
    const auto before = db.snapshot();
    const ProcessRun refused = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(refused.exitCode, 1) << refused.out.toStdString();
    EXPECT_TRUE(refused.out.contains("\nThis merge cannot be recorded so that it can be undone later: "))
        << refused.out.toStdString();
    EXPECT_TRUE(refused.out.contains("This merge will not be reversible.\n(--yes) No: this merge would not be "
                                     "reversible; give --irreversible to merge without a record\n"))
        << refused.out.toStdString();
    EXPECT_EQ(db.snapshot(), before);

    const ProcessRun merged = run({"--from", "812", "--to", "57", "--yes", "--irreversible"});
    EXPECT_EQ(merged.exitCode, 0) << merged.out.toStdString();
    EXPECT_FALSE(merged.out.contains("This merge cannot be recorded")) << merged.out.toStdString();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 0);
    const QString audit = db.scalar("SELECT MAX(AuditID) FROM Audit");
    const QStringList lines = historyLines(run({"--history"}));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(audit + "\t")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith("\tSample, One\tSample, Two\t\tnot reversible")) << lines[0].toStdString();

    const auto asMerged = db.snapshot();
    const ProcessRun undo = run({"--undo", audit, "--yes"});
    EXPECT_EQ(undo.exitCode, 1);
    EXPECT_TRUE(undo.out.contains("Information: Merge " + audit
                                  + " cannot be undone: there is no record of the rows it changed."))
        << undo.out.toStdString();
    EXPECT_EQ(db.snapshot(), asMerged);
}

} // namespace
