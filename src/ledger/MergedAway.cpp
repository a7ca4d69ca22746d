#include "ledger/MergedAway.h"

#include "ledger/MergeHistory.h"

namespace kolvix {

QHash<qint32, MergedAwayClient> readMergedAway(Connection& connection)
{
    QHash<qint32, MergedAwayClient> clients;
    // Newest first: the first merge of a client is its newest.
    for (const MergeHistoryEntry& entry : readMergeHistory(connection)) {
        if (entry.mergedAway() && entry.from >= 0 && !clients.contains(entry.from))
            clients.insert(entry.from, {entry.to, entry.auditId, entry.when});
    }
    return clients;
}

QSet<int> readMergedAwayClients(Connection& connection)
{
    const QHash<qint32, MergedAwayClient> clients = readMergedAway(connection);
    return QSet<int>(clients.keyBegin(), clients.keyEnd());
}

qint32 finalClientOf(const QHash<qint32, MergedAwayClient>& mergedAway, qint32 client)
{
    // A chain of merges has no loop (a client merged away cannot be merged into), but the
    // records of older tools are not known: no client is visited twice.
    QSet<qint32> seen;
    for (auto at = mergedAway.constFind(client); at != mergedAway.cend() && !seen.contains(client);
         at = mergedAway.constFind(client)) {
        seen.insert(client);
        client = at->into;
    }
    return client;
}

} // namespace kolvix
