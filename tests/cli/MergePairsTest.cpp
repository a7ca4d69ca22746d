// kolvix-merge --merge-pairs, run as a process, and the reading of its listing.

#include "cli/MergePairsVerb.h"
#include "cli/Output.h"
#include "merge/BatchMerge.h"

#include "support/KolvixMergeFixture.h"

#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace kolvix;
using namespace kolvix::test;
using kolvix::cli::kMaxListingBytes;
using kolvix::cli::kMaxListingLineLength;
using kolvix::cli::kMaxListingPairs;

namespace {

const QString kPairsHeader = QStringLiteral("Merge\tKeep\tOutcome\tAudit\tReason");

// What a run of --merge-pairs printed after its confirmation: the lines of the pairs, then
// the summary as the last entry.
QStringList pairLines(const ProcessRun& r)
{
    QStringList lines = r.out.split('\n');
    EXPECT_EQ(lines.takeLast(), QString()) << "the last line is ended";
    const qsizetype header = lines.indexOf(kPairsHeader);
    EXPECT_GE(header, 0) << r.out.toStdString();
    return header < 0 ? QStringList {} : lines.mid(header + 1);
}

class MergePairsTest : public KolvixMergeTest
{
protected:
    void SetUp() override
    {
        KolvixMergeTest::SetUp();
        db.exec(QString::fromLatin1(kMorePairs));
    }

    // A pairs file: the header --duplicates writes, then the lines given.
    QString writePairs(const QString& name, const QStringList& lines)
    {
        if (duplicatesHeader.isEmpty()) {
            const ProcessRun scan = run({"--duplicates"});
            EXPECT_EQ(scan.exitCode, 0) << scan.err.toStdString();
            duplicatesHeader = scan.out.section('\n', 0, 0);
        }
        return writeFile(name, (QStringList {duplicatesHeader} + lines).join('\n') + '\n');
    }

    QString writeFile(const QString& name, const QByteArray& text)
    {
        const QString path = settingsDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }
    QString writeFile(const QString& name, const QString& text) { return writeFile(name, text.toUtf8()); }

    QString duplicatesHeader;
};

// A line as --duplicates writes it: score, group, keep, merge, reasons, the two names.
QString scanned(qint32 keep, qint32 merge, const QString& keepName, const QString& mergeName)
{
    return QStringLiteral("90\t1\t%1\t%2\tsame surname (by sound)\t%3\t%4")
        .arg(keep)
        .arg(merge)
        .arg(keepName, mergeName);
}

// The planted pairs of a run: one that merges, one a check refuses, one whose accounts need a
// person, the example pair, one naming the client the example pair merged away, one whose
// client was renamed since the scan; each merged pair in the history and undone on its own.
TEST_F(MergePairsTest, MergesEachPairOnItsOwnAndListsWhatBecameOfIt)
{
    const QString file = writePairs(
        "pairs.tsv",
        {scanned(301, 401, "Robinson, Ruby", "Robinon, Ruby"), scanned(303, 403, "Linked, Ann", "Linkd, Ann"), "",
         scanned(304, 404, "Accounts, Tom", "Acounts, Tom"), scanned(57, 812, "Sample, Two", "Sample, One") + "\r",
         scanned(302, 812, "Morris, Oliver", "Sample, One"), scanned(302, 402, "Morris, Olivia", "Moris, Oliver"), ""});
    EXPECT_EQ(duplicatesHeader, "Score\tGroup\tKeep\tMerge\tReasons\tKeep name\tMerge name");
    const auto before = db.snapshot();
    const auto product = db.snapshot(kNotProductTables);

    // Unanswered, the run does not start.
    const ProcessRun unanswered = run({"--merge-pairs", file});
    EXPECT_EQ(unanswered.exitCode, 1) << unanswered.out.toStdString();
    EXPECT_TRUE(unanswered.out.endsWith("(no terminal input) No\n")) << unanswered.out.toStdString();
    EXPECT_FALSE(unanswered.out.contains(kPairsHeader));
    EXPECT_EQ(db.snapshot(), before);

    // The skipped pairs' reasons, and what the lines say besides the Audit column.
    const QStringList skipped = {
        "403\t303\tskipped\t\tThe client to be moved has linked WPX clients and cannot be merged.",
        "404\t304\tskipped\t\tthe accounts need a decision: ",
        "812\t302\tskipped\t\tclient 812 was merged away by pair 4",
        "402\t302\tskipped\t\tclient 302 changed since the scan (now 'Morris, Oliver')",
    };
    const auto expectLines = [&](const QStringList& lines, const QStringList& audits) {
        ASSERT_EQ(lines.size(), 7) << lines.join('\n').toStdString();
        EXPECT_EQ(lines[0], "401\t301\tmerged\t" + audits[0] + "\t");
        EXPECT_TRUE(lines[1].startsWith(skipped[0])) << lines[1].toStdString();
        EXPECT_TRUE(lines[2].startsWith(skipped[1])) << lines[2].toStdString();
        EXPECT_EQ(lines[3], "812\t57\tmerged\t" + audits[1] + "\t");
        EXPECT_EQ(lines[4], skipped[2]);
        EXPECT_EQ(lines[5], skipped[3]);
        for (const QString& line : lines.mid(0, 6))
            EXPECT_EQ(line.count('\t'), 4) << line.toStdString();
    };

    // A dry run: every pair as the run would end, nothing changed.
    const ProcessRun dryRun = run({"--merge-pairs", file, "--dry-run", "--yes"});
    EXPECT_EQ(dryRun.exitCode, 1) << dryRun.out.toStdString() << dryRun.err.toStdString();
    EXPECT_TRUE(dryRun.out.contains("\nDry run: every merge is rolled back, nothing is changed.\n(--yes) Yes\n"))
        << dryRun.out.toStdString();
    const QStringList dryLines = pairLines(dryRun);
    expectLines(dryLines, {"", ""});
    EXPECT_EQ(dryLines.value(6),
              "6 pairs: 2 merged, 4 skipped, 0 failed; dry run: every merge was rolled back, nothing was changed");
    EXPECT_FALSE(dryRun.out.contains("step ")) << "the catalogue's steps stay out of the listing";
    EXPECT_EQ(db.snapshot(), before);

    const ProcessRun merged = run({"--merge-pairs", file, "--yes"});
    EXPECT_EQ(merged.exitCode, 1) << merged.out.toStdString() << merged.err.toStdString();
    EXPECT_TRUE(merged.out.contains(
        "Merge the 6 pairs listed in " + file
        + "?\nEach pair is checked and merged on its own, with the accounts mapped as the account dialog proposes "
          "them; a pair that a check refuses, whose accounts need a decision or whose names have changed since the "
          "scan is skipped and left as it is.\nEach merge can be undone on its own from the history (--history, "
          "--undo).\n(--yes) Yes\n"))
        << merged.out.toStdString();
    const QString first = db.scalar("SELECT AuditID FROM KolvixMerge WHERE FromClientID = 401");
    const QString second = db.scalar("SELECT AuditID FROM KolvixMerge WHERE FromClientID = 812");
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    const QStringList lines = pairLines(merged);
    expectLines(lines, {first, second});
    EXPECT_EQ(lines.value(6), "6 pairs: 2 merged, 4 skipped, 0 failed");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Audit"), 2);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID IN (401, 812)"), 0);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 404"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Appoint WHERE ClientID = 403"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 402"), 1);

    // Each merge is in the history, newest first, and is undone on its own.
    const QStringList history = historyLines(run({"--history"}));
    ASSERT_EQ(history.size(), 2);
    EXPECT_TRUE(history[0].startsWith(second + "\t")) << history[0].toStdString();
    EXPECT_EQ(history[0].section('\t', 3, 6), "812\t57\tSample, One\tSample, Two");
    EXPECT_TRUE(history[1].startsWith(first + "\t")) << history[1].toStdString();
    EXPECT_EQ(history[1].section('\t', 3, 6), "401\t301\tRobinon, Ruby\tRobinson, Ruby");
    const ProcessRun undone = run({"--undo", second, "--yes"});
    EXPECT_EQ(undone.exitCode, 0) << undone.out.toStdString();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 3);
    const ProcessRun undoneToo = run({"--undo", first, "--yes"});
    EXPECT_EQ(undoneToo.exitCode, 0) << undoneToo.out.toStdString();
    EXPECT_EQ(db.snapshot(kNotProductTables), product);

    // A run whose every pair merges exits 0.
    const QString clean = writePairs("clean.tsv", {scanned(57, 812, "Sample, Two", "Sample, One")});
    const ProcessRun all = run({"--merge-pairs", clean, "--yes"});
    EXPECT_EQ(all.exitCode, 0) << all.out.toStdString();
    EXPECT_EQ(pairLines(all).value(1), "1 pair: 1 merged, 0 skipped, 0 failed");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 0);

    // The same listing again merges nothing twice.
    const QString last = db.scalar("SELECT MAX(AuditID) FROM Audit");
    const auto mergedOnce = db.snapshot();
    const ProcessRun again = run({"--merge-pairs", clean, "--yes"});
    EXPECT_EQ(again.exitCode, 1) << again.out.toStdString();
    EXPECT_EQ(
        pairLines(again),
        (QStringList {"812\t57\tskipped\t\talready merged by merge " + last, "1 pair: 0 merged, 1 skipped, 0 failed"}));
    EXPECT_EQ(db.snapshot(), mergedOnce);

    // Without a database there is nothing to ask about.
    const ProcessRun unconnected = run({"--merge-pairs", clean, "--yes"}, settingsDir.filePath("missing.db"));
    EXPECT_EQ(unconnected.exitCode, 3) << unconnected.out.toStdString();
    EXPECT_FALSE(unconnected.out.contains("Merge the 1 pair")) << unconnected.out.toStdString();
}

// --stop-on-skip ends the run at the first pair that did not merge; a pair whose merge failed is
// rolled back and said to have failed.
TEST_F(MergePairsTest, StopsAtTheFirstSkipWhenAskedAndReportsAFailedPair)
{
    const QString file = writePairs(
        "pairs.tsv",
        {scanned(303, 403, "Linked, Ann", "Linkd, Ann"), scanned(301, 401, "Robinson, Ruby", "Robinon, Ruby")});
    const auto before = db.snapshot();
    const ProcessRun stopped = run({"--merge-pairs", file, "--yes", "--stop-on-skip"});
    EXPECT_EQ(stopped.exitCode, 1);
    const QStringList lines = pairLines(stopped);
    ASSERT_EQ(lines.size(), 2) << stopped.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("403\t303\tskipped\t\t")) << lines[0].toStdString();
    EXPECT_EQ(lines[1], "2 pairs: 0 merged, 1 skipped, 0 failed, 1 not run (--stop-on-skip)");
    EXPECT_EQ(db.snapshot(), before);

    db.exec("CREATE TRIGGER fail BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ABORT, 'quotes are locked'); END;");
    const QString failing = writePairs(
        "failing.tsv",
        {scanned(57, 812, "Sample, Two", "Sample, One"), scanned(301, 401, "Robinson, Ruby", "Robinon, Ruby")});
    const ProcessRun failed = run({"--merge-pairs", failing, "--yes"});
    EXPECT_EQ(failed.exitCode, 1) << failed.out.toStdString();
    const QStringList failedLines = pairLines(failed);
    ASSERT_EQ(failedLines.size(), 3) << failed.out.toStdString();
    EXPECT_TRUE(failedLines[0].startsWith("812\t57\tfailed\t\t")) << failedLines[0].toStdString();
    EXPECT_TRUE(failedLines[0].contains("quotes are locked")) << failedLines[0].toStdString();
    EXPECT_TRUE(failedLines[1].startsWith("401\t301\tmerged\t")) << failedLines[1].toStdString();
    EXPECT_EQ(failedLines[2], "2 pairs: 1 merged, 0 skipped, 1 failed");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 3);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Quotes WHERE ClientID = 812"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 401"), 0);
    EXPECT_EQ(db.scalar("SELECT MergeState FROM KolvixMerge WHERE FromClientID = 812"), "reverted");
}

// The listing as a spreadsheet or a shell may save it: a byte order mark, UTF-16 (PowerShell's
// ">"), Windows line ends, cells in double quotes. Each pair is read with its names.
TEST_F(MergePairsTest, ReadsTheListingAsEditorsAndShellsSaveIt)
{
    db.exec("UPDATE Client SET Name = 'Zoë' WHERE ClientID IN (301, 401)");
    const QString header = "Score\tGroup\tKeep\tMerge\tReasons\tKeep name\tMerge name";
    const QString line = scanned(301, 401, "Robinson, Zoë", "Robinon, Zoë");
    const QString listing = header + "\n" + line + "\n";
    const QString utf16 = header + "\r\n" + line + "\r\n";
    QByteArray utf16Bytes("\xff\xfe");
    for (const QChar c : utf16)
        utf16Bytes.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    const struct
    {
        const char* name;
        QByteArray text;
    } cases[] = {
        {"utf8.tsv", listing.toUtf8()},
        {"bom.tsv", "\xef\xbb\xbf" + QString(listing).replace("\n", "\r\n").toUtf8()},
        {"utf16.tsv", utf16Bytes},
        {"quoted.tsv",
         (header + "\n\"90\"\t1\t\"301\"\t401\t\"a, b\"\t\"Robinson, Zoë\"\t\"Robinon, Zoë\"\n").toUtf8()},
    };
    const auto before = db.snapshot();
    for (const auto& c : cases) {
        const ProcessRun r = run({"--merge-pairs", writeFile(c.name, c.text), "--dry-run", "--yes"});
        EXPECT_EQ(r.exitCode, 0) << c.name << "\n" << r.out.toStdString() << r.err.toStdString();
        EXPECT_EQ(pairLines(r),
                  (QStringList {"401\t301\tmerged\t\t",
                                "1 pair: 1 merged, 0 skipped, 0 failed; dry "
                                "run: every merge was rolled back, nothing was "
                                "changed"}))
            << c.name;
    }
    EXPECT_EQ(db.snapshot(), before);
}

// A listing as --duplicates wrote it merges the pairs it shows, whatever their names hold: a tab,
// a line break, a backslash (also one before a t), a quote, letters beyond Latin. No pair is
// skipped as changed since the scan.
TEST_F(MergePairsTest, TheListingOfDuplicatesMergesThePairsItShowsWhateverTheirNamesHold)
{
    db.exec(
        "UPDATE Client SET DateOfBirth = '1971-03-0' || (ClientID % 100) || ' 00:00:00', "
        "Mobile = '0400 000 00' || (ClientID % 100) WHERE ClientID BETWEEN 301 AND 404;"
        "UPDATE Client SET Name = 'Ruby' || char(9) || 'X' WHERE ClientID = 401;"
        "UPDATE Client SET Name = 'Ruby\\tX' WHERE ClientID = 301;"
        "UPDATE Client SET Surname = 'Mo\\ris', Name = 'Oli\"ver' || char(13) || char(10) || 'J' WHERE ClientID = 402;"
        "UPDATE Client SET Surname = 'Linkd' || char(27) || '[2J', Name = 'Ann' || char(10) || 'Marie' "
        "WHERE ClientID = 403;"
        "UPDATE Client SET Surname = 'Аккаунтс', Name = '汤姆' WHERE ClientID = 304;"
        "UPDATE Client SET Surname = 'Акаунтс', Name = '汤姆' WHERE ClientID = 404;"
        // The 3xx records hold the most history, so that the scan suggests keeping them.
        "INSERT INTO ClinicalNotes (ClientID) SELECT ClientID FROM Client WHERE ClientID BETWEEN 301 AND 304;"
        "INSERT INTO ClinicalNotes (ClientID) SELECT ClientID FROM Client WHERE ClientID BETWEEN 301 AND 304;"
        "INSERT INTO ClinicalNotes (ClientID) SELECT ClientID FROM Client WHERE ClientID BETWEEN 301 AND 304;");
    const ProcessRun scan = run({"--duplicates"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err.toStdString();
    QStringList lines = scan.out.split('\n');
    lines.removeLast();
    const QStringList expectedNames
        = {"Robinson, Ruby\\\\tX\tRobinon, Ruby\\tX", "Morris, Oliver\tMo\\\\ris, Oli\"ver\\r\\nJ",
           "Linked, Ann\tLinkd\\x1B[2J, Ann\\nMarie", QString::fromUtf8("Аккаунтс, 汤姆\tАкаунтс, 汤姆")};
    QStringList names;
    for (const QString& line : lines.mid(1)) {
        EXPECT_EQ(line.count('\t'), 6) << line.toStdString();
        names << line.section('\t', 5, 6);
    }
    for (const QString& name : expectedNames)
        EXPECT_TRUE(names.contains(name)) << name.toStdString() << "\n" << scan.out.toStdString();

    const QString file = writeFile("scan.tsv", scan.out);
    const auto before = db.snapshot();
    const ProcessRun merged = run({"--merge-pairs", file, "--dry-run", "--yes"});
    EXPECT_FALSE(merged.out.contains("no names to check")) << merged.out.toStdString();
    QStringList outcomes;
    for (const QString& line : pairLines(merged)) {
        EXPECT_FALSE(line.contains("changed since the scan")) << line.toStdString();
        if (line.count('\t') == 4)
            outcomes << line.section('\t', 0, 2);
    }
    for (const char* outcome : {"401\t301\tmerged", "402\t302\tmerged", "403\t303\tskipped", "404\t304\tskipped"})
        EXPECT_TRUE(outcomes.contains(outcome)) << outcome << "\n" << merged.out.toStdString();
    EXPECT_EQ(db.snapshot(), before);
}

// A support technician's list of ids has no names to check: it is allowed, and the question
// says so.
TEST_F(MergePairsTest, AListingWithoutNamesSaysThePairsAreMergedByIdAlone)
{
    const QString file = writeFile("ids.tsv", QByteArray("Merge\tKeep\n401\t301\n"));
    const auto before = db.snapshot();
    const ProcessRun r = run({"--merge-pairs", file, "--dry-run", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Merge the 1 pair listed in " + file
                               + "?\nThese pairs have no names to check: they are merged by client id alone.\n"))
        << r.out.toStdString();
    EXPECT_EQ(pairLines(r).value(0), "401\t301\tmerged\t\t");
    EXPECT_EQ(db.snapshot(), before);
}

// A file that is not a pairs listing is bad usage, named on one line before anything is opened.
TEST_F(MergePairsTest, AFileThatIsNoPairsListingExits64)
{
    struct Case
    {
        const char* name;
        bool exists;
        QByteArray text;
        QString message; // after "kolvix-merge: <path>"
    };
    const Case cases[] = {
        {"missing.tsv", false, "", ""},
        {"empty.tsv", true, "", " is empty: expected the header line that --duplicates writes, then the pairs"},
        {"blank.tsv", true, "\n\r\n  \n",
         " is empty: expected the header line that --duplicates writes, then the pairs"},
        {"no-keep.tsv", true, "Score\tMerge\n1\t2\n",
         " line 1: the header line has no Keep column (expected the header that --duplicates writes)"},
        {"no-merge.tsv", true, "\nKeep\tMerged\n1\t2\n",
         " line 2: the header line has no Merge column (expected the header that --duplicates writes)"},
        {"no-header.tsv", true, "57\t812\n", " line 1: the header line has no Keep column"},
        {"word.tsv", true, "Keep\tMerge\n57\t812\n\n301\tfour-o-one\n",
         " line 4: Merge must be a whole number (a client id), not 'four-o-one'"},
        {"fraction.tsv", true, "Merge\tKeep\n812\t57.0\n",
         " line 2: Keep must be a whole number (a client id), not '57.0'"},
        {"too-large.tsv", true, "Keep\tMerge\n57\t2147483648\n",
         " line 2: Merge is out of range: a client id is a whole number from -2147483648 to 2147483647, not "
         "'2147483648'"},
        {"short-line.tsv", true, "Score\tKeep\tMerge\n90\t57\n",
         " line 2: Merge must be a whole number (a client id), not ''"},
        {"empty-id.tsv", true, "Keep\tMerge\n\t812\n", " line 2: Keep must be a whole number (a client id), not ''"},
        {"percent%2%3.tsv", true, "Keep\tMerge\n57\tx\n",
         " line 2: Merge must be a whole number (a client id), not 'x'"},
        {"keep-twice.tsv", true, "Merge\tKeep\tKeep\n401\t301\t57\n",
         " line 1: the header line names the Keep column twice (columns 2 and 3): name each column once, as "
         "--duplicates does"},
        {"merge-twice.tsv", true, "\nmerge\tKeep\t Merge \n401\t301\t57\n",
         " line 2: the header line names the Merge column twice (columns 1 and 3)"},
        {"name-twice.tsv", true, "Keep\tMerge\tKeep name\tMerge name\tKeep Name\n301\t401\tA\tB\tC\n",
         " line 1: the header line names the Keep name column twice (columns 3 and 5)"},
        {"bad-escape.tsv", true, "Keep\tMerge\tKeep name\tMerge name\n301\t401\tRobinson, Ruby\tC:\\Robinon\n",
         " line 2: the Merge name has a backslash that begins no escape (character 3); write a backslash in a "
         "name as \\\\ (the escapes are \\\\ \\\" \\t \\r \\n \\xHH \\uHHHH)"},
        {"no-escape-end.tsv", true, "Keep\tMerge\tKeep name\n301\t401\tRobinson\\\n",
         " line 2: the Keep name has a backslash that begins no escape (character 9)"},
    };
    const auto before = db.snapshot();
    for (const Case& c : cases) {
        const QString path = c.exists ? writeFile(c.name, c.text) : settingsDir.filePath(c.name);
        const ProcessRun r = run({"--merge-pairs", path, "--yes"});
        EXPECT_EQ(r.exitCode, 64) << c.name;
        EXPECT_EQ(r.out, QString()) << c.name;
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        if (!c.exists)
            EXPECT_TRUE(r.err.startsWith("kolvix-merge: cannot read " + path + ": ")) << r.err.toStdString();
        else
            EXPECT_TRUE(r.err.startsWith("kolvix-merge: " + path + c.message)) << r.err.toStdString();
    }
    EXPECT_EQ(db.snapshot(), before);
}

} // namespace

namespace {

// A file of that size: the text given, then line feeds.
void writeFileOfSize(const QString& path, const QByteArray& text, qint64 size)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    const QByteArray blankLines(1024 * 1024, '\n');
    while (file.size() < size)
        file.write(blankLines.constData(), std::min<qint64>(blankLines.size(), size - file.size()));
}

// The pair lines "301<TAB>401" for a listing, that many.
QByteArray pairLinesOf(qsizetype count)
{
    QByteArray lines;
    for (qsizetype i = 0; i < count; ++i)
        lines += "301\t401\n";
    return lines;
}

} // namespace

// A listing is read only when it is a regular file within the bounds that --help states: a
// device, a pipe, a folder, a file over the size, a line over the length or more pairs than a
// run takes is refused at once with the bound named, and one just within every bound is read.
TEST_F(MergePairsTest, AListingOverItsBoundsOrNoRegularFileIsRefusedAtOnce)
{
    const QString longHeader = "Keep\tMerge\t" + QString(kMaxListingLineLength - 11, 'x');
    const QString within = settingsDir.filePath("within.tsv");
    writeFileOfSize(within, longHeader.toUtf8() + '\n' + pairLinesOf(kMaxListingPairs), kMaxListingBytes);
    const ProcessRun read = run({"--merge-pairs", within});
    EXPECT_EQ(read.exitCode, 1) << read.err.toStdString();
    EXPECT_TRUE(read.out.contains(QStringLiteral("Merge the %1 pairs listed in ").arg(kMaxListingPairs)))
        << read.out.left(2000).toStdString() << read.err.toStdString();

    const QString large = settingsDir.filePath("large.tsv");
    writeFileOfSize(large, "Keep\tMerge\n301\t401\n", kMaxListingBytes + 1);
    const QString longLine = writeFile("long-line.tsv", (longHeader + "x\n301\t401\n").toUtf8());
    const QString endless
        = writeFile("endless.tsv", QByteArray("Keep\tMerge\n") + QByteArray(kMaxListingLineLength + 1, '\0'));
    const QString many = writeFile("many.tsv", "Keep\tMerge\n" + pairLinesOf(kMaxListingPairs + 1));
    const QString fifo = settingsDir.filePath("pipe.tsv");
#ifdef Q_OS_UNIX
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
#endif
    const QString notRegular
        = " is not a regular file (a device, a pipe or a socket): save the listing to a file first "
          "(--duplicates > pairs.tsv) and name that file";
    const struct
    {
        QString file;
        QString message; // after "kolvix-merge: <file>"
    } cases[] = {
        {"/dev/zero", notRegular},
        {fifo, notRegular},
        {settingsDir.path(),
         " is a folder, not a file: name the listing file (as written by --duplicates > pairs.tsv)"},
        {large,
         " is larger than 16 MiB, the most a listing of pairs may be: split it into smaller listings and run "
         "each"},
        {longLine,
         " line 1 is longer than 65,536 characters, the most a line of a listing may hold: a listing that "
         "--duplicates writes has no such line; check that this is the right file"},
        {endless, " line 2 is longer than 65,536 characters"},
        {many,
         " holds more than 100,000 pairs, the most one run takes: split it into listings of at most 100,000 "
         "pairs and run each"},
    };
    const auto before = db.snapshot();
    for (const auto& c : cases) {
#ifndef Q_OS_UNIX
        if (c.file == "/dev/zero" || c.file == fifo)
            continue; // no device files and no pipes in the file system
#endif
        const ProcessRun r = run({"--merge-pairs", c.file, "--yes"});
        EXPECT_EQ(r.exitCode, 64) << c.file.toStdString() << "\n" << r.out.toStdString() << r.err.toStdString();
        EXPECT_EQ(r.out, QString()) << c.file.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("kolvix-merge: " + c.file + c.message)) << r.err.toStdString();
    }
    EXPECT_EQ(db.snapshot(), before);
}

// What --duplicates writes in a name reads back as it was, whatever the name holds, also where a
// spreadsheet saved each cell in double quotes; a line that lacks a name cell has an empty name,
// never one left unchecked.
TEST(ReadPairsFileTest, NamesReadBackAsTheListingWroteThem)
{
    QStringList names = {
        "Robinon, Ruby\\tX", // a backslash and a t
        "Robinon, Ruby\tX",
        "C:\\",
        "\\\\server",
        "\"Bob\"",
        "\"",
        "O\"Neil, \"Pat\"",
        "'Quoted', 'Single'",
        QString::fromUtf8("Müller, Zoë"),
        QString::fromUtf8("Иванов, Пётр"),
        QString::fromUtf8("山田, 太郎"),
        QString::fromUtf8("كريم, ليلى"),
        QString::fromUtf8("Smile \xF0\x9F\x98\x80"),
        QString("Lines") + QChar(0x2028) + QChar(0x2029) + QChar(0x7F) + QChar(0x85),
        "",
    };
    for (char16_t c = 0; c < 32; ++c)
        names << QString("Ro") + QChar(c) + "bin, Ruby";
    const QString header = "Score\tGroup\tKeep\tMerge\tReasons\tKeep name\tMerge name";
    QTemporaryDir dir;
    for (const bool quoted : {false, true}) {
        QByteArray text = header.toUtf8() + '\n';
        for (qsizetype i = 0; i < names.size(); ++i) {
            QStringList cells = cli::tabSeparated({"90", "1", QString::number(i), "401", "same date of birth", names[i],
                                                   "Robinon, Ruby"})
                                    .split('\t');
            if (quoted)
                for (QString& cell : cells)
                    cell = '"' + cell.replace("\"", "\"\"") + '"';
            text += cells.join('\t').toUtf8() + "\r\n";
        }
        const QString path = dir.filePath(quoted ? "quoted.tsv" : "plain.tsv");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        QString error;
        const auto pairs = cli::readPairsFile(path, error);
        ASSERT_TRUE(pairs) << error.toStdString();
        ASSERT_EQ(qsizetype(pairs->size()), names.size());
        for (qsizetype i = 0; i < names.size(); ++i) {
            const BatchPair& pair = (*pairs)[std::size_t(i)];
            EXPECT_EQ(pair.keep, i);
            EXPECT_EQ(pair.merge, 401);
            EXPECT_EQ(pair.keepName, names[i])
                << "quoted " << quoted << ": " << cli::tabSeparated({names[i]}).toStdString();
            EXPECT_EQ(pair.mergeName, "Robinon, Ruby");
        }
    }

    const QString shortLines = dir.filePath("short.tsv");
    QFile file(shortLines);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Keep\tMerge\tKeep name\tMerge name\n301\t401\tRobinson, Ruby\n302\t402\n");
    file.close();
    QString error;
    const auto pairs = cli::readPairsFile(shortLines, error);
    ASSERT_TRUE(pairs) << error.toStdString();
    ASSERT_EQ(pairs->size(), 2u);
    EXPECT_EQ((*pairs)[0].keepName, "Robinson, Ruby");
    EXPECT_EQ((*pairs)[0].mergeName, "");
    EXPECT_EQ((*pairs)[1].keepName, "");
    EXPECT_EQ((*pairs)[1].mergeName, "");
}
