#include "SearchQueryCursor.h"

#include "db/Connection.h"
#include "db/DbError.h"

#include <QSqlError>
#include <QSqlRecord>

namespace kolvix {

const QStringList& searchResultColumns()
{
    static const QStringList columns {
        QStringLiteral("ClientID"),         QStringLiteral("Surname"),      QStringLiteral("Name"),
        QStringLiteral("PreferredName"),    QStringLiteral("Practitioner"), QStringLiteral("Address"),
        QStringLiteral("HomePhone"),        QStringLiteral("DateOfBirth"),  QStringLiteral("FileNo"),
        QStringLiteral("Occupation"),       QStringLiteral("Email"),        QStringLiteral("Mobile"),
        QStringLiteral("WorkPhone"),        QStringLiteral("ClaimNumber"),  QStringLiteral("AccountID"),
        QStringLiteral("IsAGroup"),         QStringLiteral("Active"),       QStringLiteral("BPayRefNo"),
        QStringLiteral("ShortDescription"),
    };
    return columns;
}

SearchQueryCursor::SearchQueryCursor(Connection& connection, const SearchQuery& query, int commandTimeout)
{
    QStringList occurrences;
    m_query = connection.prepareQuery(query.sql(), commandTimeout, &occurrences);
    for (const QString& name : occurrences) {
        const SearchParameter* parameter = query.parameter(name);
        m_query.addBindValue(connection.engineValue(parameter ? parameter->value : QVariant()));
    }
    if (!m_query.exec())
        throw DbError(Connection::errorMessage(m_query.lastError()));
    const QSqlRecord record = m_query.record();
    for (int i = 0; i < record.count(); ++i)
        m_columns << record.fieldName(i);
    for (const QString& column : searchResultColumns())
        if (columnIndex(column) < 0)
            throw DbError(QStringLiteral("Field '%1' not found").arg(column));
}

int SearchQueryCursor::columnIndex(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int SearchQueryCursor::fetch(int count)
{
    int read = 0;
    const int columns = int(m_columns.size());
    while (!m_atEnd && (count < 0 || read < count)) {
        if (!m_query.next()) {
            m_atEnd = true;
            if (m_query.lastError().type() != QSqlError::NoError)
                throw DbError(Connection::errorMessage(m_query.lastError()));
            m_query.finish();
            break;
        }
        std::vector<QVariant> row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i)
            row.push_back(m_query.isNull(i) ? QVariant() : m_query.value(i));
        m_rows.push_back(std::move(row));
        ++read;
    }
    return read;
}

const QVariant& SearchQueryCursor::value(int row, int column) const
{
    static const QVariant null;
    if (row < 0 || row >= rowCount() || column < 0 || column >= int(m_columns.size()))
        return null;
    return m_rows[size_t(row)][size_t(column)];
}

} // namespace kolvix
