#include "merge/PreChecks.h"

#include "accounts/AccountInfo.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/TextHelpers.h"
#include "core/UserInterface.h"
#include "db/Dataset.h"
#include "merge/ContactConflict.h"
#include "merge/MergeSession.h"
#include "merge/Runners.h"

namespace kolvix {

bool clientHasWpxEnabled(MergeSession& s, qint32 fromClient)
{
    Dataset& dsTemp = s.dsTemp;
    try {
        if (doADOQuery(s.ui, dsTemp,
                       Format(QStringLiteral("SELECT [PXAccess], [PXVerified], [PXEmail] FROM [Client] "
                                             "WHERE [ClientID] = %d"),
                              {fromClient}))
            == 0)
            return false;
        return dsTemp.field(0).asBoolean() && dsTemp.field(1).asBoolean() && !dsTemp.field(2).asString().isEmpty();
    } catch (const std::exception&) {
        return false;
    }
}

bool clientIsPending(MergeSession& s, qint32 fromClient)
{
    Dataset& dsTemp = s.dsTemp;
    const int rows = doADOQuery(
        s.ui, dsTemp,
        Format(joinLines({QStringLiteral("SELECT [PendingClientID], [ParentID]"),
                          QStringLiteral("FROM   [PXPendingClient]"), QStringLiteral("WHERE  [GuestClientID] = %d")}),
               {fromClient}));
    if (rows == 0)
        return false;
    if (rows > 1)
        writeLogFmt(QStringLiteral("clientIsPending - found %d entries, expecting 1"), {rows});
    bool pending = !dsTemp.field(QStringLiteral("ParentID")).isNull();

    if (doADOQuery(s.ui, dsTemp,
                   Format(joinLines({QStringLiteral("SELECT [PendingClient]"), QStringLiteral("FROM   [Client]"),
                                     QStringLiteral("WHERE  [ClientID] = %d")}),
                          {fromClient}))
            > 0
        && dsTemp.field(0).asBoolean())
        pending = true;
    return pending;
}

bool clientHasPendingWpxPassword(MergeSession& s, qint32 fromClient, const QDate& today)
{
    Dataset& dsTemp = s.dsTemp;
    // 'yyyymmdd' is the one date literal that SQL Server reads the same under every language
    // and date format of the login.
    const QString sql
        = Format(joinLines({QStringLiteral("SELECT COUNT(*)"), QStringLiteral("FROM   [PXClientForgotPassword]"),
                            QStringLiteral("WHERE  [ClientID] = %d AND [ExpiryDate] > '%s' AND "
                                           "[Activated] = 0")}),
                 {fromClient, today.toString(QStringLiteral("yyyyMMdd"))});
    return doADOQuery(s.ui, dsTemp, sql, 0) != 0;
}

int countWpxLinks(MergeSession& s, const QString& column, qint32 fromClient)
{
    Dataset& dsTemp = s.dsTemp;
    return doADOQuery(
        s.ui, dsTemp,
        Format(QStringLiteral("SELECT COUNT(*) FROM [PXClientLink] WHERE [%s] = %d"), {column, fromClient}), 0);
}

QString listWpxLinks(MergeSession& s, qint32 fromClient)
{
    Dataset& dsTemp = s.dsTemp;
    doADOQuery(s.ui, dsTemp,
               Format(joinLines({QStringLiteral("SELECT PX.[GroupID], C.[Surname], C.[Name], C.[PreferredName]"),
                                 QStringLiteral("FROM [PXClientLink] PX"),
                                 QStringLiteral("LEFT OUTER JOIN [Client] C ON C.[ClientID] = PX.[GroupID]"),
                                 QStringLiteral("WHERE PX.[ClientID] = %d"),
                                 QStringLiteral("ORDER BY C.[Surname], C.[Name]")}),
                      {fromClient}));
    QString text;
    for (dsTemp.first(); !dsTemp.eof(); dsTemp.next()) {
        const QString name = Format(QStringLiteral("%s, %s"),
                                    {trimControl(dsTemp.field(1).asString()), trimControl(dsTemp.field(2).asString())});
        text = Format(QStringLiteral("%s    %s [%d]\n"), {text, name, dsTemp.field(0).asInteger()});
    }
    return text;
}

namespace {

bool refuse(UserInterface& ui, const char* logLine, const QString& message)
{
    writeLog(QString::fromLatin1(logLine));
    ui.showInfo(message);
    return false;
}

} // namespace

bool runClientChecks(MergeSession& session, const ClientPair& clients)
{
    const qint32 fromClient = clients.from;
    const qint32 toClient = clients.to;
    UserInterface& ui = session.ui;
    if (toClient == fromClient)
        return refuse(ui, "cancelled - clients are the same", QStringLiteral("The selected clients are the same."));
    if (clientHasWpxEnabled(session, fromClient))
        return refuse(ui, "cancelled - FROM has WPX enabled [WPXEnabledFrom]",
                      QStringLiteral("The client to be moved has WPX currently enabled and cannot be merged.\n"
                                     "Merging this patient would change/remove their WPX access.\n\n"
                                     "If you want to merge them you will need to resolve WPX details between\n"
                                     "'From' and 'To' then remove WPX access for the 'From' client."));
    if (clientIsPending(session, fromClient))
        return refuse(ui, "cancelled - FROM is pending WPX actions [WPXPendingAction]",
                      QStringLiteral("The client to be moved is a pending WPX client and cannot be merged.\n\n"
                                     "If you want to merge them you will need to process/finalise them first."));
    if (clientHasPendingWpxPassword(session, fromClient))
        return refuse(ui, "cancelled - FROM has a pending WPX password reset [WPXPendingPassword]",
                      QStringLiteral("The client to be moved has a WPX password reset pending and cannot be merged "
                                     "at this time."));
    if (countWpxLinks(session, QStringLiteral("GroupID"), fromClient) > 0)
        return refuse(ui, "cancelled - FROM has linked WPX clients [WPXEnabledGrouped]",
                      QStringLiteral("The client to be moved has linked WPX clients and cannot be merged.\n\n"
                                     "If you want to merge them you will need to unlink them from the 'From' client."));
    if (countWpxLinks(session, QStringLiteral("ClientID"), fromClient) > 0) {
        const QString links = listWpxLinks(session, fromClient);
        return refuse(ui, "cancelled - FROM is linked to another WPX client [WPXEnabledLink]",
                      QStringLiteral("The client to be moved is linked to the following WPX client(s) and cannot be "
                                     "merged.\n")
                          + links + QStringLiteral("\n")
                          + QStringLiteral("If you want to merge them you will need to unlink them first."));
    }
    if (contactsConflict(session, clients)) {
        // The report has been shown by the check itself.
        writeLog(QStringLiteral("cancelled - contacts conflict [ContactConflict]"));
        return false;
    }
    return true;
}

bool runAccountChecks(UserInterface& ui, const TaInfo& info)
{
    if (info.BadGroupIDMerge)
        return refuse(ui, "cancelled - account has a bad group merge [BadGroupIDMerge]",
                      QStringLiteral("The clients accounts are linked and cannot be merged.\n"
                                     "If you want to merge them you will need to unlink the 'To' client from the "
                                     "'From' client."));
    if (info.HasGroupedAccounts) {
        writeLog(QStringLiteral("warning - FROM client has clients linked to them [HasGroupedAccounts]"));
        ui.showInfo(QStringLiteral("The client to be moved has clients linked to them.\n"
                                   "The merge procedure will force primary accounts to be merged.\n\n"
                                   "If you do not want this to happen then you will need to unlink anyone linked."));
    }
    for (const TaAccount& entry : info.Accounts) {
        if ((entry.Action == TaAction::MERGE || entry.Action == TaAction::APPEND) && entry.ToID < 0) {
            writeLog(QStringLiteral("cancelled - account info is not correctly mapped [InvalidMapping]"));
            ui.showWarning(QStringLiteral("This client cannot be merged as the account information was not correctly "
                                          "mapped.\n\nPlease contact Ombrix to fix this issue."));
            return false;
        }
    }
    return true;
}

} // namespace kolvix
