// The Duplicates window offscreen: the scan on its own thread with progress, the grid, cancel,
// a failed scan, and a chosen pair handed on as Move From and Move To.

#include "app/duplicates/DuplicatesWindow.h"

#include "app/DisplayFonts.h"
#include "app/compare/CompareWindow.h"
#include "app/compare/MarkDifferentDialog.h"
#include "app/duplicates/DistinctPairsWindow.h"
#include "db/Connection.h"
#include "ledger/DistinctPairs.h"
#include "merge/MergeSession.h"

#include "support/CaptionCheck.h"
#include "support/QtPrinting.h"
#include "support/ScriptedUi.h"
#include "support/TestDatabase.h"
#include "support/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

class DuplicatesWindowTest : public ::testing::Test
{
protected:
    DuplicatesWindowTest()
    {
        db.exec("INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Mobile, Active) VALUES "
                "(20, 'Harper', 'Louise', '1975-04-09 00:00:00', '0412 345 678', 'T'),"
                "(35, 'Harpur', 'Louise', '1975-04-09 00:00:00', '0412345678', 'T'),"
                "(41, 'Quinn', 'Harriet', '1950-12-01 00:00:00', '0400 111 222', 'T'),"
                "(47, 'Quinn', 'Harriet', '1950-12-01 00:00:00', '0400 111 222', 'F'),"
                "(50, 'Smith', 'Olivia', '1980-02-01 00:00:00', NULL, 'T')");
    }

    // Waits for the scan that is running to end.
    static bool waitForScan(TfrmDuplicates& window)
    {
        return QTest::qWaitFor([&] { return !window.isScanning(); }, 20000);
    }

    // The texts of a grid column, top to bottom.
    static QStringList column(const TfrmDuplicates& window, int column)
    {
        QStringList texts;
        const QAbstractItemModel* model = window.grdPairs()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, column).data().toString();
        return texts;
    }

    ScriptedUi ui;
    TestDatabase db;
};

TEST_F(DuplicatesWindowTest, ScansOffTheGuiThreadAndListsThePairs)
{
    TfrmDuplicates window(db.connectionString(), 30, 15, ui);
    window.show();
    QSignalSpy finished(&window, &TfrmDuplicates::scanFinished);
    std::vector<int> progress;
    QObject::connect(window.prgScan(), &QProgressBar::valueChanged, [&](int value) { progress.push_back(value); });

    EXPECT_FALSE(window.btnUse()->isEnabled());
    window.startScan();
    EXPECT_TRUE(window.isScanning());
    EXPECT_FALSE(window.btnScan()->isEnabled());
    EXPECT_TRUE(window.btnStop()->isEnabled());
    EXPECT_FALSE(window.spnMinScore()->isEnabled());
    ASSERT_TRUE(waitForScan(window));
    EXPECT_EQ(finished.count(), 1);

    EXPECT_EQ(window.prgScan()->value(), 100);
    EXPECT_FALSE(progress.empty());
    EXPECT_EQ(window.lblStatus()->text(), "1 pair in 1 group among 4 clients.");
    ASSERT_EQ(window.grdPairs()->model()->rowCount(), 1);
    EXPECT_EQ(column(window, 2), QStringList({"20: Harper, Louise"}));
    EXPECT_EQ(column(window, 4), QStringList({"35: Harpur, Louise"}));
    EXPECT_TRUE(column(window, 6).first().startsWith("same date of birth, surname sounds alike"));
    EXPECT_FALSE(column(window, 3).first().isEmpty()); // date of birth
    EXPECT_TRUE(window.btnUse()->isEnabled());
    EXPECT_TRUE(window.btnScan()->isEnabled());
    EXPECT_FALSE(window.btnStop()->isEnabled());
    EXPECT_TRUE(ui.shown.isEmpty());

    // Archived clients on request: the archived Quinn record pairs with the active one, which is kept.
    window.cbArchived()->setChecked(true);
    window.btnScan()->click();
    ASSERT_TRUE(waitForScan(window));
    ASSERT_EQ(window.grdPairs()->model()->rowCount(), 2);
    EXPECT_TRUE(column(window, 2).contains("41: Quinn, Harriet"));
    EXPECT_TRUE(column(window, 4).contains("47: Quinn, Harriet (archived)"));
    EXPECT_EQ(column(window, 1), QStringList({"1", "2"}));
}

// The status counts in words that agree with the numbers, and says how many clients earlier
// merges emptied and the scan therefore left out.
TEST_F(DuplicatesWindowTest, TheStatusCountsPairsGroupsAndClientsMergedAway)
{
    struct Case
    {
        const char* audit; // Audit rows of merges, as the merge writes them
        const char* status;
    };
    const Case cases[] = {
        {"", "1 pair in 1 group among 4 clients."},
        {"('MERGE', 'Merge 50 > 20 (Smith, Olivia > Harper, Louise)')",
         "1 pair in 1 group among 3 clients. Left out 1 client merged away by an earlier merge."},
        {"('MERGE', 'Merge 35 > 20 (Harpur, Louise > Harper, Louise)')",
         "No probable duplicates among 2 clients. Left out 2 clients merged away by earlier merges."},
        {"('MERGE', 'Merge 41 > 20 (Quinn, Harriet > Harper, Louise) - reverted')",
         "No probable duplicates among 2 clients. Left out 2 clients merged away by earlier merges."},
    };
    TfrmDuplicates window(db.connectionString(), 30, 15, ui);
    window.show();
    for (const Case& c : cases) {
        if (*c.audit)
            db.exec(QStringLiteral("INSERT INTO Audit (UserName, Action) VALUES %1").arg(QString::fromLatin1(c.audit)));
        window.startScan();
        ASSERT_TRUE(waitForScan(window));
        EXPECT_EQ(window.lblStatus()->text(), QString::fromLatin1(c.status));
    }
    db.exec("INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Mobile, Active) VALUES "
            "(60, 'Harper', 'Louise', '1975-04-09 00:00:00', '0412 345 678', 'T'),"
            "(61, 'Harper', 'Louise', '1975-04-09 00:00:00', '0412 345 678', 'T'),"
            "(62, 'Quinn', 'Harriet', '1950-12-01 00:00:00', '0400 111 222', 'T')");
    window.startScan();
    ASSERT_TRUE(waitForScan(window));
    EXPECT_EQ(window.lblStatus()->text(),
              "4 pairs in 2 groups among 5 clients. Left out 2 clients merged away by earlier merges.");
}

TEST(DuplicatesScanStage, CountsAreWrittenAsTheWindowWritesEveryCount)
{
    struct Case
    {
        const char* stage;
        const char* shown;
    };
    const Case cases[] = {
        {"Reading clients", "Reading clients..."},
        {"Reading clients (20000)", "Reading clients (20,000)..."},
        {"Comparing 15281 candidate pairs", "Comparing 15,281 candidate pairs..."},
        {"Comparing 999 candidate pairs", "Comparing 999 candidate pairs..."},
        {"Comparing 1234567 of 92154", "Comparing 1,234,567 of 92,154..."},
    };
    const QLocale was;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::Australia));
    for (const Case& c : cases)
        EXPECT_EQ(scanStageText(QString::fromLatin1(c.stage)), QString::fromLatin1(c.shown));
    QLocale::setDefault(was);
}

// Opened from the main window it stands in its middle, in the font of the program's other
// windows, its headings whole while it scans; Esc closes it and stops the scan.
TEST_F(DuplicatesWindowTest, OpensCentredOnTheMainWindowInItsFontAndEscClosesIt)
{
    QWidget owner;
    owner.setGeometry(120, 90, 505, 469);
    owner.show();
    auto* window = new TfrmDuplicates(db.connectionString(), 30, 15, ui, &owner);
    window->resize(600, 400); // within the offscreen screen, which would otherwise hold it in
    window->show();
    QApplication::processEvents();
    const QPoint offset = window->frameGeometry().center() - owner.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();

    QWidget designed;
    designed.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    ApplyDisplayFonts(&designed);
    EXPECT_EQ(window->font(), designed.font());

    window->startScan();
    ASSERT_TRUE(window->isScanning());
    const QHeaderView* header = window->grdPairs()->horizontalHeader();
    for (int column = 0; column + 1 < header->count(); ++column)
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column))
            << window->grdPairs()->model()->headerData(column, Qt::Horizontal).toString().toStdString();

    QApplication::setActiveWindow(window);
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(waitForScan(*window));
}

// A block of clients too large to compare is named under the status after the scan that left
// it out, and only then.
TEST_F(DuplicatesWindowTest, SaysWhichClientsTheScanLeftOut)
{
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 101) "
            "INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Active) "
            "SELECT 1000 + i, 'Moss', 'Ada', '1990-05-05 00:00:00', 'T' FROM n");
    TfrmDuplicates window(db.connectionString(), 30, 15, ui);
    window.show();
    window.startScan();
    ASSERT_TRUE(waitForScan(window));
    EXPECT_TRUE(window.lblLeftOut()->isVisible());
    EXPECT_EQ(window.lblLeftOut()->text(),
              "Left out 101 clients who share the surname (by sound) and date of birth "
              "\"Moss, 1990-05-05\": too many to compare pairwise.");
    EXPECT_EQ(window.lblLeftOut()->textFormat(), Qt::PlainText);
    // The pairs of the other clients are still listed.
    EXPECT_EQ(window.lblStatus()->text(), "1 pair in 1 group among 105 clients.");
    EXPECT_EQ(column(window, 2), QStringList({"20: Harper, Louise"}));

    // Without the block: nothing of the last scan while scanning, nothing after.
    db.exec("DELETE FROM Client WHERE Surname = 'Moss'");
    window.btnScan()->click();
    EXPECT_FALSE(window.lblLeftOut()->isVisible());
    ASSERT_TRUE(waitForScan(window));
    EXPECT_EQ(window.lblStatus()->text(), "1 pair in 1 group among 4 clients.");
    EXPECT_FALSE(window.lblLeftOut()->isVisible());
    EXPECT_TRUE(window.lblLeftOut()->text().isEmpty());
}

// Many blocks: the first five are named and the rest counted; the hint names every one, the
// names in it escaped (the hint is markup, the label plain text).
TEST_F(DuplicatesWindowTest, ManyBlocksLeftOutAreCountedAndAllNamedInTheHint)
{
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 101) "
            "INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Active) "
            "SELECT 1000 * s.k + n.i, s.surname, 'Ada', '1990-05-05 00:00:00', 'T' FROM n, "
            "(SELECT 1 AS k, '<Moss>' AS surname UNION ALL SELECT 2, 'Hale' UNION ALL SELECT 3, 'Pike' "
            "UNION ALL SELECT 4, 'Rudd' UNION ALL SELECT 5, 'Vane' UNION ALL SELECT 6, 'Wolfe') s");
    TfrmDuplicates window(db.connectionString(), 30, 15, ui);
    window.show();
    window.startScan();
    ASSERT_TRUE(waitForScan(window));
    // Six surnames of 101 clients each, and all 606 under the given name with the date.
    const QStringList lines = window.lblLeftOut()->text().split('\n');
    ASSERT_EQ(lines.size(), 6) << window.lblLeftOut()->text().toStdString();
    EXPECT_EQ(lines[0],
              "Left out 101 clients who share the surname (by sound) and date of birth "
              "\"<Moss>, 1990-05-05\": too many to compare pairwise.");
    EXPECT_TRUE(lines[4].contains("\"Vane, 1990-05-05\"")) << lines[4].toStdString();
    EXPECT_EQ(lines[5], "And 2 more such blocks of clients.");
    const QString hint = window.lblLeftOut()->toolTip();
    EXPECT_EQ(hint.count("<br>"), 6) << hint.toStdString();
    EXPECT_TRUE(hint.contains("&quot;&lt;Moss&gt;, 1990-05-05&quot;")) << hint.toStdString();
    EXPECT_TRUE(hint.contains("Wolfe, 1990-05-05")) << hint.toStdString();
    EXPECT_TRUE(hint.contains("606 clients who share the given name (by sound) and date of birth"))
        << hint.toStdString();
}

TEST_F(DuplicatesWindowTest, EveryCaptionFitsItsControl)
{
    TfrmDuplicates window(db.connectionString(), 30, 15, ui);
    window.show();
    const QStringList problems = captionProblems(&window);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

TEST_F(DuplicatesWindowTest, UseThisPairAndADoubleClickHandOnMoveFromAndMoveTo)
{
    TfrmDuplicates window(db.connectionString(), 30, 15, ui);
    window.cbArchived()->setChecked(true);
    window.show();
    window.startScan();
    ASSERT_TRUE(waitForScan(window));
    QSignalSpy chosen(&window, &TfrmDuplicates::pairChosen);

    // Sorted by score, lowest first: the grid's row still names its own pair.
    window.grdPairs()->sortByColumn(0, Qt::AscendingOrder);
    const QAbstractItemModel* model = window.grdPairs()->model();
    window.grdPairs()->selectRow(1);
    const DuplicatePair* pair = window.currentPair();
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(model->index(1, 2).data().toString(),
              QStringLiteral("%1: %2").arg(pair->keep.clientId).arg(pair->keep.displayName()));
    window.btnUse()->click();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].toInt(), pair->merge.clientId);
    EXPECT_EQ(chosen[0][1].toInt(), pair->keep.clientId);

    // A double-click on the other row.
    const QModelIndex other = model->index(0, 4);
    const QRect cell = window.grdPairs()->visualRect(other);
    QTest::mouseClick(window.grdPairs()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(window.grdPairs()->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(chosen.count(), 2);
    const QString merge = model->index(0, 4).data().toString();
    const QString keep = model->index(0, 2).data().toString();
    EXPECT_TRUE(merge.startsWith(QString::number(chosen[1][0].toInt()) + ":")) << merge.toStdString();
    EXPECT_TRUE(keep.startsWith(QString::number(chosen[1][1].toInt()) + ":")) << keep.toStdString();
}

TEST_F(DuplicatesWindowTest, StopCancelsTheScanAndAFailureIsShown)
{
    QString sql
        = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000) "
          "INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Active) "
          "SELECT 1000 + i, 'Walker' || (i % 700), 'Paul', date('1950-01-01', '+' || (i % 9000) || ' days'), 'T' "
          "FROM n";
    db.exec(sql);
    {
        TfrmDuplicates window(db.connectionString(), 30, 15, ui);
        window.show();
        window.startScan();
        window.btnStop()->click();
        ASSERT_TRUE(waitForScan(window));
        EXPECT_EQ(window.lblStatus()->text(), "The scan was stopped.");
        EXPECT_EQ(window.grdPairs()->model()->rowCount(), 0);
        EXPECT_TRUE(window.btnScan()->isEnabled());
        EXPECT_TRUE(ui.shown.isEmpty());
    }

    db.exec("DROP VIEW PatientSearch");
    TfrmDuplicates window(db.connectionString(), 30, 15, ui);
    window.startScan();
    ASSERT_TRUE(waitForScan(window));
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].startsWith("Error: ")) << ui.shown[0].toStdString();
    EXPECT_TRUE(ui.shown[0].contains("PatientSearch")) << ui.shown[0].toStdString();
    EXPECT_TRUE(window.lblStatus()->text().startsWith("The scan failed: "));
    EXPECT_FALSE(window.btnUse()->isEnabled());
}

TEST_F(DuplicatesWindowTest, ClosingStopsTheScanAndOpeningAgainScansAgain)
{
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30000) "
            "INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Active) "
            "SELECT 1000 + i, 'Walker' || (i % 700), 'Paul', date('1950-01-01', '+' || (i % 9000) || ' days'), 'T' "
            "FROM n");
    TfrmDuplicates window(db.connectionString(), 30, 15, ui);
    QSignalSpy finished(&window, &TfrmDuplicates::scanFinished);
    window.show();
    window.startScan();
    window.close();
    // Opened again at once: the new scan starts when the stopped one has ended.
    window.show();
    window.startScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 2; }, 60000));
    ASSERT_TRUE(waitForScan(window));
    EXPECT_TRUE(window.lblStatus()->text().endsWith("clients.")) << window.lblStatus()->text().toStdString();
    EXPECT_GE(window.pairs().size(), 1u);
}

TEST_F(DuplicatesWindowTest, ClosingDuringAScanLeavesNothingRunning)
{
    const QStringList connectionsBefore = QSqlDatabase::connectionNames();
    auto window = std::make_unique<TfrmDuplicates>(db.connectionString(), 30, 15, ui);
    window->show();
    window->startScan();
    ASSERT_TRUE(window->isScanning());
    window.reset(); // the scan is told to stop; its late reports reach nobody
    // The window waited for its scan: the scan's work is over (its connection, which lives as
    // long as the scan's function, is closed and gone) before the window is.
    EXPECT_EQ(QSqlDatabase::connectionNames(), connectionsBefore);
    QTest::qWait(200); // late events of the scan find no window
}

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

// Reviewing a pair: the Compare window on the main window's session, Keep and Merge swapped in
// place, and a pair marked as different people.
class PairReviewTest : public DuplicatesWindowTest
{
protected:
    PairReviewTest()
    {
        connection.setConnectionString(db.connectionString());
        connection.open();
        session = std::make_unique<MergeSession>(connection, ui);
        window.setSession(session.get());
        window.show();
        QApplication::setActiveWindow(&window);
    }

    void scan()
    {
        window.startScan();
        ASSERT_TRUE(waitForScan(window));
        ASSERT_EQ(window.pairs().size(), 1u) << window.lblStatus()->text().toStdString();
        window.grdPairs()->setFocus();
        window.grdPairs()->selectRow(0);
    }

    QAction& action(const char* name) { return widget<QAction>(window, name); }

    Connection connection;
    std::unique_ptr<MergeSession> session;
    TfrmDuplicates window {db.connectionString(), 30, 15, ui};
};

TEST_F(PairReviewTest, EnterOpensThePairInTheCompareWindowWhereSwapAndUseTakeItAsShown)
{
    {
        TfrmDuplicates without(db.connectionString(), 30, 15, ui);
        EXPECT_FALSE(without.btnCompare()->isEnabled());
        EXPECT_FALSE(without.btnDifferent()->isEnabled());
    }
    scan();
    QSignalSpy chosen(&window, &TfrmDuplicates::pairChosen);
    EXPECT_EQ(column(window, 2), QStringList {"20: Harper, Louise"});
    bool opened = false;
    onNextDialog<TfrmCompare>([&](TfrmCompare& compare) {
        opened = true;
        EXPECT_EQ(compare.keepId(), 20);
        EXPECT_EQ(compare.mergeId(), 35);
        EXPECT_TRUE(compare.btnSwap()->isVisible());
        compare.btnSwap()->click();
        // The list follows at once.
        EXPECT_EQ(column(window, 2), QStringList {"35: Harpur, Louise"});
        compare.btnUse()->click();
    });
    QTest::keyClick(window.grdPairs(), Qt::Key_Return);
    EXPECT_TRUE(opened);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].toInt(), 20); // Move From: the Merge client as shown
    EXPECT_EQ(chosen[0][1].toInt(), 35);
    EXPECT_EQ(column(window, 4), QStringList {"20: Harper, Louise"});
    EXPECT_TRUE(column(window, 6).first().endsWith(", Keep and Merge swapped"))
        << column(window, 6).first().toStdString();

    // The button opens it too; Close changes nothing.
    onNextDialog<TfrmCompare>([](TfrmCompare& compare) {
        EXPECT_EQ(compare.keepId(), 35);
        compare.btnClose()->click();
    });
    window.btnCompare()->click();
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.shown.join('\n').toStdString();
}

TEST_F(PairReviewTest, CtrlSSwapsThePairInTheListAndATickedRunMergesItAsShown)
{
    scan();
    const QString reasons = column(window, 6).first();
    QTest::keyClick(window.grdPairs(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(column(window, 2), QStringList {"35: Harpur, Louise"});
    EXPECT_EQ(column(window, 4), QStringList {"20: Harper, Louise"});
    EXPECT_EQ(window.pairs()[0].keep.clientId, 35);

    std::vector<BatchPair> merged;
    window.setPairMerger([&](const std::vector<BatchPair>& pairs, const BatchOptions&) {
        merged = pairs;
        return std::vector<BatchResult> {};
    });
    window.tickAll(true);
    window.btnMergeTicked()->click();
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0].merge, 20);
    EXPECT_EQ(merged[0].keep, 35);
    EXPECT_EQ(merged[0].mergeName, "Harper, Louise");
    EXPECT_TRUE(ui.questions.value(0).contains("20: Harper, Louise > 35: Harpur, Louise"))
        << ui.questions.value(0).toStdString();
    ASSERT_TRUE(window.batchReport());
    window.batchReport()->close();
    QApplication::setActiveWindow(&window);

    // Swapped back, the pair is as the scan suggested it.
    QTest::keyClick(window.grdPairs(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(column(window, 2), QStringList {"20: Harper, Louise"});
    EXPECT_EQ(column(window, 6).first(), reasons);
}

TEST_F(PairReviewTest, APairMarkedAsDifferentPeopleLeavesTheListUntilItsMarkIsRemoved)
{
    scan();
    // The pair's context menu.
    QStringList offered;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (const QAction* item : menu->actions())
                if (!item->isSeparator())
                    offered << item->text() + (item->isEnabled() ? "" : " (disabled)");
            menu->close();
        }
    });
    emit window.grdPairs()->customContextMenuRequested(
        window.grdPairs()->visualRect(window.grdPairs()->currentIndex()).center());
    EXPECT_EQ(
        offered,
        (QStringList {"C&ompare...\tEnter", "S&wap Keep and Merge", "&Use this pair", "&Not the same person..."}));
    EXPECT_EQ(action("actSwap").shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));

    onNextDialog<TfrmMarkDifferent>([](TfrmMarkDifferent& dialog) {
        dialog.edtNote()->setText("mother and daughter");
        dialog.btnMark()->click();
    });
    action("actMark").trigger();
    EXPECT_TRUE(window.pairs().empty());
    EXPECT_EQ(window.grdPairs()->model()->rowCount(), 0);
    EXPECT_EQ(window.lblStatus()->text(),
              "Clients 20 and 35 are marked as different people; the pair has left the list.");
    ASSERT_TRUE(findDistinctPair(connection, 35, 20));
    EXPECT_EQ(findDistinctPair(connection, 35, 20)->note, "mother and daughter");

    window.startScan();
    ASSERT_TRUE(waitForScan(window));
    EXPECT_EQ(window.lblStatus()->text(),
              "No probable duplicates among 4 clients. Left out 1 pair marked as different people.");

    // "Different people..." lists the mark; removing it asks first.
    bool listed = false;
    onNextDialog<TfrmDistinctPairs>([&](TfrmDistinctPairs& marks) {
        listed = true;
        EXPECT_EQ(captionProblems(&marks), QStringList {});
        EXPECT_EQ(marks.lblCount()->text(), "1 pair is marked as different people.");
        ASSERT_EQ(marks.grdMarks()->rowCount(), 1);
        EXPECT_EQ(marks.grdMarks()->item(0, 0)->text(), "20: Harper, Louise");
        EXPECT_EQ(marks.grdMarks()->item(0, 1)->text(), "35: Harpur, Louise");
        EXPECT_EQ(marks.grdMarks()->item(0, 5)->text(), "mother and daughter");
        ui.answerYes = false;
        marks.btnRemove()->click();
        EXPECT_EQ(marks.grdMarks()->rowCount(), 1);
        ui.answerYes = true;
        marks.btnRemove()->click();
        EXPECT_EQ(marks.grdMarks()->rowCount(), 0);
        EXPECT_EQ(marks.lblCount()->text(), "No pairs are marked as different people.");
        EXPECT_FALSE(marks.btnRemove()->isEnabled());
        marks.btnClose()->click();
    });
    window.btnDifferent()->click();
    EXPECT_TRUE(listed);
    ASSERT_EQ(ui.questions.size(), 2);
    EXPECT_TRUE(ui.questions[0].startsWith("Remove the mark of these two clients?\n\n20: Harper, Louise\n35: Harpur, "
                                           "Louise\n\nThey were marked as different people on "))
        << ui.questions[0].toStdString();

    scan();
    EXPECT_EQ(window.lblStatus()->text(), "1 pair in 1 group among 4 clients.");
}

} // namespace
} // namespace kolvix::test
