#include "merge/ContactConflict.h"

#include "core/Format.h"
#include "core/TextHelpers.h"
#include "core/UserInterface.h"
#include "db/Dataset.h"
#include "merge/MergeSession.h"
#include "merge/Runners.h"

namespace kolvix {

QString contactConflictSql(const ClientPair& clients)
{
    const qint32 toClient = clients.to;
    const qint32 fromClient = clients.from;
    static const QStringList lines = {
        QStringLiteral("DECLARE @ToID INTEGER"),
        QStringLiteral("DECLARE @FromID INTEGER"),
        QStringLiteral("SET @ToID   = %0:d"),
        QStringLiteral("SET @FromID = %1:d"),
        QStringLiteral("SELECT 'contact' AS [reason]"),
        QStringLiteral(", [toC].contactID AS [currentID]"),
        QStringLiteral(", [toC].FullNameNoTitle AS [currentName]"),
        QStringLiteral(", [toC].ContactType AS [currentType]"),
        QStringLiteral(", [toC].relationID AS [currentMergeID]"),
        QStringLiteral(", [toC].RelationMergeID AS [currentMergeType]"),
        QStringLiteral(", [toR].[Description] AS [currentDescription]"),
        QStringLiteral(", [fromC].contactID as [conflictID]"),
        QStringLiteral(", [fromC].FullNameNoTitle AS [conflictName]"),
        QStringLiteral(", [fromC].ContactType AS [conflictType]"),
        QStringLiteral(", [fromC].relationID AS [conflictMergeID]"),
        QStringLiteral(", [fromC].RelationMergeID AS [conflictMergeType]"),
        QStringLiteral(", [fromR].[Description] AS [conflictDescription]"),
        QStringLiteral("FROM ClientContacts [toC]"),
        QStringLiteral(
            "JOIN ClientContacts [fromC] ON [fromC].ContactID = [toC].ContactID AND [fromC].ClientID = @FromID"),
        QStringLiteral("JOIN Relation [toR] ON [toR].RelationID = [toC].RelationID"),
        QStringLiteral("JOIN Relation [fromR] ON [fromR].RelationID = [fromC].RelationID"),
        QStringLiteral("WHERE [toC].ClientID = @ToID"),
        QStringLiteral("UNION"),
        QStringLiteral("SELECT 'relation' AS [reason]"),
        QStringLiteral(", [toC].contactID AS [currentID]"),
        QStringLiteral(", [toC].FullNameNoTitle AS [currentName]"),
        QStringLiteral(", [toC].ContactType AS [currentType]"),
        QStringLiteral(", [toC].relationID AS [currentMergeID]"),
        QStringLiteral(", [toC].RelationMergeID AS [currentMergeType]"),
        QStringLiteral(", [rel].[Description] AS [currentDescription]"),
        QStringLiteral(", [fromC].contactID as [conflictID]"),
        QStringLiteral(", [fromC].FullNameNoTitle AS [conflictName]"),
        QStringLiteral(", [fromC].ContactType AS [conflictType]"),
        QStringLiteral(", [fromC].relationID AS [conflictMergeID]"),
        QStringLiteral(", [fromC].RelationMergeID AS [conflictMergeType]"),
        QStringLiteral(", [rel].[Description] AS [conflictDescription]"),
        QStringLiteral("FROM ClientContacts [toC]"),
        QStringLiteral(
            "JOIN ClientContacts [fromC] ON [fromC].RelationID = [toC].RelationID AND [fromC].ClientID = @FromID"),
        QStringLiteral("JOIN Relation [rel] ON [rel].RelationID = [toC].RelationID"),
        QStringLiteral("WHERE [toC].ClientID = @ToID"),
        QStringLiteral("AND [toC].ContactID <> [fromC].ContactID"),
        QStringLiteral("ORDER BY [reason], [currentName]"),
    };
    return Format(joinLines(lines), {toClient, fromClient});
}

namespace {

QString text(const Dataset& row, const char* column)
{
    return trimControl(row.field(QString::fromLatin1(column)).asString());
}

} // namespace

bool contactsIdentical(const Dataset& row)
{
    return row.field(QStringLiteral("currentID")).asInteger() == row.field(QStringLiteral("conflictID")).asInteger()
        && row.field(QStringLiteral("currentMergeID")).asInteger()
        == row.field(QStringLiteral("conflictMergeID")).asInteger()
        && sameText(text(row, "currentType"), text(row, "conflictType"));
}

QString contactTypeText(const QString& type, const QString& description)
{
    const QString t = trimControl(type);
    const QString d = trimControl(description);
    if (sameText(t, d))
        return t;
    return Format(QStringLiteral("%s/%s"), {t, d});
}

void addConflictSection(Dataset& rows, QStringList& report, const QString& reason, const QString& title)
{
    QStringList lines;
    for (rows.first(); !rows.eof(); rows.next()) {
        const QString rowReason = text(rows, "reason");
        const bool identical = contactsIdentical(rows);
        const QString current = contactTypeText(text(rows, "currentType"), text(rows, "currentDescription"));
        const QString conflict = contactTypeText(text(rows, "conflictType"), text(rows, "conflictDescription"));
        if (sameText(reason, QStringLiteral("relation"))) {
            if (sameText(rowReason, QStringLiteral("relation")) && !identical)
                lines << Format(QStringLiteral("    %s (%s) && %s (%s)"),
                                {text(rows, "currentName"), current, text(rows, "conflictName"), conflict});
        } else if (sameText(reason, QStringLiteral("contact"))) {
            if (sameText(rowReason, QStringLiteral("contact")) && !identical)
                lines << Format(QStringLiteral("    %s (%s) && (%s)"), {text(rows, "currentName"), current, conflict});
        } else if (sameText(reason, QStringLiteral("identical"))) {
            if (identical)
                lines << Format(QStringLiteral("    %s (%s)"), {text(rows, "currentName"), current});
        }
    }
    if (lines.isEmpty())
        return;
    if (!report.isEmpty())
        report << QString();
    report << title;
    report << lines;
}

bool contactsConflict(MergeSession& s, const ClientPair& clients)
{
    Dataset& dsTemp = s.dsTemp;
    if (doADOQuery(s.ui, dsTemp, contactConflictSql(clients)) == 0)
        return false;

    int identical = 0;
    for (dsTemp.first(); !dsTemp.eof(); dsTemp.next()) {
        if (contactsIdentical(dsTemp))
            ++identical;
    }
    if (identical == dsTemp.recordCount())
        return false;

    QStringList report;
    addConflictSection(dsTemp, report, QStringLiteral("relation"), QStringLiteral("Duplicate relationships:"));
    addConflictSection(dsTemp, report, QStringLiteral("contact"),
                       QStringLiteral("Duplicate contacts: (with differing relationship and/or contact types)"));
    addConflictSection(dsTemp, report, QStringLiteral("identical"),
                       QStringLiteral("Identical contacts: (these can be resolved by the merge)"));
    if (report.isEmpty())
        return false;

    report.prepend(QString());
    report.prepend(QStringLiteral("The client to be moved has conflicting contacts and cannot be merged."));
    report << QString() << QStringLiteral("If you want to merge them you will need to resolve the contact details.");
    QString message;
    for (const QString& line : report)
        message += line + QStringLiteral("\r\n");
    s.ui.showInfo(message);
    return true;
}

} // namespace kolvix
