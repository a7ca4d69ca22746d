// Every statement template the program sends, adapted for the embedded engine and run on a
// database built from the schema; plus the cases where adaptation must leave text alone.

#include "db/TsqlAdapter.h"
#include "db/Command.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "merge/ContactConflict.h"
#include "merge/Statistics.h"
#include "support/TestDatabase.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

const QString CRLF = QStringLiteral("\r\n");

QString lines(const QStringList& list)
{
    return list.join(CRLF);
}

// Lines each ended by CR LF, as the search query builder writes them.
QString endedLines(const QStringList& list)
{
    return list.join(CRLF) + CRLF;
}

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

const QString kAccountColumns = QStringLiteral(
    "[ClientID],[AccountID],[GroupID],[ClaimNumber],[BPayRefNo],[ShortDescription],[Description],[Balance],"
    "[IsAGroup],[Active],[CreatedDate]");

QString copyAccount(const QString& values)
{
    return QStringLiteral(
               "INSERT INTO Account (%1)  SELECT TOP 1 %2  FROM Account  WHERE ClientID = 812 AND AccountID = 0")
        .arg(kAccountColumns, values);
}

QString adaptedCopyAccount(const QString& values)
{
    return QStringLiteral(
               "INSERT INTO Account (%1)  SELECT %2  FROM Account  WHERE ClientID = 812 AND AccountID = 0 LIMIT 1")
        .arg(kAccountColumns, values);
}

const QString kNamedValues = QStringLiteral("57,2,[GroupID],[ClaimNumber],[BPayRefNo],'O''Brien TOP 5 "
                                            "SYS.TABLES',[Description],[Balance],[IsAGroup],[Active],"
                                            "[CreatedDate]");
const QString kDateLikeNamedValues = QStringLiteral("57,2,[GroupID],[ClaimNumber],[BPayRefNo],'20261210',["
                                                    "Description],[Balance],[IsAGroup],[Active],[CreatedDate]");
const QString kUnnamedValues = QStringLiteral(
    "57,3,[GroupID],[ClaimNumber],[BPayRefNo],[ShortDescription],[Description],[Balance],[IsAGroup],[Active],"
    "[CreatedDate]");

const QString kSysTables = QStringLiteral("(SELECT name COLLATE NOCASE AS Name FROM sqlite_master WHERE type = "
                                          "'table' AND name NOT LIKE 'sqlite!_%' ESCAPE '!')");

// The contact-conflict statement as the merge sends it, line by line.
QStringList contactConflictLines()
{
    return kolvix::contactConflictSql(57, 812).split(CRLF);
}

QString adaptedContactConflict()
{
    QStringList result = contactConflictLines().mid(4);
    for (QString& line : result)
        line.replace(QStringLiteral("@FromID"), QStringLiteral("812"))
            .replace(QStringLiteral("@ToID"), QStringLiteral("57"));
    return lines(result);
}

// The main window's count statement as the program sends it (variable "@CID"), or as it reads
// once adapted (the DECLARE and SET lines gone, the parameter in place of the variable).
QString countStatement(const QString& variable)
{
    QStringList result = kolvix::clientCountStatement().split(CRLF);
    if (variable != QStringLiteral("@CID")) {
        result = result.mid(2);
        result.replaceInStrings(QStringLiteral("@CID"), variable);
    }
    return lines(result);
}

constexpr int kCountColumnCount = 21;

// A search statement that begins "SELECT TOP n": as the builder writes it, and adapted (the
// TOP gone, the LIMIT at the end of the last line).
QString topSearch(int top, QStringList searchLines)
{
    searchLines[0] = QStringLiteral("SELECT TOP %1 * FROM ").arg(top) + searchLines[0];
    return endedLines(searchLines);
}

QString limitedSearch(int top, QStringList searchLines)
{
    searchLines[0] = QStringLiteral("SELECT * FROM ") + searchLines[0];
    searchLines.last() += QStringLiteral(" LIMIT %1").arg(top);
    return endedLines(searchLines);
}

const QString kMobileInner
    = QStringLiteral("SELECT *, dbo.onlyNumericChars(Mobile) AS RawMobile FROM PatientSearch) SubDetails");
const QString kMobileInnerAdapted
    = QStringLiteral("SELECT *, onlyNumericChars(Mobile) AS RawMobile FROM PatientSearch) SubDetails");

struct Case;
void PrintTo(const Case& c, std::ostream* os);

struct Case
{
    const char* name;
    QString tsql;
    QString adapted; // null: the text must pass unchanged
    QVariantList params; // by position
    int rows = -1; // rows of the result, or rows affected; -1: not checked
    QString firstValue = {}; // first column of the first row; null: not checked
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<Case> cases()
{
    std::vector<Case> c;
    // Runners and movers.
    c.push_back({"tableExists",
                 QStringLiteral("SELECT COUNT(*) FROM SYS.TABLES WHERE Name = 'Trans'"),
                 QStringLiteral("SELECT COUNT(*) FROM %1 WHERE Name = 'Trans'").arg(kSysTables),
                 {},
                 1,
                 QStringLiteral("1")});
    c.push_back({"tableExistsAnyCase",
                 QStringLiteral("select count(*) from sys.tables where Name = 'hicapsdetail'"),
                 QStringLiteral("select count(*) from %1 where Name = 'hicapsdetail'").arg(kSysTables),
                 {},
                 1,
                 QStringLiteral("1")});
    c.push_back({"tableExistsMissing",
                 QStringLiteral("SELECT COUNT(*) FROM SYS.TABLES WHERE Name = 'NoSuchTable'"),
                 QStringLiteral("SELECT COUNT(*) FROM %1 WHERE Name = 'NoSuchTable'").arg(kSysTables),
                 {},
                 1,
                 QStringLiteral("0")});
    c.push_back(
        {"moveClient", QStringLiteral("UPDATE [Client] SET [ReferredByID]=57 WHERE [ReferredByID]=812"), {}, {}, 0});
    c.push_back(
        {"moveClientRows", QStringLiteral("UPDATE [PatCat] SET [ClientID]=57 WHERE [ClientID]=812"), {}, {}, 2});
    c.push_back({"moveTrans",
                 QStringLiteral(
                     "UPDATE [Trans] SET [ClientID] = 57, [AccountID] = 2 WHERE [ClientID] = 812 AND [AccountID] = 0"),
                 {},
                 {},
                 1});
    c.push_back({"copyAccountNamed", copyAccount(kNamedValues), adaptedCopyAccount(kNamedValues), {}, 1});
    c.push_back({"copyAccountDateLikeName",
                 copyAccount(kDateLikeNamedValues),
                 adaptedCopyAccount(kDateLikeNamedValues),
                 {},
                 1});
    c.push_back({"copyAccountUnnamed", copyAccount(kUnnamedValues), adaptedCopyAccount(kUnnamedValues), {}, 1});
    c.push_back({"dsAccount",
                 QStringLiteral("SELECT TOP 1 * FROM Account"),
                 QStringLiteral("SELECT * FROM Account LIMIT 1"),
                 {},
                 1});
    c.push_back(
        {"deleteDuplicates",
         lines({QStringLiteral("DELETE FROM [PXClientPracPermissions] WHERE [PXClientPracPermissionsID] IN ("),
                QStringLiteral("SELECT [MinID] FROM ("),
                QStringLiteral("SELECT MIN([PXClientPracPermissionsID]) AS [MinID], MAX([PXClientPracPermissionsID]) "
                               "AS [MaxID], COUNT(*) AS [Count]"),
                QStringLiteral("FROM [PXClientPracPermissions]"), QStringLiteral("WHERE [ClientID] = 57"),
                QStringLiteral("GROUP BY [ClientID], [AllowPracID], [AllowPGroupID]"),
                QStringLiteral("HAVING COUNT(*) > 1"), QStringLiteral(")G"), QStringLiteral(")")}),
         {},
         {},
         1});
    c.push_back(
        {"patCat",
         QStringLiteral("UPDATE PatCat SET ClientID=57 WHERE ClientID=812 AND CategoryID NOT IN (SELECT CategoryID "
                        "FROM PatCat WHERE ClientID=57)"),
         {},
         {},
         1});
    c.push_back(
        {"clientContact",
         lines({QStringLiteral("UPDATE ClientContact SET ClientID = 57"), QStringLiteral("WHERE ClientID = 812"),
                QStringLiteral("AND ContactID  NOT IN (SELECT ContactID  FROM ClientContacts WHERE ClientID = 57)"),
                QStringLiteral("AND RelationID NOT IN (SELECT RelationID FROM ClientContacts WHERE ClientID = 57)")}),
         {},
         {},
         0});
    c.push_back(
        {"pendingGuest",
         QStringLiteral("DELETE FROM [PXPendingClient] WHERE [GuestClientID] = 57 AND [GuestClientID] = [ParentID]"),
         {},
         {},
         1});
    c.push_back({"pendingParent",
                 QStringLiteral("DELETE FROM [PXPendingClient] WHERE [ParentID] = 57 AND [GuestClientID] = [ParentID]"),
                 {},
                 {},
                 1});
    // Pre-checks.
    c.push_back({"wpxEnabled",
                 QStringLiteral("SELECT [PXAccess], [PXVerified], [PXEmail] FROM [Client] WHERE [ClientID] = 812"),
                 {},
                 {},
                 1,
                 QStringLiteral("1")});
    c.push_back({"pendingClientRows",
                 lines({QStringLiteral("SELECT [PendingClientID], [ParentID]"),
                        QStringLiteral("FROM   [PXPendingClient]"), QStringLiteral("WHERE  [GuestClientID] = 57")}),
                 {},
                 {},
                 1});
    c.push_back({"pendingClientFlag",
                 lines({QStringLiteral("SELECT [PendingClient]"), QStringLiteral("FROM   [Client]"),
                        QStringLiteral("WHERE  [ClientID] = 812")}),
                 {},
                 {},
                 1,
                 QStringLiteral("0")});
    // The reset expiring later on the 15th counts; the one of the 14th and the activated one do not.
    const QString passwordPrefix
        = lines({QStringLiteral("SELECT COUNT(*)"), QStringLiteral("FROM   [PXClientForgotPassword]"),
                 QStringLiteral("WHERE  [ClientID] = 812 AND [ExpiryDate] > ")});
    c.push_back({"pendingPassword",
                 passwordPrefix + QStringLiteral("'20260115' AND [Activated] = 0"),
                 passwordPrefix + QStringLiteral("'2026-01-15 00:00:00' AND [Activated] = 0"),
                 {},
                 1,
                 QStringLiteral("1")});
    c.push_back({"pendingPasswordDotted",
                 passwordPrefix + QStringLiteral("'2026.01.15' AND [Activated] = 0"),
                 passwordPrefix + QStringLiteral("'2026-01-15 00:00:00' AND [Activated] = 0"),
                 {},
                 1,
                 QStringLiteral("1")});
    c.push_back({"wpxLinksGroup",
                 QStringLiteral("SELECT COUNT(*) FROM [PXClientLink] WHERE [GroupID] = 812"),
                 {},
                 {},
                 1,
                 QStringLiteral("1")});
    c.push_back({"wpxLinksClient",
                 QStringLiteral("SELECT COUNT(*) FROM [PXClientLink] WHERE [ClientID] = 812"),
                 {},
                 {},
                 1,
                 QStringLiteral("0")});
    c.push_back({"wpxLinkList",
                 lines({QStringLiteral("SELECT PX.[GroupID], C.[Surname], C.[Name], C.[PreferredName]"),
                        QStringLiteral("FROM [PXClientLink] PX"),
                        QStringLiteral("LEFT OUTER JOIN [Client] C ON C.[ClientID] = PX.[GroupID]"),
                        QStringLiteral("WHERE PX.[ClientID] = 90"), QStringLiteral("ORDER BY C.[Surname], C.[Name]")}),
                 {},
                 {},
                 1,
                 QStringLiteral("812")});
    c.push_back(
        {"contactConflict", lines(contactConflictLines()), adaptedContactConflict(), {}, 2, QStringLiteral("contact")});
    // Audit row.
    c.push_back({"dsAudit",
                 QStringLiteral("SELECT TOP 1 *\r\nFROM Audit"),
                 QStringLiteral("SELECT *\r\nFROM Audit LIMIT 1"),
                 {},
                 0});
    // Account model.
    c.push_back(
        {"badGroupMerge",
         QStringLiteral("SELECT COUNT(*) FROM Account WHERE ClientID = :ClientIDTo AND GroupID = :ClientIDFrom"),
         {},
         {57, 812},
         1,
         QStringLiteral("1")});
    c.push_back({"groupedAccounts",
                 QStringLiteral("SELECT COUNT(*) FROM Account WHERE GroupID = :ClientIDFrom"),
                 {},
                 {812},
                 1,
                 QStringLiteral("1")});
    c.push_back({"accountList",
                 QStringLiteral(
                     "SELECT AccountID, ShortDescription FROM Account WHERE ClientID = :ClientID ORDER BY AccountID"),
                 {},
                 {812},
                 2,
                 QStringLiteral("0")});
    // Search statements.
    c.push_back({"searchSurname",
                 endedLines({QStringLiteral("SELECT TOP 50 * FROM PatientSearch"),
                             QStringLiteral("WHERE Surname LIKE :asLike1"), QStringLiteral("AND Active = 'T'"),
                             QStringLiteral("ORDER BY Surname"), QStringLiteral(", Name")}),
                 endedLines({QStringLiteral("SELECT * FROM PatientSearch"),
                             QStringLiteral("WHERE Surname LIKE :asLike1"), QStringLiteral("AND Active = 'T'"),
                             QStringLiteral("ORDER BY Surname"), QStringLiteral(", Name LIMIT 50")}),
                 {QStringLiteral("smi%")},
                 2,
                 QStringLiteral("812")});
    {
        const QStringList l {
            QStringLiteral("PatientSearch"), QStringLiteral("WHERE (Surname LIKE :asLike1 ) AND (Name LIKE :asLike2 )"),
            QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY Surname"), QStringLiteral(", Name")};
        c.push_back({"searchNamePair",
                     topSearch(50, l),
                     limitedSearch(50, l),
                     {QStringLiteral("smithers%"), QStringLiteral("jo%")},
                     1,
                     QStringLiteral("57")});
    }
    {
        const QStringList l {QStringLiteral("PatientSearch"),
                             QStringLiteral("WHERE (( Name LIKE :asLike1 ) OR ( PreferredName LIKE :asLike3 ))"),
                             QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY Name"),
                             QStringLiteral(", Surname")};
        c.push_back({"searchName",
                     topSearch(50, l),
                     limitedSearch(50, l),
                     {QStringLiteral("joe%"), QStringLiteral("joe%")},
                     1,
                     QStringLiteral("812")});
    }
    {
        const QStringList l {
            QStringLiteral("PatientSearch"), QStringLiteral("WHERE Soundex(:asSounds) = Soundex(Name)"),
            QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY Name"), QStringLiteral(", Surname")};
        c.push_back({"searchSoundsLike", topSearch(50, l), limitedSearch(50, l), {QStringLiteral("jo")}, 2});
    }
    {
        const QStringList l {
            QStringLiteral("PatientSearch"),
            QStringLiteral("WHERE (Soundex( :asSounds ) = Soundex(Surname)) AND (Name LIKE :asLike2 )"),
            QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY Surname"), QStringLiteral(", Name")};
        c.push_back({"searchNamePairSoundsLike",
                     topSearch(50, l),
                     limitedSearch(50, l),
                     {QStringLiteral("smyth"), QStringLiteral("j%")},
                     1,
                     QStringLiteral("812")});
    }
    c.push_back({"searchMobileShowAll",
                 endedLines({QStringLiteral("SELECT * FROM ("), kMobileInner,
                             QStringLiteral("WHERE RawMobile LIKE :asLike1"), QStringLiteral("ORDER BY RawMobile")}),
                 endedLines({QStringLiteral("SELECT * FROM ("), kMobileInnerAdapted,
                             QStringLiteral("WHERE RawMobile LIKE :asLike1"), QStringLiteral("ORDER BY RawMobile")}),
                 {QStringLiteral("0412%")},
                 1,
                 QStringLiteral("812")});
    c.push_back({"searchMobileTop",
                 endedLines({QStringLiteral("SELECT TOP 50 * FROM ("), kMobileInner,
                             QStringLiteral("WHERE ((RawMobile LIKE :asLike1 ) OR (RawMobile IS Null))"),
                             QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY RawMobile")}),
                 endedLines({QStringLiteral("SELECT * FROM ("), kMobileInnerAdapted,
                             QStringLiteral("WHERE ((RawMobile LIKE :asLike1 ) OR (RawMobile IS Null))"),
                             QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY RawMobile LIMIT 50")}),
                 {QStringLiteral("%")},
                 2});
    c.push_back({"searchMobileEmpty",
                 endedLines({QStringLiteral("SELECT TOP 0 * FROM ("), kMobileInner,
                             QStringLiteral("WHERE ((RawMobile LIKE :asLike1 ) OR (RawMobile IS Null))"),
                             QStringLiteral("AND Active = 'T'"), QStringLiteral("AND Clientid = -1 "),
                             QStringLiteral("ORDER BY RawMobile")}),
                 endedLines({QStringLiteral("SELECT * FROM ("), kMobileInnerAdapted,
                             QStringLiteral("WHERE ((RawMobile LIKE :asLike1 ) OR (RawMobile IS Null))"),
                             QStringLiteral("AND Active = 'T'"), QStringLiteral("AND Clientid = -1 "),
                             QStringLiteral("ORDER BY RawMobile LIMIT 0")}),
                 {QStringLiteral("%")},
                 0});
    c.push_back({"searchEmptyFirstShow",
                 endedLines({QStringLiteral("SELECT TOP 0 * FROM PatientSearch"),
                             QStringLiteral("WHERE ((Surname LIKE :asLike1 ) OR (Surname IS Null))"),
                             QStringLiteral("AND Active = 'T'"), QStringLiteral("AND Clientid = -1 "),
                             QStringLiteral("ORDER BY Surname"), QStringLiteral(", Name")}),
                 endedLines({QStringLiteral("SELECT * FROM PatientSearch"),
                             QStringLiteral("WHERE ((Surname LIKE :asLike1 ) OR (Surname IS Null))"),
                             QStringLiteral("AND Active = 'T'"), QStringLiteral("AND Clientid = -1 "),
                             QStringLiteral("ORDER BY Surname"), QStringLiteral(", Name LIMIT 0")}),
                 {QStringLiteral("%")},
                 0});
    c.push_back(
        {"searchEmptyShowAll",
         endedLines({QStringLiteral("SELECT * FROM PatientSearch"),
                     QStringLiteral("WHERE ((Surname LIKE :asLike1 ) OR (Surname IS Null))"),
                     QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY Surname"), QStringLiteral(", Name")}),
         {},
         {QStringLiteral("%")},
         2});
    c.push_back(
        {"searchClientId",
         endedLines({QStringLiteral("SELECT TOP 50 * FROM PatientSearch"), QStringLiteral("WHERE ClientID = :asLike1"),
                     QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY ClientID")}),
         endedLines({QStringLiteral("SELECT * FROM PatientSearch"), QStringLiteral("WHERE ClientID = :asLike1"),
                     QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY ClientID LIMIT 50")}),
         {812},
         1});
    {
        const QStringList l {QStringLiteral("PatientSearch"),
                             QStringLiteral("WHERE ((ClientID = :asLike1 ) OR (ClientID IS Null))"),
                             QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY ClientID")};
        c.push_back({"searchClientIdEmpty", topSearch(50, l), limitedSearch(50, l), {0}, 0});
    }
    {
        const QStringList l {QStringLiteral("PatientSearch"), QStringLiteral("WHERE ClientID LIKE :asLike1"),
                             QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY ClientID")};
        c.push_back({"searchFileNoAsClientId",
                     topSearch(50, l),
                     limitedSearch(50, l),
                     {QStringLiteral("81%")},
                     1,
                     QStringLiteral("812")});
    }
    c.push_back(
        {"searchBpayShort",
         endedLines({QStringLiteral("SELECT TOP 0 * FROM PatientSearchBPAY"),
                     QStringLiteral("WHERE BPAYRefNo LIKE :asLike1"), QStringLiteral("AND Active = 'T'"),
                     QStringLiteral("ORDER BY BPAYRefNo")}),
         endedLines({QStringLiteral("SELECT * FROM PatientSearchBPAY"), QStringLiteral("WHERE BPAYRefNo LIKE :asLike1"),
                     QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY BPAYRefNo LIMIT 0")}),
         {QStringLiteral("1234%")},
         0});
    {
        const QStringList l {QStringLiteral("PatientSearchBPAY"), QStringLiteral("WHERE ClaimNumber LIKE :asLike1"),
                             QStringLiteral("AND Active = 'T'"), QStringLiteral("ORDER BY ClaimNumber")};
        c.push_back({"searchClaimNo", topSearch(50, l), limitedSearch(50, l), {QStringLiteral("%")}, -1});
    }
    c.push_back(
        {"searchWithContactFilters",
         endedLines({QStringLiteral("SELECT * FROM PatientSearch"), QStringLiteral("WHERE Email LIKE :asLike1"),
                     QStringLiteral("AND LTRIM(RTRIM(ISNULL(Email,''))) <> ''"),
                     QStringLiteral("AND LTRIM(RTRIM(ISNULL(Mobile,''))) <> ''"), QStringLiteral("ORDER BY Email")}),
         endedLines({QStringLiteral("SELECT * FROM PatientSearch"), QStringLiteral("WHERE Email LIKE :asLike1"),
                     QStringLiteral("AND LTRIM(RTRIM(IFNULL(Email,''))) <> ''"),
                     QStringLiteral("AND LTRIM(RTRIM(IFNULL(Mobile,''))) <> ''"), QStringLiteral("ORDER BY Email")}),
         {QStringLiteral("%")},
         0});
    // Main window and statistics.
    c.push_back({"useFileNo", QStringLiteral("SELECT [UseFileNo] FROM [SystemData]"), {}, {}, 0});
    c.push_back({"clientRow",
                 QStringLiteral("SELECT ClientID, Name, Surname\r\nFROM Client\r\nWHERE ClientID = :id"),
                 {},
                 {812},
                 1,
                 QStringLiteral("812")});
    c.push_back({"countStatement",
                 countStatement(QStringLiteral("@CID")),
                 countStatement(QStringLiteral(":ClientID")),
                 {812},
                 1,
                 QStringLiteral("2")});
    c.push_back({"statisticsCount",
                 QStringLiteral("SELECT COUNT(*) FROM [Account] WHERE [GroupID] = 812"),
                 {},
                 {},
                 1,
                 QStringLiteral("1")});
    return c;
}

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

INSTANTIATE_TEST_SUITE_P(Templates, TemplateTest, ::testing::ValuesIn(cases()),
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
        Rewrite {"TopPercentStays", "SELECT TOP 10 PERCENT * FROM Client", nullptr},
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
    execute(copyAccount(kNamedValues));
    execute(copyAccount(QString(kDateLikeNamedValues).replace(QStringLiteral("57,2,"), QStringLiteral("57,4,"))));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT ShortDescription FROM Account WHERE ClientID = 57 AND AccountID = 2")),
              QStringLiteral("O'Brien TOP 5 SYS.TABLES"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT ShortDescription FROM Account WHERE ClientID = 57 AND AccountID = 4")),
              QStringLiteral("20261210"));
    execute(copyAccount(kUnnamedValues));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT ShortDescription FROM Account WHERE ClientID = 57 AND AccountID = 3")),
              QStringLiteral("Primary"));
}

TEST_F(AdaptedEffectTest, DeleteDuplicatesRemovesTheSmallestIdPerRun)
{
    Command cmd(connection, 60);
    for (const Case& c : cases())
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
