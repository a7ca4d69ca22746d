#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
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
    };

    int auditId = -1;
    QDateTime when;
    QString workstation;
    qint32 from = -1;
    qint32 to = -1;
    QString fromName;
    QString toName;
    int rows = -1; // the rows the merge changed; -1 without a ledger
    State state = State::NotReversible;
    QDateTime undoneAt;
    QString action; // the Audit row's Action and Comment (the account mapping)
    QString comment;

    bool canBeUndone() const { return state == State::Merged || state == State::Incomplete; }
    // "merged", "reverted", "undone 2026-12-11 10:20", "not reversible", "incomplete".
    QString stateText() const;
};

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
