// The statement templates that the program sends, each with the values of one merge (client 812,
// From, into client 57, To) already in its text, as the merge formats them, and with its
// parameters (":name") still to be bound. Shared by the adapter test, which runs each one
// adapted on the embedded engine (all but those sent to SQL Server only), and the T-SQL syntax
// test, which parses each one as sent.

#include "support/TsqlTemplates.h"

#include "merge/ContactConflict.h"
#include "merge/MergeSession.h"
#include "merge/Statistics.h"

#include <QStringList>

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

const QString kAccountColumns = QStringLiteral(
    "[ClientID],[AccountID],[GroupID],[ClaimNumber],[BPayRefNo],[ShortDescription],[Description],[Balance],"
    "[IsAGroup],[Active],[CreatedDate]");

QString adaptedCopyAccount(const QString& values)
{
    return QStringLiteral(
               "INSERT INTO Account (%1)  SELECT %2  FROM Account  WHERE ClientID = 812 AND AccountID = 0 LIMIT 1")
        .arg(kAccountColumns, values);
}

const QString kNamedValuesText = QStringLiteral("57,2,[GroupID],[ClaimNumber],[BPayRefNo],'O''Brien TOP 5 "
                                                "SYS.TABLES',[Description],[Balance],[IsAGroup],[Active],"
                                                "[CreatedDate]");
const QString kDateLikeNamedValuesText = QStringLiteral("57,2,[GroupID],[ClaimNumber],[BPayRefNo],'20261210',["
                                                        "Description],[Balance],[IsAGroup],[Active],[CreatedDate]");
const QString kUnnamedValuesText = QStringLiteral(
    "57,3,[GroupID],[ClaimNumber],[BPayRefNo],[ShortDescription],[Description],[Balance],[IsAGroup],[Active],"
    "[CreatedDate]");

const QString kSysTables = QStringLiteral("(SELECT name COLLATE NOCASE AS Name FROM sqlite_master WHERE type = "
                                          "'table' AND name NOT LIKE 'sqlite!_%' ESCAPE '!')");

// The contact-conflict statement as the merge sends it, line by line.
QStringList contactConflictLines()
{
    return kolvix::contactConflictSql({812, 57}).split(CRLF);
}

QString adaptedContactConflict()
{
    QStringList result = contactConflictLines().mid(4);
    for (QString& line : result)
        line.replace(QStringLiteral("@FromID"), QStringLiteral("812"))
            .replace(QStringLiteral("@ToID"), QStringLiteral("57"));
    return lines(result);
}

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

} // namespace

QString copyAccount(const QString& values)
{
    return QStringLiteral(
               "INSERT INTO Account (%1)  SELECT TOP 1 %2  FROM Account  WHERE ClientID = 812 AND AccountID = 0")
        .arg(kAccountColumns, values);
}

QString countStatement(const QString& variable)
{
    QStringList result = kolvix::clientCountStatement().split(CRLF);
    if (variable != QStringLiteral("@CID")) {
        result = result.mid(2);
        result.replaceInStrings(QStringLiteral("@CID"), variable);
    }
    return lines(result);
}

const QString& namedAccountValues()
{
    return kNamedValuesText;
}

const QString& dateLikeNamedAccountValues()
{
    return kDateLikeNamedValuesText;
}

const QString& unnamedAccountValues()
{
    return kUnnamedValuesText;
}

void PrintTo(const StatementTemplate& t, std::ostream* os)
{
    *os << t.name;
}

std::vector<StatementTemplate> embeddedStatementTemplates()
{
    std::vector<StatementTemplate> result;
    for (StatementTemplate& t : statementTemplates())
        if (!t.serverOnly)
            result.push_back(std::move(t));
    return result;
}

std::vector<StatementTemplate> statementTemplates()
{
    std::vector<StatementTemplate> c;
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
    c.push_back({"copyAccountNamed", copyAccount(kNamedValuesText), adaptedCopyAccount(kNamedValuesText), {}, 1});
    c.push_back({"copyAccountDateLikeName",
                 copyAccount(kDateLikeNamedValuesText),
                 adaptedCopyAccount(kDateLikeNamedValuesText),
                 {},
                 1});
    c.push_back({"copyAccountUnnamed", copyAccount(kUnnamedValuesText), adaptedCopyAccount(kUnnamedValuesText), {}, 1});
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
    // Rows left behind: the tables with a ClientID column (on SQL Server; the embedded engine
    // reads its own catalogue), then a count in each that the merge does not cover.
    c.push_back({"leftBehindTables",
                 QStringLiteral("SELECT c.TABLE_NAME FROM INFORMATION_SCHEMA.COLUMNS c "
                                "JOIN INFORMATION_SCHEMA.TABLES t ON t.TABLE_SCHEMA = c.TABLE_SCHEMA AND "
                                "t.TABLE_NAME = c.TABLE_NAME "
                                "WHERE t.TABLE_TYPE = 'BASE TABLE' AND c.COLUMN_NAME = 'ClientID' "
                                "ORDER BY c.TABLE_NAME"),
                 {},
                 {},
                 -1,
                 {},
                 true});
    c.push_back({"leftBehindCount",
                 QStringLiteral("SELECT COUNT(*) FROM [Trans] WHERE [ClientID] = 812"),
                 {},
                 {},
                 1,
                 QStringLiteral("2")});
    // Rows on accounts the From client does not have, which the account-keyed steps leave.
    c.push_back({"rowsOnMissingAccounts",
                 lines({QStringLiteral("SELECT [AccountID], COUNT(*) FROM [Trans]"),
                        QStringLiteral("WHERE [ClientID] = 812 AND ([AccountID] IS NULL OR [AccountID] < 0 OR "
                                       "[AccountID] NOT IN (SELECT [AccountID] FROM [Account] WHERE [ClientID] = "
                                       "812))"),
                        QStringLiteral("GROUP BY [AccountID]"), QStringLiteral("ORDER BY [AccountID]")}),
                 {},
                 {},
                 0});
    // The merge's bound on lock waits on SQL Server, set at its start and cleared at its end.
    c.push_back({"lockTimeoutSet", QStringLiteral("SET LOCK_TIMEOUT 60000"), {}, {}, -1, {}, true});
    c.push_back({"lockTimeoutCleared", QStringLiteral("SET LOCK_TIMEOUT -1"), {}, {}, -1, {}, true});
    return c;
}

} // namespace kolvix::test
