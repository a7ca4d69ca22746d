#pragma once

#include "accounts/AccountMergeModel.h"

#include <QDialog>
#include <algorithm>
#include <memory>
#include <vector>

namespace Ui {
class TfrmEditAccounts;
}

namespace kolvix {

class TfraAccountAction;
class UserInterface;

// The account merging dialog: one row per From account, each merged into an existing To
// account or added as a new, named account. OK validates the new names and writes the
// decisions back into the account model; Cancel, Esc and the close box write nothing.
class TfrmEditAccounts : public QDialog
{
    Q_OBJECT

public:
    // The dialog's own boxes (rows that cannot be accepted) are shown by ui.
    TfrmEditAccounts(AccountMergeModel& model, UserInterface& ui, QWidget* parent = nullptr);
    ~TfrmEditAccounts() override;

    // The window's outer height as designed: the client area plus the caption bar and
    // borders of the designed window.
    int outerHeight() const { return height() + kNonClientHeight; }

    // The dialog's geometry for n rows.
    static int rowTop(int index) { return 39 + 24 * index; }
    static int bevelHeight(int rowCount) { return rowCount == 0 ? 70 : rowTop(rowCount - 1) + 24; }
    // The outer height: the greater of 113 and the bevel's height + 44 with rows; without
    // rows the design height, 113 (the 86-pixel client area and the 27 pixels of caption
    // and borders that the minimum counts on).
    static int windowHeight(int rowCount)
    {
        return rowCount <= 0 ? kDesignWindowHeight : std::max(kDesignWindowHeight, bevelHeight(rowCount) + 44);
    }
    // The client area that windowHeight leaves inside those 27 pixels (86 at design).
    static int clientHeight(int rowCount) { return windowHeight(rowCount) - kNonClientHeight; }
    static constexpr int kDesignWindowHeight = 113;
    static constexpr int kNonClientHeight = 27;

    // Closing with OK runs FormCloseQuery, which may refuse.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void addRows();
    // Validates and writes back; false keeps the dialog open.
    bool FormCloseQuery(int result);

    std::unique_ptr<Ui::TfrmEditAccounts> ui;
    AccountMergeModel& Info;
    UserInterface& m_userInterface;
    std::vector<TfraAccountAction*> m_frames;
};

// Shows the dialog modally on the model; true when the user pressed OK and the rows were
// accepted (validated and written back). The final Yes/No question is the caller's.
bool ExecuteAccountMergingDialog(AccountMergeModel& model, UserInterface& ui);

// The account dialog on a merge's account model and its final confirmation: true when the
// user pressed OK on valid rows (now written back into the model's Accounts) and answered Yes.
bool ExecuteAccountMerging(TaInfo& info, UserInterface& ui);

} // namespace kolvix
