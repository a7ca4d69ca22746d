// kolvix-merge --find: the search of the desktop program on the command line, run as a process
// on databases built from the schema.

#include "search/SearchQuery.h"
#include "support/KolvixMergeProcess.h"
#include "support/QtPrinting.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace kolvix::test {
namespace {

struct CliRun
{
    int exitCode = -1;
    QStringList out; // the lines of standard output
    QString err;
};

const char* const kPractice = R"SQL(
INSERT INTO SystemData (SystemDataID, UseFileNo) VALUES (1, 0);
INSERT INTO Client (ClientID, Surname, Name, PreferredName, Active, FileNo, DateOfBirth, Address, Suburb, Mobile,
                    IsAGroup) VALUES
  (812, 'Sample', 'One', NULL, 'T', 'F-812', '1970-05-06 00:00:00', '1 Main St', 'Sydney', '0412 000 812', 0),
  (57, 'Sample', 'Two', 'Tee', 'T', 'F-57', '1971-01-02 08:15:00', 'Flat 2' || char(9) || 'Rear' || char(13) || char(10) || 'Lane', NULL, NULL, 0),
  (90, 'Samples', 'Old', NULL, 'F', NULL, NULL, NULL, NULL, NULL, 0);
INSERT INTO Account (ClientID, AccountID, ShortDescription, BPayRefNo, ClaimNumber) VALUES
  (812, 0, 'Primary', '8120000', 'C812'), (812, 2, 'WorkCover', '8120002', 'WC812');
)SQL";

const QString kHeader = QStringLiteral(
    "Surname\tName\tAddress\tPractitioner\tPhone Number\tDate of Birth\tFile No\tClient ID\tOccupation\tEmail\tMobile\t"
    "Work Phone\tClaim No");

class FindVerbTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db.exec(QString::fromUtf8(kPractice));
        QFile file(settingsDir.filePath("kolvix.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Kolvix]\nUse Rollback=1\nLog=0\n");
    }

    CliRun run(const QStringList& options, const QString& dataSource = {})
    {
        const ProcessRun r = runKolvixMerge(kolvixMergeArguments(
            settingsDir.filePath("kolvix.ini"), dataSource.isEmpty() ? db.path() : dataSource, options));
        QString out = r.out;
        if (out.endsWith(u'\n'))
            out.chop(1);
        return {r.exitCode, out.isEmpty() ? QStringList() : out.split(u'\n'), r.err};
    }

    QTemporaryDir settingsDir;
    TestDatabase db;
};

TEST_F(FindVerbTest, PrintsTheStatementTheCountTheHeaderAndTheRows)
{
    const CliRun r = run({"--find", "sample, t", "--show-sql"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringList({
                  "SQL: SELECT TOP 50 * FROM PatientSearch",
                  "SQL: WHERE (Surname LIKE :asLike1 ) AND (Name LIKE :asLike2 )",
                  "SQL: AND Active = 'T'",
                  "SQL: ORDER BY Surname",
                  "SQL: , Name",
                  "Parameter asLike1 (text): sample%",
                  "Parameter asLike2 (text): t%",
                  "Total Patients 2",
                  kHeader,
                  "Sample\tTwo (Tee)\tFlat 2\\tRear\\r\\nLane\t\t\t1971-01-02 08:15\t57\t57\t\t\t\t\t",
              }));
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

TEST_F(FindVerbTest, FieldsOptionsAndCellsAsTheGridShowsThem)
{
    struct Case
    {
        QStringList args;
        QStringList out;
    };
    // The Claim No column shows the primary account's claim number, which a Claim No search finds.
    const std::vector<Case> cases {
        {{"--find", "SAM"},
         {"Total Patients 2", kHeader,
          "Sample\tOne\t1 Main St Sydney\t\t\t1970-05-06\t812\t812\t\t\t0412 000 812\t\tC812",
          "Sample\tTwo (Tee)\tFlat 2\\tRear\\r\\nLane\t\t\t1971-01-02 08:15\t57\t57\t\t\t\t\t"}},
        {{"--find", "sam", "--archived", "--field", "SURNAME"},
         {"Total Patients 3", kHeader,
          "Sample\tOne\t1 Main St Sydney\t\t\t1970-05-06\t812\t812\t\t\t0412 000 812\t\tC812",
          "Sample\tTwo (Tee)\tFlat 2\\tRear\\r\\nLane\t\t\t1971-01-02 08:15\t57\t57\t\t\t\t\t",
          "Samples\tOld\t\t\t\t\t90\t90\t\t\t\t\t"}},
        {{"--find", "", "--field", "client id"},
         {"Total Patients 2",
          "Client ID\tSurname\tName\tAddress\tPractitioner\tPhone Number\tDate of Birth\tFile No\tOccupation\tEmail\t"
          "Mobile\tWork Phone\tClaim No"}},
        {{"--find", ""}, {"Total Patients 2", kHeader}},
        {{"--find", "04 12", "--field", "Mobile"},
         {"Total Patients 2",
          "Mobile\tSurname\tName\tAddress\tPractitioner\tPhone Number\tDate of Birth\tFile No\tClient ID\tOccupation\t"
          "Email\tWork Phone\tClaim No",
          "0412 000 812\tSample\tOne\t1 Main St Sydney\t\t\t1970-05-06\t812\t812\t\t\t\tC812"}},
        {{"--find", "81200", "--field", "bpay ref no"},
         {"Total Patients 2",
          "BPAY Ref No\tSurname\tName\tAccount\tAddress\tPractitioner\tPhone Number\tDate of Birth\tFile No\t"
          "Client ID\tOccupation\tEmail\tWork Phone\tClaim No\tMobile",
          "8120000\tSample\tOne\tPrimary\t1 Main St Sydney\t\t\t1970-05-06\t812\t812\t\t\t\tC812\t0412 000 812",
          "8120002\tSample\tOne\tWorkCover\t1 Main St Sydney\t\t\t1970-05-06\t812\t812\t\t\t\tWC812\t0412 000 812"}},
        {{"--find", "Sampel", "--sounds-like"},
         {"Total Patients 2", kHeader,
          "Sample\tOne\t1 Main St Sydney\t\t\t1970-05-06\t812\t812\t\t\t0412 000 812\t\tC812",
          "Sample\tTwo (Tee)\tFlat 2\\tRear\\r\\nLane\t\t\t1971-01-02 08:15\t57\t57\t\t\t\t\t"}},
    };
    for (const Case& c : cases) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.exitCode, 0) << c.args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_EQ(r.out, c.out) << c.args.join(' ').toStdString();
    }
}

TEST_F(FindVerbTest, ShowAllAndTheFileNumbersOfAPracticeThatUsesThem)
{
    db.exec(QStringLiteral("UPDATE SystemData SET UseFileNo = 1;"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
                           "INSERT INTO Client (ClientID, Surname, Name, Active, FileNo) "
                           "SELECT 2000 + i, 'Zed' || printf('%04d', i), 'Zoe', 'T', 'Z' || i FROM n;"));
    const CliRun top = run({"--find", "zed"});
    ASSERT_EQ(top.exitCode, 0);
    EXPECT_EQ(top.out.size(), 2 + 50);
    EXPECT_EQ(top.out[2], QStringLiteral("Zed0001\tZoe\t\t\t\t\tZ1\t2001\t\t\t\t\t"));
    const CliRun all = run({"--find", "zed", "--all", "--show-sql"});
    ASSERT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.out[0], QStringLiteral("SQL: SELECT * FROM PatientSearch"));
    EXPECT_EQ(all.out.size(), 6 + 2 + 1200);
    EXPECT_EQ(all.out.last(), QStringLiteral("Zed1200\tZoe\t\t\t\t\tZ1200\t3200\t\t\t\t\t"));
    const CliRun clientNumber = run({"--find", "20", "--field", "File No", "--show-sql"});
    EXPECT_EQ(clientNumber.out[1], QStringLiteral("SQL: WHERE FileNo LIKE :asLike1"));
    const CliRun clientId = run({"--find", "2001x", "--field", "Client ID", "--show-sql"});
    EXPECT_EQ(clientId.out[4], QStringLiteral("Parameter asLike1 (integer): 0"));
}

TEST_F(FindVerbTest, BadUsageExits64)
{
    for (const QStringList& args :
         {QStringList {"--find"}, QStringList {"--find", "a", "--field", "Phone"},
          QStringList {"--find", "", "--sounds-like"}, QStringList {"--find", "a", "--sounds-like", "--field", "Email"},
          QStringList {"--find", "a", "--from", "1"}, QStringList {"--find", "a", "--find", "b"},
          QStringList {"--find", "a", "stray"}, QStringList {"--find", "a", "--all=1"},
          QStringList {"--find", QString(60000, u'4'), "--field", "Mobile"}}) {
        const CliRun r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    }
}

TEST_F(FindVerbTest, ATextLongerThanTheSearchTakesIsBadUsageNamingTheMaximum)
{
    const CliRun r = run({"--find", QString(kMaxSearchTextLength + 1, u'x'), "--field", "Email"});
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("at most %1 characters").arg(kMaxSearchTextLength)))
        << r.err.toStdString();
}

// A NUL or another control character in a value is shown escaped: the row keeps all its cells,
// the Client ID too, on one line.
TEST_F(FindVerbTest, ControlCharactersInAValueAreEscapedNotCut)
{
    db.exec(QStringLiteral("INSERT INTO Client (ClientID, Surname, Name, Active, FileNo, IsAGroup) VALUES "
                           "(333, 'Nul' || char(0) || 'Tab' || char(9) || 'Esc' || char(27) || 'End', 'Una', 'T', "
                           "'F-333', 0)"));
    const CliRun r = run({"--find", "nul"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringList({"Total Patients 3", kHeader, "Nul\\x00Tab\\tEsc\\x1BEnd\tUna\t\t\t\t\t333\t333\t\t\t\t\t"}));
}

TEST_F(FindVerbTest, FailuresExit2OrWithoutAConnection3AndNothingChanges)
{
    const auto before = db.snapshot();
    const CliRun noConnection = run({"--find", "a"}, settingsDir.filePath("missing.db"));
    EXPECT_EQ(noConnection.exitCode, 3);
    EXPECT_TRUE(noConnection.err.startsWith("Error: Unable to connect")) << noConnection.err.toStdString();
    EXPECT_TRUE(noConnection.out.isEmpty()) << noConnection.out.join('\n').toStdString();

    for (const char* text : {"'; DROP TABLE Client; --", "%_[]/* */", "日本", ""})
        EXPECT_EQ(run({"--find", QString::fromUtf8(text), "--all"}).exitCode, 0) << text;
    // The longest text the search takes runs on every field (a long pattern on Mobile was once
    // refused by the engine as too complex).
    for (const QString& field : searchFieldCaptions())
        EXPECT_EQ(run({"--find", QString(kMaxSearchTextLength, u'4'), "--field", field}).exitCode, 0)
            << field.toStdString();
    EXPECT_EQ(db.snapshot(), before);

    db.exec(QStringLiteral("DROP VIEW PatientSearch;"));
    const CliRun failed = run({"--find", "sam"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_EQ(failed.err, QStringLiteral("Error: no such table: PatientSearch\n"));
    EXPECT_FALSE(failed.out.join('\n').contains("Error")) << failed.out.join('\n').toStdString();
}

TEST_F(FindVerbTest, ADatabaseOfJustTheSearchObjectsWillDo)
{
    const QString path = settingsDir.filePath("search-only.db");
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &handle), SQLITE_OK);
    const char* sql = R"SQL(
CREATE TABLE Client (ClientID INTEGER PRIMARY KEY, Surname TEXT, Name TEXT, Active TEXT);
CREATE VIEW PatientSearch AS SELECT ClientID, Surname, Name, NULL AS PreferredName, NULL AS Practitioner,
  NULL AS Address, NULL AS HomePhone, NULL AS DateOfBirth, NULL AS FileNo, NULL AS Occupation, NULL AS Email,
  NULL AS Mobile, NULL AS WorkPhone, NULL AS ClaimNumber, 0 AS AccountID, 0 AS IsAGroup, Active,
  NULL AS BPayRefNo, NULL AS ShortDescription FROM Client;
CREATE VIEW PatientSearchBPAY AS SELECT * FROM PatientSearch;
CREATE TABLE SystemData (UseFileNo INTEGER);
INSERT INTO SystemData VALUES (0);
INSERT INTO Client VALUES (5, 'Solo', 'Sam', 'T');
)SQL";
    ASSERT_EQ(sqlite3_exec(handle, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);
    const CliRun r = run({"--find", "so"}, path);
    EXPECT_EQ(r.exitCode, 0) << r.out.join('\n').toStdString();
    EXPECT_EQ(r.out.value(2), QStringLiteral("Solo\tSam\t\t\t\t\t5\t5\t\t\t\t\t"));
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();

    // Without SystemData the search goes on with client numbers, and says so on standard error.
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &handle), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(handle, "DROP TABLE SystemData", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);
    const CliRun withoutSetting = run({"--find", "5", "--field", "file no"}, path);
    EXPECT_EQ(withoutSetting.exitCode, 0);
    EXPECT_EQ(withoutSetting.out.value(2), QStringLiteral("5\tSolo\tSam\t\t\t\t\t5\t\t\t\t\t"));
    EXPECT_TRUE(withoutSetting.err.contains("UseFileNo could not be read")) << withoutSetting.err.toStdString();
}

} // namespace
} // namespace kolvix::test
