#include "Statement.h"

#include "Connection.h"
#include "DbError.h"
#include "TsqlAdapter.h"

#include <QSqlError>
#include <QSqlRecord>
#include <QSqlResult>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace kolvix {

namespace {

// On SQL Server the time-out belongs to the statement handle that prepare() allocated.
void setOdbcQueryTimeout(const QSqlQuery& query, int seconds)
{
    const QSqlResult* result = query.result();
    if (!result)
        return;
    const QVariant handle = result->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "SQLHANDLE") != 0)
        return;
    SQLHANDLE statement = *static_cast<const SQLHANDLE*>(handle.constData());
    if (statement)
        SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(qMax(0, seconds))),
                       SQL_IS_UINTEGER);
}

} // namespace

Statement::Statement(Connection& connection, const QString& tsql, int commandTimeout)
    : m_connection(connection)
    , m_query(connection.startStatement(tsql, commandTimeout))
{
    ParameterisedStatement statement = positionalParameters(connection.prepareStatementText(tsql));
    m_parameterNames = std::move(statement.occurrences);
    if (!m_query.prepare(statement.text))
        throw DbError(Connection::errorMessage(m_query.lastError()));
    if (connection.usesOdbc())
        setOdbcQueryTimeout(m_query, commandTimeout);
}

void Statement::bindParameters(const std::function<QVariant(const QString& name)>& valueOf)
{
    for (const QString& name : m_parameterNames)
        addValue(valueOf(name));
}

void Statement::addValue(const QVariant& value)
{
    m_query.addBindValue(m_connection.engineValue(value));
}

void Statement::execute()
{
    if (!m_query.exec())
        throw DbError(Connection::errorMessage(m_query.lastError()));
    m_columnNames.clear();
    const QSqlRecord record = m_query.record();
    for (int i = 0; i < record.count(); ++i)
        m_columnNames << record.fieldName(i);
}

int Statement::rowsAffected() const
{
    if (m_query.isSelect())
        return 0;
    return qMax(0, m_query.numRowsAffected());
}

bool Statement::next()
{
    return m_query.next();
}

void Statement::throwIfReadFailed() const
{
    if (m_query.lastError().type() != QSqlError::NoError)
        throw DbError(Connection::errorMessage(m_query.lastError()));
}

std::vector<QVariant> Statement::row() const
{
    const int columns = int(m_columnNames.size());
    std::vector<QVariant> values;
    values.reserve(size_t(columns));
    for (int i = 0; i < columns; ++i)
        values.push_back(m_query.isNull(i) ? QVariant() : m_query.value(i));
    return values;
}

} // namespace kolvix
