// The demo-database generator: its sample pairs hold what they claim to show, and its large
// database has the heavy pair and rows everywhere. The generator runs as a separate program.

#include "SqliteFile.h"
#include "support/MovedTables.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace kolvix::test {
namespace {

struct GeneratorRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

GeneratorRun runGenerator(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(KOLVIX_BINARY_DIR "/kolvix-demo-db"), arguments);
    GeneratorRun run;
    if (!process.waitForFinished(300000)) {
        process.kill();
        run.err = "did not finish";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    // Windows ends the printed lines with CR LF.
    run.out = QString::fromUtf8(process.readAllStandardOutput()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    run.err = QString::fromUtf8(process.readAllStandardError()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return run;
}

struct Pair
{
    int from = 0;
    int to = 0;
};

QMap<QString, Pair> parsePairs(const QString& output)
{
    static const QRegularExpression line(QStringLiteral(R"(^pair (\w+): from (\d+) to (\d+)  \(.+\)$)"),
                                         QRegularExpression::MultilineOption);
    QMap<QString, Pair> pairs;
    for (auto it = line.globalMatch(output); it.hasNext();) {
        const auto match = it.next();
        pairs.insert(match.captured(1), {match.captured(2).toInt(), match.captured(3).toInt()});
    }
    return pairs;
}

// The reason tag of the first merge pre-check that refuses the pair (checks 2 to 8), or an empty
// text when all pass; "+grouped" is appended when other clients' accounts are linked to From.
QString checkOutcome(const SqliteFile& db, const Pair& pair)
{
    const QString from = QString::number(pair.from);
    const QString to = QString::number(pair.to);
    QString outcome;
    const auto wpx = db.rows("SELECT PXAccess, PXVerified, IFNULL(PXEmail, '') FROM Client WHERE ClientID = " + from);
    const auto pendingRow
        = db.rows("SELECT ParentID FROM PXPendingClient WHERE GuestClientID = " + from + " ORDER BY PendingClientID");
    const QString today = QDate::currentDate().toString("yyyy-MM-dd") + " 00:00:00";
    const auto contactConflicts
        = db.count("SELECT COUNT(*) FROM ClientContacts t JOIN ClientContacts f ON f.ClientID = " + from
                   + " AND (f.RelationID = t.RelationID AND f.ContactID <> t.ContactID"
                     "      OR f.ContactID = t.ContactID AND (f.RelationID <> t.RelationID"
                     "         OR UPPER(TRIM(IFNULL(f.ContactType, ''))) <> UPPER(TRIM(IFNULL(t.ContactType, '')))))"
                     " WHERE t.ClientID = "
                   + to);

    if (!wpx.empty() && wpx[0][0] == "1" && wpx[0][1] == "1" && !wpx[0][2].isEmpty())
        outcome = "WPXEnabledFrom";
    else if (!pendingRow.empty()
             && (pendingRow[0][0] != "NULL"
                 || db.scalar("SELECT PendingClient FROM Client WHERE ClientID = " + from) == "1"))
        outcome = "WPXPendingAction";
    else if (db.count("SELECT COUNT(*) FROM PXClientForgotPassword WHERE ClientID = " + from + " AND ExpiryDate > '"
                      + today + "' AND Activated = 0")
             > 0)
        outcome = "WPXPendingPassword";
    else if (db.count("SELECT COUNT(*) FROM PXClientLink WHERE GroupID = " + from) > 0)
        outcome = "WPXEnabledGrouped";
    else if (db.count("SELECT COUNT(*) FROM PXClientLink WHERE ClientID = " + from) > 0)
        outcome = "WPXEnabledLink";
    else if (contactConflicts > 0)
        outcome = "ContactConflict";
    else if (db.count("SELECT COUNT(*) FROM Account WHERE ClientID = " + to + " AND GroupID = " + from) > 0)
        outcome = "BadGroupIDMerge";
    if (outcome.isEmpty() && db.count("SELECT COUNT(*) FROM Account WHERE GroupID = " + from) > 0)
        outcome = "+grouped";
    return outcome;
}

QStringList accounts(const SqliteFile& db, int client)
{
    return db.column(QStringLiteral("SELECT AccountID || '=' || ShortDescription FROM Account WHERE ClientID = %1 "
                                    "ORDER BY AccountID")
                         .arg(client));
}

// ---------------------------------------------------------------------------------------------
// The sample database, built once for the suite.
// ---------------------------------------------------------------------------------------------

class SampleDatabase : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<QTemporaryDir>();
        path = folder->filePath("sample.db");
        run = runGenerator({path});
    }
    static void TearDownTestSuite() { folder.reset(); }

    void SetUp() override
    {
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        pairs = parsePairs(run.out);
        db = std::make_unique<SqliteFile>(path);
    }

    static inline std::unique_ptr<QTemporaryDir> folder;
    static inline QString path;
    static inline GeneratorRun run;
    QMap<QString, Pair> pairs;
    std::unique_ptr<SqliteFile> db;
};

TEST_F(SampleDatabase, EachNamedPairStopsAtTheCheckItShows)
{
    const QMap<QString, QString> expected = {
        {"basic", ""},
        {"aliases", ""},
        {"linked", "+grouped"},
        {"wpx", "WPXEnabledFrom"},
        {"pending", "WPXPendingAction"},
        {"password", "WPXPendingPassword"},
        {"wpxmaster", "WPXEnabledGrouped"},
        {"wpxlinked", "WPXEnabledLink"},
        {"contacts", "ContactConflict"},
        {"badgroup", "BadGroupIDMerge"},
    };
    EXPECT_EQ(pairs.keys(), expected.keys()) << run.out.toStdString();
    for (auto it = pairs.cbegin(); it != pairs.cend(); ++it) {
        EXPECT_EQ(checkOutcome(*db, it.value()), expected.value(it.key())) << it.key().toStdString();
        EXPECT_EQ(db->count(QStringLiteral("SELECT COUNT(*) FROM Client WHERE ClientID IN (%1, %2)")
                                .arg(it.value().from)
                                .arg(it.value().to)),
                  2)
            << it.key().toStdString();
    }
}

TEST_F(SampleDatabase, BasicPairIsTheWorkedExample)
{
    ASSERT_EQ(pairs.value("basic").from, 812);
    ASSERT_EQ(pairs.value("basic").to, 57);
    EXPECT_EQ(db->scalar("SELECT Surname || ', ' || Name FROM Client WHERE ClientID = 812"), "Sample, One");
    EXPECT_EQ(db->scalar("SELECT Surname || ', ' || Name FROM Client WHERE ClientID = 57"), "Sample, Two");
    EXPECT_EQ(accounts(*db, 812), QStringList({"0=Primary", "2=WorkCover"}));
    EXPECT_EQ(accounts(*db, 57), QStringList({"0=Primary", "1=Medicare"}));
}

TEST_F(SampleDatabase, BasicFromClientHasRowsEverywhereAMergeReaches)
{
    for (const QString& table : tablesMovedByAccount())
        for (int account : {0, 2})
            EXPECT_GT(db->count(QStringLiteral("SELECT COUNT(*) FROM [%1] WHERE ClientID = 812 AND AccountID = %2")
                                    .arg(table)
                                    .arg(account)),
                      0)
                << table.toStdString() << " account " << account;
    for (const QString& table : tablesMovedByClientId())
        EXPECT_GT(db->count(QStringLiteral("SELECT COUNT(*) FROM [%1] WHERE ClientID = 812").arg(table)), 0)
            << table.toStdString();
    for (const QString& where :
         QStringList {"Client WHERE ReferredByID = 812", "Client WHERE ReferredByID2 = 812",
                      "PXPendingClient WHERE GuestClientID = 812", "PXPendingClient WHERE ParentID = 812",
                      // becomes a self-reference once the merge moves the parent
                      "PXPendingClient WHERE GuestClientID = 57 AND ParentID = 812"})
        EXPECT_GT(db->count(QStringLiteral("SELECT COUNT(*) FROM ") + where), 0) << where.toStdString();

    // Categories: one that moves, one that 57 already holds and that stays behind.
    EXPECT_EQ(db->column("SELECT CategoryID FROM PatCat WHERE ClientID = 812 AND CategoryID IN "
                         "(SELECT CategoryID FROM PatCat WHERE ClientID = 57)")
                  .size(),
              1);
    EXPECT_GE(db->count("SELECT COUNT(*) FROM PatCat WHERE ClientID = 812 AND CategoryID NOT IN "
                        "(SELECT CategoryID FROM PatCat WHERE ClientID = 57)"),
              1);
    // Contacts: some that move, one that both hold and that stays behind.
    EXPECT_GE(db->count("SELECT COUNT(*) FROM ClientContact WHERE ClientID = 812 "
                        "AND ContactID  NOT IN (SELECT ContactID  FROM ClientContacts WHERE ClientID = 57) "
                        "AND RelationID NOT IN (SELECT RelationID FROM ClientContacts WHERE ClientID = 57)"),
              1);
    EXPECT_EQ(db->count("SELECT COUNT(*) FROM ClientContact f JOIN ClientContact t ON t.ContactID = f.ContactID "
                        "AND t.RelationID = f.RelationID AND t.ClientID = 57 WHERE f.ClientID = 812"),
              1);
    // Permissions that duplicate 57's once moved.
    EXPECT_GE(db->count("SELECT COUNT(*) FROM PXClientPracPermissions f JOIN PXClientPracPermissions t "
                        "ON t.AllowPracID = f.AllowPracID AND t.AllowPGroupID = f.AllowPGroupID AND t.ClientID = 57 "
                        "WHERE f.ClientID = 812"),
              1);
}

TEST_F(SampleDatabase, PairsHoldTheAccountsAndContactsTheyClaim)
{
    const Pair aliases = pairs.value("aliases");
    EXPECT_EQ(accounts(*db, aliases.from),
              QStringList({"0=1st", "1=Medicare EPC", "2=Dept. of Vet.", "3=W^Cover", "4=mum", "5=Bulk Bill"}));
    EXPECT_EQ(accounts(*db, aliases.to), QStringList({"0=Primary", "1=Medicare", "2=DVA", "3=WC", "4=Parent"}));

    // linked: the primary accounts carry different names.
    const Pair linked = pairs.value("linked");
    EXPECT_NE(db->scalar(QStringLiteral("SELECT ShortDescription FROM Account WHERE ClientID = %1 AND AccountID = 0")
                             .arg(linked.from)),
              db->scalar(QStringLiteral("SELECT ShortDescription FROM Account WHERE ClientID = %1 AND AccountID = 0")
                             .arg(linked.to)));

    // contacts: a relation held through different contacts, and one contact held the same way.
    const Pair contacts = pairs.value("contacts");
    const QString join = QStringLiteral("SELECT COUNT(*) FROM ClientContacts t "
                                        "JOIN ClientContacts f ON f.ClientID = %1 AND %3 WHERE t.ClientID = %2")
                             .arg(contacts.from)
                             .arg(contacts.to);
    EXPECT_GE(db->count(join.arg("f.RelationID = t.RelationID AND f.ContactID <> t.ContactID")), 1);
    EXPECT_GE(db->count(join.arg("f.ContactID = t.ContactID AND f.RelationID = t.RelationID "
                                 "AND UPPER(f.ContactType) = UPPER(t.ContactType)")),
              1);
}

TEST_F(SampleDatabase, HoldsThePracticeSettingAndWpxExtras)
{
    EXPECT_EQ(db->rows("SELECT UseFileNo FROM SystemData"), (std::vector<QStringList> {{"0"}}));
    EXPECT_GE(db->count("SELECT COUNT(*) FROM Client c JOIN PXPendingClient p ON p.GuestClientID = c.ClientID "
                        "WHERE c.PendingClient = 1 AND p.ParentID IS NOT NULL"),
              1);
    EXPECT_GE(db->count("SELECT COUNT(*) FROM PXClientForgotPassword WHERE Activated = 0 AND ExpiryDate >= '2099'"), 1);
    EXPECT_GE(db->count("SELECT COUNT(*) FROM Client"), 24);
}

// The claim numbers the Surname search's grid shows are those a Claim No search finds.
TEST_F(SampleDatabase, ClaimNumbersStandOnThePrimaryAccounts)
{
    EXPECT_GE(db->count("SELECT COUNT(*) FROM PatientSearch WHERE ClaimNumber LIKE 'C%'"), 1);
    EXPECT_EQ(db->count("SELECT COUNT(*) FROM PatientSearch s WHERE s.ClaimNumber IS NOT NULL AND NOT EXISTS "
                        "(SELECT 1 FROM PatientSearchBPAY b WHERE b.ClaimNumber = s.ClaimNumber "
                        "AND b.ClientID = s.ClientID)"),
              0);
    EXPECT_EQ(db->count("SELECT COUNT(*) FROM Client WHERE ClaimNumber IS NOT NULL"), 0);
}

// ---------------------------------------------------------------------------------------------
// The command line and the large database.
// ---------------------------------------------------------------------------------------------

TEST(DemoDatabaseGenerator, KeepsAnExistingFileUnlessForced)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("existing.db");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    const GeneratorRun refused = runGenerator({path});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("--force")) << refused.err.toStdString();
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "keep me");
    }

    const GeneratorRun forced = runGenerator({"--force", path});
    ASSERT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_EQ(SqliteFile(path).count("SELECT COUNT(*) FROM Client WHERE ClientID = 812"), 1);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files),
              QStringList({"existing.db", "existing.db.duplicates.tsv", "existing.db.relatives.tsv"}));
}

TEST(DemoDatabaseGenerator, RejectsBadArgumentsWithoutWritingAnything)
{
    QTemporaryDir folder;
    const QString out = folder.filePath("out.db");
    const QList<QStringList> cases = {
        {},
        {"--clients", "0", out},
        {"--clients", "many", out},
        {"--clients"},
        {"--seed", "-1", out},
        {"--duplicates", "some", out},
        {"--no-activity=1", out},
        {"--bogus", out},
        {out, folder.filePath("second.db")},
    };
    for (const QStringList& arguments : cases) {
        const GeneratorRun run = runGenerator(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("usage:")) << arguments.join(' ').toStdString();
    }
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());
}

TEST(DemoDatabaseGenerator, LargeDatabaseHasRowsEverywhereAndAHeavyPairThatPassesTheChecks)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("large.db");
    const GeneratorRun run = runGenerator({"--clients", "200", "--seed", "7", path});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const auto pairs = parsePairs(run.out);
    ASSERT_EQ(pairs.keys(), QStringList({"heavy"})) << run.out.toStdString();
    const Pair heavy = pairs.value("heavy");
    EXPECT_EQ(heavy.from, 201);
    EXPECT_EQ(heavy.to, 202);

    SqliteFile db(path);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Client"), 202);
    EXPECT_EQ(db.rows("SELECT MIN(n), MAX(n) FROM (SELECT COUNT(*) AS n FROM Account WHERE ClientID <= 200 "
                      "GROUP BY ClientID)"),
              (std::vector<QStringList> {{"1", "3"}}));
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 201"), 50000);
    EXPECT_EQ(accounts(db, 201), QStringList({"0=Primary", "1=Medicare", "2=DVA"}));
    EXPECT_EQ(checkOutcome(db, heavy), "");

    for (const QString& table : tablesMovedByAccount() + tablesMovedByClientId()) {
        EXPECT_GT(db.count(QStringLiteral("SELECT COUNT(*) FROM [%1] WHERE ClientID <= 200").arg(table)), 0)
            << table.toStdString();
        EXPECT_GT(db.count(QStringLiteral("SELECT COUNT(*) FROM [%1] WHERE ClientID = 201").arg(table)), 0)
            << table.toStdString();
    }
    for (const QString& where :
         QStringList {"Client WHERE ReferredByID = 201", "Client WHERE ReferredByID2 = 201",
                      "PXPendingClient WHERE ParentID = 201", "Account WHERE GroupID IS NOT NULL", "PXClientLink",
                      "PXPendingClient WHERE ParentID IS NULL"})
        EXPECT_GT(db.count(QStringLiteral("SELECT COUNT(*) FROM ") + where), 0) << where.toStdString();
}

// The lines of a file of true pairs, header first.
QStringList truthLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

TEST_F(SampleDatabase, PlantsOneDuplicateOfEachKindAndWritesTheTruePairs)
{
    const QStringList lines = truthLines(path + ".duplicates.tsv");
    ASSERT_EQ(lines.size(), 13) << run.out.toStdString();
    EXPECT_EQ(lines[0], "Client\tDuplicate\tErrors");
    EXPECT_TRUE(run.out.contains("duplicates: 12 planted")) << run.out.toStdString();
    QStringList kinds;
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList cells = lines[i].split('\t');
        ASSERT_EQ(cells.size(), 3) << lines[i].toStdString();
        const int source = cells[0].toInt();
        const int duplicate = cells[1].toInt();
        EXPECT_GE(source, 301);
        EXPECT_LE(source, 312);
        EXPECT_EQ(duplicate, 400 + i);
        kinds << cells[2];
        const QString pair = QStringLiteral("(%1, %2)").arg(source).arg(duplicate);
        // A person, not a group, and active, so that the finder's default lists it.
        EXPECT_EQ(db->count("SELECT COUNT(*) FROM Client WHERE IsAGroup = 0 AND ClientID IN " + pair), 2);
        EXPECT_EQ(
            db->count(
                QStringLiteral("SELECT COUNT(*) FROM Client WHERE Active = 'T' AND ClientID = %1").arg(duplicate)),
            1);
        // The error shows in the rows.
        const auto row = [&](int id) {
            return db
                ->rows(QStringLiteral("SELECT Surname, Name, DateOfBirth, IFNULL(Mobile, ''), "
                                      "IFNULL(Email, ''), Address FROM Client WHERE ClientID = %1")
                           .arg(id))
                .at(0);
        };
        const QStringList a = row(source), b = row(duplicate);
        if (cells[2] == "given name and surname swapped") {
            EXPECT_EQ(a[0], b[1]);
            EXPECT_EQ(a[1], b[0]);
        } else if (cells[2] == "changed surname") {
            EXPECT_NE(a[0], b[0]);
            EXPECT_EQ(a[2], b[2]);
            EXPECT_EQ(a[3], b[3]);
            EXPECT_NE(a[3], "");
        } else if (cells[2] == "day and month of birth swapped") {
            EXPECT_EQ(a[2].mid(5, 2), b[2].mid(8, 2));
            EXPECT_EQ(a[2].mid(8, 2), b[2].mid(5, 2));
        } else if (cells[2] == "moved address") {
            EXPECT_NE(a[5], b[5]);
        }
        EXPECT_NE(a, b) << cells[2].toStdString();
    }
    EXPECT_EQ(kinds,
              QStringList({"typing slip", "transposed letters", "nickname", "given name and surname swapped",
                           "missing phone or e-mail", "day and month of birth swapped", "date of birth one digit off",
                           "changed surname", "moved address", "new mobile", "preferred name as given name",
                           "capitals and blanks"}));
}

TEST(DemoDatabaseGenerator, PlantsDuplicatesInALargePracticeOnlyWhenAsked)
{
    QTemporaryDir folder;
    const QString plain = folder.filePath("plain.db");
    ASSERT_EQ(runGenerator({"--clients", "50", "--no-activity", plain}).exitCode, 0);
    EXPECT_FALSE(QFile::exists(plain + ".duplicates.tsv"));
    EXPECT_EQ(SqliteFile(plain).count("SELECT COUNT(*) FROM Trans WHERE ClientID <= 50"), 0);

    const QString planted = folder.filePath("planted.db");
    const GeneratorRun run = runGenerator({"--clients", "300", "--duplicates", "40", planted});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = truthLines(planted + ".duplicates.tsv");
    ASSERT_GE(lines.size(), 30);
    ASSERT_LE(lines.size(), 41);
    {
        SqliteFile db(planted); // closed before the database is replaced below (Windows deletes no open file)
        for (int i = 1; i < lines.size(); ++i) {
            const QStringList cells = lines[i].split('\t');
            EXPECT_LE(cells[0].toInt(), 300);
            EXPECT_GE(cells[1].toInt(), 303); // after the heavy pair
            EXPECT_FALSE(cells[2].isEmpty());
        }
        // Duplicates and household members come after the heavy pair; the practice itself is unchanged.
        EXPECT_GT(db.count("SELECT COUNT(*) FROM Client"), 302 + qint64(lines.size() - 1));
        EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 301"), 50000);
    }

    // Replacing the database replaces its true pairs, and a database without duplicates has none.
    const GeneratorRun replaced = runGenerator({"--clients", "50", "--force", planted});
    ASSERT_EQ(replaced.exitCode, 0) << replaced.err.toStdString();
    EXPECT_FALSE(QFile::exists(planted + ".duplicates.tsv"));
}

TEST(DemoDatabaseGenerator, TheSameSeedGivesTheSameDatabase)
{
    QTemporaryDir folder;
    const auto build = [&](const QString& name, const QString& seed) {
        const QString path = folder.filePath(name);
        EXPECT_EQ(runGenerator({"--clients", "30", "--seed", seed, path}).exitCode, 0);
        SqliteFile db(path);
        return db.column("SELECT ClientID || Surname || Name || IFNULL(Mobile, '') FROM Client ORDER BY ClientID")
            + db.column("SELECT TransID || ClientID || AccountID || TransDate || Amount FROM Trans ORDER BY TransID "
                        "LIMIT 500");
    };
    const QStringList first = build("a.db", "5");
    EXPECT_EQ(build("b.db", "5"), first);
    EXPECT_NE(build("c.db", "6"), first);
}

} // namespace
} // namespace kolvix::test
