// kolvix-merge --mark-different, --unmark-different and --list-different as a program, and what
// a mark does to the other verbs: the scan leaves the pair out and says so, a merge of the pair
// is refused with how to remove the mark, a run of pairs skips it; once the mark is removed the
// pair is listed and merges again.

#include "support/KolvixMergeFixture.h"
#include "support/QtPrinting.h"

#include <QDate>
#include <QFile>

namespace kolvix::test {
namespace {

const QString kDifferentHeader
    = QStringLiteral("First\tSecond\tFirst name\tSecond name\tWhen\tWorkstation\tUser\tNote");
const QString kDuplicatesHeader = QStringLiteral("Score\tGroup\tKeep\tMerge\tReasons\tKeep name\tMerge name");

class DifferentVerbTest : public KolvixMergeTest
{
protected:
    void SetUp() override
    {
        KolvixMergeTest::SetUp();
        // Two records the scan takes for one patient, each with an account; 35, with more history,
        // is the one to keep.
        db.exec("INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Mobile, Active) VALUES "
                "(20, 'Harper', 'Louise', '1975-04-09 00:00:00', '0412 345 678', 'T'),"
                "(35, 'Harpur', 'Louise', '1975-04-09 00:00:00', '0412345678', 'T');"
                "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (20, 0, 'Primary'), "
                "(35, 0, 'Primary');"
                "INSERT INTO Appoint (ClientID) VALUES (35);");
    }

    // The Keep-Merge ids of the pairs --duplicates lists; its standard error in err.
    QStringList scannedPairs(QString& err)
    {
        const ProcessRun r = run({"--duplicates"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        err = r.err;
        QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.value(0), kDuplicatesHeader);
        QStringList pairs;
        for (const QString& line : lines.mid(1))
            pairs << line.section('\t', 2, 2) + "-" + line.section('\t', 3, 3);
        lastScan = r.out;
        return pairs;
    }

    QString lastScan;
};

TEST_F(DifferentVerbTest, AMarkedPairIsLeftOutRefusedAndSkippedUntilTheMarkIsRemoved)
{
    QString err;
    ASSERT_EQ(scannedPairs(err), QStringList {"35-20"}) << err.toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    const QString pairsFile = settingsDir.filePath("pairs.tsv");
    {
        QFile file(pairsFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(lastScan.toUtf8());
    }

    const ProcessRun marked = run({"--mark-different", "35", "20", "--note", "twins"});
    EXPECT_EQ(marked.exitCode, 0) << marked.err.toStdString();
    EXPECT_EQ(marked.out, "Marked clients 35 (Harpur, Louise) and 20 (Harper, Louise) as different people.\n");
    EXPECT_TRUE(marked.err.isEmpty()) << marked.err.toStdString();
    const QString today = QDate::currentDate().toString("dd/MM/yyyy");

    // The listing: the smaller id first, the names, when, where, who and why.
    const ProcessRun listed = run({"--list-different"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const QStringList lines = listed.out.split('\n');
    ASSERT_EQ(lines.size(), 3) << listed.out.toStdString();
    EXPECT_EQ(lines[0], kDifferentHeader);
    const QStringList cells = lines[1].split('\t');
    ASSERT_EQ(cells.size(), 8) << lines[1].toStdString();
    EXPECT_EQ(cells.mid(0, 4), (QStringList {"20", "35", "Harper, Louise", "Harpur, Louise"}));
    EXPECT_TRUE(cells[4].startsWith(QDate::currentDate().toString("yyyy-MM-dd"))) << cells[4].toStdString();
    EXPECT_EQ(cells[7], "twins");
    const QString mark = "marked as different people on " + today;

    // Marked again: nothing changes, and the mark is named.
    const ProcessRun again = run({"--mark-different", "20", "35"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.startsWith("kolvix-merge: clients 20 and 35 are " + mark)) << again.err.toStdString();
    EXPECT_TRUE(again.err.contains("(note: twins) already; nothing changed. To change the note, remove the mark "
                                   "with --unmark-different 20 35 and mark them again.\n"))
        << again.err.toStdString();
    EXPECT_TRUE(again.out.isEmpty());

    // The scan leaves the pair out and says so beside the listing.
    EXPECT_TRUE(scannedPairs(err).isEmpty());
    EXPECT_EQ(err, "kolvix-merge: left out 1 pair marked as different people\n");

    // A merge is refused with how to remove the mark, a run of pairs skips it; nothing changes.
    const auto before = db.snapshot();
    const ProcessRun merge = run({"--from", "35", "--to", "20", "--yes"});
    EXPECT_EQ(merge.exitCode, 1) << merge.out.toStdString() << merge.err.toStdString();
    EXPECT_TRUE(merge.out.contains("Information: Clients 35 and 20 are " + mark)) << merge.out.toStdString();
    EXPECT_TRUE(merge.out.endsWith(" (note: twins), so they are not merged.\nTo merge them, remove the mark with "
                                   "--unmark-different 35 20, then merge again.\n"))
        << merge.out.toStdString();
    const ProcessRun batch = run({"--merge-pairs", pairsFile, "--yes"});
    EXPECT_EQ(batch.exitCode, 1) << batch.out.toStdString() << batch.err.toStdString();
    EXPECT_TRUE(batch.out.contains("\n20\t35\tskipped\t\t" + mark)) << batch.out.toStdString();
    EXPECT_EQ(db.snapshot(), before);

    // --compare reads, and names the mark beside its lines.
    const ProcessRun compared = run({"--compare", "20", "35"});
    EXPECT_EQ(compared.exitCode, 0);
    EXPECT_TRUE(compared.err.startsWith("kolvix-merge: clients 20 and 35 are " + mark)) << compared.err.toStdString();

    // Removed once: the scan lists the pair again and it merges.
    const ProcessRun unmarked = run({"--unmark-different", "20", "35"});
    EXPECT_EQ(unmarked.exitCode, 0) << unmarked.err.toStdString();
    EXPECT_EQ(unmarked.out,
              "Removed the mark: clients 20 (Harper, Louise) and 35 (Harpur, Louise) are no longer "
              "marked as different people.\n");
    const ProcessRun notMarked = run({"--unmark-different", "35", "20"});
    EXPECT_EQ(notMarked.exitCode, 1);
    EXPECT_EQ(notMarked.err, "kolvix-merge: clients 35 and 20 are not marked as different people; nothing changed\n");
    EXPECT_EQ(run({"--list-different"}).out, kDifferentHeader + "\n");
    EXPECT_EQ(scannedPairs(err), QStringList {"35-20"});
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(run({"--merge-pairs", pairsFile, "--yes"}).exitCode, 0);
}

TEST_F(DifferentVerbTest, ExitCodesOfMistakesAndFailures)
{
    struct Case
    {
        QStringList args;
        int exitCode;
        const char* err; // the start of standard error
    };
    const Case cases[] = {
        {{"--mark-different", "20"}, 64, "kolvix-merge: --mark-different needs two values"},
        {{"--mark-different", "20", "20"}, 64, "kolvix-merge: --mark-different needs two different clients"},
        {{"--mark-different", "20", "x"}, 64, "kolvix-merge: --mark-different needs two integer client ids"},
        {{"--mark-different", "20", "35", "--yes"}, 64, "kolvix-merge: --mark-different takes no option but --note"},
        {{"--unmark-different", "20", "35", "--dry-run"}, 64, "kolvix-merge: --unmark-different takes no other"},
        {{"--duplicates", "--note", "x"}, 64, "kolvix-merge: --note goes with --mark-different"},
        {{"--list-different", "--compare", "20", "35"}, 64, "kolvix-merge: --compare and --list-different cannot"},
        {{"--mark-different", "20", "99"}, 64, "kolvix-merge: client 99 does not exist\n"},
    };
    const auto before = db.snapshot();
    for (const Case& c : cases) {
        const ProcessRun r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QString::fromLatin1(c.err))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
    EXPECT_EQ(db.snapshot(), before);

    // The table of marks is created by the first mark; a login that may not create it is told so.
    db.exec("DROP TABLE KolvixDistinctPair");
    EXPECT_EQ(run({"--list-different"}).out, kDifferentHeader + "\n");
    ASSERT_EQ(run({"--mark-different", "20", "35"}).exitCode, 0);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM KolvixDistinctPair"), 1);
    db.exec("DROP TABLE KolvixDistinctPair; CREATE VIEW KolvixDistinctPair AS SELECT 1 AS x");
    const ProcessRun failed = run({"--mark-different", "20", "35"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(failed.err.startsWith("Error: ")) << failed.err.toStdString();

    // No connection: 3.
    const ProcessRun missing = run({"--list-different"}, settingsDir.filePath("missing.db"));
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_TRUE(missing.err.startsWith("Error: ")) << missing.err.toStdString();
}

} // namespace
} // namespace kolvix::test
