#pragma once

namespace kolvix {
class Connection;
}

namespace kolvix::cli {

struct MergeVerbOptions;

// --from/--to: the start-up of the utility, then the merge procedure of the Merge button
// on the two clients, with the terminal as its user interface. Returns the exit code.
int merge(Connection& connection, const MergeVerbOptions& options);

} // namespace kolvix::cli
