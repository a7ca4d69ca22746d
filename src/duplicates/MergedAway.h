#pragma once

#include <QSet>

namespace kolvix {

class Connection;

// The clients that earlier merges emptied: the From client of every merge whose Audit row
// stands as committed (UserName "MERGE", Action "Merge FROM > TO (...)", not marked
// " - reverted") and not undone since (no Audit row "Undo merge N: ..." for it). Their Client and
// Account rows stay behind after a merge, so the duplicate finder leaves them out rather than
// offer the same pair again; an undone merge gave its From client its rows back, so that client
// is a candidate again. Throws DbError with the client's message.
QSet<int> readMergedAwayClients(Connection& connection);

// The From client of a merge's Audit action; -1 when the action is not that of a merge that
// committed (another action, or one marked " - reverted").
int mergedAwayClientOf(const QString& action);

// The Audit id of the merge that an undo's Audit action ("Undo merge 41: 812 > 57 (...)") names;
// -1 for any other action.
int undoneMergeOf(const QString& action);

} // namespace kolvix
