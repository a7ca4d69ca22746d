#pragma once

#include "accounts/AccountMergeModel.h"

#include <QFrame>
#include <memory>

namespace Ui {
class TfraAccountAction;
}

namespace kolvix {

// One row of the account merging dialog: the From account, what happens to it (merge into
// an existing To account, or add it as a new account) and the destination, either a To
// account from cmbDestination or the new name in edtDestination (exactly one of the two is
// visible). The row's "Tag" property holds the From AccountID.
class TfraAccountAction : public QFrame
{
    Q_OBJECT

public:
    explicit TfraAccountAction(QWidget* parent = nullptr);
    ~TfraAccountAction() override;

    // Fills the row from the model's row as loaded (the proposal of the account model).
    void LoadAccount(const AccountMergeModel::Row& row);
    // Greys out and disables the four controls.
    void Lock();
    // Copies the user's choices into the model's row.
    void storeInto(AccountMergeModel::Row& row) const;

    qint32 tag() const { return m_tag; }
    // How much wider than designed the row is, so that the choices of cmbAction fit.
    int extraWidth() const { return width() - kDesignWidth; }
    static constexpr int kDesignWidth = 507;
    bool Ready() const { return m_ready; }

    // The two choices of cmbAction.
    static const char* const kMergeItem;
    static const char* const kAddItem;

private:
    void cmbActionChange(int index);
    void showDestination(int action);
    // Returns how many pixels the row grew.
    int widenActionColumn();

    std::unique_ptr<Ui::TfraAccountAction> ui;
    qint32 m_tag = -1;
    bool m_ready = false;
};

} // namespace kolvix
