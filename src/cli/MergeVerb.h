#pragma once

namespace kolvix {
class Connection;
enum class MergeOutcome;
} // namespace kolvix

namespace kolvix::cli {

struct MergeVerbOptions;

// --from/--to: the start-up of the utility, then the merge procedure of the Merge button
// on the two clients, with the terminal as its user interface. Returns the exit code.
int merge(Connection& connection, const MergeVerbOptions& options);

// The exit code of a merge's or an undo's outcome: 0 done, 1 refused or cancelled, 2 failed.
int exitCodeOf(MergeOutcome outcome);

} // namespace kolvix::cli
