#include "merge/MergeProcedure.h"

#include "accounts/AccountMergeModel.h"
#include "core/LockWaitWatch.h"
#include "core/Log.h"
#include "core/TextHelpers.h"
#include "core/UserInterface.h"
#include "db/Command.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "ledger/DistinctPairs.h"
#include "ledger/MergeHistory.h"
#include "ledger/MergeLedger.h"
#include "ledger/MergedAway.h"
#include "merge/LeftBehind.h"
#include "merge/MergeLock.h"
#include "merge/MergeSession.h"
#include "merge/PreChecks.h"
#include "merge/RecordMovers.h"
#include "merge/Runners.h"

#include <QDateTime>
#include <functional>
#include <optional>

namespace kolvix {

namespace {

constexpr int kAuditActionLength = 100;
constexpr int kAuditCommentLength = 7899;
// One Audit row per merge, written before the transaction so that it stays whatever becomes
// of the merge. Any failure ends the audit writing silently (and is passed to onFailure).
// Returns the row's AuditID, or -1 when it was not written or cannot be found again.
int writeAuditRow(MergeSession& s, const TaInfo& info, const std::function<void(const std::exception&)>& onFailure)
{
    QStringList list;
    info.DescribeMerge(list);
    if (list.isEmpty())
        return -1;
    const QString action = list.first().left(kAuditActionLength);
    bool posted = false;
    try {
        s.dsAudit.close();
        s.dsAudit.open();
        s.dsAudit.append();
        try {
            s.dsAudit.setFieldValue(QStringLiteral("AuditDateTime"), QDateTime::currentDateTime());
            s.dsAudit.setFieldValue(QStringLiteral("UserName"), QStringLiteral("MERGE"));
            s.dsAudit.setFieldValue(QStringLiteral("Action"), list.takeFirst().left(kAuditActionLength));
            s.dsAudit.setFieldValue(QStringLiteral("Comment"),
                                    joinList(list, QStringLiteral(", "), 0, -1).left(kAuditCommentLength));
            s.dsAudit.setFieldValue(QStringLiteral("Report"), false);
            s.dsAudit.post();
            posted = true;
        } catch (const std::exception& e) {
            s.dsAudit.cancel();
            onFailure(e);
        }
    } catch (const std::exception& e) {
        onFailure(e);
    }
    if (!posted)
        return -1;
    // The merge lock keeps other merges from writing their rows meanwhile, so the newest
    // merge row with this action is this one.
    try {
        QString quoted = action;
        quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
        Dataset ds(s.conZelvan, s.dsAudit.commandTimeout());
        ds.setSql(QStringLiteral("SELECT MAX([AuditID]) FROM [Audit] WHERE [UserName] = 'MERGE' AND [Action] = '%1'")
                      .arg(quoted));
        ds.open();
        if (!ds.isEmpty() && !ds.field(0).isNull())
            return ds.field(0).asInteger();
    } catch (const std::exception&) {
    }
    return -1;
}

// After a rollback the attempt's Audit row says so: its Action ends in " - reverted", cut
// to fit the column. Returns why the mark could not be written, or an empty text.
QString markAuditRowReverted(MergeSession& s, int auditId)
{
    if (auditId < 0)
        return {};
    try {
        Dataset ds(s.conZelvan, s.dsAudit.commandTimeout());
        ds.setSql(QStringLiteral("SELECT [Action] FROM [Audit] WHERE [AuditID] = %1").arg(auditId));
        ds.open();
        if (ds.isEmpty())
            return QStringLiteral("the row is gone");
        const QString mark = QString::fromLatin1(kRevertedMark);
        QString action = ds.field(0).asString().left(kAuditActionLength - int(mark.size())) + mark;
        action.replace(QLatin1Char('\''), QStringLiteral("''"));
        Command update(s.conZelvan, s.dsAudit.commandTimeout());
        update.setCommandText(
            QStringLiteral("UPDATE [Audit] SET [Action] = '%1' WHERE [AuditID] = %2").arg(action).arg(auditId));
        update.execute();
    } catch (const std::exception& e) {
        return exceptionMessage(e);
    }
    return {};
}

QString lockWaitAdvice(const Connection& connection)
{
    return lockWaitAdvice(connection, QStringLiteral("merge"), QStringLiteral("merge again"));
}

// What the user is told after a rollback beyond the specified warning: an Audit row that still
// reads like a success, and a wait for another connection's lock that gave up. The Audit row and
// the merge's record are marked as reverted.
QString afterRollback(MergeSession& s, int auditId, MergeLedger* ledger)
{
    // Taken before the marks, which may wait for the same lock in vain.
    const QString advice = lockWaitAdvice(s.conZelvan);
    const QString markFailure = markAuditRowReverted(s, auditId);
    if (markFailure.isEmpty()) {
        try {
            if (ledger)
                ledger->reverted();
        } catch (const std::exception& e) {
            writeLogFmt(QStringLiteral("the record of the merge could not be marked as reverted: %s"),
                        {exceptionMessage(e)});
        }
        return advice;
    }
    writeLogFmt(QStringLiteral("the Audit row %d could not be marked as reverted: %s"), {auditId, markFailure});
    return QStringLiteral("\n\nThe Audit row of this attempt (%1) could not be marked as reverted: %2")
               .arg(auditId)
               .arg(markFailure)
        + advice;
}

// The accounts of both clients, and the accounts linked to either, as the database holds
// them now: what the account mapping is made on.
QStringList accountState(MergeSession& s, const ClientPair& clients)
{
    const qint32 fromClient = clients.from;
    const qint32 toClient = clients.to;
    Dataset ds(s.conZelvan, s.dsTemp.commandTimeout());
    ds.setSql(QStringLiteral("SELECT [ClientID], [AccountID], [ShortDescription], [GroupID] FROM [Account]\r\n"
                             "WHERE [ClientID] IN (%1, %2) OR [GroupID] IN (%1, %2)\r\n"
                             "ORDER BY [ClientID], [AccountID]")
                  .arg(fromClient)
                  .arg(toClient));
    ds.open();
    QStringList rows;
    for (ds.first(); !ds.eof(); ds.next())
        rows << QStringLiteral("%1|%2|%3|%4")
                    .arg(ds.field(0).asString(), ds.field(1).asString(), ds.field(2).asString(),
                         ds.field(3).isNull() ? QStringLiteral("null") : ds.field(3).asString());
    return rows;
}

// The merge stops because the accounts changed after the mapping was made; nothing of the
// catalogue has run.
class AccountsChanged : public std::runtime_error
{
public:
    AccountsChanged()
        : std::runtime_error("accounts changed")
    {
    }
};

// Whether the merge can keep a ledger: the tables are there, or are created now. A dry run
// creates nothing and keeps a ledger only where the tables are there. When they cannot be
// created the user decides whether to merge without one; false when the answer is No.
bool prepareLedger(MergeSession& s, MergePlan& plan, bool& ledger)
{
    ledger = false;
    if (plan.options.irreversible) {
        writeLog(QStringLiteral("ledger: none - the merge will not be reversible (on request)"));
        return true;
    }
    if (ledgerTablesExist(s.conZelvan)) {
        ledger = true;
        return true;
    }
    if (plan.options.dryRun)
        return true;
    const QString failure = createLedgerTables(s.conZelvan);
    if (failure.isEmpty()) {
        ledger = true;
        return true;
    }
    writeLogFmt(QStringLiteral("ledger: the tables could not be created: %s"), {failure});
    if (s.ui.confirmIrreversible(
            QStringLiteral("This merge cannot be recorded so that it can be undone later: the tables that record "
                           "merges could not be created in the database (%1).\nAsk the administrator of the "
                           "database for a login that may create tables, or merge without a record.\n\nMerge "
                           "without a record? This merge will not be reversible.")
                .arg(failure)))
        return true;
    writeLog(QStringLiteral("cancelled - the merge could not be made reversible [NoLedger]"));
    return false;
}

} // namespace

MergePlan::MergePlan(const MergeClient& from, const MergeClient& to, const MergeOptions& options)
    : from(from)
    , to(to)
    , options(options)
{
}

MergePlan::~MergePlan()
{
    end();
}

void MergePlan::end()
{
    if (m_waitBudget)
        m_waitBudget->endLockWaitBudget();
    m_waitBudget = nullptr;
    m_lock.reset();
}

MergedAwayFinding findMergedAway(MergeSession& s, const ClientPair& clients)
{
    MergedAwayFinding finding;
    const QHash<qint32, MergedAwayClient> mergedAway = readMergedAway(s.conZelvan);
    const auto when = [](const MergedAwayClient& m) { return m.when.toString(QStringLiteral("dd/MM/yyyy HH:mm")); };
    const auto to = mergedAway.constFind(clients.to);
    if (to != mergedAway.cend()) {
        finding.refusal = QStringLiteral("Client %1 was merged into %2 by merge %3. Choose %4 as Move To, or undo "
                                         "merge %3 first.")
                              .arg(clients.to)
                              .arg(to->into)
                              .arg(to->auditId)
                              .arg(finalClientOf(mergedAway, clients.to));
        finding.logLine = QStringLiteral("cancelled - TO was merged away by merge %1 [ToMergedAway]").arg(to->auditId);
        finding.batchReason
            = QStringLiteral("client %1 was merged into %2 by merge %3").arg(clients.to).arg(to->into).arg(to->auditId);
        return finding;
    }
    const auto from = mergedAway.constFind(clients.from);
    if (from == mergedAway.cend())
        return finding;
    const int rows = rowsToMove(s, clients);
    const QString merged = QStringLiteral("Client %1 was merged into %2 by merge %3 on %4")
                               .arg(clients.from)
                               .arg(from->into)
                               .arg(from->auditId)
                               .arg(when(*from));
    if (rows > 0) {
        finding.notice = merged
            + QStringLiteral("; it has gained %1 rows since, which this merge moves to %2.").arg(rows).arg(clients.to);
        return finding;
    }
    finding.refusal = merged + QStringLiteral(". There is nothing left to merge.");
    finding.logLine
        = QStringLiteral("cancelled - FROM was merged already by merge %1 [AlreadyMerged]").arg(from->auditId);
    finding.batchReason = from->into == clients.to
        ? QStringLiteral("already merged by merge %1").arg(from->auditId)
        : QStringLiteral("client %1 was merged into %2 by merge %3; nothing is left to merge")
              .arg(clients.from)
              .arg(from->into)
              .arg(from->auditId);
    return finding;
}

std::unique_ptr<MergePlan> planMerge(MergeSession& s, const MergeClient& from, const MergeClient& to,
                                     const MergeOptions& options)
{
    const QString fromName = displayName(from.surname, from.name);
    const QString toName = displayName(to.surname, to.name);
    s.mem.clear();

    writeLog(QStringLiteral("merging"));
    if (options.dryRun)
        writeLog(QStringLiteral("dry run - every change will be rolled back"));
    writeLogFmt(QStringLiteral("  from: %d=%s"), {from.id, fromName});
    writeLogFmt(QStringLiteral("  into: %d=%s"), {to.id, toName});

    auto plan = std::make_unique<MergePlan>(from, to, options);
    // One merge at a time, from the first check to the outcome box: a merge that loaded its
    // mapping while another moved accounts onto its clients would split a record.
    plan->m_lock = std::make_unique<MergeLock>(s.conZelvan);
    if (!plan->m_lock->tryAcquire()) {
        if (!plan->m_lock->error().isEmpty())
            writeLogFmt(QStringLiteral("merge lock: %s"), {plan->m_lock->error()});
        writeLog(QStringLiteral("cancelled - another merge is in progress [MergeLocked]"));
        s.ui.showInfo(plan->m_lock->refusalMessage());
        return nullptr;
    }

    // Every wait for another connection's lock from here to the outcome counts against one
    // limit: the merge ends within it, rolled back, rather than wait on without end.
    s.conZelvan.beginLockWaitBudget();
    plan->m_waitBudget = &s.conZelvan;

    if (from.id != to.id) {
        const MergedAwayFinding mergedAway = findMergedAway(s, plan->clients());
        if (!mergedAway.refusal.isEmpty()) {
            writeLog(mergedAway.logLine);
            s.ui.showInfo(mergedAway.refusal);
            return nullptr;
        }
        if (!mergedAway.notice.isEmpty())
            plan->notices << mergedAway.notice;
        // Two people a person told apart are merged only once that person's mark is removed, and
        // only when the user says so.
        if (const std::optional<DistinctPair> mark = findDistinctPair(s.conZelvan, from.id, to.id)) {
            const QString refusal = QStringLiteral("Clients %1 and %2 are %3, so they are not merged.")
                                        .arg(from.id)
                                        .arg(to.id)
                                        .arg(mark->description());
            if (!s.ui.removeDistinctMark(refusal, from.id, to.id)) {
                writeLog(QStringLiteral("cancelled - FROM and TO are marked as different people [MarkedDistinct]"));
                return nullptr;
            }
            unmarkDistinctPair(s.conZelvan, from.id, to.id);
        }
    }
    if (!runClientChecks(s, plan->clients()))
        return nullptr;
    // Read before the model loads, so that a change made meanwhile shows as a difference.
    plan->m_accountState = accountState(s, plan->clients());
    try {
        plan->accounts.Load(s.dsTemp, to.id, toName, from.id, fromName, &s.mem);
    } catch (const AccountIdTooLarge& e) {
        writeLog(QStringLiteral("cancelled - an account id of FROM is too large [AccountIDTooLarge]"));
        s.ui.showInfo(QString::fromUtf8(e.what()));
        return nullptr;
    }
    if (!runAccountChecks(s.ui, plan->accounts))
        return nullptr;
    TracePane scratch; // the trace pane lists what the merge itself skips
    plan->statistics = collectStatistics(s.dsTemp, scratch, from.id);
    plan->tablesNotMoved = tablesNotMoved(s.dsTemp, from.id);
    plan->rowsOnMissingAccounts = rowsOnMissingAccounts(s.dsTemp, from.id);
    if (!prepareLedger(s, *plan, plan->m_ledger))
        return nullptr;
    return plan;
}

MergeOutcome cancelMerge(MergePlan& plan)
{
    writeLog(QStringLiteral("cancelled - user cancelled from account merge"));
    plan.end();
    return MergeOutcome::Cancelled;
}

MergeOutcome executeMerge(MergeSession& s, MergePlan& plan)
{
    const MergeOptions& options = plan.options;
    const ClientPair clients = plan.clients();
    struct EndOfPlan
    {
        MergePlan& plan;
        ~EndOfPlan() { plan.end(); }
    } endOfPlan {plan};

    // The arrow comes back however the handler ends, also when the rollback or the reopening
    // of the count query fails.
    const WaitCursor wait(s.ui);
    const bool transaction = s.UseRollback || options.dryRun;
    MergeOutcome outcome = MergeOutcome::Merged;
    int auditId = -1;
    std::optional<MergeLedger> ledger;
    // Until the first step runs, a failure has changed nothing of the practice's data.
    bool started = false;
    // After a rollback the merge's record says so too (a dry run's is rolled back with it).
    const auto reverted = [&] { return afterRollback(s, auditId, ledger && !options.dryRun ? &*ledger : nullptr); };
    try {
        plan.accounts.DumpToMemo(&s.mem);
        if (!options.dryRun) {
            LockWaitWatch watch(s.conZelvan, s.ui);
            auditId = writeAuditRow(s, plan.accounts, [&](const std::exception& e) {
                if (watch.finish())
                    s.ui.lockWaitFailed(QStringLiteral("the Audit row was not written: %1").arg(exceptionMessage(e)));
            });
            plan.m_auditId = auditId;
        }
        if (plan.m_ledger) {
            ledger.emplace(s.conZelvan, s.ui, s.cmd.commandTimeout(),
                           MergeLedger::Merge {clients.from, clients.to, displayName(plan.from.surname, plan.from.name),
                                               displayName(plan.to.surname, plan.to.name), auditId},
                           rewrittenColumnsByTable());
            // With the Audit row and before the transaction, so that a merge stopped at any
            // moment leaves a record that says what it was. A dry run's record is rolled back.
            if (!options.dryRun)
                ledger->start();
        }
        if (transaction)
            watchingForLocks(s.conZelvan, s.ui, QStringLiteral("the transaction could not begin"),
                             [&] { s.conZelvan.beginTransaction(); });
        // Inside the transaction, before the first step: the accounts must still be those
        // the mapping was made on.
        if (accountState(s, clients) != plan.m_accountState)
            throw AccountsChanged();
        started = true;
        runCatalogue(s, plan.accounts, clients, ledger ? &*ledger : nullptr);
        if (ledger)
            ledger->finish();
        if (options.dryRun) {
            s.conZelvan.rollbackTransaction();
            writeLog(QStringLiteral("dry run - rolled back"));
            s.ui.showInfo(QStringLiteral("Dry run complete: every step ran and was rolled back. Nothing was changed."));
        } else {
            if (transaction)
                watchingForLocks(s.conZelvan, s.ui, QStringLiteral("the changes could not be committed"),
                                 [&] { s.conZelvan.commitTransaction(); });
            else
                writeLog(QStringLiteral("success - client merged"));
            s.ui.showInfo(QStringLiteral("Clients have been successfully merged."));
        }
    } catch (const AccountsChanged&) {
        outcome = MergeOutcome::Refused;
        writeLog(QStringLiteral("cancelled - the accounts changed after they were mapped [AccountsChanged]"));
        if (s.conZelvan.inTransaction())
            s.conZelvan.rollbackTransaction();
        s.ui.showInfo(QStringLiteral("The accounts of the clients changed while the merge was being prepared (another "
                                     "merge or another user changed them).\nNothing has been changed. Please start the "
                                     "merge again.")
                      + reverted());
    } catch (const std::exception& e) {
        outcome = MergeOutcome::Failed;
        if (!started || transaction)
            writeLogFmt(QStringLiteral("EXCEPTION %s"), {exceptionMessage(e)});
        if (!started) {
            // Stopped before its first step (the Audit row, the record, the start of the
            // transaction): nothing of the practice's data was touched.
            writeLog(QStringLiteral("failed - the merge could not start [NotStarted]"));
            try {
                if (s.conZelvan.inTransaction())
                    s.conZelvan.rollbackTransaction();
            } catch (const std::exception&) {
                // Nothing was written inside it.
            }
            s.ui.showWarning(
                QStringLiteral("The merge could not start: %1\nNothing has been changed.").arg(exceptionMessage(e))
                + reverted());
        } else if (transaction) {
            writeLog(QStringLiteral("failed - some data could not be transferred [DBRollbackTrans]"));
            QString rollbackFailure;
            try {
                if (s.conZelvan.inTransaction())
                    s.conZelvan.rollbackTransaction();
            } catch (const std::exception& failure) {
                rollbackFailure = exceptionMessage(failure);
            }
            if (rollbackFailure.isEmpty()) {
                s.ui.showWarning(
                    QStringLiteral("Some data could not be transferred.\nPatient details have been reverted.")
                    + reverted());
            } else {
                // The engine keeps what it needs to take the changes back (its journal) and does
                // so the next time the database is opened.
                writeLogFmt(QStringLiteral("the rollback failed: %s"), {rollbackFailure});
                s.ui.showWarning(
                    QStringLiteral("Some data could not be transferred, and the changes could not be rolled "
                                   "back at once: %1\nThe database takes them back itself the next time it "
                                   "is opened. Free space on the disk if it is full, then start this utility "
                                   "again once before anyone works in the practice.")
                        .arg(rollbackFailure));
            }
        } else {
            writeLog(QStringLiteral("failed - some data could not be transferred"));
            s.ui.showWarning(QStringLiteral("Some data could not be transferred.") + lockWaitAdvice(s.conZelvan));
        }
    }
    if (options.afterOutcome)
        options.afterOutcome();
    return outcome;
}

} // namespace kolvix
