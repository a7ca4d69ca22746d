#pragma once

#include "ledger/MergeHistory.h"

#include <QDialog>
#include <vector>

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace kolvix {

class MergeSession;

// The Merge History window: the merges of the Audit trail, newest first, with their state; the
// rows each merge changed, table by table, and its account mapping; and "Undo merge..." for a
// merge whose ledger allows it. It reads and undoes on the main window's session, whose
// interface shows every box and question, and it is opened modally.
class TfrmMergeHistory : public QDialog
{
    Q_OBJECT

public:
    TfrmMergeHistory(MergeSession& session, QWidget* parent = nullptr);
    ~TfrmMergeHistory() override;

    // Reads the merges anew (with the wait cursor) and selects the merge of that Audit row where
    // it is listed, else the newest. A failing read is shown as an error box and leaves the list
    // empty.
    void reload(int selectAuditId = -1);

    // The merges as listed, newest first.
    const std::vector<MergeHistoryEntry>& entries() const { return m_entries; }
    // The merge of the list's current row, or nullptr.
    const MergeHistoryEntry* currentEntry() const;

    // Plans the undo of the current merge, asks the user, and undoes it or cancels; then reads
    // the list again, the same merge selected.
    void btnUndoClick();

signals:
    // An undo was attempted (undone, refused, cancelled or failed): whatever shows rows of the
    // clients is to be read again.
    void undoAttempted();

private:
    void fillList(int selectAuditId);
    void showDetails();
    void updateButtons();
    QStringList detailLines(const MergeHistoryEntry& entry);

    MergeSession& m_session;
    std::vector<MergeHistoryEntry> m_entries;
    QTreeWidget* m_list = nullptr;
    QPlainTextEdit* m_details = nullptr;
    QPushButton* m_undo = nullptr;
    QPushButton* m_close = nullptr;
};

// The lines of a merge's ledger rows, one table a line: "Trans: 3 moved",
// "PXClientPracPermissions: 2 moved, 1 deleted", "Account: 1 added".
QStringList ledgerRowLines(const std::vector<LedgerTableRows>& tables);

} // namespace kolvix
