#include "SearchResultModel.h"

#include "core/TextHelpers.h"
#include "db/DbError.h"

#include <QLocale>
#include <QPalette>

namespace kolvix {

SearchResultModel::SearchResultModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

SearchResultModel::~SearchResultModel() = default;

void SearchResultModel::setResult(std::unique_ptr<SearchQueryCursor> result, bool bounded)
{
    beginResetModel();
    m_result = std::move(result);
    m_currentRow = -1;
    if (m_result) {
        try {
            m_result->fetch(bounded ? -1 : kBatch);
        } catch (const DbError&) {
            // The rows read so far are shown; the search stays silent, as when it fails to open.
        }
    }
    endResetModel();
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
    return parent.isValid() || !m_result ? 0 : m_result->rowCount();
}

int SearchResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

bool SearchResultModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_result && !m_result->atEnd();
}

void SearchResultModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const int before = m_result->rowCount();
    try {
        m_result->fetch(kBatch);
    } catch (const DbError&) {
        // A failure while scrolling ends the result where it is.
    }
    const int after = m_result->rowCount();
    if (after > before) {
        beginInsertRows(QModelIndex(), before, after - 1);
        endInsertRows();
    }
}

QString SearchResultModel::columnText(int row, const QString& column) const
{
    const QVariant value = searchGridValue(*m_result, row, column, m_useFileNo);
    return value.isValid() ? value.toString() : QString();
}

QString SearchResultModel::cellText(int row, const QString& field) const
{
    if (!m_result || row < 0 || row >= m_result->rowCount())
        return QString();
    const QVariant value = searchGridValue(*m_result, row, field, m_useFileNo);
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
    if (!m_result || row < 0 || row >= m_result->rowCount())
        return -1;
    bool ok = false;
    const int id = m_result->value(row, m_result->columnIndex(QStringLiteral("ClientID"))).toInt(&ok);
    return ok ? id : -1;
}

bool SearchResultModel::isActive(int row) const
{
    return m_result && isActiveFlag(columnText(row, QStringLiteral("Active")));
}

bool SearchResultModel::isGroup(int row) const
{
    if (!m_result)
        return false;
    const QVariant& v = m_result->value(row, m_result->columnIndex(QStringLiteral("IsAGroup")));
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
    if (!isActive(row))
        return palette.color(QPalette::Active, QPalette::Dark);
    if (isGroup(row))
        return highlighted ? QColor(Qt::yellow) : QColor(Qt::blue);
    return QColor();
}

QVariant SearchResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_result || index.row() >= m_result->rowCount() || index.column() >= columnCount())
        return QVariant();
    const QString& field = m_columns[size_t(index.column())].field;
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), field);
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
