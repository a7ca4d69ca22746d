#include "app/duplicates/DuplicatesWindow.h"

#include "app/DisplayFonts.h"
#include "app/KolvixApplication.h"
#include "app/compare/CompareWindow.h"
#include "app/compare/MarkDifferentDialog.h"
#include "app/duplicates/DistinctPairsWindow.h"
#include "core/UserInterface.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "merge/MergeSession.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>

namespace kolvix {

// What a scan thread reports to the window. The channel lives in the window's thread; the scan
// emits its signals from its own thread, so they arrive queued. The result is handed over in
// `result` before `finished` is emitted.
class DuplicateScanChannel : public QObject
{
    Q_OBJECT

public:
    DuplicateScanResult result;

signals:
    void progress(const QString& stage, int percent);
    void finished();
    void failed(const QString& message);
};

namespace {

enum Column { cScore, cGroup, cKeep, cKeepBorn, cMerge, cMergeBorn, cReasons, cColumns };

// The row's index into the window's pairs, kept on the score cell.
constexpr int kPairRole = Qt::UserRole + 1;

// Every cell carries the value it sorts by in kSortRole: numbers as numbers, dates as dates.
constexpr int kSortRole = Qt::UserRole;

QStandardItem* textItem(const QString& text)
{
    auto* item = new QStandardItem(text);
    item->setData(text, kSortRole);
    item->setEditable(false);
    return item;
}

QStandardItem* numberItem(int value)
{
    auto* item = new QStandardItem;
    item->setData(value, Qt::DisplayRole);
    item->setData(value, kSortRole);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    item->setEditable(false);
    return item;
}

// The last reason of a pair whose Keep and Merge clients the user swapped.
const char* const kSwappedReason = "Keep and Merge swapped";

QString clientText(const DuplicateClient& client)
{
    QString text = QStringLiteral("%1: %2").arg(client.clientId).arg(client.displayName());
    if (!client.active)
        text += QStringLiteral(" (archived)");
    return text;
}

// A date of birth that sorts as a date and shows in the user's short format.
QStandardItem* dateItem(const QDate& date)
{
    auto* item = new QStandardItem;
    item->setEditable(false);
    if (date.isValid()) {
        item->setData(QLocale().toString(date, QLocale::ShortFormat), Qt::DisplayRole);
        item->setData(date, kSortRole);
    }
    return item;
}

// The cells of a pair from the Keep column on: its clients with their dates of birth, and its
// reasons.
QList<QStandardItem*> pairCells(const DuplicatePair& pair)
{
    QStandardItem* reasons = textItem(pair.reasonText());
    reasons->setToolTip(pair.reasonText());
    return {textItem(clientText(pair.keep)), dateItem(pair.keep.dateOfBirth), textItem(clientText(pair.merge)),
            dateItem(pair.merge.dateOfBirth), reasons};
}

// The progress of a run of ticked pairs: "Pair i of n" and the pair's clients, a bar, and Stop,
// which ends the run after the pair being merged (a pair is never stopped half way). Closing the
// dialog (Esc, the title bar) asks the same; it closes when the run has ended.
class BatchProgressDialog : public QDialog
{
public:
    BatchProgressDialog(const std::vector<BatchPair>& pairs, QWidget* parent)
        : QDialog(parent)
        , m_pairs(pairs)
        , m_count(int(pairs.size()))
    {
        setObjectName(QStringLiteral("frmBatchProgress"));
        setWindowTitle(QStringLiteral("Merge Ticked Pairs"));
        setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
        // Nothing else of the program takes input while the run uses the main window's session.
        setWindowModality(Qt::ApplicationModal);
        m_label = new QLabel(this);
        m_label->setObjectName(QStringLiteral("lblBatch"));
        m_label->setTextFormat(Qt::PlainText); // names from the database are never markup
        m_bar = new QProgressBar(this);
        m_bar->setObjectName(QStringLiteral("prgBatch"));
        m_bar->setRange(0, m_count);
        m_bar->setValue(0);
        m_stop = new QPushButton(QStringLiteral("S&top"), this);
        m_stop->setObjectName(QStringLiteral("btnStop"));
        m_stop->setToolTip(QStringLiteral("End the run after the pair being merged"));
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(m_stop);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(m_label);
        layout->addWidget(m_bar);
        layout->addLayout(buttons);
        connect(m_stop, &QPushButton::clicked, this, [this] { stop(); });
        ApplyDisplayFonts(this);
        setMinimumWidth(360);
        showPair(0);
    }

    bool stopRequested() const { return m_stopRequested; }

    // The pair of that index (from 0) is being merged.
    void showPair(int index)
    {
        m_label->setText(QStringLiteral("Pair %1 of %2\n%3")
                             .arg(index + 1)
                             .arg(m_count)
                             .arg(batchPairText(m_pairs[std::size_t(index)])));
    }

    // The pair of that index has ended.
    void pairDone(int index)
    {
        m_bar->setValue(index + 1);
        if (index + 1 < m_count && !m_stopRequested)
            showPair(index + 1);
    }

    void reject() override { stop(); }

private:
    void stop()
    {
        if (m_stopRequested)
            return;
        m_stopRequested = true;
        m_stop->setEnabled(false);
        m_label->setText(QStringLiteral("Stopping..."));
    }

    const std::vector<BatchPair>& m_pairs;
    int m_count;
    bool m_stopRequested = false;
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_stop = nullptr;
};

} // namespace

namespace {

// A line for each client that the run would merge away in one pair and meet again in a later
// one: "client 411 is ticked in two pairs; only the first can be merged".
QStringList doubleTickedWarnings(const std::vector<BatchPair>& pairs)
{
    // As mergePairs runs them: a pair is skipped when a client of it was merged away by an
    // earlier pair of the run.
    QSet<qint32> mergedAway;
    QList<qint32> flagged; // in the order the run meets them
    std::vector<bool> skipped(pairs.size(), false);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        for (const qint32 client : {pairs[i].merge, pairs[i].keep})
            if (mergedAway.contains(client)) {
                skipped[i] = true;
                if (!flagged.contains(client))
                    flagged << client;
            }
        if (!skipped[i])
            mergedAway.insert(pairs[i].merge);
    }
    QStringList warnings;
    for (const qint32 client : flagged) {
        int ticked = 0;
        int mergeable = 0;
        bool firstMergeable = false;
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            if (pairs[i].merge != client && pairs[i].keep != client)
                continue;
            if (ticked++ == 0)
                firstMergeable = !skipped[i];
            if (!skipped[i])
                ++mergeable;
        }
        const QString times = ticked == 2 ? QStringLiteral("two") : QString::number(ticked);
        warnings << (mergeable == 1 && firstMergeable
                         ? QStringLiteral("client %1 is ticked in %2 pairs; only the first can be merged")
                               .arg(client)
                               .arg(times)
                         : QStringLiteral("client %1 is ticked in %2 pairs; only %3 of them can be merged")
                               .arg(client)
                               .arg(times)
                               .arg(mergeable));
    }
    return warnings;
}

} // namespace

QString mergeTickedQuestion(const std::vector<BatchPair>& pairs)
{
    constexpr std::size_t kListed = 10;
    QString text = pairs.size() == 1 ? QStringLiteral("Merge the ticked pair?")
                                     : QStringLiteral("Merge the %1 ticked pairs?").arg(pairs.size());
    text += u'\n';
    for (std::size_t i = 0; i < pairs.size() && i < kListed; ++i)
        text += u'\n' + batchPairText(pairs[i]);
    if (pairs.size() > kListed)
        text += QStringLiteral("\nand %1 more").arg(pairs.size() - kListed);
    const QStringList warnings = doubleTickedWarnings(pairs);
    if (!warnings.isEmpty())
        text += u'\n';
    for (const QString& warning : warnings)
        text += QStringLiteral("\nWarning: ") + warning + u'.';
    return text
        + QStringLiteral("\n\nEach pair is checked and merged on its own, as a single merge, with its accounts mapped "
                         "as the account dialog proposes them. A pair that a check refuses, or whose accounts need a "
                         "decision, is skipped and never merged.\n\nEach merge can be undone on its own from the "
                         "History.");
}

QString scanStageText(const QString& stage)
{
    static const QRegularExpression number(QStringLiteral("\\d{4,}"));
    const QLocale locale;
    QString text;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& match : number.globalMatch(stage)) {
        text += stage.mid(from, match.capturedStart() - from);
        bool ok = false;
        const qlonglong value = match.captured().toLongLong(&ok);
        text += ok ? locale.toString(value) : match.captured();
        from = match.capturedEnd();
    }
    return text + stage.mid(from) + QStringLiteral("...");
}

TfrmDuplicates::TfrmDuplicates(const QString& connectionString, int commandTimeout, int connectTimeout,
                               UserInterface& ui, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_connectionString(connectionString)
    , m_commandTimeout(commandTimeout)
    , m_connectTimeout(connectTimeout)
    , m_userInterface(ui)
{
    setObjectName(QStringLiteral("frmDuplicates"));
    setWindowTitle(QStringLiteral("Duplicate Patients"));
    // The font of the program's designed forms, shown as they show it.
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* options = new QHBoxLayout;
    auto* minLabel = new QLabel(QStringLiteral("&Minimum score:"), this);
    m_minScore = new QSpinBox(this);
    m_minScore->setObjectName(QStringLiteral("spnMinScore"));
    m_minScore->setRange(0, 100);
    m_minScore->setValue(kDefaultMinScore);
    minLabel->setBuddy(m_minScore);
    m_archived = new QCheckBox(QStringLiteral("Include &archived patients"), this);
    m_archived->setObjectName(QStringLiteral("cbArchived"));
    m_scan = new QPushButton(QStringLiteral("&Scan"), this);
    m_scan->setObjectName(QStringLiteral("btnScan"));
    m_stop = new QPushButton(QStringLiteral("S&top"), this);
    m_stop->setObjectName(QStringLiteral("btnStop"));
    options->addWidget(minLabel);
    options->addWidget(m_minScore);
    options->addSpacing(12);
    options->addWidget(m_archived);
    options->addStretch(1);
    m_different = new QPushButton(QStringLiteral("&Different people..."), this);
    m_different->setObjectName(QStringLiteral("btnDifferent"));
    m_different->setToolTip(QStringLiteral("The pairs marked as different people; a mark can be removed there"));
    options->addWidget(m_different);
    options->addWidget(m_scan);
    options->addWidget(m_stop);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("prgScan"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_leftOut = new QLabel(this);
    m_leftOut->setObjectName(QStringLiteral("lblLeftOut"));
    m_leftOut->setTextFormat(Qt::PlainText); // names from the database are never markup
    m_leftOut->setWordWrap(true);
    m_leftOut->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_leftOut->hide();

    m_model = new QStandardItemModel(0, cColumns, this);
    m_model->setHorizontalHeaderLabels(
        {QStringLiteral("Score"), QStringLiteral("Group"), QStringLiteral("Keep (Move To)"), QStringLiteral("Born"),
         QStringLiteral("Merge (Move From)"), QStringLiteral("Born"), QStringLiteral("Reasons")});
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(kSortRole);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("grdPairs"));
    m_grid->setModel(m_sorted);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setAlternatingRowColors(true);
    m_grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_grid->setSortingEnabled(true);
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->setWordWrap(false);

    auto* buttons = new QHBoxLayout;
    m_tickAll = new QPushButton(QStringLiteral("Tick a&ll"), this);
    m_tickAll->setObjectName(QStringLiteral("btnTickAll"));
    m_tickAll->setToolTip(QStringLiteral("Tick every pair of the list (Space ticks or unticks the current pair)"));
    m_untickAll = new QPushButton(QStringLiteral("U&ntick all"), this);
    m_untickAll->setObjectName(QStringLiteral("btnUntickAll"));
    m_untickAll->setToolTip(QStringLiteral("Untick every pair of the list"));
    m_compare = new QPushButton(QStringLiteral("C&ompare..."), this);
    m_compare->setObjectName(QStringLiteral("btnCompare"));
    m_compare->setToolTip(QStringLiteral("See both clients of the pair side by side (Enter)"));
    m_use = new QPushButton(QStringLiteral("&Use this pair"), this);
    m_use->setObjectName(QStringLiteral("btnUse"));
    m_use->setToolTip(QStringLiteral("Fill Move From with the pair's Merge client and Move To with its Keep client"));
    m_mergeTicked = new QPushButton(QStringLiteral("Merge ticked &pairs..."), this);
    m_mergeTicked->setObjectName(QStringLiteral("btnMergeTicked"));
    m_mergeTicked->setToolTip(
        QStringLiteral("Merge every ticked pair on its own; pairs that need a decision are skipped"));
    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_close->setObjectName(QStringLiteral("btnClose"));
    // The hint wraps where the fonts in use are wider than the window.
    auto* hint = new QLabel(
        QStringLiteral("Double-click a pair to use it. The merge still checks everything it always does."), this);
    hint->setWordWrap(true);
    buttons->addWidget(m_tickAll);
    buttons->addWidget(m_untickAll);
    buttons->addWidget(hint, 1);
    buttons->addWidget(m_compare);
    buttons->addWidget(m_use);
    buttons->addWidget(m_mergeTicked);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(options);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addWidget(m_leftOut);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);

    connect(m_scan, &QPushButton::clicked, this, [this] { startScan(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { cancelScan(); });
    connect(m_tickAll, &QPushButton::clicked, this, [this] { tickAll(true); });
    connect(m_untickAll, &QPushButton::clicked, this, [this] { tickAll(false); });
    connect(m_use, &QPushButton::clicked, this, [this] { btnUseClick(); });
    connect(m_mergeTicked, &QPushButton::clicked, this,
            [this] { runHandler(m_userInterface, [this] { btnMergeTickedClick(); }); });
    connect(m_close, &QPushButton::clicked, this, [this] { close(); });
    // A tick is a change of the score cell's check state.
    connect(m_model, &QStandardItemModel::itemChanged, this, [this] { updateButtons(); });
    // Space ticks the current pair whichever cell of its row is current.
    m_grid->installEventFilter(this);
    connect(m_grid, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { grdPairsDoubleClick(index); });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { updateButtons(); });

    // What can be done with a pair, also from its context menu; the keys work on the list.
    const auto pairAction = [this](const QString& name, const QString& text, const QKeySequence& key,
                                   const std::function<void()>& handler) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        if (!key.isEmpty()) {
            action->setShortcut(key);
            action->setShortcutContext(Qt::WidgetShortcut);
            m_grid->addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, handler] { runHandler(m_userInterface, handler); });
        return action;
    };
    m_actCompare = pairAction(QStringLiteral("actCompare"), QStringLiteral("C&ompare...\tEnter"), {},
                              [this] { btnCompareClick(); });
    m_actSwap = pairAction(QStringLiteral("actSwap"), QStringLiteral("S&wap Keep and Merge"),
                           QKeySequence(Qt::CTRL | Qt::Key_S), [this] { swapCurrentPair(); });
    m_actUse = pairAction(QStringLiteral("actUse"), QStringLiteral("&Use this pair"), {}, [this] { btnUseClick(); });
    m_actMark = pairAction(QStringLiteral("actMark"), QStringLiteral("&Not the same person..."), {},
                           [this] { markCurrentPair(); });
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QTableView::customContextMenuRequested, this, [this](const QPoint& at) { showPairMenu(at); });
    connect(m_compare, &QPushButton::clicked, this,
            [this] { runHandler(m_userInterface, [this] { btnCompareClick(); }); });
    connect(m_different, &QPushButton::clicked, this,
            [this] { runHandler(m_userInterface, [this] { btnDifferentClick(); }); });

    ApplyDisplayFonts(this);
    // The headings show whole before the first rows arrive.
    m_grid->resizeColumnsToContents();
    resize(980, 520);
    setMinimumSize(560, 300);
    updateButtons();
}

TfrmDuplicates::~TfrmDuplicates()
{
    // A running scan is told to stop and finishes on its own; nothing of it reaches this window
    // any more (the channel's connections end with the window).
    if (m_cancel)
        m_cancel->store(true);
    if (m_thread)
        m_thread->wait(10000);
}

void TfrmDuplicates::startScan()
{
    if (isScanning()) {
        m_restart = m_cancel && m_cancel->load();
        return;
    }
    m_restart = false;
    DuplicateOptions options;
    options.minScore = m_minScore->value();
    options.includeArchived = m_archived->isChecked();

    m_cancel = std::make_shared<std::atomic<bool>>(false);
    // Deleted in the window's thread whichever thread lets go of it last.
    m_channel = std::shared_ptr<DuplicateScanChannel>(new DuplicateScanChannel,
                                                      [](DuplicateScanChannel* c) { c->deleteLater(); });
    connect(m_channel.get(), &DuplicateScanChannel::progress, this, &TfrmDuplicates::scanProgress);
    connect(m_channel.get(), &DuplicateScanChannel::finished, this,
            [this, channel = m_channel.get()] { scanDone(channel->result); });
    connect(m_channel.get(), &DuplicateScanChannel::failed, this, &TfrmDuplicates::scanFailed);

    const QString connectionString = m_connectionString;
    const int commandTimeout = m_commandTimeout;
    const int connectTimeout = m_connectTimeout;
    std::shared_ptr<DuplicateScanChannel> channel = m_channel;
    std::shared_ptr<std::atomic<bool>> cancel = m_cancel;
    m_thread = QThread::create([=]() {
        try {
            Connection connection;
            connection.setConnectionString(connectionString);
            connection.setCommandTimeout(commandTimeout);
            connection.setConnectTimeout(connectTimeout);
            connection.setReadOnly(true); // the scan only reads
            connection.open();
            DuplicateFinder finder(connection);
            finder.setCancelFlag(cancel.get());
            finder.setProgressCallback([&](const DuplicateProgress& p) { emit channel->progress(p.stage, p.percent); });
            channel->result = finder.scan(options);
            emit channel->finished();
        } catch (const std::exception& e) {
            emit channel->failed(exceptionMessage(e));
        }
    });
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    connect(m_thread, &QThread::finished, this, [this] { scanEnded(); });

    m_pairs.clear();
    m_model->removeRows(0, m_model->rowCount());
    m_grid->resizeColumnsToContents();
    showLeftOut({});
    m_progress->setRange(0, 0);
    m_status->setText(QStringLiteral("Reading clients..."));
    m_thread->start(QThread::LowPriority);
    updateButtons();
}

void TfrmDuplicates::cancelScan()
{
    m_restart = false;
    if (m_cancel)
        m_cancel->store(true);
    if (isScanning())
        m_status->setText(QStringLiteral("Stopping..."));
}

void TfrmDuplicates::scanProgress(const QString& stage, int percent)
{
    if (m_cancel && m_cancel->load())
        return;
    if (percent < 0) {
        m_progress->setRange(0, 0);
    } else {
        m_progress->setRange(0, 100);
        m_progress->setValue(percent);
    }
    m_status->setText(scanStageText(stage));
}

void TfrmDuplicates::scanDone(const DuplicateScanResult& result)
{
    m_progress->setRange(0, 100);
    if (result.cancelled) {
        m_progress->setValue(0);
        m_status->setText(QStringLiteral("The scan was stopped."));
        return;
    }
    m_progress->setValue(100);
    m_pairs = result.pairs;
    const QLocale locale;
    const auto counted = [&locale](qlonglong count, const char* one, const char* many) {
        return locale.toString(count) + u' ' + QString::fromLatin1(count == 1 ? one : many);
    };
    QString status;
    if (m_pairs.empty())
        status = QStringLiteral("No probable duplicates among %1.").arg(counted(result.clients, "client", "clients"));
    else
        status = QStringLiteral("%1 in %2 among %3.")
                     .arg(counted(qlonglong(m_pairs.size()), "pair", "pairs"),
                          counted(result.groups, "group", "groups"), counted(result.clients, "client", "clients"));
    if (result.mergedAway == 1)
        status += QStringLiteral(" Left out 1 client merged away by an earlier merge.");
    else if (result.mergedAway > 1)
        status += QStringLiteral(" Left out %1 clients merged away by earlier merges.")
                      .arg(locale.toString(result.mergedAway));
    if (result.markedDistinct > 0)
        status += QStringLiteral(" Left out %1 marked as different people.")
                      .arg(counted(result.markedDistinct, "pair", "pairs"));
    m_status->setText(status);
    showLeftOut(result.leftOut);
    fillGrid();
}

void TfrmDuplicates::showLeftOut(const std::vector<LeftOutBlock>& blocks)
{
    // A few lines at most; all of them in the hint.
    constexpr std::size_t kShown = 5;
    QStringList lines;
    for (const LeftOutBlock& block : blocks)
        lines << QStringLiteral("Left out %1: too many to compare pairwise.").arg(block.description());
    QStringList shown = lines.mid(0, qsizetype(kShown));
    if (blocks.size() > kShown)
        shown << QStringLiteral("And %1 more such blocks of clients.").arg(blocks.size() - kShown);
    m_leftOut->setText(shown.join(u'\n'));
    // The hint is markup: the names in it are escaped.
    QString hint;
    if (blocks.size() > kShown)
        for (const QString& line : lines)
            hint += (hint.isEmpty() ? QString() : QStringLiteral("<br>")) + line.toHtmlEscaped();
    m_leftOut->setToolTip(hint.isEmpty() ? hint : QStringLiteral("<p>") + hint + QStringLiteral("</p>"));
    m_leftOut->setVisible(!blocks.empty());
}

void TfrmDuplicates::scanFailed(const QString& message)
{
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_status->setText(QStringLiteral("The scan failed: ") + message);
    m_userInterface.showError(message);
}

void TfrmDuplicates::scanEnded()
{
    m_thread = nullptr;
    m_channel.reset();
    m_cancel.reset();
    updateButtons();
    emit scanFinished();
    if (m_restart)
        startScan();
}

void TfrmDuplicates::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Opened over the main window, in its middle.
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect area = owner && owner->isVisible() ? owner->frameGeometry()
        : screen()                                 ? screen()->availableGeometry()
                                                   : QRect();
    if (area.isEmpty())
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    if (const QScreen* shown = screen()) {
        // Kept on the screen where the main window stands near an edge.
        const QRect available = shown->availableGeometry();
        frame.moveLeft(
            std::clamp(frame.left(), available.left(), std::max(available.left(), available.right() - frame.width())));
        frame.moveTop(
            std::clamp(frame.top(), available.top(), std::max(available.top(), available.bottom() - frame.height())));
    }
    move(frame.topLeft());
}

void TfrmDuplicates::keyPressEvent(QKeyEvent* event)
{
    // Esc closes the window as it closes a dialog (a scan that runs is stopped).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmDuplicates::closeEvent(QCloseEvent* event)
{
    // Nobody waits for a list the window no longer shows.
    if (isScanning())
        cancelScan();
    QWidget::closeEvent(event);
}

void TfrmDuplicates::fillGrid()
{
    m_grid->setSortingEnabled(false);
    m_model->removeRows(0, m_model->rowCount());
    // Rows of one group together: groups in the order of their best pair, each highest score first.
    std::vector<int> order(m_pairs.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return m_pairs[std::size_t(a)].group < m_pairs[std::size_t(b)].group; });
    for (int index : order) {
        const DuplicatePair& pair = m_pairs[std::size_t(index)];
        QList<QStandardItem*> row;
        row << numberItem(pair.score) << numberItem(pair.group) << pairCells(pair);
        row[cScore]->setData(index, kPairRole);
        row[cScore]->setCheckable(true);
        row[cScore]->setCheckState(Qt::Unchecked);
        row[cScore]->setToolTip(QStringLiteral("Tick to merge this pair with \"Merge ticked pairs...\""));
        m_model->appendRow(row);
    }
    // Shown in the order above until the user sorts by a column.
    m_grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_sorted->sort(-1);
    m_grid->setSortingEnabled(true);
    m_grid->resizeColumnsToContents();
    if (!m_pairs.empty())
        m_grid->selectRow(0);
    updateButtons();
}

const DuplicatePair* TfrmDuplicates::currentPair() const
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return nullptr;
    const QModelIndex score = m_sorted->mapToSource(m_sorted->index(current.row(), cScore));
    const QVariant index = m_model->data(score, kPairRole);
    if (!index.isValid() || index.toInt() < 0 || index.toInt() >= int(m_pairs.size()))
        return nullptr;
    return &m_pairs[std::size_t(index.toInt())];
}

void TfrmDuplicates::btnUseClick()
{
    if (const DuplicatePair* pair = currentPair())
        emit pairChosen(pair->merge.clientId, pair->keep.clientId);
}

void TfrmDuplicates::grdPairsDoubleClick(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    m_grid->setCurrentIndex(index);
    btnUseClick();
}

void TfrmDuplicates::tickAll(bool ticked)
{
    const int rows = m_model->rowCount();
    if (rows == 0)
        return;
    {
        // One change for the whole list, not one a row.
        const QSignalBlocker quiet(m_model);
        for (int row = 0; row < rows; ++row)
            m_model->item(row, cScore)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
    emit m_model->dataChanged(m_model->index(0, cScore), m_model->index(rows - 1, cScore), {Qt::CheckStateRole});
    updateButtons();
}

void TfrmDuplicates::toggleCurrentTick()
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid())
        return;
    QStandardItem* score = m_model->itemFromIndex(m_sorted->mapToSource(m_sorted->index(current.row(), cScore)));
    if (score && score->isCheckable())
        score->setCheckState(score->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

bool TfrmDuplicates::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            toggleCurrentTick();
            return true;
        }
        // Enter on a pair opens it in the Compare window.
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            runHandler(m_userInterface, [this] { btnCompareClick(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmDuplicates::updateButtons()
{
    const bool scanning = isScanning();
    const bool idle = !scanning && !m_merging;
    m_scan->setEnabled(idle);
    m_stop->setEnabled(scanning);
    m_minScore->setEnabled(idle);
    m_archived->setEnabled(idle);
    const bool pair = idle && currentPair() != nullptr;
    m_use->setEnabled(pair);
    m_compare->setEnabled(pair && m_session);
    m_different->setEnabled(!m_merging && m_session);
    m_actCompare->setEnabled(pair && m_session);
    m_actSwap->setEnabled(pair);
    m_actUse->setEnabled(pair);
    m_actMark->setEnabled(pair && m_session);
    const std::size_t ticked = tickedPairs().size();
    m_mergeTicked->setEnabled(idle && m_merger && ticked > 0);
    m_tickAll->setEnabled(idle && ticked < m_pairs.size());
    m_untickAll->setEnabled(idle && ticked > 0);
    m_close->setEnabled(!m_merging);
}

void TfrmDuplicates::setPairMerger(PairMerger merger)
{
    m_merger = std::move(merger);
    updateButtons();
}

void TfrmDuplicates::setSession(MergeSession* session)
{
    m_session = session;
    updateButtons();
}

std::vector<int> TfrmDuplicates::tickedPairs() const
{
    std::vector<int> ticked;
    for (int row = 0; row < m_sorted->rowCount(); ++row) {
        const QModelIndex score = m_sorted->index(row, cScore);
        if (score.data(Qt::CheckStateRole).toInt() != Qt::Checked)
            continue;
        const QVariant index = score.data(kPairRole);
        if (index.isValid() && index.toInt() >= 0 && index.toInt() < int(m_pairs.size()))
            ticked.push_back(index.toInt());
    }
    return ticked;
}

void TfrmDuplicates::btnMergeTickedClick()
{
    const std::vector<int> ticked = tickedPairs();
    if (ticked.empty() || !m_merger || isScanning() || m_merging)
        return;

    // The names the scan showed: a client renamed since is skipped.
    std::vector<BatchPair> batch;
    for (int index : ticked) {
        const DuplicatePair& pair = m_pairs[std::size_t(index)];
        batch.push_back({pair.merge.clientId, pair.keep.clientId, pair.merge.displayName(), pair.keep.displayName()});
    }
    if (!m_userInterface.confirm(mergeTickedQuestion(batch)))
        return;
    const int count = int(batch.size());

    m_merging = true;
    updateButtons();
    BatchProgressDialog progress(batch, this);
    progress.show();
    QApplication::processEvents();

    BatchOptions options;
    options.stopRequested = [&progress] { return progress.stopRequested(); };
    options.pairDone = [&](int index, const BatchResult&) {
        progress.pairDone(index);
        emit batchPairDone(index, count);
        // Between pairs the windows paint and Stop is heard.
        QApplication::processEvents();
    };
    std::vector<BatchResult> results;
    try {
        results = m_merger(batch, options);
    } catch (...) {
        m_merging = false;
        updateButtons();
        throw;
    }
    progress.hide();
    m_merging = false;

    const auto merged = std::count_if(results.begin(), results.end(),
                                      [](const BatchResult& r) { return r.outcome == BatchResult::Outcome::Merged; });
    dropMergedPairs(results);
    m_status->setText(QStringLiteral("Merged %1 of %2 ticked pairs.").arg(merged).arg(count)
                      + (merged ? QStringLiteral(" The merged pairs have left the list.") : QString()));
    updateButtons();
    if (merged)
        emit pairsMerged();

    if (m_report)
        m_report->close();
    m_report = new TfrmBatchReport(batch, results, m_userInterface, m_chooseReportFile, this);
    m_report->setAttribute(Qt::WA_DeleteOnClose);
    m_report->open();
}

void TfrmDuplicates::dropMergedPairs(const std::vector<BatchResult>& results)
{
    QSet<qint32> mergedAway;
    for (const BatchResult& result : results)
        if (result.outcome == BatchResult::Outcome::Merged)
            mergedAway.insert(result.merge);
    dropClientsMergedAway(mergedAway);
}

void TfrmDuplicates::dropClientsMergedAway(const QSet<qint32>& mergedAway)
{
    if (mergedAway.isEmpty())
        return;
    // As a new scan would list them: no pair of a client merged away.
    dropPairsWhere([&](const DuplicatePair& pair) {
        return mergedAway.contains(pair.merge.clientId) || mergedAway.contains(pair.keep.clientId);
    });
}

void TfrmDuplicates::dropPairsWhere(const std::function<bool(const DuplicatePair&)>& gone)
{
    std::vector<int> newIndex(m_pairs.size(), -1);
    std::vector<DuplicatePair> kept;
    for (std::size_t i = 0; i < m_pairs.size(); ++i) {
        if (gone(m_pairs[i]))
            continue;
        newIndex[i] = int(kept.size());
        kept.push_back(m_pairs[i]);
    }
    // Each row learns its new index quietly (nothing shows it; -1 for a row that goes), then the
    // rows of the pairs that go are removed.
    std::vector<int> goneRows;
    {
        const QSignalBlocker quiet(m_model);
        for (int row = 0; row < m_model->rowCount(); ++row) {
            QStandardItem* score = m_model->item(row, cScore);
            const int index = score->data(kPairRole).toInt();
            const int now = index >= 0 && index < int(newIndex.size()) ? newIndex[std::size_t(index)] : -1;
            if (now < 0)
                goneRows.push_back(row);
            score->setData(now, kPairRole);
        }
    }
    m_pairs = std::move(kept);
    for (auto row = goneRows.rbegin(); row != goneRows.rend(); ++row)
        m_model->removeRow(*row);
    updateButtons();
}

int TfrmDuplicates::currentPairIndex() const
{
    const DuplicatePair* pair = currentPair();
    return pair ? int(pair - m_pairs.data()) : -1;
}

int TfrmDuplicates::rowOfPair(int index) const
{
    for (int row = 0; row < m_model->rowCount(); ++row)
        if (m_model->item(row, cScore)->data(kPairRole).toInt() == index)
            return row;
    return -1;
}

void TfrmDuplicates::showPairCells(int index)
{
    const int row = rowOfPair(index);
    if (row < 0)
        return;
    const QList<QStandardItem*> cells = pairCells(m_pairs[std::size_t(index)]);
    for (int column = cKeep; column < cColumns; ++column)
        m_model->setItem(row, column, cells[column - cKeep]);
}

void TfrmDuplicates::btnCompareClick()
{
    const int index = currentPairIndex();
    if (index < 0 || !m_session || isScanning() || m_merging)
        return;
    const DuplicatePair pair = m_pairs[std::size_t(index)];
    TfrmCompare compare(*m_session, pair.keep.clientId, pair.merge.clientId, true, this);
    // Swapped there, swapped here: the list shows the pair as the window does.
    connect(&compare, &TfrmCompare::swapped, this, [this] { swapCurrentPair(); });
    connect(&compare, &TfrmCompare::markedDifferent, this,
            [this, &compare] { dropMarkedPair(compare.keepId(), compare.mergeId()); });
    bool use = false;
    connect(&compare, &TfrmCompare::usePair, this, [&use] { use = true; });
    if (!compare.reload())
        return;
    compare.exec();
    if (use)
        btnUseClick();
}

void TfrmDuplicates::swapCurrentPair()
{
    const int index = currentPairIndex();
    if (index < 0 || isScanning() || m_merging)
        return;
    DuplicatePair& pair = m_pairs[std::size_t(index)];
    std::swap(pair.keep, pair.merge);
    const QString swapped = QString::fromLatin1(kSwappedReason);
    if (!pair.reasons.isEmpty() && pair.reasons.last() == swapped)
        pair.reasons.removeLast();
    else
        pair.reasons << swapped;
    showPairCells(index);
}

void TfrmDuplicates::markCurrentPair()
{
    const int index = currentPairIndex();
    if (index < 0 || !m_session || isScanning() || m_merging)
        return;
    const DuplicatePair pair = m_pairs[std::size_t(index)];
    if (askAndMarkDifferent(*m_session, pair.keep.clientId,
                            QStringLiteral("%1: %2").arg(pair.keep.clientId).arg(pair.keep.displayName()),
                            pair.merge.clientId,
                            QStringLiteral("%1: %2").arg(pair.merge.clientId).arg(pair.merge.displayName()), this))
        dropMarkedPair(pair.keep.clientId, pair.merge.clientId);
}

void TfrmDuplicates::dropMarkedPair(qint32 a, qint32 b)
{
    dropPairsWhere([&](const DuplicatePair& pair) {
        return (pair.keep.clientId == a && pair.merge.clientId == b)
            || (pair.keep.clientId == b && pair.merge.clientId == a);
    });
    m_status->setText(
        QStringLiteral("Clients %1 and %2 are marked as different people; the pair has left the list.").arg(a).arg(b));
}

void TfrmDuplicates::btnDifferentClick()
{
    if (!m_session || m_merging)
        return;
    TfrmDistinctPairs marks(*m_session, this);
    marks.reload();
    marks.exec();
}

void TfrmDuplicates::showPairMenu(const QPoint& at)
{
    const QModelIndex index = m_grid->indexAt(at);
    if (index.isValid())
        m_grid->setCurrentIndex(index);
    if (!currentPair())
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("mnuPair"));
    menu.addAction(m_actCompare);
    menu.addAction(m_actSwap);
    menu.addAction(m_actUse);
    menu.addSeparator();
    menu.addAction(m_actMark);
    menu.exec(m_grid->viewport()->mapToGlobal(at));
}

} // namespace kolvix

#include "DuplicatesWindow.moc"
