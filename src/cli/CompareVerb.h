#pragma once

namespace kolvix {
class Connection;
}

namespace kolvix::cli {

struct CompareVerbOptions;

// --compare A B: the two clients side by side (compareClients) on standard output, one
// tab-separated line per field after the header "Field\tA\tB\tSame" (Same: yes or no), then the
// line "Rows\tA\tB" and one line per kind of row either client holds; a mark of the pair as
// different people is named on standard error. It only reads. ExitMerged, ExitFailed on a
// database error, ExitNoConnection, ExitUsage for a client that does not exist.
int compare(Connection& connection, const CompareVerbOptions& options);

} // namespace kolvix::cli
