// The account model: text helpers, the alias table, the order of account lists, Load on a
// real SQLite database, the automatic matching, the dump and the merge summary.
//
// Registered twice in ctest: under LANG=C and under a real locale (en_AU.UTF-8); the
// expected order of account lists is the same in both.

#include "accounts/AccountInfo.h"
#include "accounts/AccountMergeModel.h"
#include "core/TracePane.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "support/TestDatabase.h"

#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <utility>
#include <vector>

namespace kolvix::test {
namespace {

using AccountRows = std::vector<std::pair<int, QString>>;

QString sqlText(const QString& s)
{
    QString quoted = s;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The slots that Load produced, one text per used slot: "index FromName -> ACTION ToID ToName".
QString describeSlots(const TaInfo& info)
{
    QStringList parts;
    for (size_t i = 0; i < info.Accounts.size(); ++i) {
        const TaAccount& a = info.Accounts[i];
        static const char* words[] = {"UNUSED", "UNASSIGNED", "MERGE", "APPEND"};
        if (a.Action == TaAction::UNUSED) {
            if (a.FromID != -1 || !a.FromName.isEmpty() || a.ToID != -1 || !a.ToName.isEmpty())
                parts << QStringLiteral("%1 dirty UNUSED").arg(i);
            continue;
        }
        parts << QStringLiteral("%1 %2 -> %3 %4 %5")
                     .arg(i)
                     .arg(a.FromID == qint32(i) ? a.FromName : QStringLiteral("<FromID %1>").arg(a.FromID))
                     .arg(QLatin1String(words[int(a.Action)]))
                     .arg(a.ToID)
                     .arg(a.ToName);
    }
    return parts.join(QStringLiteral("; "));
}

// A database with the Account table filled per test, and the model's query object on it.
class AccountDb : public ::testing::Test
{
protected:
    void SetUp() override
    {
        connection.setConnectionString(db.connectionString());
        connection.open();
        query = std::make_unique<Dataset>(connection);
    }

    static QString insertAccount(int clientID, int accountID, const QString& name, const QString& groupID)
    {
        return QStringLiteral(
                   "INSERT INTO Account (ClientID, AccountID, GroupID, ShortDescription) VALUES (%1, %2, %3, %4);")
            .arg(clientID)
            .arg(accountID)
            .arg(groupID)
            .arg(sqlText(name));
    }
    void addAccount(int clientID, int accountID, const QString& name, const QString& groupID = QStringLiteral("NULL"))
    {
        db.exec(insertAccount(clientID, accountID, name, groupID));
    }
    void addAccounts(int clientID, const AccountRows& rows)
    {
        QString sql;
        for (const auto& [id, name] : rows)
            sql += insertAccount(clientID, id, name, QStringLiteral("NULL"));
        if (!sql.isEmpty())
            db.exec(QStringLiteral("BEGIN;") + sql + QStringLiteral("COMMIT;"));
    }
    // Another client's account linked to the given client: HasGroupedAccounts for it.
    void linkToClient(int clientID)
    {
        addAccount(9000 + clientID, 0, QStringLiteral("Linked"), QString::number(clientID));
    }

    void load(TaInfo& info, int to, int from, TracePane* trace = nullptr)
    {
        info.Load(*query, to, QStringLiteral("To, Client"), from, QStringLiteral("From, Client"), trace);
    }

    TestDatabase db;
    Connection connection;
    std::unique_ptr<Dataset> query;
};

// ---------------------------------------------------------------------------------------------
// Text helpers

TEST(AccountText, TrimCharsDropsSetCharactersFromBothEndsOnly)
{
    const QString set = QStringLiteral(".,");
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral(" ..Medicare., "), QStringLiteral("Medicare")},
        {QStringLiteral("Medicare ."), QStringLiteral("Medicare ")}, // uncovered space stays
        {QStringLiteral(". a"), QStringLiteral(" a")},
        {QStringLiteral(".."), QString()},
        {QStringLiteral("."), QStringLiteral(".")},
        {QStringLiteral(" . "), QStringLiteral(".")},
        {QStringLiteral(".a"), QStringLiteral("a")},
        {QStringLiteral("Dept. of Vet."), QStringLiteral("Dept. of Vet")},
        {QStringLiteral("\t\r\nx\n"), QStringLiteral("x")},
        {QString(), QString()},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(TrimChars(text, set), expected) << text.toStdString();
    EXPECT_EQ(TrimChars(QStringLiteral("^W^Cover^"), QStringLiteral(".,^")), QStringLiteral("W^Cover"));
    // Dropping a first character keeps at most the 999 characters after it.
    EXPECT_EQ(TrimChars(QLatin1Char('.') + QString(1200, QLatin1Char('x')), set), QString(999, QLatin1Char('x')));
}

TEST(AccountText, RemoveCharsAndEscapeQuotes)
{
    const QString set = QStringLiteral(",./'\\");
    EXPECT_EQ(RemoveChars(QStringLiteral("Dept. of Vet."), set), QStringLiteral("Dept of Vet"));
    EXPECT_EQ(RemoveChars(QStringLiteral("a/b\\c'd,e.f g"), set), QStringLiteral("abcdef g"));
    EXPECT_EQ(RemoveChars(QStringLiteral("./"), set), QString());

    EXPECT_EQ(EscapeQuotes(QStringLiteral("O'Brien's")), QStringLiteral("O''Brien''s"));
    EXPECT_EQ(EscapeQuotes(QStringLiteral("''")), QStringLiteral("''''"));
    EXPECT_EQ(EscapeQuotes(QStringLiteral("Plain text")), QStringLiteral("Plain text"));
}

// ---------------------------------------------------------------------------------------------
// Order of account lists

TEST(AccountOrder, IdsComeInTheOrderOfTheirDecimalTextAccountZeroFirst)
{
    std::vector<int> ids = {0, 1, 2, 3, 9, 10, 11, 19, 20, 21, 100, 101, 110};
    QStringList list;
    std::vector<int> shuffled = ids;
    std::shuffle(shuffled.begin(), shuffled.end(), *QRandomGenerator::global());
    // Names chosen so that a comparison letting the names decide would give another order.
    for (int id : shuffled)
        insertSortedAccountEntry(list, QStringLiteral("%1=%2").arg(id).arg(QChar(u'z' - id % 26)));

    QStringList idOrder;
    for (const QString& entry : list)
        idOrder << entry.section(QLatin1Char('='), 0, 0);
    EXPECT_EQ(idOrder.join(QLatin1Char(' ')), QStringLiteral("0 1 10 100 101 11 110 19 2 20 21 3 9"));
}

TEST(AccountOrder, EqualsSignBeforeEveryDigitAndCaseIgnored)
{
    EXPECT_LT(compareAccountText(QStringLiteral("1=Zeta"), QStringLiteral("10=Alpha")), 0);
    EXPECT_LT(compareAccountText(QStringLiteral("1=~"), QStringLiteral("10=")), 0);
    EXPECT_GT(compareAccountText(QStringLiteral("2=Alpha"), QStringLiteral("10=Zeta")), 0);
    // Letter case does not decide: "apple" before "Banana" (code points would say otherwise).
    EXPECT_LT(compareAccountText(QStringLiteral("x=apple"), QStringLiteral("X=Banana")), 0);
    EXPECT_EQ(compareAccountText(QStringLiteral("0=Primary"), QStringLiteral("0=PRIMARY")), 0);
}

TEST(AccountOrder, AccountIDAtAndAccountNameAtOutsideTheList)
{
    TaClientInfo info;
    info.AccountList
        = {QStringLiteral("0=Primary"), QStringLiteral("7=a=b"), QStringLiteral("x=Bad"), QStringLiteral("=Empty")};
    EXPECT_EQ(TaInfo::AccountIDAt(0, info), 0);
    EXPECT_EQ(TaInfo::AccountIDAt(1, info), 7);
    EXPECT_EQ(TaInfo::AccountNameAt(1, info), QStringLiteral("a=b"));
    EXPECT_EQ(TaInfo::AccountIDAt(2, info), -1); // not a decimal integer
    EXPECT_EQ(TaInfo::AccountNameAt(2, info), QStringLiteral("Bad"));
    EXPECT_EQ(TaInfo::AccountIDAt(3, info), -1);
    for (int position : {-1, 4}) {
        EXPECT_EQ(TaInfo::AccountIDAt(position, info), -1);
        EXPECT_EQ(TaInfo::AccountNameAt(position, info), QString());
    }
}

// ---------------------------------------------------------------------------------------------
// Alias table

TEST(AccountAliases, TableHas128SortedEntriesWithDistinctKeys)
{
    const TaInfo info;
    const QStringList& aliases = info.Aliases();
    ASSERT_EQ(aliases.size(), 128);
    QStringList keys;
    for (int i = 0; i < aliases.size(); ++i) {
        if (i > 0) {
            EXPECT_LE(compareAccountText(aliases[i - 1], aliases[i]), 0) << aliases[i].toStdString();
        }
        keys << aliases[i].section(QLatin1Char('='), 0, 0).toLower();
    }
    keys.removeDuplicates();
    EXPECT_EQ(keys.size(), 128);
    EXPECT_TRUE(aliases.contains(QStringLiteral("epc bb=epc bb")));
    EXPECT_TRUE(aliases.contains(QStringLiteral("W^Cover=WC")));
    EXPECT_TRUE(aliases.contains(QStringLiteral("3rdparty=3RDPARTY")));
    EXPECT_TRUE(aliases.contains(QStringLiteral("Allianz Australi=ALLIANZ")));
}

TEST(AccountAliases, DuplicateEntriesAreRefused)
{
    const TaInfo info;
    QStringList table = info.Aliases();
    EXPECT_THROW(insertUniqueSortedEntry(table, QStringLiteral("MEDICARE=epc")), std::logic_error);
    EXPECT_THROW(insertUniqueSortedEntry(table, QStringLiteral("medicare=other")), std::logic_error);
    EXPECT_THROW(insertUniqueSortedEntry(table, QStringLiteral("EPC=EPC")), std::logic_error);
    EXPECT_EQ(table, info.Aliases());
    EXPECT_NO_THROW(insertUniqueSortedEntry(table, QStringLiteral("Medicare Plus=epc")));
    EXPECT_EQ(table.size(), 129);
}

TEST(AccountAliases, CanonicalAccountName)
{
    const TaInfo info;
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("EPC"), QStringLiteral("epc")},
        {QStringLiteral("epc"), QStringLiteral("epc")},
        {QStringLiteral("medibank"), QStringLiteral("medibank")},
        {QStringLiteral("Medicare EPC"), QStringLiteral("epc")},
        {QStringLiteral("..MEDICARE.,"), QStringLiteral("epc")},
        {QStringLiteral("Medicare ."), QStringLiteral("epc")},
        {QStringLiteral("Dept. of Vet."), QStringLiteral("dva")},
        {QStringLiteral("Veteran's"), QStringLiteral("dva")},
        {QStringLiteral("W^Cover"), QStringLiteral("WC")},
        {QStringLiteral("3rd party"), QStringLiteral("3RDPARTY")},
        {QStringLiteral("Allianz Australi"), QStringLiteral("ALLIANZ")},
        {QStringLiteral("Allianz Australia"), QStringLiteral("Allianz Australia")},
        {QStringLiteral(" Bulk Bill "), QStringLiteral(" Bulk Bill ")}, // unknown: the name as passed
        {QStringLiteral("W/Cover"), QStringLiteral("WC")}, // found once the slash is removed
    };
    for (const auto& [name, canonical] : cases)
        EXPECT_EQ(info.CanonicalAccountName(name), canonical) << name.toStdString();
}

// ---------------------------------------------------------------------------------------------
// Load

TEST(AccountInfoState, NewObjectIsEmpty)
{
    const TaInfo info;
    EXPECT_FALSE(info.BadGroupIDMerge);
    EXPECT_FALSE(info.HasGroupedAccounts);
    EXPECT_TRUE(info.Accounts.empty());
    for (const TaClientInfo* client : {&info.FromInfo, &info.ToInfo}) {
        EXPECT_EQ(client->ClientID, -1);
        EXPECT_TRUE(client->ClientName.isEmpty());
        EXPECT_TRUE(client->AccountList.isEmpty());
        EXPECT_EQ(client->MaxAccountID, -1);
    }
}

TEST_F(AccountDb, LoadFillsFlagsListsAndSlotsWithGaps)
{
    addAccounts(10, {{7, QStringLiteral("Seven")}, {0, QStringLiteral("Primary")}});
    addAccounts(20,
                {{2, QStringLiteral("Two")},
                 {10, QStringLiteral("Ten")},
                 {1, QStringLiteral("One")},
                 {5, QStringLiteral("a=b")}});
    addAccount(20, 11, QStringLiteral("Linked back"), QStringLiteral("10")); // To linked to From
    addAccount(30, 0, QStringLiteral("Elsewhere"));

    TaInfo info;
    info.Load(*query, 20, QStringLiteral("Sample, Two"), 10, QStringLiteral("Sample, One"));

    EXPECT_TRUE(info.BadGroupIDMerge);
    EXPECT_TRUE(info.HasGroupedAccounts);
    EXPECT_EQ(info.FromInfo.ClientID, 10);
    EXPECT_EQ(info.FromInfo.ClientName, QStringLiteral("Sample, One"));
    EXPECT_EQ(info.FromInfo.AccountList, QStringList({QStringLiteral("0=Primary"), QStringLiteral("7=Seven")}));
    EXPECT_EQ(info.FromInfo.MaxAccountID, 7);
    EXPECT_EQ(info.ToInfo.ClientID, 20);
    EXPECT_EQ(info.ToInfo.ClientName, QStringLiteral("Sample, Two"));
    EXPECT_EQ(info.ToInfo.AccountList,
              QStringList({QStringLiteral("1=One"), QStringLiteral("10=Ten"), QStringLiteral("11=Linked back"),
                           QStringLiteral("2=Two"), QStringLiteral("5=a=b")}));
    EXPECT_EQ(info.ToInfo.MaxAccountID, 11);
    EXPECT_EQ(TaInfo::AccountIDAt(0, info.ToInfo), 1);
    EXPECT_EQ(TaInfo::AccountIDAt(3, info.ToInfo), 2);
    EXPECT_EQ(TaInfo::AccountIDAt(4, info.ToInfo), 5);
    EXPECT_EQ(TaInfo::AccountNameAt(4, info.ToInfo), QStringLiteral("a=b"));

    // Slots 1 to 6 are unused; 0 falls under the primary-account rule (To has no account 0).
    ASSERT_EQ(info.Accounts.size(), 8u);
    EXPECT_EQ(describeSlots(info), QStringLiteral("0 Primary -> APPEND 0 Primary; 7 Seven -> UNASSIGNED -1 "));
}

TEST_F(AccountDb, LoadLeavesTheDatabaseUnchangedAndFailuresPassOn)
{
    addAccounts(1, {{0, QStringLiteral("Primary")}});
    addAccounts(2, {{0, QStringLiteral("Primary")}});
    const auto before = db.snapshot();
    TaInfo info;
    load(info, 2, 1);
    EXPECT_EQ(db.snapshot(), before);

    db.exec(QStringLiteral("DROP TABLE Account;"));
    EXPECT_THROW(load(info, 2, 1), DbError);
}

TEST_F(AccountDb, SecondLoadLeavesNothingOfTheFirst)
{
    addAccounts(1, {{0, QStringLiteral("Primary")}, {3, QStringLiteral("Medicare")}});
    addAccount(2, 0, QStringLiteral("Primary"), QStringLiteral("1"));
    addAccount(2, 4, QStringLiteral("Medicare"));
    addAccounts(5, {});

    TaInfo info;
    info.Load(*query, 2, QStringLiteral("First, To"), 1, QStringLiteral("First, From"));
    ASSERT_TRUE(info.BadGroupIDMerge);
    ASSERT_EQ(info.Accounts.size(), 4u);

    info.Load(*query, 6, QStringLiteral("Second, To"), 5, QStringLiteral("Second, From"));
    EXPECT_FALSE(info.BadGroupIDMerge);
    EXPECT_FALSE(info.HasGroupedAccounts);
    EXPECT_TRUE(info.Accounts.empty());
    EXPECT_EQ(info.FromInfo.ClientID, 5);
    EXPECT_EQ(info.FromInfo.ClientName, QStringLiteral("Second, From"));
    EXPECT_TRUE(info.FromInfo.AccountList.isEmpty());
    EXPECT_EQ(info.FromInfo.MaxAccountID, -1);
    EXPECT_EQ(info.ToInfo.ClientID, 6);
    EXPECT_TRUE(info.ToInfo.AccountList.isEmpty());
    EXPECT_EQ(info.ToInfo.MaxAccountID, -1);

    // Without accounts: the dump's empty blocks and a summary of only its header.
    TracePane pane;
    info.DumpToMemo(&pane);
    EXPECT_EQ(pane.lines().join(QLatin1Char('\n')),
              QStringLiteral("BadGroupIDMerge F\n"
                             "HasGroupedAccounts F\n"
                             "FromInfo\n"
                             "  ClientID     5\n"
                             "  ClientName   Second, From\n"
                             "  MaxAccountID -1\n"
                             "  Accounts (List)\n"
                             "ToInfo\n"
                             "  ClientID     6\n"
                             "  ClientName   Second, To\n"
                             "  MaxAccountID -1\n"
                             "  Accounts (List)\n"
                             "Accounts (Actions)\n"));
    QStringList summary = {QStringLiteral("left over")};
    info.DescribeMerge(summary);
    EXPECT_EQ(summary, QStringList({QStringLiteral("Merge 5 > 6 (Second, From > Second, To)")}));
}

TEST_F(AccountDb, NegativeFromIdsAreSkippedWithATraceLine)
{
    addAccounts(1, {{-1, QStringLiteral("Old")}, {0, QStringLiteral("Primary")}, {2, QStringLiteral("Medicare")}});
    addAccounts(2, {{-3, QStringLiteral("Older")}, {0, QStringLiteral("Main")}, {1, QStringLiteral("Medicare")}});
    linkToClient(1);

    TaInfo info;
    TracePane trace;
    load(info, 2, 1, &trace);
    EXPECT_EQ(trace.lines(), QStringList({QStringLiteral("Account -1 of client 1 has a negative id (not merged)")}));
    EXPECT_EQ(info.FromInfo.AccountList.size(), 3);
    EXPECT_EQ(info.FromInfo.MaxAccountID, 2);
    EXPECT_EQ(info.ToInfo.AccountList.size(), 3); // the To client's accounts are listed whatever their ids
    // Account 0 of To is found for the primary-account rule although -3 sorts ahead of it.
    EXPECT_EQ(describeSlots(info), QStringLiteral("0 Primary -> MERGE 0 Main; 2 Medicare -> MERGE 1 Medicare"));

    TaInfo quiet; // without a trace pane the account is skipped all the same
    EXPECT_NO_THROW(load(quiet, 2, 1));
    EXPECT_EQ(describeSlots(quiet), describeSlots(info));
}

TEST_F(AccountDb, HugeFromIdIsRefusedBeforeAnySlotIsMade)
{
    addAccounts(1, {{0, QStringLiteral("Primary")}, {100001, QStringLiteral("Huge")}});
    addAccounts(3, {{0, QStringLiteral("Primary")}, {TaInfo::kMaxAccountSlots, QStringLiteral("Largest")}});
    addAccounts(2, {{0, QStringLiteral("Primary")}});
    const auto before = db.snapshot();

    TaInfo info;
    try {
        load(info, 2, 1);
        FAIL() << "no exception";
    } catch (const DbError&) {
        FAIL() << "a database error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(),
                     "The client to be moved has an account id of 100001; account ids above 100000 cannot be merged.");
    }
    EXPECT_TRUE(info.Accounts.empty());
    EXPECT_EQ(db.snapshot(), before);

    load(info, 2, 3);
    EXPECT_EQ(info.Accounts.size(), size_t(TaInfo::kMaxAccountSlots) + 1);
}

// ---------------------------------------------------------------------------------------------
// Automatic matching

struct MatchCase
{
    const char* name;
    bool grouped;
    AccountRows from;
    AccountRows to;
    const char* expected;
};

// Keeps the test names that ctest lists short and stable.
void PrintTo(const MatchCase& c, std::ostream* os)
{
    *os << c.name;
}

class AccountMatching : public AccountDb, public ::testing::WithParamInterface<MatchCase>
{
};

TEST_P(AccountMatching, ProposesTheMapping)
{
    const MatchCase& c = GetParam();
    addAccounts(1, c.from);
    addAccounts(2, c.to);
    if (c.grouped)
        linkToClient(1);
    TaInfo info;
    load(info, 2, 1);
    ASSERT_EQ(info.HasGroupedAccounts, c.grouped);
    EXPECT_EQ(describeSlots(info), QString::fromUtf8(c.expected));
}

const MatchCase kMatchCases[] = {
    {"EpcAgainstMedicare",
     false,
     {{1, "Medicare EPC"}},
     {{0, "Primary"}, {4, "Medicare"}},
     "1 Medicare EPC -> MERGE 4 Medicare"},
    {"MedicareAgainstBulkBillScheme", false, {{1, "Medicare"}}, {{3, "Medicare BB"}}, "1 Medicare -> UNASSIGNED -1 "},
    {"TrailingFullStop", false, {{1, "Medicare ."}}, {{3, "Medicare"}}, "1 Medicare . -> MERGE 3 Medicare"},
    {"CaseAndFullStop", false, {{1, " PRIVATE. "}}, {{2, "private"}}, "1  PRIVATE.  -> MERGE 2 private"},
    {"FullStopsInside", false, {{1, "Dept. of Vet."}}, {{6, "DVA"}}, "1 Dept. of Vet. -> MERGE 6 DVA"},
    {"Apostrophe", false, {{1, "Veteran's"}}, {{2, "Veterans"}}, "1 Veteran's -> MERGE 2 Veterans"},
    {"Caret", false, {{1, "W^Cover"}}, {{2, "WC"}}, "1 W^Cover -> MERGE 2 WC"},
    {"InnerSpaceKept", false, {{1, "Bulk Bill"}}, {{2, "Bulkbill"}}, "1 Bulk Bill -> UNASSIGNED -1 "},
    // Positions: 12 first, then 3; the later match wins.
    {"HighestPositionWins",
     false,
     {{1, "medicare"}},
     {{3, "Medicare"}, {12, "MEDICARE"}},
     "1 medicare -> MERGE 3 Medicare"},
    // Pass 2 would pick "Medicare EPC" (same canonical name, higher position).
    {"SameNameBeforeAlias",
     false,
     {{1, "Medicare"}},
     {{1, "Medicare"}, {2, "Medicare EPC"}},
     "1 Medicare -> MERGE 1 Medicare"},
    {"SeveralIntoOneUnusedUntouched",
     false,
     {{0, "Medicare"}, {2, "EPC"}},
     {{1, "Medicare"}},
     "0 Medicare -> MERGE 1 Medicare; 2 EPC -> MERGE 1 Medicare"},
    {"NoRuleWithoutGroupedAccounts", false, {{0, "Primary"}}, {{0, "Main"}}, "0 Primary -> UNASSIGNED -1 "},
    {"GroupedBothPrimary",
     true,
     {{0, "Primary"}, {1, "Other"}},
     {{0, "Main"}, {5, "Primary"}},
     "0 Primary -> MERGE 0 Main; 1 Other -> UNASSIGNED -1 "},
    {"GroupedToNamedPrimary", true, {{0, "Primary"}}, {{4, "PRIMARY"}, {9, "Other"}}, "0 Primary -> APPEND 0 Grouped"},
    {"GroupedToWithoutPrimary",
     true,
     {{0, "Primary"}},
     {{4, "Primary."}, {9, "Other"}},
     "0 Primary -> APPEND 0 Primary"},
    {"GroupedToWithoutAccounts", true, {{0, "Primary"}}, {}, "0 Primary -> UNASSIGNED -1 "},
    {"GroupedFromWithoutPrimary", true, {{1, "Primary"}}, {{0, "Primary"}}, "1 Primary -> MERGE 0 Primary"},
};

INSTANTIATE_TEST_SUITE_P(Cases, AccountMatching, ::testing::ValuesIn(kMatchCases),
                         [](const ::testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Dump and summary

TEST_F(AccountDb, DumpAndSummaryOfTheDocumentedExample)
{
    addAccounts(812, {{0, QStringLiteral("Primary")}, {2, QStringLiteral("WorkCover")}});
    addAccounts(57, {{0, QStringLiteral("Primary")}, {1, QStringLiteral("Medicare")}});

    TaInfo info;
    info.Load(*query, 57, QStringLiteral("Sample, Two"), 812, QStringLiteral("Sample, One"));
    ASSERT_EQ(describeSlots(info), QStringLiteral("0 Primary -> MERGE 0 Primary; 2 WorkCover -> UNASSIGNED -1 "));
    AccountMergeModel model(info); // account 2 is proposed as a new account of its own name
    ASSERT_EQ(model.accept(), QString());

    TracePane pane;
    pane.add(QStringLiteral("before"));
    info.DumpToMemo(&pane);
    info.DumpToMemo(nullptr);
    const QString expected = QStringLiteral("before\n"
                                            "BadGroupIDMerge F\n"
                                            "HasGroupedAccounts F\n"
                                            "FromInfo\n"
                                            "  ClientID     812\n"
                                            "  ClientName   Sample, One\n"
                                            "  MaxAccountID 2\n"
                                            "  Accounts (List)\n"
                                            "    [0] 0=Primary\n"
                                            "    [1] 2=WorkCover\n"
                                            "ToInfo\n"
                                            "  ClientID     57\n"
                                            "  ClientName   Sample, Two\n"
                                            "  MaxAccountID 1\n"
                                            "  Accounts (List)\n"
                                            "    [0] 0=Primary\n"
                                            "    [1] 1=Medicare\n"
                                            "Accounts (Actions)\n"
                                            "  [0] MERGE\n"
                                            "    FromID   0\n"
                                            "    FromName Primary\n"
                                            "    ToID     0\n"
                                            "    ToName   Primary\n"
                                            "  [1] UNUSED\n"
                                            "  [2] APPEND\n"
                                            "    FromID   2\n"
                                            "    FromName WorkCover\n"
                                            "    ToID     2\n"
                                            "    ToName   WorkCover\n");
    EXPECT_EQ(pane.lines().join(QLatin1Char('\n')), expected);
    EXPECT_EQ(pane.lines().last(), QString());

    QStringList summary;
    info.DescribeMerge(summary);
    EXPECT_EQ(
        summary,
        QStringList({QStringLiteral("Merge 812 > 57 (Sample, One > Sample, Two)"),
                     QStringLiteral("MRG[0:Primary|0:Primary]"), QStringLiteral("ADD[2:WorkCover|2:WorkCover]")}));
}

TEST_F(AccountDb, DumpShowsFlagsNegativeIdsAndUnassignedSlots)
{
    addAccounts(1, {{1, QStringLiteral("Solo")}});
    addAccount(2, -4, QStringLiteral("Minus"), QStringLiteral("1"));
    TaInfo info;
    load(info, 2, 1);
    TracePane pane;
    info.DumpToMemo(&pane);
    const QStringList& lines = pane.lines();
    EXPECT_EQ(lines.mid(0, 2),
              QStringList({QStringLiteral("BadGroupIDMerge T"), QStringLiteral("HasGroupedAccounts T")}));
    EXPECT_TRUE(lines.contains(QStringLiteral("    [0] -4=Minus")));
    EXPECT_TRUE(lines.contains(QStringLiteral("  MaxAccountID -1"))); // the To client's highest id stays -1
    EXPECT_EQ(lines.mid(lines.indexOf(QStringLiteral("Accounts (Actions)"))),
              QStringList({QStringLiteral("Accounts (Actions)"), QStringLiteral("  [0] UNUSED"),
                           QStringLiteral("  [1] UNASSIGNED"), QStringLiteral("    FromID   1"),
                           QStringLiteral("    FromName Solo"), QStringLiteral("    ToID     -1"),
                           QStringLiteral("    ToName   "), QString()}));
    QStringList summary;
    info.DescribeMerge(summary);
    EXPECT_EQ(summary.size(), 1);
}

} // namespace
} // namespace kolvix::test
