#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace kolvix {
class Connection;
struct BatchPair;
} // namespace kolvix

namespace kolvix::cli {

struct MergePairsVerbOptions;

// The pairs of a file in the form --duplicates writes: a header line naming the columns, then a
// tab-separated line per pair. The Keep and Merge columns are found by their names; where the
// "Keep name" and "Merge name" columns are there too, each pair carries the names the scan
// showed, so that a client renamed since is not merged. Other columns and empty lines are
// ignored; a cell in double quotes (as a spreadsheet may save it) is read without them, and the
// text is read in the encoding of its byte order mark, else as UTF-8, else in the system's. Nothing, and a one-line
// message in error, for a file that cannot be read, has no such header or holds a line whose ids are not whole numbers
// (named by its line number).
std::optional<std::vector<BatchPair>> readPairsFile(const QString& path, QString& error);

// --merge-pairs FILE: the start-up of the utility, one confirmation for the run (--yes, the
// terminal), then each pair merged on its own as mergePairs() does it, with a tab-separated
// line per pair as it ends (Merge, Keep, Outcome, Audit, Reason) and a summary. ExitMerged when
// every pair merged, ExitRefused when any did not (or the answer was No), ExitUsage for a bad
// file, ExitFailed, ExitNoConnection.
int mergeReviewedPairs(Connection& connection, const MergePairsVerbOptions& options);

} // namespace kolvix::cli
