#pragma once

#include "merge/MergeSession.h"

#include <QString>

namespace kolvix {

enum class MergeOutcome {
    Refused, // a pre-check refused; nothing changed
    Cancelled, // the user cancelled the account dialog or answered No
    Merged, // every step ran and was committed (or dry run: rolled back as planned)
    Failed, // a statement failed; rolled back when the transaction was on
};

struct MergeOptions
{
    // Runs everything inside a transaction that is always rolled back, whatever
    // "Use Rollback" says, and writes no Audit row.
    bool dryRun = false;
};

// Merges the From client into the To client (what the Merge button does): names the clients
// in the log, runs the pre-checks, loads the account model, lets the user settle it, writes
// the Audit row and runs the catalogue in one transaction (when "Use Rollback" is on). A
// failure of a query during the pre-checks or the account loading passes on as an exception
// (the GUI's default error box).
MergeOutcome mergeClients(MergeSession& session, const MergeClient& from, const MergeClient& to,
                          const MergeOptions& options = {});

} // namespace kolvix
