// Every statement template the program sends (tests/support/TsqlTemplates.cpp), adapted for the
// embedded engine and run on a database built from the schema; plus the cases where adaptation
// must leave text alone.

#include "db/TsqlAdapter.h"
#include "db/Command.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "support/TestDatabase.h"
#include "support/TsqlTemplates.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

using Case = StatementTemplate;

// Two clients as the merge sees them, To 57 and From 812, with a little of everything.
const char* const kFixture = R"SQL(
INSERT INTO Client (ClientID, Name, Surname, Active, Mobile, PXAccess, PXVerified, PXEmail, PendingClient) VALUES
  (812, 'Joe', 'Smith', 'T', '0412 345 678', 1, 1, '', 0),
  (57, 'Jo', 'Smithers', 'T', NULL, 0, 0, NULL, 0),
  (90, 'Ann', 'Archer', 'F', '0399 000 111', 0, 0, NULL, 0);
INSERT INTO Account (ClientID, AccountID, GroupID, ShortDescription) VALUES
  (812, 0, NULL, 'Primary'), (812, 2, NULL, 'WorkCover'), (57, 0, NULL, 'Primary'), (57, 1, 812, 'Medicare');
INSERT INTO Trans (ClientID, AccountID, Amount) VALUES (812, 0, 10), (812, 2, 5);
INSERT INTO PXClientForgotPassword (ClientID, ExpiryDate, Activated) VALUES
  (812, '2026-01-15 17:30:00', 0), (812, '2026-01-14 23:00:00', 0), (812, '2026-02-01 00:00:00', 1);
INSERT INTO PXClientLink (ClientID, GroupID) VALUES (90, 812);
INSERT INTO PXPendingClient (GuestClientID, ParentID) VALUES (57, 57);
INSERT INTO PXClientPracPermissions (PXClientPracPermissionsID, ClientID, AllowPracID, AllowPGroupID) VALUES
  (11, 57, 1, 1), (12, 57, 1, 1), (13, 57, 1, 1);
INSERT INTO PatCat (ClientID, CategoryID) VALUES (57, 7), (812, 7), (812, 9);
INSERT INTO Relation (RelationID, Description, MergeID) VALUES (1, 'RelY', 1), (2, 'RelW', 2);
INSERT INTO Contact (ContactID, Name, Surname, ContactType) VALUES
  (1, 'Contact', 'A', 'TypeX'), (2, 'Contact', 'B', 'TypeX'), (3, 'Contact', 'C', 'TypeZ');
INSERT INTO ClientContact (ClientID, ContactID, RelationID) VALUES (57, 1, 1), (812, 2, 1), (57, 3, 2), (812, 3, 2);
)SQL";

// Columns of the main window's count statement, each a count by the client id.
constexpr int kCountColumnCount = 21;

// One database for all templates; each case runs inside a transaction that is rolled back.
class TemplateTest : public ::testing::TestWithParam<Case>
{
protected:
    static void SetUpTestSuite()
    {
        db = new TestDatabase;
        db->exec(QString::fromUtf8(kFixture));
    }
    static void TearDownTestSuite()
    {
        delete db;
        db = nullptr;
    }
    void SetUp() override
    {
        connection.setConnectionString(db->connectionString());
        connection.open();
        connection.beginTransaction();
    }
    void TearDown() override { connection.rollbackTransaction(); }

    static TestDatabase* db;
    Connection connection;
};

TestDatabase* TemplateTest::db = nullptr;

bool returnsRows(const QString& adapted)
{
    return adapted.trimmed().startsWith(QStringLiteral("SELECT"), Qt::CaseInsensitive);
}

TEST_P(TemplateTest, AdaptsAndRuns)
{
    const Case& c = GetParam();
    const QString adapted = adaptTsqlForSqlite(c.tsql);
    EXPECT_EQ(adapted.toStdString(), (c.adapted.isNull() ? c.tsql : c.adapted).toStdString());

    try {
        if (returnsRows(adapted)) {
            Dataset ds(connection);
            ds.setSql(c.tsql);
            for (int i = 0; i < c.params.size(); ++i)
                ds.setParamAt(i, c.params[i]);
            ds.open();
            EXPECT_GT(ds.fieldCount(), 0);
            if (c.rows >= 0) {
                EXPECT_EQ(ds.recordCount(), c.rows);
            }
            if (!c.firstValue.isNull()) {
                ASSERT_FALSE(ds.isEmpty());
                EXPECT_EQ(ds.field(0).asString(), c.firstValue);
            }
        } else {
            Command cmd(connection, 60);
            cmd.setCommandText(c.tsql);
            const int affected = cmd.execute();
            if (c.rows >= 0) {
                EXPECT_EQ(affected, c.rows);
            }
        }
    } catch (const DbError& e) {
        FAIL() << "the adapted statement failed: " << e.message().toStdString() << "\n" << adapted.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateTest, ::testing::ValuesIn(embeddedStatementTemplates()),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// ---- Literal safety and the edges of each rewrite --------------------------------------------

struct Rewrite
{
    const char* name;
    const char* tsql;
    const char* adapted; // nullptr: unchanged
};

void PrintTo(const Rewrite& r, std::ostream* os)
{
    *os << r.name;
}

class RewriteTest : public ::testing::TestWithParam<Rewrite>
{
};

TEST_P(RewriteTest, Adapts)
{
    const Rewrite& r = GetParam();
    const QString tsql = QString::fromUtf8(r.tsql);
    EXPECT_EQ(adaptTsqlForSqlite(tsql).toStdString(), r.adapted ? std::string(r.adapted) : std::string(r.tsql));
}

INSTANTIATE_TEST_SUITE_P(
    Edges, RewriteTest,
    ::testing::Values(
        // Literals, names and comments are never altered.
        Rewrite {"LiteralWithKeywords",
                 "SELECT COUNT(*) FROM Account WHERE ShortDescription = 'O''Brien TOP 5 SYS.TABLES'", nullptr},
        Rewrite {"CommentMarksInLiterals", "SELECT 'a -- b', 'ISNULL(x) dbo.f' FROM Client WHERE Surname = 'x /* y'",
                 nullptr},
        Rewrite {"BracketedKeywords", "SELECT [TOP] FROM (SELECT 1 AS [TOP], 2 AS [SYS.TABLES])", nullptr},
        Rewrite {"EscapedBracketQuotedNameAndComment", "SELECT [a]]TOP 5] FROM \"TOP 3\" -- SELECT TOP 1 ISNULL(\n",
                 nullptr},
        Rewrite {"NestedBlockComment", "/* DECLARE @x INT /* SET @x = 1 */ TOP 3 */ SELECT 1", nullptr},
        Rewrite {"UpdateWithApostrophe", "UPDATE Account SET ShortDescription = 'It''s' WHERE ClientID = 1", nullptr},
        // TOP: the LIMIT goes before trailing comments and blanks, after an ORDER BY.
        Rewrite {"LimitBeforeTrailingComment", "SELECT TOP 5 * FROM Client -- TOP 3\r\n",
                 "SELECT * FROM Client LIMIT 5 -- TOP 3\r\n"},
        Rewrite {"DistinctTopInParentheses", "select distinct top (7) Surname from Client order by Surname",
                 "select distinct Surname from Client order by Surname LIMIT 7"},
        Rewrite {"TopInsideAnInList",
                 "SELECT TOP 5 * FROM Client WHERE ClientID IN (SELECT TOP 3 ClientID FROM Account)",
                 "SELECT * FROM Client WHERE ClientID IN (SELECT ClientID FROM Account LIMIT 3) LIMIT 5"},
        Rewrite {"NestedTops",
                 "SELECT TOP 2 * FROM (SELECT TOP 5 ClientID FROM Client ORDER BY ClientID) T ORDER BY ClientID DESC",
                 "SELECT * FROM (SELECT ClientID FROM Client ORDER BY ClientID LIMIT 5) T ORDER BY ClientID DESC LIMIT "
                 "2"},
        Rewrite {"TopBeforeUnion", "SELECT TOP 1 ClientID FROM Client UNION SELECT GroupID FROM PXClientLink",
                 "SELECT * FROM (SELECT ClientID FROM Client LIMIT 1) UNION SELECT GroupID FROM PXClientLink"},
        Rewrite {"TopEndsAtSemicolon", "SELECT TOP 3 ClientID FROM Client; SELECT 1",
                 "SELECT ClientID FROM Client LIMIT 3; SELECT 1"},
        Rewrite {"CommentsBetweenTopAndItsNumberStay", "SELECT TOP -- the first\n/* five */ 5 * FROM Client",
                 "SELECT -- the first\n/* five */ * FROM Client LIMIT 5"},
        Rewrite {"TopPercentStays", "SELECT TOP 10 PERCENT * FROM Client", nullptr},
        // UPDATE TOP (n): n of the rows the condition selects, by the engine's row ids.
        Rewrite {"UpdateTopTakesRowsByRowid",
                 "UPDATE TOP (2) [Documents] SET [ClientID] = :Old WHERE [ClientID] = :New AND [Title] = 'a (b)'",
                 "UPDATE [Documents] SET [ClientID] = :Old WHERE rowid IN (SELECT rowid FROM [Documents] WHERE "
                 "[ClientID] = :New AND [Title] = 'a (b)' LIMIT 2)"},
        Rewrite {"UpdateTopWithoutCondition", "UPDATE TOP (1) Appoint SET ClientID = 5",
                 "UPDATE Appoint SET ClientID = 5 WHERE rowid IN (SELECT rowid FROM Appoint LIMIT 1)"},
        // OFFSET ... FETCH: a page of an ordered result.
        Rewrite {
            "OffsetFetchBecomesLimitOffset",
            "SELECT * FROM Client\r\nORDER BY Surname\r\n, ClientID\r\nOFFSET 900 ROWS FETCH NEXT 50 ROWS ONLY\r\n",
            "SELECT * FROM Client\r\nORDER BY Surname\r\n, ClientID\r\nLIMIT 50 OFFSET 900\r\n"},
        Rewrite {"OffsetFetchFirstRow", "select * from Client order by ClientID offset 0 row fetch first 1 row only",
                 "select * from Client order by ClientID LIMIT 1 OFFSET 0"},
        Rewrite {"OffsetWithoutFetchStays", "SELECT [Offset] FROM Client ORDER BY ClientID OFFSET 5 ROWS", nullptr},
        // Variables.
        Rewrite {
            "NegativeVariable",
            "DECLARE @v INT\r\nSET @v = -1\r\nSELECT COUNT(*) FROM Client WHERE ClientID = @v OR ReferredByID = @V",
            "SELECT COUNT(*) FROM Client WHERE ClientID = -1 OR ReferredByID = -1"},
        Rewrite {
            "DeclaredListAndSemicolons",
            "DECLARE @s VARCHAR(20), @n AS NUMERIC(12,2);\nSET @s = 'a''b';\nSET @n = NULL;\nSELECT @s, @n, @other",
            "SELECT 'a''b', NULL, @other"},
        Rewrite {"UpdateSetIsNoVariable", "UPDATE [Client] SET [Name] = 'x' WHERE [ClientID] = 1", nullptr},
        // Names and functions.
        Rewrite {"DboAndIsnull",
                 "SELECT dbo.onlyNumericChars(Mobile), ISNULL (Email, ''), Email ISNULL FROM dbo.Client, "
                 "[DBO].[Account]",
                 "SELECT onlyNumericChars(Mobile), IFNULL (Email, ''), Email ISNULL FROM Client, [Account]"},
        Rewrite {"DboElsewhereStays", "SELECT x.dbo.f, [dbo], dbo FROM T", nullptr},
        Rewrite {"LongestTextTypes", "CREATE TABLE T (A NVARCHAR(MAX) NULL, B varchar ( max ), C VARBINARY(MAX))",
                 "CREATE TABLE T (A NVARCHAR NULL, B varchar , C VARBINARY)"},
        Rewrite {"MaxElsewhereStays", "SELECT MAX(AuditID), [VARCHAR](MAX) FROM Audit", nullptr},
        // Date literals only on the right of a comparison, and only real dates.
        Rewrite {"DateLiterals", "SELECT 1 FROM Client WHERE CreatedDate >= '2026.02.28' AND CreatedDate<'20260301'",
                 "SELECT 1 FROM Client WHERE CreatedDate >= '2026-02-28 00:00:00' AND CreatedDate<'2026-03-01 "
                 "00:00:00'"},
        Rewrite {"NotDateLiteralsOrPositions",
                 "SELECT 1 FROM Client WHERE CreatedDate = '20261310' OR FileNo IN ('20260101') OR FileNo = '2026010'",
                 nullptr},
        Rewrite {"DateLikeAccountName", "INSERT INTO Account (ClientID, ShortDescription) SELECT 1, '20261210'",
                 nullptr}),
    [](const ::testing::TestParamInfo<Rewrite>& info) { return std::string(info.param.name); });

// ---- Parameters --------------------------------------------------------------------------------

TEST(PositionalParametersTest, ReplacesParametersOutsideLiteralsInOrderOfOccurrence)
{
    const ParameterisedStatement p
        = positionalParameters(QStringLiteral("SELECT ':skip', [a:b], \"c:d\" FROM T -- :comment\r\nWHERE x = "
                                              ":First AND y = :second_2 OR z = :First /* :no */"));
    EXPECT_EQ(p.text.toStdString(),
              "SELECT ':skip', [a:b], \"c:d\" FROM T -- :comment\r\nWHERE x = ? AND y = ? OR z = ? /* :no */");
    EXPECT_EQ(p.occurrences,
              (QStringList {QStringLiteral("First"), QStringLiteral("second_2"), QStringLiteral("First")}));
}

TEST(PositionalParametersTest, CountStatementBindsItsParameterAtEveryUse)
{
    ParameterisedStatement p = positionalParameters(adaptTsqlForSqlite(countStatement(QStringLiteral("@CID"))));
    EXPECT_EQ(p.occurrences.size(), kCountColumnCount);
    p.occurrences.removeDuplicates();
    EXPECT_EQ(p.occurrences, QStringList {QStringLiteral("ClientID")});
}

TEST(FirstFromTableTest, NamesTheTableAfterTheFirstOuterFrom)
{
    EXPECT_EQ(firstFromTable(QStringLiteral("SELECT TOP 1 *\r\nFROM Audit")), QStringLiteral("Audit"));
    EXPECT_EQ(firstFromTable(QStringLiteral("SELECT (SELECT 1 FROM X) FROM [dbo].[Account] A")),
              QStringLiteral("[dbo].[Account]"));
    EXPECT_EQ(firstFromTable(QStringLiteral("SELECT 'FROM x' AS f FROM (SELECT 1) T")), QString());
}

// ---- What the adapted text does --------------------------------------------------------------

class AdaptedEffectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db.exec(QString::fromUtf8(kFixture));
        connection.setConnectionString(db.connectionString());
        connection.open();
    }

    void execute(const QString& sql)
    {
        Command cmd(connection);
        cmd.setCommandText(sql);
        cmd.execute();
    }

    TestDatabase db;
    Connection connection;
};

TEST_F(AdaptedEffectTest, NewAccountNameIsStoredExactlyAsTyped)
{
    execute(copyAccount(namedAccountValues()));
    execute(
        copyAccount(QString(dateLikeNamedAccountValues()).replace(QStringLiteral("57,2,"), QStringLiteral("57,4,"))));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT ShortDescription FROM Account WHERE ClientID = 57 AND AccountID = 2")),
              QStringLiteral("O'Brien TOP 5 SYS.TABLES"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT ShortDescription FROM Account WHERE ClientID = 57 AND AccountID = 4")),
              QStringLiteral("20261210"));
    execute(copyAccount(unnamedAccountValues()));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT ShortDescription FROM Account WHERE ClientID = 57 AND AccountID = 3")),
              QStringLiteral("Primary"));
}

TEST_F(AdaptedEffectTest, DeleteDuplicatesRemovesTheSmallestIdPerRun)
{
    Command cmd(connection, 60);
    for (const Case& c : statementTemplates())
        if (std::string(c.name) == "deleteDuplicates")
            cmd.setCommandText(c.tsql);
    EXPECT_EQ(cmd.execute(), 1);
    EXPECT_EQ(cmd.execute(), 1);
    EXPECT_EQ(cmd.execute(), 0);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT GROUP_CONCAT(PXClientPracPermissionsID) FROM PXClientPracPermissions")),
              QStringLiteral("13"));
}

} // namespace
} // namespace kolvix::test
