#pragma once

#include <QString>
#include <QStringList>

namespace kolvix {
class Connection;
}

namespace kolvix::cli {

struct FindVerbOptions;

// --find: the patient search of the desktop program, for finding the ids that --from and --to
// take. Connects, reads UseFileNo as the main window does before a Move From search, and
// prints on standard output the statement (with --show-sql), "Total Patients N", the titles
// of the grid's columns and one line per row, tab-separated (cells as tabSeparated in
// cli/Output prints them: one row is one line, whatever a value holds). ExitMerged when the search ran,
// ExitFailed when it failed ("Error: " and the message), ExitNoConnection. The database is
// only read.
int find(Connection& connection, const FindVerbOptions& options);

} // namespace kolvix::cli
