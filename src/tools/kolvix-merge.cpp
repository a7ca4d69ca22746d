// kolvix-merge: the command-line front end of the merge.
//
//   kolvix-merge [KEY=VALUE ...] --diagnose
//   kolvix-merge [KEY=VALUE ...] --from ID --to ID [--map FROMID=merge:TOID]... [--map FROMID=add:NAME]...
//                [--dry-run] [--yes] [--progress]
//
// Exit codes: 0 merged (or dry run done, or connected), 1 refused, cancelled or mapping issues,
// 2 the merge failed, 3 could not connect, 64 bad usage.

#include "accounts/AccountInfo.h"
#include "accounts/AccountMergeModel.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "merge/LeftBehind.h"
#include "merge/Log.h"
#include "merge/MergeProcedure.h"
#include "merge/MergeSession.h"
#include "merge/Statistics.h"
#include "merge/TracePane.h"
#include "merge/UserInterface.h"
#include "settings/CommandLine.h"
#include "settings/Settings.h"
#include "settings/UtilityConnect.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <string>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

using namespace kolvix;

namespace {

enum ExitCode { ExitMerged = 0, ExitRefused = 1, ExitFailed = 2, ExitNoConnection = 3, ExitUsage = 64 };

// Bad usage found after the merge has started (a --map that does not fit the client's
// accounts); nothing has been changed at that point.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct AccountMapping
{
    bool merge = true;
    qint32 toID = -1;
    QString name;
};

struct Options
{
    QStringList settings; // KEY=VALUE
    bool diagnose = false;
    std::optional<qint32> from;
    std::optional<qint32> to;
    std::map<qint32, AccountMapping> maps;
    bool dryRun = false;
    bool yes = false;
    bool progress = false;
};

void out(const QString& text)
{
    std::cout << text.toLocal8Bit().constData() << std::endl;
}

// One line on standard error in one write, flushed at once, so that a process reading the
// pipe sees each step as soon as it is done.
void err(const QString& text)
{
    const QByteArray line = text.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

const char* const kUsage =
    "Usage: kolvix-merge [KEY=VALUE ...] --diagnose\n"
    "       kolvix-merge [KEY=VALUE ...] --from ID --to ID [--map FROMID=merge:TOID]...\n"
    "                    [--map FROMID=add:NAME]... [--dry-run] [--yes] [--progress]\n"
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
    "  --help, --version\n"
    "\n"
    "Exit codes: 0 merged, 1 refused or cancelled, 2 failed, 3 no connection, 64 bad usage.\n";

std::optional<qint32> parseId(const QString& text)
{
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

// Parses the arguments; a one-line message and exit 64 for anything malformed.
std::optional<Options> parseArguments(const QStringList& args, QString& error)
{
    Options o;
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
        if (arg == QLatin1String("--diagnose")) {
            o.diagnose = true;
        } else if (arg == QLatin1String("--dry-run")) {
            o.dryRun = true;
        } else if (arg == QLatin1String("--yes")) {
            o.yes = true;
        } else if (arg == QLatin1String("--progress")) {
            o.progress = true;
        } else if (arg == QLatin1String("--from") || arg == QLatin1String("--to")) {
            QString text;
            if (!takeValue(text))
                return std::nullopt;
            const auto id = parseId(text);
            if (!id) {
                error = QStringLiteral("%1 needs an integer client id, not '%2'").arg(arg, text);
                return std::nullopt;
            }
            (arg == QLatin1String("--from") ? o.from : o.to) = id;
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
    if (!o.diagnose && (!o.from || !o.to)) {
        error = QStringLiteral("--from and --to are both required (or --diagnose)");
        return std::nullopt;
    }
    if (o.diagnose && (o.from || o.to || !o.maps.empty() || o.dryRun || o.yes || o.progress)) {
        error = QStringLiteral("--diagnose takes no merge options");
        return std::nullopt;
    }
    return o;
}

// The terminal's side of the merge: boxes on standard output as "Caption: text", the
// account dialog driven by --map, the confirmation by --yes or the terminal.
class TerminalUserInterface : public UserInterface
{
public:
    TerminalUserInterface(const Options& options, MergeSession& session)
        : m_options(options)
        , m_session(session)
    {
    }

    void showInfo(const QString& text) override { out(QStringLiteral("Information: ") + text); }
    void showWarning(const QString& text) override { out(QStringLiteral("Warning: ") + text); }
    void showError(const QString& text) override { out(QStringLiteral("Error: ") + text); }
    void showPlain(const QString& text) override
    {
        out(QString::fromLatin1(kApplicationTitle) + QStringLiteral(": ") + text);
    }

    bool confirm(const QString& text) override
    {
        out(text);
        if (m_options.yes) {
            out(QStringLiteral("(--yes) Yes"));
            return true;
        }
        if (!isatty(fileno(stdin))) {
            out(QStringLiteral("(no terminal input) No"));
            return false;
        }
        std::cout << "Yes/No? " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer))
            return false;
        const QString a = QString::fromLocal8Bit(answer).trimmed().toLower();
        return a == QLatin1String("y") || a == QLatin1String("yes");
    }

    bool editAccounts(AccountMergeModel& model) override
    {
        applyMaps(model);
        const QString issues = model.accept();
        if (!issues.isEmpty()) {
            showInfo(issues);
            m_mappingIssues = true;
            return false;
        }
        printStatistics(model.info().FromInfo.ClientID);
        printMapping(model);
        return true;
    }

    void setWaitCursor(bool) override {}

    void catalogueStepDone(int step, const QString& table, int rows) override
    {
        const QString line = QStringLiteral("step %1 %2: %3 %4")
                                 .arg(step, 2)
                                 .arg(table)
                                 .arg(rows)
                                 .arg(m_options.dryRun ? QStringLiteral("rows would change")
                                                       : QStringLiteral("rows changed"));
        if (m_options.dryRun)
            out(line);
        if (m_options.progress || (!m_options.dryRun && isatty(fileno(stderr))))
            err(line);
    }

    bool mappingIssues() const { return m_mappingIssues; }

private:
    void applyMaps(AccountMergeModel& model)
    {
        for (const auto& [fromId, mapping] : m_options.maps) {
            AccountMergeModel::Row* row = model.rowForAccount(fromId);
            if (!row)
                throw UsageError(QStringLiteral("--map: client %1 has no account %2")
                                     .arg(model.info().FromInfo.ClientID)
                                     .arg(fromId)
                                     .toStdString());
            if (row->locked)
                throw UsageError(QStringLiteral("--map: account %1 is the primary account of a client with linked "
                                                "clients; its mapping is fixed")
                                     .arg(fromId)
                                     .toStdString());
            if (mapping.merge) {
                int index = -1;
                for (size_t i = 0; i < row->destinations.size(); ++i) {
                    if (row->destinations[i].second == mapping.toID) {
                        index = int(i);
                        break;
                    }
                }
                if (index < 0)
                    throw UsageError(QStringLiteral("--map: client %1 has no account %2 to merge into")
                                         .arg(model.info().ToInfo.ClientID)
                                         .arg(mapping.toID)
                                         .toStdString());
                row->action = AccountMergeModel::Merge;
                row->destinationIndex = index;
            } else {
                row->action = AccountMergeModel::Add;
                row->newName = mapping.name;
            }
        }
    }

    void printStatistics(qint32 fromClient)
    {
        TracePane scratch;
        out(QStringLiteral("Data to be moved:"));
        for (const QString& line : statisticsLines(collectStatistics(m_session.dsTemp, scratch, fromClient)))
            out(line);
        for (const auto& [table, rows] : tablesNotMoved(m_session.dsTemp, fromClient))
            out(QStringLiteral("Not moved: %1 (%2 rows)").arg(table).arg(rows));
    }

    void printMapping(const AccountMergeModel& model)
    {
        out(QStringLiteral("Account mapping:"));
        for (const AccountMergeModel::Row& row : model.rows()) {
            const TaAccount& entry = model.info().Accounts.at(size_t(row.tag));
            QString what;
            switch (entry.Action) {
            case TaAction::MERGE:
                what = QStringLiteral("merge into account %1 (%2)").arg(entry.ToID).arg(entry.ToName);
                break;
            case TaAction::APPEND:
                what = QStringLiteral("add as new account %1 (%2)").arg(entry.ToID).arg(entry.ToName);
                break;
            default:
                what = QStringLiteral("not moved");
                break;
            }
            out(QStringLiteral("  account %1 (%2): %3%4")
                    .arg(entry.FromID)
                    .arg(entry.FromName, what, row.locked ? QStringLiteral(" [locked]") : QString()));
        }
    }

    const Options& m_options;
    MergeSession& m_session;
    bool m_mappingIssues = false;
};

QString onOff(bool value)
{
    return value ? QStringLiteral("on") : QStringLiteral("off");
}

// A settings file as it is read: its full name, and whether it is there.
QString describeSettingsFile(const QString& name)
{
    const QString path = resolveSettingsFileName(name);
    return QFileInfo::exists(path) ? path : path + QStringLiteral(" (missing: defaults apply)");
}

int diagnose(Connection& connection)
{
    QString failure;
    int attempt = 0;
    const bool connected = connectToDatabase(connection, &failure, [&](const ConnectionAttempt& a) {
        if (attempt == 0) {
            out(QStringLiteral("Settings files:"));
            out(QStringLiteral("  config: ") + describeSettingsFile(gsConfigIniName));
            out(QStringLiteral("  data:   ") + describeSettingsFile(gsDataIniName));
        }
        out(QStringLiteral("Attempt %1 (mode %2): %3").arg(++attempt).arg(a.mode).arg(a.connectionString));
        out(a.succeeded ? QStringLiteral("  connected") : QStringLiteral("  failed: ") + a.error);
    });
    if (!connected) {
        out(QStringLiteral("Error: ") + (failure.isEmpty() ? QString::fromLatin1(kConnectFailed) : failure));
        return ExitNoConnection;
    }
    out(QStringLiteral("Use Rollback: ") + onOff(readUtilitySetting(QStringLiteral("Kolvix"),
                                                                    QStringLiteral("Use Rollback"), true)));
    out(QStringLiteral("Log: ") + onOff(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Log"), false)));
    return ExitMerged;
}

// The client's id and name parts, as the main window's client datasets read them.
std::optional<MergeClient> readClient(Connection& connection, qint32 id)
{
    Dataset ds(connection, 120);
    ds.setSql(QString::fromLatin1(kClientStatement));
    ds.setParam(QStringLiteral("id"), id);
    ds.open();
    if (ds.isEmpty())
        return std::nullopt;
    return MergeClient{id, ds.field(QStringLiteral("Surname")).asString(), ds.field(QStringLiteral("Name")).asString()};
}

int merge(Connection& connection, const Options& options)
{
    // The warning the program shows at every start, before it connects.
    out(QStringLiteral("Warning: ") + QString::fromLatin1(kIrreversibleWarning));
    QString failure;
    if (!connectToDatabase(connection, &failure)) {
        out(QStringLiteral("Error: ") + (failure.isEmpty() ? QString::fromLatin1(kConnectFailed) : failure));
        return ExitNoConnection;
    }
    MergeSession session(connection);
    session.UseRollback = readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Use Rollback"), true);
    setLogEnabled(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Log"), false));

    TerminalUserInterface ui(options, session);
    setUserInterface(&ui);
    try {
        const auto from = readClient(connection, *options.from);
        const auto to = readClient(connection, *options.to);
        if (!from || !to) {
            err(QStringLiteral("kolvix-merge: client %1 does not exist").arg(!from ? *options.from : *options.to));
            return ExitUsage;
        }
        MergeOptions mergeOptions;
        mergeOptions.dryRun = options.dryRun;
        switch (btnMergeClick(session, *from, *to, mergeOptions)) {
        case MergeOutcome::Merged:
            return ExitMerged;
        case MergeOutcome::Refused:
        case MergeOutcome::Cancelled:
            return ExitRefused;
        case MergeOutcome::Failed:
            return ExitFailed;
        }
    } catch (const UsageError& e) {
        err(QStringLiteral("kolvix-merge: ") + QString::fromStdString(e.what()));
        return ExitUsage;
    } catch (const std::exception& e) {
        // What the GUI shows in its default error box.
        out(QStringLiteral("Error: ") + exceptionMessage(e));
        return ExitFailed;
    }
    return ExitFailed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kolvix-merge"));
    QStringList args = app.arguments();
    args.removeFirst();

    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::cout << kUsage;
        return ExitMerged;
    }
    if (args.contains(QLatin1String("--version"))) {
        std::cout << "kolvix-merge " KOLVIX_VERSION "\n";
        return ExitMerged;
    }
    QString error;
    const auto options = parseArguments(args, error);
    if (!options) {
        err(QStringLiteral("kolvix-merge: ") + error + QStringLiteral(" (see --help)"));
        return ExitUsage;
    }
    setCommandLineArguments(options->settings);

    Connection connection;
    return options->diagnose ? diagnose(connection) : merge(connection, *options);
}
