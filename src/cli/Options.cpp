#include "cli/Options.h"

#include "cli/ArgumentParser.h"
#include "cli/MergePairsVerb.h"
#include "ledger/DistinctPairs.h"
#include "search/SearchQuery.h"

#include <limits>

namespace kolvix::cli {

const char* const kUsage
    = "Usage: kolvix-merge [KEY=VALUE ...] --diagnose\n"
      "       kolvix-merge [KEY=VALUE ...] --from ID --to ID [--map FROMID=merge:TOID]...\n"
      "                    [--map FROMID=add:NAME]... [--dry-run] [--yes] [--progress] [--irreversible]\n"
      "       kolvix-merge [KEY=VALUE ...] --find TEXT [--field CAPTION] [--sounds-like] [--all]\n"
      "                    [--archived] [--show-sql]\n"
      "       kolvix-merge [KEY=VALUE ...] --duplicates [--min-score S] [--archived] [--limit N]\n"
      "       kolvix-merge [KEY=VALUE ...] --history [--limit N]\n"
      "       kolvix-merge [KEY=VALUE ...] --undo AUDIT [--dry-run] [--yes]\n"
      "       kolvix-merge [KEY=VALUE ...] --merge-pairs FILE [--dry-run] [--yes] [--stop-on-skip]\n"
      "       kolvix-merge [KEY=VALUE ...] --compare A B\n"
      "       kolvix-merge [KEY=VALUE ...] --mark-different A B [--note TEXT]\n"
      "       kolvix-merge [KEY=VALUE ...] --unmark-different A B\n"
      "       kolvix-merge [KEY=VALUE ...] --list-different\n"
      "\n"
      "Merges the client --from into the client --to, as the Merge button of Kolvix Utility does.\n"
      "KEY=VALUE arguments are the utility's command-line settings (OldSettings, gsUtilityIniName,\n"
      "UseTCPIP and the connection keys, e.g. \"Data Source=SRV1\" or Provider=SQLite).\n"
      "\n"
      "  --diagnose      show the settings files and connection attempts, then exit\n"
      "  --from ID       the client to move (Move From)\n"
      "  --to ID         the client to keep (Move To)\n"
      "  --map A=merge:B merge From account A into the To client's account B\n"
      "  --map A=add:N   add From account A to the To client as a new account named N\n"
      "  --dry-run       run everything in a transaction that is always rolled back\n"
      "  --yes           answer Yes to the final confirmation\n"
      "  --progress      print each catalogue step on standard error as it is done, also when\n"
      "                  standard error is not a terminal\n"
      "  --irreversible  merge without a record of the rows it changes: the merge cannot be undone\n"
      "                  (without it, a merge whose record cannot be kept is not made with --yes)\n"
      "  --find TEXT     search the clients as the patient search dialog does (TEXT may be empty;\n"
      "                  at most 100 characters)\n"
      "  --field CAPTION the field searched: Surname (default), Name, Home Phone, File No, Client ID,\n"
      "                  Occupation, Address, Email, Mobile, Work Phone, Claim No, BPAY Ref No\n"
      "  --sounds-like   the Sounds Like search (Surname or Name, with a text)\n"
      "  --all           Show All: every match, not only the first 50\n"
      "  --archived      with --find: Show Archived Patients; with --duplicates: include archived\n"
      "                  clients\n"
      "  --show-sql      print the statement and its parameters first\n"
      "  --duplicates    list the clients that are probably registered twice, one tab-separated\n"
      "                  line per pair (Score, Group, Keep, Merge, Reasons, Keep name, Merge name),\n"
      "                  highest score first; the database is only read\n"
      "  --min-score S   list pairs scoring at least S (0 to 100; default 50)\n"
      "  --limit N       list at most N pairs (--duplicates) or N merges (--history)\n"
      "  --history       list the merges, newest first, one tab-separated line each (Audit, When,\n"
      "                  Workstation, From, To, From name, To name, Rows, State); the database is\n"
      "                  only read\n"
      "  --undo AUDIT    undo the merge of that Audit row (as --history lists it) from its record,\n"
      "                  after a confirmation as for a merge (--yes, --dry-run)\n"
      "  --merge-pairs FILE\n"
      "                  merge the pairs of FILE, a --duplicates listing (its Keep and Merge columns,\n"
      "                  found by the header line) that has been reviewed, one after the other, each\n"
      "                  as its own merge with the proposed accounts and its own record; a pair that a\n"
      "                  check refuses, whose accounts need a decision or whose names changed since\n"
      "                  the scan is skipped. One confirmation for the run (--yes, --dry-run), then one\n"
      "                  tab-separated line per pair (Merge, Keep, Outcome, Audit, Reason) and a\n"
      "                  summary; exit 0 when every pair merged, 1 when any did not. FILE must be a\n"
      "                  regular file of at most 16 MiB with lines of at most 65,536 characters and\n"
      "                  at most 100,000 pairs (anything else: exit 64)\n"
      "  --stop-on-skip  with --merge-pairs: end the run at the first pair skipped or failed\n"
      "  --compare A B   show clients A and B side by side: one tab-separated line per field (Field,\n"
      "                  A, B, Same: yes or no), then a line Rows, A, B and one line per kind of row\n"
      "                  either holds (its caption and both counts); the database is only read\n"
      "  --mark-different A B\n"
      "                  mark clients A and B as different people: --duplicates leaves the pair out,\n"
      "                  and a merge of the two is refused until the mark is removed\n"
      "  --note TEXT     with --mark-different: why (at most 255 characters)\n"
      "  --unmark-different A B\n"
      "                  remove the mark of clients A and B\n"
      "  --list-different\n"
      "                  list the pairs marked as different people, one tab-separated line each\n"
      "                  (First, Second, First name, Second name, When, Workstation, User, Note);\n"
      "                  the database is only read\n"
      "  --help, --version\n"
      "\n"
      "The listings of --find, --duplicates, --history, --merge-pairs, --compare and --list-different\n"
      "are tab-separated. Within a value a backslash is written \\\\, a tab \\t, a carriage return \\r,\n"
      "a line feed \\n, another control character \\xHH, the line and paragraph separators \\u2028 and\n"
      "\\u2029, and a double quote that begins the value \\\"; --merge-pairs reads the names back the\n"
      "same way.\n"
      "\n"
      "Exit codes: 0 merged (or undone, searched, listed, marked or unmarked), 1 refused or cancelled\n"
      "(also a pair to be marked that is marked already, or to be unmarked that is not), 2 failed,\n"
      "3 no connection, 64 bad usage (also an unknown client id).\n";

// The usage names the longest --find text and the bounds of a listing.
static_assert(kMaxSearchTextLength == 100, "kUsage says --find takes at most 100 characters");
static_assert(kMaxListingBytes == 16 * 1024 * 1024 && kMaxListingLineLength == 65536 && kMaxListingPairs == 100000,
              "kUsage states the bounds of a --merge-pairs listing");

namespace {

// The options that a verb refuses because they belong to another, in a group with the message
// that names them.
struct Refusal
{
    QStringList options;
    const char* message;
};

// The message of the first group of which an option was given; empty when none was.
QString refused(const ArgumentParser& parser, std::initializer_list<Refusal> refusals)
{
    for (const Refusal& refusal : refusals)
        if (parser.givenAny(refusal.options))
            return QString::fromLatin1(refusal.message);
    return QString();
}

// The options of the merge itself.
const QStringList kMergeVerbOptions {QStringLiteral("--from"),        QStringLiteral("--to"),
                                     QStringLiteral("--map"),         QStringLiteral("--dry-run"),
                                     QStringLiteral("--yes"),         QStringLiteral("--progress"),
                                     QStringLiteral("--irreversible")};
// The merge options that --undo does not share (it takes --dry-run and --yes), and --diagnose.
const QStringList kMergeOnlyOptions {QStringLiteral("--from"),         QStringLiteral("--to"),
                                     QStringLiteral("--map"),          QStringLiteral("--progress"),
                                     QStringLiteral("--irreversible"), QStringLiteral("--diagnose")};
// The merge options, as the searches refuse them: the merge's and --diagnose.
const QStringList kMergeOptions = kMergeVerbOptions + QStringList {QStringLiteral("--diagnose")};
// The options of --find that --duplicates does not share.
const QStringList kFindOnlyOptions {QStringLiteral("--field"), QStringLiteral("--sounds-like"), QStringLiteral("--all"),
                                    QStringLiteral("--show-sql")};
// The options of --duplicates that --find does not share (--history shares --limit).
const QStringList kDuplicatesOnlyOptions {QStringLiteral("--min-score"), QStringLiteral("--limit")};
// The options that each choose a verb of their own; no two of them go together.
const QStringList kVerbOptions {
    QStringLiteral("--find"),           QStringLiteral("--duplicates"),       QStringLiteral("--history"),
    QStringLiteral("--undo"),           QStringLiteral("--merge-pairs"),      QStringLiteral("--compare"),
    QStringLiteral("--mark-different"), QStringLiteral("--unmark-different"), QStringLiteral("--list-different")};
// The option of --merge-pairs that no other verb takes.
const QStringList kMergePairsOnlyOptions {QStringLiteral("--stop-on-skip")};
const char* const kStopOnSkipAlone = "--stop-on-skip goes with --merge-pairs";
// What --limit takes, for both verbs that read it.
const QString kLimitWanted
    = QStringLiteral("a whole number of at least 1 and at most %1").arg(std::numeric_limits<qint32>::max());

// What --diagnose, the merge and --undo refuse of the two searches and --history.
QString refuseSearchOptions(const ArgumentParser& parser)
{
    return refused(parser,
                   {{kFindOnlyOptions, "--field, --sounds-like, --all, --archived and --show-sql go with --find"},
                    {kDuplicatesOnlyOptions + QStringList {QStringLiteral("--archived")},
                     "--min-score, --archived and --limit go with --duplicates (--archived also with --find, "
                     "--limit also with --history)"}});
}

// ---- the merge: --from ID --to ID [--map ...] [--dry-run] [--yes] [--progress] -----------------

void declareOptions(ArgumentParser& parser, MergeVerbOptions& o)
{
    const QString clientId = QStringLiteral("an integer client id from %1 to %2")
                                 .arg(std::numeric_limits<qint32>::min())
                                 .arg(std::numeric_limits<qint32>::max());
    parser.addNumber(QStringLiteral("--from"), o.from, std::numeric_limits<qint32>::min(),
                     std::numeric_limits<qint32>::max(), clientId);
    parser.addNumber(QStringLiteral("--to"), o.to, std::numeric_limits<qint32>::min(),
                     std::numeric_limits<qint32>::max(), clientId);
    parser.addRepeatedValue(QStringLiteral("--map"), [&o](const QString& text) {
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        const auto fromId = eq > 0 ? readInteger(text.left(eq)) : std::nullopt;
        const QString rest = eq > 0 ? text.mid(eq + 1) : QString();
        AccountMapping mapping;
        if (fromId && rest.startsWith(QLatin1String("merge:"))) {
            const auto toId = readInteger(rest.mid(6));
            if (!toId)
                return QStringLiteral("--map %1: the To account must be an integer id").arg(text);
            mapping.toID = *toId;
        } else if (fromId && rest.startsWith(QLatin1String("add:"))) {
            mapping.merge = false;
            mapping.name = rest.mid(4);
        } else {
            return QStringLiteral("--map %1: expected FROMID=merge:TOID or FROMID=add:NAME").arg(text);
        }
        if (o.maps.count(*fromId))
            return QStringLiteral("--map given twice for From account %1").arg(*fromId);
        o.maps[*fromId] = mapping;
        return QString();
    });
    parser.addSwitch(QStringLiteral("--dry-run"), o.dryRun);
    parser.addSwitch(QStringLiteral("--yes"), o.yes);
    parser.addSwitch(QStringLiteral("--progress"), o.progress);
    parser.addSwitch(QStringLiteral("--irreversible"), o.irreversible);
}

QString checkOptions(const ArgumentParser& parser, const MergeVerbOptions& o)
{
    QString fault = refuseSearchOptions(parser);
    if (fault.isEmpty())
        fault = refused(parser, {{kMergePairsOnlyOptions, kStopOnSkipAlone}});
    if (!fault.isEmpty())
        return fault;
    if (!o.from || !o.to)
        return QStringLiteral("--from and --to are both required (or --diagnose, --find, --duplicates, --history, "
                              "--undo or --merge-pairs)");
    return QString();
}

// ---- --diagnose ------------------------------------------------------------------------------

void declareOptions(ArgumentParser& parser, DiagnoseVerbOptions&)
{
    parser.addSwitch(QStringLiteral("--diagnose"));
}

QString checkOptions(const ArgumentParser& parser, const DiagnoseVerbOptions&)
{
    const QString fault = refuseSearchOptions(parser);
    if (!fault.isEmpty())
        return fault;
    return refused(
        parser, {{kMergeVerbOptions, "--diagnose takes no merge options"}, {kMergePairsOnlyOptions, kStopOnSkipAlone}});
}

// ---- --find TEXT [--field CAPTION] [--sounds-like] [--all] [--archived] [--show-sql] ---------

void declareOptions(ArgumentParser& parser, FindVerbOptions& o)
{
    parser.addValue(QStringLiteral("--find"), [&o](const QString& text) {
        if (text.size() > kMaxSearchTextLength)
            return QStringLiteral("--find takes a text of at most %1 characters, not %2")
                .arg(kMaxSearchTextLength)
                .arg(text.size());
        o.text = text;
        return QString();
    });
    parser.addValue(QStringLiteral("--field"), [&o](const QString& caption) {
        o.field = searchFieldIndex(caption);
        if (o.field < 0)
            return QStringLiteral("--field '%1': expected one of %2")
                .arg(caption, searchFieldCaptions().join(QStringLiteral(", ")));
        return QString();
    });
    parser.addSwitch(QStringLiteral("--sounds-like"), o.soundsLike);
    parser.addSwitch(QStringLiteral("--all"), o.all);
    parser.addSwitch(QStringLiteral("--archived"), o.archived);
    parser.addSwitch(QStringLiteral("--show-sql"), o.showSql);
}

QString checkOptions(const ArgumentParser& parser, const FindVerbOptions& o)
{
    const QString fault = refused(
        parser,
        {{kMergeOptions, "--find takes no merge options"},
         {kMergePairsOnlyOptions, kStopOnSkipAlone},
         {kDuplicatesOnlyOptions, "--min-score and --limit go with --duplicates (--limit also with --history)"}});
    if (!fault.isEmpty())
        return fault;
    // The dialog keeps its Sounds Like button disabled for an empty text and for every field
    // but Surname and Name.
    if (o.soundsLike && o.text.isEmpty())
        return QStringLiteral("--sounds-like needs a text");
    if (o.soundsLike && o.field != int(SearchField::Surname) && o.field != int(SearchField::Name))
        return QStringLiteral("--sounds-like searches only by Surname or Name");
    return QString();
}

// ---- --duplicates [--min-score S] [--archived] [--limit N] ----------------------------------

void declareOptions(ArgumentParser& parser, DuplicatesVerbOptions& o)
{
    parser.addSwitch(QStringLiteral("--duplicates"));
    parser.addNumber(QStringLiteral("--min-score"), o.minScore, 0, 100, QStringLiteral("a whole number from 0 to 100"));
    parser.addNumber(QStringLiteral("--limit"), o.limit, 1, std::numeric_limits<qint32>::max(), kLimitWanted);
    parser.addSwitch(QStringLiteral("--archived"), o.archived);
}

QString checkOptions(const ArgumentParser& parser, const DuplicatesVerbOptions&)
{
    return refused(parser,
                   {{kMergeOptions, "--duplicates takes no merge options"},
                    {kMergePairsOnlyOptions, kStopOnSkipAlone},
                    {kFindOnlyOptions, "--field, --sounds-like, --all and --show-sql go with --find"}});
}

// ---- --history [--limit N] -------------------------------------------------------------------

void declareOptions(ArgumentParser& parser, HistoryVerbOptions& o)
{
    parser.addSwitch(QStringLiteral("--history"));
    parser.addNumber(QStringLiteral("--limit"), o.limit, 1, std::numeric_limits<qint32>::max(), kLimitWanted);
}

QString checkOptions(const ArgumentParser& parser, const HistoryVerbOptions&)
{
    return refused(parser,
                   {{kMergeOptions, "--history takes no merge options"},
                    {kMergePairsOnlyOptions, kStopOnSkipAlone},
                    {kFindOnlyOptions, "--field, --sounds-like, --all and --show-sql go with --find"},
                    {{QStringLiteral("--min-score"), QStringLiteral("--archived")},
                     "--min-score and --archived go with --duplicates (--archived also with --find)"}});
}

// ---- --undo AUDIT [--dry-run] [--yes] --------------------------------------------------------

void declareOptions(ArgumentParser& parser, UndoVerbOptions& o)
{
    parser.addNumber(QStringLiteral("--undo"), o.auditId, 1, std::numeric_limits<qint32>::max(),
                     QStringLiteral("the Audit number of a merge (a whole number of at least 1, as --history "
                                    "lists it)"));
    parser.addSwitch(QStringLiteral("--dry-run"), o.dryRun);
    parser.addSwitch(QStringLiteral("--yes"), o.yes);
}

QString checkOptions(const ArgumentParser& parser, const UndoVerbOptions&)
{
    const QString fault = refused(
        parser,
        {{kMergeOnlyOptions + kMergePairsOnlyOptions, "--undo takes --dry-run and --yes, no other merge options"}});
    if (!fault.isEmpty())
        return fault;
    return refuseSearchOptions(parser);
}

// ---- --merge-pairs FILE [--dry-run] [--yes] [--stop-on-skip] ----------------------------------

void declareOptions(ArgumentParser& parser, MergePairsVerbOptions& o)
{
    parser.addValue(QStringLiteral("--merge-pairs"), [&o](const QString& file) {
        if (file.isEmpty())
            return QStringLiteral("--merge-pairs needs the name of a file");
        o.file = file;
        return QString();
    });
    parser.addSwitch(QStringLiteral("--dry-run"), o.dryRun);
    parser.addSwitch(QStringLiteral("--yes"), o.yes);
    parser.addSwitch(QStringLiteral("--stop-on-skip"), o.stopOnSkip);
}

QString checkOptions(const ArgumentParser& parser, const MergePairsVerbOptions&)
{
    const QString fault = refused(
        parser,
        {{kMergeOnlyOptions, "--merge-pairs takes --dry-run, --yes and --stop-on-skip, no other merge options"}});
    if (!fault.isEmpty())
        return fault;
    return refuseSearchOptions(parser);
}

// ---- the pairs of clients: --compare A B, --mark-different A B [--note TEXT], ------------------
// ---- --unmark-different A B, --list-different --------------------------------------------------

// Reads the two client ids of a verb that takes a pair; the clients must differ.
ArgumentParser::PairReader clientPair(const QString& name, qint32& a, qint32& b)
{
    return [&a, &b, name](const QString& first, const QString& second) {
        const auto x = readInteger(first);
        const auto y = readInteger(second);
        if (!x || !y)
            return QStringLiteral("%1 needs two integer client ids from %2 to %3, not '%4' '%5'")
                .arg(name)
                .arg(std::numeric_limits<qint32>::min())
                .arg(std::numeric_limits<qint32>::max())
                .arg(first, second);
        if (*x == *y)
            return QStringLiteral("%1 needs two different clients, not %2 twice").arg(name).arg(*x);
        a = *x;
        b = *y;
        return QString();
    };
}

// A verb that takes no options but its own: the first other option given is the fault.
QString onlyOptions(const ArgumentParser& parser, const QString& verb, const QStringList& own)
{
    for (const QString& given : parser.givenOptions()) {
        if (given == verb || own.contains(given))
            continue;
        return own.isEmpty()
            ? QStringLiteral("%1 takes no other options (%2 given)").arg(verb, given)
            : QStringLiteral("%1 takes no option but %2 (%3 given)").arg(verb, own.join(QStringLiteral(", ")), given);
    }
    return QString();
}

void declareOptions(ArgumentParser& parser, CompareVerbOptions& o)
{
    parser.addPair(QStringLiteral("--compare"), clientPair(QStringLiteral("--compare"), o.a, o.b));
}

QString checkOptions(const ArgumentParser& parser, const CompareVerbOptions&)
{
    return onlyOptions(parser, QStringLiteral("--compare"), {});
}

void declareOptions(ArgumentParser& parser, MarkDifferentVerbOptions& o)
{
    parser.addPair(QStringLiteral("--mark-different"), clientPair(QStringLiteral("--mark-different"), o.a, o.b));
    parser.addValue(QStringLiteral("--note"), [&o](const QString& text) {
        if (text.size() > kDistinctPairNoteLength)
            return QStringLiteral("--note takes a text of at most %1 characters, not %2")
                .arg(kDistinctPairNoteLength)
                .arg(text.size());
        o.note = text;
        return QString();
    });
}

QString checkOptions(const ArgumentParser& parser, const MarkDifferentVerbOptions&)
{
    return onlyOptions(parser, QStringLiteral("--mark-different"), {QStringLiteral("--note")});
}

void declareOptions(ArgumentParser& parser, UnmarkDifferentVerbOptions& o)
{
    parser.addPair(QStringLiteral("--unmark-different"), clientPair(QStringLiteral("--unmark-different"), o.a, o.b));
}

QString checkOptions(const ArgumentParser& parser, const UnmarkDifferentVerbOptions&)
{
    return onlyOptions(parser, QStringLiteral("--unmark-different"), {});
}

void declareOptions(ArgumentParser& parser, ListDifferentVerbOptions&)
{
    parser.addSwitch(QStringLiteral("--list-different"));
}

QString checkOptions(const ArgumentParser& parser, const ListDifferentVerbOptions&)
{
    return onlyOptions(parser, QStringLiteral("--list-different"), {});
}

} // namespace

std::optional<Options> parseArguments(const QStringList& args, QString& error)
{
    MergeVerbOptions merge;
    DiagnoseVerbOptions diagnose;
    FindVerbOptions find;
    DuplicatesVerbOptions duplicates;
    HistoryVerbOptions history;
    UndoVerbOptions undo;
    MergePairsVerbOptions mergePairs;
    CompareVerbOptions compare;
    MarkDifferentVerbOptions markDifferent;
    UnmarkDifferentVerbOptions unmarkDifferent;
    ListDifferentVerbOptions listDifferent;
    ArgumentParser parser;
    declareOptions(parser, merge);
    declareOptions(parser, diagnose);
    declareOptions(parser, find);
    declareOptions(parser, duplicates);
    declareOptions(parser, history);
    declareOptions(parser, undo);
    declareOptions(parser, mergePairs);
    declareOptions(parser, compare);
    declareOptions(parser, markDifferent);
    declareOptions(parser, unmarkDifferent);
    declareOptions(parser, listDifferent);
    if (!parser.parse(args, error))
        return std::nullopt;

    // The verb is the one whose option is there; the merge when none is.
    Options options;
    options.settings = parser.settings();
    QString fault;
    const auto choose = [&](const auto& verbOptions) {
        fault = checkOptions(parser, verbOptions);
        options.verb = verbOptions;
    };
    QStringList verbs;
    for (const QString& verb : kVerbOptions)
        if (parser.given(verb))
            verbs << verb;
    if (verbs.size() > 1)
        fault = QStringLiteral("%1 and %2 cannot be given together").arg(verbs[0], verbs[1]);
    // The one option of --mark-different, which the other verbs do not declare.
    else if (parser.given(QStringLiteral("--note")) && !parser.given(QStringLiteral("--mark-different")))
        fault = QStringLiteral("--note goes with --mark-different");
    else if (parser.given(QStringLiteral("--find")))
        choose(find);
    else if (parser.given(QStringLiteral("--duplicates")))
        choose(duplicates);
    else if (parser.given(QStringLiteral("--history")))
        choose(history);
    else if (parser.given(QStringLiteral("--undo")))
        choose(undo);
    else if (parser.given(QStringLiteral("--merge-pairs")))
        choose(mergePairs);
    else if (parser.given(QStringLiteral("--compare")))
        choose(compare);
    else if (parser.given(QStringLiteral("--mark-different")))
        choose(markDifferent);
    else if (parser.given(QStringLiteral("--unmark-different")))
        choose(unmarkDifferent);
    else if (parser.given(QStringLiteral("--list-different")))
        choose(listDifferent);
    else if (parser.given(QStringLiteral("--diagnose")))
        choose(diagnose);
    else
        choose(merge);
    if (!fault.isEmpty()) {
        error = fault;
        return std::nullopt;
    }
    return options;
}

} // namespace kolvix::cli
