#include "app/compare/MarkDifferentDialog.h"

#include "app/DisplayFonts.h"
#include "core/UserInterface.h"
#include "ledger/DistinctPairs.h"
#include "merge/MergeSession.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolvix {

TfrmMarkDifferent::TfrmMarkDifferent(const QString& first, const QString& second, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMarkDifferent"));
    setWindowTitle(QStringLiteral("Not the Same Person"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    m_question = new QLabel(this);
    m_question->setObjectName(QStringLiteral("lblQuestion"));
    m_question->setTextFormat(Qt::PlainText); // names from the database are never markup
    m_question->setWordWrap(true);
    m_question->setText(QStringLiteral("Mark these two clients as different people?\n\n%1\n%2\n\nThe duplicate scan "
                                       "will no longer list them as a pair, and a merge of the two is refused until "
                                       "the mark is removed (Duplicates, \"Different people...\").")
                            .arg(first, second));
    auto* noteLabel = new QLabel(QStringLiteral("&Note (optional):"), this);
    m_note = new QLineEdit(this);
    m_note->setObjectName(QStringLiteral("edtNote"));
    m_note->setMaxLength(kDistinctPairNoteLength);
    m_note->setPlaceholderText(QStringLiteral("for example: twins, mother and daughter"));
    noteLabel->setBuddy(m_note);

    m_mark = new QPushButton(QStringLiteral("&Mark as different"), this);
    m_mark->setObjectName(QStringLiteral("btnMark"));
    m_mark->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    m_cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_mark);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_question);
    layout->addSpacing(6);
    layout->addWidget(noteLabel);
    layout->addWidget(m_note);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    connect(m_mark, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    ApplyDisplayFonts(this);
    setMinimumWidth(420);
    m_note->setFocus();
}

QString TfrmMarkDifferent::note() const
{
    return m_note->text();
}

bool askAndMarkDifferent(MergeSession& session, qint32 a, const QString& aText, qint32 b, const QString& bText,
                         QWidget* parent)
{
    TfrmMarkDifferent dialog(aText, bText, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (const std::optional<DistinctPair> mark = findDistinctPair(session.conZelvan, a, b)) {
        session.ui.showInfo(QStringLiteral("Clients %1 and %2 are %3 already.").arg(a).arg(b).arg(mark->description()));
        return true;
    }
    markDistinctPair(session.conZelvan, a, b, dialog.note());
    return true;
}

} // namespace kolvix
