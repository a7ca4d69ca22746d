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
        OptionCase {"DuplicatesWithValue", {"--duplicates=yes"}, "--duplicates is a switch and takes no value"},
        // --limit belongs to --duplicates and --history; each verb reads it, neither else takes it.
        OptionCase {"FindWithLimit", {"--find", "a", "--limit", "3"}, "(--limit also with --history)"},
        OptionCase {"MergeWithLimit", {"--from", "1", "--to", "2", "--limit", "3"}, "--limit also with --history"},
        OptionCase {"History", {"Provider=SQLite", "--history"}, ""},
        OptionCase {"HistoryLimit", {"--history", "--limit", "3"}, ""},
        OptionCase {"HistoryLimitInline", {"--limit=2147483647", "--history"}, ""},
        OptionCase {"HistoryLimitZero", {"--history", "--limit", "0"}, "--limit needs a whole number of at least 1"},
        OptionCase {"HistoryLimitNegative", {"--history", "--limit=-1"}, "--limit needs a whole number of at least 1"},
        OptionCase {"HistoryLimitNotANumber", {"--history", "--limit", "ten"}, "--limit needs a whole number"},
        OptionCase {"HistoryLimitMissing", {"--history", "--limit"}, "--limit needs a value"},
        OptionCase {"HistoryLimitTwice", {"--history", "--limit", "1", "--limit", "1"}, "--limit given twice"},
        OptionCase {"HistoryWithValue", {"--history=5"}, "--history is a switch and takes no value"},
        OptionCase {"HistoryWithMerge", {"--history", "--from", "1", "--to", "2"}, "--history takes no merge options"},
        OptionCase {"HistoryWithYes", {"--history", "--yes"}, "--history takes no merge options"},
        OptionCase {"HistoryWithDiagnose", {"--history", "--diagnose"}, "--history takes no merge options"},
        OptionCase {"HistoryWithFindOption", {"--history", "--all"}, "--all and --show-sql go with --find"},
        OptionCase {"HistoryWithMinScore", {"--history", "--min-score", "60"}, "--min-score and --archived go with"},
        OptionCase {
            "HistoryWithDuplicates", {"--history", "--duplicates"}, "--duplicates and --history cannot be given"},
        OptionCase {"HistoryWithFind", {"--find", "a", "--history"}, "--find and --history cannot be given together"},
        OptionCase {"Undo", {"Provider=SQLite", "--undo", "12"}, ""},
        OptionCase {"UndoAllOptions", {"--undo=12", "--dry-run", "--yes"}, ""},
        OptionCase {"UndoLargest", {"--undo", "2147483647"}, ""},
        OptionCase {"UndoZero", {"--undo", "0", "--yes"}, "--undo needs the Audit number of a merge"},
        OptionCase {"UndoNegative", {"--undo=-5"}, "--undo needs the Audit number of a merge"},
        OptionCase {"UndoNotANumber",
                    {"--undo", "last"},
                    "(a whole number of at least 1, as --history lists it), not "
                    "'last'"},
        OptionCase {"UndoTooLarge", {"--undo", "2147483648"}, "--undo needs the Audit number"},
        OptionCase {"UndoMissing", {"--yes", "--undo"}, "--undo needs a value"},
        OptionCase {"UndoTwice", {"--undo", "3", "--undo", "3"}, "--undo given twice"},
        OptionCase {"UndoWithYesValue", {"--undo", "3", "--yes=1"}, "--yes is a switch and takes no value"},
        OptionCase {"UndoWithFrom", {"--undo", "3", "--from", "1"}, "--undo takes --dry-run and --yes, no other merge"},
        OptionCase {
            "UndoWithFromAndTo", {"--from", "1", "--to", "2", "--undo", "3"}, "--undo takes --dry-run and --yes"},
        OptionCase {"UndoWithMap", {"--undo", "3", "--map", "2=add:X"}, "--undo takes --dry-run and --yes"},
        OptionCase {"UndoWithProgress", {"--undo", "3", "--progress"}, "--undo takes --dry-run and --yes"},
        OptionCase {"UndoWithIrreversible", {"--undo", "3", "--irreversible"}, "--undo takes --dry-run and --yes"},
        OptionCase {"UndoWithDiagnose", {"--undo", "3", "--diagnose"}, "--undo takes --dry-run and --yes"},
        OptionCase {"UndoWithHistory", {"--undo", "3", "--history"}, "--history and --undo cannot be given together"},
        OptionCase {"UndoWithFind", {"--undo", "3", "--find", "a"}, "--find and --undo cannot be given together"},
        OptionCase {"UndoWithDuplicates", {"--duplicates", "--undo", "3"}, "--duplicates and --undo cannot be given"},
        OptionCase {"UndoWithLimit", {"--undo", "3", "--limit", "1"}, "--limit also with --history"},
        OptionCase {"UndoWithFindOption", {"--undo", "3", "--show-sql"}, "go with --find"},
        OptionCase {"Irreversible", {"--from", "1", "--to", "2", "--irreversible", "--yes"}, ""},
        OptionCase {"IrreversibleDryRun", {"--from", "1", "--to", "2", "--irreversible", "--dry-run"}, ""},
        OptionCase {"IrreversibleWithValue",
                    {"--from", "1", "--to", "2", "--irreversible=no"},
                    "--irreversible is a "
                    "switch"},
        OptionCase {"IrreversibleAlone", {"--irreversible"}, "--from and --to are both required"},
        OptionCase {"IrreversibleWithFind", {"--find", "a", "--irreversible"}, "--find takes no merge options"},
        OptionCase {"IrreversibleWithDuplicates", {"--duplicates", "--irreversible"}, "--duplicates takes no merge"},
        OptionCase {"IrreversibleWithDiagnose", {"--diagnose", "--irreversible"}, "--diagnose takes no merge options"},
        OptionCase {"MergePairs", {"Provider=SQLite", "--merge-pairs", "pairs.tsv"}, ""},
        OptionCase {"MergePairsAllOptions", {"--merge-pairs=pairs.tsv", "--dry-run", "--yes", "--stop-on-skip"}, ""},
        OptionCase {"MergePairsMissing", {"--yes", "--merge-pairs"}, "--merge-pairs needs a value"},
        OptionCase {"MergePairsEmptyName", {"--merge-pairs="}, "--merge-pairs needs the name of a file"},
        OptionCase {"MergePairsTwice", {"--merge-pairs", "a", "--merge-pairs", "b"}, "--merge-pairs given twice"},
        OptionCase {"MergePairsWithFrom",
                    {"--merge-pairs", "p", "--from", "1"},
                    "--merge-pairs takes --dry-run, --yes and --stop-on-skip, no other merge options"},
        OptionCase {
            "MergePairsWithFromAndTo", {"--from", "1", "--to", "2", "--merge-pairs", "p"}, "--merge-pairs takes"},
        OptionCase {"MergePairsWithMap", {"--merge-pairs", "p", "--map", "2=add:X"}, "--merge-pairs takes"},
        OptionCase {"MergePairsWithProgress", {"--merge-pairs", "p", "--progress"}, "--merge-pairs takes"},
        OptionCase {"MergePairsWithIrreversible", {"--merge-pairs", "p", "--irreversible"}, "--merge-pairs takes"},
        OptionCase {"MergePairsWithDiagnose", {"--diagnose", "--merge-pairs", "p"}, "--merge-pairs takes"},
        OptionCase {"MergePairsWithFind", {"--find", "a", "--merge-pairs", "p"}, "--find and --merge-pairs cannot be"},
        OptionCase {"MergePairsWithDuplicates",
                    {"--merge-pairs", "p", "--duplicates"},
                    "--duplicates and --merge-pairs cannot be given together"},
        OptionCase {"MergePairsWithHistory", {"--merge-pairs", "p", "--history"}, "--history and --merge-pairs cannot"},
        OptionCase {"MergePairsWithUndo", {"--undo", "3", "--merge-pairs", "p"}, "--undo and --merge-pairs cannot"},
        OptionCase {"MergePairsWithLimit", {"--merge-pairs", "p", "--limit", "5"}, "--limit go with --duplicates"},
        OptionCase {"MergePairsWithFindOption", {"--merge-pairs", "p", "--all"}, "go with --find"},
        OptionCase {"StopOnSkipWithMerge",
                    {"--from", "1", "--to", "2", "--stop-on-skip"},
                    "--stop-on-skip goes with --merge-pairs"},
        OptionCase {"StopOnSkipAlone", {"--stop-on-skip"}, "--stop-on-skip goes with --merge-pairs"},
        OptionCase {"StopOnSkipWithUndo", {"--undo", "3", "--stop-on-skip"}, "--undo takes --dry-run and --yes"},
        OptionCase {"StopOnSkipWithFind", {"--find", "a", "--stop-on-skip"}, "--stop-on-skip goes with --merge-pairs"},
        OptionCase {"StopOnSkipWithDuplicates", {"--duplicates", "--stop-on-skip"}, "--stop-on-skip goes with"},
        OptionCase {"StopOnSkipWithHistory", {"--history", "--stop-on-skip"}, "--stop-on-skip goes with"},
        OptionCase {"StopOnSkipWithDiagnose", {"--diagnose", "--stop-on-skip"}, "--stop-on-skip goes with"},
        OptionCase {"StopOnSkipWithValue", {"--merge-pairs", "p", "--stop-on-skip=1"}, "--stop-on-skip is a switch"},
        // The verbs of a pair of clients take two ids, once, and no other verb's options.
        OptionCase {"Compare", {"Provider=SQLite", "--compare", "812", "57"}, ""},
        OptionCase {"CompareInline", {"--compare=812", "-57"}, ""},
        OptionCase {"CompareOneId", {"--compare", "812"}, "--compare needs two values"},
        OptionCase {"CompareTwice", {"--compare", "1", "2", "--compare", "3", "4"}, "--compare given twice"},
        OptionCase {
            "CompareSameClient", {"--compare", "7", " 7"}, "--compare needs two different clients, not 7 twice"},
        OptionCase {"CompareNotAnId",
                    {"--compare", "7", "Smith"},
                    "--compare needs two integer client ids from -2147483648 to 2147483647, not '7' 'Smith'"},
        OptionCase {
            "CompareWithYes", {"--compare", "1", "2", "--yes"}, "--compare takes no other options (--yes given)"},
        OptionCase {"CompareWithFind", {"--find", "a", "--compare", "1", "2"}, "--find and --compare cannot be"},
        OptionCase {"MarkDifferent", {"--mark-different", "1", "2", "--note", "twins"}, ""},
        OptionCase {"MarkDifferentLongNote",
                    {"--mark-different", "1", "2", "--note", QString(256, 'x')},
                    "--note takes a text of at most 255 characters, not 256"},
        OptionCase {"MarkDifferentWithLimit",
                    {"--mark-different", "1", "2", "--limit", "3"},
                    "--mark-different takes no option but --note (--limit given)"},
        OptionCase {"NoteWithMerge", {"--from", "1", "--to", "2", "--note", "x"}, "--note goes with --mark-different"},
        OptionCase {"NoteAlone", {"--note", "x"}, "--note goes with --mark-different"},
        OptionCase {"UnmarkDifferent", {"--unmark-different", "1", "2"}, ""},
        OptionCase {"UnmarkDifferentWithNote",
                    {"--unmark-different", "1", "2", "--note", "x"},
                    "--note goes with --mark-different"},
        OptionCase {"UnmarkDifferentWithYes",
                    {"--unmark-different", "1", "2", "--yes"},
                    "--unmark-different takes no other options (--yes given)"},
        OptionCase {"MarkAndUnmark",
                    {"--mark-different", "1", "2", "--unmark-different", "1", "2"},
                    "--mark-different and --unmark-different cannot be given together"},
        OptionCase {"ListDifferent", {"--list-different"}, ""},
        OptionCase {"ListDifferentWithValue", {"--list-different=1"}, "--list-different is a switch"},
        OptionCase {"ListDifferentWithArchived",
                    {"--list-different", "--archived"},
                    "--list-different takes no other options (--archived given)"}),
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

TEST(OptionsTest, PairsOfClientsAsGiven)
{
    QString error;
    const auto compare = parseArguments({"--compare", "812", "-57"}, error);
    ASSERT_TRUE(compare.has_value()) << error.toStdString();
    ASSERT_TRUE(std::holds_alternative<CompareVerbOptions>(compare->verb));
    EXPECT_EQ(std::get<CompareVerbOptions>(compare->verb).a, 812);
    EXPECT_EQ(std::get<CompareVerbOptions>(compare->verb).b, -57);

    const auto mark = parseArguments({"--note= twins ", "--mark-different=35", "20"}, error);
    ASSERT_TRUE(mark.has_value()) << error.toStdString();
    ASSERT_TRUE(std::holds_alternative<MarkDifferentVerbOptions>(mark->verb));
    const auto& marked = std::get<MarkDifferentVerbOptions>(mark->verb);
    EXPECT_EQ(marked.a, 35);
    EXPECT_EQ(marked.b, 20);
    EXPECT_EQ(marked.note, " twins ");

    const auto unmark = parseArguments({"--unmark-different", "20", "35"}, error);
    ASSERT_TRUE(unmark.has_value()) << error.toStdString();
    ASSERT_TRUE(std::holds_alternative<UnmarkDifferentVerbOptions>(unmark->verb));
    EXPECT_EQ(std::get<UnmarkDifferentVerbOptions>(unmark->verb).a, 20);
    EXPECT_EQ(std::get<UnmarkDifferentVerbOptions>(unmark->verb).b, 35);

    const auto list = parseArguments({"Provider=SQLite", "--list-different"}, error);
    ASSERT_TRUE(list.has_value()) << error.toStdString();
    EXPECT_TRUE(std::holds_alternative<ListDifferentVerbOptions>(list->verb));
}

} // namespace
} // namespace kolvix::cli

namespace kolvix::cli {
namespace {

// Each verb gets its own values: --limit reaches --history as it reaches --duplicates.
TEST(OptionsTest, HistoryUndoAndIrreversibleAsGiven)
{
    QString error;
    const auto history = parseArguments({"--history", "--limit", "7"}, error);
    ASSERT_TRUE(history.has_value()) << error.toStdString();
    ASSERT_TRUE(std::holds_alternative<HistoryVerbOptions>(history->verb));
    EXPECT_EQ(std::get<HistoryVerbOptions>(history->verb).limit, 7);
    const auto all = parseArguments({"--history"}, error);
    ASSERT_TRUE(all.has_value());
    ASSERT_TRUE(std::holds_alternative<HistoryVerbOptions>(all->verb));
    EXPECT_FALSE(std::get<HistoryVerbOptions>(all->verb).limit.has_value());
    const auto duplicates = parseArguments({"--duplicates", "--limit=4"}, error);
    ASSERT_TRUE(duplicates.has_value());
    ASSERT_TRUE(std::holds_alternative<DuplicatesVerbOptions>(duplicates->verb));
    EXPECT_EQ(std::get<DuplicatesVerbOptions>(duplicates->verb).limit, 4);

    const auto undo = parseArguments({"Data Source=SRV1", "--undo", " 42 ", "--yes"}, error);
    ASSERT_TRUE(undo.has_value()) << error.toStdString();
    EXPECT_EQ(undo->settings, QStringList {"Data Source=SRV1"});
    ASSERT_TRUE(std::holds_alternative<UndoVerbOptions>(undo->verb));
    const auto& undoOptions = std::get<UndoVerbOptions>(undo->verb);
    EXPECT_EQ(undoOptions.auditId, 42);
    EXPECT_TRUE(undoOptions.yes);
    EXPECT_FALSE(undoOptions.dryRun);
    const auto dryUndo = parseArguments({"--dry-run", "--undo=3"}, error);
    ASSERT_TRUE(dryUndo.has_value());
    ASSERT_TRUE(std::holds_alternative<UndoVerbOptions>(dryUndo->verb));
    EXPECT_TRUE(std::get<UndoVerbOptions>(dryUndo->verb).dryRun);
    EXPECT_FALSE(std::get<UndoVerbOptions>(dryUndo->verb).yes);

    for (const bool irreversible : {false, true}) {
        QStringList args {"--from", "812", "--to", "57", "--yes"};
        if (irreversible)
            args << "--irreversible";
        const auto merge = parseArguments(args, error);
        ASSERT_TRUE(merge.has_value()) << error.toStdString();
        ASSERT_TRUE(std::holds_alternative<MergeVerbOptions>(merge->verb));
        EXPECT_EQ(std::get<MergeVerbOptions>(merge->verb).irreversible, irreversible);
    }
}

// --merge-pairs keeps its file and its switches; --dry-run and --yes reach it as they reach the
// merge.
TEST(OptionsTest, MergePairsAsGiven)
{
    QString error;
    const auto o
        = parseArguments({"Data Source=SRV1", "--merge-pairs", " my pairs.tsv", "--yes", "--stop-on-skip"}, error);
    ASSERT_TRUE(o.has_value()) << error.toStdString();
    EXPECT_EQ(o->settings, QStringList {"Data Source=SRV1"});
    ASSERT_TRUE(std::holds_alternative<MergePairsVerbOptions>(o->verb));
    const auto& pairs = std::get<MergePairsVerbOptions>(o->verb);
    EXPECT_EQ(pairs.file, QStringLiteral(" my pairs.tsv"));
    EXPECT_TRUE(pairs.yes);
    EXPECT_TRUE(pairs.stopOnSkip);
    EXPECT_FALSE(pairs.dryRun);
    const auto dry = parseArguments({"--dry-run", "--merge-pairs=p"}, error);
    ASSERT_TRUE(dry.has_value()) << error.toStdString();
    ASSERT_TRUE(std::holds_alternative<MergePairsVerbOptions>(dry->verb));
    EXPECT_TRUE(std::get<MergePairsVerbOptions>(dry->verb).dryRun);
    EXPECT_FALSE(std::get<MergePairsVerbOptions>(dry->verb).yes);
    EXPECT_FALSE(std::get<MergePairsVerbOptions>(dry->verb).stopOnSkip);
}

} // namespace
} // namespace kolvix::cli
