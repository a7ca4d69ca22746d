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
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <limits>
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

QString confirmationText(const QString& file, const std::vector<BatchPair>& pairs, bool dryRun)
{
    QString text
        = QStringLiteral("Merge the %1 listed in %2?\n").arg(counted(qsizetype(pairs.size()), "pair", "pairs"), file);
    // A support technician's list of ids: nothing tells whether a client has changed since.
    if (std::none_of(pairs.begin(), pairs.end(), [](const BatchPair& p) { return p.keepName || p.mergeName; }))
        text += QStringLiteral("These pairs have no names to check: they are merged by client id alone.\n");
    text += QStringLiteral("Each pair is checked and merged on its own, with the accounts mapped as the account "
                           "dialog proposes them; a pair that a check refuses, whose accounts need a decision or "
                           "whose names have changed since the scan is skipped and left as it is.\n");
    text += QStringLiteral("Each merge can be undone on its own from the history (--history, --undo).");
    if (dryRun)
        text += QStringLiteral("\nDry run: every merge is rolled back, nothing is changed.");
    return text;
}

// The file's lines as --duplicates or an editor may have written them, read as a stream in
// chunks: in the encoding its byte order mark names (PowerShell's ">" writes UTF-16), else UTF-8,
// else the system's 8-bit encoding, in which kolvix-merge writes to a file where that is not
// UTF-8. Only a regular file of at most kMaxListingBytes is read, and a line may hold at most
// kMaxListingLineLength characters, so that neither a device nor a file without line breaks
// makes the reading grow.
class ListingLines
{
public:
    // False, with the message, for a file that is missing, unreadable, no regular file or larger
    // than the bound.
    bool open(const QString& path, QString& error)
    {
        const QFileInfo info(path);
        if (info.exists() && info.isDir()) {
            error = QStringLiteral("%1 is a folder, not a file: name the listing file (as written by --duplicates "
                                   "> pairs.tsv)")
                        .arg(path);
            return false;
        }
        if (info.exists() && !info.isFile()) {
            error = QStringLiteral("%1 is not a regular file (a device, a pipe or a socket): save the listing to a "
                                   "file first (--duplicates > pairs.tsv) and name that file")
                        .arg(path);
            return false;
        }
        if (info.exists() && info.size() > kMaxListingBytes) {
            error = tooLarge(path);
            return false;
        }
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read %1: %2").arg(path, m_file.errorString());
            return false;
        }
        // The encoding is settled over the whole file before the first line is read.
        QByteArray chunk;
        if (!readChunk(chunk, error))
            return false;
        if (const auto marked = QStringConverter::encodingForData(chunk)) {
            m_decoder = QStringDecoder(*marked); // the mark itself is dropped
        } else {
            QStringDecoder utf8(QStringDecoder::Utf8);
            while (!chunk.isEmpty() && !utf8.hasError()) {
                const QString decoded = utf8.decode(chunk);
                Q_UNUSED(decoded)
                if (!readChunk(chunk, error))
                    return false;
            }
            m_decoder = QStringDecoder(utf8.hasError() ? QStringDecoder::System : QStringDecoder::Utf8);
        }
        m_read = 0;
        return m_file.seek(0) || fail(error, QStringLiteral("cannot read %1: %2").arg(path, m_file.errorString()));
    }

    // The next line without its line feed, and its number (from 1). False at the end of the
    // file, and with the message when the file cannot be read or the line is over the bound.
    bool next(QString& line, qsizetype& number, QString& error)
    {
        for (;;) {
            const qsizetype end = m_pending.indexOf(u'\n', m_at);
            const qsizetype length = (end < 0 ? m_pending.size() : end) - m_at;
            if (length > kMaxListingLineLength)
                return fail(error,
                            QStringLiteral("%1 line %2 is longer than %3 characters, the most a line of a "
                                           "listing may hold: a listing that --duplicates writes has no such "
                                           "line; check that this is the right file")
                                .arg(m_file.fileName(), QString::number(m_lines + 1),
                                     QLocale(QLocale::English).toString(kMaxListingLineLength)));
            if (end >= 0 || (m_atEnd && m_at < m_pending.size())) {
                line = m_pending.mid(m_at, length);
                m_at += length + 1;
                number = ++m_lines;
                return true;
            }
            if (m_atEnd)
                return false;
            QByteArray chunk;
            if (!readChunk(chunk, error))
                return false;
            m_pending = m_pending.mid(m_at) + QString(m_decoder.decode(chunk));
            m_at = 0;
            m_atEnd = chunk.isEmpty();
        }
    }

private:
    static constexpr qint64 kChunk = 64 * 1024;

    static QString tooLarge(const QString& path)
    {
        return QStringLiteral("%1 is larger than %2 MiB, the most a listing of pairs may be: split it into smaller "
                              "listings and run each")
            .arg(path, QString::number(kMaxListingBytes / (1024 * 1024)));
    }

    static bool fail(QString& error, const QString& message)
    {
        error = message;
        return false;
    }

    // The next chunk of the file, empty at its end; a file that has grown over the bound since it
    // was opened is refused as one that was over it then.
    bool readChunk(QByteArray& chunk, QString& error)
    {
        chunk = m_file.read(kChunk);
        if (chunk.isEmpty() && m_file.error() != QFileDevice::NoError)
            return fail(error, QStringLiteral("cannot read %1: %2").arg(m_file.fileName(), m_file.errorString()));
        m_read += chunk.size();
        return m_read <= kMaxListingBytes || fail(error, tooLarge(m_file.fileName()));
    }

    QFile m_file;
    QStringDecoder m_decoder;
    qint64 m_read = 0;
    QString m_pending; // decoded text from m_at on is not yet handed out
    qsizetype m_at = 0;
    qsizetype m_lines = 0;
    bool m_atEnd = false;
};

// A cell as a spreadsheet may have saved it: in double quotes, a quote within doubled.
QString cellText(const QString& cell)
{
    if (cell.size() >= 2 && cell.startsWith(u'"') && cell.endsWith(u'"'))
        return cell.mid(1, cell.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return cell;
}

// The columns of the listing that the run reads, by the names of the header line.
struct ListingColumns
{
    qsizetype keep = -1;
    qsizetype merge = -1;
    qsizetype keepName = -1;
    qsizetype mergeName = -1;

    // The columns of the header's cells; the message when one of them is named twice or Keep or
    // Merge is missing.
    QString read(const QStringList& header)
    {
        const std::tuple<const char*, qsizetype*> named[]
            = {{"Keep", &keep}, {"Merge", &merge}, {"Keep name", &keepName}, {"Merge name", &mergeName}};
        for (qsizetype c = 0; c < header.size(); ++c)
            for (const auto& [name, column] : named)
                if (header[c].trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
                    if (*column >= 0)
                        return QStringLiteral("the header line names the %1 column twice (columns %2 and %3): "
                                              "name each column once, as --duplicates does")
                            .arg(QLatin1String(name))
                            .arg(*column + 1)
                            .arg(c + 1);
                    *column = c;
                }
        if (keep < 0 || merge < 0)
            return QStringLiteral("the header line has no %1 column (expected the header that --duplicates writes)")
                .arg(keep < 0 ? QStringLiteral("Keep") : QStringLiteral("Merge"));
        return {};
    }
};

} // namespace

std::optional<std::vector<BatchPair>> readPairsFile(const QString& path, QString& error)
{
    ListingLines listing;
    if (!listing.open(path, error))
        return std::nullopt;
    const auto refuse = [&](qsizetype number, const QString& message) {
        error = QStringLiteral("%1 line %2: %3").arg(path, QString::number(number), message);
        return std::nullopt;
    };
    std::vector<BatchPair> pairs;
    std::optional<ListingColumns> columns;
    QString line;
    qsizetype number = 0;
    while (listing.next(line, number, error)) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        QStringList cells = line.split(u'\t');
        for (QString& cell : cells)
            cell = cellText(cell);
        if (!columns) {
            columns.emplace();
            const QString fault = columns->read(cells);
            if (!fault.isEmpty())
                return refuse(number, fault);
            continue;
        }
        if (qsizetype(pairs.size()) == kMaxListingPairs) {
            error = QStringLiteral("%1 holds more than %2 pairs, the most one run takes: split it into listings of "
                                   "at most %2 pairs and run each")
                        .arg(path, QLocale(QLocale::English).toString(kMaxListingPairs));
            return std::nullopt;
        }
        BatchPair pair;
        for (const auto& [column, caption, id] :
             {std::tuple {columns->keep, "Keep", &pair.keep}, std::tuple {columns->merge, "Merge", &pair.merge}}) {
            const QString cell = cells.value(column);
            const std::optional<qint32> value = readInteger(cell);
            bool wide = false;
            cell.trimmed().toLongLong(&wide);
            if (!value && wide)
                return refuse(number,
                              QStringLiteral("%1 is out of range: a client id is a whole number from %2 to %3, not "
                                             "'%4'")
                                  .arg(QLatin1String(caption))
                                  .arg(std::numeric_limits<qint32>::min())
                                  .arg(std::numeric_limits<qint32>::max())
                                  .arg(escapeText(cell)));
            if (!value)
                return refuse(number,
                              QStringLiteral("%1 must be a whole number (a client id), not '%2'")
                                  .arg(QLatin1String(caption), escapeText(cell)));
            *id = *value;
        }
        // The names as --duplicates wrote them, read back from their escapes; a cell the line
        // lacks is an empty name, never a name left unchecked.
        for (const auto& [column, caption, name] : {std::tuple {columns->keepName, "Keep name", &pair.keepName},
                                                    std::tuple {columns->mergeName, "Merge name", &pair.mergeName}}) {
            if (column < 0)
                continue;
            qsizetype at = 0;
            *name = unescapeText(cells.value(column), &at);
            if (!*name)
                return refuse(number,
                              QStringLiteral("the %1 has a backslash that begins no escape (character %2); "
                                             "write a backslash in a name as \\\\ (the escapes are \\\\ \\\" "
                                             "\\t \\r \\n \\xHH \\uHHHH)")
                                  .arg(QLatin1String(caption))
                                  .arg(at + 1));
        }
        pairs.push_back(pair);
    }
    if (!error.isEmpty())
        return std::nullopt;
    if (!columns) {
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

    if (!ui.confirm(confirmationText(options.file, *pairs, options.dryRun)))
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
