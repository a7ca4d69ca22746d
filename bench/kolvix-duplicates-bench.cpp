// kolvix-duplicates-bench: how fast and how well the duplicate finder works on a database whose
// true pairs are known (kolvix-demo-db --duplicates writes them beside the database).
//
//   kolvix-duplicates-bench [--archived] [--speed-only] DATABASE.db [TRUTH.tsv]
//
// 1. Scans DATABASE.db once with the default --min-score, as `kolvix-merge --duplicates` does,
//    and prints the wall time of the scan, the clients, the distinct candidate pairs compared,
//    the pairs found and the peak memory of this process so far.
// 2. Unless --speed-only: scans again with --min-score 0 and, against TRUTH.tsv (default
//    DATABASE.db.duplicates.tsv), prints precision, recall and F1 for a range of --min-score
//    values. Two clients are one person when the true pairs connect them (a client planted
//    twice makes three records of one person). Recall counts the true pairs whose clients the
//    scan read. It also counts the pairs above the default threshold whose records are different
//    people who share the surname and the year of birth.
//
// Nothing is judged here; bench/run-duplicates prints the figures against their goals.

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Statement.h"
#include "duplicates/DuplicateFinder.h"
#include "duplicates/NameMatching.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace kolvix;

namespace {

const char* const kUsage = "usage: kolvix-duplicates-bench [--archived] [--speed-only] DATABASE.db [TRUTH.tsv]\n";

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
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == "--archived")
            archived = true;
        else if (arg == "--speed-only")
            speedOnly = true;
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

        options.minScore = 0;
        const DuplicateScanResult all = finder.scan(options);
        QSet<int> seen;
        // The clients the scan reads, from the view itself (the pairs name only some of them): a
        // true pair counts when both its clients are among them.
        {
            Statement query(connection, DuplicateFinder::statement(archived), 60);
            query.execute();
            while (query.next())
                if (!query.value(11).toBool())
                    seen.insert(query.value(0).toInt());
        }
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

        // The true pairs missed at the default threshold, by the errors planted.
        QSet<quint64> foundPairs;
        for (const DuplicatePair& p : all.pairs)
            if (p.score >= kDefaultMinScore)
                foundPairs << (quint64(std::min(p.keep.clientId, p.merge.clientId)) << 32
                               | quint64(std::max(p.keep.clientId, p.merge.clientId)));
        file.seek(0);
        in.seek(0);
        in.readLine();
        std::map<std::string, std::pair<int, int>> byKind;
        while (!in.atEnd()) {
            const QStringList cells = in.readLine().split('\t');
            if (cells.size() < 3)
                continue;
            const int a = cells[0].toInt(), b = cells[1].toInt();
            if (!seen.contains(a) || !seen.contains(b))
                continue;
            auto& [total, missed] = byKind[cells[2].toStdString()];
            ++total;
            if (!foundPairs.contains(quint64(std::min(a, b)) << 32 | quint64(std::max(a, b))))
                ++missed;
        }
        for (const auto& [kind, counts] : byKind)
            std::printf("planted \"%s\" %d missed %d\n", kind.c_str(), counts.first, counts.second);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kolvix-duplicates-bench: %s\n", qPrintable(exceptionMessage(e)));
        return 1;
    }
    return 0;
}
