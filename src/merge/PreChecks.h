#pragma once

#include <QDate>
#include <QString>

namespace kolvix {

class Dataset;
class MergeSession;
class TaInfo;
struct ClientPair;

bool clientHasWpxEnabled(Dataset& dsTemp, qint32 fromClient);
bool clientIsPending(Dataset& dsTemp, qint32 fromClient);
// A password reset that is not activated and expires after the start of today.
bool clientHasPendingWpxPassword(Dataset& dsTemp, qint32 fromClient, const QDate& today = QDate::currentDate());
int countWpxLinks(Dataset& dsTemp, const QString& column, qint32 fromClient);
QString listWpxLinks(Dataset& dsTemp, qint32 fromClient);

// Checks 1 to 7 in order; at the first refusal logs its reason line, shows its message and
// returns false. A failing query of checks 3, 6 (the list) and 7 passes on.
bool runClientChecks(MergeSession& session, const ClientPair& clients);
// Checks 8 to 10 on the loaded account model; false when the merge is refused.
bool runAccountChecks(const TaInfo& info);

} // namespace kolvix
