// The catalogue of the merge against the tables the tests name (tests/support/MovedTables):
// the one place where the tests' list meets the engine's.

#include "merge/RecordMovers.h"
#include "support/MovedTables.h"
#include "support/QtPrinting.h"

#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

TEST(RecordMovers, TheCatalogueMovesTheColumnsTheTestsName)
{
    QStringList engine;
    for (const CatalogueTable& entry : catalogueColumns())
        engine << QString::fromLatin1(entry.table) + u'.' + QString::fromLatin1(entry.column);
    QStringList named;
    for (const MovedColumn& moved : movedColumns())
        named << moved.table + u'.' + moved.column;
    EXPECT_EQ(engine, named);
}

TEST(RecordMovers, TheCatalogueMovesTheTablesTheTestsNameAccountByAccount)
{
    QStringList engine;
    for (const QString& table : accountKeyedTables())
        engine << table;
    EXPECT_EQ(engine, tablesMovedByAccount());
}

} // namespace
} // namespace kolvix::test
