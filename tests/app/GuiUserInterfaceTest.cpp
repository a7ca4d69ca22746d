// The desktop program's boxes offscreen: their text breaks where the text breaks, as the
// platform's message box breaks it, not at a narrower width of its own.

#include "app/GuiUserInterface.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

TEST(GuiUserInterface, ABoxBreaksItsLinesOnlyWhereTheTextBreaksThem)
{
    const QString texts[] = {
        QStringLiteral("The client to be moved has WPX currently enabled and cannot be merged.\n"
                       "Merging this patient would change/remove their WPX access.\n\n"
                       "If you want to merge them you will need to resolve WPX details between\n"
                       "'From' and 'To' then remove WPX access for the 'From' client."),
        QStringLiteral("Clients have been successfully merged."),
    };
    GuiUserInterface ui;
    for (const QString& text : texts) {
        QStringList tooNarrow;
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            seen = true;
            const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            for (const QString& line : text.split(QLatin1Char('\n')))
                if (!label || label->fontMetrics().horizontalAdvance(line) > label->contentsRect().width())
                    tooNarrow << line;
            box->done(QMessageBox::Ok);
        });
        poll.start(10);
        ui.showInfo(text);
        EXPECT_TRUE(seen);
        EXPECT_EQ(tooNarrow, QStringList()) << "lines the box breaks again";
    }
}

// A merge of a pair marked as different people asks whether to remove the mark; Enter, the
// default, keeps it.
TEST(GuiUserInterface, TheQuestionToRemoveAMarkKeepsItUnlessYesIsChosen)
{
    GuiUserInterface ui;
    for (const auto& [button, answer] : {std::pair {QMessageBox::No, false}, std::pair {QMessageBox::Yes, true}}) {
        QString text;
        int defaultButton = -1;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&, button = button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            text = box->text();
            defaultButton = box->standardButton(box->defaultButton());
            box->done(button);
        });
        poll.start(10);
        EXPECT_EQ(ui.removeDistinctMark(QStringLiteral("Clients 812 and 57 are marked as different people, so they "
                                                       "are not merged."),
                                        812, 57),
                  answer);
        EXPECT_EQ(text,
                  "Clients 812 and 57 are marked as different people, so they are not merged.\n\nRemove the "
                  "mark and go on with the merge?");
        EXPECT_EQ(defaultButton, QMessageBox::No);
    }
}

} // namespace
} // namespace kolvix::test
