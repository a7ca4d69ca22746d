#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace kolvix {

class Connection;
class MergeSession;
class Statement;
struct ClientPair;

// The ledger: what every merge changed, row by row, so that the merge can be undone exactly.
// Three tables of the utility's own in the practice database:
//   KolvixMerge      one row per merge: its Audit row, when, where, the clients, its state
//                    ("merging" while it runs, "merged", "undone");
//   KolvixMergeStep  one row per statement of the catalogue that changed rows: its table, what
//                    it did (U moved rows, D deleted rows, I added a row), the columns it
//                    rewrote with their values before and after, the columns that identify a row;
//   KolvixMergeRow   one row per changed row: its identity (KeyID where one integer column
//                    identifies it, otherwise RowKey), and for a deleted row the whole row
//                    (RowData).
// A row is identified by the table's primary key as the database's catalogue gives it, without
// the columns the step rewrites (those are matched by their value); a table without a primary
// key by all its columns but those and the binary ones.

// Whether the three tables exist.
bool ledgerTablesExist(Connection& connection);
// Creates the tables that are missing; the database's message when that fails, else empty.
QString createLedgerTables(Connection& connection);

// A row's values as the ledger keeps them (RowKey, RowData), type by type, and back.
QString encodeValues(const std::vector<QVariant>& values);
std::vector<QVariant> decodeValues(const QString& text);

// A name for a statement: [name], with ] doubled.
QString quotedName(const QString& name);

// How the rows of a table are told apart: the columns, and whether that is one integer column
// (kept in KeyID, matched by the database itself).
struct RowIdentity
{
    QStringList columns;
    bool integerKey = false;
    bool primaryKey = false; // false: the whole row (no primary key, or all of it rewritten)
};
RowIdentity rowIdentity(Connection& connection, const QString& table, const QStringList& rewritten);

// Writes a merge's ledger. Each record call reads the rows that the step's statement is about
// to change (the same condition), so it runs right before that statement: inside the merge's
// transaction, or without one just before it.
class MergeLedger
{
public:
    // auditId: the merge's Audit row, -1 when it was not written.
    MergeLedger(MergeSession& session, const ClientPair& clients, const QString& fromName, const QString& toName,
                int auditId);
    // The catalogue step whose rows the next records are (1..43).
    void atStep(int step) { m_step = step; }
    // The rows of table matching condition (T-SQL, values written in) are about to get
    // newValues in columns, which now hold oldValues.
    void recordUpdate(const QString& table, const QStringList& columns, const QVariantList& oldValues,
                      const QVariantList& newValues, const QString& condition);
    // The rows of table matching condition are about to be deleted.
    void recordDelete(const QString& table, const QString& condition);
    // A row with these key values has been added to table.
    void recordInsert(const QString& table, const QStringList& keyColumns, const QVariantList& keyValues);
    // The merge is complete: state "merged", with the number of rows it changed.
    void finish();

private:
    // Writes the merge's row (state "merging") before its first rows, as part of the first step.
    void begin();
    void write(Statement& statement);
    const RowIdentity& identityOf(const QString& table, const QStringList& rewritten);
    // Writes the step's row once its rows are written; a step that changes nothing leaves none.
    void addStep(const QString& table, QChar operation, const QStringList& columns, const QVariantList& oldValues,
                 const QVariantList& newValues, const RowIdentity& identity, int rows);

    MergeSession& m_session;
    qint32 m_from;
    qint32 m_to;
    QString m_fromName;
    QString m_toName;
    int m_auditId;
    int m_mergeId = -1;
    int m_step = 0;
    int m_steps = 0;
    int m_rows = 0;
    QHash<QString, RowIdentity> m_identities;
};

} // namespace kolvix
