#include "SearchQueryCursor.h"

#include "db/DbError.h"

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
    : m_statement(connection, query.sql(), commandTimeout)
{
    m_statement.bindParameters([&query](const QString& name) {
        const SearchParameter* parameter = query.parameter(name);
        return parameter ? parameter->value : QVariant();
    });
    m_statement.execute();
    m_columns = m_statement.columnNames();
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
    while (!m_atEnd && (count < 0 || read < count)) {
        if (!m_statement.next()) {
            m_atEnd = true;
            m_statement.throwIfReadFailed();
            m_statement.finish();
            break;
        }
        m_rows.push_back(m_statement.row());
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
