// kolvix-duplicates-bench: how fast and how well the duplicate finder works on a database whose
// true pairs are known (kolvix-demo-db --duplicates writes them beside the database).
//
//   kolvix-duplicates-bench [--archived] [--speed-only] [--missed N] DATABASE.db [TRUTH.tsv]
//
// 1. Scans DATABASE.db once with the default --min-score, as `kolvix-merge --duplicates` does,
//    and prints the wall time of the scan, the clients, the distinct candidate pairs compared,
//    the pairs found and the peak memory of this process so far.
// 2. Unless --speed-only: scans again with --min-score 10 and, against TRUTH.tsv (default
//    DATABASE.db.duplicates.tsv), prints precision, recall and F1 for a range of --min-score
//    values. Two clients are one person when the true pairs connect them (a client planted
//    twice makes three records of one person). Recall counts the true pairs whose clients the
//    scan read. It also counts the pairs above the default threshold whose records are different
//    people who share the surname and the year of birth.
// 3. The recall on the true pairs that the evidence decides: both names still alike and the
//    dates of birth close or missing (the truth's fourth column, from kolvix-thin-db, or judged
//    here from the two records); for each modification or error, each field and each kind, the
//    true pairs and those missed; with DATABASE.db.relatives.tsv beside it, how many pairs of
//    relatives (different people) are listed, by kind. --missed N prints N of the missed pairs,
//    and N of the relatives listed, with their score and reasons.
//
// Nothing is judged here; bench/run-duplicates prints the figures against their goals.

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Statement.h"
#include "duplicates/DuplicateFinder.h"
#include "duplicates/DuplicateScorer.h"
#include "duplicates/NameMatching.h"
#include "duplicates/ValueKeys.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace kolvix;

namespace {

const char* const kUsage
    = "usage: kolvix-duplicates-bench [--archived] [--speed-only] [--missed N] DATABASE.db [TRUTH.tsv]\n";

long peakMemoryKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

quint64 pairKey(int a, int b)
{
    return quint64(std::min(a, b)) << 32 | quint64(std::max(a, b));
}

int recordIndex(const DuplicateRecords& records, int clientId)
{
    const auto& all = records.records();
    const auto it = std::lower_bound(all.begin(), all.end(), clientId,
                                     [](const DuplicateRecord& r, int id) { return r.clientId < id; });
    return int(it - all.begin());
}

// Whether a true pair is one the evidence decides, as kolvix-thin-db judges it: both names still
// alike (Jaro-Winkler 0.8 or more on each, also with given name and surname swapped), and the
// dates of birth equal, one digit apart, day and month swapped or missing on a side.
bool stillAlike(const DuplicateRecords& records, int a, int b)
{
    const DuplicateRecord& x = records[recordIndex(records, a)];
    const DuplicateRecord& y = records[recordIndex(records, b)];
    const auto alike = [&records](int p, int q) { return jaroWinkler(records.name(p), records.name(q)) >= 0.8; };
    const bool names = (alike(x.given, y.given) && alike(x.surname, y.surname))
        || (alike(x.given, y.surname) && alike(x.surname, y.given));
    return names && compareDates(x.dateOfBirth, y.dateOfBirth) != DateAgreement::Different;
}

// Prints a pair: the two records, the score and reasons of the pair, and what the truth says of it.
void showPair(const DuplicateRecords& records, int a, int b, const QString& errors)
{
    const int ia = recordIndex(records, a), ib = recordIndex(records, b);
    const PairScore score = DuplicateScorer(records).score(ia, ib);
    const auto shown = [&records](int i) {
        const DuplicateRecord& r = records[i];
        return records.text(r.displaySurname) + QStringLiteral(", ") + records.text(r.displayName)
            + QStringLiteral(" (")
            + (r.dateOfBirth == kNoDate ? QStringLiteral("-") : dateOfDay(r.dateOfBirth).toString(Qt::ISODate))
            + QStringLiteral(") ") + QString::fromStdString(std::string(records.address(r).words));
    };
    std::printf("missed %d | %s | %s | %s | %s\n", score.score, qPrintable(shown(ia)), qPrintable(shown(ib)),
                qPrintable(score.reasons.join(QStringLiteral(", "))), qPrintable(errors));
}

int findRoot(QHash<int, int>& parent, int x)
{
    while (parent.value(x, x) != x)
        x = parent.value(x, x);
    return x;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool archived = false;
    bool speedOnly = false;
    int showMissed = 0;
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == "--archived")
            archived = true;
        else if (arg == "--speed-only")
            speedOnly = true;
        else if (arg == "--missed" && i + 1 < argc)
            showMissed = std::atoi(argv[++i]);
        else if (arg.startsWith('-')) {
            std::fputs(kUsage, stderr);
            return 2;
        } else
            files << arg;
    }
    if (files.isEmpty() || files.size() > 2 || !QFileInfo::exists(files[0])) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString truthPath = files.value(1, files[0] + ".duplicates.tsv");

    try {
        Connection connection;
        connection.setConnectionString("Provider=SQLite;Data Source=" + files[0]);
        connection.open();

        DuplicateFinder finder(connection);
        DuplicateOptions options;
        options.includeArchived = archived;
        QElapsedTimer timer;
        timer.start();
        // The time at which each stage of the scan began.
        QString lastStage;
        std::vector<std::pair<QString, double>> stages;
        finder.setProgressCallback([&](const DuplicateProgress& progress) {
            const QString stage = progress.stage.section(' ', 0, 0);
            if (stage != lastStage) {
                stages.emplace_back(stage, double(timer.nsecsElapsed()) / 1e9);
                lastStage = stage;
            }
        });
        const DuplicateScanResult result = finder.scan(options);
        finder.setProgressCallback({});
        for (std::size_t i = 0; i + 1 < stages.size(); ++i)
            std::printf("stage %s %.3f\n", qPrintable(stages[i].first), stages[i + 1].second - stages[i].second);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("scan_seconds %.3f\nclients %d\ncandidate_pairs %lld\npairs %zu\ngroups %d\npeak_kb %ld\n", seconds,
                    result.clients, static_cast<long long>(result.candidates), result.pairs.size(), result.groups,
                    peakMemoryKb());
        if (speedOnly)
            return 0;

        QFile file(truthPath);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            std::fprintf(stderr, "kolvix-duplicates-bench: cannot read %s\n", qPrintable(truthPath));
            return 1;
        }
        QHash<int, int> parent;
        QTextStream in(&file);
        in.readLine();
        std::vector<std::pair<int, int>> truth;
        while (!in.atEnd()) {
            const QStringList cells = in.readLine().split('\t');
            if (cells.size() < 2)
                continue;
            const int a = cells[0].toInt(), b = cells[1].toInt();
            truth.emplace_back(a, b);
            const int ra = findRoot(parent, a), rb = findRoot(parent, b);
            if (ra != rb)
                parent[std::max(ra, rb)] = std::min(ra, rb);
        }

        options.minScore = 10; // the lowest threshold reported below
        const DuplicateScanResult all = finder.scan(options);
        QSet<int> seen;
        // The clients the scan reads, from the view itself (the pairs name only some of them): a
        // true pair counts when both its clients are among them.
        // The same records as the scan's, to show why a missed pair was missed.
        DuplicateRecords records;
        {
            Statement query(connection, DuplicateFinder::statement(archived), 60);
            query.execute();
            const auto text = [&query](int column) { return query.value(column).toString(); };
            while (query.next())
                if (!query.value(11).toBool()) {
                    seen.insert(query.value(0).toInt());
                    DuplicateInput input;
                    input.clientId = query.value(0).toInt();
                    input.surname = text(1);
                    input.name = text(2);
                    input.preferredName = text(3);
                    input.dateOfBirth = query.value(4);
                    input.address = text(5);
                    input.homePhone = text(6);
                    input.workPhone = text(7);
                    input.mobile = text(8);
                    input.email = text(9);
                    records.add(input);
                }
        }
        records.finish();
        QHash<int, QList<int>> members;
        QSet<int> truthClients;
        for (const auto& [a, b] : truth)
            truthClients << a << b;
        for (int c : truthClients)
            if (seen.contains(c))
                members[findRoot(parent, c)].append(c);
        long long truePairs = 0;
        for (const QList<int>& group : members)
            truePairs += (long long)group.size() * (group.size() - 1) / 2;

        std::printf("true_pairs %lld\n", truePairs);
        std::printf("min_score precision recall f1 found true_found\n");
        for (int threshold : {10, 20, 30, 35, 40, 45, 50, 55, 60, 65, 70, 80, 90}) {
            long long found = 0, correct = 0;
            for (const DuplicatePair& p : all.pairs) {
                if (p.score < threshold)
                    continue;
                ++found;
                if (truthClients.contains(p.keep.clientId) && truthClients.contains(p.merge.clientId)
                    && findRoot(parent, p.keep.clientId) == findRoot(parent, p.merge.clientId))
                    ++correct;
            }
            const double precision = found ? double(correct) / double(found) : 1.0;
            const double recall = truePairs ? double(correct) / double(truePairs) : 1.0;
            const double f1 = precision + recall > 0 ? 2 * precision * recall / (precision + recall) : 0;
            std::printf("%d %.4f %.4f %.4f %lld %lld%s\n", threshold, precision, recall, f1, found, correct,
                        threshold == kDefaultMinScore ? " default" : "");
        }

        // False pairs at the default threshold, and among them those of people who merely share
        // a surname and a year of birth (their given names differ).
        int sameSurnameYear = 0, falsePairs = 0;
        for (const DuplicatePair& p : all.pairs) {
            if (p.score < kDefaultMinScore)
                break;
            const bool isTrue = truthClients.contains(p.keep.clientId) && truthClients.contains(p.merge.clientId)
                && findRoot(parent, p.keep.clientId) == findRoot(parent, p.merge.clientId);
            if (isTrue)
                continue;
            ++falsePairs;
            if (falsePairs <= 15)
                std::printf("false %d %s | %s | %s | %s\n", p.score, qPrintable(p.keep.displayName()),
                            qPrintable(p.merge.displayName()), qPrintable(p.keep.dateOfBirth.toString(Qt::ISODate)),
                            qPrintable(p.reasonText()));
            // Different people who share the surname and the year of birth, and whose given names
            // differ (not the same, not alike, not a nickname of one another).
            const QString givenA = normaliseName(p.keep.name), givenB = normaliseName(p.merge.name);
            if (normaliseName(p.keep.surname) == normaliseName(p.merge.surname) && p.keep.dateOfBirth.isValid()
                && p.keep.dateOfBirth.year() == p.merge.dateOfBirth.year()
                && compareNames(givenA, givenB, true) == NameAgreement::Different) {
                ++sameSurnameYear;
                std::printf("same_surname_birth_year %d %s (%s) | %s (%s) | %s\n", p.score,
                            qPrintable(p.keep.displayName()), qPrintable(p.keep.dateOfBirth.toString(Qt::ISODate)),
                            qPrintable(p.merge.displayName()), qPrintable(p.merge.dateOfBirth.toString(Qt::ISODate)),
                            qPrintable(p.reasonText()));
            }
        }
        std::printf("false_same_surname_birth_year %d\n", sameSurnameYear);

        // The true pairs missed at the default threshold, by the errors planted: a pair with two
        // errors counts under both. When the truth says which pairs still have alike names and
        // dates of birth (a fourth column), the recall on those pairs too, overall and by error.
        QSet<quint64> foundPairs;
        for (const DuplicatePair& p : all.pairs)
            if (p.score >= kDefaultMinScore)
                foundPairs << pairKey(p.keep.clientId, p.merge.clientId);
        file.seek(0);
        in.seek(0);
        in.readLine();
        struct Counts
        {
            int total = 0, missed = 0, alike = 0, alikeMissed = 0;
        };
        std::map<std::string, Counts> byKind;
        Counts alikePairs;
        int shownMissed = 0;
        while (!in.atEnd()) {
            const QStringList cells = in.readLine().split('\t');
            if (cells.size() < 3)
                continue;
            const int a = cells[0].toInt(), b = cells[1].toInt();
            if (!seen.contains(a) || !seen.contains(b))
                continue;
            const bool missed = !foundPairs.contains(pairKey(a, b));
            // The truth says whether the pair is still alike (kolvix-thin-db), or it is judged
            // here from the two records (kolvix-demo-db).
            const bool alike = cells.size() >= 4 ? cells[3] == QLatin1String("1") : stillAlike(records, a, b);
            if (missed && shownMissed < showMissed && alike) {
                ++shownMissed;
                showPair(records, a, b, cells[2]);
            }
            alikePairs.alike += alike;
            alikePairs.alikeMissed += alike && missed;
            // A modification written "field: kind" (kolvix-thin-db) counts under the field and under
            // the kind as well.
            QStringList kinds;
            for (const QString& kind : cells[2].split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
                kinds << kind;
                if (kind.contains(QStringLiteral(": ")))
                    kinds << QStringLiteral("any field: ") + kind.section(QStringLiteral(": "), 1)
                          << kind.section(QStringLiteral(": "), 0, 0) + QStringLiteral(": any");
            }
            kinds.removeDuplicates();
            for (const QString& kind : kinds) {
                Counts& counts = byKind[kind.toStdString()];
                ++counts.total;
                counts.missed += missed;
                counts.alike += alike;
                counts.alikeMissed += alike && missed;
            }
        }
        for (const auto& [kind, counts] : byKind)
            std::printf("planted \"%s\" %d missed %d alike %d alike_missed %d\n", kind.c_str(), counts.total,
                        counts.missed, counts.alike, counts.alikeMissed);
        std::printf("recall_alike %.4f %d of %d\n",
                    alikePairs.alike ? double(alikePairs.alike - alikePairs.alikeMissed) / alikePairs.alike : 1.0,
                    alikePairs.alike - alikePairs.alikeMissed, alikePairs.alike);

        // Relatives, who are different people (DATABASE.db.relatives.tsv, when the generator
        // wrote one): how many of their pairs are listed at the default threshold, by kind.
        QFile relativesFile(files[0] + ".relatives.tsv");
        if (relativesFile.open(QIODevice::ReadOnly | QIODevice::Text)) {
            QTextStream relatives(&relativesFile);
            relatives.readLine();
            std::map<std::string, std::pair<int, int>> byRelation;
            int shownListed = 0;
            while (!relatives.atEnd()) {
                const QStringList cells = relatives.readLine().split('\t');
                if (cells.size() < 3 || !seen.contains(cells[0].toInt()) || !seen.contains(cells[1].toInt()))
                    continue;
                auto& [total, listed] = byRelation[cells[2].toStdString()];
                ++total;
                if (foundPairs.contains(pairKey(cells[0].toInt(), cells[1].toInt()))) {
                    ++listed;
                    if (shownListed++ < showMissed)
                        showPair(records, cells[0].toInt(), cells[1].toInt(), QStringLiteral("listed ") + cells[2]);
                }
            }
            for (const auto& [relation, counts] : byRelation)
                std::printf("relatives \"%s\" %d listed %d\n", relation.c_str(), counts.first, counts.second);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kolvix-duplicates-bench: %s\n", qPrintable(exceptionMessage(e)));
        return 1;
    }
    return 0;
}
