// The statement templates that the program sends, each with the values of one merge (client 812,
// From, into client 57, To) already in its text, as the merge formats them, and with its
// parameters (":name") still to be bound. Shared by the adapter test, which runs each one
// adapted on the embedded engine (all but those sent to SQL Server only), and the T-SQL syntax
// test, which parses each one as sent.

#include "support/TsqlTemplates.h"

#include "duplicates/DuplicateFinder.h"
#include "merge/ClientComparison.h"
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
    // The duplicate finder's record to keep: which history tables there are, then their rows of
    // the clients of the listed pairs.
    c.push_back({"duplicateHistoryTables",
                 QStringLiteral("SELECT Name FROM SYS.TABLES WHERE Name IN "
                                "('Appoint','Trans','ClinicalNotes','Documents','Attachments')"),
                 QStringLiteral("SELECT Name FROM %1 WHERE Name IN "
                                "('Appoint','Trans','ClinicalNotes','Documents','Attachments')")
                     .arg(kSysTables),
                 {},
                 5});
    c.push_back({"duplicateHistory",
                 kolvix::DuplicateFinder::historyStatement(kolvix::DuplicateFinder::historyTables(), {812, 57}),
                 {},
                 {},
                 -1});
    // The merge's bound on lock waits on SQL Server, set at its start and cleared at its end.
    c.push_back({"lockTimeoutSet", QStringLiteral("SET LOCK_TIMEOUT 60000"), {}, {}, -1, {}, true});
    c.push_back({"lockTimeoutCleared", QStringLiteral("SET LOCK_TIMEOUT -1"), {}, {}, -1, {}, true});
    // The merge ledger: the tables (created by the program when missing), what a merge records,
    // the history, and the undo. Values bound by the program are written in here.
    c.push_back({"ledgerTableExists",
                 QStringLiteral("SELECT COUNT(*) FROM SYS.TABLES WHERE Name = :Name"),
                 QStringLiteral("SELECT COUNT(*) FROM %1 WHERE Name = :Name").arg(kSysTables),
                 {QStringLiteral("KolvixMergeRow")},
                 1,
                 QStringLiteral("1")});
    c.push_back(
        {"ledgerCreateMerge",
         lines({QStringLiteral("CREATE TABLE KolvixMerge ("), QStringLiteral("    MergeID INT NOT NULL PRIMARY KEY,"),
                QStringLiteral("    AuditID INT NULL,"), QStringLiteral("    MergedAt DATETIME NULL,"),
                QStringLiteral("    Workstation NVARCHAR(64) NULL,"), QStringLiteral("    FromClientID INT NOT NULL,"),
                QStringLiteral("    ToClientID INT NOT NULL,"), QStringLiteral("    FromName NVARCHAR(100) NULL,"),
                QStringLiteral("    ToName NVARCHAR(100) NULL,"), QStringLiteral("    RowsChanged INT NULL,"),
                QStringLiteral("    MergeState VARCHAR(10) NOT NULL,"), QStringLiteral("    UndoneAt DATETIME NULL,"),
                QStringLiteral("    UndoAuditID INT NULL"), QStringLiteral(")")}),
         {},
         {},
         -1,
         {},
         true});
    c.push_back(
        {"ledgerCreateStep",
         lines({QStringLiteral("CREATE TABLE KolvixMergeStep ("), QStringLiteral("    MergeID INT NOT NULL,"),
                QStringLiteral("    StepNo INT NOT NULL,"), QStringLiteral("    CatalogueStep INT NOT NULL,"),
                QStringLiteral("    TableName NVARCHAR(128) NOT NULL,"),
                QStringLiteral("    Operation CHAR(1) NOT NULL,"),
                QStringLiteral("    ChangedColumns NVARCHAR(MAX) NULL,"),
                QStringLiteral("    OldValues NVARCHAR(1000) NULL,"),
                QStringLiteral("    NewValues NVARCHAR(1000) NULL,"),
                QStringLiteral("    KeyColumns NVARCHAR(MAX) NULL,"), QStringLiteral("    IntegerKey INT NOT NULL,"),
                QStringLiteral("    PrimaryKey INT NOT NULL,"), QStringLiteral("    RowsChanged INT NOT NULL,"),
                QStringLiteral("    CheckColumns NVARCHAR(MAX) NULL,"),
                QStringLiteral("    CONSTRAINT PK_KolvixMergeStep PRIMARY KEY (MergeID, StepNo)"),
                QStringLiteral(")")}),
         {},
         {},
         -1,
         {},
         true});
    c.push_back(
        {"ledgerCreateRow",
         lines({QStringLiteral("CREATE TABLE KolvixMergeRow ("), QStringLiteral("    MergeID INT NOT NULL,"),
                QStringLiteral("    StepNo INT NOT NULL,"), QStringLiteral("    KeyID BIGINT NULL,"),
                QStringLiteral("    RowKey NVARCHAR(MAX) NULL,"), QStringLiteral("    RowData NVARCHAR(MAX) NULL,"),
                QStringLiteral("    RowCheck INT NULL"), QStringLiteral(")")}),
         {},
         {},
         -1,
         {},
         true});
    c.push_back({"ledgerCreateRowIndex",
                 QStringLiteral("CREATE INDEX IX_KolvixMergeRow ON KolvixMergeRow (MergeID, StepNo)"),
                 {},
                 {},
                 -1,
                 {},
                 true});
    // Older records get the columns that later versions added.
    c.push_back({"ledgerAddColumn",
                 QStringLiteral("ALTER TABLE KolvixMergeStep ADD CheckColumns NVARCHAR(MAX) NULL"),
                 {},
                 {},
                 -1,
                 {},
                 true});
    // On SQL Server, the columns that no check sum covers.
    c.push_back({"ledgerUncheckableColumns",
                 lines({QStringLiteral("SELECT c.name FROM sys.columns c JOIN sys.types t ON t.user_type_id = "
                                       "c.user_type_id"),
                        QStringLiteral("WHERE c.object_id = OBJECT_ID(:TableName) AND t.name IN ('text', 'ntext', "
                                       "'image', 'xml', 'sql_variant', 'timestamp', 'geography', 'geometry', "
                                       "'hierarchyid')")}),
                 {},
                 {QStringLiteral("Trans")},
                 -1,
                 {},
                 true});
    c.push_back({"ledgerNextMerge", QStringLiteral("SELECT MAX(MergeID) FROM KolvixMerge"), {}, {}, 1});
    c.push_back(
        {"ledgerMerge",
         lines({QStringLiteral("INSERT INTO KolvixMerge (MergeID, AuditID, MergedAt, Workstation, FromClientID, "
                               "ToClientID, FromName, ToName, RowsChanged, MergeState)"),
                QStringLiteral("VALUES (1, 7, '2026-12-11 10:20:30', 'PC01', 812, 57, 'Sample, One', "
                               "'Sample, Two', 0, 'started')")}),
         {},
         {},
         1});
    c.push_back(
        {"ledgerRowsByKey",
         lines({QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, KeyID, RowCheck)"),
                QStringLiteral("SELECT 1, 2, [TransID], BINARY_CHECKSUM([Trans].[TransID], [Trans].[Amount]) FROM "
                               "[Trans] WHERE [ClientID] = 812 AND [AccountID] = 0")}),
         {},
         {},
         -1});
    c.push_back({"ledgerRowsRead",
                 QStringLiteral("SELECT [ClientID], [AccountID], BINARY_CHECKSUM([Account].[ClientID], "
                                "[Account].[AccountID], [Account].[ShortDescription]) FROM [Account] WHERE "
                                "[GroupID]=812"),
                 {},
                 {},
                 -1});
    c.push_back({"ledgerRowKey",
                 QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, RowKey, RowCheck) VALUES (1, 1, "
                                "'[\"i:57\",\"i:2\"]', -12345)"),
                 {},
                 {},
                 1});
    c.push_back({"ledgerAddedRow",
                 QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, RowKey) VALUES (1, 1, "
                                "'[\"i:57\",\"i:2\"]')"),
                 {},
                 {},
                 1});
    c.push_back({"ledgerAddedRowCheck",
                 QStringLiteral("UPDATE KolvixMergeRow SET RowCheck = (SELECT BINARY_CHECKSUM([Account].[ClientID], "
                                "[Account].[ShortDescription]) FROM [Account] WHERE [ClientID] = 57 AND [AccountID] = "
                                "0) WHERE MergeID = 1 AND StepNo = 1"),
                 {},
                 {},
                 -1});
    c.push_back({"ledgerDeletedRowsRead",
                 QStringLiteral("SELECT * FROM [PXClientPracPermissions] WHERE [PXClientPracPermissionsID] IN (SELECT "
                                "[MinID] FROM (SELECT MIN([PXClientPracPermissionsID]) AS [MinID] FROM "
                                "[PXClientPracPermissions] WHERE [ClientID] = 57 GROUP BY [ClientID], [AllowPracID], "
                                "[AllowPGroupID] HAVING COUNT(*) > 1) G)"),
                 {},
                 {},
                 -1});
    c.push_back({"ledgerDeletedRow",
                 lines({QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, KeyID, RowKey, RowData)"),
                        QStringLiteral("VALUES (1, 40, 11, '[\"i:11\"]', '[\"i:11\",\"i:57\",\"i:1\",\"i:1\"]')")}),
                 {},
                 {},
                 1});
    c.push_back({"ledgerStep",
                 lines({QStringLiteral("INSERT INTO KolvixMergeStep (MergeID, StepNo, CatalogueStep, TableName, "
                                       "Operation, ChangedColumns, OldValues, NewValues, KeyColumns, IntegerKey, "
                                       "PrimaryKey, RowsChanged, CheckColumns)"),
                        QStringLiteral("VALUES (1, 2, 3, 'Trans', 'U', '[\"s:ClientID\",\"s:AccountID\"]', "
                                       "'[\"i:812\",\"i:0\"]', '[\"i:57\",\"i:0\"]', '[\"s:TransID\"]', 1, 1, 2, "
                                       "'[\"s:TransID\",\"s:Amount\"]')")}),
                 {},
                 {},
                 1});
    c.push_back({"ledgerFinished",
                 QStringLiteral("UPDATE KolvixMerge SET MergeState = 'merged', RowsChanged = 51 WHERE MergeID = 1"),
                 {},
                 {},
                 -1});
    c.push_back({"ledgerReverted",
                 QStringLiteral("UPDATE KolvixMerge SET MergeState = 'reverted' WHERE MergeID = 1"),
                 {},
                 {},
                 -1});
    c.push_back({"historyLedger",
                 lines({QStringLiteral("SELECT m.AuditID, m.MergedAt, m.Workstation, m.FromClientID, m.ToClientID, "
                                       "m.FromName, m.ToName, m.RowsChanged, m.MergeState, m.UndoneAt, s.Steps, "
                                       "s.StepRows"),
                        QStringLiteral("FROM KolvixMerge m"),
                        QStringLiteral("LEFT JOIN (SELECT MergeID, COUNT(*) AS Steps, SUM(RowsChanged) AS StepRows "
                                       "FROM KolvixMergeStep GROUP BY MergeID) s ON s.MergeID = m.MergeID"),
                        QStringLiteral("WHERE m.AuditID IS NOT NULL")}),
                 {},
                 {},
                 -1});
    c.push_back({"historyAudit",
                 lines({QStringLiteral("SELECT TOP 20 AuditID, AuditDateTime, Action, Comment FROM Audit"),
                        QStringLiteral("WHERE UserName = 'MERGE' AND Action LIKE 'Merge %'"),
                        QStringLiteral("ORDER BY AuditID DESC")}),
                 lines({QStringLiteral("SELECT AuditID, AuditDateTime, Action, Comment FROM Audit"),
                        QStringLiteral("WHERE UserName = 'MERGE' AND Action LIKE 'Merge %'"),
                        QStringLiteral("ORDER BY AuditID DESC LIMIT 20")}),
                 {},
                 -1});
    c.push_back({"historyRowsPerTable",
                 lines({QStringLiteral("SELECT s.TableName, s.Operation, s.RowsChanged FROM KolvixMergeStep s"),
                        QStringLiteral("JOIN KolvixMerge m ON m.MergeID = s.MergeID"),
                        QStringLiteral("WHERE m.AuditID = :AuditID"), QStringLiteral("ORDER BY s.StepNo")}),
                 {},
                 {7},
                 -1});
    c.push_back(
        {"undoMergeOfAudit", QStringLiteral("SELECT MergeID FROM KolvixMerge WHERE AuditID = :AuditID"), {}, {7}, -1});
    c.push_back({"undoSteps",
                 lines({QStringLiteral("SELECT StepNo, TableName, Operation, ChangedColumns, OldValues, NewValues, "
                                       "KeyColumns, IntegerKey, PrimaryKey, RowsChanged, CheckColumns"),
                        QStringLiteral("FROM KolvixMergeStep WHERE MergeID = :MergeID ORDER BY StepNo")}),
                 {},
                 {1},
                 -1});
    c.push_back({"undoLedgerRows",
                 QStringLiteral("SELECT RowKey, RowData, RowCheck FROM KolvixMergeRow WHERE MergeID = :MergeID AND "
                                "StepNo = :StepNo"),
                 {},
                 {1, 2},
                 -1});
    c.push_back({"undoRowCounts",
                 QStringLiteral("SELECT StepNo, COUNT(*), SUM(CASE WHEN KeyID IS NULL THEN 1 ELSE 0 END) FROM "
                                "KolvixMergeRow WHERE MergeID = :MergeID GROUP BY StepNo"),
                 {},
                 {1},
                 -1});
    c.push_back(
        {"undoMergeRows", QStringLiteral("SELECT RowsChanged FROM KolvixMerge WHERE MergeID = :MergeID"), {}, {1}, -1});
    c.push_back({"undoClientExists",
                 QStringLiteral("SELECT COUNT(*) FROM [Client] WHERE [ClientID] = :ClientID"),
                 {},
                 {812},
                 1,
                 QStringLiteral("1")});
    c.push_back({"undoAccountExists",
                 QStringLiteral("SELECT COUNT(*) FROM [Account] WHERE [ClientID] = :ClientID AND [AccountID] = "
                                ":AccountID"),
                 {},
                 {812, 2},
                 1,
                 QStringLiteral("1")});
    c.push_back({"undoRowsHolding",
                 lines({QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN r.RowCheck IS NULL OR r.RowCheck = "
                                       "BINARY_CHECKSUM(c.[TransID], c.[Amount]) THEN 1 ELSE 0 END)"),
                        QStringLiteral("FROM KolvixMergeRow r JOIN [Trans] c ON c.[TransID] = r.KeyID"),
                        QStringLiteral("WHERE r.MergeID = 1 AND r.StepNo = 2 AND c.[ClientID] = :NowClientID AND "
                                       "c.[AccountID] = :NowAccountID")}),
                 {},
                 {57, 0},
                 1});
    c.push_back(
        {"undoRowHolding",
         QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN BINARY_CHECKSUM(c.[ShortDescription]) = :RowCheck THEN 1 "
                        "ELSE 0 END) FROM [Account] c WHERE c.[GroupID] = :NowGroupID AND c.[ClientID] = :KeyClientID "
                        "AND c.[AccountID] = :KeyAccountID"),
         {},
         {-12345, 57, 57, 0},
         1});
    c.push_back(
        {"undoKeyHeldAsLeft",
         QStringLiteral("SELECT COUNT(*) FROM [Account] c WHERE c.[ClientID] = :KeyClientID AND c.[AccountID] = "
                        ":KeyAccountID AND BINARY_CHECKSUM(c.[ClientID], c.[ShortDescription]) = :RowCheck"),
         {},
         {57, 0, -12345},
         1});
    c.push_back({"undoDeletedLater",
                 QStringLiteral("SELECT COUNT(*) FROM KolvixMergeRow r WHERE r.MergeID = 1 AND r.StepNo = 2 AND "
                                "r.KeyID IN (SELECT d.KeyID FROM KolvixMergeRow d JOIN KolvixMergeStep ds ON "
                                "ds.MergeID = d.MergeID AND ds.StepNo = d.StepNo WHERE ds.MergeID = 1 AND ds.StepNo > "
                                "2 AND ds.Operation = 'D' AND ds.TableName = :TableName)"),
                 {},
                 {QStringLiteral("Trans")},
                 1});
    c.push_back({"undoLaterMerges",
                 lines({QStringLiteral("SELECT DISTINCT m.AuditID FROM KolvixMerge m"),
                        QStringLiteral("JOIN KolvixMergeStep s ON s.MergeID = m.MergeID"),
                        QStringLiteral("JOIN KolvixMergeRow r ON r.MergeID = s.MergeID AND r.StepNo = s.StepNo"),
                        QStringLiteral("WHERE m.MergeID > 1 AND m.MergeState <> 'undone' AND s.TableName = :TableName"),
                        QStringLiteral("AND (r.KeyID IN (SELECT KeyID FROM KolvixMergeRow WHERE MergeID = 1 AND StepNo "
                                       "= 2)"),
                        QStringLiteral("OR r.RowKey IN (SELECT RowKey FROM KolvixMergeRow WHERE MergeID = 1 AND StepNo "
                                       "= 2))"),
                        QStringLiteral("ORDER BY m.AuditID DESC")}),
                 {},
                 {QStringLiteral("Trans")},
                 0});
    c.push_back({"undoMoveBack",
                 QStringLiteral("UPDATE [Trans] SET [ClientID] = 812, [AccountID] = 0 WHERE [ClientID] = 57 AND "
                                "[AccountID] = 0 AND [TransID] IN "
                                "(SELECT r.KeyID FROM KolvixMergeRow r JOIN [Trans] c ON c.[TransID] = r.KeyID WHERE "
                                "r.MergeID = 1 AND r.StepNo = 2 AND (r.RowCheck IS NULL OR r.RowCheck = "
                                "BINARY_CHECKSUM(c.[TransID], c.[Amount])))"),
                 {},
                 {},
                 -1});
    // Rows told apart by their whole value: as many as the merge moved of them.
    c.push_back({"undoMoveBackSome",
                 QStringLiteral("UPDATE TOP (2) [Documents] SET [ClientID] = 812 WHERE [ClientID] = 57 AND [Title] IS "
                                "NULL AND BINARY_CHECKSUM([Documents].[Title]) = -12345"),
                 QStringLiteral("UPDATE [Documents] SET [ClientID] = 812 WHERE rowid IN (SELECT rowid FROM [Documents] "
                                "WHERE [ClientID] = 57 AND [Title] IS NULL AND BINARY_CHECKSUM([Documents].[Title]) = "
                                "-12345 LIMIT 2)"),
                 {},
                 -1});
    c.push_back({"undoPutBack",
                 QStringLiteral("INSERT INTO [PXClientPracPermissions] ([PXClientPracPermissionsID], [ClientID], "
                                "[AllowPracID], [AllowPGroupID]) VALUES (99, 57, 1, 1)"),
                 {},
                 {},
                 1});
    c.push_back({"undoIdentityColumns",
                 QStringLiteral("SELECT COUNT(*) FROM sys.identity_columns WHERE object_id = OBJECT_ID(:TableName)"),
                 {},
                 {QStringLiteral("PXClientPracPermissions")},
                 -1,
                 {},
                 true});
    c.push_back({"undoIdentityInsertOn",
                 QStringLiteral("SET IDENTITY_INSERT [PXClientPracPermissions] ON"),
                 {},
                 {},
                 -1,
                 {},
                 true});
    c.push_back({"undoIdentityInsertOff",
                 QStringLiteral("SET IDENTITY_INSERT [PXClientPracPermissions] OFF"),
                 {},
                 {},
                 -1,
                 {},
                 true});
    c.push_back(
        {"undoAccountReferences",
         QStringLiteral("SELECT COUNT(*) FROM [Trans] WHERE [ClientID] = :ClientID AND [AccountID] = :AccountID"),
         {},
         {57, 2},
         1});
    c.push_back({"undoAddedAccount",
                 QStringLiteral("DELETE FROM [Account] WHERE [ClientID] = 57 AND [AccountID] = 1"),
                 {},
                 {},
                 1});
    c.push_back({"undoAudit",
                 lines({QStringLiteral("INSERT INTO Audit (AuditDateTime, UserName, Action, Comment, Report)"),
                        QStringLiteral("VALUES ('2026-12-11 10:20:30', 'MERGE', 'Undo merge 7: 812 > 57 (Sample, One > "
                                       "Sample, Two)', 'Trans 3, Appoint 2', 0)")}),
                 {},
                 {},
                 1});
    c.push_back({"undoAuditId",
                 QStringLiteral("SELECT MAX(AuditID) FROM Audit WHERE UserName = 'MERGE' AND Action = :Action"),
                 {},
                 {QStringLiteral("Undo merge 7: 812 > 57 (Sample, One > Sample, Two)")},
                 1});
    c.push_back({"undoMarked",
                 QStringLiteral("UPDATE KolvixMerge SET MergeState = 'undone', UndoneAt = '2026-12-11 10:20:30', "
                                "UndoAuditID = 8 WHERE MergeID = 1"),
                 {},
                 {},
                 -1});
    // The pairs marked as different people: the table (created by the program when missing),
    // a pair's mark, every mark with the clients' names, a mark written and removed.
    c.push_back(
        {"distinctPairCreate",
         lines({QStringLiteral("CREATE TABLE KolvixDistinctPair ("), QStringLiteral("    FirstClientID INT NOT NULL,"),
                QStringLiteral("    SecondClientID INT NOT NULL,"), QStringLiteral("    MarkedAt DATETIME NULL,"),
                QStringLiteral("    Workstation NVARCHAR(64) NULL,"),
                QStringLiteral("    UserName NVARCHAR(128) NULL,"), QStringLiteral("    Note NVARCHAR(255) NULL,"),
                QStringLiteral("    CONSTRAINT PK_KolvixDistinctPair PRIMARY KEY (FirstClientID, "
                               "SecondClientID),"),
                QStringLiteral("    CONSTRAINT CK_KolvixDistinctPair CHECK (FirstClientID < SecondClientID)"),
                QStringLiteral(")")}),
         {},
         {},
         -1,
         {},
         true});
    c.push_back({"distinctPairFind",
                 QStringLiteral("SELECT MarkedAt, Workstation, UserName, Note FROM KolvixDistinctPair WHERE "
                                "FirstClientID = :First AND SecondClientID = :Second"),
                 {},
                 {57, 812},
                 0});
    c.push_back({"distinctPairsRead",
                 lines({QStringLiteral("SELECT d.FirstClientID, d.SecondClientID, d.MarkedAt, d.Workstation, "
                                       "d.UserName, d.Note, a.Surname, a.Name, b.Surname, b.Name"),
                        QStringLiteral("FROM KolvixDistinctPair d"),
                        QStringLiteral("LEFT JOIN Client a ON a.ClientID = d.FirstClientID"),
                        QStringLiteral("LEFT JOIN Client b ON b.ClientID = d.SecondClientID"),
                        QStringLiteral("ORDER BY d.FirstClientID, d.SecondClientID")}),
                 {},
                 {},
                 0});
    c.push_back({"distinctPairMark",
                 lines({QStringLiteral("INSERT INTO KolvixDistinctPair (FirstClientID, SecondClientID, MarkedAt, "
                                       "Workstation, UserName, Note)"),
                        QStringLiteral("VALUES (57, 812, '2026-12-11 10:20:30', 'PC01', 'reception', 'twins')")}),
                 {},
                 {},
                 1});
    c.push_back({"distinctPairUnmark",
                 QStringLiteral("DELETE FROM KolvixDistinctPair WHERE FirstClientID = 57 AND SecondClientID = 812"),
                 {},
                 {},
                 0});
    // A client's details for the comparison of two clients.
    c.push_back(
        {"clientDetails", QString::fromLatin1(kolvix::kClientDetailsStatement), {}, {812}, 1, QStringLiteral("812")});
    return c;
}

} // namespace kolvix::test
