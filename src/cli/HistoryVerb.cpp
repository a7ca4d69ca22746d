#include "cli/HistoryVerb.h"

#include "cli/Options.h"
#include "cli/Output.h"
#include "db/DbError.h"
#include "ledger/MergeHistory.h"
#include "settings/UtilityConnect.h"

namespace kolvix::cli {

QStringList historyCells(const MergeHistoryEntry& entry)
{
    return {QString::number(entry.auditId),
            entry.when.isValid() ? entry.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString(),
            entry.workstation,
            QString::number(entry.from),
            QString::number(entry.to),
            entry.fromName,
            entry.toName,
            entry.rows < 0 ? QString() : QString::number(entry.rows),
            entry.stateText()};
}

int history(Connection& connection, const HistoryVerbOptions& options)
{
    // The history only reads: the connection with its fallbacks, without the merge's warning.
    if (!connectOrSayWhy(connection))
        return ExitNoConnection;
    std::vector<MergeHistoryEntry> merges;
    try {
        merges = readMergeHistory(connection, options.limit.value_or(0));
    } catch (const std::exception& e) {
        return readFailed(e);
    }
    out(QString::fromLatin1(kHistoryHeader));
    for (const MergeHistoryEntry& entry : merges)
        out(tabSeparated(historyCells(entry)));
    return ExitMerged;
}

} // namespace kolvix::cli
