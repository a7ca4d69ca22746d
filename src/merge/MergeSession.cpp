#include "merge/MergeSession.h"

namespace kolvix {

MergeSession::MergeSession(Connection& connection)
    : conZelvan(connection)
    , cmd(connection, 60)
    , dsTemp(connection, 30)
    , dsAccount(connection, 30)
    , dsAudit(connection, 30)
{
    dsAccount.setSql(QStringLiteral("SELECT TOP 1 * FROM Account"));
    dsAudit.setSql(QStringLiteral("SELECT TOP 1 *\r\nFROM Audit"));
}

} // namespace kolvix
