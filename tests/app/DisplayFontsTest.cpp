#include "app/DisplayFonts.h"
#include "support/FakePlatform.h"

#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTextEdit>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

namespace kolvix::test {
namespace {

enum class Kind { Label, PlainText, RichText, Table };

struct FontCase
{
    const char* what;
    Kind kind;
    bool ownFont;
    const char* family;
    int pointSize;
    const char* tagProperty; // nullptr: no tag
    int tag;
    const char* expectedFamily;
    int expectedSize;
};

const FontCase kCases[] = {
    {"designed system font", Kind::Label, true, "MS Sans Serif", 8, nullptr, 0, "Segoe UI", 9},
    {"11 point becomes 9", Kind::Label, true, "Arial", 11, nullptr, 0, "Segoe UI", 9},
    {"7 point stays", Kind::Label, true, "MS Sans Serif", 7, nullptr, 0, "Segoe UI", 7},
    {"12 point stays", Kind::Label, true, "MS Sans Serif", 12, nullptr, 0, "Segoe UI", 12},
    {"pane in Courier New keeps its size", Kind::PlainText, true, "Courier New", 8, nullptr, 0, "Consolas", 8},
    {"Courier New compared with case", Kind::PlainText, true, "courier new", 8, nullptr, 0, "Calibri", 9},
    {"pane in another font at 10", Kind::RichText, true, "Arial", 10, nullptr, 0, "Calibri", 9},
    {"pane in another font at 14", Kind::RichText, true, "Arial", 14, nullptr, 0, "Calibri", 14},
    {"tag 527 keeps the font", Kind::Label, true, "MS Sans Serif", 8, "Tag", 527, "MS Sans Serif", 8},
    {"tag found ignoring case", Kind::PlainText, true, "Courier New", 8, "tag", 527, "Courier New", 8},
    {"another tag changes", Kind::Label, true, "MS Sans Serif", 8, "Tag", 526, "Segoe UI", 9},
    {"grid with its own font", Kind::Table, true, "MS Sans Serif", 8, nullptr, 0, "Segoe UI", 9},
    {"grid with tag 527", Kind::Table, true, "MS Sans Serif", 8, "Tag", 527, "MS Sans Serif", 8},
};

void PrintTo(const FontCase& c, std::ostream* os)
{
    *os << c.what;
}

std::unique_ptr<QWidget> makeControl(Kind kind, QWidget* parent)
{
    switch (kind) {
    case Kind::Label:
        return std::make_unique<QLabel>(QStringLiteral("text"), parent);
    case Kind::PlainText:
        return std::make_unique<QPlainTextEdit>(parent);
    case Kind::RichText:
        return std::make_unique<QTextEdit>(parent);
    case Kind::Table:
        return std::make_unique<QTableView>(parent);
    }
    return nullptr;
}

class DisplayFontsTest : public ::testing::TestWithParam<FontCase>
{
protected:
    FakePlatform fakePlatform;
};

TEST_P(DisplayFontsTest, AppliesTheRuleToAControlAtAnyDepth)
{
    const FontCase& c = GetParam();
    QWidget window;
    auto* box = new QFrame(&window);
    auto* inner = new QFrame(box);
    auto control = makeControl(c.kind, inner);
    QFont designed(QString::fromLatin1(c.family), c.pointSize);
    control->setFont(designed);
    auto* table = qobject_cast<QTableView*>(control.get());
    if (table)
        table->horizontalHeader()->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    if (c.tagProperty)
        control->setProperty(c.tagProperty, c.tag);

    ApplyDisplayFonts(&window);

    EXPECT_EQ(control->font().family(), QString::fromLatin1(c.expectedFamily)) << c.what;
    EXPECT_EQ(control->font().pointSize(), c.expectedSize) << c.what;
    if (table) {
        const QFont title = table->horizontalHeader()->font();
        const bool kept = c.tagProperty != nullptr;
        EXPECT_EQ(title.family(), kept ? QStringLiteral("MS Sans Serif") : QStringLiteral("Segoe UI")) << c.what;
        EXPECT_EQ(title.pointSize(), kept ? 8 : 9) << c.what;
    }
    // The window and the frames have no font of their own and are left alone.
    EXPECT_FALSE(window.testAttribute(Qt::WA_SetFont));
    EXPECT_FALSE(box->testAttribute(Qt::WA_SetFont));
}

INSTANTIATE_TEST_SUITE_P(FontRule, DisplayFontsTest, ::testing::ValuesIn(kCases));

TEST(DisplayFonts, ControlsThatFollowTheWindowTakeItsNewFont)
{
    FakePlatform fakePlatform;
    QWidget window;
    window.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    auto* label = new QLabel(QStringLiteral("Move From"), &window);
    auto* pane = new QPlainTextEdit(&window);

    ApplyDisplayFonts(&window);

    for (QWidget* w : {&window, static_cast<QWidget*>(label), static_cast<QWidget*>(pane)}) {
        EXPECT_EQ(w->font().family(), QStringLiteral("Segoe UI"));
        EXPECT_EQ(w->font().pointSize(), 9);
    }
    // The followers still follow: they did not get a font of their own.
    EXPECT_FALSE(label->testAttribute(Qt::WA_SetFont));
    EXPECT_FALSE(pane->testAttribute(Qt::WA_SetFont));
}

TEST(DisplayFonts, BeforeVistaNothingChanges)
{
    for (int version : {4, 5}) {
        FakePlatform fakePlatform;
        fakePlatform.windowsVersion = version;
        QWidget window;
        window.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
        auto* pane = new QPlainTextEdit(&window);
        pane->setFont(QFont(QStringLiteral("Courier New"), 8));

        ApplyDisplayFonts(&window);

        EXPECT_EQ(window.font().family(), QStringLiteral("MS Sans Serif")) << version;
        EXPECT_EQ(window.font().pointSize(), 8) << version;
        EXPECT_EQ(pane->font().family(), QStringLiteral("Courier New")) << version;
    }
}

TEST(DisplayFonts, AControlWithATitleFontPropertyGetsSegoeUi9)
{
    FakePlatform fakePlatform;
    QWidget window;
    auto* grid = new QWidget(&window);
    grid->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    grid->setProperty("titlefont", QFont(QStringLiteral("MS Sans Serif"), 10));

    ApplyDisplayFonts(&window);

    const QFont title = grid->property("titlefont").value<QFont>();
    EXPECT_EQ(title.family(), QStringLiteral("Segoe UI"));
    EXPECT_EQ(title.pointSize(), 9);
}

} // namespace
} // namespace kolvix::test
