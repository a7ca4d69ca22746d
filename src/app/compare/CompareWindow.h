#pragma once

#include "merge/ClientComparison.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace kolvix {

class MergeSession;

// The Compare window: two clients side by side, the Keep (Move To) client and the Merge (Move
// From) client, field by field (compareClients), each field where they differ marked with a
// not-equal sign in a column of its own and its values in bold on a tinted row; beside them the
// rows each holds of every kind, as the "Data to be moved" pane counts them. A pair marked as
// different people says so above the fields. It reads on the main window's session and is
// opened modally.
//
// Opened for a pair of the Duplicates window (pairActions) it offers Swap (which record is kept),
// "Use this pair", "Not the same person..." and Close; opened from the main window, "Not the same
// person..." and Close.
class TfrmCompare : public QDialog
{
    Q_OBJECT

public:
    TfrmCompare(MergeSession& session, qint32 keep, qint32 merge, bool pairActions, QWidget* parent = nullptr);
    ~TfrmCompare() override;

    // Reads both clients and the pair's mark and fills the window. False when a client does not
    // exist any more (said in an information box); a failing read passes on.
    bool reload();

    qint32 keepId() const { return m_keep; }
    qint32 mergeId() const { return m_merge; }
    // The size that shows every field (and the mark) without scrolling; the window opens at it
    // where the screen has room.
    QSize wholeSize() const;

    QTableWidget* grdFields() const { return m_fields; }
    QTableWidget* grdCounts() const { return m_counts; }
    QLabel* lblMark() const { return m_mark; }
    QPushButton* btnSwap() const { return m_swap; }
    QPushButton* btnUse() const { return m_use; }
    QPushButton* btnDifferent() const { return m_different; }
    QPushButton* btnClose() const { return m_close; }

    // Event handlers.
    // The Keep and Merge clients change places, here and (swapped()) in the list.
    void btnSwapClick();
    // The pair as shown goes to the main window (usePair()); the window closes.
    void btnUseClick();
    // Asks (TfrmMarkDifferent) and marks the two clients as different people (markedDifferent()).
    void btnDifferentClick();

signals:
    void swapped();
    void usePair();
    void markedDifferent();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillFields();
    void fillCounts();
    void updateButtons();
    // The window as large as its contents, within the screen; placed over its parent window.
    void fitToContents();

    MergeSession& m_session;
    qint32 m_keep;
    qint32 m_merge;
    bool m_pairActions;
    bool m_marked = false;
    QString m_keepText; // "20: Harper, Louise"
    QString m_mergeText;
    ClientComparison m_comparison;

    QLabel* m_mark = nullptr;
    QTableWidget* m_fields = nullptr;
    QTableWidget* m_counts = nullptr;
    QPushButton* m_swap = nullptr;
    QPushButton* m_use = nullptr;
    QPushButton* m_different = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace kolvix
