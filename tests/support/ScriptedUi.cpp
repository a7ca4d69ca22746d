#include "ScriptedUi.h"

#include "accounts/AccountMergeModel.h"

namespace kolvix::test {

bool ScriptedUi::editAccounts(AccountMergeModel& model)
{
    ++accountDialogs;
    if (onEditAccounts)
        return onEditAccounts(model);
    const QString issues = model.accept();
    if (issues.isEmpty())
        return true;
    showInfo(issues);
    return false;
}

bool ScriptedUi::settle(MergePlan& plan)
{
    notMoved << notMovedLines(plan.rowsOnMissingAccounts);
    notices << plan.notices;
    AccountMergeModel model(plan.accounts);
    return editAccounts(model) && confirm(model.confirmationText());
}

MergeOutcome mergeClients(MergeSession& session, const MergeClient& from, const MergeClient& to,
                          const MergeOptions& options)
{
    const std::unique_ptr<MergePlan> plan = planMerge(session, from, to, options);
    if (!plan)
        return MergeOutcome::Refused;
    if (!dynamic_cast<ScriptedUi&>(session.ui).settle(*plan))
        return cancelMerge(*plan);
    return executeMerge(session, *plan);
}

} // namespace kolvix::test
