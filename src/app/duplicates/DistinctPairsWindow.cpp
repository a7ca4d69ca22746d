#include "app/duplicates/DistinctPairsWindow.h"

#include "app/DisplayFonts.h"
#include "app/KolvixApplication.h"
#include "core/UserInterface.h"
#include "merge/MergeSession.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kolvix {

namespace {

enum Column { cFirst, cSecond, cWhen, cWorkstation, cUser, cNote, cColumns };

// A client of a mark as the list and the question name it: "20: Harper, Louise", or the id alone
// when the client is gone.
QString distinctClientText(qint32 id, const QString& name)
{
    return name.isEmpty() ? QString::number(id) : QStringLiteral("%1: %2").arg(id).arg(name);
}

} // namespace

TfrmDistinctPairs::TfrmDistinctPairs(MergeSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
{
    setObjectName(QStringLiteral("frmDistinctPairs"));
    setWindowTitle(QStringLiteral("Pairs Marked as Different People"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setSizeGripEnabled(true);

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblCount"));
    m_grid = new QTableWidget(0, cColumns, this);
    m_grid->setObjectName(QStringLiteral("grdMarks"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("Client"), QStringLiteral("Other client"),
                                       QStringLiteral("Marked"), QStringLiteral("Workstation"), QStringLiteral("User"),
                                       QStringLiteral("Note")});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setTabKeyNavigation(false);
    m_grid->setWordWrap(false);
    m_grid->setAlternatingRowColors(true);
    m_grid->horizontalHeader()->setStretchLastSection(true);

    m_remove = new QPushButton(QStringLiteral("&Remove mark..."), this);
    m_remove->setObjectName(QStringLiteral("btnRemove"));
    m_remove->setToolTip(QStringLiteral("The two may be listed as a pair and merged again"));
    m_remove->setAutoDefault(false);
    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_close->setObjectName(QStringLiteral("btnClose"));
    m_close->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_count);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);

    connect(m_remove, &QPushButton::clicked, this, [this] { runHandler(m_session.ui, [this] { btnRemoveClick(); }); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_grid, &QTableWidget::currentCellChanged, this, [this] { updateButtons(); });

    ApplyDisplayFonts(this);
    resize(820, 420);
    setMinimumSize(480, 260);
    updateButtons();
}

TfrmDistinctPairs::~TfrmDistinctPairs() = default;

void TfrmDistinctPairs::reload()
{
    {
        const WaitCursor wait(m_session.ui);
        m_pairs = readDistinctPairs(m_session.conZelvan);
    }
    const QSignalBlocker quiet(m_grid);
    m_grid->setRowCount(int(m_pairs.size()));
    for (int row = 0; row < m_grid->rowCount(); ++row) {
        const DistinctPair& pair = m_pairs[std::size_t(row)];
        const QString cells[cColumns] = {distinctClientText(pair.first, pair.firstName),
                                         distinctClientText(pair.second, pair.secondName),
                                         pair.when.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                         pair.workstation,
                                         pair.userName,
                                         pair.note};
        for (int column = 0; column < cColumns; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setToolTip(cells[column]);
            m_grid->setItem(row, column, item);
        }
    }
    m_grid->resizeColumnsToContents();
    if (!m_pairs.empty())
        m_grid->setCurrentCell(0, 0);
    m_count->setText(m_pairs.empty() ? QStringLiteral("No pairs are marked as different people.")
                         : m_pairs.size() == 1
                         ? QStringLiteral("1 pair is marked as different people.")
                         : QStringLiteral("%1 pairs are marked as different people.").arg(m_pairs.size()));
    updateButtons();
}

void TfrmDistinctPairs::updateButtons()
{
    m_remove->setEnabled(m_grid->currentRow() >= 0 && m_grid->currentRow() < int(m_pairs.size()));
}

void TfrmDistinctPairs::btnRemoveClick()
{
    const int row = m_grid->currentRow();
    if (row < 0 || row >= int(m_pairs.size()))
        return;
    const DistinctPair pair = m_pairs[std::size_t(row)];
    if (!m_session.ui.confirm(QStringLiteral("Remove the mark of these two clients?\n\n%1\n%2\n\nThey were %3. Once "
                                             "the mark is removed, the duplicate scan may list them as a pair "
                                             "again, and they can be merged.")
                                  .arg(distinctClientText(pair.first, pair.firstName),
                                       distinctClientText(pair.second, pair.secondName), pair.description())))
        return;
    unmarkDistinctPair(m_session.conZelvan, pair.first, pair.second);
    reload();
}

} // namespace kolvix
