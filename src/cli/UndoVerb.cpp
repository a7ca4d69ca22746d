#include "cli/UndoVerb.h"

#include "cli/MergeVerb.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/TerminalUserInterface.h"
#include "db/DbError.h"
#include "merge/MergeSession.h"
#include "merge/MergeUndo.h"

namespace kolvix::cli {

int undo(Connection& connection, const UndoVerbOptions& options)
{
    // The terminal answers the undo's question as it answers a merge's.
    MergeVerbOptions answers;
    answers.yes = options.yes;
    answers.dryRun = options.dryRun;
    TerminalUserInterface ui(answers);
    MergeSession session(connection, ui);

    if (!openMergeSession(session).opened)
        return ExitNoConnection;
    try {
        const std::unique_ptr<UndoPlan> plan = planUndo(session, *options.auditId);
        if (!plan)
            return ExitRefused;
        if (!ui.confirm(plan->confirmationText())) {
            cancelUndo(*plan);
            return ExitRefused;
        }
        return exitCodeOf(executeUndo(session, *plan, options.dryRun));
    } catch (const std::exception& e) {
        // A check's query that failed: nothing has been changed.
        out(QStringLiteral("Error: ") + exceptionMessage(e));
        return ExitFailed;
    }
}

} // namespace kolvix::cli
