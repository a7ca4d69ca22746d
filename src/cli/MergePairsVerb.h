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

// The bounds of a listing of pairs: a regular file of at most kMaxListingBytes, lines of at most
// kMaxListingLineLength characters and at most kMaxListingPairs pairs. The file is read as a
// stream, so that whatever it holds the reading never takes more memory than these allow.
inline constexpr qint64 kMaxListingBytes = 16 * 1024 * 1024;
inline constexpr qsizetype kMaxListingLineLength = 65536;
inline constexpr qsizetype kMaxListingPairs = 100000;

// The pairs of a file in the form --duplicates writes: a header line naming the columns, then a
// tab-separated line per pair. The Keep and Merge columns are found by their names; where the
// "Keep name" and "Merge name" columns are there too, each pair carries the names the scan
// showed (read back from their escapes by unescapeText; a line without the cell has an empty
// name), so that a client renamed since is not merged. Other columns and empty lines are
// ignored; a cell in double quotes (as a spreadsheet may save it) is read without them, and the
// text is read in the encoding of its byte order mark, else as UTF-8, else in the system's.
// Nothing, and a one-line message in error, for a file that cannot be read, is no regular file
// or is over a bound, has no such header or one that names a column twice, or holds a line whose
// ids are not whole numbers or whose name holds a backslash that begins no escape (named by its
// line number).
std::optional<std::vector<BatchPair>> readPairsFile(const QString& path, QString& error);

// --merge-pairs FILE: the start-up of the utility, one confirmation for the run (--yes, the
// terminal), then each pair merged on its own as mergePairs() does it, with a tab-separated
// line per pair as it ends (Merge, Keep, Outcome, Audit, Reason) and a summary. ExitMerged when
// every pair merged, ExitRefused when any did not (or the answer was No), ExitUsage for a bad
// file, ExitFailed, ExitNoConnection.
int mergeReviewedPairs(Connection& connection, const MergePairsVerbOptions& options);

} // namespace kolvix::cli
