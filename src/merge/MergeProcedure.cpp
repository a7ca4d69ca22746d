#include "merge/MergeProcedure.h"

#include "accounts/AccountMergeModel.h"
#include "core/Log.h"
#include "core/TextHelpers.h"
#include "core/UserInterface.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "merge/MergeSession.h"
#include "merge/PreChecks.h"
#include "merge/RecordMovers.h"
#include "merge/Runners.h"

#include <QDateTime>

namespace kolvix {

namespace {

constexpr int kAuditActionLength = 100;
constexpr int kAuditCommentLength = 7899;

// The account dialog and its final confirmation: true when the user pressed OK on valid rows
// (now written back into the model's Accounts) and answered Yes.
bool ExecuteAccountMerging(TaInfo& info)
{
    AccountMergeModel model(info);
    if (!userInterface().editAccounts(model))
        return false;
    return userInterface().confirm(model.confirmationText());
}

// One Audit row per merge, written before the transaction so that it stays whatever becomes
// of the merge. Any failure ends the audit writing silently.
void writeAuditRow(MergeSession& s)
{
    QStringList list;
    s.info.DescribeMerge(list);
    if (list.isEmpty())
        return;
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
        } catch (const std::exception&) {
            s.dsAudit.cancel();
        }
    } catch (const std::exception&) {
    }
}

} // namespace

MergeOutcome mergeClients(MergeSession& s, const MergeClient& from, const MergeClient& to, const MergeOptions& options)
{
    const QString fromName = displayName(from.surname, from.name);
    const QString toName = displayName(to.surname, to.name);
    s.mem.clear();

    writeLog(QStringLiteral("merging"));
    if (options.dryRun)
        writeLog(QStringLiteral("dry run - every change will be rolled back"));
    writeLogFmt(QStringLiteral("  from: %d=%s"), {from.id, fromName});
    writeLogFmt(QStringLiteral("  into: %d=%s"), {to.id, toName});

    if (!runClientChecks(s, from.id, to.id))
        return MergeOutcome::Refused;
    s.info.Load(s.dsTemp, to.id, toName, from.id, fromName, &s.mem);
    if (!runAccountChecks(s.info))
        return MergeOutcome::Refused;
    if (!ExecuteAccountMerging(s.info)) {
        writeLog(QStringLiteral("cancelled - user cancelled from account merge"));
        return MergeOutcome::Cancelled;
    }

    userInterface().setWaitCursor(true);
    // The arrow comes back however the handler ends, also when the rollback or the reopening
    // of the count query fails.
    struct RestoreCursor
    {
        ~RestoreCursor() { userInterface().setWaitCursor(false); }
    } restoreCursor;
    const bool transaction = s.UseRollback || options.dryRun;
    MergeOutcome outcome = MergeOutcome::Merged;
    try {
        s.info.DumpToMemo(&s.mem);
        if (!options.dryRun)
            writeAuditRow(s);
        if (transaction)
            s.conZelvan.beginTransaction();
        runCatalogue(s, from.id, to.id);
        if (options.dryRun) {
            s.conZelvan.rollbackTransaction();
            writeLog(QStringLiteral("dry run - rolled back"));
            showInfo(QStringLiteral("Dry run complete: every step ran and was rolled back. Nothing was changed."));
        } else {
            if (transaction)
                s.conZelvan.commitTransaction();
            else
                writeLog(QStringLiteral("success - client merged"));
            showInfo(QStringLiteral("Clients have been successfully merged."));
        }
    } catch (const std::exception& e) {
        outcome = MergeOutcome::Failed;
        if (transaction) {
            writeLogFmt(QStringLiteral("EXCEPTION %s"), {exceptionMessage(e)});
            writeLog(QStringLiteral("failed - some data could not be transferred [DBRollbackTrans]"));
            if (s.conZelvan.inTransaction())
                s.conZelvan.rollbackTransaction();
            showWarning(QStringLiteral("Some data could not be transferred.\nPatient details have been reverted."));
        } else {
            writeLog(QStringLiteral("failed - some data could not be transferred"));
            showWarning(QStringLiteral("Some data could not be transferred."));
        }
    }
    if (s.reopenQuery)
        s.reopenQuery();
    return outcome;
}

} // namespace kolvix
