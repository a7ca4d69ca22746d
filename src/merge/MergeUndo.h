#pragma once

#include "ledger/MergeHistory.h"
#include "ledger/MergeRecord.h"
#include "merge/MergeProcedure.h"

#include <QString>
#include <memory>
#include <vector>

namespace kolvix {

class Connection;
class MergeLock;
class MergeSession;

// An undo that has passed its checks, under the merge lock until it ends: the merge, and the
// rows that go back, table by table.
class UndoPlan
{
public:
    UndoPlan();
    ~UndoPlan();
    UndoPlan(const UndoPlan&) = delete;
    UndoPlan& operator=(const UndoPlan&) = delete;

    MergeHistoryEntry merge;
    std::vector<LedgerTableRows> tables;

    // The question before the undo: both clients, the rows per table, and what stays.
    QString confirmationText() const;

private:
    friend std::unique_ptr<UndoPlan> planUndo(MergeSession&, int);
    friend MergeOutcome executeUndo(MergeSession&, UndoPlan&, bool);
    friend MergeOutcome cancelUndo(UndoPlan&);
    void end();

    std::unique_ptr<MergeLock> m_lock;
    Connection* m_waitBudget = nullptr; // the connection whose lock-wait budget the plan began
    int m_mergeId = -1;
    std::vector<LedgerStep> m_steps;
};

// Takes the merge lock and checks that the merge of that Audit row can be undone: it has a
// ledger that is sound, is not undone, every row it would move back, delete or overwrite is still
// as the merge left it in every column, and the client and accounts the rows go back to exist.
// Null when it cannot (the reason logged and shown); a failing query passes on as an exception.
// Every wait for another connection's lock from here to the outcome counts against one limit,
// as a merge's do.
std::unique_ptr<UndoPlan> planUndo(MergeSession& session, int auditId);

// The user answered No: logged; nothing changes.
MergeOutcome cancelUndo(UndoPlan& plan);

// Puts back what the merge changed, in one transaction, step by step from the last: the moved
// rows get their old values, deleted rows come back as they were, the added account goes when
// nothing refers to it any more. Writes the Audit row "Undo merge N: ..." and marks the ledger
// undone. Should any row have changed meanwhile, everything is rolled back. A dry run rolls
// back in any case. The outcome is shown; Merged stands for undone.
MergeOutcome executeUndo(MergeSession& session, UndoPlan& plan, bool dryRun = false);

} // namespace kolvix
