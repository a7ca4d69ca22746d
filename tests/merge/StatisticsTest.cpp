#include "support/MergeFixture.h"

#include "merge/Statistics.h"

using namespace kolvix;
using namespace kolvix::test;

namespace {

class StatisticsTest : public MergeFixture
{
};

TEST_F(StatisticsTest, LinesOfTheExampleClient)
{
    db.exec("DROP TABLE TyroTrans; DROP TABLE SMSMsg;");
    const QStringList lines = statisticsLines(collectStatistics(session->dsTemp, session->mem, 812));
    EXPECT_EQ(lines,
              (QStringList {
                  "2  Accounts",
                  "2  Appointments",
                  "1  Group Appointment",
                  "1  Attachment",
                  "1  Clinical Note",
                  "3  Transactions",
                  "2  Hicaps Transactions",
                  "1  Future Transaction",
                  "1  Document",
                  "2  Statements",
                  "1  X-ray",
                  "1  X-ray Folder",
                  "1  X-ray Report",
                  "1  Contact",
                  "1  Contact Attachment",
                  "1  Event",
                  "1  Tracking Category",
                  "1  Recall",
                  "1  Recall (recurring)",
                  "1  Referral",
                  "1  Referrer (1)",
                  "1  Referrer (2)",
                  "1  Sales Event",
                  "1  Quote",
                  "1  SMS Reply",
                  "2  WPX Pending (master)",
                  "1  WPX Pending (guest)",
              }));
    EXPECT_TRUE(session->mem.lines().contains("Table 'TyroTrans' does not exist (not merged)"));
}

TEST_F(StatisticsTest, CountsAlignToTheWidest)
{
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1232) "
            "INSERT INTO Trans (ClientID, AccountID) SELECT 812, 0 FROM n;");
    const QStringList lines = statisticsLines(collectStatistics(session->dsTemp, session->mem, 812));
    EXPECT_EQ(lines[0], "    2  Accounts");
    EXPECT_TRUE(lines.contains("1,235  Transactions"));
    EXPECT_TRUE(statisticsLines(collectStatistics(session->dsTemp, session->mem, 4242)).isEmpty());
}

TEST_F(StatisticsTest, AFailingCountKeepsTheRowsCountedBeforeIt)
{
    // Row 9 of the table fails: the column it counts is missing.
    db.exec("DROP TABLE TyroTrans; CREATE TABLE TyroTrans (TyroTransID INTEGER);");
    StatisticsList list {{"stale", 7}};
    EXPECT_ANY_THROW(collectStatistics(session->dsTemp, session->mem, 812, list));
    EXPECT_EQ(statisticsLines(list),
              (QStringList {"2  Accounts", "2  Appointments", "1  Group Appointment", "1  Attachment",
                            "1  Clinical Note", "3  Transactions", "2  Hicaps Transactions"}));
}

TEST(SingularCaptionTest, EveryRule)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Tracking Categories", "Tracking Category"},
        {"SMS Replies", "SMS Reply"},
        {"Recalls (recurring)", "Recall (recurring)"},
        {"Referrers (2)", "Referrer (2)"},
        {"X-rays", "X-ray"},
        {"WPX Client (master)", "WPX Client (master)"},
        {"Group Links", "Group Link"},
        {"Hicaps Transactions", "Hicaps Transaction"},
    };
    for (const auto& [plural, singular] : cases) {
        EXPECT_EQ(singularCaption(plural, 1), singular) << plural;
        EXPECT_EQ(singularCaption(plural, 2), plural);
    }
}

} // namespace
