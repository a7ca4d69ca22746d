// The patient search dialog on a small practice built from the schema, offscreen.

#include "app/search/SearchPatient.h"
#include "app/search/SearchResultModel.h"
#include "db/Connection.h"
#include "search/SearchQuery.h"
#include "search/SearchResultPages.h"
#include "support/CaptionCheck.h"
#include "support/QtPrinting.h"
#include "support/ScriptedUi.h"
#include "support/TestDatabase.h"
#include "support/Widgets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

// Clients 1 to 4 near the start of the alphabet, an archived one, a group client, and 300
// "Zed" clients for the searches that list many.
const char* const kPractice = R"SQL(
INSERT INTO Client (ClientID, Surname, Name, PreferredName, Active, IsAGroup, FileNo, DateOfBirth, Mobile) VALUES
  (1, 'Abbot', 'Ann', NULL, 'T', 0, 'F-1', '1970-05-06 00:00:00', '0412 111 222'),
  (2, 'Abbott', 'Bill', 'Billy', 'T', 0, 'F-2', '1971-01-02 08:15:00', NULL),
  (3, 'Abel', 'Cat', NULL, 'F', 0, NULL, NULL, NULL),
  (4, 'Abner Family', 'Group', NULL, 'T', 1, NULL, NULL, NULL);
INSERT INTO Account (ClientID, AccountID, ShortDescription, BPayRefNo) VALUES (1, 0, 'Primary', '1234567');
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
INSERT INTO Client (ClientID, Surname, Name, Active) SELECT 1000 + i, 'Zed' || printf('%03d', i), 'Zoe', 'T' FROM n;
)SQL";

class SearchPatientTest : public ::testing::Test
{
protected:
    SearchPatientTest()
    {
        db.exec(QString::fromUtf8(kPractice));
        connection.setConnectionString(db.connectionString());
        connection.open();
    }

    // A dialog shown as SelectPatient shows it, without its modal loop.
    std::unique_ptr<TfrmSearchPatient> shownDialog(bool useFileNo = false)
    {
        auto dialog = std::make_unique<TfrmSearchPatient>(connection, useFileNo, ui);
        dialog->show();
        QApplication::processEvents();
        return dialog;
    }

    // Types the text and waits for the search that follows.
    static void type(TfrmSearchPatient& dialog, const QString& text)
    {
        QSignalSpy searched(&dialog, &TfrmSearchPatient::searchFinished);
        QTest::keyClicks(&widget<QLineEdit>(dialog, "edSearch"), text);
        ASSERT_TRUE(searched.wait(2000));
    }

    static QStringList titles(const TfrmSearchPatient& dialog)
    {
        QStringList result;
        const auto* model = dialog.model();
        for (int i = 0; i < model->columnCount(); ++i)
            result << model->headerData(i, Qt::Horizontal).toString();
        return result;
    }

    static QList<int> ids(const TfrmSearchPatient& dialog)
    {
        QList<int> result;
        for (int row = 0; row < dialog.model()->rowCount(); ++row)
            result << dialog.model()->clientId(row);
        return result;
    }

    TestDatabase db;
    Connection connection;
    ScriptedUi ui; // the dialog's failure boxes
};

TEST_F(SearchPatientTest, OpensEmptyWithTheActiveClientCount)
{
    auto dialog = shownDialog();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Search on Patient"));
    EXPECT_EQ(dialog->size(), QSize(510, 363));
    EXPECT_EQ(dialog->minimumSize(), QSize(500, 225));
    EXPECT_EQ(widget<QComboBox>(*dialog, "cbFields").currentText(), QStringLiteral("Surname"));
    EXPECT_EQ(widget<QComboBox>(*dialog, "cbFields").count(), 12);
    EXPECT_EQ(widget<QComboBox>(*dialog, "cbFields").maxVisibleItems(), 11);
    EXPECT_TRUE(widget<QLineEdit>(*dialog, "edSearch").text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), &widget<QLineEdit>(*dialog, "edSearch"));
    EXPECT_FALSE(widget<QPushButton>(*dialog, "btnOK").isEnabled());
    EXPECT_TRUE(widget<QPushButton>(*dialog, "btnOK").isDefault());
    EXPECT_FALSE(widget<QToolButton>(*dialog, "spSoundex").isEnabled());
    EXPECT_TRUE(dialog->model()->isOpen());
    EXPECT_EQ(dialog->model()->rowCount(), 0);
    EXPECT_EQ(titles(*dialog).first(), QStringLiteral("Surname"));
    EXPECT_EQ(titles(*dialog).size(), 13);
    EXPECT_EQ(widget<QLabel>(*dialog, "lbTotalPatients").text(), QStringLiteral("Total Patients 303"));
    EXPECT_FALSE(dialog->tmrSearch().isActive());
}

// Open, the "Search on" list shows eleven of its twelve fields and a scroll bar to the last.
TEST_F(SearchPatientTest, TheFieldListShowsElevenRowsWhenOpen)
{
    auto dialog = shownDialog();
    auto& fields = widget<QComboBox>(*dialog, "cbFields");
    fields.showPopup();
    QApplication::processEvents();
    const QAbstractItemView* view = fields.view();
    ASSERT_TRUE(view->isVisible());
    int whole = 0;
    for (int i = 0; i < fields.count(); ++i)
        if (view->viewport()->rect().contains(view->visualRect(fields.model()->index(i, 0))))
            ++whole;
    EXPECT_EQ(whole, 11);
    // Its scroll bar shows, and reaches the twelfth.
    const QScrollBar* bar = view->verticalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 1);
    fields.hidePopup();
}

TEST_F(SearchPatientTest, EveryCaptionFitsItsControl)
{
    auto dialog = shownDialog();
    const QStringList problems = captionProblems(dialog.get());
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SearchPatientTest, TypingSearchesOnceAfterTheDelay)
{
    auto dialog = shownDialog();
    QSignalSpy searched(dialog.get(), &TfrmSearchPatient::searchFinished);
    QTest::keyClicks(&widget<QLineEdit>(*dialog, "edSearch"), QStringLiteral("abb"));
    EXPECT_EQ(searched.count(), 0);
    EXPECT_TRUE(dialog->tmrSearch().isActive());
    EXPECT_EQ(dialog->tmrSearch().interval(), 150);
    ASSERT_TRUE(searched.wait(2000));
    QTest::qWait(300);
    EXPECT_EQ(searched.count(), 1);
    EXPECT_EQ(ids(*dialog), QList<int>({1, 2}));
    EXPECT_TRUE(widget<QPushButton>(*dialog, "btnOK").isEnabled());
    EXPECT_EQ(dialog->highlightedClientId(), 1);

    // A text without matches disables OK.
    type(*dialog, QStringLiteral("x"));
    EXPECT_EQ(dialog->model()->rowCount(), 0);
    EXPECT_FALSE(widget<QPushButton>(*dialog, "btnOK").isEnabled());
    EXPECT_EQ(dialog->highlightedClientId(), -1);
}

TEST_F(SearchPatientTest, UpAndDownMoveTheHighlightFromTheTextBox)
{
    auto dialog = shownDialog();
    type(*dialog, QStringLiteral("ab"));
    ASSERT_EQ(ids(*dialog), QList<int>({1, 2, 4}));
    QTest::keyClick(&widget<QLineEdit>(*dialog, "edSearch"), Qt::Key_Down);
    EXPECT_EQ(dialog->highlightedClientId(), 2);
    QTest::keyClick(&widget<QLineEdit>(*dialog, "edSearch"), Qt::Key_Down);
    QTest::keyClick(&widget<QLineEdit>(*dialog, "edSearch"), Qt::Key_Down);
    EXPECT_EQ(dialog->highlightedClientId(), 4);
    QTest::keyClick(&widget<QLineEdit>(*dialog, "edSearch"), Qt::Key_Up);
    EXPECT_EQ(dialog->highlightedClientId(), 2);
    EXPECT_EQ(widget<QLineEdit>(*dialog, "edSearch").text(), QStringLiteral("ab"));
    EXPECT_EQ(dialog->model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("\u25B6"));
}

TEST_F(SearchPatientTest, SelectPatientReturnsTheHighlightedRowOrMinusOne)
{
    struct Case
    {
        const char* name;
        std::function<void(TfrmSearchPatient&)> act;
        int expected;
    };
    const std::vector<Case> cases {
        {"Enter on the second row",
         [](TfrmSearchPatient& d) {
             type(d, QStringLiteral("abb"));
             QTest::keyClick(&widget<QLineEdit>(d, "edSearch"), Qt::Key_Down);
             QTest::keyClick(&widget<QLineEdit>(d, "edSearch"), Qt::Key_Return);
         },
         2},
        {"OK button",
         [](TfrmSearchPatient& d) {
             type(d, QStringLiteral("abbot"));
             QTest::mouseClick(&widget<QPushButton>(d, "btnOK"), Qt::LeftButton);
         },
         1},
        {"double-click on a row",
         [](TfrmSearchPatient& d) {
             type(d, QStringLiteral("abb"));
             QTableView* grid = &widget<QTableView>(d, "grdSearch");
             const QRect cell = grid->visualRect(d.model()->index(1, 0));
             QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
             QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
         },
         2},
        {"Esc",
         [](TfrmSearchPatient& d) {
             type(d, QStringLiteral("abb"));
             QTest::keyClick(&widget<QLineEdit>(d, "edSearch"), Qt::Key_Escape);
         },
         -1},
        {"Enter and double-click without rows, then the close box",
         [](TfrmSearchPatient& d) {
             type(d, QStringLiteral("q"));
             QTest::keyClick(&widget<QLineEdit>(d, "edSearch"), Qt::Key_Return);
             QTest::mouseDClick(widget<QTableView>(d, "grdSearch").viewport(), Qt::LeftButton);
             EXPECT_TRUE(d.isVisible());
             d.close();
         },
         -1},
        {"Cancel",
         [](TfrmSearchPatient& d) { QTest::mouseClick(&widget<QPushButton>(d, "btnCancel"), Qt::LeftButton); }, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TfrmSearchPatient*>(QApplication::activeModalWidget());
            if (!dialog) {
                ADD_FAILURE() << "no search dialog";
                return;
            }
            EXPECT_TRUE(widget<QLineEdit>(*dialog, "edSearch").text().isEmpty()); // showing clears the initial text
            c.act(*dialog);
            if (dialog->isVisible()) {
                ADD_FAILURE() << "the dialog stayed open";
                dialog->reject();
            }
        });
        EXPECT_EQ(SelectPatient(connection, false, QStringLiteral("ignored"), ui), c.expected);
    }
}

TEST_F(SearchPatientTest, CountAndArchivedClientsFollowShowArchivedPatients)
{
    auto dialog = shownDialog();
    type(*dialog, QStringLiteral("abe"));
    EXPECT_EQ(ids(*dialog), QList<int>());
    widget<QCheckBox>(*dialog, "cbInactive").click();
    EXPECT_EQ(widget<QLabel>(*dialog, "lbTotalPatients").text(), QStringLiteral("Total Patients 304"));
    EXPECT_EQ(ids(*dialog), QList<int>({3}));
    EXPECT_TRUE(widget<QPushButton>(*dialog, "btnOK").isEnabled());
    widget<QCheckBox>(*dialog, "cbInactive").click();
    EXPECT_EQ(widget<QLabel>(*dialog, "lbTotalPatients").text(), QStringLiteral("Total Patients 303"));
    EXPECT_EQ(ids(*dialog), QList<int>());
    EXPECT_FALSE(widget<QPushButton>(*dialog, "btnOK").isEnabled());
}

TEST_F(SearchPatientTest, RowColoursMarkArchivedAndGroupClients)
{
    auto dialog = shownDialog();
    widget<QCheckBox>(*dialog, "cbInactive").click();
    type(*dialog, QStringLiteral("ab"));
    ASSERT_EQ(ids(*dialog), QList<int>({1, 2, 3, 4}));
    const QPalette palette = widget<QTableView>(*dialog, "grdSearch").palette();
    const SearchResultModel* model = dialog->model();
    EXPECT_FALSE(model->textColour(0, false, palette).isValid());
    EXPECT_FALSE(model->textColour(0, true, palette).isValid());
    EXPECT_EQ(model->textColour(2, false, palette), palette.color(QPalette::Active, QPalette::Dark));
    // Highlighted, an archived row is as readable as any highlighted row.
    EXPECT_EQ(model->textColour(2, true, palette), palette.color(QPalette::Active, QPalette::HighlightedText));
    EXPECT_EQ(model->textColour(3, false, palette), QColor(Qt::blue));
    EXPECT_EQ(model->textColour(3, true, palette), QColor(Qt::yellow));
}

TEST_F(SearchPatientTest, ColumnsFollowTheSearchFieldAndItsTextIsCleared)
{
    auto dialog = shownDialog();
    type(*dialog, QStringLiteral("ab"));
    ASSERT_TRUE(widget<QPushButton>(*dialog, "btnOK").isEnabled());
    QSignalSpy searched(dialog.get(), &TfrmSearchPatient::searchFinished);
    widget<QComboBox>(*dialog, "cbFields").setCurrentIndex(11);
    EXPECT_TRUE(widget<QLineEdit>(*dialog, "edSearch").text().isEmpty());
    EXPECT_EQ(titles(*dialog),
              QStringList({"BPAY Ref No", "Surname", "Name", "Account", "Address", "Practitioner", "Phone Number",
                           "Date of Birth", "File No", "Client ID", "Occupation", "Email", "Work Phone", "Claim No",
                           "Mobile"}));
    ASSERT_TRUE(searched.wait(2000));
    EXPECT_EQ(dialog->model()->rowCount(), 0);
    type(*dialog, QStringLiteral("1234"));
    EXPECT_EQ(dialog->model()->rowCount(), 0);
    type(*dialog, QStringLiteral("5"));
    EXPECT_EQ(ids(*dialog), QList<int>({1}));
    EXPECT_EQ(dialog->model()->data(dialog->model()->index(0, 3)).toString(), QStringLiteral("Primary"));

    widget<QComboBox>(*dialog, "cbFields").setCurrentIndex(1);
    EXPECT_EQ(titles(*dialog).first(), QStringLiteral("Name"));
}

TEST_F(SearchPatientTest, CellsShowTheCalculatedFields)
{
    for (const bool useFileNo : {false, true}) {
        auto dialog = shownDialog(useFileNo);
        type(*dialog, QStringLiteral("abb"));
        const SearchResultModel* model = dialog->model();
        EXPECT_EQ(model->cellText(1, QStringLiteral("NewName")), QStringLiteral("Bill (Billy)"));
        EXPECT_EQ(model->cellText(0, QStringLiteral("NewName")), QStringLiteral("Ann"));
        EXPECT_EQ(model->cellText(0, QStringLiteral("FileNoClient")), useFileNo ? QStringLiteral("F-1") : "1");
        const QLocale locale = QLocale::system();
        EXPECT_EQ(model->cellText(0, QStringLiteral("DateOfBirth")),
                  locale.toString(QDate(1970, 5, 6), QLocale::ShortFormat));
        EXPECT_EQ(model->cellText(1, QStringLiteral("DateOfBirth")),
                  locale.toString(QDate(1971, 1, 2), QLocale::ShortFormat) + u' '
                      + locale.toString(QTime(8, 15), QLocale::ShortFormat));
        EXPECT_EQ(model->cellText(0, QStringLiteral("Mobile")), QStringLiteral("0412 111 222"));
    }
}

// A client that a merge emptied is set apart and says where it went: in italics, a column after
// the grid's own, and a tooltip on its cells. A practice without merges has no such column.
TEST_F(SearchPatientTest, AClientMergedAwaySaysWhereItWent)
{
    {
        auto dialog = shownDialog();
        type(*dialog, QStringLiteral("abb"));
        EXPECT_FALSE(titles(*dialog).contains(QStringLiteral("Merged away")));
    }
    db.exec("INSERT INTO Audit (AuditID, AuditDateTime, UserName, Action, Comment) VALUES "
            "(7, '2026-12-11 10:47:00', 'MERGE', 'Merge 2 > 1 (Abbott, Bill > Abbot, Ann)', ''),"
            "(8, '2026-12-11 10:50:00', 'MERGE', 'Merge 1 > 3 (Abbot, Ann > Abel, Cat) - reverted', '')");
    auto dialog = shownDialog();
    type(*dialog, QStringLiteral("abb"));
    ASSERT_EQ(ids(*dialog), QList<int>({1, 2}));
    const QStringList shown = titles(*dialog);
    EXPECT_EQ(shown.last(), QStringLiteral("Merged away"));
    EXPECT_EQ(shown.mid(0, shown.size() - 1), titles(*shownDialog()).mid(0, shown.size() - 1));
    const SearchResultModel& model = *dialog->model();
    const int column = int(shown.size()) - 1;
    EXPECT_EQ(model.data(model.index(0, column)).toString(), QString());
    EXPECT_EQ(model.data(model.index(1, column)).toString(), QStringLiteral("merged into 1"));
    EXPECT_EQ(model.data(model.index(1, 0), Qt::ToolTipRole).toString(),
              QStringLiteral("Client 2 was merged into 1 by merge 7 on 11/12/2026 10:47: its records are with 1."));
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::ToolTipRole).isValid());
    EXPECT_TRUE(model.data(model.index(1, 1), Qt::FontRole).value<QFont>().italic());
    EXPECT_FALSE(model.data(model.index(0, 1), Qt::FontRole).isValid());
}

TEST_F(SearchPatientTest, SoundsLikeIsForNamesWithText)
{
    auto dialog = shownDialog();
    QTest::keyClicks(&widget<QLineEdit>(*dialog, "edSearch"), QStringLiteral("Abot"));
    EXPECT_TRUE(widget<QToolButton>(*dialog, "spSoundex").isEnabled());
    QSignalSpy searched(dialog.get(), &TfrmSearchPatient::searchFinished);
    widget<QToolButton>(*dialog, "spSoundex").click();
    EXPECT_EQ(searched.count(), 1);
    EXPECT_EQ(ids(*dialog), QList<int>({1, 2})); // Abbot and Abbott: A130
    widget<QLineEdit>(*dialog, "edSearch").clear();
    EXPECT_FALSE(widget<QToolButton>(*dialog, "spSoundex").isEnabled());
    widget<QComboBox>(*dialog, "cbFields").setCurrentIndex(2);
    QTest::keyClicks(&widget<QLineEdit>(*dialog, "edSearch"), QStringLiteral("02"));
    EXPECT_FALSE(widget<QToolButton>(*dialog, "spSoundex").isEnabled());
    widget<QComboBox>(*dialog, "cbFields").setCurrentIndex(1);
    QTest::keyClicks(&widget<QLineEdit>(*dialog, "edSearch"), QStringLiteral("b"));
    EXPECT_TRUE(widget<QToolButton>(*dialog, "spSoundex").isEnabled());
}

TEST_F(SearchPatientTest, ShowAllListsEveryClientAndFetchesAsTheGridScrolls)
{
    auto dialog = shownDialog();
    widget<QCheckBox>(*dialog, "cbAll").click();
    SearchResultModel* model = dialog->model();
    EXPECT_TRUE(widget<QPushButton>(*dialog, "btnOK").isEnabled());
    // Every client has its row from the start; only the rows shown are read.
    EXPECT_EQ(model->rowCount(), 303);
    EXPECT_LT(model->rowsRead(), 303); // not read whole
    EXPECT_EQ(model->clientId(0), 1);
    QTableView* grid = &widget<QTableView>(*dialog, "grdSearch");
    grid->scrollToBottom();
    QApplication::processEvents();
    EXPECT_EQ(model->rowCount(), 303);
    EXPECT_EQ(model->clientId(302), 1300);
    EXPECT_LT(model->rowsRead(), 303);
    // Down from the text box goes on from row to row across the pages.
    grid->setCurrentIndex(model->index(48, 0));
    QTest::keyClick(&widget<QLineEdit>(*dialog, "edSearch"), Qt::Key_Down);
    QTest::keyClick(&widget<QLineEdit>(*dialog, "edSearch"), Qt::Key_Down);
    EXPECT_EQ(dialog->highlightedClientId(), model->clientId(50));
    EXPECT_EQ(model->clientId(50), 1048);

    // Hiding resets both boxes without a search.
    QSignalSpy searched(dialog.get(), &TfrmSearchPatient::searchFinished);
    widget<QCheckBox>(*dialog, "cbInactive").setChecked(true);
    ASSERT_EQ(searched.count(), 1);
    dialog->hide();
    EXPECT_FALSE(widget<QCheckBox>(*dialog, "cbAll").isChecked());
    EXPECT_FALSE(widget<QCheckBox>(*dialog, "cbInactive").isChecked());
    EXPECT_EQ(searched.count(), 1);
}

// With Show All and no text, choosing another field lists every client sorted by that field.
TEST_F(SearchPatientTest, AnotherFieldWithShowAllAndNoTextListsEveryClientInItsOrder)
{
    auto dialog = shownDialog();
    widget<QCheckBox>(*dialog, "cbAll").click();
    const SearchResultModel* model = dialog->model();
    ASSERT_EQ(model->rowCount(), 303);
    EXPECT_EQ(model->clientId(0), 1);
    QSignalSpy searched(dialog.get(), &TfrmSearchPatient::searchFinished);
    widget<QComboBox>(*dialog, "cbFields").setCurrentIndex(int(SearchField::Mobile));
    ASSERT_TRUE(searched.wait(2000));
    EXPECT_EQ(titles(*dialog).first(), QStringLiteral("Mobile"));
    ASSERT_EQ(model->rowCount(), 303);
    // Clients without a mobile number first, the one with a number last.
    EXPECT_EQ(model->clientId(0), 2);
    EXPECT_EQ(model->clientId(302), 1);
}

// Show All over a large practice: the grid's scroll bar spans every client from the first
// screen on, dragging its thumb to the end shows the last clients, and only the pages shown are
// read (counted in rows, whatever the time).
TEST_F(SearchPatientTest, ShowAllOverAHundredThousandClientsReachesTheLastRowByTheScrollBar)
{
    db.exec(QStringLiteral("DELETE FROM Client;"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000) "
                           "INSERT INTO Client (ClientID, Surname, Name, Active) "
                           "SELECT i, 'Patient' || printf('%06d', i), 'Pat', 'T' FROM n;"));
    auto dialog = shownDialog();
    EXPECT_EQ(widget<QLabel>(*dialog, "lbTotalPatients").text(), QStringLiteral("Total Patients 100000"));
    widget<QCheckBox>(*dialog, "cbAll").click();
    QApplication::processEvents();
    const SearchResultModel* model = dialog->model();
    QTableView* grid = &widget<QTableView>(*dialog, "grdSearch");
    QScrollBar* bar = grid->verticalScrollBar();
    EXPECT_EQ(model->rowCount(), 100000);
    EXPECT_EQ(model->clientId(0), 1);
    const int screen = grid->viewport()->height() / grid->verticalHeader()->defaultSectionSize();
    EXPECT_EQ(bar->maximum(), 100000 - screen) << "the thumb spans the whole result";
    EXPECT_EQ(bar->value(), 0);
    EXPECT_LE(model->rowsRead(), 2 * SearchResultPages::kPageRows);

    // Dragged half-way, then to the end.
    bar->setValue(bar->maximum() / 2);
    QApplication::processEvents();
    const int middle = grid->rowAt(0);
    EXPECT_NEAR(middle, 50000, screen);
    EXPECT_EQ(model->clientId(middle), middle + 1);
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    const int last = grid->rowAt(grid->viewport()->height() - 1);
    EXPECT_EQ(last, 99999);
    EXPECT_EQ(model->clientId(99999), 100000);
    EXPECT_EQ(model->cellText(99999, QStringLiteral("Surname")), QStringLiteral("Patient100000"));
    EXPECT_LE(model->rowsRead(), 8 * SearchResultPages::kPageRows) << "only the pages shown are read";
}

// The text box takes no more than the search does: a long paste is cut to it, and the search
// runs on every field.
TEST_F(SearchPatientTest, TheSearchTextIsBounded)
{
    auto dialog = shownDialog();
    EXPECT_EQ(widget<QLineEdit>(*dialog, "edSearch").maxLength(), kMaxSearchTextLength);
    for (int field = 0; field < kSearchFieldCount; ++field) {
        widget<QComboBox>(*dialog, "cbFields").setCurrentIndex(field);
        QSignalSpy searched(dialog.get(), &TfrmSearchPatient::searchFinished);
        widget<QLineEdit>(*dialog, "edSearch").insert(QString(60000, u'4'));
        EXPECT_EQ(widget<QLineEdit>(*dialog, "edSearch").text(), QString(kMaxSearchTextLength, u'4'));
        ASSERT_TRUE(searched.wait(2000)) << field;
        EXPECT_TRUE(dialog->model()->isOpen()) << widget<QComboBox>(*dialog, "cbFields").currentText().toStdString();
        EXPECT_EQ(dialog->model()->rowCount(), 0);
    }
}

TEST_F(SearchPatientTest, AFailedSearchLeavesTheGridEmptyAndSilent)
{
    auto dialog = shownDialog();
    type(*dialog, QStringLiteral("ab"));
    ASSERT_TRUE(widget<QPushButton>(*dialog, "btnOK").isEnabled());
    db.exec(QStringLiteral("DROP VIEW PatientSearchBPAY; DROP VIEW PatientSearch;"));
    type(*dialog, QStringLiteral("b"));
    EXPECT_FALSE(dialog->model()->isOpen());
    EXPECT_EQ(dialog->model()->rowCount(), 0);
    EXPECT_FALSE(widget<QPushButton>(*dialog, "btnOK").isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace kolvix::test
