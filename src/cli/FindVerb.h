#pragma once

#include <QString>
#include <QStringList>

namespace kolvix {
class Connection;
}

namespace kolvix::cli {

struct Options;

// --find: the patient search of the desktop program, for finding the ids that --from and --to
// take. Connects, reads UseFileNo as the main window does before a Move From search, and
// prints on standard output the statement (with --show-sql), "Total Patients N", the titles
// of the grid's columns and one line per row, tab-separated. ExitMerged when the search ran,
// ExitFailed when it failed ("Error: " and the message), ExitNoConnection. The database is
// only read.
int find(Connection& connection, const Options& options);

// A line of the output: the cells tab-separated, a tab, CR or LF inside a cell printed as a
// blank.
QString findOutputLine(const QStringList& cells);

} // namespace kolvix::cli
