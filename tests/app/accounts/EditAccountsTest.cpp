#include "app/accounts/EditAccounts.h"
#include "accounts/AccountInfo.h"
#include "accounts/AccountMergeModel.h"
#include "app/CaptionFit.h"
#include "app/accounts/FrameAction.h"
#include "support/CaptionCheck.h"
#include "support/FakePlatform.h"
#include "support/ScriptedUi.h"
#include "support/Widgets.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <utility>

namespace kolvix::test {
namespace {

// From client "Smith, John" with accounts 0 "Main" (proposed: merge into the To client's
// "Main") and 1 "Family" (unassigned); To client "Smith, Jon" with accounts 0 "Main" and
// 3 "Dental".
TaInfo twoAccounts()
{
    TaInfo info;
    info.FromInfo.ClientID = 1;
    info.FromInfo.ClientName = QStringLiteral("Smith, John");
    info.FromInfo.AccountList = {QStringLiteral("1=Family"), QStringLiteral("0=Main")};
    info.FromInfo.MaxAccountID = 1;
    info.ToInfo.ClientID = 2;
    info.ToInfo.ClientName = QStringLiteral("Smith, Jon");
    info.ToInfo.AccountList = {QStringLiteral("3=Dental"), QStringLiteral("0=Main")};
    info.ToInfo.MaxAccountID = 3;
    info.Accounts = {
        {TaAction::MERGE, 0, QStringLiteral("Main"), 0, QStringLiteral("Main")},
        {TaAction::UNASSIGNED, 1, QStringLiteral("Family"), -1, QString()},
    };
    return info;
}

// n From accounts, all unassigned, against a To client with one account.
TaInfo unassignedAccounts(int n)
{
    TaInfo info;
    info.FromInfo.ClientName = QStringLiteral("From");
    info.ToInfo.ClientName = QStringLiteral("To");
    info.ToInfo.AccountList = {QStringLiteral("0=Main")};
    info.ToInfo.MaxAccountID = 0;
    for (int i = 0; i < n; ++i)
        info.Accounts.push_back({TaAction::UNASSIGNED, i, QStringLiteral("Account %1").arg(i), -1, QString()});
    return info;
}

// The dialog's rows, in the order it made them.
QList<TfraAccountAction*> rowsOf(const TfrmEditAccounts& dialog)
{
    return dialog.findChildren<TfraAccountAction*>(Qt::FindDirectChildrenOnly);
}

bool visibleInRow(const QWidget* control)
{
    return !control->isHidden();
}

void pressOk(TfrmEditAccounts& dialog)
{
    QTest::mouseClick(&widget<QPushButton>(dialog, "OK"), Qt::LeftButton);
}

// How many pixels a drop-down of the designed width, in the dialog's font, lacks for the
// longer of the two actions (0 where the font holds them).
int actionShortfall(const TfrmEditAccounts& dialog)
{
    QWidget row;
    row.setFont(dialog.font());
    auto* combo = new QComboBox(&row);
    combo->setGeometry(122, 0, 260, 21);
    combo->addItems(
        {QString::fromLatin1(TfraAccountAction::kMergeItem), QString::fromLatin1(TfraAccountAction::kAddItem)});
    return captionShortfall(combo);
}

class EditAccountsTest : public ::testing::Test
{
protected:
    FakePlatform fakePlatform;
    ScriptedUi ui;
};

TEST(EditAccountsGeometry, GrowsWithTheRows)
{
    EXPECT_EQ(TfrmEditAccounts::windowHeight(0), 113); // design size
    EXPECT_EQ(TfrmEditAccounts::bevelHeight(0), 70);
    EXPECT_EQ(TfrmEditAccounts::clientHeight(0), 86);
    const int expected[][3] = {{39, 63, 113}, {63, 87, 131}, {87, 111, 155}};
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(TfrmEditAccounts::rowTop(n - 1), expected[n - 1][0]);
        EXPECT_EQ(TfrmEditAccounts::bevelHeight(n), expected[n - 1][1]);
        EXPECT_EQ(TfrmEditAccounts::windowHeight(n), expected[n - 1][2]);
    }
}

TEST_F(EditAccountsTest, RowsGrowTheBevelAndTheWindowFromTheDesignedSize)
{
    struct Case
    {
        int rows;
        int lastTop;
        int bevel;
        int window;
    };
    for (const Case c : {Case {0, -1, 70, 113}, Case {1, 39, 63, 113}, Case {2, 63, 87, 131}, Case {3, 87, 111, 155}}) {
        TaInfo info = unassignedAccounts(c.rows);
        AccountMergeModel model(info);
        TfrmEditAccounts dialog(model, ui);
        // The designed widths, unless the font in use cannot hold the action's choices in 260
        // pixels: then the rows and the dialog are just that much wider.
        const int extra = c.rows == 0 ? 0 : actionShortfall(dialog);

        ASSERT_EQ(int(rowsOf(dialog).size()), c.rows);
        EXPECT_EQ(widget<QFrame>(dialog, "bvlMerge").height(), c.bevel) << c.rows;
        EXPECT_EQ(dialog.outerHeight(), c.window) << c.rows;
        EXPECT_EQ(dialog.width(), 620 + extra);
        EXPECT_EQ(widget<QFrame>(dialog, "bvlMerge").width(), 524 + extra);
        for (int r = 0; r < c.rows; ++r) {
            EXPECT_EQ(rowsOf(dialog)[r]->geometry(), QRect(18, 39 + 24 * r, 507 + extra, 24)) << c.rows;
            EXPECT_EQ(widget<QComboBox>(*rowsOf(dialog)[r], "cmbAction").geometry(), QRect(122, 0, 260 + extra, 21));
            EXPECT_EQ(widget<QComboBox>(*rowsOf(dialog)[r], "cmbDestination").geometry(),
                      QRect(385 + extra, 0, 119, 21));
            EXPECT_EQ(rowsOf(dialog)[r]->objectName(), QStringLiteral("fraAction%1").arg(r, 2, 10, QLatin1Char('0')));
        }
        if (c.rows > 0) {
            EXPECT_EQ(rowsOf(dialog).back()->y(), c.lastTop);
        }
    }
}

// The names keep their designed 129 pixels; a name too long for them is cut so that the given
// name shows, and the whole name is the tool tip. Two long names of one family read apart.
TEST_F(EditAccountsTest, LongNamesAreCutSoThatTheGivenNameShows)
{
    struct Case
    {
        QString from;
        QString to;
    };
    const Case cases[] = {
        {QStringLiteral("Montgomery-Worthington, Alexandra"), QStringLiteral("Montgomery-Worthington, Alexander")},
        {QStringLiteral("Smith, John"), QStringLiteral("Smith, Jon")},
        {QStringLiteral("Wolfeschlegelsteinhausenbergerdorff"), QStringLiteral("Smith, Maximilianaguadalupeana")},
    };
    for (const Case& c : cases) {
        TaInfo info = twoAccounts();
        info.FromInfo.ClientName = c.from;
        info.ToInfo.ClientName = c.to;
        AccountMergeModel model(info);
        TfrmEditAccounts dialog(model, ui);
        for (const auto& [name, full] : {std::pair {"lblNameFrom", c.from}, std::pair {"lblNameTo", c.to}}) {
            const QLabel& label = widget<QLabel>(dialog, name);
            SCOPED_TRACE(full.toStdString());
            EXPECT_EQ(label.width(), 129);
            EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), label.contentsRect().width());
            const bool fits = label.fontMetrics().horizontalAdvance(full) <= label.contentsRect().width();
            EXPECT_EQ(label.text() == full, fits) << label.text().toStdString();
            EXPECT_EQ(label.toolTip(), fits ? QString() : full);
            const qsizetype comma = full.indexOf(QStringLiteral(", "));
            const QString given = comma > 0 ? full.mid(comma) : QString();
            if (!fits && !given.isEmpty() && label.fontMetrics().horizontalAdvance(given) < label.width() / 2) {
                EXPECT_TRUE(label.text().endsWith(given)) << label.text().toStdString();
            }
        }
        if (c.from.startsWith(QStringLiteral("Montgomery"))) {
            EXPECT_NE(widget<QLabel>(dialog, "lblNameFrom").text(), widget<QLabel>(dialog, "lblNameTo").text());
        }
    }
}

TEST_F(EditAccountsTest, RowsShowTheProposalOfTheModel)
{
    TaInfo info = twoAccounts();
    AccountMergeModel model(info);
    TfrmEditAccounts dialog(model, ui);
    ASSERT_EQ(rowsOf(dialog).size(), 2);
    EXPECT_EQ(widget<QLabel>(dialog, "lblNameFrom").text(), QStringLiteral("Smith, John"));
    EXPECT_EQ(widget<QLabel>(dialog, "lblNameTo").text(), QStringLiteral("Smith, Jon"));

    const TfraAccountAction* merge = rowsOf(dialog)[0];
    EXPECT_EQ(merge->tag(), 0);
    EXPECT_EQ(widget<QLineEdit>(*merge, "edtSource").text(), QStringLiteral("Main"));
    ASSERT_EQ(widget<QComboBox>(*merge, "cmbAction").count(), 2);
    EXPECT_EQ(widget<QComboBox>(*merge, "cmbAction").itemText(0),
              QStringLiteral("Merge this account with the existing account"));
    EXPECT_EQ(widget<QComboBox>(*merge, "cmbAction").itemText(1),
              QStringLiteral("Add this account as a new account named"));
    EXPECT_EQ(widget<QComboBox>(*merge, "cmbAction").currentIndex(), 0);
    ASSERT_EQ(widget<QComboBox>(*merge, "cmbDestination").count(), 2);
    EXPECT_EQ(widget<QComboBox>(*merge, "cmbDestination").itemText(0), QStringLiteral("Dental"));
    EXPECT_EQ(widget<QComboBox>(*merge, "cmbDestination").itemData(0).toInt(), 3);
    EXPECT_EQ(widget<QComboBox>(*merge, "cmbDestination").currentText(), QStringLiteral("Main"));
    EXPECT_EQ(widget<QComboBox>(*merge, "cmbDestination").currentData().toInt(), 0);
    EXPECT_TRUE(visibleInRow(&widget<QComboBox>(*merge, "cmbDestination")));
    EXPECT_FALSE(visibleInRow(&widget<QLineEdit>(*merge, "edtDestination")));

    const TfraAccountAction* add = rowsOf(dialog)[1];
    EXPECT_EQ(add->tag(), 1);
    EXPECT_EQ(widget<QComboBox>(*add, "cmbAction").currentIndex(), 1);
    EXPECT_EQ(widget<QLineEdit>(*add, "edtDestination").text(), QStringLiteral("Family"));
    EXPECT_TRUE(visibleInRow(&widget<QLineEdit>(*add, "edtDestination")));
    EXPECT_FALSE(visibleInRow(&widget<QComboBox>(*add, "cmbDestination")));
    EXPECT_TRUE(add->Ready());
}

TEST_F(EditAccountsTest, TheNewNameHoldsAtMost16Characters)
{
    TaInfo info = twoAccounts();
    AccountMergeModel model(info);
    TfrmEditAccounts dialog(model, ui);
    QLineEdit* edit = &widget<QLineEdit>(*rowsOf(dialog)[1], "edtDestination");
    EXPECT_EQ(edit->maxLength(), 16);
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("Seventeen chars!!"));
    EXPECT_EQ(edit->text(), QStringLiteral("Seventeen chars!"));
}

TEST_F(EditAccountsTest, SwitchingTheActionSwapsTheVisibleDestinationAndKeepsBothContents)
{
    TaInfo info = twoAccounts();
    AccountMergeModel model(info);
    TfrmEditAccounts dialog(model, ui);
    TfraAccountAction* row = rowsOf(dialog)[0];

    widget<QComboBox>(*row, "cmbAction").setCurrentIndex(1);
    EXPECT_TRUE(visibleInRow(&widget<QLineEdit>(*row, "edtDestination")));
    EXPECT_FALSE(visibleInRow(&widget<QComboBox>(*row, "cmbDestination")));
    EXPECT_EQ(widget<QLineEdit>(*row, "edtDestination").text(), QStringLiteral("Main"));

    widget<QComboBox>(*row, "cmbAction").setCurrentIndex(0);
    EXPECT_TRUE(visibleInRow(&widget<QComboBox>(*row, "cmbDestination")));
    EXPECT_FALSE(visibleInRow(&widget<QLineEdit>(*row, "edtDestination")));
    EXPECT_EQ(widget<QComboBox>(*row, "cmbDestination").currentText(), QStringLiteral("Main"));
}

TEST_F(EditAccountsTest, CancelEscapeAndTheCloseBoxWriteNothing)
{
    enum class Way { CancelButton, Escape, CloseBox };
    for (Way way : {Way::CancelButton, Way::Escape, Way::CloseBox}) {
        TaInfo info = twoAccounts();
        AccountMergeModel model(info);
        TfrmEditAccounts dialog(model, ui);
        dialog.show();
        widget<QComboBox>(*rowsOf(dialog)[0], "cmbAction").setCurrentIndex(1);
        widget<QLineEdit>(*rowsOf(dialog)[1], "edtDestination").setText(QStringLiteral("Other"));

        if (way == Way::CancelButton)
            QTest::mouseClick(&widget<QPushButton>(dialog, "btnCancel"), Qt::LeftButton);
        else if (way == Way::Escape)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();

        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(info.Accounts[0].Action, TaAction::MERGE);
        EXPECT_EQ(info.Accounts[1].Action, TaAction::UNASSIGNED);
        EXPECT_EQ(info.Accounts[1].ToID, -1);
        EXPECT_TRUE(ui.shown.isEmpty());
    }
}

TEST_F(EditAccountsTest, OkWithAnInvalidNewNameKeepsTheDialogOpen)
{
    struct Case
    {
        QString typed;
        QString issue;
    };
    const Case cases[] = {
        {QStringLiteral(" dental "),
         QStringLiteral("The new name you entered for account 'Family' is already in use.")},
        {QStringLiteral("  "), QStringLiteral("You have not entered a new name for account 'Family'.")},
    };
    for (const Case& c : cases) {
        ui.shown.clear();
        TaInfo info = twoAccounts();
        AccountMergeModel model(info);
        TfrmEditAccounts dialog(model, ui);
        dialog.show();
        widget<QLineEdit>(*rowsOf(dialog)[1], "edtDestination").setText(c.typed);

        pressOk(dialog);

        EXPECT_TRUE(dialog.isVisible());
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(ui.shown[0],
                  QStringLiteral("Information: The following issues were encountered with the proposed "
                                 "merge:\n\n")
                      + c.issue
                      + QStringLiteral("\n\nYou will need to resolve these issues before continuing "
                                       "with the merge."));
        EXPECT_EQ(info.Accounts[1].Action, TaAction::UNASSIGNED);
        EXPECT_EQ(widget<QLineEdit>(*rowsOf(dialog)[1], "edtDestination").text(), c.typed);

        // Corrected, the same dialog closes.
        widget<QLineEdit>(*rowsOf(dialog)[1], "edtDestination").setText(QStringLiteral("Family "));
        pressOk(dialog);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
}

TEST_F(EditAccountsTest, OkWritesTheRowsBack)
{
    TaInfo info = twoAccounts();
    AccountMergeModel model(info);
    TfrmEditAccounts dialog(model, ui);
    dialog.show();
    widget<QComboBox>(*rowsOf(dialog)[0], "cmbDestination").setCurrentIndex(0); // Dental
    widget<QLineEdit>(*rowsOf(dialog)[1], "edtDestination").setText(QStringLiteral(" Family "));

    pressOk(dialog);

    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(ui.shown.isEmpty());
    EXPECT_EQ(info.Accounts[0].Action, TaAction::MERGE);
    EXPECT_EQ(info.Accounts[0].ToID, 3);
    EXPECT_EQ(info.Accounts[0].ToName, QStringLiteral("Dental"));
    EXPECT_EQ(info.Accounts[1].Action, TaAction::APPEND);
    EXPECT_EQ(info.Accounts[1].ToID, 4);
    EXPECT_EQ(info.Accounts[1].ToName, QStringLiteral(" Family "));
}

TEST_F(EditAccountsTest, AMergeRowWithoutDestinationsShowsAnErrorAndStaysOpen)
{
    TaInfo info = twoAccounts();
    info.ToInfo.AccountList.clear();
    info.ToInfo.MaxAccountID = -1;
    AccountMergeModel model(info);
    TfrmEditAccounts dialog(model, ui);
    dialog.show();
    ASSERT_EQ(widget<QComboBox>(*rowsOf(dialog)[0], "cmbDestination").count(), 0);

    pressOk(dialog);

    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].startsWith(QStringLiteral("Error: "))) << ui.shown[0].toStdString();
    EXPECT_EQ(info.Accounts[1].Action, TaAction::UNASSIGNED);
}

TEST_F(EditAccountsTest, TheGroupedPrimaryAccountRowIsGreyedAndNeverWrittenBack)
{
    TaInfo info = twoAccounts();
    info.HasGroupedAccounts = true;
    AccountMergeModel model(info);
    TfrmEditAccounts dialog(model, ui);
    dialog.show();

    const TfraAccountAction* locked = rowsOf(dialog)[0];
    const QWidget* controls[]
        = {&widget<QLineEdit>(*locked, "edtSource"), &widget<QComboBox>(*locked, "cmbAction"),
           &widget<QComboBox>(*locked, "cmbDestination"), &widget<QLineEdit>(*locked, "edtDestination")};
    for (const QWidget* control : controls) {
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
        EXPECT_EQ(control->palette().color(QPalette::Base), control->palette().color(QPalette::Button));
        EXPECT_EQ(control->palette().color(QPalette::Text), dialog.palette().color(QPalette::Disabled, QPalette::Text));
    }
    EXPECT_TRUE(widget<QLineEdit>(*rowsOf(dialog)[1], "edtSource").isEnabled());

    pressOk(dialog);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(info.Accounts[0].ToID, 0);
    EXPECT_EQ(info.Accounts[0].ToName, QStringLiteral("Main"));
    EXPECT_EQ(info.Accounts[1].Action, TaAction::APPEND);
}

TEST_F(EditAccountsTest, EveryCaptionFitsItsControl)
{
    for (bool grouped : {false, true}) {
        TaInfo info = twoAccounts();
        info.HasGroupedAccounts = grouped;
        AccountMergeModel model(info);
        TfrmEditAccounts dialog(model, ui);
        dialog.show();
        EXPECT_EQ(captionProblems(&dialog), QStringList {}) << grouped;
    }
}

TEST_F(EditAccountsTest, LongAccountNamesShowTheirStartAndTheWholeNameAsToolTip)
{
    const QString wide = QString(16, QLatin1Char('W'));
    TaInfo info = twoAccounts();
    info.Accounts[0].FromName = wide;
    info.Accounts[1].FromName = wide + QStringLiteral("x");
    info.ToInfo.AccountList = {QStringLiteral("3=Dental"), QStringLiteral("0=") + wide};
    info.Accounts[0].ToName = wide;
    AccountMergeModel model(info);
    TfrmEditAccounts dialog(model, ui);
    dialog.show();

    const TfraAccountAction* merge = rowsOf(dialog)[0];
    const TfraAccountAction* add = rowsOf(dialog)[1];
    for (const QLineEdit* edit : {&widget<QLineEdit>(*merge, "edtSource"), &widget<QLineEdit>(*add, "edtSource"),
                                  &widget<QLineEdit>(*add, "edtDestination")}) {
        EXPECT_EQ(edit->cursorPosition(), 0) << edit->objectName().toStdString();
        EXPECT_EQ(edit->toolTip(), edit->text()) << edit->objectName().toStdString();
    }
    EXPECT_EQ(widget<QComboBox>(*merge, "cmbDestination").currentText(), wide);
    EXPECT_EQ(widget<QComboBox>(*merge, "cmbDestination").toolTip(), wide);
    widget<QComboBox>(*merge, "cmbDestination").setCurrentIndex(0);
    EXPECT_EQ(widget<QComboBox>(*merge, "cmbDestination").toolTip(), QString());
    // A short name typed in drops the tool tip.
    widget<QLineEdit>(*add, "edtDestination").setText(QStringLiteral("Dental 2"));
    EXPECT_EQ(widget<QLineEdit>(*add, "edtDestination").toolTip(), QString());
}

TEST_F(EditAccountsTest, ExecuteReportsWhetherTheRowsWereAccepted)
{
    for (bool pressOkButton : {true, false}) {
        TaInfo info = twoAccounts();
        AccountMergeModel model(info);
        QTimer::singleShot(0, [pressOkButton] {
            TfrmEditAccounts* dialog = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* candidate = qobject_cast<TfrmEditAccounts*>(w); candidate && candidate->isVisible())
                    dialog = candidate;
            }
            ASSERT_NE(dialog, nullptr);
            if (pressOkButton)
                widget<QPushButton>(*dialog, "OK").click();
            else
                widget<QPushButton>(*dialog, "btnCancel").click();
        });
        EXPECT_EQ(ExecuteAccountMergingDialog(model, ui), pressOkButton);
        EXPECT_EQ(info.Accounts[1].Action, pressOkButton ? TaAction::APPEND : TaAction::UNASSIGNED);
    }
}

} // namespace
} // namespace kolvix::test
