// A search opened on a practice built from the schema and read a few rows at a time.

#include "search/SearchQueryCursor.h"
#include "search/SearchQuery.h"
#include "support/QtPrinting.h"
#include "support/TestDatabase.h"

#include "db/Connection.h"
#include "db/DbError.h"

#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

class SearchQueryCursorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db.exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 120) "
            "INSERT INTO Client (ClientID, Surname, Name, Active, Mobile) "
            "SELECT i, 'Lee' || printf('%03d', i), 'Kim', 'T', CASE WHEN i = 1 THEN '04 1' END FROM n;"));
        connection.setConnectionString(db.connectionString());
        connection.open();
    }

    static SearchQuery showAll()
    {
        SearchRequest request;
        request.showAll = true;
        return buildSearchQuery(request);
    }

    TestDatabase db;
    Connection connection;
};

TEST_F(SearchQueryCursorTest, ReadsRowsAsTheyAreAskedFor)
{
    SearchQueryCursor cursor(connection, showAll());
    EXPECT_EQ(cursor.rowCount(), 0);
    EXPECT_EQ(cursor.fetch(25), 25);
    EXPECT_FALSE(cursor.atEnd());
    EXPECT_EQ(cursor.fetch(25), 25);
    EXPECT_EQ(cursor.rowCount(), 50);
    const int surname = cursor.columnIndex(QStringLiteral("surname"));
    ASSERT_GE(surname, 0);
    EXPECT_EQ(cursor.value(0, surname).toString(), QStringLiteral("Lee001"));
    EXPECT_EQ(cursor.value(49, surname).toString(), QStringLiteral("Lee050"));
    EXPECT_EQ(cursor.fetch(-1), 70);
    EXPECT_TRUE(cursor.atEnd());
    EXPECT_EQ(cursor.fetch(10), 0);
    EXPECT_EQ(cursor.value(119, surname).toString(), QStringLiteral("Lee120"));
    // Null and out of range read as an invalid value.
    const int mobile = cursor.columnIndex(QStringLiteral("Mobile"));
    EXPECT_EQ(cursor.value(0, mobile).toString(), QStringLiteral("04 1"));
    EXPECT_FALSE(cursor.value(1, mobile).isValid());
    EXPECT_FALSE(cursor.value(120, surname).isValid());
    EXPECT_FALSE(cursor.value(0, -1).isValid());
    EXPECT_EQ(cursor.columnIndex(QStringLiteral("RawMobile")), -1);
}

TEST_F(SearchQueryCursorTest, ALongResultCanBeReadOnceInBatches)
{
    SearchQueryCursor cursor(connection, showAll());
    const int surname = cursor.columnIndex(QStringLiteral("Surname"));
    QStringList read;
    while (cursor.fetch(50) > 0) {
        EXPECT_LE(cursor.rowCount(), 50);
        for (int row = 0; row < cursor.rowCount(); ++row)
            read << cursor.value(row, surname).toString();
        cursor.discardRows();
    }
    ASSERT_EQ(read.size(), 120);
    EXPECT_EQ(read.first(), QStringLiteral("Lee001"));
    EXPECT_EQ(read.last(), QStringLiteral("Lee120"));
}

TEST_F(SearchQueryCursorTest, AMobileSearchCarriesTheDigitsBeside)
{
    SearchRequest request;
    request.field = int(SearchField::Mobile);
    request.text = QStringLiteral("04 1");
    SearchQueryCursor cursor(connection, buildSearchQuery(request));
    EXPECT_EQ(cursor.fetch(-1), 1);
    EXPECT_EQ(cursor.value(0, cursor.columnIndex(QStringLiteral("RawMobile"))).toString(), QStringLiteral("041"));
}

TEST_F(SearchQueryCursorTest, FailuresCarryTheClientsMessage)
{
    db.exec(QStringLiteral(
        "DROP VIEW PatientSearchBPAY;"
        "DROP VIEW PatientSearch; CREATE VIEW PatientSearch AS SELECT ClientID, Surname, Name, Active FROM Client;"));
    try {
        SearchQueryCursor cursor(connection, showAll());
        FAIL() << "a result without the dialog's columns opened";
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Field 'PreferredName' not found"));
    }
    SearchRequest request;
    request.field = int(SearchField::ClaimNo);
    request.text = QStringLiteral("1");
    try {
        SearchQueryCursor cursor(connection, buildSearchQuery(request));
        FAIL() << "a search on a missing view opened";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("PatientSearchBPAY"))) << e.message().toStdString();
    }
}

} // namespace
} // namespace kolvix::test
