#pragma once

#include <QString>
#include <QStringList>

namespace kolvix {

class Dataset;
class MergeSession;
struct ClientPair;

// Check 7 of the merge: finds pairs of contacts that the move would leave in conflict and,
// when any pair is not identical, shows the report of all pairs (on the session's dsTemp). True when they conflict.
bool contactsConflict(MergeSession& s, const ClientPair& clients);

// The parts of the check, on the current row of the conflict query.
bool contactsIdentical(const Dataset& row);
QString contactTypeText(const QString& type, const QString& description);
void addConflictSection(Dataset& rows, QStringList& report, const QString& reason, const QString& title);

// The conflict statement for the two clients.
QString contactConflictSql(const ClientPair& clients);

} // namespace kolvix
