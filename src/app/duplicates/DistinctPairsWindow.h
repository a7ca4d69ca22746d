#pragma once

#include "ledger/DistinctPairs.h"

#include <QDialog>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace kolvix {

class MergeSession;

// "Different people...": the pairs of clients marked as different people (readDistinctPairs),
// with when, where, by whom and why, and "Remove mark..." for the one selected, after a question.
// It reads and writes on the main window's session and is opened modally.
class TfrmDistinctPairs : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmDistinctPairs(MergeSession& session, QWidget* parent = nullptr);
    ~TfrmDistinctPairs() override;

    // Reads the marks anew; a failing read passes on.
    void reload();

    QTableWidget* grdMarks() const { return m_grid; }
    QLabel* lblCount() const { return m_count; }
    QPushButton* btnRemove() const { return m_remove; }
    QPushButton* btnClose() const { return m_close; }

    // Asks, then removes the mark of the selected pair and reads the list again.
    void btnRemoveClick();

private:
    void updateButtons();

    MergeSession& m_session;
    std::vector<DistinctPair> m_pairs;
    QTableWidget* m_grid = nullptr;
    QLabel* m_count = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace kolvix
