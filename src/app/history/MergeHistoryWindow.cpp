#include "app/history/MergeHistoryWindow.h"

#include "app/DisplayFonts.h"
#include "app/KolvixApplication.h"
#include "core/UserInterface.h"
#include "db/DbError.h"
#include "merge/MergeSession.h"
#include "merge/MergeUndo.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

namespace kolvix {

namespace {

enum Column { cAudit, cWhen, cWorkstation, cFrom, cTo, cFromName, cToName, cRows, cState, cColumns };

// The row's Audit id, kept on its first cell.
constexpr int kAuditRole = Qt::UserRole + 1;

const char* const kTimeFormat = "yyyy-MM-dd HH:mm";

// Cells with room around their text, so that the columns sized to their contents do not run
// into each other and the rows are easy to pick.
class RoomyDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(12, 6);
    }
};

QString clientIdText(qint32 id)
{
    return id >= 0 ? QString::number(id) : QString();
}

QTreeWidgetItem* historyItem(const MergeHistoryEntry& entry)
{
    auto* item = new QTreeWidgetItem;
    item->setText(cAudit, QString::number(entry.auditId));
    item->setData(cAudit, kAuditRole, entry.auditId);
    item->setText(cWhen, entry.when.toString(QString::fromLatin1(kTimeFormat)));
    item->setText(cWorkstation, entry.workstation);
    item->setText(cFrom, clientIdText(entry.from));
    item->setText(cTo, clientIdText(entry.to));
    item->setText(cFromName, entry.fromName);
    item->setText(cToName, entry.toName);
    item->setText(cRows, entry.rows >= 0 ? QString::number(entry.rows) : QString());
    item->setText(cState, entry.stateText());
    for (int column : {cAudit, cFrom, cTo, cRows})
        item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

QStringList ledgerRowLines(const std::vector<LedgerTableRows>& tables)
{
    QStringList lines;
    for (const LedgerTableRows& t : tables) {
        QStringList parts;
        if (t.moved)
            parts << QStringLiteral("%1 moved").arg(t.moved);
        if (t.deleted)
            parts << QStringLiteral("%1 deleted").arg(t.deleted);
        if (t.added)
            parts << QStringLiteral("%1 added").arg(t.added);
        lines << QStringLiteral("%1: %2").arg(t.table, parts.join(QStringLiteral(", ")));
    }
    return lines;
}

TfrmMergeHistory::TfrmMergeHistory(MergeSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
{
    setObjectName(QStringLiteral("frmMergeHistory"));
    setWindowTitle(QStringLiteral("Merge History"));
    // The font of the program's designed forms, shown as they show it.
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setSizeGripEnabled(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("grdHistory"));
    m_list->setColumnCount(cColumns);
    m_list->setHeaderLabels({QStringLiteral("Audit"), QStringLiteral("When"), QStringLiteral("Workstation"),
                             QStringLiteral("From"), QStringLiteral("To"), QStringLiteral("From name"),
                             QStringLiteral("To name"), QStringLiteral("Rows"), QStringLiteral("State")});
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->setItemDelegate(new RoomyDelegate(m_list));
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setSectionsMovable(false);
    for (int column : {cAudit, cFrom, cTo, cRows})
        m_list->headerItem()->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);

    m_details = new QPlainTextEdit(this);
    m_details->setObjectName(QStringLiteral("memDetails"));
    m_details->setReadOnly(true);
    m_details->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(m_list);
    splitter->addWidget(m_details);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);

    m_undo = new QPushButton(QStringLiteral("Undo merge..."), this);
    m_undo->setObjectName(QStringLiteral("btnUndo"));
    m_undo->setToolTip(QStringLiteral("Move the rows of the selected merge back to the client they came from"));
    m_undo->setAutoDefault(false);
    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_close->setObjectName(QStringLiteral("btnClose"));
    m_close->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_undo);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] {
        runHandler(m_session.ui, [this] {
            updateButtons();
            showDetails();
        });
    });
    connect(m_undo, &QPushButton::clicked, this, [this] { runHandler(m_session.ui, [this] { btnUndoClick(); }); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    ApplyDisplayFonts(this);
    resize(940, 560);
    setMinimumSize(560, 320);
    updateButtons();
}

TfrmMergeHistory::~TfrmMergeHistory() = default;

void TfrmMergeHistory::reload(int selectAuditId)
{
    std::vector<MergeHistoryEntry> entries;
    try {
        WaitCursor wait(m_session.ui);
        entries = readMergeHistory(m_session.conZelvan);
    } catch (const std::exception& e) {
        m_entries.clear();
        fillList(-1);
        m_session.ui.showError(exceptionMessage(e));
        return;
    }
    m_entries = std::move(entries);
    fillList(selectAuditId);
}

void TfrmMergeHistory::fillList(int selectAuditId)
{
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    QTreeWidgetItem* selected = nullptr;
    for (const MergeHistoryEntry& entry : m_entries) {
        QTreeWidgetItem* item = historyItem(entry);
        m_list->addTopLevelItem(item);
        if (entry.auditId == selectAuditId || !selected)
            selected = item;
    }
    // Sized to the cells, and the headings get room around them as the cells do.
    for (int column = 0; column < cColumns; ++column) {
        m_list->resizeColumnToContents(column);
        m_list->setColumnWidth(column,
                               std::max(m_list->columnWidth(column), m_list->header()->sectionSizeHint(column) + 12));
    }
    if (selected) {
        m_list->setCurrentItem(selected);
        m_list->scrollToItem(selected);
    }
    updateButtons();
    runHandler(m_session.ui, [this] { showDetails(); });
}

const MergeHistoryEntry* TfrmMergeHistory::currentEntry() const
{
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!item)
        return nullptr;
    const int auditId = item->data(cAudit, kAuditRole).toInt();
    for (const MergeHistoryEntry& entry : m_entries)
        if (entry.auditId == auditId)
            return &entry;
    return nullptr;
}

QStringList TfrmMergeHistory::detailLines(const MergeHistoryEntry& entry)
{
    QStringList lines;
    lines << QStringLiteral("Merge %1 of %2 '%3' into %4 '%5'")
                 .arg(entry.auditId)
                 .arg(clientIdText(entry.from), entry.fromName, clientIdText(entry.to), entry.toName);
    lines << (entry.workstation.isEmpty()
                  ? QStringLiteral("Made %1; %2")
                        .arg(entry.when.toString(QString::fromLatin1(kTimeFormat)), entry.stateText())
                  : QStringLiteral("Made %1 on %2; %3")
                        .arg(entry.when.toString(QString::fromLatin1(kTimeFormat)), entry.workstation,
                             entry.stateText()));
    switch (entry.state) {
    case MergeHistoryEntry::State::NotReversible:
        lines << QStringLiteral("There is no record of the rows this merge changed: it cannot be undone.");
        break;
    case MergeHistoryEntry::State::Reverted:
        lines << QStringLiteral("It was rolled back when it was made and changed nothing.");
        break;
    case MergeHistoryEntry::State::NotCompleted:
        lines << QStringLiteral("It was stopped before it was committed (the program was closed or the computer "
                                "stopped) and changed nothing.");
        break;
    case MergeHistoryEntry::State::Incomplete:
        lines << QStringLiteral(
            "It stopped part way: the rows below are those it recorded; an undo puts back those it moved.");
        break;
    case MergeHistoryEntry::State::Merged:
    case MergeHistoryEntry::State::Undone:
        break;
    }
    const QStringList accounts = accountMappingLines(entry.comment);
    if (!accounts.isEmpty()) {
        lines << QString() << QStringLiteral("Accounts:");
        for (const QString& line : accounts)
            lines << QStringLiteral("  ") + line;
    }
    if (entry.rows >= 0) {
        lines << QString() << QStringLiteral("Rows changed: %1").arg(entry.rows);
        for (const QString& line : ledgerRowLines(readLedgerRows(m_session.conZelvan, entry.auditId)))
            lines << QStringLiteral("  ") + line;
    }
    return lines;
}

void TfrmMergeHistory::showDetails()
{
    m_details->clear();
    if (const MergeHistoryEntry* entry = currentEntry())
        m_details->setPlainText(detailLines(*entry).join(QLatin1Char('\n')));
}

void TfrmMergeHistory::updateButtons()
{
    const MergeHistoryEntry* entry = currentEntry();
    m_undo->setEnabled(entry && entry->canBeUndone());
}

void TfrmMergeHistory::btnUndoClick()
{
    const MergeHistoryEntry* entry = currentEntry();
    if (!entry || !entry->canBeUndone())
        return;
    const int auditId = entry->auditId;
    try {
        WaitCursor wait(m_session.ui);
        // Refused: the reason has been shown. The boxes show the arrow over the wait cursor.
        if (const std::unique_ptr<UndoPlan> plan = planUndo(m_session, auditId)) {
            if (m_session.ui.confirm(plan->confirmationText()))
                executeUndo(m_session, *plan);
            else
                cancelUndo(*plan);
        }
    } catch (...) {
        // The failure is what the user is shown; the list is read again on the next undo.
        emit undoAttempted();
        throw;
    }
    emit undoAttempted();
    reload(auditId);
}

} // namespace kolvix
