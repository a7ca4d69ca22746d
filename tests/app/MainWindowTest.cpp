#include "app/MainWindow.h"
#include "core/Log.h"
#include "settings/CommandLine.h"
#include "settings/UtilityConnect.h"
#include "support/FakePlatform.h"
#include "support/ScriptedUi.h"
#include "support/TestDatabase.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

const QString kWarning = QStringLiteral(
    "Warning: WARNING: The process of merging patient data cannot be reversed.  Proceed with caution.\n\n"
    "If you do not understand the proper use of this utility please contact Ombrix support.");

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
    TfrmMain window;

    ASSERT_EQ(ui.shown, QStringList {kWarning});
    EXPECT_FALSE(window.terminateRequested());
    EXPECT_TRUE(window.conZelvan.isOpen());
    EXPECT_TRUE(window.query.isOpen());
    EXPECT_TRUE(window.session.UseRollback);
    EXPECT_FALSE(window.btnMerge()->isEnabled());
    EXPECT_EQ(window.edtFrom()->text(), QStringLiteral("Please search for a patient..."));
    EXPECT_EQ(window.edtTo()->text(), QStringLiteral("Please search for a patient..."));
    EXPECT_EQ(window.size(), QSize(505, 469));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kolvix Utility"));
}

TEST_F(MainWindowTest, ConnectionFailureShowsTheErrorAndAsksToEnd)
{
    const QString missing = folders.filePath(QStringLiteral("missing.db"));
    useDatabase(missing);

    TfrmMain window;

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
    TfrmMain window;

    window.chooseToClient(2);
    EXPECT_EQ(window.edtTo()->text(), QStringLiteral("2: Smith, Jon"));
    EXPECT_FALSE(window.btnMerge()->isEnabled());

    window.chooseFromClient(1);
    EXPECT_EQ(window.edtFrom()->text(), QStringLiteral("1: Smith, John"));
    EXPECT_TRUE(window.btnMerge()->isEnabled());
    // The count query follows the From client.
    EXPECT_EQ(window.query.field(QStringLiteral("numAcc")).asInteger(), 2);
    EXPECT_EQ(window.query.field(QStringLiteral("numApp")).asInteger(), 1);
    // The statistics follow once the timer has fired.
    EXPECT_EQ(window.memResults()->toPlainText(), QStringLiteral("collecting statistics..."));
    EXPECT_TRUE(window.timUpdate().isActive());

    window.timUpdateTimer();
    EXPECT_FALSE(window.timUpdate().isActive());
    EXPECT_EQ(window.memResults()->toPlainText(), QStringLiteral("2  Accounts\n1  Appointment"));

    // Choosing the To client again leaves the statistics alone.
    window.chooseToClient(1);
    EXPECT_EQ(window.memResults()->toPlainText(), QStringLiteral("2  Accounts\n1  Appointment"));
    EXPECT_TRUE(window.btnMerge()->isEnabled());
    EXPECT_EQ(ui.shown, QStringList {kWarning});
}

TEST_F(MainWindowTest, CaptionsFollowTheDisplayNameAndAreCut)
{
    const QString longSurname = QStringLiteral("Abcdefghijklmnopqrstuvwxyzabcdefghijklmn"); // 40
    db.exec(QStringLiteral("INSERT INTO Client (ClientID, Name, Surname) VALUES (3, NULL, 'Doe'), (4, '  ', NULL),"
                           "(5, 'Jane', '%1');")
                .arg(longSurname));
    TfrmMain window;

    struct Case
    {
        qint32 id;
        QString from;
        QString to;
    };
    const QString full = QStringLiteral("5: ") + longSurname + QStringLiteral(", Jane");
    for (const Case& c :
         {Case {3, QStringLiteral("3: Doe"), QStringLiteral("3: Doe")},
          Case {4, QStringLiteral("4: "), QStringLiteral("4: ")}, Case {5, full.left(40), full.left(50)}}) {
        window.chooseFromClient(c.id);
        window.chooseToClient(c.id);
        EXPECT_EQ(window.edtFrom()->text(), c.from);
        EXPECT_EQ(window.edtTo()->text(), c.to);
    }
}

TEST_F(MainWindowTest, AFailingCountShowsTheErrorBoxAndLeavesThePaneEmpty)
{
    db.exec(QStringLiteral("INSERT INTO Client (ClientID, Name, Surname) VALUES (1, 'John', 'Smith');"
                           "INSERT INTO Account (ClientID, AccountID, Description) VALUES (1, 0, 'Main');"
                           "DROP TABLE TyroTrans; CREATE TABLE TyroTrans (TyroTransID INTEGER);"));
    TfrmMain window;
    window.chooseFromClient(1);

    // The timer runs the collection from the event loop, which shows the failure.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.timUpdate().isActive(); }, 10000));
    ASSERT_EQ(ui.shown.size(), 2);
    EXPECT_TRUE(ui.shown[1].startsWith(QStringLiteral("Error: "))) << ui.shown[1].toStdString();
    EXPECT_TRUE(window.memResults()->toPlainText().isEmpty());
    EXPECT_TRUE(window.btnSearchFrom()->isEnabled());
}

TEST_F(MainWindowTest, TheEditsPassTheFocusToTheirSearchButtons)
{
    TfrmMain window;
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    window.edtTo()->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), window.btnSearchTo());
    window.edtFrom()->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), window.btnSearchFrom());
}

TEST_F(MainWindowTest, AltRepaintsTheButtonsThreeTimesAndOtherKeysNothing)
{
    TfrmMain window;
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
