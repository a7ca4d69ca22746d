#include "cli/DuplicatesVerb.h"

#include "cli/Options.h"
#include "cli/Output.h"
#include "core/TextHelpers.h"
#include "db/DbError.h"
#include "duplicates/DuplicateFinder.h"
#include "settings/UtilityConnect.h"

namespace kolvix::cli {

int duplicates(Connection& connection, const DuplicatesVerbOptions& options)
{
    // The scan only reads: the connection with its fallbacks, without the merge's warning.
    if (!connectOrSayWhy(connection))
        return ExitNoConnection;

    DuplicateOptions scanOptions;
    scanOptions.minScore = options.minScore.value_or(kDefaultMinScore);
    scanOptions.includeArchived = options.archived;
    scanOptions.limit = options.limit.value_or(0);

    DuplicateFinder finder(connection);
    if (stderrIsTerminal()) {
        // One line a stage, and one for every tenth of the comparing.
        QString lastStage;
        int lastTenth = -1;
        finder.setProgressCallback([&](const DuplicateProgress& p) {
            const QString stage = p.stage.section(u' ', 0, 0);
            const int tenth = p.percent < 0 ? -1 : p.percent / 10;
            if (stage == lastStage && tenth == lastTenth)
                return;
            lastStage = stage;
            lastTenth = tenth;
            err(p.percent < 0 ? p.stage : QStringLiteral("%1 (%2 %)").arg(p.stage).arg(p.percent));
        });
    }

    DuplicateScanResult result;
    try {
        result = finder.scan(scanOptions);
    } catch (const std::exception& e) {
        return readFailed(e);
    }

    out(QStringLiteral("Score\tGroup\tKeep\tMerge\tReasons\tKeep name\tMerge name"));
    for (const DuplicatePair& pair : result.pairs)
        out(tabSeparated({QString::number(pair.score), QString::number(pair.group), QString::number(pair.keep.clientId),
                          QString::number(pair.merge.clientId), pair.reasonText(), pair.keep.displayName(),
                          pair.merge.displayName()}));
    // Standard output keeps its form; what the scan could not compare is said beside it.
    for (const LeftOutBlock& block : result.leftOut)
        err(QStringLiteral("kolvix-merge: left out %1: too many to compare pairwise")
                .arg(escapeText(block.description())));
    if (result.mergedAway == 1)
        err(QStringLiteral("kolvix-merge: left out 1 client merged away by an earlier merge"));
    else if (result.mergedAway > 1)
        err(QStringLiteral("kolvix-merge: left out %1 clients merged away by earlier merges").arg(result.mergedAway));
    if (result.markedDistinct == 1)
        err(QStringLiteral("kolvix-merge: left out 1 pair marked as different people"));
    else if (result.markedDistinct > 1)
        err(QStringLiteral("kolvix-merge: left out %1 pairs marked as different people").arg(result.markedDistinct));
    if (stderrIsTerminal())
        err(duplicatesSummary(qsizetype(result.pairs.size()), result.groups, result.clients));
    return ExitMerged;
}

QString duplicatesSummary(qsizetype pairs, int groups, int clients)
{
    const auto counted = [](qlonglong count, const char* one, const char* many) {
        return QString::number(count) + u' ' + QString::fromLatin1(count == 1 ? one : many);
    };
    return QStringLiteral("%1 in %2 among %3")
        .arg(counted(pairs, "pair", "pairs"), counted(groups, "group", "groups"),
             counted(clients, "client", "clients"));
}

} // namespace kolvix::cli
