#include "merge/MergeUndo.h"

#include "core/LockWaitWatch.h"
#include "core/Log.h"
#include "core/UserInterface.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/SqlConditions.h"
#include "db/Statement.h"
#include "ledger/MergeLedger.h"
#include "merge/MergeLock.h"
#include "merge/MergeSession.h"
#include "merge/RecordMovers.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <stdexcept>

namespace kolvix {

namespace {

constexpr int kAuditActionLength = 100;
constexpr int kAuditCommentLength = 7899;

// The undo cannot go on: what is no longer as the merge left it. Nothing has been changed
// (or everything is rolled back).
class UndoRefused : public std::runtime_error
{
public:
    explicit UndoRefused(const QString& message)
        : std::runtime_error(message.toStdString())
        , message(message)
    {
    }
    QString message;
};

// "NULL" where the step kept no check sums: every row then counts as left as it was.
QString checkOf(const LedgerStep& step, const QString& qualifier)
{
    return step.checkColumns.isEmpty() ? QStringLiteral("NULL") : rowCheckExpression(qualifier, step.checkColumns);
}

// The rows of a step that a table identifies by more than one column, or by their whole value,
// grouped: identical rows of a table without a key are as many as the merge moved of them.
struct RowGroup
{
    const LedgerRow* row;
    int count;
};
std::vector<RowGroup> groupedRows(const LedgerStep& step)
{
    std::vector<RowGroup> groups;
    QHash<QString, size_t> at;
    for (const LedgerRow& row : step.ledgerRows) {
        const QString key = encodeValues(std::vector<QVariant>(row.key.begin(), row.key.end())) + QLatin1Char('|')
            + row.check.toString();
        const auto found = at.constFind(key);
        if (found != at.cend()) {
            ++groups[*found].count;
        } else {
            at.insert(key, groups.size());
            groups.push_back({&row, 1});
        }
    }
    return groups;
}

class Undo
{
public:
    Undo(MergeSession& s, const MergeHistoryEntry& merge, int mergeId)
        : s(s)
        , connection(s.conZelvan)
        , timeout(s.cmd.commandTimeout())
        , merge(merge)
        , mergeId(mergeId)
        , incomplete(merge.state == MergeHistoryEntry::State::Incomplete)
    {
    }

    // The check sum of the step's row that r (a row of the record) names, as it is now; NULL when
    // the row does not hold these values in the rewritten columns (or is gone). Looked up by the
    // table's key for each row of the record, so that the record drives the reading.
    QString rowNow(const LedgerStep& step, const QVariantList& values)
    {
        return QStringLiteral("(SELECT %1 FROM %2 c WHERE c.%3 = r.KeyID AND %4)")
            .arg(step.checkColumns.isEmpty() ? QStringLiteral("0") : checkOf(step, QStringLiteral("c")),
                 quotedName(step.table), quotedName(step.keyColumns[0]),
                 equalTo(step.changedColumns, values, QStringLiteral("Now"), QStringLiteral("c")));
    }

    // How many of an integer-keyed step's rows hold these values in the rewritten columns now:
    // all of them, and those also as the merge left them in every other column.
    std::pair<int, int> rowsHolding(const LedgerStep& step, const QVariantList& values)
    {
        Statement count(connection,
                        QStringLiteral("SELECT COUNT(n.Now), SUM(CASE WHEN n.RowCheck IS NULL OR n.RowCheck = n.Now "
                                       "THEN 1 ELSE 0 END)\r\n"
                                       "FROM (SELECT r.RowCheck, %1 AS Now FROM KolvixMergeRow r WHERE r.MergeID = %2 "
                                       "AND r.StepNo = %3) n")
                            .arg(rowNow(step, values))
                            .arg(mergeId)
                            .arg(step.stepNo),
                        timeout);
        bindValues(count, values);
        count.execute();
        if (!count.next())
            return {0, 0};
        return {count.value(0).toInt(), count.value(1).toInt()};
    }

    // How many rows of the table hold these values in the rewritten columns and the group's
    // identity: all of them, and those also as the merge left them.
    std::pair<int, int> rowsHolding(const LedgerStep& step, const QVariantList& values, const LedgerRow& row)
    {
        const bool checked = !step.checkColumns.isEmpty() && !row.check.isNull();
        Statement count(connection,
                        QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN %1 THEN 1 ELSE 0 END) FROM %2 c WHERE %3 AND %4")
                            .arg(checked ? checkOf(step, QStringLiteral("c")) + QStringLiteral(" = :RowCheck")
                                         : QStringLiteral("1 = 1"),
                                 quotedName(step.table),
                                 equalTo(step.changedColumns, values, QStringLiteral("Now"), QStringLiteral("c")),
                                 equalTo(step.keyColumns, row.key, QStringLiteral("Key"), QStringLiteral("c"))),
                        timeout);
        if (checked)
            count.addValue(row.check);
        bindValues(count, values);
        bindValues(count, row.key);
        count.execute();
        if (!count.next())
            return {0, 0};
        return {count.value(0).toInt(), count.value(1).toInt()};
    }

    // The step's rows that a later step of the same merge deleted (they come back first).
    int deletedLater(const LedgerStep& step)
    {
        if (!step.integerKey)
            return 0;
        Statement count(connection,
                        QStringLiteral("SELECT COUNT(*) FROM KolvixMergeRow r WHERE r.MergeID = %1 AND r.StepNo = %2 "
                                       "AND r.KeyID IN (SELECT d.KeyID FROM KolvixMergeRow d JOIN KolvixMergeStep ds "
                                       "ON ds.MergeID = d.MergeID AND ds.StepNo = d.StepNo WHERE ds.MergeID = %1 AND "
                                       "ds.StepNo > %2 AND ds.Operation = 'D' AND ds.TableName = :TableName)")
                            .arg(mergeId)
                            .arg(step.stepNo),
                        timeout);
        count.addValue(step.table);
        return int(scalarOf(count));
    }

    // Whether a row with this key is in the table; with a check sum, whether it is there as the
    // merge left it.
    bool keyHeld(const LedgerStep& step, const QVariantList& key, const QVariant& check = {})
    {
        const bool checked = !check.isNull() && !step.checkColumns.isEmpty();
        Statement count(
            connection,
            QStringLiteral("SELECT COUNT(*) FROM %1 c WHERE %2%3")
                .arg(quotedName(step.table), equalTo(step.keyColumns, key, QStringLiteral("Key"), QStringLiteral("c")))
                .arg(checked
                         ? QStringLiteral(" AND ") + checkOf(step, QStringLiteral("c")) + QStringLiteral(" = :RowCheck")
                         : QString()),
            timeout);
        bindValues(count, key);
        if (checked)
            count.addValue(check);
        return scalarOf(count) > 0;
    }

    // The Audit ids of later merges, not undone, whose ledger holds rows of this step, newest first.
    QStringList laterMergesOf(const LedgerStep& step)
    {
        Statement query(connection,
                        QStringLiteral("SELECT DISTINCT m.AuditID FROM KolvixMerge m\r\n"
                                       "JOIN KolvixMergeStep s ON s.MergeID = m.MergeID\r\n"
                                       "JOIN KolvixMergeRow r ON r.MergeID = s.MergeID AND r.StepNo = s.StepNo\r\n"
                                       "WHERE m.MergeID > %1 AND m.MergeState <> 'undone' AND s.TableName = "
                                       ":TableName\r\n"
                                       "AND (r.KeyID IN (SELECT KeyID FROM KolvixMergeRow WHERE MergeID = %1 AND "
                                       "StepNo = %2)\r\n"
                                       "OR r.RowKey IN (SELECT RowKey FROM KolvixMergeRow WHERE MergeID = %1 AND "
                                       "StepNo = %2))\r\n"
                                       "ORDER BY m.AuditID DESC")
                            .arg(mergeId)
                            .arg(step.stepNo),
                        timeout);
        query.addValue(step.table);
        query.execute();
        QStringList merges;
        while (query.next())
            merges << query.value(0).toString();
        query.throwIfReadFailed();
        return merges;
    }

    // The rows account-keyed tables hold on an account.
    int rowsOnAccount(const QVariant& client, const QVariant& account)
    {
        int references = 0;
        for (const QString& table : accountKeyedTables()) {
            if (!tableExists(connection, table, timeout))
                continue;
            Statement count(
                connection,
                QStringLiteral("SELECT COUNT(*) FROM %1 WHERE [ClientID] = :ClientID AND [AccountID] = :AccountID")
                    .arg(quotedName(table)),
                timeout);
            count.addValue(client);
            count.addValue(account);
            references += int(scalarOf(count));
        }
        return references;
    }

    // The client the rows go back to, and each account that a step moves rows back to, exist.
    void checkParents()
    {
        Statement client(connection, QStringLiteral("SELECT COUNT(*) FROM [Client] WHERE [ClientID] = :ClientID"),
                         timeout);
        client.addValue(merge.from);
        if (scalarOf(client) == 0)
            throw UndoRefused(QStringLiteral("Merge %1 cannot be undone: the client %2 ('%3') that its rows would go "
                                             "back to no longer exists.\nNothing has been changed.")
                                  .arg(merge.auditId)
                                  .arg(merge.from)
                                  .arg(merge.fromName));
        QSet<QString> checked;
        for (const LedgerStep& step : steps) {
            const qsizetype client = step.changedColumns.indexOf(QStringLiteral("ClientID"));
            const qsizetype account = step.changedColumns.indexOf(QStringLiteral("AccountID"));
            if (step.operation != u'U' || client < 0 || account < 0)
                continue;
            const QVariant fromClient = step.oldValues[client];
            const QVariant fromAccount = step.oldValues[account];
            const QString key = fromClient.toString() + QLatin1Char('/') + fromAccount.toString();
            if (checked.contains(key))
                continue;
            checked.insert(key);
            Statement count(connection,
                            QStringLiteral("SELECT COUNT(*) FROM [Account] WHERE [ClientID] = :ClientID AND "
                                           "[AccountID] = :AccountID"),
                            timeout);
            count.addValue(fromClient);
            count.addValue(fromAccount);
            if (scalarOf(count) == 0)
                throw UndoRefused(QStringLiteral("Merge %1 cannot be undone: the account %2 of client %3 that its "
                                                 "rows of the table %4 would go back to no longer exists.\nNothing "
                                                 "has been changed.")
                                      .arg(merge.auditId)
                                      .arg(fromAccount.toString(), fromClient.toString(), step.table));
        }
    }

    // Throws UndoRefused when a row of the step is not as the merge left it.
    void check(const LedgerStep& step)
    {
        int missing = 0;
        int changed = 0;
        bool keysHeld = false;
        if (step.operation == u'U' && step.integerKey) {
            const int expected = step.rows - deletedLater(step);
            const auto [held, asLeft] = rowsHolding(step, step.newValues);
            const int untouched = incomplete ? rowsHolding(step, step.oldValues).first : 0;
            changed = held - asLeft;
            if (changed == 0)
                missing = std::abs(expected - asLeft - untouched);
        } else if (step.operation == u'U') {
            for (const RowGroup& group : groupedRows(step)) {
                const auto [held, asLeft] = rowsHolding(step, step.newValues, *group.row);
                const int untouched = incomplete ? rowsHolding(step, step.oldValues, *group.row).first : 0;
                if (asLeft + untouched >= group.count)
                    continue;
                if (held + untouched >= group.count)
                    changed += group.count - asLeft - untouched;
                else
                    missing += group.count - held - untouched;
            }
        } else if (step.operation == u'D') {
            if (!step.primaryKey || incomplete)
                return;
            for (const LedgerRow& row : step.ledgerRows) {
                if (keyHeld(step, row.key))
                    ++missing;
            }
            keysHeld = missing > 0;
        } else {
            for (const LedgerRow& row : step.ledgerRows) {
                if (!keyHeld(step, row.key)) {
                    if (!incomplete)
                        ++missing;
                } else if (rowsOnAccount(row.key.value(0), row.key.value(1)) == 0
                           && !keyHeld(step, row.key, row.check)) {
                    // The undo would delete it, and with it what was changed in it since.
                    throw UndoRefused(QStringLiteral("Merge %1 cannot be undone: the account %2 that the merge added "
                                                     "to client %3 has been changed since the merge (its name, its "
                                                     "balance or another detail), and the undo would delete it.\n"
                                                     "Nothing has been changed.")
                                          .arg(merge.auditId)
                                          .arg(row.key.value(1).toString(), row.key.value(0).toString()));
                }
            }
        }
        if (missing == 0 && changed == 0)
            return;
        const QStringList later = laterMergesOf(step);
        if (!later.isEmpty())
            throw UndoRefused(QStringLiteral("Merge %1 cannot be undone yet: a later merge changed its rows again.\n%2")
                                  .arg(merge.auditId)
                                  .arg(later.size() == 1 ? QStringLiteral("Undo merge %1 first.").arg(later.first())
                                                         : QStringLiteral("Undo merges %1 first, in that order.")
                                                               .arg(later.join(QStringLiteral(", ")))));
        if (keysHeld)
            throw UndoRefused(QStringLiteral("Merge %1 cannot be undone: %2 rows of the table %3 that the merge "
                                             "deleted cannot be put back, because other rows now hold their keys.\n"
                                             "Nothing has been changed.")
                                  .arg(merge.auditId)
                                  .arg(missing)
                                  .arg(step.table));
        if (changed > 0)
            throw UndoRefused(QStringLiteral("Merge %1 cannot be undone: %2 rows of the table %3 that the merge moved "
                                             "have been changed since the merge; moving them back would not give back "
                                             "what the merge found.\nNothing has been changed.")
                                  .arg(merge.auditId)
                                  .arg(changed)
                                  .arg(step.table));
        throw UndoRefused(QStringLiteral("Merge %1 cannot be undone: %2 rows of the table %3 are no longer as the "
                                         "merge left them (moved, changed or deleted since).\nNothing has been "
                                         "changed.")
                              .arg(merge.auditId)
                              .arg(missing)
                              .arg(step.table));
    }

    // The moved rows that are as the merge left them get their old values back; the rows changed.
    int moveBack(const LedgerStep& step)
    {
        const QString set = assignments(step.changedColumns, QStringLiteral("Old"));
        const QString holding = equalTo(step.changedColumns, step.newValues, QStringLiteral("Merged"));
        if (step.integerKey) {
            // The rows of the record that are as the merge left them, then those rows' update.
            const QString asLeft = step.checkColumns.isEmpty()
                ? QString()
                : QStringLiteral(" AND (r.RowCheck IS NULL OR r.RowCheck = %1)").arg(rowNow(step, step.newValues));
            Statement update(connection,
                             QStringLiteral("UPDATE %1 SET %2 WHERE %3 AND %4 IN (SELECT r.KeyID FROM "
                                            "KolvixMergeRow r WHERE r.MergeID = %5 AND r.StepNo = %6%7)")
                                 .arg(quotedName(step.table), set, holding, quotedName(step.keyColumns[0]))
                                 .arg(mergeId)
                                 .arg(step.stepNo)
                                 .arg(asLeft),
                             timeout);
            bindValues(update, step.oldValues);
            bindValues(update, step.newValues);
            if (!step.checkColumns.isEmpty())
                bindValues(update, step.newValues);
            update.execute();
            return update.rowsAffected();
        }
        int rows = 0;
        for (const RowGroup& group : groupedRows(step)) {
            const bool checked = !step.checkColumns.isEmpty() && !group.row->check.isNull();
            Statement update(connection,
                             QStringLiteral("UPDATE TOP (%1) %2 SET %3 WHERE %4 AND %5%6")
                                 .arg(group.count)
                                 .arg(quotedName(step.table), set, holding,
                                      equalTo(step.keyColumns, group.row->key, QStringLiteral("Key")),
                                      checked ? QStringLiteral(" AND ") + checkOf(step, quotedName(step.table))
                                              + QStringLiteral(" = :RowCheck")
                                              : QString()),
                             timeout);
            bindValues(update, step.oldValues);
            bindValues(update, step.newValues);
            bindValues(update, group.row->key);
            if (checked)
                update.addValue(group.row->check);
            update.execute();
            rows += update.rowsAffected();
        }
        return rows;
    }

    // Deleted rows come back as they were; the rows put back.
    int putBack(const LedgerStep& step)
    {
        QStringList names;
        QStringList marks;
        for (const QString& column : step.changedColumns) {
            names << quotedName(column);
            marks << parameterFor(QString(), column);
        }
        // SQL Server fills an identity column itself unless told to take the value given.
        bool identity = false;
        if (!connection.isEmbedded()) {
            Statement query(connection,
                            QStringLiteral("SELECT COUNT(*) FROM sys.identity_columns WHERE object_id = "
                                           "OBJECT_ID(:TableName)"),
                            timeout);
            query.addValue(step.table);
            identity = scalarOf(query) > 0;
        }
        if (identity)
            Statement(connection, QStringLiteral("SET IDENTITY_INSERT %1 ON").arg(quotedName(step.table)), timeout)
                .execute();
        int rows = 0;
        for (const LedgerRow& row : step.ledgerRows) {
            if (step.primaryKey && keyHeld(step, row.key)) {
                if (incomplete)
                    continue; // the merge stopped before it deleted the row
                throw UndoRefused(QStringLiteral("a row of the table %1 that the merge deleted cannot be put back, "
                                                 "because another row now holds its key")
                                      .arg(step.table));
            }
            Statement insert(
                connection,
                QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(quotedName(step.table), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                timeout);
            for (const QVariant& value : row.data)
                insert.addValue(value);
            insert.execute();
            ++rows;
        }
        if (identity)
            Statement(connection, QStringLiteral("SET IDENTITY_INSERT %1 OFF").arg(quotedName(step.table)), timeout)
                .execute();
        return rows;
    }

    // The account the merge added goes when no row refers to it any more and it is as the merge
    // left it; when rows refer to it, it stays and the line that says so is given.
    QString removeAddedAccount(const LedgerStep& step)
    {
        QString kept;
        for (const LedgerRow& row : step.ledgerRows) {
            if (row.key.size() < 2 || !keyHeld(step, row.key))
                continue; // gone already, or (a merge that stopped) never added
            const int references = rowsOnAccount(row.key[0], row.key[1]);
            if (references > 0) {
                kept += QStringLiteral("\n\nThe account %1 that the merge added to client %2 stays: %3 rows that "
                                       "were added after the merge refer to it.")
                            .arg(row.key[1].toString(), row.key[0].toString())
                            .arg(references);
                writeLogFmt(QStringLiteral("undo: account %s of client %s kept (%d rows refer to it)"),
                            {row.key[1].toString(), row.key[0].toString(), references});
                continue;
            }
            if (!keyHeld(step, row.key, row.check))
                throw UndoRefused(QStringLiteral("Merge %1 cannot be undone: the account %2 that the merge added to "
                                                 "client %3 has been changed since the merge, and the undo would "
                                                 "delete it.\nNothing has been changed.")
                                      .arg(merge.auditId)
                                      .arg(row.key[1].toString(), row.key[0].toString()));
            Statement remove(connection,
                             QStringLiteral("DELETE FROM %1 WHERE %2")
                                 .arg(quotedName(step.table), equalTo(step.keyColumns, row.key, QStringLiteral("Key"))),
                             timeout);
            bindValues(remove, row.key);
            remove.execute();
        }
        return kept;
    }

    MergeSession& s;
    Connection& connection;
    int timeout;
    const MergeHistoryEntry& merge;
    int mergeId;
    bool incomplete;
    std::vector<LedgerStep> steps;
};

QString undoAction(const MergeHistoryEntry& merge)
{
    return QStringLiteral("Undo merge %1: %2 > %3 (%4 > %5)")
        .arg(merge.auditId)
        .arg(merge.from)
        .arg(merge.to)
        .arg(merge.fromName, merge.toName)
        .left(kAuditActionLength);
}

QString tableLines(const std::vector<LedgerTableRows>& tables)
{
    QStringList lines;
    for (const LedgerTableRows& t : tables) {
        QStringList parts;
        if (t.moved)
            parts << QStringLiteral("%1 moved back").arg(t.moved);
        if (t.deleted)
            parts << QStringLiteral("%1 put back").arg(t.deleted);
        if (t.added)
            parts << QStringLiteral("%1 added by the merge removed").arg(t.added);
        lines << QStringLiteral("  %1: %2").arg(t.table, parts.join(QStringLiteral(", ")));
    }
    return lines.join(QLatin1Char('\n'));
}

QString auditComment(const std::vector<LedgerTableRows>& tables)
{
    QStringList parts;
    for (const LedgerTableRows& t : tables)
        parts << QStringLiteral("%1 %2").arg(t.table).arg(t.moved + t.deleted + t.added);
    return parts.join(QStringLiteral(", ")).left(kAuditCommentLength);
}

// Writes the undo's Audit row and marks the ledger undone, inside the undo's transaction.
void recordUndo(MergeSession& s, const UndoPlan& plan, int mergeId)
{
    const int timeout = s.cmd.commandTimeout();
    const QDateTime now = QDateTime::currentDateTime();
    const QString action = undoAction(plan.merge);
    Statement audit(s.conZelvan,
                    QStringLiteral("INSERT INTO Audit (AuditDateTime, UserName, Action, Comment, Report)\r\n"
                                   "VALUES (:AuditDateTime, 'MERGE', :Action, :Comment, 0)"),
                    timeout);
    audit.addValue(now);
    audit.addValue(action);
    audit.addValue(auditComment(plan.tables));
    audit.execute();
    Statement id(s.conZelvan,
                 QStringLiteral("SELECT MAX(AuditID) FROM Audit WHERE UserName = 'MERGE' AND Action = :Action"),
                 timeout);
    id.addValue(action);
    const int undoAuditId = int(scalarOf(id));
    Statement mark(s.conZelvan,
                   QStringLiteral("UPDATE KolvixMerge SET MergeState = 'undone', UndoneAt = :UndoneAt, UndoAuditID "
                                  "= :UndoAuditID WHERE MergeID = :MergeID"),
                   timeout);
    mark.addValue(now);
    mark.addValue(undoAuditId);
    mark.addValue(mergeId);
    mark.execute();
}

} // namespace

UndoPlan::UndoPlan() = default;

UndoPlan::~UndoPlan()
{
    end();
}

void UndoPlan::end()
{
    if (m_waitBudget)
        m_waitBudget->endLockWaitBudget();
    m_waitBudget = nullptr;
    m_lock.reset();
}

QString UndoPlan::confirmationText() const
{
    return QStringLiteral("Are you sure you want to undo merge %1 of '%2' into '%3' (%4)?\n\n"
                          "These rows go back to '%2':\n%5\n\n"
                          "Rows that '%3' gained after the merge stay with '%3'.")
        .arg(merge.auditId)
        .arg(merge.fromName, merge.toName, merge.when.toString(QStringLiteral("yyyy-MM-dd HH:mm")), tableLines(tables));
}

std::unique_ptr<UndoPlan> planUndo(MergeSession& s, int auditId)
{
    writeLogFmt(QStringLiteral("undoing merge %d"), {auditId});
    auto plan = std::make_unique<UndoPlan>();
    const auto refuse = [&](const QString& why, const QString& message) -> std::unique_ptr<UndoPlan> {
        writeLog(QStringLiteral("cancelled - ") + why);
        s.ui.showInfo(message);
        return nullptr;
    };

    plan->m_lock = std::make_unique<MergeLock>(s.conZelvan);
    if (!plan->m_lock->tryAcquire()) {
        if (!plan->m_lock->error().isEmpty())
            writeLogFmt(QStringLiteral("merge lock: %s"), {plan->m_lock->error()});
        return refuse(QStringLiteral("another merge is in progress [MergeLocked]"), plan->m_lock->refusalMessage());
    }
    // As for a merge: every wait for another connection's lock from here to the outcome counts
    // against one limit.
    s.conZelvan.beginLockWaitBudget();
    plan->m_waitBudget = &s.conZelvan;

    const std::vector<MergeHistoryEntry> history = readMergeHistory(s.conZelvan);
    const auto found = std::find_if(history.begin(), history.end(),
                                    [&](const MergeHistoryEntry& e) { return e.auditId == auditId; });
    if (found == history.end())
        return refuse(QStringLiteral("no such merge [NoMerge]"),
                      QStringLiteral("There is no merge with the Audit row %1.\nThe merge history lists the merges "
                                     "and their Audit rows.")
                          .arg(auditId));
    plan->merge = *found;
    writeLogFmt(QStringLiteral("  from: %d=%s"), {plan->merge.from, plan->merge.fromName});
    writeLogFmt(QStringLiteral("  into: %d=%s"), {plan->merge.to, plan->merge.toName});
    switch (plan->merge.state) {
    case MergeHistoryEntry::State::Reverted:
        return refuse(
            QStringLiteral("the merge was rolled back [Reverted]"),
            QStringLiteral("Merge %1 was rolled back when it was made; there is nothing to undo.").arg(auditId));
    case MergeHistoryEntry::State::NotCompleted:
        return refuse(QStringLiteral("the merge did not complete [NotCompleted]"),
                      QStringLiteral("Merge %1 did not complete: it was stopped before it was committed, and nothing "
                                     "was changed. There is nothing to undo.")
                          .arg(auditId));
    case MergeHistoryEntry::State::Undone:
        return refuse(QStringLiteral("the merge has been undone [Undone]"),
                      QStringLiteral("Merge %1 was undone on %2. An undone merge cannot be undone again.")
                          .arg(auditId)
                          .arg(plan->merge.undoneAt.toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    case MergeHistoryEntry::State::NotReversible:
        return refuse(QStringLiteral("the merge has no ledger [NoLedger]"),
                      QStringLiteral("Merge %1 cannot be undone: there is no record of the rows it changed. It was "
                                     "made before this version of the utility, by another tool, or on request "
                                     "without a record.")
                          .arg(auditId));
    case MergeHistoryEntry::State::Merged:
    case MergeHistoryEntry::State::Incomplete:
        break;
    }

    plan->m_mergeId = ledgerMergeOf(s.conZelvan, auditId);
    QString damage;
    plan->m_steps
        = readMergeRecord(s.conZelvan, plan->m_mergeId, plan->merge.state == MergeHistoryEntry::State::Merged, damage);
    if (!damage.isEmpty())
        return refuse(QStringLiteral("the merge's record is damaged [RecordDamaged]"),
                      QStringLiteral("The record of merge %1 is damaged (%2). Nothing has been changed.")
                          .arg(auditId)
                          .arg(damage));
    plan->tables = readLedgerRows(s.conZelvan, auditId);
    Undo undo(s, plan->merge, plan->m_mergeId);
    undo.steps = plan->m_steps;
    try {
        undo.checkParents();
        for (const LedgerStep& step : plan->m_steps)
            undo.check(step);
    } catch (const UndoRefused& e) {
        return refuse(QStringLiteral("the rows are no longer as the merge left them [LedgerChanged]"), e.message);
    }
    return plan;
}

MergeOutcome cancelUndo(UndoPlan& plan)
{
    writeLog(QStringLiteral("cancelled - user cancelled the undo"));
    plan.end();
    return MergeOutcome::Cancelled;
}

MergeOutcome executeUndo(MergeSession& s, UndoPlan& plan, bool dryRun)
{
    struct EndOfPlan
    {
        UndoPlan& plan;
        ~EndOfPlan() { plan.end(); }
    } endOfPlan {plan};
    const WaitCursor wait(s.ui);

    const int auditId = plan.merge.auditId;
    Undo undo(s, plan.merge, plan.m_mergeId);
    QString kept;
    try {
        watchingForLocks(s.conZelvan, s.ui, QStringLiteral("the transaction could not begin"),
                         [&] { s.conZelvan.beginTransaction(); });
        for (auto step = plan.m_steps.rbegin(); step != plan.m_steps.rend(); ++step) {
            if (step->operation == u'U') {
                const int rows = undo.moveBack(*step);
                if (!undo.incomplete && rows != step->rows)
                    throw UndoRefused(QStringLiteral("Merge %1 cannot be undone: %2 of %3 rows of the table %4 are "
                                                     "no longer as the merge left them.\nNothing has been changed.")
                                          .arg(auditId)
                                          .arg(step->rows - rows)
                                          .arg(step->rows)
                                          .arg(step->table));
                writeLogFmt(QStringLiteral("undo [%s].[%s] %d rows back"),
                            {step->table, step->changedColumns.join(QLatin1Char('|')), rows});
            } else if (step->operation == u'D') {
                writeLogFmt(QStringLiteral("undo [%s] %d deleted rows back"), {step->table, undo.putBack(*step)});
            } else {
                kept += undo.removeAddedAccount(*step);
            }
        }
        if (dryRun) {
            s.conZelvan.rollbackTransaction();
            writeLog(QStringLiteral("dry run - rolled back"));
            s.ui.showInfo(QStringLiteral("Dry run complete: the undo ran and was rolled back. Nothing was changed."));
            return MergeOutcome::Merged;
        }
        recordUndo(s, plan, plan.m_mergeId);
        watchingForLocks(s.conZelvan, s.ui, QStringLiteral("the changes could not be committed"),
                         [&] { s.conZelvan.commitTransaction(); });
    } catch (const UndoRefused& e) {
        if (s.conZelvan.inTransaction())
            s.conZelvan.rollbackTransaction();
        writeLog(QStringLiteral("cancelled - the rows are no longer as the merge left them [LedgerChanged]"));
        s.ui.showInfo(e.message);
        return MergeOutcome::Refused;
    } catch (const std::exception& e) {
        writeLogFmt(QStringLiteral("EXCEPTION %s"), {exceptionMessage(e)});
        writeLog(QStringLiteral("failed - the merge could not be undone [DBRollbackTrans]"));
        QString rollbackFailure;
        try {
            if (s.conZelvan.inTransaction())
                s.conZelvan.rollbackTransaction();
        } catch (const std::exception& failure) {
            rollbackFailure = exceptionMessage(failure);
        }
        s.ui.showWarning(
            QStringLiteral("Merge %1 could not be undone: %2\n").arg(auditId).arg(exceptionMessage(e))
            + (rollbackFailure.isEmpty()
                   ? QStringLiteral("Nothing has been changed.")
                   : QStringLiteral("The changes could not be rolled back at once (%1); the database takes them "
                                    "back itself the next time it is opened.")
                         .arg(rollbackFailure))
            + lockWaitAdvice(s.conZelvan, QStringLiteral("undo"), QStringLiteral("undo the merge again")));
        return MergeOutcome::Failed;
    }
    writeLogFmt(QStringLiteral("success - merge %d undone"), {auditId});
    s.ui.showInfo(QStringLiteral("Merge %1 has been undone: the rows it moved from '%2' to '%3' are back with '%2'.")
                      .arg(auditId)
                      .arg(plan.merge.fromName, plan.merge.toName)
                  + kept);
    return MergeOutcome::Merged;
}

} // namespace kolvix
