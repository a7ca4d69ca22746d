#include "app/accounts/FrameAction.h"

#include "app/CaptionFit.h"
#include "ui_FrameAction.h"

#include <QPalette>

namespace kolvix {

const char* const TfraAccountAction::kMergeItem = "Merge this account with the existing account";
const char* const TfraAccountAction::kAddItem = "Add this account as a new account named";

TfraAccountAction::TfraAccountAction(QWidget* parent)
    : QFrame(parent)
    , ui(std::make_unique<Ui::TfraAccountAction>())
{
    ui->setupUi(this);
    setFixedSize(kDesignWidth, 24);
    ui->edtDestination->setMaxLength(AccountMergeModel::kMaxNameLength);
    connect(ui->cmbAction, &QComboBox::currentIndexChanged, this, &TfraAccountAction::cmbActionChange);
    connect(ui->edtDestination, &QLineEdit::textChanged, this, [this] { updateOverflowToolTip(ui->edtDestination); });
    connect(ui->cmbDestination, &QComboBox::currentIndexChanged, this,
            [this] { updateOverflowToolTip(ui->cmbDestination); });
}

TfraAccountAction::~TfraAccountAction() = default;

void TfraAccountAction::LoadAccount(const AccountMergeModel::Row& row)
{
    m_ready = false;
    struct ReadyAgain
    {
        bool& ready;
        ~ReadyAgain() { ready = true; }
    } readyAgain {m_ready};

    m_tag = row.tag;
    setProperty("Tag", row.tag);
    setObjectName(row.name);
    showFilledText(ui->edtSource, row.source);

    ui->cmbDestination->clear();
    for (const auto& [text, accountID] : row.destinations)
        ui->cmbDestination->addItem(text, accountID);
    ui->cmbDestination->setCurrentIndex(row.destinationIndex);

    ui->cmbAction->clear();
    ui->cmbAction->addItem(QString::fromLatin1(kMergeItem));
    ui->cmbAction->addItem(QString::fromLatin1(kAddItem));
    ui->cmbAction->setCurrentIndex(row.action == AccountMergeModel::Merge ? 0 : 1);
    widenActionColumn();
    showFilledText(ui->edtDestination, row.newName);
    updateOverflowToolTip(ui->cmbDestination);
    showDestination(ui->cmbAction->currentIndex());
}

int TfraAccountAction::widenActionColumn()
{
    // Where the font in use cannot hold the longer choice in the designed width, the choice
    // grows and the destination moves right; the row grows with it.
    const int dx = captionShortfall(ui->cmbAction);
    if (dx <= 0)
        return 0;
    const QRect action = ui->cmbAction->geometry();
    openColumn(this, action.left() + action.width(), dx);
    ui->cmbAction->resize(action.width() + dx, action.height());
    return dx;
}

void TfraAccountAction::storeInto(AccountMergeModel::Row& row) const
{
    row.action = ui->cmbAction->currentIndex() == 0 ? AccountMergeModel::Merge : AccountMergeModel::Add;
    row.destinationIndex = ui->cmbDestination->currentIndex();
    row.newName = ui->edtDestination->text();
}

void TfraAccountAction::Lock()
{
    for (QWidget* control : {static_cast<QWidget*>(ui->edtSource), static_cast<QWidget*>(ui->cmbAction),
                             static_cast<QWidget*>(ui->edtDestination), static_cast<QWidget*>(ui->cmbDestination)}) {
        control->setEnabled(false);
        QPalette palette = control->palette();
        const QColor buttonFace = palette.color(QPalette::Active, QPalette::Button);
        const QColor grayText = palette.color(QPalette::Disabled, QPalette::Text);
        palette.setColor(QPalette::Base, buttonFace);
        palette.setColor(QPalette::Window, buttonFace);
        palette.setColor(QPalette::Text, grayText);
        palette.setColor(QPalette::ButtonText, grayText);
        palette.setColor(QPalette::WindowText, grayText);
        control->setPalette(palette);
    }
}

void TfraAccountAction::cmbActionChange(int index)
{
    if (!m_ready)
        return;
    showDestination(index);
}

void TfraAccountAction::showDestination(int action)
{
    const bool merge = action == 0;
    ui->cmbDestination->setVisible(merge);
    ui->edtDestination->setVisible(!merge);
}

} // namespace kolvix
