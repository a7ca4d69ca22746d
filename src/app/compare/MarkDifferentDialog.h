#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kolvix {

class MergeSession;

// "Not the same person...": asks whether two clients are to be marked as different people, with
// an optional note (at most the column's 255 characters). Mark accepts, Cancel (or Esc) rejects.
class TfrmMarkDifferent : public QDialog
{
    Q_OBJECT

public:
    // first and second: the clients as the question names them ("20: Harper, Louise").
    TfrmMarkDifferent(const QString& first, const QString& second, QWidget* parent = nullptr);

    QString note() const;
    QLabel* lblQuestion() const { return m_question; }
    QLineEdit* edtNote() const { return m_note; }
    QPushButton* btnMark() const { return m_mark; }
    QPushButton* btnCancel() const { return m_cancel; }

private:
    QLabel* m_question = nullptr;
    QLineEdit* m_note = nullptr;
    QPushButton* m_mark = nullptr;
    QPushButton* m_cancel = nullptr;
};

// Asks with TfrmMarkDifferent and marks the pair on the session's connection (markDistinctPair).
// True when the pair is marked afterwards (also when another workstation marked it meanwhile,
// which is then said); false when the user cancelled. A failure to write passes on.
bool askAndMarkDifferent(MergeSession& session, qint32 a, const QString& aText, qint32 b, const QString& bText,
                         QWidget* parent);

} // namespace kolvix
