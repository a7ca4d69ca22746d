#pragma once

#include "app/duplicates/BatchReport.h"
#include "duplicates/DuplicateFinder.h"
#include "merge/BatchMerge.h"

#include <QPointer>
#include <QSet>
#include <QString>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QCloseEvent;
class QKeyEvent;
class QShowEvent;
class QLabel;
class QModelIndex;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QStandardItemModel;
class QTableView;

namespace kolvix {

class DuplicateScanChannel;
class MergeSession;
class UserInterface;

// Merges reviewed pairs on the main window's session (mergePairs there).
using PairMerger = std::function<std::vector<BatchResult>(const std::vector<BatchPair>&, const BatchOptions&)>;

// The Duplicates window: scans the practice for clients that are probably registered twice and
// lists the pairs, ranked, with the reasons; "Use this pair" (or a double-click on a row) hands
// the chosen pair to the main window as Move From and Move To. The scan runs on a thread of its
// own with a connection of its own, so the window keeps painting; a progress bar shows how far
// it is and Stop cancels it. The scan only reads the database. Pairs are ticked in the Score
// column, with Space from any column of the current row, or all at once ("Tick all", "Untick
// all"). Ticked pairs can be merged in one run ("Merge ticked pairs..."), each pair as a single
// merge on the main window's session (the merger it hands the window), with a progress dialog
// naming each pair that stops between pairs and a report at the end; merged pairs leave the list.
//
// A pair is reviewed in the Compare window (TfrmCompare: "Compare...", Enter on the pair, or its
// context menu), where Swap changes which record is kept; Ctrl+S and the context menu swap it in
// the list too. "Use this pair" and "Merge ticked pairs..." take each pair as shown. A pair marked
// as different people ("Not the same person..." in the Compare window or the context menu) leaves
// the list and is left out of every scan; "Different people..." lists the marks, where one can be
// removed. These read and write on the main window's session (setSession).
class TfrmDuplicates : public QWidget
{
    Q_OBJECT

public:
    // The scan opens its own connection with these settings (those of the main window's); a
    // failed scan is shown by ui.
    TfrmDuplicates(const QString& connectionString, int commandTimeout, int connectTimeout, UserInterface& ui,
                   QWidget* parent = nullptr);
    ~TfrmDuplicates() override;

    // Starts a scan with the options shown; while a stopped scan is still ending, the new one
    // starts when it has. cancelScan asks a running scan to stop; closing the window does too.
    void startScan();
    void cancelScan();
    bool isScanning() const { return m_thread != nullptr; }

    // The pairs of the last finished scan, highest score first.
    const std::vector<DuplicatePair>& pairs() const { return m_pairs; }
    // The pair of the grid's current row, or nullptr.
    const DuplicatePair* currentPair() const;

    QSpinBox* spnMinScore() const { return m_minScore; }
    QCheckBox* cbArchived() const { return m_archived; }
    QPushButton* btnScan() const { return m_scan; }
    QPushButton* btnStop() const { return m_stop; }
    QPushButton* btnUse() const { return m_use; }
    QPushButton* btnMergeTicked() const { return m_mergeTicked; }
    QPushButton* btnTickAll() const { return m_tickAll; }
    QPushButton* btnUntickAll() const { return m_untickAll; }
    QPushButton* btnClose() const { return m_close; }
    QPushButton* btnCompare() const { return m_compare; }
    QPushButton* btnDifferent() const { return m_different; }
    QProgressBar* prgScan() const { return m_progress; }
    QLabel* lblStatus() const { return m_status; }
    // Under the status after a scan: the blocks of clients the scan left out as too large to
    // compare (hidden when there are none).
    QLabel* lblLeftOut() const { return m_leftOut; }
    QTableView* grdPairs() const { return m_grid; }

    // What merges the ticked pairs; without one "Merge ticked pairs..." stays disabled.
    void setPairMerger(PairMerger merger);
    // The main window's session, on which the Compare window reads and the marks of different
    // people are written and read; without one "Compare...", "Not the same person..." and
    // "Different people..." stay disabled.
    void setSession(MergeSession* session);
    // Where the report of a run is saved; the file dialog unless set.
    void setReportFileChooser(ReportFileChooser chooser) { m_chooseReportFile = std::move(chooser); }
    // The pairs whose box is ticked, as indexes into pairs(), in the grid's order.
    std::vector<int> tickedPairs() const;
    // Takes every pair of these clients, merged away from whichever window, off the list, as a
    // new scan would leave them out; the other pairs keep their ticks.
    void dropClientsMergedAway(const QSet<qint32>& clients);
    // Takes the pair of these two clients, marked as different people from whichever window, off
    // the list, as a new scan would leave it out; the status line says so.
    void dropMarkedPair(qint32 a, qint32 b);
    bool isMerging() const { return m_merging; }
    // The report of the last run while it is open, or nullptr.
    TfrmBatchReport* batchReport() const { return m_report; }

    // Event handlers.
    void btnUseClick();
    // Asks once, then merges the ticked pairs one by one with the progress dialog, takes the
    // merged pairs off the list and opens the report.
    void btnMergeTickedClick();
    void grdPairsDoubleClick(const QModelIndex& index);
    // Ticks (or unticks) every pair of the list ("Tick all", "Untick all").
    void tickAll(bool ticked);
    // Space in the list: ticks the current row's pair, or unticks it, whichever cell is current.
    void toggleCurrentTick();
    // Opens the Compare window on the current pair (also Enter on the pair).
    void btnCompareClick();
    // The current pair's Keep and Merge clients change places in the list (also Ctrl+S); its
    // reasons then end in "Keep and Merge swapped".
    void swapCurrentPair();
    // Asks (TfrmMarkDifferent), marks the current pair as different people and takes it off the list.
    void markCurrentPair();
    // Opens the list of the pairs marked as different people.
    void btnDifferentClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

signals:
    // The user chose a pair: the suggested Move From (merge) and Move To (keep) clients.
    void pairChosen(qint32 moveFrom, qint32 moveTo);
    // A scan ended: finished, stopped or failed.
    void scanFinished();
    // A pair of a run of ticked pairs has ended (index from 0, of count); the progress dialog is
    // still open.
    void batchPairDone(int index, int count);
    // A run of ticked pairs merged at least one pair: whatever shows rows of clients is to be
    // read again.
    void pairsMerged();

private:
    void scanProgress(const QString& stage, int percent);
    void scanDone(const DuplicateScanResult& result);
    void scanFailed(const QString& message);
    void scanEnded();
    void fillGrid();
    void showLeftOut(const std::vector<LeftOutBlock>& blocks);
    void updateButtons();
    // Takes the pairs of the clients merged away by the run off the list (the merged pairs
    // among them), keeping the ticks of the others.
    void dropMergedPairs(const std::vector<BatchResult>& results);
    // Takes the pairs for which gone holds off the list, keeping the ticks of the others.
    void dropPairsWhere(const std::function<bool(const DuplicatePair&)>& gone);
    // The index into pairs() of the grid's current row, or -1.
    int currentPairIndex() const;
    // The model's row of a pair, or -1.
    int rowOfPair(int index) const;
    // The pair's clients and reasons into its row anew, as the list shows them.
    void showPairCells(int index);
    void showPairMenu(const QPoint& at);

    QString m_connectionString;
    int m_commandTimeout;
    int m_connectTimeout;
    UserInterface& m_userInterface;

    QSpinBox* m_minScore = nullptr;
    QCheckBox* m_archived = nullptr;
    QPushButton* m_scan = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_use = nullptr;
    QPushButton* m_mergeTicked = nullptr;
    QPushButton* m_tickAll = nullptr;
    QPushButton* m_untickAll = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_compare = nullptr;
    QPushButton* m_different = nullptr;
    QAction* m_actCompare = nullptr;
    QAction* m_actSwap = nullptr;
    QAction* m_actUse = nullptr;
    QAction* m_actMark = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_leftOut = nullptr;
    QTableView* m_grid = nullptr;
    QStandardItemModel* m_model = nullptr;
    QSortFilterProxyModel* m_sorted = nullptr;

    std::vector<DuplicatePair> m_pairs;
    QPointer<QThread> m_thread;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    std::shared_ptr<DuplicateScanChannel> m_channel;
    bool m_restart = false; // start again once the stopped scan has ended
    PairMerger m_merger;
    MergeSession* m_session = nullptr;
    ReportFileChooser m_chooseReportFile;
    bool m_merging = false;
    QPointer<TfrmBatchReport> m_report;
};

// A stage of the scan as the status line shows it, its counts written as every count of the
// window is (digits grouped as the user's locale groups them: "Comparing 15,281 candidate
// pairs..."), with an ellipsis while it runs.
QString scanStageText(const QString& stage);

// The one question before a run of ticked pairs: how many, the first ten by batchPairText ("and
// N more" after them), a warning for each client that the run merges away in one pair and meets
// again in a later one, whose later pairs are skipped ("client 411 is ticked in two pairs; only
// the first can be merged"), and how the run goes.
QString mergeTickedQuestion(const std::vector<BatchPair>& pairs);

} // namespace kolvix
