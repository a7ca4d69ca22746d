#include "merge/MergeHistory.h"

#include "db/Connection.h"
#include "db/Statement.h"
#include "merge/MergeLedger.h"

#include <QHash>
#include <QRegularExpression>

namespace kolvix {

namespace {

const char* const kRevertedMark = " - reverted";

struct LedgerMerge
{
    QDateTime mergedAt;
    QString workstation;
    qint32 from = -1;
    qint32 to = -1;
    QString fromName;
    QString toName;
    int rows = 0;
    QString state;
    QDateTime undoneAt;
};

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

QHash<int, LedgerMerge> readLedgerMerges(Connection& connection)
{
    QHash<int, LedgerMerge> merges;
    if (!ledgerTablesExist(connection))
        return merges;
    Statement query(connection,
                    QStringLiteral("SELECT AuditID, MergedAt, Workstation, FromClientID, ToClientID, FromName, "
                                   "ToName, RowsChanged, MergeState, UndoneAt\r\nFROM KolvixMerge WHERE AuditID IS "
                                   "NOT NULL"),
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
        merges.insert(query.value(0).toInt(), m);
    }
    query.throwIfReadFailed();
    return merges;
}

// "Merge 812 > 57 (Sample, One > Sample, Two)", cut to the column's 100 characters.
void readAction(MergeHistoryEntry& entry, QString action)
{
    static const QRegularExpression merge(QStringLiteral("^Merge (\\d+) > (\\d+)(?: \\((.*)\\))?"));
    const QRegularExpressionMatch match = merge.match(action);
    if (!match.hasMatch())
        return;
    entry.from = match.captured(1).toInt();
    entry.to = match.captured(2).toInt();
    const QString names = match.captured(3);
    const qsizetype split = names.indexOf(QStringLiteral(" > "));
    if (split >= 0) {
        entry.fromName = names.left(split);
        entry.toName = names.mid(split + 3);
    } else {
        entry.fromName = names;
    }
}

} // namespace

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
        QString action = entry.action;
        const bool reverted = action.endsWith(QLatin1String(kRevertedMark));
        if (reverted)
            action.chop(qsizetype(qstrlen(kRevertedMark)));
        readAction(entry, action);
        const auto found = ledger.constFind(entry.auditId);
        if (reverted) {
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
            entry.state = m.state == QLatin1String("undone") ? MergeHistoryEntry::State::Undone
                : m.state == QLatin1String("merged")         ? MergeHistoryEntry::State::Merged
                                                             : MergeHistoryEntry::State::Incomplete;
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
