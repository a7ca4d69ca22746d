// kolvix-merge --duplicates as a program: the lines on standard output, the exit codes, and a
// database that stays as it was.

#include "cli/DuplicatesVerb.h"
#include "support/KolvixMergeProcess.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kolvix::test;

namespace {

const QString kHeader = QStringLiteral("Score\tGroup\tKeep\tMerge\tReasons\tKeep name\tMerge name");

class DuplicatesVerbTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFile file(settingsDir.filePath("kolvix.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Kolvix]\nUse Rollback=1\nLog=0\n");
        file.close();
        db.exec("INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Mobile, Email, Active, IsAGroup) VALUES "
                "(20, 'Harper', 'Louise', '1975-04-09 00:00:00', '0412 345 678', NULL, 'T', 0),"
                "(35, 'Harpur', 'Louise', '1975-04-09 00:00:00', '0412345678', NULL, 'T', 0),"
                // One person three times, one record archived.
                "(5, 'Baird', 'Thomas', '1962-07-31 00:00:00', '0411 173 722', 'tb@example.com', 'F', 0),"
                "(7, 'Baird', 'Tom', '1962-07-31 00:00:00', '0411 173 722', 'tb@example.com', 'T', 0),"
                "(9, 'Bard', 'Thomas', '1962-07-31 00:00:00', '0411 173 722', NULL, 'T', 0),"
                // A group client that looks like Harper.
                "(60, 'Harper', 'Louise', '1975-04-09 00:00:00', '0412 345 678', NULL, 'T', 1),"
                // Different people.
                "(70, 'Smith', 'Olivia', '1980-02-01 00:00:00', '0433 000 001', NULL, 'T', 0),"
                "(71, 'Smith', 'Grace', '1980-09-17 00:00:00', '0433 000 002', NULL, 'T', 0)");
    }

    ProcessRun run(const QStringList& options, const QString& dataSource = {})
    {
        return runKolvixMerge(kolvixMergeArguments(settingsDir.filePath("kolvix.ini"),
                                                   dataSource.isEmpty() ? db.path() : dataSource, options));
    }

    static QStringList lines(const QString& text) { return text.split('\n', Qt::SkipEmptyParts); }

    QTemporaryDir settingsDir;
    TestDatabase db;
};

TEST_F(DuplicatesVerbTest, ListsThePairsHighestScoreFirstAndChangesNothing)
{
    const auto before = db.snapshot();
    const ProcessRun r = run({"--duplicates"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString(); // not a terminal: no progress
    const QStringList out = lines(r.out);
    ASSERT_EQ(out.size(), 3) << r.out.toStdString();
    EXPECT_EQ(out[0], kHeader);

    // Score, Group, Keep, Merge, Reasons, Keep name, Merge name.
    QStringList keepMerge;
    int lastScore = 101;
    for (int i = 1; i < out.size(); ++i) {
        const QStringList cells = out[i].split('\t');
        ASSERT_EQ(cells.size(), 7) << out[i].toStdString();
        bool ok = false;
        const int score = cells[0].toInt(&ok);
        EXPECT_TRUE(ok);
        EXPECT_GE(score, 50);
        EXPECT_LE(score, 100);
        EXPECT_LE(score, lastScore);
        lastScore = score;
        keepMerge << cells[2] + "-" + cells[3];
        EXPECT_FALSE(cells[4].isEmpty());
    }
    EXPECT_TRUE(keepMerge.contains("20-35")) << keepMerge.join(' ').toStdString();
    EXPECT_TRUE(keepMerge.contains("7-9")) << keepMerge.join(' ').toStdString();
    const QString harper = out[1 + keepMerge.indexOf("20-35")];
    EXPECT_TRUE(harper.endsWith("\tHarper, Louise\tHarpur, Louise")) << harper.toStdString();
    EXPECT_TRUE(harper.contains("same date of birth, surname sounds alike, same given name, same mobile"))
        << harper.toStdString();
    EXPECT_EQ(db.snapshot(), before);
}

TEST_F(DuplicatesVerbTest, ArchivedMinScoreAndLimit)
{
    // With the archived record the three Baird records are one group; the active one is kept.
    const QStringList all = lines(run({"--duplicates", "--archived"}).out);
    ASSERT_EQ(all.size(), 5) << all.join('\n').toStdString();
    QMap<QString, QString> groupOf;
    for (const QString& line : all.mid(1)) {
        const QStringList cells = line.split('\t');
        groupOf[cells[2] + "-" + cells[3]] = cells[1];
    }
    EXPECT_TRUE(groupOf.contains("7-5"));
    EXPECT_TRUE(groupOf.contains("9-5"));
    EXPECT_EQ(groupOf["7-5"], groupOf["7-9"]);
    EXPECT_EQ(groupOf["7-5"], groupOf["9-5"]);
    EXPECT_NE(groupOf["7-5"], groupOf["20-35"]);

    const QStringList limited = lines(run({"--duplicates", "--archived", "--limit", "2"}).out);
    EXPECT_EQ(limited, all.mid(0, 3));

    // Nothing reaches a score of 100 here: a header and no pairs, still exit 0.
    const ProcessRun none = run({"--duplicates", "--min-score", "100"});
    EXPECT_EQ(none.exitCode, 0);
    const QStringList few = lines(none.out);
    ASSERT_FALSE(few.isEmpty());
    EXPECT_EQ(few[0], kHeader);
    for (const QString& line : few.mid(1))
        EXPECT_EQ(line.split('\t')[0], "100");

    // A lower threshold lists at least as much.
    EXPECT_GE(lines(run({"--duplicates", "--min-score", "0"}).out).size(), lines(run({"--duplicates"}).out).size());
}

// 101 records of one client are too many to compare pairwise: standard output keeps its form
// and lists what it listed without them; standard error names the block that was left out.
TEST_F(DuplicatesVerbTest, ABlockLeftOutIsNamedOnStandardErrorOnly)
{
    const ProcessRun before = run({"--duplicates"});
    ASSERT_EQ(before.exitCode, 0) << before.err.toStdString();
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 101) "
            "INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Mobile, Active, IsAGroup) "
            "SELECT 1000 + i, 'Moss', 'Ada', '1990-05-05 00:00:00', '0455 000 111', 'T', 0 FROM n");

    const ProcessRun after = run({"--duplicates"});
    ASSERT_EQ(after.exitCode, 0) << after.err.toStdString();
    EXPECT_EQ(after.err,
              "kolvix-merge: left out 101 clients who share the surname (by sound) and date of birth "
              "\"Moss, 1990-05-05\": too many to compare pairwise\n");
    // The same pairs in the same form; only the scores may move with the practice's size.
    const QStringList was = lines(before.out);
    const QStringList is = lines(after.out);
    ASSERT_EQ(is.size(), was.size()) << after.out.toStdString();
    EXPECT_EQ(is[0], kHeader);
    for (qsizetype i = 1; i < is.size(); ++i) {
        const QStringList cells = is[i].split('\t');
        ASSERT_EQ(cells.size(), 7) << is[i].toStdString();
        EXPECT_EQ(cells.mid(1), was[i].split('\t').mid(1));
    }
}

// A client that an earlier merge emptied is no candidate; standard error says how many were
// left out so, standard output keeps its form.
TEST_F(DuplicatesVerbTest, ClientsMergedAwayAreLeftOutAndCountedOnStandardError)
{
    db.exec("INSERT INTO Audit (UserName, Action) VALUES "
            "('MERGE', 'Merge 35 > 20 (Harpur, Louise > Harper, Louise)'),"
            "('MERGE', 'Merge 9 > 7 (Bard, Thomas > Baird, Tom) - reverted')");
    const ProcessRun one = run({"--duplicates"});
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    EXPECT_EQ(one.err, "kolvix-merge: left out 1 client merged away by an earlier merge\n");
    const QStringList out = lines(one.out);
    ASSERT_EQ(out.size(), 2) << one.out.toStdString();
    EXPECT_EQ(out[0], kHeader);
    EXPECT_EQ(out[1].split('\t').mid(2, 2), QStringList({"7", "9"})) << out[1].toStdString();

    db.exec("INSERT INTO Audit (UserName, Action) VALUES ('MERGE', 'Merge 9 > 7 (Bard, Thomas > Baird, Tom)')");
    const ProcessRun two = run({"--duplicates"});
    ASSERT_EQ(two.exitCode, 0) << two.err.toStdString();
    EXPECT_EQ(two.err, "kolvix-merge: left out 2 clients merged away by earlier merges\n");
    EXPECT_EQ(lines(two.out), QStringList({kHeader}));
}

// The closing line on a terminal counts in the singular and the plural as the window does.
TEST(DuplicatesSummary, EachCountTakesTheSingularOrThePlural)
{
    struct Case
    {
        qsizetype pairs;
        int groups;
        int clients;
        const char* line;
    };
    const Case cases[] = {
        {1, 1, 1, "1 pair in 1 group among 1 client"},
        {1, 1, 8, "1 pair in 1 group among 8 clients"},
        {3, 2, 15281, "3 pairs in 2 groups among 15281 clients"},
        {0, 0, 0, "0 pairs in 0 groups among 0 clients"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kolvix::cli::duplicatesSummary(c.pairs, c.groups, c.clients), QString::fromLatin1(c.line));
}

// A name holding a NUL, a tab or a line break stays one row of seven cells, the characters
// shown as escapes.
TEST_F(DuplicatesVerbTest, ControlCharactersInNamesAreEscapedNotCut)
{
    db.exec("INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Mobile, Active, IsAGroup) VALUES "
            "(80, 'Ta' || char(0) || 'bor' || char(9) || 'X', 'I' || char(10) || 'vy', '1966-06-06 00:00:00', "
            "'0466 555 444', 'T', 0),"
            "(81, 'Tabor', 'Ivy', '1966-06-06 00:00:00', '0466 555 444', 'T', 0)");
    const ProcessRun r = run({"--duplicates"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QString row;
    for (const QString& line : lines(r.out))
        if (line.split('\t').value(2) == "80")
            row = line;
    const QStringList cells = row.split('\t');
    ASSERT_EQ(cells.size(), 7) << r.out.toStdString();
    EXPECT_EQ(cells[3], "81");
    EXPECT_EQ(cells[5], "Ta\\x00bor\\tX, I\\nvy");
    EXPECT_EQ(cells[6], "Tabor, Ivy");
}

TEST_F(DuplicatesVerbTest, ExitCodesOfFailures)
{
    // Bad usage: 64 and one line on standard error.
    for (const QStringList& args :
         {QStringList {"--duplicates", "--min-score", "101"}, QStringList {"--duplicates", "--limit", "0"},
          QStringList {"--duplicates", "--from", "1", "--to", "2"},
          QStringList {"--duplicates", "--limit", "5", "--limit", "9"},
          QStringList {"--duplicates", "--min-score=60", "--min-score", "60"},
          QStringList {"--archived", "--from", "1", "--to", "2"}}) {
        const ProcessRun r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }

    // No connection: 3.
    const ProcessRun missing = run({"--duplicates"}, settingsDir.filePath("missing.db"));
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_TRUE(missing.err.startsWith("Error: ")) << missing.err.toStdString();
    EXPECT_TRUE(missing.out.isEmpty());

    // A database error: 2 with the client's message, and no half list.
    db.exec("DROP VIEW PatientSearch");
    const ProcessRun failed = run({"--duplicates"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.err.startsWith("Error: ")) << failed.err.toStdString();
    EXPECT_TRUE(failed.err.contains("PatientSearch")) << failed.err.toStdString();
    EXPECT_TRUE(failed.out.isEmpty()) << failed.out.toStdString();
}

TEST_F(DuplicatesVerbTest, TheDemoDatabaseListsItsPlantedDuplicates)
{
    QTemporaryDir folder;
    const QString demo = folder.filePath("demo.db");
    QProcess generator;
    generator.start(QStringLiteral(KOLVIX_BINARY_DIR "/kolvix-demo-db"), {demo});
    ASSERT_TRUE(generator.waitForFinished(120000));
    ASSERT_EQ(generator.exitCode(), 0);
    const ProcessRun r = run({"--duplicates", "--archived"}, demo);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QSet<QString> listed;
    for (const QString& line : lines(r.out).mid(1)) {
        const QStringList cells = line.split('\t');
        listed << cells[2] + "-" + cells[3] << cells[3] + "-" + cells[2];
    }
    QFile truth(demo + ".duplicates.tsv");
    ASSERT_TRUE(truth.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList pairs = lines(QString::fromUtf8(truth.readAll())).mid(1);
    ASSERT_EQ(pairs.size(), 12);
    for (const QString& pair : pairs) {
        const QStringList cells = pair.split('\t');
        EXPECT_TRUE(listed.contains(cells[0] + "-" + cells[1])) << pair.toStdString();
    }
}

} // namespace
