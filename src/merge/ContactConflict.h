#pragma once

#include <QString>
#include <QStringList>

namespace kolvix {

class Dataset;
struct ClientPair;

// Check 7 of the merge: finds pairs of contacts that the move would leave in conflict and,
// when any pair is not identical, shows the report of all pairs. True when they conflict.
bool contactsConflict(Dataset& dsTemp, const ClientPair& clients);

// The parts of the check, on the current row of the conflict query.
bool contactsIdentical(const Dataset& row);
QString contactTypeText(const QString& type, const QString& description);
void addConflictSection(Dataset& rows, QStringList& report, const QString& reason, const QString& title);

// The conflict statement for the two clients.
QString contactConflictSql(const ClientPair& clients);

} // namespace kolvix
