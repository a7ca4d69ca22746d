// The command line of kolvix-merge, parsed in-process: what each form of the options means
// and the one-line message of every malformed one.

#include "cli/Options.h"

#include "cli/ArgumentParser.h"

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
        OptionCase {"IdTooLarge",
                    {"--from", "2147483648", "--to", "1"},
                    "--from needs an integer client id from -2147483648 to 2147483647, not '2147483648'"},
        OptionCase {"IdTooSmall",
                    {"--from", "1", "--to=-2147483649"},
                    "--to needs an integer client id from -2147483648 to 2147483647, not '-2147483649'"},
        OptionCase {"LargestId", {"--from", "2147483647", "--to", "1"}, ""},
        OptionCase {"UnknownOption", {"--from", "1", "--to", "2", "--frobnicate"}, "unknown option --frobnicate"},
        OptionCase {"StrayArgument", {"--from", "1", "--to", "2", "stray"}, "unexpected argument 'stray'"},
        OptionCase {"BadMapForm", {"--from", "1", "--to", "2", "--map", "2=move:1"}, "expected FROMID=merge:TOID"},
        OptionCase {"BadMapTarget", {"--from", "1", "--to", "2", "--map", "2=merge:x"}, "must be an integer id"},
        OptionCase {
            "MapTwice", {"--from", "1", "--to", "2", "--map", "2=merge:1", "--map", "2=add:X"}, "--map given twice"},
        OptionCase {"DiagnoseWithMergeOptions", {"--diagnose", "--from", "1"}, "--diagnose takes no merge options"},
        // A switch is there or not; a value given to it is a mistake, never the bare switch.
        OptionCase {"YesWithNo", {"--from", "1", "--to", "2", "--yes=no"}, "--yes is a switch and takes no value"},
        OptionCase {"YesWithZero", {"--from", "1", "--to", "2", "--yes=0"}, "--yes is a switch and takes no value"},
        OptionCase {"YesWithEmpty", {"--from", "1", "--to", "2", "--yes="}, "--yes is a switch and takes no value"},
        OptionCase {"DryRunWithNo", {"--from", "1", "--to", "2", "--dry-run=no"}, "--dry-run is a switch"},
        OptionCase {"ProgressWithZero", {"--from", "1", "--to", "2", "--progress=0"}, "--progress is a switch"},
        OptionCase {"DiagnoseWithNo", {"--diagnose=no"}, "--diagnose is a switch"},
        // A client given twice is ambiguous, whichever form each one takes.
        OptionCase {"FromTwice", {"--from", "99999", "--from", "812", "--to", "57"}, "--from given twice"},
        OptionCase {"ToTwiceInline", {"--from", "1", "--to=2", "--to", "2"}, "--to given twice"},
        OptionCase {"FromTwiceSameValue", {"--from=1", "--from=1", "--to", "2"}, "--from given twice"},
        OptionCase {"Find", {"Provider=SQLite", "--find", "smith, jo", "--all", "--archived", "--show-sql"}, ""},
        OptionCase {"FindEmptyText", {"--find", ""}, ""},
        OptionCase {"FindInline", {"--find=sm", "--field=work phone"}, ""},
        OptionCase {"FindSoundsLikeByName", {"--find", "jo", "--field", "NAME", "--sounds-like"}, ""},
        OptionCase {"FindWithoutText", {"--find"}, "--find needs a value"},
        OptionCase {"FindTwice", {"--find", "a", "--find", "b"}, "--find given twice"},
        OptionCase {
            "FindUnknownField", {"--find", "a", "--field", "Phone"}, "--field 'Phone': expected one of Surname"},
        // The search text is bounded, as the dialog's text box is.
        OptionCase {"FindLongestText", {"--find", QString(100, u'x'), "--field", "Mobile"}, ""},
        OptionCase {"FindTextTooLong",
                    {"--find", QString(101, u'x')},
                    "--find takes a text of at most 100 characters, not 101"},
        OptionCase {"FindTextTooLongInline",
                    {"--find=" + QString(60000, u'4'), "--field", "Mobile"},
                    "--find takes a text of at most 100 characters, not 60000"},
        OptionCase {"FindFieldTwice", {"--find", "a", "--field", "Name", "--field", "Email"}, "--field given twice"},
        OptionCase {"FindSoundsLikeEmpty", {"--find", "", "--sounds-like"}, "--sounds-like needs a text"},
        OptionCase {"FindSoundsLikeOtherField",
                    {"--find", "a", "--field", "Email", "--sounds-like"},
                    "--sounds-like searches only by Surname or Name"},
        OptionCase {"FindFlagWithValue", {"--find", "a", "--all=yes"}, "--all is a switch and takes no value"},
        OptionCase {
            "FindWithMergeOptions", {"--find", "a", "--from", "1", "--to", "2"}, "--find takes no merge options"},
        OptionCase {"FindOptionsWithoutFind", {"--from", "1", "--to", "2", "--all"}, "go with --find"},
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
        OptionCase {"DuplicatesLimitLargest", {"--duplicates", "--limit", "2147483647"}, ""},
        OptionCase {"DuplicatesLimitTooLarge",
                    {"--duplicates", "--limit", "2147483648"},
                    "--limit needs a whole number of at least 1 and at most 2147483647, not '2147483648'"},
        OptionCase {"DuplicatesScoreTooLarge",
                    {"--duplicates", "--min-score", "2147483648"},
                    "--min-score needs a whole number from 0 to 100, not '2147483648'"},
        // Given twice is ambiguous, as for --from.
        OptionCase {"DuplicatesLimitTwice", {"--duplicates", "--limit", "5", "--limit", "9"}, "--limit given twice"},
        OptionCase {"DuplicatesLimitTwiceSameValue", {"--duplicates", "--limit=5", "--limit=5"}, "--limit given twice"},
        OptionCase {
            "DuplicatesScoreTwice", {"--duplicates", "--min-score", "60", "--min-score=70"}, "--min-score given twice"},
        OptionCase {"DuplicatesWithMerge", {"--duplicates", "--from", "1", "--to", "2"}, "--duplicates takes no merge"},
        OptionCase {"DuplicatesWithDiagnose", {"--duplicates", "--diagnose"}, "--duplicates takes no merge"},
        OptionCase {"DuplicateOptionAlone", {"--from", "1", "--to", "2", "--archived"}, "go with --duplicates"},
        OptionCase {"DuplicatesWithValue", {"--duplicates=yes"}, "--duplicates is a switch and takes no value"}),
    [](const ::testing::TestParamInfo<OptionCase>& info) { return std::string(info.param.name); });

TEST(OptionsTest, KeepsSettingsAndMappingsAsGiven)
{
    QString error;
    const auto o = parseArguments({"Data Source=SRV1", "--from", "812", "--to", "57", "--map", "2=merge:1", "--map",
                                   "3=add:Work Cover", "--dry-run"},
                                  error);
    ASSERT_TRUE(o.has_value()) << error.toStdString();
    EXPECT_EQ(o->settings, QStringList {"Data Source=SRV1"});
    ASSERT_TRUE(std::holds_alternative<MergeVerbOptions>(o->verb));
    const auto& merge = std::get<MergeVerbOptions>(o->verb);
    EXPECT_EQ(*merge.from, 812);
    EXPECT_EQ(*merge.to, 57);
    ASSERT_EQ(merge.maps.size(), 2u);
    EXPECT_TRUE(merge.maps.at(2).merge);
    EXPECT_EQ(merge.maps.at(2).toID, 1);
    EXPECT_FALSE(merge.maps.at(3).merge);
    EXPECT_EQ(merge.maps.at(3).name, QStringLiteral("Work Cover"));
    EXPECT_TRUE(merge.dryRun);
    EXPECT_FALSE(merge.yes);
}

// Arguments as the command line's bytes: the first one that is not UTF-8 text, if any.
TEST(OptionsTest, FindsTheFirstArgumentThatIsNotUtf8)
{
    struct Case
    {
        std::vector<QByteArray> args;
        std::optional<qsizetype> bad;
    };
    const Case cases[] = {
        {{}, std::nullopt},
        {{"--map", "2=add:caf\xc3\xa9", "Data Source=C:\\x.db"}, std::nullopt},
        {{"--map", "2=add:caf\xe9"}, 1},
        {{"\xff", "--from"}, 0},
        {{"--from", "1", "Data Source=\xc3"}, 2}, // cut in the middle of a character
        {{"--to", "2", "Password=\xed\xa0\x80"}, 2}, // a surrogate, which UTF-8 cannot hold
    };
    for (const Case& c : cases)
        EXPECT_EQ(firstNonUtf8Argument(c.args), c.bad) << (c.args.empty() ? "" : c.args.back().toHex().constData());
}

TEST(OptionsTest, FindKeepsItsTextAndField)
{
    QString error;
    const auto o = parseArguments({"--find", " O'Brien, Pat ", "--field", "bpay ref no", "--show-sql"}, error);
    ASSERT_TRUE(o.has_value()) << error.toStdString();
    ASSERT_TRUE(std::holds_alternative<FindVerbOptions>(o->verb));
    const auto& find = std::get<FindVerbOptions>(o->verb);
    EXPECT_EQ(find.text, QStringLiteral(" O'Brien, Pat "));
    EXPECT_EQ(find.field, 11);
    EXPECT_TRUE(find.showSql);
    EXPECT_FALSE(find.all);
    const auto byDefault = parseArguments({"--find", "x"}, error);
    ASSERT_TRUE(byDefault.has_value());
    ASSERT_TRUE(std::holds_alternative<FindVerbOptions>(byDefault->verb));
    EXPECT_EQ(std::get<FindVerbOptions>(byDefault->verb).field, 0);
}

TEST(OptionsTest, DuplicatesOptionsAsGiven)
{
    QString error;
    const auto o = parseArguments({"--duplicates", "--min-score", "65", "--limit", "20"}, error);
    ASSERT_TRUE(o.has_value()) << error.toStdString();
    ASSERT_TRUE(std::holds_alternative<DuplicatesVerbOptions>(o->verb));
    const auto& duplicates = std::get<DuplicatesVerbOptions>(o->verb);
    EXPECT_EQ(duplicates.minScore, 65);
    EXPECT_EQ(duplicates.limit, 20);
    EXPECT_FALSE(duplicates.archived);
    const auto plain = parseArguments({"--duplicates"}, error);
    ASSERT_TRUE(plain.has_value());
    ASSERT_TRUE(std::holds_alternative<DuplicatesVerbOptions>(plain->verb));
    const auto& plainDuplicates = std::get<DuplicatesVerbOptions>(plain->verb);
    EXPECT_FALSE(plainDuplicates.minScore.has_value());
    EXPECT_FALSE(plainDuplicates.limit.has_value());
}

} // namespace
} // namespace kolvix::cli
