#include "app/compare/CompareWindow.h"

#include "app/DisplayFonts.h"
#include "app/KolvixApplication.h"
#include "app/compare/MarkDifferentDialog.h"
#include "core/UserInterface.h"
#include "ledger/DistinctPairs.h"
#include "merge/MergeSession.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace kolvix {

namespace {

enum FieldColumn { fDiffers, fField, fKeep, fMerge, fColumns };
enum CountColumn { cCaption, cKeep, cMerge, cColumns };

const QString kNotEqual = QStringLiteral("\u2260");

// The width the window opens with at least: the values of both clients side by side, the counts
// beside them.
constexpr int kWidth = 980;

QTableWidget* grid(const QString& name, int columns, const QStringList& headings, QWidget* parent)
{
    auto* table = new QTableWidget(0, columns, parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headings);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab leaves the grid for the next control; the arrows move within it.
    table->setTabKeyNavigation(false);
    table->setWordWrap(false);
    table->horizontalHeader()->setHighlightSections(false);
    return table;
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment);
    item->setToolTip(text);
    return item;
}

// The height that shows every row of the grid without scrolling.
int wholeHeight(const QTableWidget* table)
{
    return table->horizontalHeader()->height() + table->verticalHeader()->length() + 2 * table->frameWidth();
}

} // namespace

TfrmCompare::TfrmCompare(MergeSession& session, qint32 keep, qint32 merge, bool pairActions, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
    , m_keep(keep)
    , m_merge(merge)
    , m_pairActions(pairActions)
{
    setObjectName(QStringLiteral("frmCompare"));
    setWindowTitle(QStringLiteral("Compare Clients"));
    // The font of the program's designed forms, shown as they show it.
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setSizeGripEnabled(true);

    m_mark = new QLabel(this);
    m_mark->setObjectName(QStringLiteral("lblMark"));
    m_mark->setTextFormat(Qt::PlainText); // the note is never markup
    m_mark->setWordWrap(true);
    m_mark->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_mark->font();
    bold.setBold(true);
    m_mark->setFont(bold);
    m_mark->hide();

    m_fields = grid(
        QStringLiteral("grdFields"), fColumns,
        {kNotEqual, QStringLiteral("Field"), QStringLiteral("Keep (Move To)"), QStringLiteral("Merge (Move From)")},
        this);
    m_fields->horizontalHeaderItem(fDiffers)->setToolTip(QStringLiteral("Marks the fields in which the two differ"));
    m_fields->horizontalHeader()->setSectionResizeMode(fDiffers, QHeaderView::ResizeToContents);
    m_fields->horizontalHeader()->setSectionResizeMode(fField, QHeaderView::ResizeToContents);
    m_fields->horizontalHeader()->setSectionResizeMode(fKeep, QHeaderView::Stretch);
    m_fields->horizontalHeader()->setSectionResizeMode(fMerge, QHeaderView::Stretch);
    m_counts = grid(QStringLiteral("grdCounts"), cColumns,
                    {QStringLiteral("Rows held"), QStringLiteral("Keep"), QStringLiteral("Merge")}, this);
    m_counts->horizontalHeader()->setSectionResizeMode(cCaption, QHeaderView::Stretch);
    m_counts->horizontalHeader()->setSectionResizeMode(cKeep, QHeaderView::ResizeToContents);
    m_counts->horizontalHeader()->setSectionResizeMode(cMerge, QHeaderView::ResizeToContents);
    m_counts->horizontalHeaderItem(cKeep)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_counts->horizontalHeaderItem(cMerge)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* grids = new QHBoxLayout;
    grids->addWidget(m_fields, 3);
    grids->addWidget(m_counts, 1);

    m_swap = new QPushButton(QStringLiteral("&Swap"), this);
    m_swap->setObjectName(QStringLiteral("btnSwap"));
    m_swap->setToolTip(QStringLiteral("Keep the other record: the Keep and Merge clients change places"));
    m_use = new QPushButton(QStringLiteral("&Use this pair"), this);
    m_use->setObjectName(QStringLiteral("btnUse"));
    m_use->setToolTip(QStringLiteral("Fill Move From with the Merge client and Move To with the Keep client"));
    m_different = new QPushButton(QStringLiteral("&Not the same person..."), this);
    m_different->setObjectName(QStringLiteral("btnDifferent"));
    m_different->setToolTip(
        QStringLiteral("Mark the two as different people: the scan leaves them out and the merge refuses them"));
    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_close->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton* button : {m_swap, m_use, m_different})
        button->setAutoDefault(false);
    m_close->setDefault(true);
    m_swap->setVisible(m_pairActions);
    m_use->setVisible(m_pairActions);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_swap);
    buttons->addWidget(m_use);
    buttons->addWidget(m_different);
    buttons->addStretch(1);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_mark);
    layout->addLayout(grids, 1);
    layout->addLayout(buttons);

    connect(m_swap, &QPushButton::clicked, this, [this] { runHandler(m_session.ui, [this] { btnSwapClick(); }); });
    connect(m_use, &QPushButton::clicked, this, [this] { btnUseClick(); });
    connect(m_different, &QPushButton::clicked, this,
            [this] { runHandler(m_session.ui, [this] { btnDifferentClick(); }); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

    ApplyDisplayFonts(this);
    setMinimumSize(640, 360);
}

TfrmCompare::~TfrmCompare() = default;

bool TfrmCompare::reload()
{
    const WaitCursor wait(m_session.ui);
    const std::optional<ClientDetails> keep = readClientDetails(m_session.conZelvan, m_keep);
    const std::optional<ClientDetails> merge = readClientDetails(m_session.conZelvan, m_merge);
    if (!keep || !merge) {
        m_session.ui.showInfo(
            QStringLiteral("Client %1 does not exist any more. Scan again or choose the clients again.")
                .arg(!keep ? m_keep : m_merge));
        return false;
    }
    m_keepText = QStringLiteral("%1: %2").arg(m_keep).arg(keep->displayName());
    m_mergeText = QStringLiteral("%1: %2").arg(m_merge).arg(merge->displayName());
    m_comparison = compareClients(m_session.conZelvan, *keep, *merge);
    const std::optional<DistinctPair> mark = findDistinctPair(m_session.conZelvan, m_keep, m_merge);
    m_marked = mark.has_value();
    m_mark->setText(mark ? QStringLiteral("These two clients are %1.").arg(mark->description()) : QString());
    m_mark->setVisible(m_marked);
    fillFields();
    fillCounts();
    updateButtons();
    // A mark shown now takes room above the fields.
    if (isVisible())
        fitToContents();
    return true;
}

void TfrmCompare::fillFields()
{
    m_fields->setRowCount(int(m_comparison.fields.size()));
    // A field that differs: the sign in its own column, its values in bold, the row tinted.
    QColor tint = palette().color(QPalette::Highlight);
    tint.setAlpha(40);
    for (int row = 0; row < m_fields->rowCount(); ++row) {
        const ComparedField& field = m_comparison.fields[std::size_t(row)];
        QTableWidgetItem* differs = cell(field.same ? QString() : kNotEqual, Qt::AlignCenter);
        differs->setToolTip(field.same ? QString() : QStringLiteral("The two differ in this field"));
        differs->setData(Qt::AccessibleTextRole, field.same ? QStringLiteral("same") : QStringLiteral("differs"));
        QTableWidgetItem* items[fColumns] = {differs, cell(field.field), cell(field.a), cell(field.b)};
        for (int column = 0; column < fColumns; ++column) {
            if (!field.same) {
                QFont font = m_fields->font();
                font.setBold(true);
                items[column]->setFont(font);
                items[column]->setBackground(tint);
            }
            m_fields->setItem(row, column, items[column]);
        }
    }
    m_fields->resizeRowsToContents();
}

void TfrmCompare::fillCounts()
{
    m_counts->setRowCount(int(m_comparison.counts.size()));
    for (int row = 0; row < m_counts->rowCount(); ++row) {
        const ComparedCount& count = m_comparison.counts[std::size_t(row)];
        m_counts->setItem(row, cCaption, cell(count.caption));
        m_counts->setItem(row, cKeep, cell(QString::number(count.a), Qt::AlignRight | Qt::AlignVCenter));
        m_counts->setItem(row, cMerge, cell(QString::number(count.b), Qt::AlignRight | Qt::AlignVCenter));
    }
    m_counts->resizeRowsToContents();
}

void TfrmCompare::updateButtons()
{
    m_swap->setEnabled(!m_marked);
    m_use->setEnabled(!m_marked);
    m_different->setEnabled(!m_marked && m_keep != m_merge);
}

void TfrmCompare::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        fitToContents();
}

QSize TfrmCompare::wholeSize() const
{
    // The grids stand side by side: the rest of the window is what its hint holds beside them.
    const int others = sizeHint().height() - m_fields->sizeHint().height();
    return {std::max(kWidth, sizeHint().width()), others + wholeHeight(m_fields)};
}

void TfrmCompare::fitToContents()
{
    // Every field shows without scrolling where the screen has room; the window stays on it.
    const QSize whole = wholeSize();
    const QRect available = screen() ? screen()->availableGeometry() : QRect();
    if (available.isEmpty()) {
        resize(whole);
        return;
    }
    const int frame = frameGeometry().height() - geometry().height();
    resize(std::min(available.width(), whole.width()),
           std::max(minimumHeight(), std::min(available.height() - frame, whole.height())));
    QRect placed = frameGeometry();
    const QWidget* owner = parentWidget() && parentWidget()->isVisible() ? parentWidget()->window() : nullptr;
    placed.moveCenter(owner ? owner->frameGeometry().center() : available.center());
    placed.moveLeft(
        std::clamp(placed.left(), available.left(), std::max(available.left(), available.right() - placed.width())));
    placed.moveTop(
        std::clamp(placed.top(), available.top(), std::max(available.top(), available.bottom() - placed.height())));
    move(placed.topLeft());
}

void TfrmCompare::btnSwapClick()
{
    if (m_marked)
        return;
    std::swap(m_keep, m_merge);
    reload();
    emit swapped();
}

void TfrmCompare::btnUseClick()
{
    if (m_marked)
        return;
    emit usePair();
    accept();
}

void TfrmCompare::btnDifferentClick()
{
    if (m_marked || m_keep == m_merge)
        return;
    if (!askAndMarkDifferent(m_session, m_keep, m_keepText, m_merge, m_mergeText, this))
        return;
    reload();
    emit markedDifferent();
}

} // namespace kolvix
