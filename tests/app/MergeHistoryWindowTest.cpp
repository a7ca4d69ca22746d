// The Merge History window offscreen, on a real database: the merges with their states, the
// rows each changed, and an undo that asks first and gives back exactly what the merge moved.

#include "app/history/MergeHistoryWindow.h"

#include "support/CaptionCheck.h"
#include "support/MergeFixture.h"
#include "support/QtPrinting.h"
#include "support/Widgets.h"

#include "ledger/MergeHistory.h"

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

namespace kolvix::test {
namespace {

const QStringList kNotProductTables = {"Audit", "KolvixMerge", "KolvixMergeStep", "KolvixMergeRow"};

class MergeHistoryWindowTest : public MergeFixture
{
protected:
    // A merge made before ledgers existed: its Audit row alone.
    void addOldMerge()
    {
        db.exec("INSERT INTO Audit (AuditDateTime, UserName, Action, Comment) VALUES ('2025-01-02 03:04:05', "
                "'MERGE', 'Merge 3 > 4 (Old, One > Old, Two)', 'MRG[0:Primary|0:Primary]')");
    }

    int lastMergeAudit() { return int(db.count("SELECT MAX(AuditID) FROM Audit WHERE Action LIKE 'Merge %'")); }

    // The texts of one row of the list.
    static QStringList row(const QTreeWidget& list, int index)
    {
        QStringList texts;
        const QTreeWidgetItem* item = list.topLevelItem(index);
        for (int column = 0; item && column < list.columnCount(); ++column)
            texts << item->text(column);
        return texts;
    }

    static QTreeWidget& list(const TfrmMergeHistory& window) { return widget<QTreeWidget>(window, "grdHistory"); }
    static QString details(const TfrmMergeHistory& window)
    {
        return widget<QPlainTextEdit>(window, "memDetails").toPlainText();
    }
    static QPushButton& undoButton(const TfrmMergeHistory& window) { return widget<QPushButton>(window, "btnUndo"); }
};

TEST_F(MergeHistoryWindowTest, ListsTheMergesNewestFirstAndShowsWhatTheSelectedOneChanged)
{
    addOldMerge();
    ASSERT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    const int merged = lastMergeAudit();
    const QString rows = QString::number(db.count("SELECT COUNT(*) FROM KolvixMergeRow"));
    ui.shown.clear();

    TfrmMergeHistory window(*session);
    window.reload();
    window.show();
    EXPECT_EQ(window.objectName(), "frmMergeHistory");
    EXPECT_EQ(window.windowTitle(), "Merge History");
    QTreeWidget& grid = list(window);
    QStringList headers;
    for (int column = 0; column < grid.columnCount(); ++column)
        headers << grid.headerItem()->text(column);
    EXPECT_EQ(headers,
              QStringList({"Audit", "When", "Workstation", "From", "To", "From name", "To name", "Rows", "State"}));
    ASSERT_EQ(grid.topLevelItemCount(), 2);
    const QStringList newest = row(grid, 0);
    EXPECT_EQ(newest.mid(2),
              QStringList({platform.computerName(), "812", "57", "Sample, One", "Sample, Two", rows, "merged"}));
    EXPECT_EQ(newest[0], QString::number(merged));
    EXPECT_EQ(newest[1], window.entries().front().when.toString("yyyy-MM-dd HH:mm"));
    // No ledger: the rows blank.
    EXPECT_EQ(row(grid, 1),
              QStringList({"1", "2025-01-02 03:04", "", "3", "4", "Old, One", "Old, Two", "", "not reversible"}));
    // Every column wide enough for its heading and its cells.
    for (int column = 0; column + 1 < grid.columnCount(); ++column) {
        EXPECT_GE(grid.header()->sectionSize(column), grid.header()->sectionSizeHint(column)) << column;
        for (int index = 0; index < grid.topLevelItemCount(); ++index)
            EXPECT_GT(grid.header()->sectionSize(column),
                      grid.fontMetrics().horizontalAdvance(grid.topLevelItem(index)->text(column)))
                << column;
    }
    EXPECT_EQ(captionProblems(&window), QStringList {});

    // The newest is selected: its rows table by table, and its accounts.
    ASSERT_NE(window.currentEntry(), nullptr);
    EXPECT_EQ(window.currentEntry()->auditId, merged);
    EXPECT_TRUE(undoButton(window).isEnabled());
    const QString changed = details(window);
    for (const char* line :
         {"\n  Trans: 3 moved\n", "\n  Account: 1 added\n", "\n  PXClientPracPermissions: 2 moved, 1 deleted\n",
          "\n  0 Primary -> 0 Primary (merged)"})
        EXPECT_TRUE(changed.contains(QString::fromLatin1(line))) << line << "\n" << changed.toStdString();

    // The merge without a ledger says so, and cannot be undone.
    grid.setCurrentItem(grid.topLevelItem(1));
    EXPECT_FALSE(undoButton(window).isEnabled());
    EXPECT_TRUE(details(window).contains("There is no record of the rows this merge changed: it cannot be undone."))
        << details(window).toStdString();
    EXPECT_TRUE(details(window).contains("\n  0 Primary -> 0 Primary (merged)")) << details(window).toStdString();
    EXPECT_EQ(ui.shown, QStringList {});
}

TEST_F(MergeHistoryWindowTest, UndoAsksFirstAndYesGivesBackEveryTableAsBeforeTheMerge)
{
    const auto beforeMerge = db.snapshot(kNotProductTables);
    ASSERT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    const int merged = lastMergeAudit();
    addOldMerge(); // newer than the merge: the merge is not the one selected first
    ui.shown.clear();
    ui.cursor.clear();

    TfrmMergeHistory window(*session);
    window.reload();
    window.show();
    QSignalSpy attempts(&window, &TfrmMergeHistory::undoAttempted);
    QTreeWidget& grid = list(window);
    ASSERT_EQ(grid.topLevelItemCount(), 2);
    EXPECT_FALSE(undoButton(window).isEnabled());
    grid.setCurrentItem(grid.topLevelItem(1));
    ASSERT_TRUE(undoButton(window).isEnabled());

    // No: asked, nothing changes.
    const auto afterMerge = db.snapshot({});
    ui.answerYes = false;
    undoButton(window).click();
    ASSERT_EQ(ui.questions.size(), 2); // the merge's own and the undo's
    EXPECT_TRUE(ui.questions.last().startsWith(
        QStringLiteral("Are you sure you want to undo merge %1 of 'Sample, One' into 'Sample, Two'").arg(merged)))
        << ui.questions.last().toStdString();
    EXPECT_EQ(db.snapshot({}), afterMerge);
    EXPECT_EQ(row(grid, 1).last(), "merged");
    EXPECT_EQ(attempts.count(), 1);

    // Yes: undone; the list is read again with the same merge selected.
    ui.answerYes = true;
    undoButton(window).click();
    EXPECT_EQ(ui.questions.size(), 3);
    EXPECT_EQ(db.snapshot(kNotProductTables), beforeMerge);
    EXPECT_EQ(attempts.count(), 2);
    ASSERT_FALSE(ui.shown.isEmpty());
    EXPECT_TRUE(ui.shown.last().startsWith(QStringLiteral("Information: Merge %1 has been undone").arg(merged)))
        << ui.shown.join('\n').toStdString();
    ASSERT_NE(window.currentEntry(), nullptr);
    EXPECT_EQ(window.currentEntry()->auditId, merged);
    EXPECT_EQ(grid.currentItem(), grid.topLevelItem(1));
    EXPECT_TRUE(row(grid, 1).last().startsWith("undone ")) << row(grid, 1).last().toStdString();
    EXPECT_FALSE(undoButton(window).isEnabled());
    // The wait cursor came and went with each read and undo.
    EXPECT_GE(ui.cursor.count("wait"), 3);
    EXPECT_EQ(ui.cursor.count("wait"), ui.cursor.count("arrow"));
    EXPECT_EQ(ui.cursor.last(), "arrow");
}

// A failing read is shown as an error box, and the window stays usable.
TEST_F(MergeHistoryWindowTest, AFailingReadShowsAnErrorBox)
{
    ASSERT_EQ(merge(), MergeOutcome::Merged);
    ui.shown.clear();
    TfrmMergeHistory window(*session);

    // Planning the undo: the history it checks against cannot be read.
    window.reload();
    ASSERT_TRUE(undoButton(window).isEnabled());
    db.exec("ALTER TABLE Audit RENAME TO AuditGone");
    undoButton(window).click();
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].startsWith("Error: ")) << ui.shown[0].toStdString();
    EXPECT_TRUE(db.scalar("SELECT MergeState FROM KolvixMerge") == "merged");

    // Reading the list.
    ui.shown.clear();
    window.reload();
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].startsWith("Error: ")) << ui.shown[0].toStdString();
    EXPECT_EQ(list(window).topLevelItemCount(), 0);
    EXPECT_FALSE(undoButton(window).isEnabled());
    EXPECT_EQ(details(window), "");
    EXPECT_EQ(ui.cursor.count("wait"), ui.cursor.count("arrow"));
}

} // namespace
} // namespace kolvix::test
