#include "app/MainWindow.h"
#include "app/CaptionFit.h"
#include "app/accounts/EditAccounts.h"
#include "app/compare/CompareWindow.h"
#include "app/duplicates/DuplicatesWindow.h"
#include "app/history/MergeHistoryWindow.h"
#include "app/search/SearchPatient.h"
#include "core/Log.h"
#include "core/TracePane.h"
#include "db/Dataset.h"
#include "merge/Statistics.h"
#include "settings/CommandLine.h"
#include "settings/UtilityConnect.h"
#include "support/CaptionCheck.h"
#include "support/FakePlatform.h"
#include "support/MergeFixture.h"
#include "support/ScriptedUi.h"
#include "support/TestDatabase.h"
#include "support/Widgets.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace kolvix::test {
namespace {

const QString kWarning = QStringLiteral(
    "Warning: WARNING: The process of merging patient data cannot be reversed.  Proceed with caution.\n\n"
    "If you do not understand the proper use of this utility please contact Ombrix support.");

// How many pixels wider than designed the window has to be for its captions in that font: 0
// where the font holds them.
int captionExtra(const QFont& font)
{
    QWidget form;
    form.setFont(font);
    auto* moveFrom = new QLabel(QStringLiteral("Move From"), &form);
    auto* moveTo = new QLabel(QStringLiteral("Move To"), &form);
    auto* close = new QPushButton(QStringLiteral("&Close"), &form);
    auto* merge = new QPushButton(QStringLiteral("&Merge"), &form);
    for (QWidget* label : {static_cast<QWidget*>(moveFrom), static_cast<QWidget*>(moveTo)})
        label->resize(64, 16);
    for (QWidget* button : {static_cast<QWidget*>(close), static_cast<QWidget*>(merge)})
        button->resize(75, 25);
    return std::max(captionShortfall(moveFrom), captionShortfall(moveTo))
        + std::max(captionShortfall(close), captionShortfall(merge));
}

// A machine without any settings file: folders in a temporary directory, the database named
// on the command line.
class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest()
    {
        fakePlatform.localAppData = folders.filePath(QStringLiteral("local"));
        fakePlatform.commonAppData = folders.filePath(QStringLiteral("common"));
        fakePlatform.legacyFolder = folders.filePath(QStringLiteral("windows"));
        fakePlatform.exeFolder = folders.filePath(QStringLiteral("bin"));
        QDir().mkpath(fakePlatform.exeFolder);
        useDatabase(db.path());
        gTerminateRequested = false;
    }
    ~MainWindowTest() override
    {
        setLogEnabled(false);
        setCommandLineArguments({});
    }

    static void useDatabase(const QString& path)
    {
        setCommandLineArguments({QStringLiteral("Provider=SQLite"), QStringLiteral("Data Source=") + path});
    }

    QTemporaryDir folders;
    FakePlatform fakePlatform;
    ScriptedUi ui;
    TestDatabase db;
};

TEST_F(MainWindowTest, StartUpWarnsFirstThenConnectsWithMergeDisabled)
{
    TfrmMain window(ui);

    ASSERT_EQ(ui.shown, QStringList {kWarning});
    EXPECT_FALSE(window.terminateRequested());
    EXPECT_TRUE(window.conZelvan.isOpen());
    EXPECT_TRUE(window.query.isOpen());
    EXPECT_TRUE(window.session.UseRollback);
    EXPECT_FALSE(widget<QPushButton>(window, "btnMerge").isEnabled());
    EXPECT_EQ(widget<QLineEdit>(window, "edtFrom").text(), QStringLiteral("Please search for a patient..."));
    EXPECT_EQ(widget<QLineEdit>(window, "edtTo").text(), QStringLiteral("Please search for a patient..."));
    // The designed size, unless the font in use cannot hold the captions in their designed widths.
    EXPECT_EQ(window.size(), QSize(505 + captionExtra(window.font()), 469));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kolvix Utility"));
}

TEST_F(MainWindowTest, ConnectionFailureShowsTheErrorAndAsksToEnd)
{
    const QString missing = folders.filePath(QStringLiteral("missing.db"));
    useDatabase(missing);

    TfrmMain window(ui);

    ASSERT_EQ(ui.shown.size(), 2);
    EXPECT_EQ(ui.shown[0], kWarning);
    EXPECT_TRUE(ui.shown[1].startsWith(QStringLiteral("Error: Unable to connect to the Zelvan database 'Zelvan' on '")))
        << ui.shown[1].toStdString();
    EXPECT_TRUE(ui.shown[1].contains(QStringLiteral("'.\nThe database file '") + missing
                                     + QStringLiteral("' does not exist.\n\n")))
        << "the second line says what is wrong with the file";
    EXPECT_TRUE(ui.shown[1].endsWith(QStringLiteral(".\n\nPlease check your connection properties.")));
    EXPECT_TRUE(window.terminateRequested());
    EXPECT_FALSE(window.conZelvan.isOpen());
    // The log switch is still off: no log file.
    EXPECT_TRUE(QDir(fakePlatform.exeFolder).entryList(QDir::Files).isEmpty());
}

TEST_F(MainWindowTest, ChoosingBothClientsShowsTheCaptionsAndEnablesMerge)
{
    db.exec(QStringLiteral(
        "INSERT INTO Client (ClientID, Name, Surname) VALUES (1, 'John', 'Smith'), (2, ' Jon ', 'Smith');"
        "INSERT INTO Account (ClientID, AccountID, Description) VALUES (1, 0, 'Main'), (1, 1, 'Family');"
        "INSERT INTO Appoint (AppointID, ClientID) VALUES (10, 1);"));
    TfrmMain window(ui);

    window.chooseToClient(2);
    EXPECT_EQ(widget<QLineEdit>(window, "edtTo").text(), QStringLiteral("2: Smith, Jon"));
    EXPECT_FALSE(widget<QPushButton>(window, "btnMerge").isEnabled());

    window.chooseFromClient(1);
    EXPECT_EQ(widget<QLineEdit>(window, "edtFrom").text(), QStringLiteral("1: Smith, John"));
    EXPECT_TRUE(widget<QPushButton>(window, "btnMerge").isEnabled());
    // The count query follows the From client.
    EXPECT_EQ(window.query.field(QStringLiteral("numAcc")).asInteger(), 2);
    EXPECT_EQ(window.query.field(QStringLiteral("numApp")).asInteger(), 1);
    // The statistics follow once the timer has fired.
    EXPECT_EQ(widget<QPlainTextEdit>(window, "memResults").toPlainText(), QStringLiteral("collecting statistics..."));
    EXPECT_TRUE(window.timUpdate().isActive());

    window.timUpdateTimer();
    EXPECT_FALSE(window.timUpdate().isActive());
    EXPECT_EQ(widget<QPlainTextEdit>(window, "memResults").toPlainText(),
              QStringLiteral("2  Accounts\n1  Appointment"));

    // Choosing the To client again leaves the statistics alone.
    window.chooseToClient(1);
    EXPECT_EQ(widget<QPlainTextEdit>(window, "memResults").toPlainText(),
              QStringLiteral("2  Accounts\n1  Appointment"));
    EXPECT_TRUE(widget<QPushButton>(window, "btnMerge").isEnabled());
    EXPECT_EQ(ui.shown, QStringList {kWarning});
}

TEST_F(MainWindowTest, APairChosenInTheDuplicatesWindowFillsBothClientsAsASearchWould)
{
    db.exec(QStringLiteral("INSERT INTO Client (ClientID, Name, Surname, DateOfBirth, Mobile, Active) VALUES "
                           "(20, 'Louise', 'Harper', '1975-04-09 00:00:00', '0412 345 678', 'T'),"
                           "(35, 'Louise', 'Harpur', '1975-04-09 00:00:00', '0412345678', 'T');"
                           "INSERT INTO Account (ClientID, AccountID, Description) VALUES (35, 0, 'Main');"
                           "INSERT INTO Appoint (AppointID, ClientID) VALUES (10, 35);"
                           // Harper's record holds the longer history: the one to keep.
                           "INSERT INTO ClinicalNotes (ClinicalNoteID, ClientID) VALUES (1, 20), (2, 20);"));
    TfrmMain window(ui);
    window.show();
    // Below Merge, the designed form otherwise as it was.
    EXPECT_EQ(widget<QPushButton>(window, "btnDuplicates").geometry(), QRect(425, 69, 75, 25));
    EXPECT_EQ(widget<QPushButton>(window, "btnMerge").geometry(), QRect(425, 37, 75, 25));
    EXPECT_EQ(window.size(), QSize(505, 469));
    EXPECT_EQ(widget<QPushButton>(window, "btnDuplicates").text(), QStringLiteral("&Duplicates..."));
    EXPECT_FALSE(widget<QPushButton>(window, "btnMerge").isEnabled());

    widget<QPushButton>(window, "btnDuplicates").click();
    TfrmDuplicates* duplicates = &widget<TfrmDuplicates>(window, "frmDuplicates");
    ASSERT_NE(duplicates, nullptr);
    EXPECT_TRUE(duplicates->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !duplicates->isScanning(); }, 20000));
    ASSERT_EQ(duplicates->pairs().size(), 1u);
    EXPECT_EQ(duplicates->pairs()[0].keep.clientId, 20);
    EXPECT_EQ(duplicates->pairs()[0].merge.clientId, 35);

    widget<QTableView>(*duplicates, "grdPairs").selectRow(0);
    widget<QPushButton>(*duplicates, "btnUse").click();
    EXPECT_EQ(widget<QLineEdit>(window, "edtFrom").text(), QStringLiteral("35: Harpur, Louise"));
    EXPECT_EQ(widget<QLineEdit>(window, "edtTo").text(), QStringLiteral("20: Harper, Louise"));
    EXPECT_TRUE(widget<QPushButton>(window, "btnMerge").isEnabled());
    EXPECT_EQ(widget<QPlainTextEdit>(window, "memResults").toPlainText(), QStringLiteral("collecting statistics..."));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.timUpdate().isActive(); }, 10000));
    EXPECT_EQ(widget<QPlainTextEdit>(window, "memResults").toPlainText(), QStringLiteral("1  Account\n1  Appointment"));

    // A second click on the button brings the open window forward without a new scan.
    widget<QPushButton>(window, "btnDuplicates").click();
    EXPECT_EQ(&widget<TfrmDuplicates>(window, "frmDuplicates"), duplicates);
    EXPECT_FALSE(duplicates->isScanning());
    // Closed and opened again, it scans again.
    duplicates->close();
    widget<QPushButton>(window, "btnDuplicates").click();
    EXPECT_TRUE(duplicates->isScanning() || duplicates->pairs().size() == 1u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !duplicates->isScanning(); }, 20000));
    EXPECT_EQ(ui.shown, QStringList {kWarning});
}

// Ticked pairs merged in the Duplicates window are merged on this window's session (its
// interface asks), and the pane is collected again for the From client.
TEST_F(MainWindowTest, TickedPairsAreMergedOnTheWindowsSessionAndThePaneIsCollectedAgain)
{
    db.exec(
        QStringLiteral("INSERT INTO Client (ClientID, Name, Surname, DateOfBirth, Mobile, Active) VALUES "
                       "(20, 'Louise', 'Harper', '1975-04-09 00:00:00', '0412 345 678', 'T'),"
                       "(35, 'Louise', 'Harpur', '1975-04-09 00:00:00', '0412345678', 'T');"
                       "INSERT INTO Account (ClientID, AccountID, Description) VALUES (20, 0, 'Main'), (35, 0, 'Main');"
                       "INSERT INTO Appoint (AppointID, ClientID) VALUES (10, 35);"
                       // Harper's record holds the longer history: the one to keep.
                       "INSERT INTO ClinicalNotes (ClinicalNoteID, ClientID) VALUES (1, 20), (2, 20);"));
    TfrmMain window(ui);
    window.show();
    window.chooseFromClient(35);
    window.chooseToClient(20);
    window.timUpdateTimer();
    EXPECT_EQ(widget<QPlainTextEdit>(window, "memResults").toPlainText(), QStringLiteral("1  Account\n1  Appointment"));

    widget<QPushButton>(window, "btnDuplicates").click();
    TfrmDuplicates& duplicates = widget<TfrmDuplicates>(window, "frmDuplicates");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !duplicates.isScanning(); }, 20000));
    QAbstractItemModel* pairs = widget<QTableView>(duplicates, "grdPairs").model();
    ASSERT_EQ(pairs->rowCount(), 1);
    pairs->setData(pairs->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    widget<QPushButton>(duplicates, "btnMergeTicked").click();
    EXPECT_EQ(ui.questions, QStringList {mergeTickedQuestion({{35, 20, "Harpur, Louise", "Harper, Louise"}})});
    ASSERT_NE(duplicates.batchReport(), nullptr);
    EXPECT_TRUE(duplicates.batchReport()->text().endsWith(QStringLiteral("1 pair: 1 merged.")))
        << duplicates.batchReport()->text().toStdString();
    EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM Appoint WHERE ClientID = 20")), 1);
    EXPECT_EQ(widget<QPlainTextEdit>(window, "memResults").toPlainText(), QStringLiteral("collecting statistics..."));
    window.timUpdateTimer();
    EXPECT_FALSE(widget<QPlainTextEdit>(window, "memResults").toPlainText().contains(QStringLiteral("Appointment")));
    EXPECT_EQ(widget<QLineEdit>(window, "edtFrom").text(), QStringLiteral("35: Harpur, Louise"));
    EXPECT_EQ(ui.shown, QStringList {kWarning});
}

TEST_F(MainWindowTest, CaptionsFollowTheDisplayNameAndAreCut)
{
    const QString longSurname = QStringLiteral("Abcdefghijklmnopqrstuvwxyzabcdefghijklmn"); // 40
    const QString wideSurname = QString(40, QLatin1Char('W'));
    db.exec(QStringLiteral("INSERT INTO Client (ClientID, Name, Surname) VALUES (3, NULL, 'Doe'), (4, '  ', NULL),"
                           "(5, 'Jane', '%1'), (6, 'Jane', '%2');")
                .arg(longSurname, wideSurname));
    TfrmMain window(ui);

    struct Case
    {
        qint32 id;
        QString from;
        QString to;
    };
    const QString full = QStringLiteral("5: ") + longSurname + QStringLiteral(", Jane");
    const QString wide = QStringLiteral("6: ") + wideSurname + QStringLiteral(", Jane");
    for (const Case& c : {Case {3, QStringLiteral("3: Doe"), QStringLiteral("3: Doe")},
                          Case {4, QStringLiteral("4: "), QStringLiteral("4: ")},
                          Case {5, full.left(40), full.left(50)}, Case {6, wide.left(40), wide.left(50)}}) {
        window.chooseFromClient(c.id);
        window.chooseToClient(c.id);
        ASSERT_GT(widget<QLineEdit>(window, "edtTo").fontMetrics().horizontalAdvance(wide),
                  widget<QLineEdit>(window, "edtTo").width());
        EXPECT_EQ(widget<QLineEdit>(window, "edtFrom").text(), c.from);
        EXPECT_EQ(widget<QLineEdit>(window, "edtTo").text(), c.to);
        // The edits show the start of the caption (the client id) and, when it does not fit,
        // the whole caption as their tool tip.
        for (const QLineEdit* edit : {&widget<QLineEdit>(window, "edtFrom"), &widget<QLineEdit>(window, "edtTo")}) {
            EXPECT_EQ(edit->cursorPosition(), 0) << c.id;
            const int textWidth = edit->fontMetrics().horizontalAdvance(edit->text());
            if (textWidth > edit->width()) {
                EXPECT_EQ(edit->toolTip(), edit->text()) << c.id;
            } else if (textWidth < edit->width() / 2) {
                EXPECT_EQ(edit->toolTip(), QString()) << c.id;
            } else {
                EXPECT_TRUE(edit->toolTip().isEmpty() || edit->toolTip() == edit->text()) << c.id;
            }
        }
    }
}

TEST_F(MainWindowTest, AFailingCountShowsTheErrorBoxLeavesThePaneEmptyAndKeepsTheRowsCounted)
{
    db.exec(QStringLiteral("INSERT INTO Client (ClientID, Name, Surname) VALUES (1, 'John', 'Smith');"
                           "INSERT INTO Account (ClientID, AccountID, Description) VALUES (1, 0, 'Main');"
                           "DROP TABLE TyroTrans; CREATE TABLE TyroTrans (TyroTransID INTEGER);"));
    TfrmMain window(ui);
    window.chooseFromClient(1);

    // The timer runs the collection from the event loop, which shows the failure.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.timUpdate().isActive(); }, 10000));
    ASSERT_EQ(ui.shown.size(), 2);
    EXPECT_TRUE(ui.shown[1].startsWith(QStringLiteral("Error: "))) << ui.shown[1].toStdString();
    EXPECT_TRUE(widget<QPlainTextEdit>(window, "memResults").toPlainText().isEmpty());
    EXPECT_TRUE(widget<QPushButton>(window, "btnSearchFrom").isEnabled());
    // The rows before the failing one (row 9, TyroTrans) stay in the list.
    EXPECT_EQ(window.statisticsList, (StatisticsList {{QStringLiteral("Account"), 1}}));
}

TEST_F(MainWindowTest, TheEditsPassTheFocusToTheirSearchButtons)
{
    TfrmMain window(ui);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    widget<QLineEdit>(window, "edtTo").setFocus();
    EXPECT_EQ(QApplication::focusWidget(), &widget<QPushButton>(window, "btnSearchTo"));
    widget<QLineEdit>(window, "edtFrom").setFocus();
    EXPECT_EQ(QApplication::focusWidget(), &widget<QPushButton>(window, "btnSearchFrom"));
}

TEST_F(MainWindowTest, TabbingThroughAndACancelledDialogLeaveNoSelectionInTheEdits)
{
    db.exec(QStringLiteral("INSERT INTO Client (ClientID, Name, Surname) VALUES (1, 'John', 'Smith');"));
    TfrmMain window(ui);
    window.chooseFromClient(1);
    window.chooseToClient(1);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    widget<QPushButton>(window, "btnSearchFrom").setFocus();

    const auto noSelection = [&](const char* when) {
        for (const QLineEdit* edit : {&widget<QLineEdit>(window, "edtFrom"), &widget<QLineEdit>(window, "edtTo")}) {
            EXPECT_FALSE(edit->hasSelectedText()) << when << ' ' << edit->objectName().toStdString();
            EXPECT_EQ(edit->cursorPosition(), 0) << when;
        }
    };
    // Twice round the window, forwards and backwards: the edits hand the focus on.
    for (const Qt::KeyboardModifier direction : {Qt::NoModifier, Qt::ShiftModifier}) {
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(QApplication::focusWidget(), direction == Qt::NoModifier ? Qt::Key_Tab : Qt::Key_Backtab,
                            direction);
            EXPECT_NE(QApplication::focusWidget(), &widget<QLineEdit>(window, "edtFrom"));
            EXPECT_NE(QApplication::focusWidget(), &widget<QLineEdit>(window, "edtTo"));
            noSelection("tab");
        }
    }

    // A dialog over the window, cancelled (as the search is).
    widget<QPushButton>(window, "btnSearchTo").setFocus();
    QTimer::singleShot(50, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    QInputDialog::getInt(&window, QStringLiteral("Find Patient"), QStringLiteral("Client ID:"));
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    noSelection("after a cancelled dialog");
}

TEST_F(MainWindowTest, EnterAndTheKeypadEnterPressTheFocusedButton)
{
    struct Case
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    for (const Case c : {Case {Qt::Key_Return, Qt::NoModifier}, Case {Qt::Key_Enter, Qt::KeypadModifier}}) {
        TfrmMain window(ui);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

        // Enter elsewhere presses nothing; on Close the window closes.
        widget<QPlainTextEdit>(window, "memResults").setFocus();
        QTest::keyClick(&widget<QPlainTextEdit>(window, "memResults"), c.key, c.modifiers);
        EXPECT_TRUE(window.isVisible());
        widget<QPushButton>(window, "btnOk").setFocus();
        ASSERT_EQ(QApplication::focusWidget(), &widget<QPushButton>(window, "btnOk"));
        QTest::keyClick(&widget<QPushButton>(window, "btnOk"), c.key, c.modifiers);
        EXPECT_FALSE(window.isVisible()) << c.key;
    }
}

TEST_F(MainWindowTest, EveryCaptionFitsItsControl)
{
    db.exec(QStringLiteral("INSERT INTO Client (ClientID, Name, Surname) VALUES (1, 'John', 'Smith');"));
    TfrmMain window(ui);
    window.chooseFromClient(1);
    window.chooseToClient(1);
    window.show();
    EXPECT_EQ(captionProblems(&window), QStringList {});
}

TEST_F(MainWindowTest, AltRepaintsTheButtonsThreeTimesAndOtherKeysNothing)
{
    TfrmMain window(ui);
    const QKeyEvent plain(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    window.FormKeyDown(plain);
    EXPECT_FALSE(window.timDrawButtons().isActive());

    const QKeyEvent alt(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    window.FormKeyDown(alt);
    EXPECT_TRUE(window.timDrawButtons().isActive());
    window.timDrawButtonsTimer();
    EXPECT_TRUE(window.timDrawButtons().isActive());
    window.timDrawButtonsTimer();
    EXPECT_FALSE(window.timDrawButtons().isActive());
}

// Runs the action on the search dialog as soon as it has opened (a key press may run events
// before the dialog is shown, so a timer polls for it).
// Runs the action on the next modal dialog of the kind once it is open and active.
template <typename Dialog> void whenDialogOpens(const char* what, std::function<void(Dialog&)> action)
{
    auto* poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, what, action] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog && ++*tries < 500)
            return;
        poll->stop();
        poll->deleteLater();
        if (!dialog) {
            ADD_FAILURE() << what << " did not open";
            return;
        }
        // The window system activates a new modal dialog; the offscreen platform is told to.
        QApplication::setActiveWindow(dialog);
        QApplication::processEvents();
        action(*dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << what << " stayed open";
            dialog->reject();
        }
    });
    poll->start(10);
}

void whenSearchOpens(std::function<void(TfrmSearchPatient&)> action)
{
    whenDialogOpens<TfrmSearchPatient>("the search dialog", [action](TfrmSearchPatient& dialog) {
        EXPECT_EQ(QApplication::focusWidget(), &widget<QLineEdit>(dialog, "edSearch"));
        action(dialog);
    });
}

// Finds a client in the search dialog that the focused search button opens, by keys alone:
// types the text, waits for the search, presses Enter.
void searchByKeyboard(const QString& text)
{
    whenSearchOpens([text](TfrmSearchPatient& dialog) {
        QSignalSpy searched(&dialog, &TfrmSearchPatient::searchFinished);
        QTest::keyClicks(QApplication::focusWidget(), text);
        if (!searched.wait(2000))
            ADD_FAILURE() << "no search after typing " << text.toStdString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
}

TEST_F(MainWindowTest, BothClientsAreFoundByTypingAndMergedWithTheKeyboardAlone)
{
    db.exec(QString::fromLatin1(kExamplePair));
    TfrmMain window(ui);
    window.show();
    QApplication::setActiveWindow(&window);
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), &widget<QPushButton>(window, "btnSearchFrom"));

    searchByKeyboard(QStringLiteral("sample, o"));
    EXPECT_EQ(widget<QLineEdit>(window, "edtFrom").text(), QStringLiteral("812: Sample, One"));
    // The window system gives the activation back to the main window when the dialog closes.
    QApplication::setActiveWindow(&window);
    ASSERT_EQ(QApplication::focusWidget(), &widget<QPushButton>(window, "btnSearchFrom"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), &widget<QPushButton>(window, "btnSearchTo"));
    searchByKeyboard(QStringLiteral("sample, t"));
    EXPECT_EQ(widget<QLineEdit>(window, "edtTo").text(), QStringLiteral("57: Sample, Two"));
    ASSERT_TRUE(widget<QPushButton>(window, "btnMerge").isEnabled());
    QApplication::setActiveWindow(&window);

    // Tab on to the Merge button and press it.
    for (int tabs = 0; tabs < 8 && QApplication::focusWidget() != &widget<QPushButton>(window, "btnMerge"); ++tabs)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), &widget<QPushButton>(window, "btnMerge"));
    // The account dialog opens on the proposed mapping: Enter takes it.
    whenDialogOpens<TfrmEditAccounts>("the account dialog", [this](TfrmEditAccounts&) {
        ++ui.accountDialogs;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(ui.accountDialogs, 1);
    EXPECT_TRUE(ui.shown.last().contains(QStringLiteral("successfully merged"))) << ui.shown.last().toStdString();
    EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM Trans WHERE ClientID = 812")), 0);
    EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM Trans WHERE ClientID = 57")), 4);
    EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM Appoint WHERE ClientID = 57")), 3);
    EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM Audit")), 1);
}

// After every merge attempt the pane is collected again for the From client, as choosing it
// does: after a merge it lists what stays with the From client, never the counts of before.
// A pair used from the Duplicates window and merged here leaves that list at once; pressing
// Merge again merges nothing a second time, and says why.
TEST_F(MainWindowTest, APairMergedHereLeavesTheDuplicatesListAndIsNotMergedTwice)
{
    db.exec(QStringLiteral("INSERT INTO Client (ClientID, Name, Surname, DateOfBirth, Mobile, Active) VALUES "
                           "(20, 'Louise', 'Harper', '1975-04-09 00:00:00', '0412 345 678', 'T'),"
                           "(35, 'Louise', 'Harpur', '1975-04-09 00:00:00', '0412345678', 'T');"
                           "INSERT INTO Account (ClientID, AccountID, Description) VALUES (20, 0, 'Main'), (35, 0, "
                           "'Main');"
                           "INSERT INTO Appoint (AppointID, ClientID) VALUES (10, 35);"
                           "INSERT INTO ClinicalNotes (ClinicalNoteID, ClientID) VALUES (1, 20), (2, 20);"));
    TfrmMain window(ui);
    window.show();
    widget<QPushButton>(window, "btnDuplicates").click();
    TfrmDuplicates& duplicates = widget<TfrmDuplicates>(window, "frmDuplicates");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !duplicates.isScanning(); }, 20000));
    ASSERT_EQ(duplicates.pairs().size(), 1u);
    widget<QTableView>(duplicates, "grdPairs").selectRow(0);
    widget<QPushButton>(duplicates, "btnUse").click();

    whenDialogOpens<TfrmEditAccounts>("the account dialog", [](TfrmEditAccounts& dialog) { dialog.accept(); });
    window.btnMergeClick();
    ASSERT_EQ(ui.shown.last(), QStringLiteral("Information: Clients have been successfully merged."));
    EXPECT_TRUE(duplicates.pairs().empty());
    EXPECT_EQ(widget<QTableView>(duplicates, "grdPairs").model()->rowCount(), 0);

    const auto merged = db.snapshot();
    window.btnMergeClick();
    EXPECT_TRUE(ui.shown.last().startsWith("Information: Client 35 was merged into 20 by merge 1 on "))
        << ui.shown.last().toStdString();
    EXPECT_TRUE(ui.shown.last().endsWith(". There is nothing left to merge.")) << ui.shown.last().toStdString();
    EXPECT_EQ(db.snapshot(), merged);
}

TEST_F(MainWindowTest, AfterEveryMergeAttemptThePaneShowsWhatTheFromClientHoldsNow)
{
    struct Case
    {
        const char* name;
        const char* setUp; // SQL run on the example pair
        bool failAStep; // the third catalogue step fails: rolled back
        const char* lastBox; // how the last box begins
        bool moved; // the Transactions left the From client
    };
    const Case cases[] = {
        {"merged", "", false, "Information: Clients have been successfully merged.", true},
        {"refused", "UPDATE Client SET PXAccess = 1, PXVerified = 1, PXEmail = 'a@b.c' WHERE ClientID = 812", false,
         "Information: The client to be moved has WPX currently enabled", false},
        {"failed", "", true, "Warning: Some data could not be transferred.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDatabase practice;
        practice.exec(QString::fromLatin1(kExamplePair) + QString::fromLatin1(c.setUp));
        useDatabase(practice.path());
        ui.shown.clear();
        ui.onStep = [&c](int step) {
            if (c.failAStep && step == 3)
                throw std::runtime_error("the disk is full");
        };
        TfrmMain window(ui);
        window.chooseFromClient(812);
        window.chooseToClient(57);
        window.timUpdateTimer();
        const QString before = widget<QPlainTextEdit>(window, "memResults").toPlainText();
        ASSERT_TRUE(before.contains(QStringLiteral("  Transactions"))) << before.toStdString();

        const bool refused = *c.setUp != '\0'; // refused before the account dialog
        if (!refused)
            whenDialogOpens<TfrmEditAccounts>("the account dialog", [](TfrmEditAccounts& dialog) { dialog.accept(); });
        window.btnMergeClick();
        ASSERT_FALSE(ui.shown.isEmpty());
        EXPECT_TRUE(ui.shown.last().startsWith(QString::fromLatin1(c.lastBox))) << ui.shown.last().toStdString();

        // Collected anew, as choosing the From client does; both clients stay chosen.
        EXPECT_EQ(widget<QPlainTextEdit>(window, "memResults").toPlainText(),
                  QStringLiteral("collecting statistics..."));
        EXPECT_TRUE(window.timUpdate().isActive());
        window.timUpdateTimer();
        const QString after = widget<QPlainTextEdit>(window, "memResults").toPlainText();
        Connection check;
        check.setConnectionString(practice.connectionString());
        check.open();
        Dataset counts(check);
        TracePane trace;
        EXPECT_EQ(after, statisticsLines(collectStatistics(counts, trace, 812)).join(QLatin1Char('\n')));
        EXPECT_EQ(after.contains(QStringLiteral("  Transactions")), !c.moved) << after.toStdString();
        if (!c.moved) {
            EXPECT_EQ(after, before);
        }
        EXPECT_EQ(widget<QLineEdit>(window, "edtFrom").text(), QStringLiteral("812: Sample, One"));
        EXPECT_EQ(widget<QLineEdit>(window, "edtTo").text(), QStringLiteral("57: Sample, Two"));
        EXPECT_TRUE(widget<QPushButton>(window, "btnMerge").isEnabled());
    }
}

// History sits below Duplicates and opens the Merge History window on the window's session: an
// undo there is asked and shown through the same interface, and the pane is collected again for
// the From client, as after a merge, so that it shows the rows that came back.
TEST_F(MainWindowTest, TheHistoryButtonOpensTheHistoryAndAnUndoThereCollectsThePaneAgain)
{
    db.exec(QString::fromLatin1(kExamplePair));
    TfrmMain window(ui);
    window.show();
    EXPECT_EQ(widget<QPushButton>(window, "btnHistory").geometry(), QRect(425, 101, 75, 25));
    EXPECT_EQ(widget<QPushButton>(window, "btnHistory").text(), QStringLiteral("&History..."));
    EXPECT_EQ(widget<QPushButton>(window, "btnHistory").size(), widget<QPushButton>(window, "btnDuplicates").size());
    EXPECT_EQ(window.size(), QSize(505, 469));

    window.chooseFromClient(812);
    window.chooseToClient(57);
    window.timUpdateTimer();
    const QString before = widget<QPlainTextEdit>(window, "memResults").toPlainText();
    whenDialogOpens<TfrmEditAccounts>("the account dialog", [](TfrmEditAccounts& dialog) { dialog.accept(); });
    window.btnMergeClick();
    window.timUpdateTimer();
    ASSERT_NE(widget<QPlainTextEdit>(window, "memResults").toPlainText(), before);

    bool opened = false;
    whenDialogOpens<TfrmMergeHistory>("the history", [&](TfrmMergeHistory& history) {
        opened = true;
        EXPECT_EQ(history.objectName(), QStringLiteral("frmMergeHistory"));
        EXPECT_TRUE(history.isModal());
        ASSERT_EQ(history.entries().size(), 1u);
        ASSERT_TRUE(widget<QPushButton>(history, "btnUndo").isEnabled());
        widget<QPushButton>(history, "btnUndo").click();
        EXPECT_TRUE(ui.questions.last().startsWith(QStringLiteral("Are you sure you want to undo merge ")));
        EXPECT_TRUE(history.entries().front().stateText().startsWith(QStringLiteral("undone ")));
        EXPECT_EQ(widget<QPlainTextEdit>(window, "memResults").toPlainText(),
                  QStringLiteral("collecting statistics..."));
        widget<QPushButton>(history, "btnClose").click();
    });
    widget<QPushButton>(window, "btnHistory").click();
    EXPECT_TRUE(opened);
    EXPECT_TRUE(ui.shown.last().contains(QStringLiteral("has been undone"))) << ui.shown.last().toStdString();
    window.timUpdateTimer();
    EXPECT_EQ(widget<QPlainTextEdit>(window, "memResults").toPlainText(), before);
    EXPECT_EQ(widget<QLineEdit>(window, "edtFrom").text(), QStringLiteral("812: Sample, One"));
}

// Compare sits below History and is enabled once both clients are chosen; it opens the Compare
// window on the window's session, the Move To client kept and the Move From client merged. A pair
// marked there as different people leaves the Duplicates window's list.
TEST_F(MainWindowTest, CompareOpensBothChosenClientsSideBySide)
{
    db.exec(QStringLiteral("INSERT INTO Client (ClientID, Name, Surname, DateOfBirth, Mobile, Active) VALUES "
                           "(20, 'Louise', 'Harper', '1975-04-09 00:00:00', '0412 345 678', 'T'),"
                           "(35, 'Louise', 'Harpur', '1975-04-09 00:00:00', '0412345678', 'T');"));
    TfrmMain window(ui);
    window.show();
    QPushButton& compare = widget<QPushButton>(window, "btnCompare");
    EXPECT_EQ(compare.geometry(), QRect(425, 133, 75, 25));
    EXPECT_EQ(compare.text(), QStringLiteral("Com&pare..."));
    EXPECT_FALSE(compare.isEnabled());
    widget<QPushButton>(window, "btnDuplicates").click();
    TfrmDuplicates& duplicates = widget<TfrmDuplicates>(window, "frmDuplicates");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !duplicates.isScanning(); }, 20000));
    ASSERT_EQ(duplicates.pairs().size(), 1u);

    window.chooseFromClient(35);
    EXPECT_FALSE(compare.isEnabled());
    window.chooseToClient(20);
    ASSERT_TRUE(compare.isEnabled());
    bool opened = false;
    whenDialogOpens<TfrmCompare>("the Compare window", [&](TfrmCompare& dialog) {
        opened = true;
        EXPECT_EQ(dialog.keepId(), 20);
        EXPECT_EQ(dialog.mergeId(), 35);
        EXPECT_FALSE(widget<QPushButton>(dialog, "btnSwap").isVisible());
        EXPECT_FALSE(widget<QPushButton>(dialog, "btnUse").isVisible());
        whenDialogOpens<QDialog>("the question", [](QDialog& question) {
            EXPECT_EQ(question.objectName(), QStringLiteral("frmMarkDifferent"));
            widget<QPushButton>(question, "btnMark").click();
        });
        widget<QPushButton>(dialog, "btnDifferent").click();
        widget<QPushButton>(dialog, "btnClose").click();
    });
    compare.click();
    EXPECT_TRUE(opened);
    EXPECT_TRUE(duplicates.pairs().empty());
    EXPECT_EQ(ui.shown, QStringList {kWarning});
}

// With more counts than fit, the pane's thumb stands at the top while the top of the list shows
// and at the bottom at its end (the thumb drawn darker than its trough), and the pane shows whole
// lines only: none is cut at the bottom edge.
TEST_F(MainWindowTest, ThePanesScrollBarFollowsTheTextAndNoLineIsCut)
{
    db.exec(QString::fromLatin1(kExamplePair) + QStringLiteral("INSERT INTO Appoint (ClientID) VALUES (812);")
            + QStringLiteral("INSERT INTO PXClientLink (ClientID, GroupID) VALUES (812, 57), (900, 812);"));
    TfrmMain window(ui);
    window.show();
    window.chooseFromClient(812);
    window.timUpdateTimer();
    QApplication::processEvents();
    auto& pane = widget<QPlainTextEdit>(window, "memResults");
    QScrollBar* bar = pane.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0) << pane.toPlainText().toStdString();

    // The mean lightness of the trough's upper and lower halves, between the arrows.
    const auto halves = [bar] {
        const QImage image = bar->grab().toImage();
        const int arrow = bar->width();
        const int middle = image.height() / 2;
        double upper = 0;
        double lower = 0;
        for (int y = arrow; y < image.height() - arrow; ++y)
            (y < middle ? upper : lower) += QColor(image.pixel(image.width() / 2, y)).lightness();
        return std::pair {upper / (middle - arrow), lower / (image.height() - arrow - middle)};
    };
    // Whether a line of the text is cut at the bottom edge of the pane.
    const auto aLineIsCut = [&pane] {
        const int bottom = pane.viewport()->height();
        for (QTextBlock block = pane.document()->begin(); block.isValid(); block = block.next()) {
            const QRect line = pane.cursorRect(QTextCursor(block));
            if (line.top() < bottom && line.bottom() >= bottom)
                return true;
        }
        return false;
    };
    bar->setValue(bar->minimum());
    QApplication::processEvents();
    const auto [topUpper, topLower] = halves();
    EXPECT_LT(topUpper, topLower) << "the thumb stands at the top";
    EXPECT_FALSE(aLineIsCut());
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    const auto [endUpper, endLower] = halves();
    EXPECT_GT(endUpper, endLower) << "the thumb stands at the bottom";
    EXPECT_FALSE(aLineIsCut());
    EXPECT_LT(pane.cursorRect(QTextCursor(pane.document()->lastBlock())).bottom(), pane.viewport()->height())
        << "the last line shows whole at the end";
}

TEST_F(MainWindowTest, CancellingTheSearchChangesNothingAndAFromSearchReadsUseFileNo)
{
    db.exec(QString::fromLatin1(kExamplePair)
            + QStringLiteral("INSERT INTO SystemData (SystemDataID, UseFileNo) VALUES (1, 1);"));
    TfrmMain window(ui);
    window.show();
    QApplication::processEvents();
    // A To search before any From search runs without the practice setting.
    whenSearchOpens([](TfrmSearchPatient&) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
    widget<QPushButton>(window, "btnSearchTo").click();
    EXPECT_FALSE(window.UseFileNo);
    EXPECT_EQ(widget<QLineEdit>(window, "edtTo").text(), QStringLiteral("Please search for a patient..."));

    whenSearchOpens([](TfrmSearchPatient&) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); });
    widget<QPushButton>(window, "btnSearchFrom").click();
    EXPECT_TRUE(window.UseFileNo);
    EXPECT_EQ(widget<QLineEdit>(window, "edtFrom").text(), QStringLiteral("Please search for a patient..."));
    EXPECT_TRUE(widget<QPlainTextEdit>(window, "memResults").toPlainText().isEmpty());
    EXPECT_FALSE(widget<QPushButton>(window, "btnMerge").isEnabled());
}

TEST(StatisticsPaneFont, TheLastInstalledCandidateWins)
{
    struct Case
    {
        QStringList installed;
        QString family;
        int size;
    };
    const Case cases[] = {
        {{}, QStringLiteral("Consolas"), 8},
        {{QStringLiteral("Courier New")}, QStringLiteral("Courier New"), 10},
        {{QStringLiteral("DejaVu Sans"), QStringLiteral("consolas")}, QStringLiteral("Consolas"), 10},
        {{QStringLiteral("Courier New"), QStringLiteral("Consolas")}, QStringLiteral("Consolas"), 10},
        {{QStringLiteral("HASKLIG"), QStringLiteral("Courier New")}, QStringLiteral("Hasklig"), 11},
    };
    for (const Case& c : cases) {
        QPlainTextEdit pane;
        pane.setFont(QFont(QStringLiteral("Consolas"), 8));
        ApplyStatisticsPaneFont(&pane, c.installed);
        EXPECT_EQ(pane.font().family(), c.family) << c.installed.join(',').toStdString();
        EXPECT_EQ(pane.font().pointSize(), c.size) << c.installed.join(',').toStdString();
    }
}

} // namespace
} // namespace kolvix::test
