#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace kolvix {

class Connection;
class Statement;
class UserInterface;

// The ledger: what every merge changed, row by row, so that the merge can be undone exactly.
// Three tables of the utility's own in the practice database:
//   KolvixMerge      one row per merge: its Audit row, when, where, the clients, its state
//                    ("started" from before its first change, "merged" once committed,
//                    "reverted" when rolled back, "undone"; "merging" in older records);
//   KolvixMergeStep  one row per statement of the catalogue that changed rows: its table, what
//                    it did (U moved rows, D deleted rows, I added a row), the columns it
//                    rewrote with their values before and after, the columns that identify a row,
//                    the columns whose check sum tells whether a row changed since;
//   KolvixMergeRow   one row per changed row: its identity (KeyID where one integer column
//                    identifies it, otherwise RowKey), the check sum of the row as the merge left
//                    it (RowCheck), and for a deleted row the whole row (RowData).
// A row is identified by the table's primary key as the database's catalogue gives it, without
// the columns the step rewrites (those are matched by their value); a table without a primary
// key by all its columns but those and the binary ones.

// Whether the three tables exist with every column this version writes.
bool ledgerTablesExist(Connection& connection);
// Creates the tables that are missing and adds the columns that older records lack; the
// database's message when that fails, else empty.
QString createLedgerTables(Connection& connection);
// Whether a table of the ledger has a column (older records lack the newer ones).
bool ledgerHasColumn(Connection& connection, const QString& table, const QString& column);

// A row's values as the ledger keeps them (RowKey, RowData, the steps' values), type by type:
// a JSON array of null, true/false and texts tagged with their type ("i:12", "s:text",
// "f:1.5", "b:<base64>", "t:<date-time>", "d:<date>", "h:<time>").
QString encodeValues(const std::vector<QVariant>& values);
// The values back; false, with what is wrong in error, when the text is not such an array, a
// tag is unknown or a value does not read as its tag says.
bool decodeValues(const QString& text, QVariantList& values, QString& error);

// Whether a value or column of this type (QMetaType id) is a whole number.
bool isIntegerType(int typeId);

// How the rows of a table are told apart: the columns, and whether that is one integer column
// (kept in KeyID, matched by the database itself).
struct RowIdentity
{
    QStringList columns;
    bool integerKey = false;
    bool primaryKey = false; // false: the whole row (no primary key, or all of it rewritten)
};
RowIdentity rowIdentity(Connection& connection, const QString& table, const QStringList& rewritten);

// The columns whose check sum records a row as the merge left it: every column of the table but
// those in excluded and those no check sum covers (binary data, and on SQL Server the types its
// BINARY_CHECKSUM does not take). Empty where the connection has no BINARY_CHECKSUM.
QStringList checkColumns(Connection& connection, const QString& table, const QStringList& excluded);
// "BINARY_CHECKSUM(q.[A], q.[B])": the check sum of those columns of the row that qualifier
// (a table's bracketed name or an alias) stands for.
QString rowCheckExpression(const QString& qualifier, const QStringList& columns);

// Writes a merge's ledger. start() writes the merge's row before anything changes, outside the
// merge's transaction, so that a merge that is stopped part way reads as what it was; each
// record call reads the rows that the step's statement is about to change (the same condition),
// so it runs right before that statement: inside the merge's transaction, or without one just
// before it.
class MergeLedger
{
public:
    struct Merge
    {
        qint32 from = -1;
        qint32 to = -1;
        QString fromName;
        QString toName;
        int auditId = -1; // the merge's Audit row, -1 when it was not written
    };
    // rewritten: for each table (in lower case) every column that some step of the merge
    // rewrites in it; the check sums leave those out, so that one step's change never looks
    // like a change to another step's rows.
    MergeLedger(Connection& connection, UserInterface& ui, int timeout, const Merge& merge,
                QHash<QString, QStringList> rewritten);

    // Writes the merge's row, state "started".
    void start();
    // The catalogue step whose rows the next records are (1..43).
    void atStep(int step) { m_step = step; }
    // The rows of table matching condition (T-SQL, values written in) are about to get
    // newValues in columns, which now hold oldValues.
    void recordUpdate(const QString& table, const QStringList& columns, const QVariantList& oldValues,
                      const QVariantList& newValues, const QString& condition);
    // The rows of table matching condition are about to be deleted.
    void recordDelete(const QString& table, const QString& condition);
    // A row with these key values is about to be added to table; insertDone() once it has been.
    void recordInsert(const QString& table, const QStringList& keyColumns, const QVariantList& keyValues);
    // The row of the last recordInsert has been added: its check sum records it as the merge left it.
    void insertDone();
    // The merge is complete: state "merged", with the number of rows it changed.
    void finish();
    // The merge was rolled back: state "reverted". Outside any transaction; a failure is passed on.
    void reverted();

private:
    // what: what could not be done when a wait for another connection's lock gives up.
    void write(Statement& statement, const QString& what = QStringLiteral("a statement could not be run"));
    const RowIdentity& identityOf(const QString& table, const QStringList& rewritten);
    QStringList checkColumnsOf(const QString& table, bool excludeRewritten);
    // Writes the step's row once its rows are written; a step that changes nothing leaves none.
    void addStep(const QString& table, QChar operation, const QStringList& columns, const QVariantList& oldValues,
                 const QVariantList& newValues, const RowIdentity& identity, const QStringList& checked, int rows);

    Connection& m_connection;
    UserInterface& m_ui;
    int m_timeout;
    Merge m_merge;
    QHash<QString, QStringList> m_rewritten;
    int m_mergeId = -1;
    int m_step = 0;
    int m_steps = 0;
    int m_rows = 0;
    QHash<QString, RowIdentity> m_identities;
    QHash<QString, QStringList> m_checkColumns;
    struct Inserted
    {
        QString table;
        QStringList keyColumns;
        QVariantList keyValues;
        int stepNo = -1; // -1: no check sum to record
    };
    Inserted m_inserted;
};

} // namespace kolvix
