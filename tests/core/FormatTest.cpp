#include "core/Format.h"
#include "core/TextHelpers.h"

#include <gtest/gtest.h>

using namespace kolvix;

TEST(FormatTest, Placeholders)
{
    EXPECT_EQ(Format("moveClient [%s].[%s] updating %d to %d", {QString("Appoint"), QString("ClientID"), 812, 57}),
              "moveClient [Appoint].[ClientID] updating 812 to 57");
    EXPECT_EQ(Format("SET @ToID   = %0:d\r\nSET @FromID = %1:d\r\nWHERE x = %0:d", {57, 812}),
              "SET @ToID   = 57\r\nSET @FromID = 812\r\nWHERE x = 57");
    EXPECT_EQ(Format("%*s  %s", {5, QString("12"), QString("Appointments")}), "   12  Appointments");
    EXPECT_EQ(Format("fraAction%.02d", {3}), "fraAction03");
    EXPECT_EQ(Format("fraAction%.02d", {123}), "fraAction123");
    EXPECT_EQ(Format("%d%%", {-5}), "-5%");
    EXPECT_EQ(Format("%s/%s", {QString("100%"), QString("%d")}), "100%/%d");
}

TEST(FormatTest, ArgumentsThatDoNotFitFail)
{
    EXPECT_THROW(Format("%d", {QString("x")}), FormatError);
    EXPECT_THROW(Format("%s", {5}), FormatError);
    EXPECT_THROW(Format("%s %s", {QString("a")}), FormatError);
    EXPECT_THROW(Format("%q", {QString("a")}), FormatError);
}

TEST(TextHelpersTest, SameTextFoldsOnlyAsciiLetters)
{
    EXPECT_TRUE(sameText("Medicare", "MEDICARE"));
    EXPECT_FALSE(sameText("Zoë", "ZOË"));
    EXPECT_FALSE(sameText("a", "a "));
}

TEST(TextHelpersTest, JoinLinesDropsBlankLinesAndIndentation)
{
    EXPECT_EQ(joinLines({"a", "   ", "\tb"}), "a\r\nb");
    EXPECT_EQ(joinNonBlank(", ", {" ", "\t"}), "");
    EXPECT_FALSE(hasText(QString("\t\r\n ")));
}

TEST(TextHelpersTest, JoinListClampsItsBounds)
{
    const QStringList list = {"a", "b", "c"};
    EXPECT_EQ(joinList(list, ", ", 0, -1), "a, b, c");
    EXPECT_EQ(joinList(list, ", ", 1, 99), "b, c");
    EXPECT_EQ(joinList(list, ", ", -4, 0), "a");
    EXPECT_EQ(joinList(list, ", ", 7, -1), "c");
    EXPECT_EQ(joinList({}, ", ", 0, -1), "");
    EXPECT_EQ(joinList({"x"}, ", ", 5, 2), "x");
}

TEST(TextHelpersTest, DisplayName)
{
    EXPECT_EQ(displayName(" Sample ", "One"), "Sample, One");
    EXPECT_EQ(displayName("  ", "J"), "J");
    EXPECT_EQ(displayName("Sample", ""), "Sample");
    EXPECT_EQ(displayName(" ", "\t"), "");
}
