// How kolvix-merge prints a value within a line: what is escaped, what is left as it is, and
// a row of cells that stays one line.

#include "cli/Output.h"

#include <gtest/gtest.h>

namespace kolvix::cli {
namespace {

TEST(OutputTest, PrintableEscapesWhatWouldActInsteadOfShow)
{
    struct Case
    {
        QString value;
        QString printed;
    };
    const Case cases[] = {
        {"", ""},
        {"O'Brien, Pat", "O'Brien, Pat"},
        {QString::fromUtf8("Müller 日本 \xF0\x9F\x98\x80"), QString::fromUtf8("Müller 日本 \xF0\x9F\x98\x80")},
        {"C:\\Data\\x41", "C:\\Data\\x41"}, // a backslash is text
        {QString("Nul") + QChar(0) + "End", "Nul\\0End"},
        {"a\tb", "a\\tb"},
        {"line\r\nnext\n", "line\\r\\nnext\\n"},
        {QString("esc") + QChar(0x1B) + "[2J", "esc\\x1B[2J"},
        {QString("unit") + QChar(0x1F), "unit\\x1F"},
        {QString("del") + QChar(0x7F), "del\\x7F"},
        {QString("next line") + QChar(0x85), "next line\\x85"},
        {QString("lines") + QChar(0x2028) + QChar(0x2029), "lines\\u2028\\u2029"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(printable(c.value), c.printed) << c.printed.toStdString();
}

TEST(OutputTest, TabSeparatedKeepsEveryCellAndOneLine)
{
    const QString line = tabSeparated({QString("Sur") + QChar(0) + "name", "", "a\tb\nc", "333"});
    EXPECT_EQ(line, "Sur\\0name\t\ta\\tb\\nc\t333");
    EXPECT_EQ(line.split('\t').size(), 4);
    EXPECT_EQ(tabSeparated({}), "");
}

} // namespace
} // namespace kolvix::cli
