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
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <set>

namespace kolvix::test {
namespace {

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
    ASSERT_EQ(ui.questions, QStringList {mergeTickedQuestion(2)});
    const QString& question = ui.questions[0];
    for (const char* part :
         {"Merge the 2 ticked pairs?", "checked and merged on its own", "as the account dialog proposes them",
          "a check refuses", "need a decision", "skipped and never merged", "undone on its own from the History"})
        EXPECT_TRUE(question.contains(QLatin1String(part))) << part;
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

    widget<QPushButton>(*window, "btnMergeTicked").click();
    EXPECT_EQ(ui.questions, QStringList {mergeTickedQuestion(4)});
    EXPECT_EQ(progress,
              (QStringList {"0/4 1 Pair 2 of 4", "1/4 2 Pair 3 of 4", "2/4 3 Pair 4 of 4", "3/4 4 Pair 4 of 4"}));
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

} // namespace
} // namespace kolvix::test
