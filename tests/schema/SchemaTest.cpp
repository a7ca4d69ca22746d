// The database scripts: the SQLite schema that tests and the demo generator build on, and the
// SQL Server script, which cannot run here and is checked against the SQLite one instead.

#include "SqliteFile.h"
#include "support/MovedTables.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include <algorithm>

namespace kolvix::test {
namespace {

const QStringList kSearchViewColumns
    = {"ClientID",    "Surname",  "Name",       "PreferredName", "Practitioner",    "Address",   "HomePhone",
       "DateOfBirth", "FileNo",   "Occupation", "Email",         "Mobile",          "WorkPhone", "ClaimNumber",
       "AccountID",   "IsAGroup", "Active",     "BPayRefNo",     "ShortDescription"};

// Columns that hold a client id, wherever they occur.
const QStringList kClientIdColumns
    = {"ClientID", "GroupID", "ReferredByID", "ReferredByID2", "GuestClientID", "ParentID"};

QString readSource(const QString& relative)
{
    QFile file(sourcePath(relative));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("missing " + relative.toStdString());
    return QString::fromUtf8(file.readAll());
}

class SqliteSchema : public ::testing::Test
{
protected:
    TestDatabase database; // builds schema/sqlite/schema.sql; throws when the script fails
    SqliteFile db {database.path()};
};

TEST_F(SqliteSchema, HasEveryObjectWithTheColumnsTheUtilityNames)
{
    QMap<QString, QStringList> expected = {
        {"Client",
         {"ClientID", "Name", "Surname", "Active", "ReferredByID", "ReferredByID2", "PXAccess", "PXVerified", "PXEmail",
          "PendingClient"}},
        {"Account", {"ClientID", "AccountID", "ShortDescription", "GroupID"}},
        {"PatCat", {"ClientID", "CategoryID"}},
        {"ClientContact", {"ClientID", "ContactID", "RelationID"}},
        {"ClientContacts",
         {"ClientID", "ContactID", "RelationID", "FullNameNoTitle", "ContactType", "RelationMergeID"}},
        {"Relation", {"RelationID", "Description"}},
        {"PXClientLink", {"ClientID", "GroupID"}},
        {"PXPendingClient", {"PendingClientID", "GuestClientID", "ParentID"}},
        {"PXClientForgotPassword", {"ClientID", "ExpiryDate", "Activated"}},
        {"PXClientPracPermissions", {"PXClientPracPermissionsID", "ClientID", "AllowPracID", "AllowPGroupID"}},
        {"SystemData", {"UseFileNo"}},
        {"Audit", {"AuditID", "AuditDateTime", "UserName", "Action", "Comment", "Report"}},
    };
    // Every column the merge moves, and AccountID beside the ClientID of the tables it moves
    // account by account.
    for (const MovedColumn& moved : movedColumns()) {
        QStringList wanted {moved.column};
        if (moved.byAccount)
            wanted << "AccountID";
        QStringList& columns = expected[moved.table];
        for (const QString& column : wanted) {
            if (!columns.contains(column))
                columns << column;
        }
    }

    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QStringList columns = db.columns(it.key());
        EXPECT_FALSE(columns.isEmpty()) << it.key().toStdString() << " is missing";
        for (const QString& column : it.value())
            EXPECT_TRUE(columns.contains(column)) << it.key().toStdString() << "." << column.toStdString();
    }
}

TEST_F(SqliteSchema, AccountColumnOrderSuitsTheAccountCopy)
{
    const QStringList columns = db.columns("Account");
    ASSERT_GE(columns.size(), 6);
    EXPECT_EQ(columns[0], "ClientID");
    EXPECT_EQ(columns[1], "AccountID");
    EXPECT_EQ(columns[5], "ShortDescription");
}

TEST_F(SqliteSchema, EveryClientIdColumnHasAnIndex)
{
    int checked = 0;
    for (const QString& table :
         db.column("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' ORDER BY name")) {
        // The leading columns of every index of the table, and its rowid key.
        QList<QStringList> indexes;
        for (const QString& index : db.column(QStringLiteral("SELECT name FROM pragma_index_list('%1')").arg(table)))
            indexes << db.column(QStringLiteral("SELECT name FROM pragma_index_info('%1') ORDER BY seqno").arg(index));
        QString rowidKey;
        const auto info = db.rows(QStringLiteral("PRAGMA table_info([%1])").arg(table));
        const auto isKey = [](const QStringList& row) { return row.value(5) != "0"; };
        if (std::count_if(info.begin(), info.end(), isKey) == 1) {
            const QStringList key = *std::find_if(info.begin(), info.end(), isKey);
            if (key.value(2).compare("INTEGER", Qt::CaseInsensitive) == 0)
                rowidKey = key.value(1);
        }
        const auto indexed = [&](const QStringList& leading) {
            if (leading.size() == 1 && leading.front() == rowidKey)
                return true;
            return std::any_of(indexes.begin(), indexes.end(),
                               [&](const QStringList& index) { return index.mid(0, leading.size()) == leading; });
        };

        const QStringList columns = db.columns(table);
        for (const QString& column : columns) {
            if (!kClientIdColumns.contains(column))
                continue;
            ++checked;
            EXPECT_TRUE(indexed({column})) << table.toStdString() << "." << column.toStdString() << " has no index";
        }
        if (columns.contains("ClientID") && columns.contains("AccountID")) {
            EXPECT_TRUE(indexed({"ClientID", "AccountID"}))
                << table.toStdString() << " has no (ClientID, AccountID) index";
        }
    }
    EXPECT_GE(checked, 40); // every moved table, and the others that name clients
}

TEST_F(SqliteSchema, SearchViewsCarryTheNineteenColumns)
{
    for (const QString& view : QStringList {"PatientSearch", "PatientSearchBPAY"}) {
        const QStringList columns = db.columns(view);
        EXPECT_EQ(QSet<QString>(columns.begin(), columns.end()),
                  QSet<QString>(kSearchViewColumns.begin(), kSearchViewColumns.end()))
            << view.toStdString() << ": " << columns.join(", ").toStdString();
        EXPECT_EQ(columns.size(), kSearchViewColumns.size()) << view.toStdString();
    }
}

TEST_F(SqliteSchema, PatientSearchListsClientsAndPatientSearchBpayListsAccounts)
{
    db.exec(R"(
        INSERT INTO Practitioner (PractitionerID, Title, Name, Surname) VALUES (1, 'Dr', 'Alice', 'Morgan');
        INSERT INTO Client (ClientID, Surname, Name, PractitionerID, Address, Suburb, State, PostCode, Active,
                            BPayRefNo)
            VALUES (10, 'Smith', 'Jo', 1, '1 High St', 'Fitzroy', 'VIC', '3065', 'T', '0000001000');
        INSERT INTO Client (ClientID, Surname, Name, Active) VALUES (11, 'Adams', 'Bo', 'F');
        INSERT INTO Account (ClientID, AccountID, ShortDescription, BPayRefNo, ClaimNumber) VALUES
            (10, 0, 'Primary', '0000001000', NULL), (10, 3, 'WorkCover', '0000001003', 'WC123456');
    )");

    EXPECT_EQ(db.rows("SELECT ClientID, AccountID, ShortDescription, Practitioner, Address, Active FROM PatientSearch "
                      "ORDER BY ClientID"),
              (std::vector<QStringList> {{"10", "0", "Primary", "Dr Alice Morgan", "1 High St Fitzroy VIC 3065", "T"},
                                         {"11", "NULL", "NULL", "NULL", "NULL", "F"}}));
    EXPECT_EQ(db.rows("SELECT ClientID, AccountID, ShortDescription, BPayRefNo, ClaimNumber FROM PatientSearchBPAY "
                      "ORDER BY AccountID"),
              (std::vector<QStringList> {{"10", "0", "Primary", "0000001000", "NULL"},
                                         {"10", "3", "WorkCover", "0000001003", "WC123456"}}));
    // Names compare without regard to case, as on SQL Server.
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM PatientSearch WHERE Surname = 'SMITH'"), 1);
}

// Both views read the claim number from the account: what the grid of a Surname search shows is
// what a Claim No search finds, never a client-level number that no search looks at.
TEST_F(SqliteSchema, BothSearchViewsShowTheAccountsClaimNumber)
{
    db.exec(R"(
        INSERT INTO Client (ClientID, Surname, Name, Active, ClaimNumber) VALUES (10, 'Smith', 'Jo', 'T', 'C0000001'),
                                                                                 (11, 'Adams', 'Bo', 'T', NULL);
        INSERT INTO Account (ClientID, AccountID, ShortDescription, ClaimNumber) VALUES
            (10, 0, 'Primary', 'P555'), (10, 3, 'WorkCover', 'WC123456'), (11, 0, 'Primary', NULL);
    )");
    EXPECT_EQ(db.rows("SELECT ClientID, ClaimNumber FROM PatientSearch ORDER BY ClientID"),
              (std::vector<QStringList> {{"10", "P555"}, {"11", "NULL"}}));
    EXPECT_EQ(db.rows("SELECT s.ClientID FROM PatientSearch s JOIN PatientSearchBPAY b "
                      "ON b.ClientID = s.ClientID AND b.ClaimNumber = s.ClaimNumber"),
              (std::vector<QStringList> {{"10"}}));
}

TEST_F(SqliteSchema, ClientContactsNamesTheContactAndItsKind)
{
    db.exec(R"(
        INSERT INTO Relation (RelationID, Description, MergeID) VALUES (1, 'Mother', 3), (5, 'GP', NULL);
        INSERT INTO Contact (ContactID, Title, Name, Surname, Company, ContactType) VALUES
            (1, 'Dr', 'Helen', 'Park', 'Northside Medical', 'GP'),
            (2, NULL, NULL, NULL, 'Acme Logistics', 'Employer'),
            (3, 'Mrs', 'Ann', 'Lee', NULL, 'Family');
        INSERT INTO ClientContact (ClientID, ContactID, RelationID, ContactType) VALUES
            (10, 1, 5, NULL), (10, 2, 8, NULL), (10, 3, 1, 'Next of kin');
    )");
    EXPECT_EQ(db.rows("SELECT ContactID, FullNameNoTitle, ContactType, RelationMergeID FROM ClientContacts "
                      "WHERE ClientID = 10 ORDER BY ContactID"),
              (std::vector<QStringList> {{"1", "Helen Park", "GP", "5"},
                                         {"2", "Acme Logistics", "Employer", "8"},
                                         {"3", "Ann Lee", "Next of kin", "3"}}));
}

TEST_F(SqliteSchema, AuditIdsAreFilledByTheDatabaseAndNeverReused)
{
    db.exec("INSERT INTO Audit (AuditDateTime, UserName, Action, Comment, Report) "
            "VALUES ('2024-06-30 10:00:00', 'MERGE', 'Merge 812 > 57 (Sample, One > Sample, Two)', '', 0)");
    db.exec("INSERT INTO Audit (UserName) VALUES ('MERGE')");
    EXPECT_EQ(db.column("SELECT AuditID FROM Audit ORDER BY AuditID"), QStringList({"1", "2"}));
    db.exec("DELETE FROM Audit WHERE AuditID = 2");
    db.exec("INSERT INTO Audit (UserName) VALUES ('MERGE')");
    EXPECT_EQ(db.scalar("SELECT MAX(AuditID) FROM Audit"), "3");
}

// ---------------------------------------------------------------------------------------------
// The SQL Server script, read as text and compared with the SQLite one.
// ---------------------------------------------------------------------------------------------

struct ScriptObjects
{
    QMap<QString, QStringList> tableColumns; // in order
    QMap<QString, QStringList> viewColumns; // in order
    QSet<QString> indexes; // "table(columns)"
};

QString withoutComments(QString script)
{
    script.remove(QRegularExpression(QStringLiteral("--[^\n]*")));
    return script;
}

// Splits a select list at its top-level commas.
QStringList selectItems(const QString& list)
{
    QStringList items;
    int depth = 0;
    QString current;
    for (const QChar c : list) {
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        if (c == ',' && depth == 0) {
            items << current.trimmed();
            current.clear();
        } else {
            current += c;
        }
    }
    items << current.trimmed();
    return items;
}

ScriptObjects parseScript(const QString& script)
{
    ScriptObjects objects;
    const QString text = withoutComments(script);

    static const QRegularExpression table(QStringLiteral(R"(CREATE TABLE (?:dbo\.)?(\w+) \((.*?)\n\);)"),
                                          QRegularExpression::DotMatchesEverythingOption);
    // Columns that the embedded engine computes for its own indexes (the address of the search
    // views) are not the product's: they and their indexes stay out of the comparison.
    QStringList generated;
    for (auto it = table.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        QStringList columns;
        for (const QString& line : match.captured(2).split('\n')) {
            const QString first = line.trimmed().section(' ', 0, 0);
            if (line.contains(QLatin1String("GENERATED ALWAYS AS")))
                generated << match.captured(1) + "(" + first + ")";
            else if (!first.isEmpty() && first != "CONSTRAINT" && first != "PRIMARY")
                columns << first;
        }
        objects.tableColumns.insert(match.captured(1), columns);
    }

    static const QRegularExpression view(QStringLiteral(R"(CREATE VIEW (?:dbo\.)?(\w+)\s+AS\s+SELECT\s(.*?)\sFROM )"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression lastName(QStringLiteral(R"((\w+)$)"));
    for (auto it = view.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        QStringList columns;
        for (const QString& item : selectItems(match.captured(2)))
            columns << lastName.match(item).captured(1);
        objects.viewColumns.insert(match.captured(1), columns);
    }

    static const QRegularExpression index(QStringLiteral(R"(CREATE INDEX \w+\s+ON (?:dbo\.)?(\w+) \(([^)]*)\))"));
    for (auto it = index.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        const QString index = match.captured(1) + "(" + match.captured(2).remove(' ') + ")";
        if (!generated.contains(index))
            objects.indexes << index;
    }
    return objects;
}

TEST(SqlServerSchema, CreatesTheSameTablesColumnsViewsAndIndexesAsTheSqliteSchema)
{
    const ScriptObjects sqlite = parseScript(readSource("schema/sqlite/schema.sql"));
    const ScriptObjects sqlServer = parseScript(readSource("schema/sqlserver/schema.sql"));

    ASSERT_GE(sqlite.tableColumns.size(), 40);
    EXPECT_EQ(sqlServer.tableColumns.keys(), sqlite.tableColumns.keys());
    for (auto it = sqlite.tableColumns.cbegin(); it != sqlite.tableColumns.cend(); ++it)
        EXPECT_EQ(sqlServer.tableColumns.value(it.key()), it.value()) << it.key().toStdString();

    EXPECT_EQ(sqlite.viewColumns.value("PatientSearch"), kSearchViewColumns);
    EXPECT_EQ(sqlite.viewColumns.value("PatientSearchBPAY"), kSearchViewColumns);
    EXPECT_EQ(sqlServer.viewColumns, sqlite.viewColumns);
    EXPECT_EQ(sqlServer.indexes, sqlite.indexes);
}

TEST(SqlServerSchema, StartsEveryViewAndFunctionInABatchOfItsOwn)
{
    const QString script = readSource("schema/sqlserver/schema.sql");
    EXPECT_TRUE(script.contains(QRegularExpression(
        QStringLiteral(R"(CREATE FUNCTION dbo\.onlyNumericChars \(@s VARCHAR\(\d+\)\)\s+RETURNS VARCHAR\(\d+\))"))));

    // CREATE VIEW and CREATE FUNCTION must be the first statement of a batch, and every batch
    // ends with GO.
    QString previous;
    int batchStarts = 0;
    for (const QString& raw : script.split('\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith("--"))
            continue;
        if (line.startsWith("CREATE VIEW") || line.startsWith("CREATE FUNCTION")) {
            ++batchStarts;
            EXPECT_EQ(previous, "GO") << line.toStdString();
        }
        previous = line;
    }
    EXPECT_EQ(batchStarts, 4);
    EXPECT_EQ(previous, "GO");
}

} // namespace
} // namespace kolvix::test
