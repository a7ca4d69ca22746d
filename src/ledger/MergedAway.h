#pragma once

#include <QDateTime>
#include <QHash>
#include <QSet>

namespace kolvix {

class Connection;

// A client that a merge emptied: the From client of a merge that committed and was not undone.
// Its Client and Account rows stay behind after the merge.
struct MergedAwayClient
{
    qint32 into = -1; // the To client of that merge
    int auditId = -1; // the merge's Audit row
    QDateTime when;
};

// The clients merged away, each with its newest such merge. A merge with a record counts when
// the record says it committed and was not undone; an older merge without one, when its Audit
// row stands as committed (not marked " - reverted") and no undo names it. Throws DbError with
// the client's message.
QHash<qint32, MergedAwayClient> readMergedAway(Connection& connection);
// Their ids: the duplicate finder leaves them out rather than offer the same pair again.
QSet<int> readMergedAwayClients(Connection& connection);

// Where a client merged away went at last: the To client of its merge, or, where that one was
// merged away too, the client that one went into, and so on.
qint32 finalClientOf(const QHash<qint32, MergedAwayClient>& mergedAway, qint32 client);

} // namespace kolvix
