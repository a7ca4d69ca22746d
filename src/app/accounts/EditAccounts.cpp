#include "app/accounts/EditAccounts.h"

#include "app/CaptionFit.h"
#include "app/DisplayFonts.h"
#include "app/FixedSizeWindow.h"
#include "app/accounts/FrameAction.h"
#include "core/UserInterface.h"
#include "db/DbError.h"
#include "ui_EditAccounts.h"

#include <QApplication>
#include <QScreen>
#include <algorithm>
#include <initializer_list>

namespace kolvix {

TfrmEditAccounts::TfrmEditAccounts(AccountMergeModel& model, UserInterface& userInterface, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , ui(std::make_unique<Ui::TfrmEditAccounts>())
    , Info(model)
    , m_userInterface(userInterface)
{
    ui->setupUi(this);
    setFixedSize(620, 86);
    connect(ui->OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();

    showClientName(ui->lblNameFrom, Info.fromName());
    showClientName(ui->lblNameTo, Info.toName());
    addRows();
}

TfrmEditAccounts::~TfrmEditAccounts() = default;

void TfrmEditAccounts::FormCreate()
{
    // Only the designed controls: the rows come later and follow the dialog's font.
    ApplyDisplayFonts(this);
    widenToFitCaptions({ui->OK, ui->btnCancel});
}

void TfrmEditAccounts::addRows()
{
    const auto& rows = Info.rows();
    for (int r = 0; r < int(rows.size()); ++r) {
        auto* frame = new TfraAccountAction(this);
        frame->move(18, rowTop(r));
        frame->LoadAccount(rows[size_t(r)]);
        if (rows[size_t(r)].locked)
            frame->Lock();
        frame->show();
        m_frames.push_back(frame);
    }
    // Rows that had to grow for their choices widen the dialog: the bevel grows, and what
    // stands right of the choices (the To client's name, the buttons) moves along.
    int dx = 0;
    for (const TfraAccountAction* frame : m_frames)
        dx = std::max(dx, frame->extraWidth());
    if (dx > 0) {
        for (QWidget* control : std::initializer_list<QWidget*> {ui->lblNameTo, ui->OK, ui->btnCancel})
            control->move(control->x() + dx, control->y());
        ui->bvlMerge->resize(ui->bvlMerge->width() + dx, ui->bvlMerge->height());
        setFixedSize(width() + dx, height());
    }

    const int count = int(rows.size());
    if (count > 0) {
        ui->bvlMerge->resize(ui->bvlMerge->width(), bevelHeight(count));
        setFixedSize(width(), clientHeight(count));
    }
}

void TfrmEditAccounts::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    announceFixedSize(this);
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TfrmEditAccounts::done(int result)
{
    if (!FormCloseQuery(result))
        return;
    QDialog::done(result);
}

bool TfrmEditAccounts::FormCloseQuery(int result)
{
    if (result != QDialog::Accepted)
        return true;

    auto& rows = Info.rows();
    for (size_t i = 0; i < m_frames.size() && i < rows.size(); ++i)
        m_frames[i]->storeInto(rows[i]);
    try {
        const QString issues = Info.accept();
        if (!issues.isEmpty()) {
            m_userInterface.showInfo(issues);
            return false;
        }
    } catch (const std::exception& e) {
        // A Merge row without a destination (the To client has no accounts).
        m_userInterface.showError(exceptionMessage(e));
        return false;
    }
    return true;
}

bool ExecuteAccountMergingDialog(AccountMergeModel& model, UserInterface& ui)
{
    TfrmEditAccounts dialog(model, ui, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

bool ExecuteAccountMerging(TaInfo& info, UserInterface& ui)
{
    AccountMergeModel model(info);
    return ExecuteAccountMergingDialog(model, ui) && ui.confirm(model.confirmationText());
}

} // namespace kolvix
