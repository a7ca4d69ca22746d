#include "merge/RecordMovers.h"

#include "accounts/AccountInfo.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/TextHelpers.h"
#include "core/UserInterface.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "db/SqlConditions.h"
#include "db/Statement.h"
#include "ledger/MergeLedger.h"
#include "merge/MergeSession.h"
#include "merge/Runners.h"

#include <algorithm>
#include <climits>

namespace kolvix {

namespace {

// Runs a mover's statement; a failure gets the mover's "EXCEPTION" log line and, where given,
// its line in the trace pane, and passes on.
template <typename Run> int passingFailuresOn(MergeSession& s, const QString& traceLine, Run run)
{
    try {
        return run();
    } catch (const std::exception& e) {
        writeLogFmt(QStringLiteral("EXCEPTION %s"), {exceptionMessage(e)});
        if (!traceLine.isEmpty())
            s.mem.add(traceLine);
        throw;
    }
}

// The one way a mover changes rows: the record (when the merge keeps one) notes the rows that
// `where` selects, and the statement that changes them is `head` (which ends in its WHERE), a
// blank and that same `where`, so that what is recorded and what is changed can never drift
// apart. Run it next.
QString recordedUpdate(MergeLedger* record, const QString& head, const QString& where, const QString& table,
                       const QStringList& columns, const QVariantList& oldValues, const QVariantList& newValues)
{
    if (record)
        record->recordUpdate(table, columns, oldValues, newValues, where);
    return head + QLatin1Char(' ') + where;
}

QString recordedDelete(MergeLedger* record, const QString& head, const QString& where, const QString& table)
{
    if (record)
        record->recordDelete(table, where);
    return head + QLatin1Char(' ') + where;
}

} // namespace

int moveClient(MergeSession& s, const QString& table, const ClientPair& clients, const QString& column,
               MergeLedger* record)
{
    const qint32 toClient = clients.to;
    const qint32 fromClient = clients.from;
    if (!tableExists(s.dsTemp, s.mem, table, true)) {
        writeLogFmt(QStringLiteral("moveClient [%s].[%s] skipping (table does not exist)"), {table, column});
        return 0;
    }
    writeLogFmt(QStringLiteral("moveClient [%s].[%s] updating %d to %d"), {table, column, fromClient, toClient});
    return passingFailuresOn(
        s,
        Format(QStringLiteral("moveClient: Exception occured while moving [%s].[%s] %d to %d"),
               {table, column, fromClient, toClient}),
        [&] {
            return doADOCommandRows(
                s.ui, s.cmd,
                recordedUpdate(record,
                               Format(QStringLiteral("UPDATE [%s] SET [%s]=%d WHERE"), {table, column, toClient}),
                               Format(QStringLiteral("[%s]=%d"), {column, fromClient}), table, {column}, {fromClient},
                               {toClient}));
        });
}

int moveTrans(MergeSession& s, const QString& table, const ClientPair& clients, qint32 fromAccount, qint32 toAccount,
              MergeLedger* record)
{
    const qint32 toClient = clients.to;
    const qint32 fromClient = clients.from;
    if (!tableExists(s.dsTemp, s.mem, table, true))
        return 0;
    writeLogFmt(QStringLiteral("moveTrans [%s].[%s] updating %d.%d to %d.%d"),
                {table, QStringLiteral("ClientID|AccountID"), fromClient, fromAccount, toClient, toAccount});
    return passingFailuresOn(
        s,
        Format(QStringLiteral("moveTrans: Exception occured while moving [%s] %d.%d to %d.%d"),
               {table, fromClient, fromAccount, toClient, toAccount}),
        [&] {
            return doADOCommandRows(
                s.ui, s.cmd,
                recordedUpdate(
                    record,
                    Format(QStringLiteral("UPDATE [%s] SET [ClientID] = %d, [AccountID] = %d WHERE"),
                           {table, toClient, toAccount}),
                    Format(QStringLiteral("[ClientID] = %d AND [AccountID] = %d"), {fromClient, fromAccount}), table,
                    {QStringLiteral("ClientID"), QStringLiteral("AccountID")}, {fromClient, fromAccount},
                    {toClient, toAccount}));
        });
}

int copyAccount(MergeSession& s, const ClientPair& clients, qint32 fromAccount, qint32 toAccount, const QString& toName,
                MergeLedger* record)
{
    const qint32 toClient = clients.to;
    const qint32 fromClient = clients.from;
    QStringList& c = s.columnCache;
    if (c.isEmpty()) {
        s.dsAccount.close();
        s.dsAccount.open();
        c = s.dsAccount.fieldNames();
    }
    // The copy rests on the Account table's column order: client id, account id, ..., name sixth.
    if (c.size() < 6)
        throw DbError(
            QStringLiteral("The Account table has %1 columns; the account copy needs at least six.").arg(c.size()));

    QString columns = Format(QStringLiteral("[%s]"), {c[0]});
    for (qsizetype i = 1; i < c.size(); ++i)
        columns = Format(QStringLiteral("%s,[%s]"), {columns, c[i]});

    QString values;
    qsizetype copiedFrom;
    if (!toName.isEmpty()) {
        QString escaped = toName;
        escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
        values = Format(QStringLiteral("%d,%d,[%s],[%s],[%s],'%s'"), {toClient, toAccount, c[2], c[3], c[4], escaped});
        copiedFrom = 6;
    } else {
        values = Format(QStringLiteral("%d,%d"), {toClient, toAccount});
        copiedFrom = 2;
    }
    for (qsizetype i = copiedFrom; i < c.size(); ++i)
        values = Format(QStringLiteral("%s,[%s]"), {values, c[i]});

    if (record)
        record->recordInsert(QStringLiteral("Account"), {c[0], c[1]}, {toClient, toAccount});
    const int rows = doADOCommandRows(
        s.ui, s.cmd,
        Format(QStringLiteral("INSERT INTO Account (%s)  SELECT TOP 1 %s  FROM Account  WHERE ClientID = %d "
                              "AND AccountID = %d"),
               {columns, values, fromClient, fromAccount}));
    if (record)
        record->insertDone();
    return rows;
}

int deleteDuplicates(MergeSession& s, const QString& table, const QString& idColumn, const QString& groupColumns,
                     const QString& filterColumn, int maxRuns, qint32 filterValue, MergeLedger* record)
{
    return passingFailuresOn(s, QString(), [&] {
        writeLogFmt(QStringLiteral("deleteDuplicates [%s].[%s] grouped by %s removing %d"),
                    {table, idColumn, groupColumns, filterValue});
        const QString head = Format(QStringLiteral("DELETE FROM [%s] WHERE"), {table});
        const QString where = Format(joinLines({
                                         QStringLiteral("[%1:s] IN ("),
                                         QStringLiteral("SELECT [MinID] FROM ("),
                                         QStringLiteral("SELECT MIN([%1:s]) AS [MinID], MAX([%1:s]) AS [MaxID], "
                                                        "COUNT(*) AS [Count]"),
                                         QStringLiteral("FROM [%0:s]"),
                                         QStringLiteral("WHERE [%2:s] = %3:d"),
                                         QStringLiteral("GROUP BY %4:s"),
                                         QStringLiteral("HAVING COUNT(*) > 1"),
                                         QStringLiteral(")G"),
                                         QStringLiteral(")"),
                                     }),
                                     {table, idColumn, filterColumn, filterValue, groupColumns});
        int deleted = 0;
        for (int run = 0; run < maxRuns; ++run) {
            s.cmd.setCommandText(recordedDelete(record, head, where, table));
            const int rows = s.cmd.execute();
            deleted += rows;
            if (rows == 0)
                break;
        }
        return deleted;
    });
}

int movePatCat(MergeSession& s, const ClientPair& clients, MergeLedger* record)
{
    return doADOCommandRows(
        s.ui, s.cmd,
        recordedUpdate(record, Format(QStringLiteral("UPDATE PatCat SET ClientID=%d WHERE"), {clients.to}),
                       Format(QStringLiteral("ClientID=%d AND CategoryID NOT IN (SELECT CategoryID FROM PatCat WHERE "
                                             "ClientID=%d)"),
                              {clients.from, clients.to}),
                       QStringLiteral("PatCat"), {QStringLiteral("ClientID")}, {clients.from}, {clients.to}));
}

int moveClientContact(MergeSession& s, const ClientPair& clients, MergeLedger* record)
{
    return doADOCommandRows(
        s.ui, s.cmd,
        recordedUpdate(
            record,
            Format(joinLines({QStringLiteral("UPDATE ClientContact SET ClientID = %d"), QStringLiteral("WHERE")}),
                   {clients.to}),
            Format(joinLines({
                       QStringLiteral("ClientID = %1:d"),
                       QStringLiteral(
                           "AND ContactID  NOT IN (SELECT ContactID  FROM ClientContacts WHERE ClientID = %0:d)"),
                       QStringLiteral(
                           "AND RelationID NOT IN (SELECT RelationID FROM ClientContacts WHERE ClientID = %0:d)"),
                   }),
                   {clients.to, clients.from}),
            QStringLiteral("ClientContact"), {QStringLiteral("ClientID")}, {clients.from}, {clients.to}));
}

namespace {

enum class StepKind { MoveClient, CopyAccounts, MoveTrans, PatCat, ClientContact, DeleteDuplicates };

struct CatalogueStep
{
    int number;
    const char* table;
    StepKind kind;
    const char* column;
};

// The catalogue, in the order the merge runs it. Steps 3 to 7 run as one loop per account.
constexpr CatalogueStep kCatalogue[] = {
    {1, "Account", StepKind::MoveClient, "GroupID"},
    {2, "Account", StepKind::CopyAccounts, nullptr},
    {3, "Trans", StepKind::MoveTrans, nullptr},
    {4, "HICAPSDetail", StepKind::MoveTrans, nullptr},
    {5, "NewStatement", StepKind::MoveTrans, nullptr},
    {6, "StatementActivityLog", StepKind::MoveTrans, nullptr},
    {7, "InvoiceActivityLog", StepKind::MoveTrans, nullptr},
    {8, "TyroTrans", StepKind::MoveClient, "ClientID"},
    {9, "Appoint", StepKind::MoveClient, "ClientID"},
    {10, "ContactAttachment", StepKind::MoveClient, "ClientID"},
    {11, "Attachments", StepKind::MoveClient, "ClientID"},
    {12, "ClinicalNotes", StepKind::MoveClient, "ClientID"},
    {13, "Future", StepKind::MoveClient, "ClientID"},
    {14, "Recalls", StepKind::MoveClient, "ClientID"},
    {15, "PatCat", StepKind::PatCat, "ClientID"},
    {16, "ClientContact", StepKind::ClientContact, "ClientID"},
    {17, "Referral", StepKind::MoveClient, "ClientID"},
    {18, "Client", StepKind::MoveClient, "ReferredByID"},
    {19, "Client", StepKind::MoveClient, "ReferredByID2"},
    {20, "GroupAppDetail", StepKind::MoveClient, "ClientID"},
    {21, "AppChange", StepKind::MoveClient, "ClientID"},
    {22, "SMSReply", StepKind::MoveClient, "ClientID"},
    {23, "Documents", StepKind::MoveClient, "ClientID"},
    {24, "Quotes", StepKind::MoveClient, "ClientID"},
    {25, "ActEvents", StepKind::MoveClient, "ClientID"},
    {26, "XRayFolder", StepKind::MoveClient, "ClientID"},
    {27, "XRayReport", StepKind::MoveClient, "ClientID"},
    {28, "XRay", StepKind::MoveClient, "ClientID"},
    {29, "SalesEvents", StepKind::MoveClient, "ClientID"},
    {30, "WaitingList", StepKind::MoveClient, "ClientID"},
    {31, "ClassTypeClient", StepKind::MoveClient, "ClientID"},
    {32, "SMSMsg", StepKind::MoveClient, "ClientID"},
    {33, "RecallRecurrence", StepKind::MoveClient, "ClientID"},
    {34, "PXClientForgotPassword", StepKind::MoveClient, "ClientID"},
    {35, "PXAppRequest", StepKind::MoveClient, "ClientID"},
    {36, "PXCurrentReservedApp", StepKind::MoveClient, "ClientID"},
    {37, "PXClientSearchResult", StepKind::MoveClient, "ClientID"},
    {38, "PXExceptionLog", StepKind::MoveClient, "ClientID"},
    {39, "PXClientPracPermissions", StepKind::MoveClient, "ClientID"},
    {40, "PXClientPracPermissions", StepKind::DeleteDuplicates, "ClientID"},
    {41, "PXPendingClient", StepKind::MoveClient, "GuestClientID"},
    {42, "PXPendingClient", StepKind::MoveClient, "ParentID"},
};

bool movesData(const TaAccount& entry)
{
    return entry.Action == TaAction::MERGE || entry.Action == TaAction::APPEND;
}

void reportStep(UserInterface& ui, int step, const char* table, int rows)
{
    ui.catalogueStepDone(step, QString::fromLatin1(table), rows);
}

// The record files what follows under the step.
void beginStep(MergeLedger* record, int step)
{
    if (record)
        record->atStep(step);
}

} // namespace

const std::vector<CatalogueTable>& catalogueColumns()
{
    static const std::vector<CatalogueTable> columns = [] {
        std::vector<CatalogueTable> list;
        for (const CatalogueStep& step : kCatalogue) {
            if (step.kind == StepKind::MoveTrans)
                list.push_back({step.table, "ClientID"});
            else if (step.column && step.kind != StepKind::DeleteDuplicates)
                list.push_back({step.table, step.column});
        }
        return list;
    }();
    return columns;
}

int rowsToMove(MergeSession& s, const ClientPair& clients)
{
    const int timeout = s.dsTemp.commandTimeout();
    qint64 rows = 0;
    const auto count = [&](const QString& table, const QString& sql) {
        if (!tableExists(s.conZelvan, table, timeout))
            return;
        Statement query(s.conZelvan, sql, timeout);
        rows += scalarOf(query);
    };
    for (const CatalogueStep& step : kCatalogue) {
        const QString table = QString::fromLatin1(step.table);
        switch (step.kind) {
        case StepKind::MoveClient:
            count(table,
                  QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = %3")
                      .arg(quotedName(table), quotedName(QString::fromLatin1(step.column)))
                      .arg(clients.from));
            break;
        case StepKind::MoveTrans:
            count(table,
                  QStringLiteral("SELECT COUNT(*) FROM %1 WHERE [ClientID] = %2 AND [AccountID] IN (SELECT "
                                 "[AccountID] FROM [Account] WHERE [ClientID] = %2)")
                      .arg(quotedName(table))
                      .arg(clients.from));
            break;
        case StepKind::PatCat:
            count(table,
                  QStringLiteral("SELECT COUNT(*) FROM PatCat WHERE ClientID = %1 AND CategoryID NOT IN "
                                 "(SELECT CategoryID FROM PatCat WHERE ClientID = %2)")
                      .arg(clients.from)
                      .arg(clients.to));
            break;
        case StepKind::ClientContact:
            count(table,
                  QStringLiteral("SELECT COUNT(*) FROM ClientContact WHERE ClientID = %1 AND ContactID NOT IN "
                                 "(SELECT ContactID FROM ClientContacts WHERE ClientID = %2) AND RelationID NOT "
                                 "IN (SELECT RelationID FROM ClientContacts WHERE ClientID = %2)")
                      .arg(clients.from)
                      .arg(clients.to));
            break;
        case StepKind::CopyAccounts:
        case StepKind::DeleteDuplicates:
            break;
        }
    }
    return int(std::min<qint64>(rows, INT_MAX));
}

QHash<QString, QStringList> rewrittenColumnsByTable()
{
    QHash<QString, QStringList> columns;
    for (const CatalogueStep& step : kCatalogue) {
        QStringList& list = columns[QString::fromLatin1(step.table).toLower()];
        if (step.kind == StepKind::MoveTrans)
            list << QStringLiteral("ClientID") << QStringLiteral("AccountID");
        else if (step.column && step.kind != StepKind::DeleteDuplicates && step.kind != StepKind::CopyAccounts)
            list << QString::fromLatin1(step.column);
    }
    return columns;
}

std::vector<QString> accountKeyedTables()
{
    std::vector<QString> tables;
    for (const CatalogueStep& step : kCatalogue) {
        if (step.kind == StepKind::MoveTrans)
            tables.push_back(QString::fromLatin1(step.table));
    }
    return tables;
}

void runCatalogue(MergeSession& s, const TaInfo& accounts, const ClientPair& clients, MergeLedger* record)
{
    const std::vector<TaAccount>& entries = accounts.Accounts;
    for (const CatalogueStep& step : kCatalogue) {
        const QString table = QString::fromLatin1(step.table);
        beginStep(record, step.number);
        switch (step.kind) {
        case StepKind::MoveClient:
            reportStep(s.ui, step.number, step.table,
                       moveClient(s, table, clients, QString::fromLatin1(step.column), record));
            break;
        case StepKind::CopyAccounts: {
            int rows = 0;
            for (const TaAccount& entry : entries) {
                if (entry.Action == TaAction::APPEND)
                    rows += copyAccount(s, clients, entry.FromID, entry.ToID, entry.ToName, record);
            }
            reportStep(s.ui, step.number, step.table, rows);
            break;
        }
        case StepKind::MoveTrans:
            // Steps 3 to 7 run together as one loop over the accounts, from step 3.
            if (step.number != 3)
                break;
            for (const TaAccount& entry : entries) {
                if (!movesData(entry))
                    continue;
                for (const CatalogueStep& transStep : kCatalogue) {
                    if (transStep.kind != StepKind::MoveTrans)
                        continue;
                    beginStep(record, transStep.number);
                    reportStep(
                        s.ui, transStep.number, transStep.table,
                        moveTrans(s, QString::fromLatin1(transStep.table), clients, entry.FromID, entry.ToID, record));
                }
            }
            break;
        case StepKind::PatCat:
            reportStep(s.ui, step.number, step.table, movePatCat(s, clients, record));
            break;
        case StepKind::ClientContact:
            reportStep(s.ui, step.number, step.table, moveClientContact(s, clients, record));
            break;
        case StepKind::DeleteDuplicates:
            reportStep(s.ui, step.number, step.table,
                       deleteDuplicates(s, table, QStringLiteral("PXClientPracPermissionsID"),
                                        QStringLiteral("[ClientID], [AllowPracID], [AllowPGroupID]"),
                                        QString::fromLatin1(step.column), 99, clients.to, record));
            break;
        }
    }

    // Steps 41 and 42 moved every GuestClientID and ParentID of the From client, so rows that
    // now refer to themselves carry the To client's id.
    beginStep(record, 43);
    const QString head = QStringLiteral("DELETE FROM [PXPendingClient] WHERE");
    const QString pending = QStringLiteral("PXPendingClient");
    int rows = doADOCommandRows(
        s.ui, s.cmd,
        recordedDelete(record, head,
                       Format(QStringLiteral("[GuestClientID] = %d AND [GuestClientID] = [ParentID]"), {clients.to}),
                       pending));
    rows += doADOCommandRows(
        s.ui, s.cmd,
        recordedDelete(record, head,
                       Format(QStringLiteral("[ParentID] = %d AND [GuestClientID] = [ParentID]"), {clients.to}),
                       pending));
    reportStep(s.ui, 43, "PXPendingClient", rows);
}

} // namespace kolvix
