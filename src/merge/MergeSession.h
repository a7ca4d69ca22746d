#pragma once

#include "accounts/AccountInfo.h"
#include "db/Command.h"
#include "db/Dataset.h"
#include "merge/TracePane.h"

#include <QStringList>
#include <functional>

namespace kolvix {

class Connection;

// The data objects of the main window that a merge works on, all on the one connection:
// the command cmd (60 s), the scratch dataset dsTemp (30 s), dsAccount and dsAudit (30 s),
// the hidden trace pane mem, the account model and the account-column cache.
class MergeSession
{
public:
    explicit MergeSession(Connection& connection);

    Connection& conZelvan;
    Command cmd;
    Dataset dsTemp;
    Dataset dsAccount;
    Dataset dsAudit;
    TracePane mem;
    TaInfo info;
    QStringList columnCache;
    // From the setting "Use Rollback" (section "Kolvix"); on by default.
    bool UseRollback = true;
    // Reopens the main window's count query after a merge; empty without a window.
    std::function<void()> reopenQuery;
};

} // namespace kolvix
