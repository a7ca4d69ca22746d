#pragma once

#include <QSet>

namespace kolvix {

class Connection;

// The clients that earlier merges emptied: the From client of every merge whose Audit row
// stands as committed (UserName "MERGE", Action "Merge FROM > TO (...)", not marked
// " - reverted"). Their Client and Account rows stay behind after a merge, so the duplicate
// finder leaves them out rather than offer the same pair again. An undone merge gives its From
// client its rows back: once merges can be undone, such a merge is left out here, and its From
// client is a candidate again. Throws DbError with the client's message.
QSet<int> readMergedAwayClients(Connection& connection);

// The From client of a merge's Audit action; -1 when the action is not that of a merge that
// committed (another action, or one marked " - reverted").
int mergedAwayClientOf(const QString& action);

} // namespace kolvix
