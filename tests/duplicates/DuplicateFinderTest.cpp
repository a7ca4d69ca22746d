// The duplicate finder on real SQLite databases: the one read of the search view, blocking,
// ranking, groups, the keep/merge suggestion, progress, cancel, and bad data.

#include "duplicates/DuplicateFinder.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Statement.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>

using namespace kolvix;
using namespace kolvix::test;

namespace {

struct ClientFixture
{
    int id;
    QString surname;
    QString name;
    QString born; // 'YYYY-MM-DD', or empty for null
    QString mobile = {};
    QString email = {};
    QString address = {};
    QString active = "T";
    int group = 0;
};

QString quoted(const QString& text)
{
    if (text.isNull())
        return "NULL";
    return "'" + QString(text).replace("'", "''") + "'";
}

void addClients(const TestDatabase& db, const std::vector<ClientFixture>& clients)
{
    QString sql;
    for (const ClientFixture& c : clients)
        sql += QStringLiteral(
                   "INSERT INTO Client (ClientID, Surname, Name, DateOfBirth, Mobile, Email, Address, Active, "
                   "IsAGroup) VALUES (%1, %2, %3, %4, %5, %6, %7, %8, %9);\n")
                   .arg(c.id)
                   .arg(quoted(c.surname), quoted(c.name), c.born.isEmpty() ? "NULL" : quoted(c.born + " 00:00:00"),
                        quoted(c.mobile), quoted(c.email), quoted(c.address), quoted(c.active))
                   .arg(c.group);
    db.exec(sql);
}

class DuplicateFinderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        connection.setConnectionString(db.connectionString());
        connection.open();
    }

    DuplicateScanResult scan(const DuplicateOptions& options = {})
    {
        DuplicateFinder finder(connection);
        return finder.scan(options);
    }

    // "keep-merge" of each pair, in the order listed.
    static QStringList pairIds(const DuplicateScanResult& result)
    {
        QStringList ids;
        for (const DuplicatePair& p : result.pairs)
            ids << QStringLiteral("%1-%2").arg(p.keep.clientId).arg(p.merge.clientId);
        return ids;
    }

    TestDatabase db;
    Connection connection;
};

TEST_F(DuplicateFinderTest, ATruePairOutranksASameSurnameSameYearPair)
{
    addClients(db,
               {
                   {10, "Smith", "Olivia", "1980-02-01", "0433 000 001", "olivia@example.com", "3 High St Fitzroy"},
                   {11, "Smith", "Grace", "1980-09-17", "0433 000 002", "", "9 King St Carlton"},
                   {12, "Smith", "Olivia", "1980-06-11"},
                   {20, "Harper", "Louise", "1975-04-09", "0412 345 678", "", "12 Beach Rd Glenelg"},
                   {35, "Harpur", "Louise", "1975-04-09", "0412345678", "", "12 Beach Road Glenelg"},
                   {40, "Jones", "Peter", "1990-01-01"},
               });
    const DuplicateScanResult result = scan();
    EXPECT_EQ(result.clients, 6);
    ASSERT_EQ(pairIds(result), QStringList({"20-35"}));
    const DuplicatePair& pair = result.pairs[0];
    EXPECT_GE(pair.score, kDefaultMinScore);
    EXPECT_LE(pair.score, 100);
    EXPECT_EQ(pair.group, 1);
    EXPECT_EQ(pair.keep.displayName(), "Harper, Louise");
    EXPECT_EQ(pair.merge.displayName(), "Harpur, Louise");
    EXPECT_EQ(pair.keep.dateOfBirth, QDate(1975, 4, 9));
    EXPECT_EQ(pair.reasonText(),
              "same date of birth, surname sounds alike, same given name, same mobile, same address, "
              "keep: the older record");

    // Lowering the threshold lists the weaker pairs below it, still ranked.
    DuplicateOptions all;
    all.minScore = 0;
    const DuplicateScanResult low = scan(all);
    ASSERT_FALSE(low.pairs.empty());
    EXPECT_EQ(pairIds(low).first(), "20-35");
    for (std::size_t i = 1; i < low.pairs.size(); ++i)
        EXPECT_GE(low.pairs[i - 1].weight, low.pairs[i].weight);
    for (const DuplicatePair& p : low.pairs) {
        if (p.keep.surname == "Smith") {
            EXPECT_LT(p.score, kDefaultMinScore) << p.reasonText().toStdString();
        }
    }
}

TEST_F(DuplicateFinderTest, ListsAPairWithoutDatesOfBirthPhonesOrEmail)
{
    addClients(db,
               {
                   {1, "Carter", "Daniel", "", "", "", "Banksia Crescent, Pine Camp, Lorne VIC 3232"},
                   {2, "Carter", "Daniel", "", "", "", "Banksia Crescent, Pine Cajp, Lorne VIC 3232"},
                   {3, "Carter", "Grace", "", "", "", "Banksia Crescent, Pine Camp, Lorne VIC 3232"},
               });
    const DuplicateScanResult result = scan();
    EXPECT_EQ(pairIds(result), QStringList {"1-2"});
    ASSERT_EQ(result.pairs.size(), 1u);
    EXPECT_EQ(result.pairs[0].reasonText(),
              "same surname, same given name, address nearly the same, keep: the older record");
}

TEST_F(DuplicateFinderTest, ThreeRecordsOfOnePersonShareAGroupAndTheActiveOlderOneIsKept)
{
    addClients(db,
               {
                   // One person three times: 5 is archived, so 7 (active) is kept over it.
                   {5, "Baird", "Thomas", "1962-07-31", "0411 173 722", "", "", "F"},
                   {7, "Baird", "Tom", "1962-07-31", "0411 173 722"},
                   {9, "Bard", "Thomas", "1962-07-31", "0411 173 722"},
                   // Another person twice.
                   {3, "Quinn", "Harriet", "1950-12-01", "0400 111 222"},
                   {8, "Quinn", "Harriet", "1950-12-01", "0400 111 222"},
               });
    DuplicateOptions options;
    options.includeArchived = true;
    const DuplicateScanResult result = scan(options);
    ASSERT_EQ(result.pairs.size(), 4u) << pairIds(result).join(' ').toStdString();
    EXPECT_EQ(result.groups, 2);
    std::map<QString, int> groupOf;
    for (const DuplicatePair& p : result.pairs)
        groupOf[QStringLiteral("%1-%2").arg(p.keep.clientId).arg(p.merge.clientId)] = p.group;
    EXPECT_TRUE(groupOf.count("7-5"));
    EXPECT_TRUE(groupOf.count("7-9"));
    EXPECT_TRUE(groupOf.count("9-5"));
    EXPECT_TRUE(groupOf.count("3-8"));
    EXPECT_EQ(groupOf["7-5"], groupOf["7-9"]);
    EXPECT_EQ(groupOf["7-5"], groupOf["9-5"]);
    EXPECT_NE(groupOf["7-5"], groupOf["3-8"]);
    // Groups are numbered in the order of their best pair.
    EXPECT_EQ(result.pairs[0].group, 1);

    // Archived clients are left out unless asked for.
    const DuplicateScanResult active = scan();
    EXPECT_EQ(active.clients, 4);
    const QStringList activeIds = pairIds(active);
    EXPECT_EQ(QSet<QString>(activeIds.begin(), activeIds.end()), QSet<QString>({"7-9", "3-8"}));

    // --limit cuts the list, not the groups.
    DuplicateOptions limited = options;
    limited.limit = 1;
    const DuplicateScanResult one = scan(limited);
    ASSERT_EQ(one.pairs.size(), 1u);
    EXPECT_EQ(one.groups, 2);
}

// Pairs marked as different people are never listed, whichever way round they were marked, nor
// link records into a group; the scan counts those it would have listed.
TEST_F(DuplicateFinderTest, LeavesOutAndCountsThePairsMarkedAsDifferentPeople)
{
    addClients(db,
               {
                   {5, "Baird", "Thomas", "1962-07-31", "0411 173 722"},
                   {7, "Baird", "Tom", "1962-07-31", "0411 173 722"},
                   {9, "Bard", "Thomas", "1962-07-31", "0411 173 722"},
                   {3, "Quinn", "Harriet", "1950-12-01", "0400 111 222"},
                   {8, "Quinn", "Harriet", "1950-12-01", "0400 111 222"},
               });
    const DuplicateScanResult unmarked = scan();
    ASSERT_EQ(unmarked.pairs.size(), 4u) << pairIds(unmarked).join(' ').toStdString();
    EXPECT_EQ(unmarked.markedDistinct, 0);

    // 5 is told apart from both others; 3 and 5 never scored as a pair, so their mark counts for
    // nothing.
    db.exec("INSERT INTO KolvixDistinctPair (FirstClientID, SecondClientID) VALUES (5, 7), (5, 9), (3, 5)");
    const DuplicateScanResult marked = scan();
    const QStringList ids = pairIds(marked);
    EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()), QSet<QString>({"7-9", "3-8"}));
    EXPECT_EQ(marked.markedDistinct, 2);
    EXPECT_EQ(marked.groups, 2);
    EXPECT_EQ(marked.clients, unmarked.clients);
}

// The record to keep: never the one whose names look swapped or whose date of birth is missing,
// then the one with more history, then the one with more details, then the older one; the last
// reason says which decided.
TEST_F(DuplicateFinderTest, TheRecordToKeepHasTheMostHistoryAndNeverSwappedNamesOrAMissingDate)
{
    addClients(db,
               {
                   // One person three times; the record with swapped names has the most history.
                   {101, "Anna", "Stewart", "1946-08-22", "0421 028 191"},
                   {102, "Stewart", "Anna", "1946-08-22", "0421 028 191"},
                   {103, "Stewart", "Ann", "1946-08-22", "0421 028 191"},
                   // The record without a date of birth has the history.
                   {201, "Quinn", "Harriet", "", "0400 111 222"},
                   {202, "Quinn", "Harriet", "1950-12-01", "0400 111 222"},
                   // History against details.
                   {301, "Lincoln", "Grace", "1990-01-05", "0400 000 001"},
                   {302, "Lincoln", "Grace", "1990-01-05", "0400 000 001", "grace@example.com", "3 High St Fitzroy"},
                   // Details alone.
                   {401, "Baird", "Thomas", "1962-07-31", "0411 173 722"},
                   {402, "Baird", "Thomas", "1962-07-31", "0411 173 722", "tb@example.com", "9 King St Carlton"},
                   // Nothing to choose.
                   {501, "Harper", "Louise", "1975-04-09", "0412 345 678"},
                   {502, "Harper", "Louise", "1975-04-09", "0412 345 678"},
               });
    QString history;
    int row = 0;
    for (const auto& [client, count] : {std::pair(101, 6), std::pair(102, 2), std::pair(201, 5)})
        for (int i = 0; i < count; ++i)
            history += QStringLiteral("INSERT INTO Appoint (AppointID, ClientID) VALUES (%1, %2);\n")
                           .arg(++row)
                           .arg(client);
    history += "INSERT INTO Trans (TransID, ClientID, AccountID) VALUES (1, 301, 0);\n"
               "INSERT INTO ClinicalNotes (ClinicalNoteID, ClientID) VALUES (1, 301);\n";
    db.exec(history);

    const DuplicateScanResult result = scan();
    std::map<std::pair<int, int>, QString> keepReason; // (keep, merge) -> the last reason
    for (const DuplicatePair& p : result.pairs)
        keepReason[{p.keep.clientId, p.merge.clientId}] = p.reasons.last();
    const std::map<std::pair<int, int>, QString> expected = {
        {{102, 101}, "keep: the other's names look swapped"},
        {{102, 103}, "keep: more history (2 rows against 0)"},
        {{103, 101}, "keep: the other's names look swapped"},
        {{202, 201}, "keep: the other has no date of birth"},
        {{301, 302}, "keep: more history (2 rows against 0)"},
        {{402, 401}, "keep: more details (4 against 2)"},
        {{501, 502}, "keep: the older record"},
    };
    EXPECT_EQ(keepReason, expected);
    // The three records of one person are one group, and every pair of it keeps the same record
    // over the others.
    std::set<int> groups;
    for (const DuplicatePair& p : result.pairs)
        if (p.keep.surname == "Stewart" || p.merge.surname == "Stewart")
            groups.insert(p.group);
    EXPECT_EQ(groups.size(), 1u);
}

TEST_F(DuplicateFinderTest, GroupClientsAreNeverCandidates)
{
    addClients(db,
               {
                   {1, "Lincoln", "Grace", "1990-01-05", "0400 000 001"},
                   {2, "Lincoln", "Grace", "1990-01-05", "0400 000 001", "", "", "T", 1},
               });
    const DuplicateScanResult result = scan();
    EXPECT_EQ(result.clients, 1);
    EXPECT_TRUE(result.pairs.empty());
}

TEST_F(DuplicateFinderTest, BadDataNeitherCrashesNorPairsBlankRecords)
{
    const QString longText(5000, u'x');
    addClients(db,
               {
                   {1, QString(), QString(), ""},
                   {2, "", "", ""},
                   {3, "  ", " ", ""},
                   {4, QString(), QString(), "", "0499 999 999"},
                   {5, "", "", "", "0499 999 999", "same@example.com"},
                   {6, longText, longText, "1980-01-01", longText, longText, longText},
                   {7, longText, longText, "1980-01-01", longText, longText, longText},
                   {8, QString::fromUtf8("Müller"), QString::fromUtf8("Jürgen"), "1966-03-03", "0455 123 456"},
                   {9, "Muller", "Jurgen", "1966-03-03"},
                   {10, QString::fromUtf8("王"), QString::fromUtf8("小明"), "2001-05-05", "0466 000 111"},
                   {11, QString::fromUtf8("王"), QString::fromUtf8("小明"), "2001-05-05", "0466 000 111"},
               });
    db.exec("INSERT INTO Client (ClientID, Surname, Name, DateOfBirth) VALUES "
            "(20, 'Odd', 'Date', '0001-01-01 00:00:00'), (21, 'Odd', 'Date', '9999-12-31 00:00:00'), "
            "(22, 'Odd', 'Date', 'garbage'), (23, 'Odd', 'Date', 42), (24, 'Odd', 'Date', '1980-13-45')");
    DuplicateOptions options;
    options.minScore = 0;
    const DuplicateScanResult result = scan(options);
    EXPECT_EQ(result.clients, 16);
    std::set<int> paired;
    for (const DuplicatePair& p : result.pairs) {
        paired.insert(p.keep.clientId);
        paired.insert(p.merge.clientId);
        EXPECT_GT(p.score, 0) << p.keep.clientId << "-" << p.merge.clientId;
    }
    for (int blank : {1, 2, 3, 4, 5})
        EXPECT_FALSE(paired.count(blank)) << blank;
    // Accents and letters beyond ASCII.
    const QStringList ids = pairIds(result);
    EXPECT_TRUE(ids.contains("8-9")) << ids.join(' ').toStdString();
    EXPECT_TRUE(ids.contains("10-11")) << ids.join(' ').toStdString();
    EXPECT_TRUE(ids.contains("6-7")) << ids.join(' ').toStdString();
    // Dates out of range are missing: the five "Odd, Date" records pair on their names only.
    for (const DuplicatePair& p : result.pairs)
        if (p.keep.surname == "Odd") {
            EXPECT_FALSE(p.keep.dateOfBirth.isValid());
            EXPECT_FALSE(p.merge.dateOfBirth.isValid());
        }
}

TEST_F(DuplicateFinderTest, ReportsProgressAndStopsWhenCancelled)
{
    std::vector<ClientFixture> clients;
    for (int id = 1; id <= 300; ++id)
        clients.push_back({id, id % 2 ? "Walker" : "Walkre", "Paul",
                           QStringLiteral("1970-01-%1").arg(1 + id % 28, 2, 10, QChar('0'))});
    addClients(db, clients);

    std::vector<DuplicateProgress> seen;
    DuplicateFinder finder(connection);
    finder.setProgressCallback([&](const DuplicateProgress& p) { seen.push_back(p); });
    const DuplicateScanResult done = finder.scan({});
    EXPECT_FALSE(done.cancelled);
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front().percent, -1); // reading: the end is not known
    EXPECT_EQ(seen.back().percent, 100);
    int last = -1;
    for (const DuplicateProgress& p : seen) {
        EXPECT_GE(p.percent, last) << p.stage.toStdString();
        last = std::max(last, p.percent);
    }

    std::atomic<bool> cancel {false};
    DuplicateFinder cancelled(connection);
    cancelled.setCancelFlag(&cancel);
    cancelled.setProgressCallback([&](const DuplicateProgress& p) {
        if (p.percent >= 5)
            cancel = true;
    });
    const DuplicateScanResult stopped = cancelled.scan({});
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_TRUE(stopped.pairs.empty());
}

// A block of more clients than the scan compares pairwise is left out, and the result says so:
// which key, the value they share, and how many they are.
TEST_F(DuplicateFinderTest, ABlockTooLargeToCompareIsReportedNotDroppedSilently)
{
    // A name of letters only for client i (digits are no part of a normalised name).
    const auto letters = [](int i) {
        QString name = QStringLiteral("Q");
        for (; i > 0; i /= 26)
            name += QChar(u'a' + i % 26);
        return name;
    };
    struct Case
    {
        const char* name;
        int identical; // clients "Smith, John", born 1980-01-01, one mobile
        int sharingEmail; // clients of different names, without a date of birth, one e-mail address
        std::int64_t pairs; // at --min-score 0
        QStringList leftOut; // the blocks' descriptions
    };
    const Case cases[] = {
        {"AsManyAsCompared", DuplicateFinder::kMaxBlock, 0, 4950, {}},
        // The same clients are in seven blocks of the same size (surname, given name, both names
        // with parts of the date, the mobile): they are named once, under the first key.
        {"OneTooMany",
         DuplicateFinder::kMaxBlock + 1,
         0,
         0,
         {R"(101 clients who share the surname (by sound) and date of birth "Smith, 1980-01-01")"}},
        {"APlaceholderEmail", 2, 120, 1, {R"(120 clients who share the e-mail address "None@Practice.example")"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db.exec("DELETE FROM Client");
        std::vector<ClientFixture> clients;
        for (int i = 1; i <= c.identical; ++i)
            clients.push_back({i, "Smith", "John", "1980-01-01", "0400 000 001"});
        for (int i = 1; i <= c.sharingEmail; ++i)
            clients.push_back({1000 + i, letters(i), letters(i * 7), "", "", " None@Practice.example "});
        addClients(db, clients);

        DuplicateOptions all;
        all.minScore = 0;
        const DuplicateScanResult result = scan(all);
        EXPECT_EQ(std::int64_t(result.pairs.size()), c.pairs);
        QStringList leftOut;
        for (const LeftOutBlock& block : result.leftOut)
            leftOut << block.description();
        EXPECT_EQ(leftOut, c.leftOut);
    }

    // The fields themselves, of the block of 101.
    db.exec("DELETE FROM Client");
    std::vector<ClientFixture> clients;
    for (int i = 1; i <= DuplicateFinder::kMaxBlock + 1; ++i)
        clients.push_back({10 + i, "Smith", "John", "1980-01-01", "0400 000 001"});
    addClients(db, clients);
    const DuplicateScanResult result = scan();
    ASSERT_EQ(result.leftOut.size(), 1u);
    EXPECT_EQ(result.leftOut[0].key, BlockKey::SurnameAndBirth);
    EXPECT_EQ(result.leftOut[0].clients, 101);
    EXPECT_EQ(result.leftOut[0].exampleClientId, 11);
    EXPECT_EQ(result.leftOut[0].value, "Smith, 1980-01-01");
    EXPECT_EQ(result.clients, 101);
}

// Every kind of key names the value its block shares. Records in memory keep the address and
// the e-mail address only as keys: the block names its first client instead.
TEST(DuplicateBlockingTest, ALeftOutBlockNamesWhatItsClientsShare)
{
    struct Case
    {
        const char* name;
        DuplicateInput input; // the one client of every record but its id
        QStringList leftOut;
    };
    const auto input
        = [](QString surname, QString name, QVariant born, QString mobile, QString email, QString address) {
              DuplicateInput in;
              in.surname = surname;
              in.name = name;
              in.dateOfBirth = born;
              in.mobile = mobile;
              in.email = email;
              in.address = address;
              return in;
          };
    const Case cases[] = {
        {"NamesAndDate",
         input("Smith", "John", "1980-05-02", "", "", ""),
         {R"(101 clients who share the surname (by sound) and date of birth "Smith, 1980-05-02")"}},
        {"PhoneInAnyField",
         input("", "", QVariant(), "+61 3 9000 1234", "", ""),
         {R"(101 clients who share a telephone number ending in "90001234")"}},
        {"EmailOnly",
         input("", "", QVariant(), "", "x@example.com", ""),
         {"101 clients who share the e-mail address of client 1"}},
        {"SurnameAndAddress",
         input("Jones", "", QVariant(), "", "", "3 High St"),
         {"101 clients who share the surname (by sound) and address of client 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DuplicateRecords records;
        for (int id = 1; id <= DuplicateFinder::kMaxBlock + 1; ++id) {
            DuplicateInput in = c.input;
            in.clientId = id;
            records.add(in);
        }
        records.finish();
        std::vector<LeftOutBlock> leftOut;
        EXPECT_TRUE(DuplicateFinder::candidatePairs(records, nullptr, &leftOut).empty());
        QStringList descriptions;
        for (const LeftOutBlock& block : leftOut)
            descriptions << block.description();
        EXPECT_EQ(descriptions, c.leftOut);
    }

    // Blocks of other clients under the other keys, each named; the date-part keys show their
    // parts.
    DuplicateRecords records;
    int id = 0;
    const auto add = [&](int count, const DuplicateInput& in) {
        for (int i = 0; i < count; ++i) {
            DuplicateInput copy = in;
            copy.clientId = ++id;
            records.add(copy);
        }
    };
    // Born on 2 May of years 1900 to 2001: under both names with day and month only.
    for (int year = 1900; year <= 2001; ++year)
        add(1, input("Brown", "Mary", QDate(year, 5, 2), "", "", ""));
    // One given name and date of birth, surnames of no sound in common.
    for (const char* surname : {"Adams", "Baker", "Clark"})
        add(40, input(surname, "Kate", "1990-03-04", "", "", ""));
    records.finish();
    std::vector<LeftOutBlock> leftOut;
    DuplicateFinder::candidatePairs(records, nullptr, &leftOut);
    QStringList descriptions;
    for (const LeftOutBlock& block : leftOut)
        descriptions << block.description();
    EXPECT_EQ(descriptions,
              QStringList({R"(120 clients who share the given name (by sound) and date of birth "Kate, 1990-03-04")",
                           R"(102 clients who share both names (by sound) and the day and month of birth )"
                           R"("Brown, Mary, 2 May")"}));
}

TEST_F(DuplicateFinderTest, AFailedReadThrowsTheClientsMessage)
{
    db.exec("DROP VIEW PatientSearch");
    try {
        scan();
        FAIL() << "no error";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains("PatientSearch")) << e.message().toStdString();
    }
}

TEST_F(DuplicateFinderTest, TheScanOnlyReads)
{
    addClients(db, {{1, "Lee", "Anna", "1990-01-01", "0400 000 001"}, {2, "Lee", "Ann", "1990-01-01", "0400 000 001"}});
    const auto before = db.snapshot();
    EXPECT_EQ(scan().pairs.size(), 1u);
    EXPECT_EQ(db.snapshot(), before);
}

// The planted duplicates of generated practices: blocking finds every planted pair of the
// sample, never offers a pair twice, and offers far fewer pairs than all of them.
TEST(DuplicateBlockingTest, PairsRecordsWithoutADateOfBirthByTheirNamesAndHouse)
{
    struct Case
    {
        const char* what;
        DuplicateInput a;
        DuplicateInput b;
    };
    const auto client = [](const char* surname, const char* name, const char* born, const char* address) {
        DuplicateInput in;
        in.surname = QString::fromLatin1(surname);
        in.name = QString::fromLatin1(name);
        in.dateOfBirth = *born ? QVariant(QString::fromLatin1(born)) : QVariant();
        in.address = QString::fromLatin1(address);
        return in;
    };
    const Case cases[] = {
        {"no date of birth on either side, a slip in the address",
         client("Carter", "Daniel", "", "Banksia Crescent, Pine Camp, Lorne VIC 3232"),
         client("Carter", "Daniel", "", "Banksia Crescent, Pine Cajp, Lorne VIC 3232")},
        {"a date of birth on one side, post-code digits swapped",
         client("Henderson", "Luke", "", "41 Tarwin Place, Bright VIC 3741"),
         client("Henderson", "Luke", "1951-03-17", "41 Tarwin Place, Bright VIC 3714")},
        {"a surname of another sound, a part added to the address",
         client("Pellow", "Marnie", "", "8 Cobb Place, Southern Cross WA 6426"),
         client("Pelkow", "Marnie", "1962-11-05", "8 Cobb Ilace, Park Estate, Southern Cross WA 6426")},
        {"names swapped, one of them mistyped", client("Mills", "Leo", "", "4 Charles Terrace, Casuarina NT 0810"),
         client("Leo", "Milsl", "", "4 Charles Terrace, Casuarina NT 0810")},
        {"the post code and house number changed",
         client("Taylor", "Alice", "", "3 Cunningham Grove, Castle Hill NSW 2154"),
         client("Taylor", "Alice", "", "Cunningham Grove, Castle Hill NSW 2145")},
        {"both names mistyped, the same date of birth and post code",
         client("Ward", "Melissa", "1928-09-08", "47 Kookaburra Road, Marrickville NSW 2204"),
         client("Wrad", "Meclissa", "1928-09-08", "47 Kookaburra Rd, Pine Camp, Marrickville NSW 2204")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DuplicateRecords records;
        DuplicateInput a = c.a, b = c.b;
        a.clientId = 1;
        b.clientId = 2;
        records.add(a);
        records.add(b);
        records.finish();
        EXPECT_EQ(DuplicateFinder::candidatePairs(records), (std::vector<std::pair<int, int>> {{0, 1}}));
    }
}

TEST(DuplicateBlockingTest, FindsThePlantedPairsAndComparesNoPairTwice)
{
    QTemporaryDir folder;
    for (const QStringList& arguments :
         {QStringList {}, QStringList {"--clients", "3000", "--duplicates", "150", "--no-activity"}}) {
        const QString path = folder.filePath(arguments.isEmpty() ? "sample.db" : "large.db");
        QProcess generator;
        generator.start(QStringLiteral(KOLVIX_BINARY_DIR "/kolvix-demo-db"), arguments + QStringList {path});
        ASSERT_TRUE(generator.waitForFinished(300000));
        ASSERT_EQ(generator.exitCode(), 0) << generator.readAllStandardError().toStdString();

        Connection connection;
        connection.setConnectionString("Provider=SQLite;Data Source=" + path);
        connection.open();
        DuplicateRecords records;
        {
            Statement query(connection, DuplicateFinder::statement(true), 30);
            ASSERT_NO_THROW(query.execute());
            while (query.next()) {
                if (query.value(11).toBool())
                    continue;
                DuplicateInput input;
                input.clientId = query.value(0).toInt();
                input.surname = query.value(1).toString();
                input.name = query.value(2).toString();
                input.preferredName = query.value(3).toString();
                input.dateOfBirth = query.value(4);
                input.address = query.value(5).toString();
                input.homePhone = query.value(6).toString();
                input.workPhone = query.value(7).toString();
                input.mobile = query.value(8).toString();
                input.email = query.value(9).toString();
                records.add(input);
            }
        }
        records.finish();
        const auto candidates = DuplicateFinder::candidatePairs(records);
        std::set<std::pair<int, int>> ids;
        for (const auto& [a, b] : candidates) {
            ASSERT_LT(a, b);
            const auto [it, inserted] = ids.insert({records[a].clientId, records[b].clientId});
            EXPECT_TRUE(inserted) << "offered twice: " << it->first << "-" << it->second;
        }
        const double n = records.size();
        EXPECT_LT(double(candidates.size()), n * (n - 1) / 2 / 50) << "blocking offers too many pairs";

        QFile truth(path + ".duplicates.tsv");
        ASSERT_TRUE(truth.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(truth.readAll()).split('\n', Qt::SkipEmptyParts).mid(1);
        int found = 0;
        for (const QString& line : lines) {
            const QStringList cells = line.split('\t');
            const int a = cells[0].toInt(), b = cells[1].toInt();
            if (ids.count({std::min(a, b), std::max(a, b)}))
                ++found;
            else if (arguments.isEmpty())
                ADD_FAILURE() << "planted pair not offered: " << line.toStdString();
        }
        // In the large practice a few duplicates carry two errors that leave no key in common.
        EXPECT_GE(found, int(lines.size() * 0.97)) << found << " of " << lines.size();
    }
}

} // namespace
