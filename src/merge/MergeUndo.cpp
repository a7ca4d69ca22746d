#include "merge/MergeUndo.h"

#include "core/Log.h"
#include "core/UserInterface.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Statement.h"
#include "merge/LockWaitWatch.h"
#include "merge/MergeLedger.h"
#include "merge/MergeLock.h"
#include "merge/MergeSession.h"
#include "merge/RecordMovers.h"

#include <QDateTime>
#include <QRegularExpression>
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

QVariantList asList(const std::vector<QVariant>& values)
{
    return QVariantList(values.begin(), values.end());
}

QStringList asNames(const std::vector<QVariant>& values)
{
    QStringList names;
    for (const QVariant& value : values)
        names << value.toString();
    return names;
}

// A parameter for a column's value: ":<role><column>" where the column's name can be one, else
// ":<role>Value". The values are bound in order, whatever the names.
QString parameterFor(const QString& role, const QString& column)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return QLatin1Char(':') + role + (plain.match(column).hasMatch() ? column : QStringLiteral("Value"));
}

// "[A] = :KeyA AND [B] IS NULL": the condition for these values, whose non-null ones are bound
// in order by bindValues.
QString equalTo(const QStringList& columns, const QVariantList& values, const QString& role)
{
    QStringList parts;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const bool null = i >= values.size() || values[i].isNull();
        parts << quotedName(columns[i])
                + (null ? QStringLiteral(" IS NULL") : QStringLiteral(" = ") + parameterFor(role, columns[i]));
    }
    return parts.join(QStringLiteral(" AND "));
}

void bindValues(Statement& statement, const QVariantList& values)
{
    for (const QVariant& value : values) {
        if (!value.isNull())
            statement.addValue(value);
    }
}

// "[A] = :OldA, [B] = :OldB", every value bound.
QString assignments(const QStringList& columns)
{
    QStringList parts;
    for (const QString& column : columns)
        parts << quotedName(column) + QStringLiteral(" = ") + parameterFor(QStringLiteral("Old"), column);
    return parts.join(QStringLiteral(", "));
}

// The rows of the step as the ledger lists them, for the engine to match: a sub-query of KeyID.
QString ledgerKeys(int mergeId, const LedgerStep& step)
{
    return QStringLiteral("(SELECT KeyID FROM KolvixMergeRow WHERE MergeID = %1 AND StepNo = %2)")
        .arg(mergeId)
        .arg(step.stepNo);
}

int scalar(Statement& statement)
{
    statement.execute();
    return statement.next() && !statement.isNull(0) ? statement.value(0).toInt() : 0;
}

class Undo
{
public:
    Undo(MergeSession& s, int mergeId, bool incomplete)
        : s(s)
        , connection(s.conZelvan)
        , timeout(s.cmd.commandTimeout())
        , mergeId(mergeId)
        , incomplete(incomplete)
    {
    }

    std::vector<LedgerStep> readSteps()
    {
        Statement query(connection,
                        QStringLiteral("SELECT StepNo, TableName, Operation, ChangedColumns, OldValues, "
                                       "NewValues, KeyColumns, IntegerKey, PrimaryKey, RowsChanged\r\n"
                                       "FROM KolvixMergeStep WHERE MergeID = :MergeID ORDER BY StepNo"),
                        timeout);
        query.addValue(mergeId);
        query.execute();
        std::vector<LedgerStep> steps;
        while (query.next()) {
            LedgerStep step;
            step.stepNo = query.value(0).toInt();
            step.table = query.value(1).toString();
            step.operation = query.value(2).toString().front();
            step.changedColumns = asNames(decodeValues(query.value(3).toString()));
            step.oldValues = asList(decodeValues(query.value(4).toString()));
            step.newValues = asList(decodeValues(query.value(5).toString()));
            step.keyColumns = asNames(decodeValues(query.value(6).toString()));
            step.integerKey = query.value(7).toInt() != 0;
            step.primaryKey = query.value(8).toInt() != 0;
            step.rows = query.value(9).toInt();
            steps.push_back(step);
        }
        query.throwIfReadFailed();
        return steps;
    }

    // The ledger's row keys of a step (RowKey, decoded), with RowData for deleted rows.
    std::vector<std::pair<QVariantList, QVariantList>> ledgerRows(const LedgerStep& step)
    {
        Statement query(connection,
                        QStringLiteral("SELECT RowKey, RowData FROM KolvixMergeRow WHERE MergeID = :MergeID AND "
                                       "StepNo = :StepNo"),
                        timeout);
        query.addValue(mergeId);
        query.addValue(step.stepNo);
        query.execute();
        std::vector<std::pair<QVariantList, QVariantList>> rows;
        while (query.next())
            rows.emplace_back(asList(decodeValues(query.value(0).toString())),
                              asList(decodeValues(query.value(1).toString())));
        query.throwIfReadFailed();
        return rows;
    }

    // How many of the step's rows hold these values in the rewritten columns now.
    int rowsHolding(const LedgerStep& step, const QVariantList& values)
    {
        const QString holding = equalTo(step.changedColumns, values, QStringLiteral("Now"));
        if (step.integerKey) {
            Statement count(
                connection,
                QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 AND %3 IN %4")
                    .arg(quotedName(step.table), holding, quotedName(step.keyColumns[0]), ledgerKeys(mergeId, step)),
                timeout);
            bindValues(count, values);
            return scalar(count);
        }
        int rows = 0;
        for (const auto& [key, data] : ledgerRows(step)) {
            Statement count(
                connection,
                QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 AND %3")
                    .arg(quotedName(step.table), holding, equalTo(step.keyColumns, key, QStringLiteral("Key"))),
                timeout);
            bindValues(count, values);
            bindValues(count, key);
            rows += scalar(count);
        }
        return rows;
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
        return scalar(count);
    }

    // Whether a row with this key is in the table.
    bool keyHeld(const LedgerStep& step, const QVariantList& key)
    {
        Statement count(connection,
                        QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2")
                            .arg(quotedName(step.table), equalTo(step.keyColumns, key, QStringLiteral("Key"))),
                        timeout);
        bindValues(count, key);
        return scalar(count) > 0;
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

    // Throws UndoRefused when a row of the step is not as the merge left it.
    void check(const LedgerStep& step, int auditId)
    {
        int missing = 0;
        bool keysHeld = false;
        if (step.operation == u'U') {
            const int expected = step.rows - deletedLater(step);
            const int asLeft = rowsHolding(step, step.newValues);
            const int untouched = incomplete ? rowsHolding(step, step.oldValues) : 0;
            missing = expected - asLeft - untouched;
            if (asLeft + untouched > expected)
                missing = asLeft + untouched - expected; // rows that cannot be told apart
        } else if (step.operation == u'D') {
            if (!step.primaryKey || incomplete)
                return;
            for (const auto& [key, data] : ledgerRows(step)) {
                if (keyHeld(step, key))
                    ++missing;
            }
            keysHeld = missing > 0;
        } else if (!incomplete) {
            for (const auto& [key, data] : ledgerRows(step)) {
                if (!keyHeld(step, key))
                    ++missing;
            }
        }
        if (missing == 0)
            return;
        const QStringList later = laterMergesOf(step);
        if (!later.isEmpty())
            throw UndoRefused(QStringLiteral("Merge %1 cannot be undone yet: a later merge changed its rows again.\n%2")
                                  .arg(auditId)
                                  .arg(later.size() == 1 ? QStringLiteral("Undo merge %1 first.").arg(later.first())
                                                         : QStringLiteral("Undo merges %1 first, in that order.")
                                                               .arg(later.join(QStringLiteral(", ")))));
        if (keysHeld)
            throw UndoRefused(QStringLiteral("Merge %1 cannot be undone: %2 rows of the table %3 that the merge "
                                             "deleted cannot be put back, because other rows now hold their keys.\n"
                                             "Nothing has been changed.")
                                  .arg(auditId)
                                  .arg(missing)
                                  .arg(step.table));
        throw UndoRefused(QStringLiteral("Merge %1 cannot be undone: %2 rows of the table %3 are no longer as the "
                                         "merge left them (moved, changed or deleted since).\nNothing has been "
                                         "changed.")
                              .arg(auditId)
                              .arg(missing)
                              .arg(step.table));
    }

    // The moved rows get their old values back; the rows changed.
    int moveBack(const LedgerStep& step)
    {
        const QString set = assignments(step.changedColumns);
        const QString holding = equalTo(step.changedColumns, step.newValues, QStringLiteral("Merged"));
        if (step.integerKey) {
            Statement update(connection,
                             QStringLiteral("UPDATE %1 SET %2 WHERE %3 AND %4 IN %5")
                                 .arg(quotedName(step.table), set, holding, quotedName(step.keyColumns[0]),
                                      ledgerKeys(mergeId, step)),
                             timeout);
            bindValues(update, step.oldValues);
            bindValues(update, step.newValues);
            update.execute();
            return update.rowsAffected();
        }
        int rows = 0;
        for (const auto& [key, data] : ledgerRows(step)) {
            Statement update(
                connection,
                QStringLiteral("UPDATE %1 SET %2 WHERE %3 AND %4")
                    .arg(quotedName(step.table), set, holding, equalTo(step.keyColumns, key, QStringLiteral("Key"))),
                timeout);
            bindValues(update, step.oldValues);
            bindValues(update, step.newValues);
            bindValues(update, key);
            update.execute();
            rows += update.rowsAffected();
        }
        return rows;
    }

    // The deleted rows come back as they were; the rows inserted.
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
            identity = scalar(query) > 0;
        }
        if (identity)
            Statement(connection, QStringLiteral("SET IDENTITY_INSERT %1 ON").arg(quotedName(step.table)), timeout)
                .execute();
        int rows = 0;
        for (const auto& [key, data] : ledgerRows(step)) {
            if (step.primaryKey && keyHeld(step, key)) {
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
            for (const QVariant& value : data)
                insert.addValue(value);
            insert.execute();
            ++rows;
        }
        if (identity)
            Statement(connection, QStringLiteral("SET IDENTITY_INSERT %1 OFF").arg(quotedName(step.table)), timeout)
                .execute();
        return rows;
    }

    // The account the merge added goes when no row refers to it any more; otherwise it stays and
    // the line that says so is given.
    QString removeAddedAccount(const LedgerStep& step)
    {
        QString kept;
        for (const auto& [key, data] : ledgerRows(step)) {
            if (key.size() < 2 || !keyHeld(step, key))
                continue; // gone already, or (a merge that stopped) never added
            int references = 0;
            for (const QString& table : accountKeyedTables()) {
                Statement exists(connection, QStringLiteral("SELECT COUNT(*) FROM SYS.TABLES WHERE Name = :Name"),
                                 timeout);
                exists.addValue(table);
                if (scalar(exists) == 0)
                    continue;
                Statement count(
                    connection,
                    QStringLiteral("SELECT COUNT(*) FROM %1 WHERE [ClientID] = :ClientID AND [AccountID] = :AccountID")
                        .arg(quotedName(table)),
                    timeout);
                count.addValue(key[0]);
                count.addValue(key[1]);
                references += scalar(count);
            }
            if (references > 0) {
                kept += QStringLiteral("\n\nThe account %1 that the merge added to client %2 stays: %3 rows that "
                                       "were added after the merge refer to it.")
                            .arg(key[1].toString(), key[0].toString())
                            .arg(references);
                writeLogFmt(QStringLiteral("undo: account %s of client %s kept (%d rows refer to it)"),
                            {key[1].toString(), key[0].toString(), references});
                continue;
            }
            Statement remove(connection,
                             QStringLiteral("DELETE FROM %1 WHERE %2")
                                 .arg(quotedName(step.table), equalTo(step.keyColumns, key, QStringLiteral("Key"))),
                             timeout);
            bindValues(remove, key);
            remove.execute();
        }
        return kept;
    }

    MergeSession& s;
    Connection& connection;
    int timeout;
    int mergeId;
    bool incomplete;
};

int mergeIdOf(MergeSession& s, int auditId)
{
    Statement query(s.conZelvan, QStringLiteral("SELECT MergeID FROM KolvixMerge WHERE AuditID = :AuditID"),
                    s.cmd.commandTimeout());
    query.addValue(auditId);
    query.execute();
    return query.next() ? query.value(0).toInt() : -1;
}

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
    const int undoAuditId = scalar(id);
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

    plan->m_mergeId = mergeIdOf(s, auditId);
    Undo undo(s, plan->m_mergeId, plan->merge.state == MergeHistoryEntry::State::Incomplete);
    plan->m_steps = undo.readSteps();
    plan->tables = readLedgerRows(s.conZelvan, auditId);
    try {
        for (const LedgerStep& step : plan->m_steps)
            undo.check(step, auditId);
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
    Undo undo(s, plan.m_mergeId, plan.merge.state == MergeHistoryEntry::State::Incomplete);
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
                         .arg(rollbackFailure)));
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
