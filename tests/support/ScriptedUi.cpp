#include "ScriptedUi.h"

#include "accounts/AccountMergeModel.h"

namespace kolvix::test {

ScriptedUi::ScriptedUi()
{
    setUserInterface(this);
}

ScriptedUi::~ScriptedUi()
{
    setUserInterface(nullptr);
}

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

} // namespace kolvix::test
