#include "cli/MergeVerb.h"

#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/TerminalUserInterface.h"
#include "db/DbError.h"
#include "merge/MergeProcedure.h"
#include "merge/MergeSession.h"

namespace kolvix::cli {

int merge(Connection& connection, const MergeVerbOptions& options)
{
    TerminalUserInterface ui(options);
    MergeSession session(connection, ui);

    if (!openMergeSession(session).opened)
        return ExitNoConnection;
    try {
        const auto from = loadClient(connection, *options.from);
        const auto to = loadClient(connection, *options.to);
        if (!from || !to) {
            err(QStringLiteral("kolvix-merge: client %1 does not exist").arg(!from ? *options.from : *options.to));
            return ExitUsage;
        }
        MergeOptions mergeOptions;
        mergeOptions.dryRun = options.dryRun;
        mergeOptions.irreversible = options.irreversible;
        const std::unique_ptr<MergePlan> plan = planMerge(session, *from, *to, mergeOptions);
        if (!plan)
            return ExitRefused;
        // The account dialog of the terminal: --map on the proposed mapping, then the same
        // checks of the rows, what moves and what stays, and the final question.
        if (!ui.settle(*plan)) {
            cancelMerge(*plan);
            return ExitRefused;
        }
        return exitCodeOf(executeMerge(session, *plan));
    } catch (const UsageError& e) {
        err(QStringLiteral("kolvix-merge: ") + QString::fromStdString(e.what()));
        return ExitUsage;
    } catch (const std::exception& e) {
        // What the GUI shows in its default error box.
        out(QStringLiteral("Error: ") + exceptionMessage(e));
        return ExitFailed;
    }
}

int exitCodeOf(MergeOutcome outcome)
{
    switch (outcome) {
    case MergeOutcome::Merged:
        return ExitMerged;
    case MergeOutcome::Refused:
    case MergeOutcome::Cancelled:
        return ExitRefused;
    case MergeOutcome::Failed:
        break;
    }
    return ExitFailed;
}

} // namespace kolvix::cli
