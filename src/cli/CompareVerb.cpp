#include "cli/CompareVerb.h"

#include "cli/Options.h"
#include "cli/Output.h"
#include "core/TextHelpers.h"
#include "db/DbError.h"
#include "ledger/DistinctPairs.h"
#include "merge/ClientComparison.h"

namespace kolvix::cli {

namespace {

// The lines of the comparison on standard output, headers included, each as tabSeparated writes it.
QStringList comparisonLines(const ClientComparison& comparison)
{
    QStringList lines {QStringLiteral("Field\tA\tB\tSame")};
    for (const ComparedField& field : comparison.fields)
        lines << tabSeparated(
            {field.field, field.a, field.b, field.same ? QStringLiteral("yes") : QStringLiteral("no")});
    lines << QStringLiteral("Rows\tA\tB");
    for (const ComparedCount& count : comparison.counts)
        lines << tabSeparated({count.caption, QString::number(count.a), QString::number(count.b)});
    return lines;
}

} // namespace

int compare(Connection& connection, const CompareVerbOptions& options)
{
    if (!connectOrSayWhy(connection))
        return ExitNoConnection;
    try {
        const std::optional<ClientDetails> a = readClientDetails(connection, options.a);
        const std::optional<ClientDetails> b = readClientDetails(connection, options.b);
        if (!a || !b) {
            err(QStringLiteral("kolvix-merge: client %1 does not exist").arg(!a ? options.a : options.b));
            return ExitUsage;
        }
        for (const QString& line : comparisonLines(compareClients(connection, *a, *b)))
            out(line);
        // Standard output keeps its form; the mark is said beside it.
        if (const std::optional<DistinctPair> mark = findDistinctPair(connection, options.a, options.b))
            err(QStringLiteral("kolvix-merge: clients %1 and %2 are %3")
                    .arg(options.a)
                    .arg(options.b)
                    .arg(escapeText(mark->description())));
    } catch (const std::exception& e) {
        return readFailed(e);
    }
    return ExitMerged;
}

} // namespace kolvix::cli
