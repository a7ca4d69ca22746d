#include "duplicates/MergedAway.h"

#include "db/Connection.h"
#include "db/Statement.h"

#include <QRegularExpression>

namespace kolvix {

int mergedAwayClientOf(const QString& action)
{
    // As the merge writes it: "Merge 812 > 57 (Sample, One > Sample, Two)", cut to the column's
    // 100 characters; a rolled-back attempt ends in " - reverted".
    static const QRegularExpression merge(QStringLiteral("^Merge (\\d+) > \\d+"));
    if (action.endsWith(QLatin1String(" - reverted")))
        return -1;
    const QRegularExpressionMatch match = merge.match(action);
    bool ok = false;
    const int client = match.hasMatch() ? match.captured(1).toInt(&ok) : -1;
    return ok ? client : -1;
}

QSet<int> readMergedAwayClients(Connection& connection)
{
    Statement query(connection,
                    QStringLiteral("SELECT Action FROM Audit WHERE UserName = 'MERGE' AND Action LIKE 'Merge %'"),
                    connection.commandTimeout());
    query.execute();
    QSet<int> clients;
    while (query.next()) {
        const int client = query.isNull(0) ? -1 : mergedAwayClientOf(query.value(0).toString());
        if (client >= 0)
            clients.insert(client);
    }
    query.throwIfReadFailed();
    return clients;
}

} // namespace kolvix
