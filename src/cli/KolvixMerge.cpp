#include "cli/KolvixMerge.h"

#include "cli/ArgumentParser.h"
#include "cli/CompareVerb.h"
#include "cli/DiagnoseVerb.h"
#include "cli/DifferentVerb.h"
#include "cli/DuplicatesVerb.h"
#include "cli/FindVerb.h"
#include "cli/HistoryVerb.h"
#include "cli/MergePairsVerb.h"
#include "cli/MergeVerb.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/UndoVerb.h"
#include "db/Connection.h"
#include "settings/CommandLine.h"

#include <iostream>

namespace kolvix::cli {

int runKolvixMerge(const QStringList& args, const std::vector<QByteArray>& rawArgs)
{
    if (const auto bad = firstNonUtf8Argument(rawArgs)) {
        err(QStringLiteral("kolvix-merge: argument %1 is not valid UTF-8 text (see --help)").arg(*bad + 1));
        return ExitUsage;
    }
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::cout << kUsage;
        return ExitMerged;
    }
    if (args.contains(QLatin1String("--version"))) {
        std::cout << "kolvix-merge " KOLVIX_VERSION "\n";
        return ExitMerged;
    }
    QString error;
    const auto options = parseArguments(args, error);
    if (!options) {
        err(QStringLiteral("kolvix-merge: ") + error + QStringLiteral(" (see --help)"));
        return ExitUsage;
    }
    setCommandLineArguments(options->settings);

    const auto* findOptions = std::get_if<FindVerbOptions>(&options->verb);
    const auto* duplicatesOptions = std::get_if<DuplicatesVerbOptions>(&options->verb);
    const auto* historyOptions = std::get_if<HistoryVerbOptions>(&options->verb);
    const auto* compareOptions = std::get_if<CompareVerbOptions>(&options->verb);
    const bool listDifferentVerb = std::holds_alternative<ListDifferentVerbOptions>(options->verb);
    Connection connection;
    // The verbs that only read open a database file for reading only, so that a read-only file
    // or folder serves them.
    connection.setReadOnly(findOptions || duplicatesOptions || historyOptions || compareOptions || listDifferentVerb);
    connection.setLockWaitNotice([] { err(QString::fromLatin1(kLockWaitLine)); });
    if (findOptions)
        return find(connection, *findOptions);
    if (duplicatesOptions)
        return duplicates(connection, *duplicatesOptions);
    if (historyOptions)
        return history(connection, *historyOptions);
    if (compareOptions)
        return compare(connection, *compareOptions);
    if (listDifferentVerb)
        return listDifferent(connection);
    if (const auto* markOptions = std::get_if<MarkDifferentVerbOptions>(&options->verb))
        return markDifferent(connection, *markOptions);
    if (const auto* unmarkOptions = std::get_if<UnmarkDifferentVerbOptions>(&options->verb))
        return unmarkDifferent(connection, *unmarkOptions);
    if (const auto* undoOptions = std::get_if<UndoVerbOptions>(&options->verb))
        return undo(connection, *undoOptions);
    if (const auto* pairsOptions = std::get_if<MergePairsVerbOptions>(&options->verb))
        return mergeReviewedPairs(connection, *pairsOptions);
    if (std::holds_alternative<DiagnoseVerbOptions>(options->verb))
        return diagnose(connection);
    return merge(connection, std::get<MergeVerbOptions>(options->verb));
}

} // namespace kolvix::cli
