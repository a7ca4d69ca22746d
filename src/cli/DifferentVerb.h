#pragma once

namespace kolvix {
class Connection;
}

namespace kolvix::cli {

struct MarkDifferentVerbOptions;
struct UnmarkDifferentVerbOptions;

// The header line of --list-different.
inline const char* const kDifferentHeader = "First\tSecond\tFirst name\tSecond name\tWhen\tWorkstation\tUser\tNote";

// --mark-different A B [--note TEXT]: marks the two clients as different people (markDistinctPair,
// which creates the table of marks on first use), so that --duplicates leaves the pair out and a
// merge of the two is refused. ExitMerged once marked, ExitRefused when the pair is marked
// already (nothing changed; the mark is named), ExitUsage for a client that does not exist,
// ExitFailed when the mark cannot be written, ExitNoConnection.
int markDifferent(Connection& connection, const MarkDifferentVerbOptions& options);

// --unmark-different A B: removes the mark. ExitMerged once removed, ExitRefused when the pair was
// not marked, ExitFailed, ExitNoConnection. The clients need not exist any more.
int unmarkDifferent(Connection& connection, const UnmarkDifferentVerbOptions& options);

// --list-different: every marked pair, one tab-separated line each after kDifferentHeader
// (When as yyyy-MM-dd HH:mm:ss; a name empty when its client is gone). It only reads.
// ExitMerged, ExitFailed, ExitNoConnection.
int listDifferent(Connection& connection);

} // namespace kolvix::cli
