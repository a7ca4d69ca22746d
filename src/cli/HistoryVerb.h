#pragma once

#include <QString>
#include <QStringList>

namespace kolvix {
class Connection;
struct MergeHistoryEntry;
} // namespace kolvix

namespace kolvix::cli {

struct HistoryVerbOptions;

// The header line of --history.
inline const char* const kHistoryHeader = "Audit\tWhen\tWorkstation\tFrom\tTo\tFrom name\tTo name\tRows\tState";

// --history: the merges of the Audit trail, newest first (at most --limit of them), one
// tab-separated line each after kHistoryHeader; only the header when there are none. It only
// reads. ExitMerged, ExitFailed when a query fails ("Error: " and the message on standard
// error), ExitNoConnection.
int history(Connection& connection, const HistoryVerbOptions& options);

// The cells of one merge's line: When as yyyy-MM-dd HH:mm:ss, Rows empty without a ledger,
// State as MergeHistoryEntry::stateText(); tabSeparated escapes them for the line.
QStringList historyCells(const MergeHistoryEntry& entry);

} // namespace kolvix::cli
