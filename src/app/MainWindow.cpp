#include "app/MainWindow.h"

#include "app/CaptionFit.h"
#include "app/DisplayFonts.h"
#include "app/FixedSizeWindow.h"
#include "app/KolvixApplication.h"
#include "app/StatisticsPane.h"
#include "app/accounts/EditAccounts.h"
#include "app/compare/CompareWindow.h"
#include "app/duplicates/DuplicatesWindow.h"
#include "app/history/MergeHistoryWindow.h"
#include "app/search/SearchPatient.h"
#include "core/Format.h"
#include "core/TextHelpers.h"
#include "core/UserInterface.h"
#include "merge/BatchMerge.h"
#include "merge/MergeProcedure.h"
#include "merge/Runners.h"
#include "merge/Statistics.h"
#include "settings/UtilityConnect.h"
#include "ui_MainWindow.h"

#include <QFontDatabase>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QStyle>
#include <iterator>

namespace kolvix {

namespace {

const char* const kCollectingStatistics = "collecting statistics...";

// A magnifying glass, for when neither the icon theme nor the style offers a search picture.
QIcon drawnSearchIcon(const QColor& colour)
{
    QIcon icon;
    for (int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        QPen pen(colour, 1.6 * unit);
        painter.setPen(pen);
        painter.drawEllipse(QRectF(2 * unit, 2 * unit, 8 * unit, 8 * unit));
        pen.setWidthF(2.6 * unit);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.drawLine(QPointF(9.5 * unit, 9.5 * unit), QPointF(14 * unit, 14 * unit));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon searchIcon(const QWidget* widget)
{
    QIcon icon = QIcon::fromTheme(QStringLiteral("edit-find"));
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("system-search"));
    if (icon.isNull())
        icon = drawnSearchIcon(widget->palette().color(QPalette::ButtonText));
    return icon;
}

// The counter of timDrawButtons: how many delayed repaints have run since the last key.
int gDrawButtonsCount = 0;

} // namespace

void ApplyStatisticsPaneFont(QWidget* pane, const QStringList& installedFamilies)
{
    struct Candidate
    {
        const char* family;
        int pointSize;
    };
    const Candidate candidates[] = {{"Courier New", 10}, {"Consolas", 10}, {"Hasklig", 11}};
    for (const Candidate& candidate : candidates) {
        const QString family = QString::fromLatin1(candidate.family);
        if (!installedFamilies.contains(family, Qt::CaseInsensitive))
            continue;
        QFont font = pane->font();
        font.setFamily(family);
        font.setStyleHint(QFont::TypeWriter);
        font.setPointSize(candidate.pointSize);
        pane->setFont(font);
    }
}

QString clientCaption(qint32 clientID, const QString& surname, const QString& name, int maxLength)
{
    return Format(QStringLiteral("%d: %s"), {qint64(clientID), displayName(surname, name)}).left(maxLength);
}

TfrmMain::TfrmMain(UserInterface& userInterface, QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , session(conZelvan, userInterface)
    , dsFrom(conZelvan, 120)
    , dsTo(conZelvan, 120)
    , query(conZelvan, 120)
    , ui(std::make_unique<Ui::TfrmMain>())
{
    ui->setupUi(this);
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    setFixedSize(505, 469);

    // The client captions are shown on the button face and never typed into.
    for (QLineEdit* edit : {ui->edtFrom, ui->edtTo}) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Active, QPalette::Button));
        edit->setPalette(palette);
        edit->installEventFilter(this);
    }
    for (QPushButton* button : {ui->btnSearchFrom, ui->btnSearchTo}) {
        button->setIcon(searchIcon(button));
        button->setIconSize(QSize(16, 16));
    }

    dsFrom.setSql(QString::fromLatin1(kClientStatement));
    dsTo.setSql(QString::fromLatin1(kClientStatement));
    query.setSql(clientCountStatement());

    m_timUpdate.setInterval(100);
    m_timDrawButtons.setInterval(100);
    connect(&m_timUpdate, &QTimer::timeout, this, [this] { runHandler(session.ui, [this] { timUpdateTimer(); }); });
    connect(&m_timDrawButtons, &QTimer::timeout, this,
            [this] { runHandler(session.ui, [this] { timDrawButtonsTimer(); }); });
    connect(ui->btnSearchFrom, &QPushButton::clicked, this,
            [this] { runHandler(session.ui, [this] { btnSearchFromClick(); }); });
    connect(ui->btnSearchTo, &QPushButton::clicked, this,
            [this] { runHandler(session.ui, [this] { btnSearchToClick(); }); });
    connect(ui->btnMerge, &QPushButton::clicked, this, [this] { runHandler(session.ui, [this] { btnMergeClick(); }); });
    connect(ui->btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(ui->btnDuplicates, &QPushButton::clicked, this,
            [this] { runHandler(session.ui, [this] { btnDuplicatesClick(); }); });
    connect(ui->btnHistory, &QPushButton::clicked, this,
            [this] { runHandler(session.ui, [this] { btnHistoryClick(); }); });
    connect(ui->btnCompare, &QPushButton::clicked, this,
            [this] { runHandler(session.ui, [this] { btnCompareClick(); }); });

    // Key preview: the window sees every key before the control that has the focus.
    qApp->installEventFilter(this);

    // As a window's creation handler: a failure is shown and the window is still created.
    runHandler(session.ui, [this] { FormCreate(); });
}

TfrmMain::~TfrmMain()
{
    qApp->removeEventFilter(this);
}

bool TfrmMain::terminateRequested() const
{
    return m_terminateRequested;
}

void TfrmMain::FormCreate()
{
    ApplyDisplayFonts(this);
    ApplyStatisticsPaneFont(ui->memResults, QFontDatabase::families());
    // Where the font in use cannot hold a caption in its designed width, that control grows
    // and the window with it; with the designed fonts the layout stays as designed.
    widenToFitCaptions({ui->Label1, ui->Label2});
    widenToFitCaptions({ui->btnOk, ui->btnMerge});
    // The box's title sits on its frame line, so that the pane inside keeps its designed place
    // below the title in every style (set after the fonts, which the style sheet keeps).
    ui->GroupBox1->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px; padding: 0 2px; }"));

    // The column cache, the account model and the statistics list live in the session and
    // in this window from their construction on.
    const ConnectResult connected = openMergeSession(session);
    if (connected.opened)
        openQuery();
    m_terminateRequested = !connected.opened || connected.terminate;
}

void TfrmMain::openQuery()
{
    // The master link: the count query follows the From client (none yet: null).
    query.close();
    if (dsFrom.isOpen() && !dsFrom.isEmpty())
        query.setParam(QStringLiteral("ClientID"), dsFrom.field(QStringLiteral("ClientID")).asInteger());
    else
        query.setParam(QStringLiteral("ClientID"), QVariant(QMetaType::fromType<int>()));
    query.open();
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    announceFixedSize(this);
    if (m_centred)
        return;
    m_centred = true;
    // The window opens on the Move From button, ready for the keyboard: the focus shows on it
    // at once, as it does for a keyboard user, not only after the first Tab.
    setAttribute(Qt::WA_KeyboardFocusChange);
    prepareStatisticsPane(ui->memResults);
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TfrmMain::btnOkClick()
{
    close();
}

void TfrmMain::btnSearchFromClick()
{
    UseFileNo = doADOQuery(session.ui, session.dsTemp, QStringLiteral("SELECT [UseFileNo] FROM [SystemData]"), false);
    const qint32 id = SelectPatient();
    if (id < 0)
        return;
    chooseFromClient(id);
}

void TfrmMain::btnSearchToClick()
{
    const qint32 id = SelectPatient();
    if (id < 0)
        return;
    chooseToClient(id);
}

qint32 TfrmMain::SelectPatient()
{
    return kolvix::SelectPatient(conZelvan, UseFileNo, QString(), session.ui, this);
}

void TfrmMain::chooseFromClient(qint32 id)
{
    dsFrom.close();
    dsFrom.setParam(QStringLiteral("id"), id);
    dsFrom.open();
    dsFromAfterOpen();
    openQuery();

    ui->memResults->clear();
    ui->memResults->appendPlainText(QString::fromLatin1(kCollectingStatistics));
    m_timUpdateTag = id;
    m_timUpdate.start();
}

void TfrmMain::chooseToClient(qint32 id)
{
    dsTo.close();
    dsTo.setParam(QStringLiteral("id"), id);
    dsTo.open();
    dsToAfterOpen();
}

namespace {

// The calculated caption of an open client dataset; empty when the client does not exist.
QString fullCaption(const Dataset& dataset, int maxLength)
{
    if (dataset.isEmpty())
        return QString();
    return clientCaption(dataset.field(QStringLiteral("ClientID")).asInteger(),
                         dataset.field(QStringLiteral("Surname")).asString(),
                         dataset.field(QStringLiteral("Name")).asString(), maxLength);
}

} // namespace

void TfrmMain::dsFromAfterOpen()
{
    showFilledText(ui->edtFrom, fullCaption(dsFrom, 40));
    ui->btnMerge->setEnabled(dsFrom.isOpen() && dsTo.isOpen());
    ui->btnCompare->setEnabled(bothClientsChosen());
}

void TfrmMain::dsToAfterOpen()
{
    showFilledText(ui->edtTo, fullCaption(dsTo, 50));
    ui->btnMerge->setEnabled(dsFrom.isOpen() && dsTo.isOpen());
    ui->btnCompare->setEnabled(bothClientsChosen());
}

void TfrmMain::timUpdateTimer()
{
    m_timUpdate.stop();
    ui->memResults->clear();
    // Filled in place: when a count fails, the rows counted before it stay in the list and
    // the pane stays empty.
    collectStatistics(session.dsTemp, session.mem, m_timUpdateTag, statisticsList);
    ui->memResults->setPlainText(statisticsLines(statisticsList).join(QLatin1Char('\n')));
}

void TfrmMain::btnDuplicatesClick()
{
    if (!m_duplicates) {
        // The scan reads on a connection of its own, with this window's settings.
        m_duplicates = new TfrmDuplicates(conZelvan.connectionString(), conZelvan.commandTimeout(),
                                          conZelvan.connectTimeout(), session.ui, this);
        connect(m_duplicates, &TfrmDuplicates::pairChosen, this, [this](qint32 moveFrom, qint32 moveTo) {
            runHandler(session.ui, [&] {
                // As choosing the two clients by search does.
                chooseFromClient(moveFrom);
                chooseToClient(moveTo);
                raise();
                activateWindow();
            });
        });
        // Ticked pairs are merged on this window's session, as the Merge button merges.
        m_duplicates->setPairMerger([this](const std::vector<BatchPair>& pairs, const BatchOptions& options) {
            return mergePairs(session, pairs, options);
        });
        connect(m_duplicates, &TfrmDuplicates::pairsMerged, this,
                [this] { runHandler(session.ui, [this] { refreshClients(); }); });
        // Its Compare window and the marks of different people read and write on this session.
        m_duplicates->setSession(&session);
    }
    if (m_duplicates->isVisible()) {
        m_duplicates->raise();
        m_duplicates->activateWindow();
        return;
    }
    m_duplicates->show();
    m_duplicates->startScan();
}

void TfrmMain::btnHistoryClick()
{
    TfrmMergeHistory history(session, this);
    connect(&history, &TfrmMergeHistory::undoAttempted, this,
            [this] { runHandler(session.ui, [this] { refreshClients(); }); });
    history.reload();
    history.exec();
}

bool TfrmMain::bothClientsChosen() const
{
    return dsFrom.isOpen() && !dsFrom.isEmpty() && dsTo.isOpen() && !dsTo.isEmpty();
}

void TfrmMain::btnCompareClick()
{
    if (!bothClientsChosen())
        return;
    TfrmCompare compare(session, clientOf(dsTo).id, clientOf(dsFrom).id, false, this);
    connect(&compare, &TfrmCompare::markedDifferent, this, [this, &compare] {
        if (m_duplicates)
            m_duplicates->dropMarkedPair(compare.keepId(), compare.mergeId());
    });
    if (compare.reload())
        compare.exec();
}

void TfrmMain::refreshClients()
{
    if (dsFrom.isOpen() && !dsFrom.isEmpty())
        chooseFromClient(clientOf(dsFrom).id);
    else
        openQuery();
}

void TfrmMain::btnMergeClick()
{
    const MergeClient from = clientOf(dsFrom);
    // Whatever became of the attempt (merged, refused, cancelled, failed), the From client is
    // chosen again and its statistics collected anew, so that the pane shows what it holds now
    // and nobody reads the counts of before as still to be moved.
    try {
        mergeChosenClients(from);
    } catch (...) {
        try {
            chooseFromClient(from.id);
        } catch (...) {
            // The failure of the merge is what the user is shown.
        }
        throw;
    }
    chooseFromClient(from.id);
}

void TfrmMain::mergeChosenClients(const MergeClient& from)
{
    MergeOptions options;
    options.afterOutcome = [this] { openQuery(); };
    const std::unique_ptr<MergePlan> plan = planMerge(session, from, clientOf(dsTo), options);
    if (!plan)
        return;
    for (const QString& notice : plan->notices)
        session.ui.showInfo(notice);
    if (!plan->rowsOnMissingAccounts.empty())
        session.ui.showInfo(
            QStringLiteral("These rows of the Move From client will not be moved; they stay with it:\n\n%1")
                .arg(notMovedLines(plan->rowsOnMissingAccounts).join(QLatin1Char('\n'))));
    if (!ExecuteAccountMerging(plan->accounts, session.ui)) {
        cancelMerge(*plan);
        return;
    }
    if (executeMerge(session, *plan) == MergeOutcome::Merged && m_duplicates)
        m_duplicates->dropClientsMergedAway({from.id});
}

void TfrmMain::edtFromEnter()
{
    ui->btnSearchFrom->setFocus();
}

void TfrmMain::edtToEnter()
{
    ui->btnSearchTo->setFocus();
}

void TfrmMain::repaintButtons()
{
    ui->btnOk->repaint();
    ui->btnMerge->repaint();
}

void TfrmMain::FormKeyDown(const QKeyEvent& event)
{
    if (event.key() != Qt::Key_Alt && !(event.modifiers() & Qt::AltModifier))
        return;
    repaintButtons();
    gDrawButtonsCount = 0;
    m_timDrawButtons.start();
}

void TfrmMain::timDrawButtonsTimer()
{
    m_timDrawButtons.stop();
    ++gDrawButtonsCount;
    repaintButtons();
    if (gDrawButtonsCount < 2)
        m_timDrawButtons.start();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && (watched == ui->edtFrom || watched == ui->edtTo)) {
        auto* edit = static_cast<QLineEdit*>(watched);
        if (edit == ui->edtFrom)
            edtFromEnter();
        else
            edtToEnter();
        // The edit never keeps the focus: it does not see the focus arrive either, so that it
        // selects nothing (as it would when tabbed into) and keeps showing the start of its text.
        edit->deselect();
        edit->setCursorPosition(0);
        return true;
    }
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        // Seen once per key: on its way to the focused control of this window.
        auto* widget = static_cast<QWidget*>(watched);
        QWidget* focus = QApplication::focusWidget();
        if (widget->window() == this && (widget == focus || (focus == nullptr && widget == this))) {
            const auto& key = *static_cast<QKeyEvent*>(event);
            FormKeyDown(key);
            if (pressFocusedButton(key, focus))
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TfrmMain::pressFocusedButton(const QKeyEvent& event, QWidget* focus)
{
    // Enter (and the keypad's Enter) presses the push button that has the focus, as Space does;
    // the window has no default button.
    const bool enter = event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    auto* button = qobject_cast<QPushButton*>(focus);
    if (!enter || modifiers != Qt::NoModifier || !button || !button->isEnabled() || button->window() != this)
        return false;
    if (!event.isAutoRepeat())
        button->click();
    return true;
}

} // namespace kolvix
