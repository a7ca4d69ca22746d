#pragma once

#include <QString>

namespace kolvix {

class MergeSession;

// Shown at every start, before anything else happens.
inline const char* const kIrreversibleWarning =
    "WARNING: The process of merging patient data cannot be reversed.  Proceed with caution.\n\n"
    "If you do not understand the proper use of this utility please contact Ombrix support.";

// The statement of the main window's From and To client datasets.
inline const char* const kClientStatement = "SELECT ClientID, Name, Surname\r\nFROM Client\r\nWHERE ClientID = :id";

struct MergeClient
{
    qint32 id = -1;
    QString surname;
    QString name;
};

enum class MergeOutcome {
    Refused,   // a pre-check refused; nothing changed
    Cancelled, // the user cancelled the account dialog or answered No
    Merged,    // every step ran and was committed (or dry run: rolled back as planned)
    Failed,    // a statement failed; rolled back when the transaction was on
};

struct MergeOptions
{
    // Runs everything inside a transaction that is always rolled back, whatever
    // "Use Rollback" says, and writes no Audit row.
    bool dryRun = false;
};

// The Merge button: names the clients in the log, runs the pre-checks, loads the account
// model, lets the user settle it, writes the Audit row and runs the catalogue in one
// transaction (when "Use Rollback" is on). A failure of a query during the pre-checks or
// the account loading passes on as an exception (the GUI's default error box).
MergeOutcome btnMergeClick(MergeSession& session, const MergeClient& from, const MergeClient& to,
                           const MergeOptions& options = {});

} // namespace kolvix
