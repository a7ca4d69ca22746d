#include "Command.h"

#include "Statement.h"

namespace kolvix {

int Command::execute()
{
    Statement statement(m_connection, m_sql, m_commandTimeout);
    statement.execute();
    return statement.rowsAffected();
}

} // namespace kolvix
