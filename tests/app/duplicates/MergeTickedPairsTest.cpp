// "Merge ticked pairs..." in the Duplicates window, offscreen on a real database: the pairs the
// scan listed are ticked, asked about once, merged one by one on the session with a progress
// dialog that stops between pairs, and reported pair by pair; the report can be saved.

#include "app/duplicates/DuplicatesWindow.h"

#include "support/MergeFixture.h"
#include "support/QtPrinting.h"
#include "support/Widgets.h"

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <set>

namespace kolvix::test {
namespace {

// Each planted pair as the question, the progress and the report name it.
const QMap<int, QString> kPairText = {{401, "401: Robinon, Ruby > 301: Robinson, Ruby"},
                                      {402, "402: Moris, Oliver > 302: Morris, Oliver"},
                                      {403, "403: Linkd, Ann > 303: Linked, Ann"},
                                      {404, "404: Acounts, Tom > 304: Accounts, Tom"}};

class MergeTickedPairsTest : public MergeFixture
{
protected:
    void SetUp() override
    {
        MergeFixture::SetUp();
        db.exec(kMorePairs);
        // The first record of each pair holds the longer history: the one to keep.
        db.exec("INSERT INTO ClinicalNotes (ClientID) VALUES (301), (301), (301), (302), (302), (302), (303), (303), "
                "(303), (304), (304), (304)");
        // A date of birth and a mobile number each pair shares, so that the scan lists the pairs.
        db.exec("UPDATE Client SET DateOfBirth = '1971-03-0' || (ClientID % 100) || ' 00:00:00', "
                "Mobile = '0400 000 00' || (ClientID % 100) WHERE ClientID BETWEEN 301 AND 404");
        window = std::make_unique<TfrmDuplicates>(db.connectionString(), 30, 15, ui);
        window->setPairMerger([this](const std::vector<BatchPair>& pairs, const BatchOptions& options) {
            return mergePairs(*session, pairs, options);
        });
        window->show();
        window->startScan();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->isScanning(); }, 20000));
        ASSERT_EQ(mergeIds(), (std::set<int> {401, 402, 403, 404})) << window->lblStatus()->text().toStdString();
    }

    // The Merge (Move From) clients of the listed pairs.
    std::set<int> mergeIds() const
    {
        std::set<int> ids;
        for (const DuplicatePair& pair : window->pairs())
            ids.insert(pair.merge.clientId);
        return ids;
    }

    // Ticks (or unticks) the row of the pair whose Merge client is that.
    void tick(int mergeId, bool ticked = true)
    {
        QAbstractItemModel* model = window->grdPairs()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->index(row, 4).data().toString().startsWith(QString::number(mergeId) + ':')) {
                model->setData(model->index(row, 0), ticked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
                return;
            }
        ADD_FAILURE() << "no row for " << mergeId;
    }

    // The report's line of the pair whose Merge client is that.
    QString reportLine(int mergeId) const
    {
        const QStringList lines = window->batchReport()->text().split('\n');
        for (const QString& line : lines)
            if (line.startsWith(QString::number(mergeId) + ':'))
                return line;
        return {};
    }

    // The Merge clients of the ticked pairs, in the order of the run (the grid's).
    std::vector<int> tickedMergeIds() const
    {
        std::vector<int> ids;
        for (int index : window->tickedPairs())
            ids.push_back(window->pairs()[std::size_t(index)].merge.clientId);
        return ids;
    }

    // Waits for the scan started to end.
    void rescan()
    {
        window->startScan();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->isScanning(); }, 20000));
    }

    int auditOf(int mergeId)
    {
        return int(
            db.count(QStringLiteral("SELECT MAX(AuditID) FROM Audit WHERE Action LIKE 'Merge %1 > %'").arg(mergeId)));
    }

    std::unique_ptr<TfrmDuplicates> window;
};

TEST_F(MergeTickedPairsTest, TickingEnablesTheButtonAndNoToTheQuestionChangesNothing)
{
    QPushButton& button = widget<QPushButton>(*window, "btnMergeTicked");
    EXPECT_EQ(button.text().remove('&'), "Merge ticked pairs...");
    EXPECT_TRUE(window->tickedPairs().empty());
    EXPECT_FALSE(button.isEnabled());
    tick(401);
    EXPECT_TRUE(button.isEnabled());
    tick(401, false);
    EXPECT_FALSE(button.isEnabled());
    tick(401);
    tick(402);
    ASSERT_EQ(window->tickedPairs().size(), 2u);

    const auto before = db.snapshot();
    ui.answerYes = false;
    button.click();
    ASSERT_EQ(ui.questions.size(), 1);
    const QString& question = ui.questions[0];
    // The pairs, as the run takes them.
    QStringList listed;
    for (int id : tickedMergeIds())
        listed << kPairText.value(id);
    EXPECT_TRUE(question.startsWith("Merge the 2 ticked pairs?\n\n" + listed.join('\n') + "\n\nEach pair is"))
        << question.toStdString();
    for (const char* part : {"checked and merged on its own", "as the account dialog proposes them", "a check refuses",
                             "need a decision", "skipped and never merged", "undone on its own from the History"})
        EXPECT_TRUE(question.contains(QLatin1String(part))) << part;
    EXPECT_FALSE(question.contains("Warning")) << question.toStdString();
    EXPECT_EQ(db.snapshot(), before);
    EXPECT_EQ(window->batchReport(), nullptr);
    EXPECT_EQ(window->findChildren<QDialog*>("frmBatchProgress").size(), 0);
    EXPECT_EQ(window->tickedPairs().size(), 2u);
    EXPECT_EQ(window->pairs().size(), 4u);
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.shown.join('\n').toStdString();
}

// Every ticked pair is run: the clean one merged with its own Audit row, a pair whose client was
// renamed since the scan, one a check refuses and one whose accounts need a decision skipped with
// their reasons; the merged pair leaves the list, the others stay ticked. The report saves.
TEST_F(MergeTickedPairsTest, YesMergesTheCleanPairsSkipsTheRestWithTheirReasonsAndTheReportSaves)
{
    for (int id : {401, 402, 403, 404})
        tick(id);
    db.exec("UPDATE Client SET Name = 'Olivia' WHERE ClientID = 302");
    QSignalSpy merged(window.get(), &TfrmDuplicates::pairsMerged);
    QString path = logDir.filePath("report.txt");
    QString offered;
    window->setReportFileChooser([&](QWidget*, const QString& suggested) {
        offered = suggested;
        return path;
    });
    QStringList progress;
    QObject::connect(window.get(), &TfrmDuplicates::batchPairDone, [&](int index, int count) {
        const QDialog& dialog = widget<QDialog>(*window, "frmBatchProgress");
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(window->isMerging());
        EXPECT_FALSE(window->btnScan()->isEnabled());
        EXPECT_FALSE(window->btnClose()->isEnabled());
        progress << QStringLiteral("%1/%2 %3 %4")
                        .arg(index)
                        .arg(count)
                        .arg(widget<QProgressBar>(dialog, "prgBatch").value())
                        .arg(widget<QLabel>(dialog, "lblBatch").text());
    });

    const std::vector<int> run = tickedMergeIds();
    ASSERT_EQ(run.size(), 4u);
    widget<QPushButton>(*window, "btnMergeTicked").click();
    ASSERT_EQ(ui.questions.size(), 1);
    EXPECT_TRUE(ui.questions[0].startsWith("Merge the 4 ticked pairs?\n\n")) << ui.questions[0].toStdString();
    // While a pair is merged the dialog names it; after its end, the next one.
    EXPECT_EQ(progress,
              (QStringList {
                  "0/4 1 Pair 2 of 4\n" + kPairText.value(run[1]), "1/4 2 Pair 3 of 4\n" + kPairText.value(run[2]),
                  "2/4 3 Pair 4 of 4\n" + kPairText.value(run[3]), "3/4 4 Pair 4 of 4\n" + kPairText.value(run[3])}));
    EXPECT_TRUE(window->findChildren<QDialog*>("frmBatchProgress").isEmpty()); // gone with the run
    EXPECT_FALSE(window->isMerging());
    EXPECT_EQ(merged.count(), 1);

    // The merge as a single merge makes it, undoable from the History.
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 301"), 1);
    const int audit = auditOf(401);
    ASSERT_GT(audit, 0);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID IN (402, 404)"), 2);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Appoint WHERE ClientID = 403"), 1);

    TfrmBatchReport* report = window->batchReport();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->objectName(), "frmBatchReport");
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(reportLine(401),
              QStringLiteral("401: Robinon, Ruby > 301: Robinson, Ruby - merged (Audit %1)").arg(audit));
    EXPECT_EQ(reportLine(402),
              "402: Moris, Oliver > 302: Morris, Oliver - skipped: client 302 changed since the scan "
              "(now 'Morris, Olivia')");
    EXPECT_TRUE(reportLine(403).startsWith("403: Linkd, Ann > 303: Linked, Ann - skipped: The client to be moved has "
                                           "linked WPX clients and cannot be merged."))
        << reportLine(403).toStdString();
    EXPECT_TRUE(reportLine(404).startsWith("404: Acounts, Tom > 304: Accounts, Tom - skipped: the accounts need a "
                                           "decision: "))
        << reportLine(404).toStdString();
    EXPECT_TRUE(report->text().endsWith("\n\n4 pairs: 1 merged, 3 skipped.")) << report->text().toStdString();
    EXPECT_EQ(widget<QPlainTextEdit>(*report, "memReport").toPlainText(), report->text());

    EXPECT_EQ(mergeIds(), (std::set<int> {402, 403, 404}));
    EXPECT_EQ(window->grdPairs()->model()->rowCount(), 3);
    EXPECT_EQ(window->tickedPairs().size(), 3u);
    EXPECT_EQ(window->lblStatus()->text(), "Merged 1 of 4 ticked pairs. The merged pairs have left the list.");
    EXPECT_TRUE(ui.shown.isEmpty()) << ui.shown.join('\n').toStdString();

    // Saved where the chooser says, with the time of the run on top; a file that cannot be written
    // is an error box.
    widget<QPushButton>(*report, "btnSaveReport").click();
    EXPECT_TRUE(offered.endsWith(".txt")) << offered.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList saved = QString::fromUtf8(file.readAll()).split('\n');
    ASSERT_GE(saved.size(), 3);
    EXPECT_TRUE(saved[0].startsWith("Merge of ticked pairs, ")) << saved[0].toStdString();
    EXPECT_EQ(saved[1], "");
    EXPECT_EQ(saved.mid(2).join('\n'), report->text() + '\n');

    path = logDir.filePath("no such folder/report.txt");
    EXPECT_FALSE(report->btnSaveReportClick());
    ASSERT_EQ(ui.shown.size(), 1);
    EXPECT_TRUE(ui.shown[0].startsWith("Error: The report could not be saved to ")) << ui.shown[0].toStdString();
}

// Stop in the progress dialog ends the run after the pair being merged: the pairs after it are
// not run, and say so.
TEST_F(MergeTickedPairsTest, StopBetweenPairsLeavesTheRestNotRun)
{
    tick(401);
    tick(402);
    std::vector<int> run; // the Merge clients in the order of the run
    for (int index : window->tickedPairs())
        run.push_back(window->pairs()[std::size_t(index)].merge.clientId);
    ASSERT_EQ(run.size(), 2u);
    QObject::connect(window.get(), &TfrmDuplicates::batchPairDone, [&](int index, int) {
        if (index != 0)
            return;
        const QDialog& progress = widget<QDialog>(*window, "frmBatchProgress");
        QPushButton& stop = widget<QPushButton>(progress, "btnStop");
        stop.click();
        EXPECT_FALSE(stop.isEnabled());
        EXPECT_EQ(widget<QLabel>(progress, "lblBatch").text(), "Stopping...");
    });
    widget<QPushButton>(*window, "btnMergeTicked").click();

    TfrmBatchReport* report = window->batchReport();
    ASSERT_NE(report, nullptr);
    const QStringList lines = report->text().split('\n');
    ASSERT_EQ(lines.size(), 4) << report->text().toStdString();
    EXPECT_TRUE(lines[0].startsWith(QString::number(run[0]) + ':')) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" - merged (Audit %1)").arg(auditOf(run[0]))))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QString::number(run[1]) + ':')) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(" - not run (stopped)")) << lines[1].toStdString();
    EXPECT_EQ(lines[3], "2 pairs: 1 merged, 1 not run (stopped).");
    // Only the first pair of the run was merged; the other is still listed and ticked.
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Audit WHERE Action LIKE 'Merge %'"), 1);
    EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM Trans WHERE ClientID = %1").arg(run[1])), 1);
    EXPECT_EQ(mergeIds(), (std::set<int> {run[1], 403, 404}));
    EXPECT_EQ(window->tickedPairs().size(), 1u);
}

// Tick all and Untick all act on the whole list; Space ticks or unticks the current pair from any
// column, the Score column too (once, not twice).
TEST_F(MergeTickedPairsTest, TickAllUntickAllAndSpaceFromAnyColumn)
{
    QPushButton& tickAll = widget<QPushButton>(*window, "btnTickAll");
    QPushButton& untickAll = widget<QPushButton>(*window, "btnUntickAll");
    QPushButton& merge = widget<QPushButton>(*window, "btnMergeTicked");
    EXPECT_EQ(tickAll.text().remove('&'), "Tick all");
    EXPECT_EQ(untickAll.text().remove('&'), "Untick all");
    EXPECT_TRUE(tickAll.isEnabled());
    EXPECT_FALSE(untickAll.isEnabled());

    tickAll.click();
    EXPECT_EQ(window->tickedPairs().size(), 4u);
    EXPECT_FALSE(tickAll.isEnabled());
    EXPECT_TRUE(untickAll.isEnabled());
    EXPECT_TRUE(merge.isEnabled());
    untickAll.click();
    EXPECT_TRUE(window->tickedPairs().empty());
    EXPECT_TRUE(tickAll.isEnabled());
    EXPECT_FALSE(untickAll.isEnabled());
    EXPECT_FALSE(merge.isEnabled());

    QTableView* grid = window->grdPairs();
    grid->setFocus();
    for (int column = 0; column < grid->model()->columnCount(); ++column) {
        grid->setCurrentIndex(grid->model()->index(1, column));
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_EQ(window->tickedPairs().size(), 1u) << "column " << column;
        EXPECT_EQ(grid->model()->index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked) << "column " << column;
        EXPECT_TRUE(merge.isEnabled());
        QTest::keyClick(grid, Qt::Key_Space);
        EXPECT_TRUE(window->tickedPairs().empty()) << "column " << column;
    }
}

// A client ticked in two pairs that the run cannot both merge is named in the question; the
// names of a pair stay on its one line in the question, the progress and the report, escaped.
TEST_F(MergeTickedPairsTest, TheQuestionWarnsOfAClientTickedTwiceAndEveryNameStaysOnItsLine)
{
    // A third record of Ruby Robinson (the same date of birth and mobile as 301 and 401), and a
    // line break in 401's given name.
    db.exec("INSERT INTO Client (ClientID, Name, Surname, Active, DateOfBirth, Mobile) VALUES "
            "(501, 'Ruby', 'Robinsen', 'T', '1971-03-01 00:00:00', '0400 000 001');"
            "UPDATE Client SET Name = 'Ru' || char(10) || 'by' WHERE ClientID = 401");
    rescan();
    // 501's pairs: into 301 and into 401, which the run cannot both merge.
    QAbstractItemModel* model = window->grdPairs()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, 4).data().toString().startsWith("501:"))
            model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
    ASSERT_EQ(tickedMergeIds(), (std::vector<int> {501, 501}));

    ui.answerYes = false;
    widget<QPushButton>(*window, "btnMergeTicked").click();
    ASSERT_EQ(ui.questions.size(), 1);
    const QString& question = ui.questions[0];
    EXPECT_TRUE(question.contains("\n\nWarning: client 501 is ticked in two pairs; only the first can be merged.\n"))
        << question.toStdString();
    EXPECT_TRUE(question.contains("\n501: Robinsen, Ruby > 401: Robinon, Ru\\nby\n")) << question.toStdString();
    EXPECT_EQ(question.count('\n'), 9) << question.toStdString();

    // Only 401's pair: merged, and reported on one line.
    widget<QPushButton>(*window, "btnUntickAll").click();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, 4).data().toString().startsWith("401:"))
            model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
    ASSERT_EQ(tickedMergeIds(), std::vector<int> {401});
    QStringList progress;
    QObject::connect(window.get(), &TfrmDuplicates::batchPairDone, [&](int, int) {
        progress << widget<QLabel>(widget<QDialog>(*window, "frmBatchProgress"), "lblBatch").text();
    });
    ui.answerYes = true;
    widget<QPushButton>(*window, "btnMergeTicked").click();
    EXPECT_EQ(progress, QStringList {"Pair 1 of 1\n401: Robinon, Ru\\nby > 301: Robinson, Ruby"});
    ASSERT_NE(window->batchReport(), nullptr);
    EXPECT_EQ(window->batchReport()->text(),
              QStringLiteral("401: Robinon, Ru\\nby > 301: Robinson, Ruby - merged (Audit %1)\n\n1 pair: 1 merged.")
                  .arg(auditOf(401)));
}

// The question lists the first ten pairs, then how many more, and warns of each client that one
// pair merges away and a later one names again (a client kept by several pairs, or merged after
// it was kept, is no conflict).
TEST(MergeTickedQuestionTest, ListsTheFirstTenPairsAndWarnsOfAClientTickedTwice)
{
    std::vector<BatchPair> twelve;
    for (qint32 i = 1; i <= 12; ++i)
        twelve.push_back({100 + i, i, QStringLiteral("Merge, %1").arg(i), QStringLiteral("Keep, %1").arg(i)});
    const QString question = mergeTickedQuestion(twelve);
    EXPECT_TRUE(
        question.startsWith("Merge the 12 ticked pairs?\n\n101: Merge, 1 > 1: Keep, 1\n102: Merge, 2 > 2: Keep, "
                            "2\n"))
        << question.toStdString();
    EXPECT_TRUE(question.contains("\n110: Merge, 10 > 10: Keep, 10\nand 2 more\n\nEach pair is checked"))
        << question.toStdString();
    EXPECT_FALSE(question.contains("111:"));
    EXPECT_TRUE(
        mergeTickedQuestion({{101, 1, "A", "B"}}).startsWith("Merge the ticked pair?\n\n101: A > 1: B\n\nEach"));

    const auto ids = [](qint32 merge, qint32 keep) { return BatchPair {merge, keep, std::nullopt, std::nullopt}; };
    struct Case
    {
        const char* what;
        std::vector<BatchPair> pairs;
        QStringList warnings;
    };
    const Case cases[] = {
        {"merged away twice",
         {ids(411, 301), ids(411, 57)},
         {"client 411 is ticked in two pairs; only the first can be merged"}},
        {"merged away, then kept",
         {ids(411, 301), ids(500, 411)},
         {"client 411 is ticked in two pairs; only the first can be merged"}},
        {"kept, then merged away", {ids(500, 411), ids(411, 301)}, {}},
        {"kept twice", {ids(401, 301), ids(402, 301)}, {}},
        {"kept, then merged away twice",
         {ids(500, 411), ids(411, 301), ids(411, 57)},
         {"client 411 is ticked in 3 pairs; only 2 of them can be merged"}},
        {"two clients",
         {ids(411, 301), ids(412, 302), ids(412, 411)},
         {"client 412 is ticked in two pairs; only the first can be merged",
          "client 411 is ticked in two pairs; only the first can be merged"}},
    };
    for (const Case& c : cases) {
        QStringList warnings;
        for (const QString& line : mergeTickedQuestion(c.pairs).split('\n'))
            if (line.startsWith("Warning: "))
                warnings << line.mid(9).chopped(1);
        EXPECT_EQ(warnings, c.warnings) << c.what;
    }
}

} // namespace
} // namespace kolvix::test
