// The command line of kolvix-merge, parsed in-process: what each form of the options means
// and the one-line message of every malformed one.

#include "cli/Options.h"

#include <gtest/gtest.h>

namespace kolvix::cli {
namespace {

struct OptionCase
{
    const char* name;
    QStringList args;
    // Empty when the arguments are valid; else a part of the message.
    const char* error;
};

class OptionsTest : public ::testing::TestWithParam<OptionCase>
{
};

TEST_P(OptionsTest, ParsesOrNamesTheFault)
{
    const OptionCase& c = GetParam();
    QString error;
    const auto options = parseArguments(c.args, error);
    if (QByteArray(c.error).isEmpty()) {
        EXPECT_TRUE(options.has_value()) << error.toStdString();
    } else {
        EXPECT_FALSE(options.has_value());
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.error))) << error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionsTest,
    ::testing::Values(
        OptionCase {"Diagnose", {"Provider=SQLite", "--diagnose"}, ""},
        OptionCase {"Merge", {"--from", "812", "--to", "57"}, ""},
        OptionCase {"InlineValues", {"--from=812", "--to=57", "--map=2=add:New"}, ""},
        OptionCase {"AllSwitches", {"--from", "1", "--to", "2", "--dry-run", "--yes", "--progress"}, ""},
        OptionCase {"NoClients", {}, "--from and --to are both required"},
        OptionCase {"OnlyFrom", {"--from", "812"}, "--from and --to are both required"},
        OptionCase {"MissingValue", {"--to", "1", "--from"}, "--from needs a value"},
        OptionCase {"NonNumericId", {"--from", "x", "--to", "1"}, "needs an integer client id"},
        OptionCase {"UnknownOption", {"--from", "1", "--to", "2", "--frobnicate"}, "unknown option --frobnicate"},
        OptionCase {"StrayArgument", {"--from", "1", "--to", "2", "stray"}, "unexpected argument 'stray'"},
        OptionCase {"BadMapForm", {"--from", "1", "--to", "2", "--map", "2=move:1"}, "expected FROMID=merge:TOID"},
        OptionCase {"BadMapTarget", {"--from", "1", "--to", "2", "--map", "2=merge:x"}, "must be an integer id"},
        OptionCase {
            "MapTwice", {"--from", "1", "--to", "2", "--map", "2=merge:1", "--map", "2=add:X"}, "--map given twice"},
        OptionCase {"DiagnoseWithMergeOptions", {"--diagnose", "--from", "1"}, "--diagnose takes no merge options"},
        OptionCase {"Duplicates", {"Provider=SQLite", "--duplicates"}, ""},
        OptionCase {"DuplicatesAllOptions", {"--duplicates", "--min-score", "70", "--archived", "--limit=5"}, ""},
        OptionCase {"DuplicatesScoreBounds", {"--duplicates", "--min-score=0", "--limit", "1"}, ""},
        OptionCase {
            "DuplicatesScoreTooHigh", {"--duplicates", "--min-score", "101"}, "--min-score needs a whole number"},
        OptionCase {"DuplicatesScoreNotANumber", {"--duplicates", "--min-score", "high"}, "--min-score needs"},
        OptionCase {"DuplicatesScoreMissing", {"--duplicates", "--min-score"}, "--min-score needs a value"},
        OptionCase {
            "DuplicatesLimitZero", {"--duplicates", "--limit", "0"}, "--limit needs a whole number of at least 1"},
        OptionCase {"DuplicatesLimitNegative", {"--duplicates", "--limit", "-3"}, "--limit needs"},
        OptionCase {"DuplicatesWithMerge", {"--duplicates", "--from", "1", "--to", "2"}, "--duplicates takes no merge"},
        OptionCase {"DuplicatesWithDiagnose", {"--duplicates", "--diagnose"}, "--duplicates takes no merge"},
        OptionCase {"DuplicateOptionAlone", {"--from", "1", "--to", "2", "--archived"}, "go with --duplicates"},
        OptionCase {"DuplicatesWithValue", {"--duplicates=yes"}, "unknown option --duplicates=yes"}),
    [](const ::testing::TestParamInfo<OptionCase>& info) { return std::string(info.param.name); });

TEST(OptionsTest, KeepsSettingsAndMappingsAsGiven)
{
    QString error;
    const auto o = parseArguments({"Data Source=SRV1", "--from", "812", "--to", "57", "--map", "2=merge:1", "--map",
                                   "3=add:Work Cover", "--dry-run"},
                                  error);
    ASSERT_TRUE(o.has_value()) << error.toStdString();
    EXPECT_EQ(o->settings, QStringList {"Data Source=SRV1"});
    EXPECT_EQ(*o->from, 812);
    EXPECT_EQ(*o->to, 57);
    ASSERT_EQ(o->maps.size(), 2u);
    EXPECT_TRUE(o->maps.at(2).merge);
    EXPECT_EQ(o->maps.at(2).toID, 1);
    EXPECT_FALSE(o->maps.at(3).merge);
    EXPECT_EQ(o->maps.at(3).name, QStringLiteral("Work Cover"));
    EXPECT_TRUE(o->dryRun);
    EXPECT_FALSE(o->yes);
}

TEST(OptionsTest, DuplicatesOptionsAsGiven)
{
    QString error;
    const auto o = parseArguments({"--duplicates", "--min-score", "65", "--limit", "20"}, error);
    ASSERT_TRUE(o.has_value()) << error.toStdString();
    EXPECT_TRUE(o->duplicates);
    EXPECT_EQ(o->minScore, 65);
    EXPECT_EQ(o->limit, 20);
    EXPECT_FALSE(o->archived);
    const auto plain = parseArguments({"--duplicates"}, error);
    ASSERT_TRUE(plain.has_value());
    EXPECT_FALSE(plain->minScore.has_value());
    EXPECT_FALSE(plain->limit.has_value());
}

} // namespace
} // namespace kolvix::cli
