// A run of --merge-pairs killed (SIGKILL) at any moment leaves every pair either merged with its
// ledger (its KolvixMerge row 'merged' and its Audit row) or untouched (every row of its From
// client as it was), never in between, and the pairs merged are the first ones a whole run
// merges. Runs on a generated practice with planted duplicates and its heavy pair (50,000
// transactions) among them, with "Use Rollback" on.

#include "reliability/DatabaseDigest.h"
#include "reliability/GeneratedPractice.h"
#include "reliability/KilledProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <iostream>
#include <random>

namespace kolvix::test {
namespace {

#ifdef __linux__

const QByteArray kHeader = "Merge\tKeep\tOutcome\tAudit\tReason\n";

struct Pair
{
    QString merge;
    QString keep;
};

QStringList textColumn(const QString& path, const QString& sql)
{
    digest_detail::Handle h(path);
    digest_detail::Statement s(h.db, sql);
    QStringList values;
    while (sqlite3_step(s.stmt) == SQLITE_ROW)
        values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.stmt, 0)));
    return values;
}

// Every row of the client in every table that has a ClientID column.
DatabaseDigest rowsOfClient(const QString& path, const QStringList& tables, const QString& client)
{
    digest_detail::Handle h(path);
    DatabaseDigest digest;
    for (const QString& table : tables)
        digest.insert(table,
                      digest_detail::digestOfQuery(
                          h.db, QStringLiteral("SELECT * FROM [%1] WHERE ClientID = %2").arg(table, client)));
    return digest;
}

class BatchCrashSafetyTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        try {
            prepare();
        } catch (const std::exception& e) {
            s_error = QString::fromStdString(e.what());
        }
    }

    // The practice, its pairs file, the From clients' rows, and a whole run on a copy.
    static void prepare()
    {
        s_dir = new QTemporaryDir;
        s_practice = s_dir->filePath(QStringLiteral("practice.db"));
        s_ini = s_dir->filePath(QStringLiteral("kolvix.ini"));
        writeMergeSettings(s_ini);

        const HeavyPair heavy = generatePractice(s_practice, 2000, 8);
        // The planted pairs, the heavy one among them, as --duplicates lists pairs.
        QFile truth(s_practice + QStringLiteral(".duplicates.tsv"));
        if (!truth.open(QIODevice::ReadOnly))
            throw std::runtime_error("the generator wrote no true pairs");
        QStringList lines = QString::fromUtf8(truth.readAll()).split(u'\n', Qt::SkipEmptyParts);
        lines.removeFirst();
        for (const QString& line : lines)
            s_pairs.push_back({line.section(u'\t', 1, 1), line.section(u'\t', 0, 0)});
        if (s_pairs.size() < 6)
            throw std::runtime_error("too few planted pairs");
        s_pairs.insert(s_pairs.begin() + 3, Pair {heavy.from, heavy.to});
        s_pairsFile = s_dir->filePath(QStringLiteral("pairs.tsv"));
        QFile file(s_pairsFile);
        if (!file.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write the pairs file");
        file.write("Score\tGroup\tKeep\tMerge\tReasons\n");
        for (const Pair& pair : s_pairs)
            file.write(QStringLiteral("90\t1\t%1\t%2\tplanted\n").arg(pair.keep, pair.merge).toUtf8());
        file.close();

        s_clientTables = textColumn(s_practice,
                                    QStringLiteral("SELECT m.name FROM sqlite_master m WHERE m.type = "
                                                   "'table' AND EXISTS (SELECT 1 FROM pragma_table_info("
                                                   "m.name) WHERE name = 'ClientID')"));
        for (const Pair& pair : s_pairs)
            s_fromRows.push_back(rowsOfClient(s_practice, s_clientTables, pair.merge));

        // A whole run: the pairs it merges, and how long it took from its header line on.
        const QString whole = freshCopy();
        Pipe out;
        const pid_t pid = spawnRun(whole, out.fds[1]);
        out.closeWrite();
        if (!readLines(out.fds[0], 0))
            throw std::runtime_error("the whole run printed no header");
        QElapsedTimer timer;
        timer.start();
        const Ending ending = killOnLine(pid, out.fds[0], QByteArray());
        s_runMicroseconds = timer.nsecsElapsed() / 1000;
        if (ending.killed || ending.exitCode > 1)
            throw std::runtime_error("the whole run failed: " + ending.read.toStdString());
        for (size_t i = 0; i < s_pairs.size(); ++i) {
            s_mergedRows.push_back(rowsOfClient(whole, s_clientTables, s_pairs[i].merge));
            const std::string state = stateOf(whole, i);
            if (state == "merged")
                s_merged.push_back(int(i));
            else if (state != "untouched")
                throw std::runtime_error("the whole run left pair " + std::to_string(i + 1) + " " + state);
        }
        if (s_fromRows[3] == s_mergedRows[3])
            throw std::runtime_error("the whole run left the heavy pair's rows as they were");
        if (s_merged.size() < 4 || std::find(s_merged.begin(), s_merged.end(), 3) == s_merged.end())
            throw std::runtime_error("the whole run merged too few pairs: " + ending.read.toStdString());
    }

    static void TearDownTestSuite() { delete s_dir; }

    void SetUp() override
    {
        if (s_merged.empty())
            FAIL() << "preparing the practice failed: " << s_error.toStdString();
    }

    static pid_t spawnRun(const QString& database, int out)
    {
        return spawnKolvixMerge({"OldSettings=1", "gsUtilityIniName=" + s_ini.toLocal8Bit(), "Provider=SQLite",
                                 "Data Source=" + database.toLocal8Bit(), "--merge-pairs", s_pairsFile.toLocal8Bit(),
                                 "--yes"},
                                out, -1);
    }

    // Reads the pipe until the run's header and `lines` lines after it have appeared: false when
    // it closed first.
    static bool readLines(int readEnd, int lines)
    {
        QByteArray read;
        const auto enough = [&] {
            const qsizetype header = read.indexOf(kHeader);
            return header >= 0 && read.mid(header).count('\n') > lines;
        };
        while (!enough()) {
            char buffer[4096];
            const ssize_t n = ::read(readEnd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            read.append(buffer, n);
        }
        return true;
    }

    static QString freshCopy()
    {
        const QString path = s_dir->filePath(QStringLiteral("work.db"));
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        if (!QFile::copy(s_practice, path))
            throw std::runtime_error("cannot copy the practice");
        return path;
    }

    // "merged", "untouched" or what is in between, for the pair at that index: merged when its
    // ledger says so, its Audit row is there and its From client's rows are as a whole run
    // leaves them (a planted duplicate may have no rows that move: its Client and Account rows
    // stay); untouched when those rows are as they were and it has no ledger, or only the ledger
    // of a merge stopped before it committed (state "started", no step recorded).
    static std::string stateOf(const QString& database, size_t index)
    {
        const Pair& pair = s_pairs[index];
        const QStringList ledger
            = textColumn(database,
                         QStringLiteral("SELECT MergeState || ' ' || (SELECT COUNT(*) FROM Audit a WHERE a.AuditID = "
                                        "k.AuditID) || (SELECT CASE WHEN COUNT(*) > 0 THEN ' with steps' ELSE '' END "
                                        "FROM KolvixMergeStep s WHERE s.MergeID = k.MergeID) FROM KolvixMerge k WHERE "
                                        "FromClientID = %1 AND ToClientID = %2")
                             .arg(pair.merge, pair.keep));
        const DatabaseDigest rows = rowsOfClient(database, s_clientTables, pair.merge);
        if ((ledger.isEmpty() || ledger == QStringList {QStringLiteral("started 1")}) && rows == s_fromRows[index])
            return "untouched";
        if ((ledger == QStringList {QStringLiteral("merged 1 with steps")}
             || ledger == QStringList {QStringLiteral("merged 1")})
            && (index >= s_mergedRows.size() || rows == s_mergedRows[index]))
            return "merged";
        return "in between: ledger [" + ledger.join(QStringLiteral(", ")).toStdString() + "], the From client's rows "
            + (rows == s_fromRows[index] ? "as they were" : "changed");
    }

    // The states of all pairs after a killed run; each one merged or untouched, the merged ones
    // the first of the whole run's.
    static void expectEachPairWholeOrUntouched(const QString& database, const std::string& when)
    {
        const bool journalLeft = QFile::exists(database + QStringLiteral("-journal"));
        const QString integrity = integrityCheck(database);
        ASSERT_EQ(integrity, QStringLiteral("ok")) << when;
        std::vector<int> merged;
        for (size_t i = 0; i < s_pairs.size(); ++i) {
            const std::string state = stateOf(database, i);
            EXPECT_TRUE(state == "merged" || state == "untouched") << when << ": pair " << i + 1 << " " << state;
            if (state == "merged")
                merged.push_back(int(i));
        }
        EXPECT_EQ(merged, std::vector<int>(s_merged.begin(), s_merged.begin() + long(merged.size()))) << when;
        EXPECT_TRUE(textColumn(database,
                               QStringLiteral("SELECT MergeState FROM KolvixMerge k WHERE MergeState <> "
                                              "'merged' AND (MergeState <> 'started' OR EXISTS (SELECT 1 FROM "
                                              "KolvixMergeStep s WHERE s.MergeID = k.MergeID))"))
                        .isEmpty())
            << when;
        std::cout << when << (journalLeft ? ", a hot journal left" : "") << ": " << merged.size() << " of "
                  << s_merged.size() << " merged\n";
    }

    static inline QString s_error;
    static inline QTemporaryDir* s_dir = nullptr;
    static inline QString s_practice;
    static inline QString s_ini;
    static inline QString s_pairsFile;
    static inline std::vector<Pair> s_pairs;
    static inline QStringList s_clientTables;
    static inline std::vector<DatabaseDigest> s_fromRows; // before the run
    static inline std::vector<DatabaseDigest> s_mergedRows; // after a whole run
    static inline std::vector<int> s_merged; // the pairs a whole run merges
    static inline qint64 s_runMicroseconds = 0;
};

TEST_F(BatchCrashSafetyTest, AKillBetweenPairsLeavesEachPairMergedOrUntouched)
{
    // As the run starts, after its first pair, and after the heavy pair (the fourth).
    for (const int lines : {0, 1, 4}) {
        Pipe out;
        const QString database = freshCopy();
        const pid_t pid = spawnRun(database, out.fds[1]);
        out.closeWrite();
        ASSERT_TRUE(readLines(out.fds[0], lines));
        reap(pid, true);
        expectEachPairWholeOrUntouched(database, "killed after " + std::to_string(lines) + " pair line(s)");
    }
}

TEST_F(BatchCrashSafetyTest, AKillAtARandomMomentLeavesEachPairMergedOrUntouched)
{
    unsigned seed = 20261211;
    if (const QByteArray s = qgetenv("KOLVIX_CRASH_SEED"); !s.isEmpty())
        seed = s.toUInt();
    std::cout << "BatchCrashSafetyTest seed: " << seed << " (set KOLVIX_CRASH_SEED to repeat another)\n";
    std::cout << "a whole run of " << s_pairs.size() << " pairs took " << s_runMicroseconds << " us\n";
    std::mt19937 random(seed);
    std::uniform_int_distribution<qint64> delay(0, s_runMicroseconds);
    for (int round = 0; round < 5; ++round) {
        const qint64 micros = delay(random);
        Pipe out;
        const QString database = freshCopy();
        const pid_t pid = spawnRun(database, out.fds[1]);
        out.closeWrite();
        ASSERT_TRUE(readLines(out.fds[0], 0));
        usleep(useconds_t(micros));
        const Ending ending = reap(pid, true);
        expectEachPairWholeOrUntouched(database,
                                       "killed " + std::to_string(micros) + " us into the run"
                                           + (ending.killed ? "" : " (ended by itself first)"));
    }
}

#else

TEST(BatchCrashSafetyTest, NeedsLinux)
{
    GTEST_SKIP() << "the kills are made with Linux processes";
}

#endif

} // namespace
} // namespace kolvix::test
