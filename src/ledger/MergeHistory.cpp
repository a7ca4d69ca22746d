#include "ledger/MergeHistory.h"

#include "db/Connection.h"
#include "db/Statement.h"
#include "ledger/MergeLedger.h"

#include <QHash>
#include <QRegularExpression>

namespace kolvix {

namespace {

struct LedgerMerge
{
    QDateTime mergedAt;
    QString workstation;
    qint32 from = -1;
    qint32 to = -1;
    QString fromName;
    QString toName;
    int rows = 0;
    int steps = 0; // the steps recorded (a merge that has not committed)
    int stepRows = 0;
    QString state;
    QDateTime undoneAt;
};

QHash<int, LedgerMerge> readLedgerMerges(Connection& connection)
{
    QHash<int, LedgerMerge> merges;
    if (!ledgerTablesExist(connection))
        return merges;
    Statement query(connection,
                    QStringLiteral("SELECT m.AuditID, m.MergedAt, m.Workstation, m.FromClientID, m.ToClientID, "
                                   "m.FromName, m.ToName, m.RowsChanged, m.MergeState, m.UndoneAt, s.Steps, "
                                   "s.StepRows\r\nFROM KolvixMerge m\r\nLEFT JOIN (SELECT MergeID, COUNT(*) AS "
                                   "Steps, SUM(RowsChanged) AS StepRows FROM KolvixMergeStep GROUP BY MergeID) s ON "
                                   "s.MergeID = m.MergeID\r\nWHERE m.AuditID IS NOT NULL"),
                    connection.commandTimeout());
    query.execute();
    while (query.next()) {
        LedgerMerge m;
        m.mergedAt = dateTimeOf(query.value(1));
        m.workstation = query.value(2).toString();
        m.from = query.value(3).toInt();
        m.to = query.value(4).toInt();
        m.fromName = query.value(5).toString();
        m.toName = query.value(6).toString();
        m.rows = query.value(7).toInt();
        m.state = query.value(8).toString();
        if (!query.isNull(9))
            m.undoneAt = dateTimeOf(query.value(9));
        m.steps = query.value(10).toInt();
        m.stepRows = query.value(11).toInt();
        merges.insert(query.value(0).toInt(), m);
    }
    query.throwIfReadFailed();
    return merges;
}

} // namespace

QDateTime dateTimeOf(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    // The embedded engine keeps date-times as text.
    QDateTime when = QDateTime::fromString(value.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (!when.isValid())
        when = QDateTime::fromString(value.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return when.isValid() ? when : QDateTime::fromString(value.toString(), Qt::ISODate);
}

std::optional<MergeAction> readMergeAction(const QString& text)
{
    static const QRegularExpression merge(QStringLiteral("^Merge (\\d+) > (\\d+)(?: \\((.*)\\))?"));
    MergeAction action;
    QString rest = text;
    action.reverted = rest.endsWith(QLatin1String(kRevertedMark));
    if (action.reverted)
        rest.chop(qsizetype(qstrlen(kRevertedMark)));
    const QRegularExpressionMatch match = merge.match(rest);
    bool fromOk = false;
    bool toOk = false;
    if (match.hasMatch()) {
        action.from = match.captured(1).toInt(&fromOk);
        action.to = match.captured(2).toInt(&toOk);
    }
    if (!fromOk || !toOk)
        return std::nullopt;
    const QString names = match.captured(3);
    const qsizetype split = names.indexOf(QStringLiteral(" > "));
    if (split >= 0) {
        action.fromName = names.left(split);
        action.toName = names.mid(split + 3);
    } else {
        action.fromName = names;
    }
    return action;
}

QString MergeHistoryEntry::stateText() const
{
    switch (state) {
    case State::Merged:
        return QStringLiteral("merged");
    case State::Reverted:
        return QStringLiteral("reverted");
    case State::Undone:
        return QStringLiteral("undone ") + undoneAt.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    case State::Incomplete:
        return QStringLiteral("incomplete");
    case State::NotCompleted:
        return QStringLiteral("did not complete, nothing changed");
    case State::NotReversible:
        break;
    }
    return QStringLiteral("not reversible");
}

std::vector<MergeHistoryEntry> readMergeHistory(Connection& connection, int limit)
{
    const QHash<int, LedgerMerge> ledger = readLedgerMerges(connection);
    Statement query(connection,
                    QStringLiteral("SELECT %1AuditID, AuditDateTime, Action, Comment FROM Audit\r\n"
                                   "WHERE UserName = 'MERGE' AND Action LIKE 'Merge %'\r\nORDER BY AuditID DESC")
                        .arg(limit > 0 ? QStringLiteral("TOP %1 ").arg(limit) : QString()),
                    connection.commandTimeout());
    query.execute();
    std::vector<MergeHistoryEntry> history;
    while (query.next()) {
        MergeHistoryEntry entry;
        entry.auditId = query.value(0).toInt();
        entry.when = dateTimeOf(query.value(1));
        entry.action = query.value(2).toString();
        entry.comment = query.value(3).toString();
        const std::optional<MergeAction> action = readMergeAction(entry.action);
        if (action) {
            entry.from = action->from;
            entry.to = action->to;
            entry.fromName = action->fromName;
            entry.toName = action->toName;
        }
        const auto found = ledger.constFind(entry.auditId);
        if (action && action->reverted) {
            entry.state = MergeHistoryEntry::State::Reverted;
        } else if (found != ledger.cend()) {
            const LedgerMerge& m = *found;
            entry.workstation = m.workstation;
            entry.from = m.from;
            entry.to = m.to;
            entry.fromName = m.fromName;
            entry.toName = m.toName;
            entry.rows = m.rows;
            entry.undoneAt = m.undoneAt;
            if (m.state == QLatin1String("undone")) {
                entry.state = MergeHistoryEntry::State::Undone;
            } else if (m.state == QLatin1String("merged")) {
                entry.state = MergeHistoryEntry::State::Merged;
            } else if (m.state == QLatin1String("reverted")) {
                entry.state = MergeHistoryEntry::State::Reverted;
            } else {
                // Started ("merging" in older records) and never finished: what its steps recorded
                // is what moved; with none, the merge was rolled back or stopped before its first.
                entry.rows = m.stepRows;
                entry.state
                    = m.steps > 0 ? MergeHistoryEntry::State::Incomplete : MergeHistoryEntry::State::NotCompleted;
            }
        }
        history.push_back(entry);
    }
    query.throwIfReadFailed();
    return history;
}

std::vector<LedgerTableRows> readLedgerRows(Connection& connection, int auditId)
{
    std::vector<LedgerTableRows> tables;
    if (!ledgerTablesExist(connection))
        return tables;
    Statement query(connection,
                    QStringLiteral("SELECT s.TableName, s.Operation, s.RowsChanged FROM KolvixMergeStep s\r\n"
                                   "JOIN KolvixMerge m ON m.MergeID = s.MergeID\r\n"
                                   "WHERE m.AuditID = :AuditID\r\nORDER BY s.StepNo"),
                    connection.commandTimeout());
    query.addValue(auditId);
    query.execute();
    while (query.next()) {
        const QString table = query.value(0).toString();
        auto at = std::find_if(tables.begin(), tables.end(), [&](const LedgerTableRows& t) {
            return t.table.compare(table, Qt::CaseInsensitive) == 0;
        });
        if (at == tables.end())
            at = tables.insert(tables.end(), LedgerTableRows {table});
        const QString operation = query.value(1).toString();
        const int rows = query.value(2).toInt();
        if (operation == QLatin1String("D"))
            at->deleted += rows;
        else if (operation == QLatin1String("I"))
            at->added += rows;
        else
            at->moved += rows;
    }
    query.throwIfReadFailed();
    return tables;
}

QStringList accountMappingLines(const QString& comment)
{
    static const QRegularExpression slot(QStringLiteral("(MRG|ADD)\\[(\\d+):([^|]*)\\|(\\d+):([^\\]]*)\\]"));
    QStringList lines;
    for (auto it = slot.globalMatch(comment); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        lines << QStringLiteral("%1 %2 -> %3 %4 (%5)")
                     .arg(m.captured(2), m.captured(3), m.captured(4), m.captured(5),
                          m.captured(1) == QLatin1String("MRG") ? QStringLiteral("merged") : QStringLiteral("added"));
    }
    return lines;
}

} // namespace kolvix
