#include "duplicates/MergedAway.h"

#include "db/Connection.h"
#include "db/Statement.h"

#include <QHash>
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

int undoneMergeOf(const QString& action)
{
    static const QRegularExpression undo(QStringLiteral("^Undo merge (\\d+):"));
    const QRegularExpressionMatch match = undo.match(action);
    bool ok = false;
    const int merge = match.hasMatch() ? match.captured(1).toInt(&ok) : -1;
    return ok ? merge : -1;
}

QSet<int> readMergedAwayClients(Connection& connection)
{
    Statement query(connection,
                    QStringLiteral("SELECT AuditID, Action FROM Audit WHERE UserName = 'MERGE' AND (Action LIKE "
                                   "'Merge %' OR Action LIKE 'Undo merge %')"),
                    connection.commandTimeout());
    query.execute();
    QHash<int, int> fromClientOfMerge;
    QSet<int> undone;
    while (query.next()) {
        if (query.isNull(1))
            continue;
        const QString action = query.value(1).toString();
        const int client = mergedAwayClientOf(action);
        if (client >= 0)
            fromClientOfMerge.insert(query.value(0).toInt(), client);
        const int merge = undoneMergeOf(action);
        if (merge >= 0)
            undone.insert(merge);
    }
    query.throwIfReadFailed();
    QSet<int> clients;
    for (auto it = fromClientOfMerge.cbegin(); it != fromClientOfMerge.cend(); ++it) {
        if (!undone.contains(it.key()))
            clients.insert(it.value());
    }
    return clients;
}

} // namespace kolvix
