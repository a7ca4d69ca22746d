#pragma once

namespace kolvix {
class Connection;
}

namespace kolvix::cli {

struct UndoVerbOptions;

// --undo AUDIT: the start-up of the utility, then the undo of that merge from its ledger with
// the terminal as its user interface: the checks, the question (which lists the rows that go
// back, table by table) answered by --yes or the terminal, and the undo, rolled back in any
// case with --dry-run. ExitMerged when undone (or the dry run ran), ExitRefused when a check
// refused or the answer was No, ExitFailed when it failed, ExitNoConnection.
int undo(Connection& connection, const UndoVerbOptions& options);

} // namespace kolvix::cli
