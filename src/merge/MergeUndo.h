#pragma once

#include "merge/MergeHistory.h"
#include "merge/MergeProcedure.h"

#include <QString>
#include <memory>
#include <vector>

namespace kolvix {

class MergeLock;
class MergeSession;

// One statement of a merge as its ledger records it.
struct LedgerStep
{
    int stepNo = 0;
    QString table;
    QChar operation; // U moved, D deleted, I added
    QStringList changedColumns; // U: the rewritten columns; D: every column of RowData
    QVariantList oldValues;
    QVariantList newValues;
    QStringList keyColumns;
    bool integerKey = false;
    bool primaryKey = false;
    int rows = 0;
};

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
    int m_mergeId = -1;
    std::vector<LedgerStep> m_steps;
};

// Takes the merge lock and checks that the merge of that Audit row can be undone: it has a
// ledger, is not undone, and every row it changed is still as it left it. Null when it cannot
// (the reason logged and shown); a failing query passes on as an exception.
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
