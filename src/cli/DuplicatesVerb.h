#pragma once

#include <QString>

namespace kolvix {
class Connection;
}

namespace kolvix::cli {

struct DuplicatesVerbOptions;

// --duplicates: the clients that are probably registered twice, one tab-separated line per
// pair after a header line, highest score first; progress on standard error when it is a
// terminal. Each block of clients the finder left out as too large to compare is named in a
// line on standard error. It only reads. ExitMerged (also with no pairs), ExitFailed on a database error,
// ExitNoConnection when the database cannot be reached.
int duplicates(Connection& connection, const DuplicatesVerbOptions& options);

// The line that ends the scan on a terminal's standard error, each count with its noun in the
// singular or the plural: "1 pair in 1 group among 8 clients".
QString duplicatesSummary(qsizetype pairs, int groups, int clients);

} // namespace kolvix::cli
