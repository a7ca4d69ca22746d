#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace kolvix {

class Connection;

// One row of a step as the ledger keeps it: its identity, for a deleted row the whole row, and
// the check sum of the row as the merge left it (null where none was kept).
struct LedgerRow
{
    QVariantList key;
    QVariantList data;
    QVariant check;
};

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
    QStringList checkColumns; // the columns of RowCheck; empty where none was kept
    // The step's rows, but for a U step with an integer key (whose keys the engine matches in
    // KolvixMergeRow itself).
    std::vector<LedgerRow> ledgerRows;
};

// The merge of an Audit row in the ledger; -1 when it has none.
int ledgerMergeOf(Connection& connection, int auditId);

// Reads the record of merge mergeId and verifies it before anything relies on it: its steps are
// numbered 1, 2, ... without a gap, each holds as many rows as it says, the rows add up to the
// merge's own count (committed: once the merge is complete), every value's type is known and
// fits its column, and every table and column it names exists. What is wrong goes to damage
// (empty when the record is sound), in words for the user. A failing query throws DbError.
std::vector<LedgerStep> readMergeRecord(Connection& connection, int mergeId, bool committed, QString& damage);

} // namespace kolvix
