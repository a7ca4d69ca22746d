#include "cli/DifferentVerb.h"

#include "cli/Options.h"
#include "cli/Output.h"
#include "core/TextHelpers.h"
#include "db/DbError.h"
#include "ledger/DistinctPairs.h"
#include "merge/MergeSession.h"

namespace kolvix::cli {

namespace {

// "20 (Harper, Louise)", or the id alone when the client does not exist.
QString clientText(Connection& connection, qint32 id)
{
    const std::optional<MergeClient> client = loadClient(connection, id);
    return client ? QStringLiteral("%1 (%2)").arg(id).arg(displayName(client->surname, client->name))
                  : QString::number(id);
}

// The cells of one mark's line.
QStringList differentCells(const DistinctPair& pair)
{
    return {QString::number(pair.first),
            QString::number(pair.second),
            pair.firstName,
            pair.secondName,
            pair.when.isValid() ? pair.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString(),
            pair.workstation,
            pair.userName,
            pair.note};
}

} // namespace

int markDifferent(Connection& connection, const MarkDifferentVerbOptions& options)
{
    if (!connectOrSayWhy(connection))
        return ExitNoConnection;
    try {
        for (const qint32 id : {options.a, options.b})
            if (!loadClient(connection, id)) {
                err(QStringLiteral("kolvix-merge: client %1 does not exist").arg(id));
                return ExitUsage;
            }
        if (const std::optional<DistinctPair> mark = findDistinctPair(connection, options.a, options.b)) {
            err(QStringLiteral("kolvix-merge: clients %1 and %2 are %3 already; nothing changed. To change the note, "
                               "remove the mark with --unmark-different %1 %2 and mark them again.")
                    .arg(options.a)
                    .arg(options.b)
                    .arg(escapeText(mark->description())));
            return ExitRefused;
        }
        markDistinctPair(connection, options.a, options.b, options.note);
        out(QStringLiteral("Marked clients %1 and %2 as different people.")
                .arg(clientText(connection, options.a), clientText(connection, options.b)));
    } catch (const std::exception& e) {
        return readFailed(e);
    }
    return ExitMerged;
}

int unmarkDifferent(Connection& connection, const UnmarkDifferentVerbOptions& options)
{
    if (!connectOrSayWhy(connection))
        return ExitNoConnection;
    try {
        if (!unmarkDistinctPair(connection, options.a, options.b)) {
            err(QStringLiteral("kolvix-merge: clients %1 and %2 are not marked as different people; nothing changed")
                    .arg(options.a)
                    .arg(options.b));
            return ExitRefused;
        }
        out(QStringLiteral("Removed the mark: clients %1 and %2 are no longer marked as different people.")
                .arg(clientText(connection, options.a), clientText(connection, options.b)));
    } catch (const std::exception& e) {
        return readFailed(e);
    }
    return ExitMerged;
}

int listDifferent(Connection& connection)
{
    if (!connectOrSayWhy(connection))
        return ExitNoConnection;
    std::vector<DistinctPair> pairs;
    try {
        pairs = readDistinctPairs(connection);
    } catch (const std::exception& e) {
        return readFailed(e);
    }
    out(QString::fromLatin1(kDifferentHeader));
    for (const DistinctPair& pair : pairs)
        out(tabSeparated(differentCells(pair)));
    return ExitMerged;
}

} // namespace kolvix::cli
