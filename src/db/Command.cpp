#include "Command.h"

#include "Connection.h"
#include "DbError.h"

#include <QSqlError>
#include <QSqlQuery>

namespace kolvix {

int Command::execute()
{
    QSqlQuery query = m_connection.prepareQuery(m_sql, m_commandTimeout);
    if (!query.exec())
        throw DbError(Connection::errorMessage(query.lastError()));
    if (query.isSelect())
        return 0;
    return qMax(0, query.numRowsAffected());
}

} // namespace kolvix
