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
        OptionCase {"Find", {"Provider=SQLite", "--find", "smith, jo", "--all", "--archived", "--show-sql"}, ""},
        OptionCase {"FindEmptyText", {"--find", ""}, ""},
        OptionCase {"FindInline", {"--find=sm", "--field=work phone"}, ""},
        OptionCase {"FindSoundsLikeByName", {"--find", "jo", "--field", "NAME", "--sounds-like"}, ""},
        OptionCase {"FindWithoutText", {"--find"}, "--find needs a value"},
        OptionCase {"FindTwice", {"--find", "a", "--find", "b"}, "--find given twice"},
        OptionCase {
            "FindUnknownField", {"--find", "a", "--field", "Phone"}, "--field 'Phone': expected one of Surname"},
        OptionCase {"FindFieldTwice", {"--find", "a", "--field", "Name", "--field", "Email"}, "--field given twice"},
        OptionCase {"FindSoundsLikeEmpty", {"--find", "", "--sounds-like"}, "--sounds-like needs a text"},
        OptionCase {"FindSoundsLikeOtherField",
                    {"--find", "a", "--field", "Email", "--sounds-like"},
                    "--sounds-like searches only by Surname or Name"},
        OptionCase {"FindFlagWithValue", {"--find", "a", "--all=yes"}, "--all takes no value"},
        OptionCase {
            "FindWithMergeOptions", {"--find", "a", "--from", "1", "--to", "2"}, "--find takes no merge options"},
        OptionCase {"FindOptionsWithoutFind", {"--from", "1", "--to", "2", "--all"}, "go with --find"}),
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

TEST(OptionsTest, FindKeepsItsTextAndField)
{
    QString error;
    const auto o = parseArguments({"--find", " O'Brien, Pat ", "--field", "bpay ref no", "--show-sql"}, error);
    ASSERT_TRUE(o.has_value()) << error.toStdString();
    EXPECT_EQ(*o->find, QStringLiteral(" O'Brien, Pat "));
    EXPECT_EQ(o->field, 11);
    EXPECT_TRUE(o->showSql);
    EXPECT_FALSE(o->all);
    const auto byDefault = parseArguments({"--find", "x"}, error);
    ASSERT_TRUE(byDefault.has_value());
    EXPECT_EQ(byDefault->field, 0);
}

} // namespace
} // namespace kolvix::cli
