#include "cli/Options.h"

#include "search/SearchQuery.h"

#include <limits>

namespace kolvix::cli {

const char* const kUsage
    = "Usage: kolvix-merge [KEY=VALUE ...] --diagnose\n"
      "       kolvix-merge [KEY=VALUE ...] --from ID --to ID [--map FROMID=merge:TOID]...\n"
      "                    [--map FROMID=add:NAME]... [--dry-run] [--yes] [--progress]\n"
      "       kolvix-merge [KEY=VALUE ...] --find TEXT [--field CAPTION] [--sounds-like] [--all]\n"
      "                    [--archived] [--show-sql]\n"
      "       kolvix-merge [KEY=VALUE ...] --duplicates [--min-score S] [--archived] [--limit N]\n"
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
      "  --limit N       list at most N pairs\n"
      "  --help, --version\n"
      "\n"
      "Exit codes: 0 merged (or searched, or listed), 1 refused or cancelled, 2 failed, 3 no connection,\n"
      "64 bad usage.\n";

// The usage names the longest --find text.
static_assert(kMaxSearchTextLength == 100, "kUsage says --find takes at most 100 characters");

namespace {

std::optional<qint32> parseId(const QString& text)
{
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<qsizetype> firstNonUtf8Argument(const std::vector<QByteArray>& args)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (!args[i].isValidUtf8())
            return qsizetype(i);
    }
    return std::nullopt;
}

std::optional<Options> parseArguments(const QStringList& args, QString& error)
{
    Options o;
    bool hasField = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        bool hasInlineValue = false;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            value = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
            arg = arg.left(arg.indexOf(QLatin1Char('=')));
            hasInlineValue = true;
        }
        auto takeValue = [&](QString& into) {
            if (hasInlineValue) {
                into = value;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(arg);
                return false;
            }
            into = args[++i];
            return true;
        };
        bool* switchOption = arg == QLatin1String("--diagnose") ? &o.diagnose
            : arg == QLatin1String("--dry-run")                 ? &o.dryRun
            : arg == QLatin1String("--yes")                     ? &o.yes
            : arg == QLatin1String("--progress")                ? &o.progress
            : arg == QLatin1String("--sounds-like")             ? &o.soundsLike
            : arg == QLatin1String("--all")                     ? &o.all
            : arg == QLatin1String("--archived")                ? &o.archived
            : arg == QLatin1String("--show-sql")                ? &o.showSql
            : arg == QLatin1String("--duplicates")              ? &o.duplicates
                                                                : nullptr;
        if (switchOption) {
            // A switch is on by being there; "--yes=no" must not read as "--yes".
            if (hasInlineValue) {
                error = QStringLiteral("%1 is a switch and takes no value ('%2')").arg(arg, args[i]);
                return std::nullopt;
            }
            *switchOption = true;
        } else if (arg == QLatin1String("--find")) {
            QString text;
            if (o.find) {
                error = QStringLiteral("--find given twice");
                return std::nullopt;
            }
            if (!takeValue(text))
                return std::nullopt;
            if (text.size() > kMaxSearchTextLength) {
                error = QStringLiteral("--find takes a text of at most %1 characters, not %2")
                            .arg(kMaxSearchTextLength)
                            .arg(text.size());
                return std::nullopt;
            }
            o.find = text;
        } else if (arg == QLatin1String("--field")) {
            QString caption;
            if (hasField) {
                error = QStringLiteral("--field given twice");
                return std::nullopt;
            }
            if (!takeValue(caption))
                return std::nullopt;
            o.field = searchFieldIndex(caption);
            if (o.field < 0) {
                error = QStringLiteral("--field '%1': expected one of %2")
                            .arg(caption, searchFieldCaptions().join(QStringLiteral(", ")));
                return std::nullopt;
            }
            hasField = true;
        } else if (arg == QLatin1String("--min-score") || arg == QLatin1String("--limit")) {
            const bool minScore = arg == QLatin1String("--min-score");
            std::optional<int>& target = minScore ? o.minScore : o.limit;
            if (target) {
                error = QStringLiteral("%1 given twice").arg(arg);
                return std::nullopt;
            }
            QString text;
            if (!takeValue(text))
                return std::nullopt;
            const auto number = parseId(text);
            if (!number || (minScore && (*number < 0 || *number > 100)) || (!minScore && *number < 1)) {
                error = minScore ? QStringLiteral("--min-score needs a whole number from 0 to 100, not '%1'").arg(text)
                                 : QStringLiteral("--limit needs a whole number of at least 1 and at most %1, not '%2'")
                                       .arg(std::numeric_limits<qint32>::max())
                                       .arg(text);
                return std::nullopt;
            }
            target = *number;
        } else if (arg == QLatin1String("--from") || arg == QLatin1String("--to")) {
            std::optional<qint32>& target = arg == QLatin1String("--from") ? o.from : o.to;
            if (target) {
                error = QStringLiteral("%1 given twice").arg(arg);
                return std::nullopt;
            }
            QString text;
            if (!takeValue(text))
                return std::nullopt;
            const auto id = parseId(text);
            if (!id) {
                error = QStringLiteral("%1 needs an integer client id from %2 to %3, not '%4'")
                            .arg(arg)
                            .arg(std::numeric_limits<qint32>::min())
                            .arg(std::numeric_limits<qint32>::max())
                            .arg(text);
                return std::nullopt;
            }
            target = id;
        } else if (arg == QLatin1String("--map")) {
            QString text;
            if (!takeValue(text))
                return std::nullopt;
            const qsizetype eq = text.indexOf(QLatin1Char('='));
            const auto fromId = eq > 0 ? parseId(text.left(eq)) : std::nullopt;
            const QString rest = eq > 0 ? text.mid(eq + 1) : QString();
            AccountMapping mapping;
            if (fromId && rest.startsWith(QLatin1String("merge:"))) {
                const auto toId = parseId(rest.mid(6));
                if (!toId) {
                    error = QStringLiteral("--map %1: the To account must be an integer id").arg(text);
                    return std::nullopt;
                }
                mapping.toID = *toId;
            } else if (fromId && rest.startsWith(QLatin1String("add:"))) {
                mapping.merge = false;
                mapping.name = rest.mid(4);
            } else {
                error = QStringLiteral("--map %1: expected FROMID=merge:TOID or FROMID=add:NAME").arg(text);
                return std::nullopt;
            }
            if (o.maps.count(*fromId)) {
                error = QStringLiteral("--map given twice for From account %1").arg(*fromId);
                return std::nullopt;
            }
            o.maps[*fromId] = mapping;
        } else if (arg.startsWith(QLatin1String("-"))) {
            error = QStringLiteral("unknown option %1").arg(args[i]);
            return std::nullopt;
        } else if (arg.contains(QLatin1Char('='))) {
            o.settings << arg;
        } else {
            error = QStringLiteral("unexpected argument '%1' (settings are KEY=VALUE)").arg(arg);
            return std::nullopt;
        }
    }
    const bool findOnly = hasField || o.soundsLike || o.all || o.showSql;
    const bool duplicatesOnly = o.minScore || o.limit;
    const bool mergeOptions = o.diagnose || o.from || o.to || !o.maps.empty() || o.dryRun || o.yes || o.progress;
    if (o.find && o.duplicates) {
        error = QStringLiteral("--find and --duplicates cannot be given together");
        return std::nullopt;
    }
    if (o.find) {
        if (mergeOptions) {
            error = QStringLiteral("--find takes no merge options");
            return std::nullopt;
        }
        if (duplicatesOnly) {
            error = QStringLiteral("--min-score and --limit go with --duplicates");
            return std::nullopt;
        }
        // The dialog keeps its Sounds Like button disabled for an empty text and for every
        // field but Surname and Name.
        if (o.soundsLike && o.find->isEmpty()) {
            error = QStringLiteral("--sounds-like needs a text");
            return std::nullopt;
        }
        if (o.soundsLike && o.field != int(SearchField::Surname) && o.field != int(SearchField::Name)) {
            error = QStringLiteral("--sounds-like searches only by Surname or Name");
            return std::nullopt;
        }
        return o;
    }
    if (o.duplicates) {
        if (mergeOptions) {
            error = QStringLiteral("--duplicates takes no merge options");
            return std::nullopt;
        }
        if (findOnly) {
            error = QStringLiteral("--field, --sounds-like, --all and --show-sql go with --find");
            return std::nullopt;
        }
        return o;
    }
    if (findOnly) {
        error = QStringLiteral("--field, --sounds-like, --all, --archived and --show-sql go with --find");
        return std::nullopt;
    }
    if (duplicatesOnly || o.archived) {
        error
            = QStringLiteral("--min-score, --archived and --limit go with --duplicates (--archived also with --find)");
        return std::nullopt;
    }
    if (!o.diagnose && (!o.from || !o.to)) {
        error = QStringLiteral("--from and --to are both required (or --diagnose, --find or --duplicates)");
        return std::nullopt;
    }
    if (o.diagnose && (o.from || o.to || !o.maps.empty() || o.dryRun || o.yes || o.progress)) {
        error = QStringLiteral("--diagnose takes no merge options");
        return std::nullopt;
    }
    return o;
}

} // namespace kolvix::cli
