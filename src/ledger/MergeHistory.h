#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

namespace kolvix {

class Connection;

// One merge of the history: its Audit row, and its ledger where it has one.
struct MergeHistoryEntry
{
    enum class State {
        Merged, // committed, with a ledger: it can be undone
        Reverted, // rolled back when it was made
        Undone, // undone (undoneAt)
        NotReversible, // no ledger: made before ledgers, by another tool, or on request without one
        Incomplete, // made without a transaction and stopped part way; its ledger covers what moved
        NotCompleted, // stopped before it committed (killed), with nothing changed
    };

    int auditId = -1;
    QDateTime when;
    QString workstation;
    qint32 from = -1;
    qint32 to = -1;
    QString fromName;
    QString toName;
    int rows = -1; // the rows the merge changed (so far, when incomplete); -1 without a ledger
    State state = State::NotReversible;
    QDateTime undoneAt;
    QString action; // the Audit row's Action and Comment (the account mapping)
    QString comment;

    bool canBeUndone() const { return state == State::Merged || state == State::Incomplete; }
    // Whether the merge emptied its From client: committed and not undone (with or without a ledger).
    bool mergedAway() const { return state == State::Merged || state == State::NotReversible; }
    // "merged", "reverted", "undone 2026-12-11 10:20", "not reversible", "incomplete", "did not
    // complete, nothing changed".
    QString stateText() const;
};

// The Audit trail of merges. A merge writes the Action "Merge FROM > TO (From name > To name)",
// cut to the column's 100 characters; a merge that was rolled back ends it in kRevertedMark; an
// undo writes "Undo merge N: FROM > TO (...)".
inline const char* const kRevertedMark = " - reverted";
struct MergeAction
{
    qint32 from = -1;
    qint32 to = -1;
    QString fromName;
    QString toName;
    bool reverted = false;
};
// The merge an Action records; nothing for any other Action.
std::optional<MergeAction> readMergeAction(const QString& action);

// A date-time column as either engine gives it (the embedded engine keeps text); invalid when it
// does not read as one.
QDateTime dateTimeOf(const QVariant& value);

// The merges of the Audit trail, newest first; at most limit of them (0: all). Throws DbError.
std::vector<MergeHistoryEntry> readMergeHistory(Connection& connection, int limit = 0);

// The rows of one merge's ledger, table by table, in the order the merge changed them.
struct LedgerTableRows
{
    QString table;
    int moved = 0;
    int deleted = 0;
    int added = 0;
};
std::vector<LedgerTableRows> readLedgerRows(Connection& connection, int auditId);

// The account mapping of a merge as its Audit comment records it ("MRG[0:Private|0:Private]"),
// one line per account: "0 Private -> 0 Private (merged)".
QStringList accountMappingLines(const QString& comment);

} // namespace kolvix
