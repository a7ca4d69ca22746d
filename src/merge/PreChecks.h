#pragma once

#include <QDate>
#include <QString>

namespace kolvix {

class MergeSession;
class TaInfo;
class UserInterface;
struct ClientPair;

// The checks' queries run on the session's dsTemp; their failures are shown by its interface.
bool clientHasWpxEnabled(MergeSession& s, qint32 fromClient);
bool clientIsPending(MergeSession& s, qint32 fromClient);
// A password reset that is not activated and expires after the start of today.
bool clientHasPendingWpxPassword(MergeSession& s, qint32 fromClient, const QDate& today = QDate::currentDate());
int countWpxLinks(MergeSession& s, const QString& column, qint32 fromClient);
QString listWpxLinks(MergeSession& s, qint32 fromClient);

// Checks 1 to 7 in order; at the first refusal logs its reason line, shows its message and
// returns false. A failing query of checks 3, 6 (the list) and 7 passes on.
bool runClientChecks(MergeSession& session, const ClientPair& clients);
// Checks 8 to 10 on the loaded account model; false when the merge is refused.
bool runAccountChecks(UserInterface& ui, const TaInfo& info);

} // namespace kolvix
