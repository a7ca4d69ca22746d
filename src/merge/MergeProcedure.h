#pragma once

#include "accounts/AccountInfo.h"
#include "merge/LeftBehind.h"
#include "merge/MergeSession.h"
#include "merge/Statistics.h"

#include <QString>
#include <functional>
#include <memory>

namespace kolvix {

class Connection;
class MergeLock;

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
    // Merges without a ledger: the merge cannot be undone.
    bool irreversible = false;
    // Called after the outcome box, before the cursor returns to the arrow: the main window
    // reopens its count query there.
    std::function<void()> afterOutcome;
};

// What a merge is going to do, read under the merge lock once the checks have passed: the two
// clients, the account model with its automatic mapping (which the front end shows or edits
// before executeMerge), the From client's row counts and the rows that will stay with it. The
// merge lock is held for as long as the plan exists, so nothing another merge does can come
// between the plan and its execution.
class MergePlan
{
public:
    MergePlan(const MergeClient& from, const MergeClient& to, const MergeOptions& options);
    ~MergePlan();
    MergePlan(const MergePlan&) = delete;
    MergePlan& operator=(const MergePlan&) = delete;

    MergeClient from;
    MergeClient to;
    MergeOptions options;
    ClientPair clients() const { return {from.id, to.id}; }
    // Loaded by planMerge; the front end settles each From account (AccountMergeModel).
    TaInfo accounts;
    // The From client's rows, kind by kind, as the "Data to be moved" pane lists them.
    StatisticsList statistics;
    // Tables outside the catalogue that hold rows of the From client.
    std::vector<std::pair<QString, int>> tablesNotMoved;
    // Rows of the account-keyed tables on accounts the From client does not have.
    std::vector<RowsOnMissingAccounts> rowsOnMissingAccounts;
    // What the user should read before deciding, beyond the above (a From client that an
    // earlier merge emptied and that has gained rows since).
    QStringList notices;
    // Whether the merge keeps a ledger, and so can be undone.
    bool reversible() const { return m_ledger; }
    // Once executed: the merge's Audit row, -1 when none was written (a dry run).
    int auditId() const { return m_auditId; }

private:
    friend std::unique_ptr<MergePlan> planMerge(MergeSession&, const MergeClient&, const MergeClient&,
                                                const MergeOptions&);
    friend MergeOutcome executeMerge(MergeSession&, MergePlan&);
    friend MergeOutcome cancelMerge(MergePlan&);

    // Releases the merge lock and ends the bound on lock waits; the plan is spent.
    void end();

    std::unique_ptr<MergeLock> m_lock;
    Connection* m_waitBudget = nullptr; // the connection whose lock-wait budget the plan began
    // The accounts of both clients as the mapping was made on them.
    QStringList m_accountState;
    bool m_ledger = false;
    int m_auditId = -1;
};

// What the merge record says of a pair before it is merged. A merge is refused when the To client
// was merged away (its rows belong to the client it went into), and when the From client was
// merged away and has nothing left that a merge would move; a From client merged away that has
// gained rows since may be merged, with a notice.
struct MergedAwayFinding
{
    QString refusal; // the message that refuses the merge; empty when it may go on
    QString logLine; // the refusal's log line
    QString batchReason; // the refusal as a run of merges reports a pair it skips
    QString notice; // a merge that may go on: what the user should know
};
MergedAwayFinding findMergedAway(MergeSession& session, const ClientPair& clients);

// The first half of the Merge button: names the clients in the log, takes the merge lock, runs
// the checks (a pair marked as different people is refused unless the user has the mark removed,
// UserInterface::removeDistinctMark), loads the account model and reads what the plan shows. Null when the merge is
// refused (its log line and message given); a failing query passes on as an exception (the
// GUI's default error box).
std::unique_ptr<MergePlan> planMerge(MergeSession& session, const MergeClient& from, const MergeClient& to,
                                     const MergeOptions& options = {});

// The user cancelled the account dialog or answered No: logged; nothing changes.
MergeOutcome cancelMerge(MergePlan& plan);

// The second half, once the user has settled the accounts and confirmed: the Audit row and the
// catalogue in one transaction (when "Use Rollback" is on), the outcome box. The merge lock is
// released when the plan ends.
MergeOutcome executeMerge(MergeSession& session, MergePlan& plan);

} // namespace kolvix
