// Pairs marked as different people: one row whichever way round the pair is named, the table
// created on first use as the schema defines it, the mark named with when, by whom and why, and
// a mark removed only once.

#include "ledger/DistinctPairs.h"

#include "db/Connection.h"
#include "support/FakePlatform.h"
#include "support/TestDatabase.h"

#include <QSqlDatabase>
#include <QSqlRecord>
#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

class DistinctPairsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db.exec("INSERT INTO Client (ClientID, Surname, Name) VALUES (20, 'Harper', 'Louise'), (35, 'Harper', "
                "'Lucy'), (41, 'Quinn', 'Harriet')");
        connection.setConnectionString(db.connectionString());
        connection.open();
        platform.computer = QStringLiteral("reception-2");
        platform.user = QStringLiteral("jane");
    }

    // The columns of the table as the database has it.
    QStringList columns()
    {
        const QSqlRecord record = connection.database().record(QStringLiteral("KolvixDistinctPair"));
        QStringList names;
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i);
        return names;
    }

    FakePlatform platform;
    TestDatabase db;
    Connection connection;
};

TEST_F(DistinctPairsTest, APairIsOneRowWhicheverWayRoundItIsNamed)
{
    EXPECT_FALSE(findDistinctPair(connection, 35, 20));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    markDistinctPair(connection, 35, 20, QStringLiteral("  twins \n"));
    EXPECT_EQ(db.scalar("SELECT FirstClientID || '-' || SecondClientID || '|' || Workstation || '|' || UserName || "
                        "'|' || Note FROM KolvixDistinctPair"),
              "20-35|reception-2|jane|twins");
    for (const auto& [a, b] : {std::pair {20, 35}, std::pair {35, 20}}) {
        const std::optional<DistinctPair> mark = findDistinctPair(connection, a, b);
        ASSERT_TRUE(mark) << a << " " << b;
        EXPECT_EQ(mark->first, 20);
        EXPECT_EQ(mark->second, 35);
        EXPECT_GE(mark->when, before);
        EXPECT_EQ(mark->note, "twins");
    }
    EXPECT_FALSE(findDistinctPair(connection, 20, 41));
    EXPECT_FALSE(findDistinctPair(connection, 20, 20));

    // Removed once, from either side.
    EXPECT_TRUE(unmarkDistinctPair(connection, 20, 35));
    EXPECT_FALSE(unmarkDistinctPair(connection, 35, 20));
    EXPECT_FALSE(findDistinctPair(connection, 20, 35));
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM KolvixDistinctPair"), 0);
}

TEST_F(DistinctPairsTest, TheTableIsCreatedOnFirstUseAsTheSchemaDefinesIt)
{
    const QStringList schemaColumns = columns();
    ASSERT_EQ(schemaColumns.size(), 6);
    db.exec("DROP TABLE KolvixDistinctPair");
    // A database without the table has no marks, and reading creates nothing.
    EXPECT_FALSE(findDistinctPair(connection, 20, 35));
    EXPECT_TRUE(readDistinctPairs(connection).empty());
    EXPECT_FALSE(unmarkDistinctPair(connection, 20, 35));
    EXPECT_TRUE(columns().isEmpty());

    markDistinctPair(connection, 20, 35, {});
    EXPECT_EQ(columns(), schemaColumns);
    EXPECT_TRUE(findDistinctPair(connection, 20, 35));
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM KolvixDistinctPair WHERE Note IS NULL"), 1);
    // The smaller id comes first in every row, whatever writes it.
    EXPECT_ANY_THROW(db.exec("INSERT INTO KolvixDistinctPair (FirstClientID, SecondClientID) VALUES (41, 20)"));
}

TEST_F(DistinctPairsTest, EveryMarkIsListedWithTheClientsNamesAsTheyAreNow)
{
    markDistinctPair(connection, 41, 20, QStringLiteral("not related"));
    markDistinctPair(connection, 35, 20, {});
    db.exec("UPDATE Client SET Surname = 'Quinn-Smith' WHERE ClientID = 41; DELETE FROM Client WHERE ClientID = 35");
    const std::vector<DistinctPair> pairs = readDistinctPairs(connection);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].first, 20);
    EXPECT_EQ(pairs[0].second, 35);
    EXPECT_EQ(pairs[0].firstName, "Harper, Louise");
    EXPECT_EQ(pairs[0].secondName, "");
    EXPECT_EQ(pairs[1].second, 41);
    EXPECT_EQ(pairs[1].secondName, "Quinn-Smith, Harriet");
    EXPECT_EQ(pairs[1].note, "not related");
    EXPECT_EQ(pairs[1].userName, "jane");
}

TEST(DistinctPairDescription, NamesWhenByWhomAndWhyOnOneLine)
{
    const QDateTime when(QDate(2026, 12, 11), QTime(9, 30));
    struct Case
    {
        QDateTime when;
        const char* workstation;
        const char* user;
        const char* note;
        const char* description;
    };
    const Case cases[] = {
        {when, "reception-2", "jane", "", "marked as different people on 11/12/2026 by jane at reception-2"},
        {when, "reception-2", "", "twins", "marked as different people on 11/12/2026 by reception-2 (note: twins)"},
        {when, "", "jane", "", "marked as different people on 11/12/2026 by jane"},
        {{}, "", "", "", "marked as different people"},
        {when, "PC01", "jane", "mother and\ndaughter",
         "marked as different people on 11/12/2026 by jane at PC01 (note: mother and daughter)"},
    };
    for (const Case& c : cases) {
        DistinctPair pair;
        pair.when = c.when;
        pair.workstation = QString::fromUtf8(c.workstation);
        pair.userName = QString::fromUtf8(c.user);
        pair.note = QString::fromUtf8(c.note);
        EXPECT_EQ(pair.description(), QString::fromUtf8(c.description));
    }
}

} // namespace
} // namespace kolvix::test
