#include "SearchPatient.h"
#include "ui_SearchPatient.h"

#include "app/DisplayFonts.h"
#include "app/KolvixApplication.h"
#include "app/search/SearchResultModel.h"
#include "core/Log.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "ledger/MergedAway.h"
#include "search/SearchGrid.h"
#include "search/SearchQuery.h"
#include "search/SearchQueryCursor.h"
#include "search/SearchResultPages.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <exception>

namespace kolvix {

namespace {

// Paints each cell in its row's text colour, and shows a cell's whole text as a hint when the
// mouse rests on a cell too small for it; on a client merged away, where it went.
class SearchGridDelegate : public QStyledItemDelegate
{
public:
    SearchGridDelegate(SearchResultModel* model, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_model(model)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const bool highlighted = option->state & QStyle::State_Selected;
        const QColor colour = m_model->textColour(index.row(), highlighted, option->palette);
        if (colour.isValid()) {
            option->palette.setColor(QPalette::Text, colour);
            option->palette.setColor(QPalette::HighlightedText, colour);
        }
    }

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (event->type() != QEvent::ToolTip || !index.isValid())
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        const QString note = index.data(Qt::ToolTipRole).toString();
        if (!note.isEmpty()) {
            QToolTip::showText(event->globalPos(), note, view);
            return true;
        }
        const QString text = index.data().toString();
        const QRect needed = option.fontMetrics.boundingRect(option.rect, Qt::TextWordWrap, text);
        if (!text.isEmpty() && (needed.width() > option.rect.width() - 4 || needed.height() > option.rect.height()))
            QToolTip::showText(event->globalPos(), text, view);
        else
            QToolTip::hideText();
        return true;
    }

private:
    SearchResultModel* m_model;
};

// A picture for the Sounds Like button: two notes in the button's text colour, greyed while
// the button is disabled.
QPixmap notesPixmap(const QColor& colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(1.5, 10.5, 5.0, 4.0));
    painter.drawEllipse(QRectF(9.0, 9.0, 5.0, 4.0));
    painter.drawPolyline(QPolygonF({QPointF(6.0, 12.5), QPointF(6.0, 2.5), QPointF(13.5, 1.0), QPointF(13.5, 11.0)}));
    return pixmap;
}

QIcon soundsLikeIcon(const QWidget* widget)
{
    QIcon icon(notesPixmap(widget->palette().color(QPalette::Active, QPalette::ButtonText)));
    icon.addPixmap(notesPixmap(widget->palette().color(QPalette::Disabled, QPalette::ButtonText)), QIcon::Disabled);
    return icon;
}

// The style of the field list: a drop-down list that shows as many rows as the list asks for
// (maxVisibleItems) and scrolls the rest, where the application's style would show every item
// in a menu-like popup instead.
class DropDownListStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TfrmSearchPatient::TfrmSearchPatient(Connection& connection, bool useFileNo, UserInterface& userInterface,
                                     QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TfrmSearchPatient>())
    , m_connection(connection)
    , m_userInterface(userInterface)
    , m_useFileNo(useFileNo)
    , m_model(new SearchResultModel(this))
{
    ui->setupUi(this);
    // A system menu and a close box, no minimise or maximise box; resizable.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    ui->spSoundex->setIcon(soundsLikeIcon(ui->spSoundex));
    ui->edSearch->setMaxLength(kMaxSearchTextLength);
    auto* fieldListStyle = new DropDownListStyle;
    fieldListStyle->setParent(ui->cbFields);
    ui->cbFields->setStyle(fieldListStyle);
    // The list was made for the application's style, which scrolls with arrows and no bar.
    ui->cbFields->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    m_model->setUseFileNo(useFileNo);
    ui->grdSearch->setModel(m_model);
    ui->grdSearch->setItemDelegate(new SearchGridDelegate(m_model, ui->grdSearch));
    ui->grdSearch->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    ui->grdSearch->horizontalHeader()->setHighlightSections(false);
    ui->grdSearch->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->grdSearch->verticalHeader()->setDefaultSectionSize(ui->grdSearch->fontMetrics().height() + 4);
    ui->grdSearch->verticalHeader()->setMinimumWidth(ui->grdSearch->fontMetrics().horizontalAdvance(u'\u25B6') + 8);
    ui->grdSearch->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    ui->grdSearch->setMouseTracking(true);

    m_tmrSearch.setSingleShot(true);
    m_tmrSearch.setInterval(kTypingDelayMs);

    connect(&m_tmrSearch, &QTimer::timeout, this,
            [this] { runHandler(m_userInterface, [this] { tmrSearchTimer(); }); });
    connect(ui->edSearch, &QLineEdit::textChanged, this,
            [this] { runHandler(m_userInterface, [this] { edSearchChange(); }); });
    connect(ui->spSoundex, &QToolButton::clicked, this,
            [this] { runHandler(m_userInterface, [this] { spSoundexClick(); }); });
    connect(ui->cbFields, &QComboBox::currentIndexChanged, this,
            [this] { runHandler(m_userInterface, [this] { cbFieldsChange(); }); });
    connectOptionHandlers();
    connect(ui->btnOK, &QPushButton::clicked, this, [this] { runHandler(m_userInterface, [this] { btnOKClick(); }); });
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->grdSearch, &QTableView::doubleClicked, this,
            [this] { runHandler(m_userInterface, [this] { btnOKClick(); }); });
    connect(ui->grdSearch->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { m_model->setCurrentRow(current.isValid() ? current.row() : -1); });
    ui->edSearch->installEventFilter(this);

    runHandler(m_userInterface, [this] { FormCreate(); });
}

TfrmSearchPatient::~TfrmSearchPatient()
{
    setBusy(false);
}

QLineEdit* TfrmSearchPatient::edSearch() const
{
    return ui->edSearch;
}

void TfrmSearchPatient::connectOptionHandlers()
{
    m_inactiveClicked = connect(ui->cbInactive, &QCheckBox::toggled, this,
                                [this] { runHandler(m_userInterface, [this] { cbInactiveClick(); }); });
    m_allClicked = connect(ui->cbAll, &QCheckBox::toggled, this,
                           [this] { runHandler(m_userInterface, [this] { cbAllClick(); }); });
}

void TfrmSearchPatient::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfrmSearchPatient::FormCreate()
{
    ApplyDisplayFonts(this);
    // The clients that merges emptied are shown as such, so that nobody picks one by mistake.
    // Without the record (a database that cannot be read so) the search goes on without it.
    try {
        m_model->setMergedAway(readMergedAway(m_connection));
    } catch (const std::exception& e) {
        writeLogFmt(QStringLiteral("search: the clients merged away could not be read: %s"), {exceptionMessage(e)});
    }
    ArrangeColumns();
    const QSignalBlocker blocker(ui->cbFields);
    ui->cbFields->setCurrentIndex(int(SearchField::Surname));
}

void TfrmSearchPatient::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        if (QScreen* screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    runHandler(m_userInterface, [this] { FormShow(); });
}

void TfrmSearchPatient::FormShow()
{
    setBusy(true);
    struct NormalCursor
    {
        TfrmSearchPatient* dialog;
        ~NormalCursor() { dialog->setBusy(false); }
    } normalCursor {this};
    ui->edSearch->clear();
    ui->edSearch->setFocus();
    ui->btnOK->setEnabled(false);
    m_tmrSearch.stop();
    DoSearch(ui->cbFields->currentText(), ui->edSearch->text(), false);
    openClientCount();
    ArrangeColumns();
}

void TfrmSearchPatient::hideEvent(QHideEvent* event)
{
    FormHide();
    QDialog::hideEvent(event);
}

void TfrmSearchPatient::FormHide()
{
    m_tmrSearch.stop();
    // The boxes are reset with their handlers detached, so that no search runs.
    disconnect(m_inactiveClicked);
    disconnect(m_allClicked);
    ui->cbAll->setChecked(false);
    ui->cbInactive->setChecked(false);
    connectOptionHandlers();
}

void TfrmSearchPatient::edSearchChange()
{
    m_tmrSearch.start();
    const int field = ui->cbFields->currentIndex();
    ui->spSoundex->setEnabled(!ui->edSearch->text().isEmpty()
                              && (field == int(SearchField::Surname) || field == int(SearchField::Name)));
}

void TfrmSearchPatient::tmrSearchTimer()
{
    ui->btnOK->setEnabled(false);
    m_tmrSearch.stop();
    DoSearch(ui->cbFields->currentText(), ui->edSearch->text(), false);
}

void TfrmSearchPatient::spSoundexClick()
{
    DoSearch(ui->cbFields->currentText(), ui->edSearch->text(), true);
}

void TfrmSearchPatient::cbFieldsChange()
{
    const bool wasEmpty = ui->edSearch->text().isEmpty();
    ui->edSearch->clear();
    ui->edSearch->setFocus();
    ArrangeColumns();
    // Clearing a text starts the search for the new field; an empty text does not change, so
    // its search (every client sorted by the new field, with Show All) is started here.
    if (wasEmpty)
        edSearchChange();
}

void TfrmSearchPatient::cbInactiveClick()
{
    ui->btnOK->setEnabled(false);
    m_tmrSearch.stop();
    // The count runs while no result is open: on SQL Server a result that is still being read
    // (Show All) keeps the connection busy for any other statement. A failing count is reported
    // after the search has run.
    m_model->clear();
    std::exception_ptr countFailure;
    try {
        openClientCount();
    } catch (...) {
        countFailure = std::current_exception();
    }
    DoSearch(ui->cbFields->currentText(), ui->edSearch->text(), false);
    if (countFailure)
        std::rethrow_exception(countFailure);
}

void TfrmSearchPatient::cbAllClick()
{
    ui->btnOK->setEnabled(false);
    m_tmrSearch.stop();
    DoSearch(ui->cbFields->currentText(), ui->edSearch->text(), false);
}

void TfrmSearchPatient::btnOKClick()
{
    if (!ui->btnOK->isEnabled())
        return;
    ui->btnOK->setEnabled(false);
    accept();
    ui->btnOK->setEnabled(true);
}

void TfrmSearchPatient::DoSearch(const QString& caption, const QString& text, bool soundsLike)
{
    SearchRequest request;
    request.field = std::max(0, searchFieldIndex(caption));
    request.text = text;
    request.soundsLike = soundsLike;
    request.showAll = ui->cbAll->isChecked();
    request.showArchived = ui->cbInactive->isChecked();
    request.onlyWithEmail = OnlyWithEmail;
    request.onlyWithMobile = OnlyWithMobile;
    request.useFileNo = m_useFileNo;
    const SearchQuery query = buildSearchQuery(request);

    // The grid is frozen while the result is replaced and repaints once, after the run.
    QTableView* grid = ui->grdSearch;
    grid->setUpdatesEnabled(false);
    m_model->clear();
    bool opened = false;
    try {
        if (query.top >= 0)
            m_model->setResult(std::make_unique<SearchQueryCursor>(m_connection, query));
        else
            m_model->setPages(std::make_unique<SearchResultPages>(m_connection, query, rowsListed(query)));
        opened = true;
    } catch (const std::exception&) {
        // A failed search leaves the grid empty, silently.
    }
    setBusy(false);
    grid->setUpdatesEnabled(true);
    QScrollBar* scrollBar = grid->verticalScrollBar();
    if (scrollBar->isVisible()) {
        scrollBar->hide();
        scrollBar->show();
    }
    if (opened)
        qrySearchAfterOpen();
    emit searchFinished();
}

void TfrmSearchPatient::qrySearchAfterOpen()
{
    const bool rows = m_model->rowCount() > 0;
    ui->btnOK->setEnabled(rows);
    if (rows) {
        ui->grdSearch->setCurrentIndex(m_model->index(0, 0));
        ui->grdSearch->selectRow(0);
    }
}

void TfrmSearchPatient::openClientCount()
{
    m_clientCount.reset();
    Dataset qryRecCount(m_connection);
    qryRecCount.setSql(clientCountLines(ui->cbInactive->isChecked()).join(QStringLiteral("\r\n")));
    qryRecCount.open();
    if (qryRecCount.isEmpty())
        return;
    m_clientCount = qryRecCount.field(QStringLiteral("Total")).asInteger();
    m_clientCountArchived = ui->cbInactive->isChecked();
    ui->lbTotalPatients->setText(QStringLiteral("Total Patients %1").arg(*m_clientCount));
}

int TfrmSearchPatient::rowsListed(const SearchQuery& query)
{
    // Every client: as many rows as "Total Patients" says.
    if (query.listsEveryClient && m_clientCount && m_clientCountArchived == ui->cbInactive->isChecked())
        return *m_clientCount;
    Dataset counted(m_connection);
    const SearchQuery count = searchCountQuery(query);
    counted.setSql(count.sql());
    for (const SearchParameter& parameter : count.parameters)
        counted.setParam(parameter.name, parameter.value);
    counted.open();
    return counted.isEmpty() ? 0 : counted.field(QStringLiteral("Total")).asInteger();
}

void TfrmSearchPatient::ArrangeColumns()
{
    const int field = ui->cbFields->currentIndex();
    std::vector<SearchGridColumn> arranged = arrangeSearchGridColumns(field);
    if (m_model->hasMergedAway())
        arranged.push_back(SearchResultModel::mergedAwayColumn());
    m_model->setColumns(arranged);
    const QFontMetrics cell(ui->grdSearch->font());
    const QFontMetrics title(ui->grdSearch->horizontalHeader()->font());
    const int zero = cell.horizontalAdvance(u'0');
    const auto& columns = m_model->columns();
    for (int i = 0; i < int(columns.size()); ++i) {
        const int width = std::max(columns[size_t(i)].width * zero + 4,
                                   title.horizontalAdvance(columns[size_t(i)].title) + 4 + 2 * 4);
        ui->grdSearch->setColumnWidth(i, width);
    }
    if (m_model->rowCount() > 0) {
        ui->grdSearch->setCurrentIndex(m_model->index(0, 0));
        ui->grdSearch->selectRow(0);
    }
}

int TfrmSearchPatient::highlightedClientId() const
{
    const QModelIndex current = ui->grdSearch->currentIndex();
    return current.isValid() ? m_model->clientId(current.row()) : -1;
}

void TfrmSearchPatient::moveHighlight(int step)
{
    const QModelIndex current = ui->grdSearch->currentIndex();
    int row = current.isValid() ? current.row() + step : 0;
    row = std::clamp(row, 0, m_model->rowCount() - 1);
    if (row < 0)
        return;
    ui->grdSearch->setCurrentIndex(m_model->index(row, current.isValid() ? current.column() : 0));
    ui->grdSearch->selectRow(row);
}

bool TfrmSearchPatient::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->edSearch && event->type() == QEvent::KeyPress && m_model->isOpen()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            if (m_model->rowCount() > 0)
                moveHighlight(key == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

int SelectPatient(Connection& connection, bool useFileNo, const QString& initialText, UserInterface& ui,
                  QWidget* parent)
{
    TfrmSearchPatient dialog(connection, useFileNo, ui, parent);
    dialog.OnlyWithEmail = false;
    dialog.OnlyWithMobile = false;
    dialog.edSearch()->setText(initialText);
    if (dialog.exec() != QDialog::Accepted || dialog.model()->rowCount() == 0)
        return -1;
    return dialog.highlightedClientId();
}

} // namespace kolvix
