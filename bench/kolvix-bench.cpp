// kolvix-bench: times the read-only parts of a merge on a database, and prints the figures.
//
//   kolvix-bench [--repeat N] DATABASE.db FROM TO
//
// Opens DATABASE.db on the embedded engine through the program's own connection, builds the
// merge session that the main window would build, and times, with the From client FROM and
// the To client TO:
//
//   statistics      collectStatistics for the From client: the 32 counts of the "Data to be
//                   moved" pane, each with its table check;
//   checks + load   pre-checks 1 to 7 (runClientChecks), the account model's Load with its
//                   automatic mapping, and pre-checks 8 to 10 (runAccountChecks): everything a
//                   merge does before the account dialog opens.
//
// Each is run once on a fresh session ("first": what the user waits for right after choosing
// the clients) and then N more times (default 5) on the same session; the median of those is
// printed as well. The database is only read. Message boxes that the checks show are counted,
// not shown. No figure is judged here: the driver bench/run compares them with the goals.

#include "BenchTiming.h"
#include "accounts/AccountInfo.h"
#include "core/TextHelpers.h"
#include "core/TracePane.h"
#include "core/UserInterface.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "merge/MergeSession.h"
#include "merge/PreChecks.h"
#include "merge/Statistics.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kolvix;

using kolvix::bench::median;
using kolvix::bench::millisecondsOf;

namespace {

const char* const kUsage = "usage: kolvix-bench [--repeat N] DATABASE.db FROM TO\n";

// Counts what the engine would show; refuses every question (no merge runs here).
class CountingUserInterface : public UserInterface
{
public:
    void showInfo(const QString&) override { ++boxes; }
    void showWarning(const QString&) override { ++boxes; }
    void showError(const QString&) override { ++boxes; }
    void showPlain(const QString&) override { ++boxes; }
    bool confirm(const QString&) override { return false; }
    void setWaitCursor(bool) override { }

    int boxes = 0;
};

struct Client
{
    qint32 id = -1;
    QString displayName;
};

// The client's display name as the main window's client datasets give it.
Client readClient(Connection& connection, qint32 id)
{
    Dataset ds(connection, 30);
    ds.setSql(QStringLiteral("SELECT ClientID, Name, Surname\r\nFROM Client\r\nWHERE ClientID = :id"));
    ds.setParam(QStringLiteral("id"), id);
    ds.open();
    if (ds.isEmpty())
        throw std::runtime_error("client " + std::to_string(id) + " does not exist");
    return Client {
        id, displayName(ds.field(QStringLiteral("Surname")).asString(), ds.field(QStringLiteral("Name")).asString())};
}

struct Figures
{
    double first = 0;
    double median = 0;
};

// One run on a fresh session, then `repeat` runs on another session that is reused.
Figures measure(Connection& connection, UserInterface& ui, int repeat, const std::function<void(MergeSession&)>& work)
{
    Figures figures;
    {
        MergeSession session(connection, ui);
        figures.first = millisecondsOf([&] { work(session); });
    }
    MergeSession session(connection, ui);
    std::vector<double> runs;
    for (int i = 0; i < repeat; ++i)
        runs.push_back(millisecondsOf([&] { work(session); }));
    figures.median = repeat > 0 ? median(runs) : figures.first;
    return figures;
}

int run(const QStringList& arguments)
{
    int repeat = 5;
    QStringList positional;
    if (const auto exitCode = bench::parseBenchArguments(arguments, kUsage, repeat, positional))
        return *exitCode;
    bool fromOk = false;
    bool toOk = false;
    const qint32 fromID = positional.value(1).toInt(&fromOk);
    const qint32 toID = positional.value(2).toInt(&toOk);
    if (positional.size() != 3 || !fromOk || !toOk) {
        std::fputs(kUsage, stderr);
        return 64;
    }
    const QString path = QFileInfo(positional[0]).absoluteFilePath();

    CountingUserInterface ui;

    Connection connection;
    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=%1;").arg(path));
    const double openMs = millisecondsOf([&] { connection.open(); });
    const Client from = readClient(connection, fromID);
    const Client to = readClient(connection, toID);

    // Statistics: what the pane shows for the From client.
    StatisticsList statistics;
    const Figures statisticsFigures = measure(connection, ui, repeat, [&](MergeSession& session) {
        TracePane trace;
        statistics = collectStatistics(session.dsTemp, trace, from.id);
    });
    long long statisticsRows = 0;
    for (const auto& entry : statistics)
        statisticsRows += entry.second;

    // Pre-checks and the account model, as the Merge button runs them up to the account dialog.
    bool passed = false;
    size_t fromAccounts = 0;
    int boxesBefore = ui.boxes;
    const Figures checkFigures = measure(connection, ui, repeat, [&](MergeSession& session) {
        passed = runClientChecks(session, {from.id, to.id});
        if (!passed)
            return;
        TaInfo info;
        info.Load(session.dsTemp, to.id, to.displayName, from.id, from.displayName, &session.mem);
        passed = runAccountChecks(session.ui, info);
        fromAccounts = size_t(info.FromInfo.AccountList.size());
    });
    const int boxes = (ui.boxes - boxesBefore) / (repeat + 1);

    std::printf("kolvix-bench: %s, from %d (%s) to %d (%s)\n", qPrintable(path), from.id, qPrintable(from.displayName),
                to.id, qPrintable(to.displayName));
    std::printf("open connection: %.1f ms\n", openMs);
    std::printf("statistics: first %.1f ms, median of %d %.1f ms (%zu kinds, %lld rows)\n", statisticsFigures.first,
                repeat, statisticsFigures.median, statistics.size(), statisticsRows);
    std::printf("checks + load: first %.1f ms, median of %d %.1f ms (%s, %zu From accounts, %d boxes)\n",
                checkFigures.first, repeat, checkFigures.median, passed ? "checks passed" : "refused", fromAccounts,
                boxes);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    arguments.removeFirst();
    try {
        return run(arguments);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kolvix-bench: %s\n", e.what());
        return 1;
    }
}
