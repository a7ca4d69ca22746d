#include "cli/MergePairsVerb.h"

#include "cli/ArgumentParser.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/TerminalUserInterface.h"
#include "core/TextHelpers.h"
#include "db/DbError.h"
#include "merge/BatchMerge.h"
#include "merge/MergeSession.h"

#include <QFile>
#include <QStringDecoder>
#include <tuple>

namespace kolvix::cli {

namespace {

// The header of the listing: one line per pair follows.
const char* const kListingHeader = "Merge\tKeep\tOutcome\tAudit\tReason";

// The terminal of a run: its question and boxes as a merge's, without each pair's catalogue
// steps, which would come between the lines of the pairs.
class RunInterface : public TerminalUserInterface
{
public:
    using TerminalUserInterface::TerminalUserInterface;
    void catalogueStepDone(int, const QString&, int) override { }
};

QString counted(qsizetype count, const char* one, const char* many)
{
    return QString::number(count) + u' ' + QString::fromLatin1(count == 1 ? one : many);
}

QString confirmationText(const QString& file, qsizetype pairs, bool dryRun)
{
    QString text = QStringLiteral("Merge the %1 listed in %2?\n").arg(counted(pairs, "pair", "pairs"), file);
    text += QStringLiteral("Each pair is checked and merged on its own, with the accounts mapped as the account "
                           "dialog proposes them; a pair that a check refuses, whose accounts need a decision or "
                           "whose names have changed since the scan is skipped and left as it is.\n");
    text += QStringLiteral("Each merge can be undone on its own from the history (--history, --undo).");
    if (dryRun)
        text += QStringLiteral("\nDry run: every merge is rolled back, nothing is changed.");
    return text;
}

// The file's text as --duplicates or an editor may have written it: in the encoding its byte
// order mark names (PowerShell's ">" writes UTF-16), else UTF-8, else the system's 8-bit
// encoding, in which kolvix-merge writes to a file where that is not UTF-8.
QString decodedText(const QByteArray& bytes)
{
    if (const auto marked = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*marked); // the mark itself is dropped
        return decoder.decode(bytes);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLocal8Bit(bytes) : text;
}

// A cell as a spreadsheet may have saved it: in double quotes, a quote within doubled.
QString cellText(const QString& cell)
{
    if (cell.size() >= 2 && cell.startsWith(u'"') && cell.endsWith(u'"'))
        return cell.mid(1, cell.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return cell;
}

} // namespace

std::optional<std::vector<BatchPair>> readPairsFile(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QStringList lines = decodedText(file.readAll()).split(u'\n');
    std::vector<BatchPair> pairs;
    qsizetype keepColumn = -1;
    qsizetype mergeColumn = -1;
    qsizetype keepNameColumn = -1;
    qsizetype mergeNameColumn = -1;
    bool header = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        QStringList cells = line.split(u'\t');
        for (QString& cell : cells)
            cell = cellText(cell);
        if (!header) {
            header = true;
            for (qsizetype c = 0; c < cells.size(); ++c) {
                const QString name = cells[c].trimmed();
                if (name.compare(QLatin1String("Keep"), Qt::CaseInsensitive) == 0)
                    keepColumn = c;
                else if (name.compare(QLatin1String("Merge"), Qt::CaseInsensitive) == 0)
                    mergeColumn = c;
                else if (name.compare(QLatin1String("Keep name"), Qt::CaseInsensitive) == 0)
                    keepNameColumn = c;
                else if (name.compare(QLatin1String("Merge name"), Qt::CaseInsensitive) == 0)
                    mergeNameColumn = c;
            }
            if (keepColumn < 0 || mergeColumn < 0) {
                error = QStringLiteral("%1 line %2: the header line has no %3 column (expected the header that "
                                       "--duplicates writes)")
                            .arg(path)
                            .arg(i + 1)
                            .arg(keepColumn < 0 ? QStringLiteral("Keep") : QStringLiteral("Merge"));
                return std::nullopt;
            }
            continue;
        }
        BatchPair pair;
        for (const auto& [column, caption, id] :
             {std::tuple {keepColumn, "Keep", &pair.keep}, std::tuple {mergeColumn, "Merge", &pair.merge}}) {
            const QString cell = column < cells.size() ? cells[column] : QString();
            const std::optional<qint32> value = readInteger(cell);
            if (!value) {
                error = QStringLiteral("%1 line %2: %3 must be a whole number (a client id), not '%4'")
                            .arg(path)
                            .arg(i + 1)
                            .arg(QLatin1String(caption), escapeText(cell));
                return std::nullopt;
            }
            *id = *value;
        }
        // The names as --duplicates printed them; a name it had to escape does not compare equal,
        // and its pair is skipped as changed rather than merged unchecked.
        if (keepNameColumn >= 0 && keepNameColumn < cells.size())
            pair.keepName = cells[keepNameColumn];
        if (mergeNameColumn >= 0 && mergeNameColumn < cells.size())
            pair.mergeName = cells[mergeNameColumn];
        pairs.push_back(pair);
    }
    if (!header) {
        error = QStringLiteral("%1 is empty: expected the header line that --duplicates writes, then the pairs")
                    .arg(path);
        return std::nullopt;
    }
    return pairs;
}

int mergeReviewedPairs(Connection& connection, const MergePairsVerbOptions& options)
{
    QString error;
    const auto pairs = readPairsFile(options.file, error);
    if (!pairs) {
        err(QStringLiteral("kolvix-merge: ") + error);
        return ExitUsage;
    }

    // Nothing to merge (every line of the listing deleted in review): nothing to connect to.
    if (pairs->empty()) {
        out(QString::fromLatin1(kListingHeader));
        out(QStringLiteral("0 pairs: 0 merged, 0 skipped, 0 failed"));
        return ExitMerged;
    }

    // The terminal answers the run's one question as it answers a merge's.
    MergeVerbOptions answers;
    answers.yes = options.yes;
    answers.dryRun = options.dryRun;
    RunInterface ui(answers);
    MergeSession session(connection, ui);
    if (!openMergeSession(session).opened)
        return ExitNoConnection;

    if (!ui.confirm(confirmationText(options.file, qsizetype(pairs->size()), options.dryRun)))
        return ExitRefused;

    out(QString::fromLatin1(kListingHeader));
    BatchOptions batch;
    batch.dryRun = options.dryRun;
    batch.stopOnSkip = options.stopOnSkip;
    batch.pairDone = [](int, const BatchResult& result) {
        out(tabSeparated({QString::number(result.merge), QString::number(result.keep), result.outcomeText(),
                          result.auditId > 0 ? QString::number(result.auditId) : QString(), result.reason}));
    };
    std::vector<BatchResult> results;
    try {
        results = mergePairs(session, *pairs, batch);
    } catch (const std::exception& e) {
        out(QStringLiteral("Error: ") + exceptionMessage(e));
        return ExitFailed;
    }

    qsizetype merged = 0;
    qsizetype skipped = 0;
    qsizetype failed = 0;
    for (const BatchResult& result : results) {
        switch (result.outcome) {
        case BatchResult::Outcome::Merged:
            ++merged;
            break;
        case BatchResult::Outcome::Skipped:
            ++skipped;
            break;
        case BatchResult::Outcome::Failed:
            ++failed;
            break;
        }
    }
    const qsizetype notRun = qsizetype(pairs->size()) - qsizetype(results.size());
    QString summary = QStringLiteral("%1: %2 merged, %3 skipped, %4 failed")
                          .arg(counted(qsizetype(pairs->size()), "pair", "pairs"))
                          .arg(merged)
                          .arg(skipped)
                          .arg(failed);
    if (notRun > 0)
        summary += QStringLiteral(", %1 not run (--stop-on-skip)").arg(notRun);
    if (options.dryRun)
        summary += QStringLiteral("; dry run: every merge was rolled back, nothing was changed");
    out(summary);
    return merged == qsizetype(pairs->size()) ? ExitMerged : ExitRefused;
}

} // namespace kolvix::cli
