#include "app/CaptionFit.h"
#include "app/FixedSizeWindow.h"
#include "support/CaptionCheck.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

// A fixed-size window laid out like the main window's client rows: a label and its edit
// inside a bevel, a box with a pane below, a button on the right.
struct Form
{
    Form()
    {
        window.setFixedSize(300, 200);
        bevel = new QFrame(&window);
        bevel->setGeometry(4, 6, 200, 40);
        label = new QLabel(QStringLiteral("Move From"), &window);
        label->setGeometry(12, 16, 64, 16);
        edit = new QLineEdit(&window);
        edit->setGeometry(79, 14, 100, 21);
        box = new QGroupBox(QStringLiteral("Data"), &window);
        box->setGeometry(4, 50, 200, 140);
        pane = new QPlainTextEdit(box);
        pane->setGeometry(8, 16, 184, 116);
        button = new QPushButton(QStringLiteral("&Close"), &window);
        button->setGeometry(215, 6, 75, 25);
    }
    QWidget window;
    QFrame* bevel;
    QLabel* label;
    QLineEdit* edit;
    QGroupBox* box;
    QPlainTextEdit* pane;
    QPushButton* button;
};

TEST(CaptionFit, ACaptionThatFitsLeavesTheDesignedLayout)
{
    Form form;
    form.label->setText(QStringLiteral("To"));
    EXPECT_EQ(widenToFitCaption(form.label), 0);
    EXPECT_EQ(form.label->geometry(), QRect(12, 16, 64, 16));
    EXPECT_EQ(form.edit->geometry(), QRect(79, 14, 100, 21));
    EXPECT_EQ(form.window.size(), QSize(300, 200));
    EXPECT_EQ(captionProblems(&form.window), QStringList {});
}

TEST(CaptionFit, ALabelTooNarrowForItsFontGrowsAndMakesRoomUpToTheWindow)
{
    Form form;
    QFont big = form.label->font();
    big.setPointSize(20);
    form.label->setFont(big);
    ASSERT_GT(captionShortfall(form.label), 0);
    EXPECT_FALSE(captionProblems(&form.window).isEmpty());

    const int dx = widenToFitCaption(form.label);

    ASSERT_GT(dx, 0);
    EXPECT_EQ(captionShortfall(form.label), 0);
    EXPECT_EQ(form.label->geometry(), QRect(12, 16, 64 + dx, 16));
    // What stood right of the label moves, what reaches across it grows, at any depth.
    EXPECT_EQ(form.edit->geometry(), QRect(79 + dx, 14, 100, 21));
    EXPECT_EQ(form.button->geometry(), QRect(215 + dx, 6, 75, 25));
    EXPECT_EQ(form.bevel->geometry(), QRect(4, 6, 200 + dx, 40));
    EXPECT_EQ(form.box->geometry(), QRect(4, 50, 200 + dx, 140));
    EXPECT_EQ(form.pane->geometry(), QRect(8, 16, 184 + dx, 116));
    // The window keeps a fixed size, dx wider.
    EXPECT_EQ(form.window.minimumSize(), QSize(300 + dx, 200));
    EXPECT_EQ(form.window.maximumSize(), QSize(300 + dx, 200));
    EXPECT_EQ(captionProblems(&form.window), QStringList {});
}

TEST(CaptionFit, AColumnOfLabelsGrowsOnceByWhatTheNeediestLacks)
{
    Form form;
    auto* below = new QLabel(QStringLiteral("Move To"), &form.window);
    below->setGeometry(12, 50, 64, 16);
    QFont big = form.label->font();
    big.setPointSize(20);
    form.label->setFont(big);
    big.setPointSize(24);
    below->setFont(big);
    const int needed = std::max(captionShortfall(form.label), captionShortfall(below));
    ASSERT_GT(captionShortfall(form.label), 0);

    EXPECT_EQ(widenToFitCaptions({form.label, below}), needed);

    EXPECT_EQ(form.label->width(), 64 + needed);
    EXPECT_EQ(below->width(), 64 + needed);
    EXPECT_EQ(form.edit->x(), 79 + needed);
    EXPECT_EQ(form.window.width(), 300 + needed);
}

TEST(CaptionFit, TheLongestItemOfADropDownDecides)
{
    QWidget window;
    auto* combo = new QComboBox(&window);
    combo->setGeometry(0, 0, 120, 21);
    combo->addItems({QStringLiteral("Merge"), QStringLiteral("Add this account as a new account named")});
    combo->setCurrentIndex(0);
    const int dx = captionShortfall(combo);
    ASSERT_GT(dx, 0);
    EXPECT_EQ(captionProblems(&window).size(), 1);
    combo->resize(120 + dx, 21);
    EXPECT_EQ(captionShortfall(combo), 0);
    EXPECT_EQ(captionProblems(&window), QStringList {});
}

TEST(CaptionFit, FilledEditsShowTheirStartAndTheWholeTextWhenCut)
{
    QLineEdit edit;
    edit.setReadOnly(true);
    edit.resize(60, 21);
    const QString longText = QStringLiteral("812: Montgomery-Wolstenholme, Bartholomew");
    showFilledText(&edit, longText);
    EXPECT_EQ(edit.cursorPosition(), 0);
    EXPECT_EQ(edit.toolTip(), longText);

    showFilledText(&edit, QStringLiteral("1: A"));
    EXPECT_EQ(edit.cursorPosition(), 0);
    EXPECT_EQ(edit.toolTip(), QString());
}

TEST(FixedSizeWindow, HintsOfferNeitherResizingNorMaximising)
{
    struct Case
    {
        MotifWmHints given;
        MotifWmHints expected;
    };
    const Case cases[] = {
        // As the toolkit announces a window with a title, system menu and close box.
        {{0x3, 0x26, 0x1e, 0, 0}, {0x3, 0x24, 0x1a, 0, 0}},
        // Everything offered but some: resizing and maximising join what is taken away.
        {{0x3, 0x1 | 0x8, 0x1, 0, 0}, {0x3, 0x1 | 0x8 | 0x2 | 0x10, 0x1 | 0x4 | 0x40, 0, 0}},
        // No hints yet: all but resizing and maximising.
        {{0, 0, 0, 0, 0}, {0x3, 0x1 | 0x2 | 0x10, 0x1 | 0x4 | 0x40, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(withoutResizing(c.given), c.expected);
}

} // namespace
} // namespace kolvix::test
