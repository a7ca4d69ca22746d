// The Compare window offscreen on a real database: both clients field by field with the fields
// that differ marked by a sign, bold and a tint (not by colour alone), the rows each holds, Swap,
// "Not the same person..." with its note, a pair marked already, the keyboard, and the size.

#include "app/compare/CompareWindow.h"

#include "app/compare/MarkDifferentDialog.h"
#include "ledger/DistinctPairs.h"
#include "support/CaptionCheck.h"
#include "support/MergeFixture.h"
#include "support/QtPrinting.h"
#include "support/Widgets.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace kolvix::test {
namespace {

// Runs the action on the modal dialog of the kind that the next call opens; a dialog left open
// is a failure and is closed.
template <typename Dialog> void onNextDialog(std::function<void(Dialog&)> action)
{
    QTimer::singleShot(0, [action] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no " << Dialog::staticMetaObject.className();
            return;
        }
        action(*dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << Dialog::staticMetaObject.className() << " stayed open";
            dialog->reject();
        }
    });
}

class CompareWindowTest : public MergeFixture
{
protected:
    void SetUp() override
    {
        MergeFixture::SetUp();
        // The example pair told apart by a few fields: 57 is kept, 812 merged.
        db.exec("UPDATE Client SET DateOfBirth = '1981-06-30 00:00:00', Mobile = '0400 111 222', Email = "
                "'one@example.com' WHERE ClientID = 812;"
                "UPDATE Client SET DateOfBirth = '1981-06-30 00:00:00', Mobile = '0400111222' WHERE ClientID = 57");
    }

    // Field, Keep, Merge and the mark of each row, "Field|Keep|Merge|mark".
    static QStringList rows(const TfrmCompare& window)
    {
        QStringList texts;
        const QTableWidget* grid = window.grdFields();
        for (int row = 0; row < grid->rowCount(); ++row)
            texts << QStringLiteral("%1|%2|%3|%4")
                         .arg(grid->item(row, 1)->text(), grid->item(row, 2)->text(), grid->item(row, 3)->text(),
                              grid->item(row, 0)->text());
        return texts;
    }

    static int rowOf(const TfrmCompare& window, const QString& field)
    {
        for (int row = 0; row < window.grdFields()->rowCount(); ++row)
            if (window.grdFields()->item(row, 1)->text() == field)
                return row;
        ADD_FAILURE() << "no row " << field.toStdString();
        return 0;
    }
};

TEST_F(CompareWindowTest, ShowsBothClientsWithTheFieldsThatDifferMarkedNotByColourAlone)
{
    TfrmCompare window(*session, 57, 812, false);
    ASSERT_TRUE(window.reload());
    window.show();
    EXPECT_EQ(window.objectName(), "frmCompare");
    const QStringList shown = rows(window);
    EXPECT_EQ(shown.size(), 20);
    const QString notEqual = QStringLiteral("\u2260");
    EXPECT_EQ(shown[0], "Client ID|57|812|" + notEqual);
    EXPECT_TRUE(shown.contains("Surname|Sample|Sample|"));
    EXPECT_TRUE(shown.contains("Given name|Two|One|" + notEqual));
    EXPECT_TRUE(shown.contains("Mobile|0400111222|0400 111 222|"));
    EXPECT_TRUE(shown.contains("E-mail||one@example.com|" + notEqual));

    // A field that differs: the sign (read out as "differs"), bold values and a tinted row; one
    // that agrees: none of them.
    const QTableWidget& grid = *window.grdFields();
    const int differs = rowOf(window, "Given name");
    const int same = rowOf(window, "Surname");
    EXPECT_EQ(grid.item(differs, 0)->data(Qt::AccessibleTextRole).toString(), "differs");
    for (int column = 1; column < 4; ++column) {
        EXPECT_TRUE(grid.item(differs, column)->font().bold()) << column;
        EXPECT_NE(grid.item(differs, column)->background().style(), Qt::NoBrush) << column;
        EXPECT_FALSE(grid.item(same, column)->font().bold()) << column;
        EXPECT_EQ(grid.item(same, column)->background().style(), Qt::NoBrush) << column;
    }
    EXPECT_EQ(grid.horizontalHeaderItem(2)->text(), "Keep (Move To)");
    EXPECT_EQ(grid.horizontalHeaderItem(3)->text(), "Merge (Move From)");

    // The rows each holds, as the pane counts them.
    QStringList counts;
    for (int row = 0; row < window.grdCounts()->rowCount(); ++row)
        counts << QStringLiteral("%1 %2 %3")
                      .arg(window.grdCounts()->item(row, 0)->text(), window.grdCounts()->item(row, 1)->text(),
                           window.grdCounts()->item(row, 2)->text());
    EXPECT_TRUE(counts.contains("Transactions 1 3")) << counts.join(", ").toStdString();
    EXPECT_TRUE(counts.contains("Clinical Notes 0 1")) << counts.join(", ").toStdString();

    // From the main window: no Swap nor "Use this pair"; nothing marked, nothing to say of it.
    EXPECT_FALSE(window.btnSwap()->isVisible());
    EXPECT_FALSE(window.btnUse()->isVisible());
    EXPECT_TRUE(window.btnDifferent()->isEnabled());
    EXPECT_FALSE(window.lblMark()->isVisible());
    EXPECT_EQ(captionProblems(&window), QStringList {});
    // Every field shows without scrolling on a screen of 1366 by 768 (less a task bar).
    EXPECT_LE(window.wholeSize().width(), 1366);
    EXPECT_LE(window.wholeSize().height(), 768 - 40 - 30); // a task bar and a title bar
}

TEST_F(CompareWindowTest, SwapChangesWhichRecordIsKeptAndTellsTheList)
{
    TfrmCompare window(*session, 57, 812, true);
    ASSERT_TRUE(window.reload());
    window.show();
    EXPECT_EQ(captionProblems(&window), QStringList {});
    QSignalSpy swapped(&window, &TfrmCompare::swapped);
    QSignalSpy used(&window, &TfrmCompare::usePair);
    window.btnSwap()->click();
    EXPECT_EQ(swapped.count(), 1);
    EXPECT_EQ(window.keepId(), 812);
    EXPECT_EQ(window.mergeId(), 57);
    EXPECT_EQ(rows(window)[0], "Client ID|812|57|\u2260");
    EXPECT_EQ(window.grdCounts()->item(0, 1)->text(), "2"); // Accounts of 812, now kept

    window.btnUse()->click();
    EXPECT_EQ(used.count(), 1);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(CompareWindowTest, NotTheSamePersonMarksThePairWithItsNoteOrNothingWhenCancelled)
{
    platform.user = "jane";
    platform.computer = "reception-2";
    TfrmCompare window(*session, 57, 812, true);
    ASSERT_TRUE(window.reload());
    window.show();
    QSignalSpy marked(&window, &TfrmCompare::markedDifferent);

    onNextDialog<TfrmMarkDifferent>([](TfrmMarkDifferent& dialog) {
        EXPECT_EQ(captionProblems(&dialog), QStringList {});
        EXPECT_TRUE(dialog.lblQuestion()->text().contains("\n57: Sample, Two\n812: Sample, One\n"));
        dialog.edtNote()->setText("cousins");
        dialog.btnCancel()->click();
    });
    window.btnDifferent()->click();
    EXPECT_FALSE(findDistinctPair(connection, 57, 812));
    EXPECT_EQ(marked.count(), 0);

    onNextDialog<TfrmMarkDifferent>([](TfrmMarkDifferent& dialog) {
        EXPECT_EQ(dialog.edtNote()->maxLength(), 255);
        QTest::keyClicks(dialog.edtNote(), "twins");
        QTest::keyClick(dialog.edtNote(), Qt::Key_Return);
    });
    window.btnDifferent()->click();
    const std::optional<DistinctPair> mark = findDistinctPair(connection, 57, 812);
    ASSERT_TRUE(mark);
    EXPECT_EQ(mark->note, "twins");
    EXPECT_EQ(mark->userName, "jane");
    EXPECT_EQ(marked.count(), 1);
    // The window says so and offers nothing more for the pair.
    EXPECT_TRUE(window.lblMark()->isVisible());
    EXPECT_EQ(window.lblMark()->text(), "These two clients are " + mark->description() + ".");
    EXPECT_FALSE(window.btnSwap()->isEnabled());
    EXPECT_FALSE(window.btnUse()->isEnabled());
    EXPECT_FALSE(window.btnDifferent()->isEnabled());
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.shown.join('\n').toStdString();
}

TEST_F(CompareWindowTest, APairMarkedAlreadySaysSoAndAClientGoneIsSaid)
{
    markDistinctPair(connection, 812, 57, {});
    TfrmCompare window(*session, 57, 812, true);
    ASSERT_TRUE(window.reload());
    window.show();
    EXPECT_TRUE(window.lblMark()->isVisible());
    EXPECT_TRUE(window.lblMark()->text().startsWith("These two clients are marked as different people on "));
    EXPECT_FALSE(window.btnDifferent()->isEnabled());

    TfrmCompare gone(*session, 57, 999, true);
    EXPECT_FALSE(gone.reload());
    EXPECT_EQ(ui.shown,
              QStringList {"Information: Client 999 does not exist any more. Scan again or choose the clients again."});
}

TEST_F(CompareWindowTest, TheKeyboardReachesEveryControlAndEscCloses)
{
    TfrmCompare window(*session, 57, 812, true);
    ASSERT_TRUE(window.reload());
    window.show();
    QApplication::setActiveWindow(&window);
    window.grdFields()->setFocus();
    QStringList order;
    for (int i = 0; i < 6; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order, (QStringList {"grdFields", "grdCounts", "btnSwap", "btnUse", "btnDifferent", "btnClose"}));
    // The arrows move within a grid; Esc closes.
    window.grdFields()->setFocus();
    window.grdFields()->setCurrentCell(0, 1);
    QTest::keyClick(window.grdFields(), Qt::Key_Down);
    EXPECT_EQ(window.grdFields()->currentRow(), 1);
    QTest::keyClick(window.grdFields(), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace kolvix::test
