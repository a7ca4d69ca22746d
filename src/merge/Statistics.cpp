#include "merge/Statistics.h"

#include "core/Format.h"
#include "core/TextHelpers.h"
#include "db/Dataset.h"
#include "merge/Runners.h"

#include <QLocale>
#include <iterator>
#include <optional>

namespace kolvix {

namespace {

struct StatisticsRow
{
    const char* caption;
    const char* table;
    const char* column;
};

constexpr StatisticsRow gStatisticsRows[] = {
    {"Accounts", "Account", "ClientID"},
    {"Group Links", "Account", "GroupID"},
    {"Appointments", "Appoint", "ClientID"},
    {"Group Appointments", "GroupAppDetail", "ClientID"},
    {"Attachments", "Attachments", "ClientID"},
    {"Clinical Notes", "ClinicalNotes", "ClientID"},
    {"Transactions", "Trans", "ClientID"},
    {"Hicaps Transactions", "HICAPSDetail", "ClientID"},
    {"Tyro Transactions", "TyroTrans", "ClientID"},
    {"Future Transactions", "Future", "ClientID"},
    {"Documents", "Documents", "ClientID"},
    {"Statements", "NewStatement", "ClientID"},
    {"X-rays", "XRay", "ClientID"},
    {"X-ray Folders", "XRayFolder", "ClientID"},
    {"X-ray Reports", "XRayReport", "ClientID"},
    {"Contacts", "ClientContact", "ClientID"},
    {"Contact Attachments", "ContactAttachment", "ClientID"},
    {"Events", "ActEvents", "ClientID"},
    {"Tracking Categories", "PatCat", "ClientID"},
    {"Recalls", "Recalls", "ClientID"},
    {"Recalls (recurring)", "RecallRecurrence", "ClientID"},
    {"Referrals", "Referral", "ClientID"},
    {"Referrers (1)", "Client", "ReferredByID"},
    {"Referrers (2)", "Client", "ReferredByID2"},
    {"Sales Events", "SalesEvents", "ClientID"},
    {"Quotes", "Quotes", "ClientID"},
    {"SMS Messages", "SMSMsg", "ClientID"},
    {"SMS Replies", "SMSReply", "ClientID"},
    {"WPX Client (master)", "PXClientLink", "GroupID"},
    {"WPX Client (linked)", "PXClientLink", "ClientID"},
    {"WPX Pending (master)", "PXPendingClient", "ParentID"},
    {"WPX Pending (guest)", "PXPendingClient", "GuestClientID"},
};

// The client's rows of one kind; nothing when its table is missing (noted in trace).
std::optional<int> countClientRows(Dataset& dsTemp, TracePane& trace, const StatisticsRow& row, qint32 clientID)
{
    const QString table = QString::fromLatin1(row.table);
    if (!tableExists(dsTemp, trace, table, true))
        return std::nullopt;
    dsTemp.close();
    dsTemp.setSql(Format(QStringLiteral("SELECT COUNT(*) FROM [%s] WHERE [%s] = %d"),
                         {table, QString::fromLatin1(row.column), clientID}));
    dsTemp.open();
    if (dsTemp.isEmpty() || dsTemp.field(0).isNull())
        return 0;
    return dsTemp.field(0).asInteger();
}

// (name, table, column) of the count query, in the order of its columns.
constexpr const char* kCountColumns[][3] = {
    {"numTrans", "Trans", "ClientID"},
    {"numApp", "Appoint", "ClientID"},
    {"numAtt", "Attachments", "ClientID"},
    {"numClin", "ClinicalNotes", "ClientID"},
    {"numAcc", "Account", "ClientID"},
    {"numGrpAcc", "Account", "GroupID"},
    {"numFut", "Future", "ClientID"},
    {"numCat", "PatCat", "ClientID"},
    {"numRec", "Recalls", "ClientID"},
    {"numRef", "Referral", "ClientID"},
    {"numGrpApp", "GroupAppDetail", "ClientID"},
    {"numAppChange", "AppChange", "ClientID"},
    {"numDocs", "Documents", "ClientID"},
    {"numQuotes", "Quotes", "ClientID"},
    {"numEvents", "ActEvents", "ClientID"},
    {"numHICAPS", "HICAPSDetail", "ClientID"},
    {"numContact", "ClientContact", "ClientID"},
    {"numSales", "SalesEvents", "ClientID"},
    {"numXRayF", "XRayFolder", "ClientID"},
    {"numXRayR", "XRayReport", "ClientID"},
    {"numXRay", "XRay", "ClientID"},
};

} // namespace

QString clientCountStatement()
{
    QStringList lines {QStringLiteral("DECLARE @CID INT"), QStringLiteral("SET @CID = :ClientID"),
                       QStringLiteral("SELECT")};
    const int count = int(std::size(kCountColumns));
    for (int i = 0; i < count; ++i) {
        const auto& [name, table, column] = kCountColumns[i];
        lines << QStringLiteral("(SELECT COUNT(*) FROM %1 WHERE %2= @CID ) AS %3%4")
                     .arg(QLatin1String(table), QLatin1String(column), QLatin1String(name),
                          i + 1 < count ? QStringLiteral(",") : QString());
    }
    return joinLines(lines);
}

void collectStatistics(Dataset& dsTemp, TracePane& trace, qint32 clientID, StatisticsList& list)
{
    list.clear();
    for (const StatisticsRow& row : gStatisticsRows) {
        const std::optional<int> count = countClientRows(dsTemp, trace, row, clientID);
        if (count && *count > 0)
            list.emplace_back(singularCaption(QString::fromLatin1(row.caption), *count), *count);
    }
}

StatisticsList countEveryKind(Dataset& dsTemp, TracePane& trace, qint32 clientID)
{
    StatisticsList list;
    for (const StatisticsRow& row : gStatisticsRows) {
        if (const std::optional<int> count = countClientRows(dsTemp, trace, row, clientID))
            list.emplace_back(QString::fromLatin1(row.caption), *count);
    }
    return list;
}

StatisticsList collectStatistics(Dataset& dsTemp, TracePane& trace, qint32 clientID)
{
    StatisticsList list;
    collectStatistics(dsTemp, trace, clientID, list);
    return list;
}

QStringList statisticsLines(const StatisticsList& list)
{
    qsizetype width = 0;
    for (const auto& [caption, count] : list)
        width = std::max(width, formatCount(count).size());
    QStringList lines;
    for (const auto& [caption, count] : list)
        lines << Format(QStringLiteral("%*s  %s"), {qint64(width), formatCount(count), caption});
    return lines;
}

QString singularCaption(const QString& caption, int count)
{
    if (count != 1)
        return caption;
    if (caption.compare(QLatin1String("tracking categories"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Tracking Category");
    if (caption.compare(QLatin1String("SMS Replies"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("SMS Reply");
    if (caption.endsWith(QLatin1Char('s')))
        return caption.left(caption.size() - 1);
    const qsizetype blank = caption.indexOf(QLatin1Char(' '));
    if (blank + 1 > 2 && caption[blank - 1] == QLatin1Char('s'))
        return caption.left(blank - 1) + caption.mid(blank);
    return caption;
}

QString formatCount(int count)
{
    // Digits grouped in threes by the user's thousands separator, no decimals.
    QLocale locale;
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale.toString(count);
}

} // namespace kolvix
