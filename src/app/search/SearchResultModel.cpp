#include "SearchResultModel.h"

#include "core/TextHelpers.h"
#include "db/DbError.h"

#include <QFont>
#include <QLocale>
#include <QPalette>

namespace kolvix {

SearchResultModel::SearchResultModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

SearchResultModel::~SearchResultModel() = default;

void SearchResultModel::replaceResult(std::unique_ptr<SearchQueryCursor> result,
                                      std::unique_ptr<SearchResultPages> pages)
{
    beginResetModel();
    m_result = std::move(result);
    m_pages = std::move(pages);
    m_currentRow = -1;
    if (m_result) {
        try {
            m_result->fetch(-1);
        } catch (const DbError&) {
            // The rows read so far are shown; the search stays silent, as when it fails to open.
        }
    }
    endResetModel();
}

void SearchResultModel::setResult(std::unique_ptr<SearchQueryCursor> result)
{
    replaceResult(std::move(result), nullptr);
}

void SearchResultModel::setPages(std::unique_ptr<SearchResultPages> pages)
{
    replaceResult(nullptr, std::move(pages));
}

void SearchResultModel::clear()
{
    replaceResult(nullptr, nullptr);
}

qint64 SearchResultModel::rowsRead() const
{
    return m_pages ? m_pages->rowsRead() : m_result ? m_result->rowCount() : 0;
}

const SearchQueryCursor* SearchResultModel::rowsOf(int row, int* rowInRows) const
{
    if (m_pages) {
        try {
            return m_pages->pageOf(row, rowInRows);
        } catch (const DbError&) {
            // A page that cannot be read shows empty; the grid asks again when it is shown again.
            return nullptr;
        }
    }
    if (!m_result || row < 0 || row >= m_result->rowCount())
        return nullptr;
    *rowInRows = row;
    return m_result.get();
}

void SearchResultModel::setColumns(std::vector<SearchGridColumn> columns)
{
    beginResetModel();
    m_columns = std::move(columns);
    endResetModel();
}

void SearchResultModel::setCurrentRow(int row)
{
    const int old = m_currentRow;
    m_currentRow = row;
    if (old >= 0 && old < rowCount())
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < rowCount())
        emit headerDataChanged(Qt::Vertical, row, row);
}

int SearchResultModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_pages ? m_pages->rowCount() : m_result ? m_result->rowCount() : 0;
}

int SearchResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QString SearchResultModel::columnText(int row, const QString& column) const
{
    int at = 0;
    const SearchQueryCursor* rows = rowsOf(row, &at);
    const QVariant value = rows ? searchGridValue(*rows, at, column, m_useFileNo) : QVariant();
    return value.isValid() ? value.toString() : QString();
}

QString SearchResultModel::cellText(int row, const QString& field) const
{
    int at = 0;
    const SearchQueryCursor* rows = rowsOf(row, &at);
    if (!rows)
        return QString();
    const QVariant value = searchGridValue(*rows, at, field, m_useFileNo);
    if (!value.isValid())
        return QString();
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime dateTime = value.toDateTime();
        const QLocale locale = QLocale::system();
        QString text = locale.toString(dateTime.date(), QLocale::ShortFormat);
        if (dateTime.time() != QTime(0, 0))
            text += u' ' + locale.toString(dateTime.time(), QLocale::ShortFormat);
        return text;
    }
    return value.toString();
}

int SearchResultModel::clientId(int row) const
{
    int at = 0;
    const SearchQueryCursor* rows = rowsOf(row, &at);
    if (!rows)
        return -1;
    bool ok = false;
    const int id = rows->value(at, rows->columnIndex(QStringLiteral("ClientID"))).toInt(&ok);
    return ok ? id : -1;
}

bool SearchResultModel::isActive(int row) const
{
    return isActiveFlag(columnText(row, QStringLiteral("Active")));
}

bool SearchResultModel::isGroup(int row) const
{
    int at = 0;
    const SearchQueryCursor* rows = rowsOf(row, &at);
    if (!rows)
        return false;
    const QVariant& v = rows->value(at, rows->columnIndex(QStringLiteral("IsAGroup")));
    if (!v.isValid() || v.isNull())
        return false;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    const QString text = v.toString().trimmed();
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok ? number != 0 : text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

QColor SearchResultModel::textColour(int row, bool highlighted, const QPalette& palette) const
{
    // Archived clients are grey; on the highlight, grey would hardly show, so the highlighted
    // row reads as every highlighted row does.
    if (!isActive(row))
        return palette.color(QPalette::Active, highlighted ? QPalette::HighlightedText : QPalette::Dark);
    if (isGroup(row))
        return highlighted ? QColor(Qt::yellow) : QColor(Qt::blue);
    return QColor();
}

SearchGridColumn SearchResultModel::mergedAwayColumn()
{
    return {QStringLiteral("MergedAway"), QStringLiteral("Merged away"), 16};
}

QVariant SearchResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    const QString& field = m_columns[size_t(index.column())].field;
    const auto mergedAway = m_mergedAway.constFind(clientId(index.row()));
    const bool away = mergedAway != m_mergedAway.cend();
    switch (role) {
    case Qt::DisplayRole:
        if (field == mergedAwayColumn().field)
            return away ? QStringLiteral("merged into %1").arg(mergedAway->into) : QString();
        return cellText(index.row(), field);
    case Qt::FontRole: {
        if (!away)
            return QVariant();
        QFont font;
        font.setItalic(true);
        return font;
    }
    case Qt::ToolTipRole:
        if (!away)
            return QVariant();
        return QStringLiteral("Client %1 was merged into %2 by merge %3 on %4: its records are with %2.")
            .arg(clientId(index.row()))
            .arg(mergedAway->into)
            .arg(mergedAway->auditId)
            .arg(mergedAway->when.toString(QStringLiteral("dd/MM/yyyy HH:mm")));
    default:
        return QVariant();
    }
}

QVariant SearchResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < columnCount() ? QVariant(m_columns[size_t(section)].title) : QVariant();
    return section == m_currentRow ? QStringLiteral("\u25B6") : QString();
}

} // namespace kolvix
