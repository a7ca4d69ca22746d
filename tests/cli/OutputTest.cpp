// How kolvix-merge writes a row of cells: each cell escaped (core/TextHelpers), the row one line
// of exactly its cells.

#include "cli/Output.h"

#include <gtest/gtest.h>

namespace kolvix::cli {
namespace {

TEST(OutputTest, TabSeparatedKeepsEveryCellAndOneLine)
{
    const QString line = tabSeparated({QString("Sur") + QChar(0) + "name", "", "a\tb\nc", "\"Bob\"", "C:\\t", "333"});
    EXPECT_EQ(line, "Sur\\x00name\t\ta\\tb\\nc\t\\\"Bob\"\tC:\\\\t\t333");
    EXPECT_EQ(line.split('\t').size(), 6);
    EXPECT_FALSE(line.contains('\n'));
    EXPECT_EQ(tabSeparated({}), "");
}

} // namespace
} // namespace kolvix::cli
