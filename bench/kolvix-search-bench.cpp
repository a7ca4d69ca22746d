// kolvix-search-bench: times the patient search on a database, and prints the figures.
//
//   kolvix-search-bench [--repeat N] DATABASE.db
//
// Opens DATABASE.db on the embedded engine through the program's own connection and times the
// statements of the patient search as the dialog runs them (built by buildSearchQuery, opened
// through SearchQueryCursor):
//
//   each of the twelve fields   a typical prefix search (TOP 50): the first three characters of
//                               a client's value near the middle of the practice (the whole
//                               number for Client ID, five characters for BPAY Ref No, which
//                               searches nothing with fewer), all rows read;
//   name pair                   Surname "abc, de" (TOP 50);
//   sounds like                 Surname with the Sounds Like button (TOP 50);
//   client count                the count label's query, without and with archived clients;
//   Show All                    the Surname search with Show All and an empty text: the time
//                               until its first screen of 25 rows has been read;
//   Show All paged              the same as the dialog lists it (SearchResultPages, the row
//                               count known from the client count): its first screen, a jump
//                               from there to the last screen (the scroll bar's thumb dragged
//                               to the end), and the memory after a drag through the whole
//                               result in 100 jumps, against reading every row at once.
//
// Each is run once ("first") and then N more times (default 5), whose median is printed too.
// The database is only read. No figure is judged here: bench/run compares them with the goals.

#include "BenchTiming.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "search/SearchQuery.h"
#include "search/SearchQueryCursor.h"
#include "search/SearchResultPages.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

using namespace kolvix;

using kolvix::bench::median;
using kolvix::bench::millisecondsOf;

namespace {

const char* const kUsage = "usage: kolvix-search-bench [--repeat N] DATABASE.db\n";

// The rows of the grid's first screen.
constexpr int kFirstScreen = 25;

QString scalar(Connection& connection, const QString& sql)
{
    Dataset ds(connection);
    ds.setSql(sql);
    ds.open();
    return ds.isEmpty() ? QString() : ds.field(0).asString();
}

// A typical value of the field's column: that of the first active client from the middle of the
// practice on that has one.
QString sampleValue(Connection& connection, int field, int middle)
{
    const SearchQuery shape = buildSearchQuery(SearchRequest {field, QStringLiteral("x")});
    const QString column = shape.mobileMode ? QStringLiteral("Mobile") : shape.column;
    return scalar(connection,
                  QStringLiteral("SELECT %1 FROM %2 WHERE ClientID >= %3 AND Active = 'T' AND %1 IS NOT NULL "
                                 "AND %1 <> '' ORDER BY ClientID LIMIT 1")
                      .arg(column, shape.view)
                      .arg(middle));
}

QString prefixOf(int field, const QString& value)
{
    switch (SearchField(field)) {
    case SearchField::ClientID:
        return value;
    case SearchField::BPAYRefNo:
        return value.left(5);
    case SearchField::Mobile: {
        QString digits;
        for (const QChar c : value)
            if (c.isDigit())
                digits += c;
        return digits.left(3);
    }
    default:
        return value.left(3);
    }
}

struct Figures
{
    double first = 0;
    double median = 0;
    int rows = 0;
};

// Opens the search and reads `rows` rows (all of them when negative).
Figures measure(Connection& connection, int repeat, const SearchRequest& request, int rows = -1)
{
    const SearchQuery query = buildSearchQuery(request);
    Figures figures;
    auto once = [&] {
        return millisecondsOf([&] {
            SearchQueryCursor cursor(connection, query);
            cursor.fetch(rows);
            figures.rows = cursor.rowCount();
        });
    };
    figures.first = once();
    std::vector<double> runs;
    for (int i = 0; i < repeat; ++i)
        runs.push_back(once());
    figures.median = repeat > 0 ? median(runs) : figures.first;
    return figures;
}

Figures measureCount(Connection& connection, int repeat, bool showArchived)
{
    const QString sql = clientCountLines(showArchived).join(QStringLiteral("\r\n"));
    Figures figures;
    auto once = [&] { return millisecondsOf([&] { figures.rows = scalar(connection, sql).toInt(); }); };
    figures.first = once();
    std::vector<double> runs;
    for (int i = 0; i < repeat; ++i)
        runs.push_back(once());
    figures.median = repeat > 0 ? median(runs) : figures.first;
    return figures;
}

// The resident memory of this process in kB, read from /proc (0 where there is none).
qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// The rows of a grid's screen from `first` on, read as the grid's model reads them.
void readScreen(SearchResultPages& pages, int first)
{
    for (int row = first; row < first + kFirstScreen && row < pages.rowCount(); ++row)
        pages.pageOf(row, nullptr);
}

struct PagedFigures
{
    Figures firstScreen;
    Figures lastScreen;
    qint64 dragRowsRead = 0;
    qint64 dragGrowthKb = 0;
    qint64 wholeGrowthKb = 0;
    int wholeRows = 0;
};

// Show All through SearchResultPages over `rowCount` rows (the client count the dialog shows).
PagedFigures measurePaged(Connection& connection, int repeat, const SearchRequest& request, int rowCount)
{
    const SearchQuery query = buildSearchQuery(request);
    PagedFigures figures;
    std::vector<double> firstRuns;
    std::vector<double> lastRuns;
    for (int i = 0; i <= repeat; ++i) {
        std::unique_ptr<SearchResultPages> pages;
        firstRuns.push_back(millisecondsOf([&] {
            pages = std::make_unique<SearchResultPages>(connection, query, rowCount);
            readScreen(*pages, 0);
        }));
        const qint64 readBefore = pages->rowsRead();
        lastRuns.push_back(millisecondsOf([&] { readScreen(*pages, std::max(0, rowCount - kFirstScreen)); }));
        figures.firstScreen.rows = int(readBefore);
        figures.lastScreen.rows = int(pages->rowsRead() - readBefore);
    }
    // The first run, and the median of the others.
    const auto split = [repeat](std::vector<double> runs, Figures& into) {
        into.first = runs.front();
        runs.erase(runs.begin());
        into.median = repeat > 0 ? median(runs) : into.first;
    };
    split(firstRuns, figures.firstScreen);
    split(lastRuns, figures.lastScreen);

    // The thumb dragged from the top to the end: a screen at each of 100 places.
    const qint64 before = residentKilobytes();
    {
        SearchResultPages pages(connection, query, rowCount);
        for (int step = 0; step <= 100; ++step)
            readScreen(pages, int(qint64(std::max(0, rowCount - kFirstScreen)) * step / 100));
        figures.dragRowsRead = pages.rowsRead();
        figures.dragGrowthKb = residentKilobytes() - before;
    }
    // For comparison: every row read at once and held, as a grid that keeps what it read holds
    // them at its end.
    {
        const qint64 wholeBefore = residentKilobytes();
        SearchQueryCursor cursor(connection, query);
        cursor.fetch(-1);
        figures.wholeRows = cursor.rowCount();
        figures.wholeGrowthKb = residentKilobytes() - wholeBefore;
    }
    return figures;
}

void print(const QString& name, const QString& text, int repeat, const Figures& f, const char* unit = "rows")
{
    std::printf("search %s: first %.1f ms, median of %d %.1f ms (%d %s; text \"%s\")\n", qPrintable(name), f.first,
                repeat, f.median, f.rows, unit, qPrintable(text));
}

int run(const QStringList& arguments)
{
    int repeat = 5;
    QStringList positional;
    if (const auto exitCode = bench::parseBenchArguments(arguments, kUsage, repeat, positional))
        return *exitCode;
    if (positional.size() != 1) {
        std::fputs(kUsage, stderr);
        return 64;
    }
    const QString path = QFileInfo(positional[0]).absoluteFilePath();

    Connection connection;
    connection.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=%1;").arg(path));
    connection.open();
    const int clients = scalar(connection, QStringLiteral("SELECT COUNT(*) FROM Client")).toInt();
    const int middle = scalar(connection, QStringLiteral("SELECT MAX(ClientID) FROM Client")).toInt() / 2;
    std::printf("kolvix-search-bench: %s, %d clients\n", qPrintable(path), clients);

    for (int field = 0; field < kSearchFieldCount; ++field) {
        SearchRequest request;
        request.field = field;
        request.text = prefixOf(field, sampleValue(connection, field, middle));
        print(QStringLiteral("prefix ") + searchFieldCaptions()[field], request.text, repeat,
              measure(connection, repeat, request));
    }
    {
        SearchRequest request;
        request.field = int(SearchField::FileNo);
        request.useFileNo = true;
        request.text = sampleValue(connection, request.field, middle).left(3);
        // With the practice setting on the field searches file numbers; the demo practice has it off.
        request.text = scalar(connection,
                              QStringLiteral("SELECT FileNo FROM Client WHERE ClientID >= %1 AND FileNo "
                                             "IS NOT NULL ORDER BY ClientID LIMIT 1")
                                  .arg(middle))
                           .left(3);
        print(QStringLiteral("prefix File No (UseFileNo on)"), request.text, repeat,
              measure(connection, repeat, request));
    }
    {
        const QString surname = sampleValue(connection, int(SearchField::Surname), middle);
        const QString name = scalar(connection,
                                    QStringLiteral("SELECT Name FROM Client WHERE ClientID >= %1 AND "
                                                   "Surname = '%2' AND Active = 'T' ORDER BY ClientID LIMIT 1")
                                        .arg(middle)
                                        .arg(QString(surname).replace(u'\'', QStringLiteral("''"))));
        SearchRequest pair;
        pair.text = surname.left(3) + QStringLiteral(", ") + name.left(2);
        print(QStringLiteral("name pair"), pair.text, repeat, measure(connection, repeat, pair));
        SearchRequest soundsLike;
        soundsLike.text = surname;
        soundsLike.soundsLike = true;
        print(QStringLiteral("sounds like"), soundsLike.text, repeat, measure(connection, repeat, soundsLike));
    }
    print(QStringLiteral("client count"), QString(), repeat, measureCount(connection, repeat, false), "clients");
    print(QStringLiteral("client count (archived too)"), QString(), repeat, measureCount(connection, repeat, true),
          "clients");
    for (int field : {int(SearchField::Surname), int(SearchField::Name)}) {
        SearchRequest showAll;
        showAll.field = field;
        showAll.showAll = true;
        print(QStringLiteral("Show All first screen ") + searchFieldCaptions()[field], QString(), repeat,
              measure(connection, repeat, showAll, kFirstScreen));
    }
    const int active = measureCount(connection, 0, false).rows;
    for (int field : {int(SearchField::Surname), int(SearchField::Name)}) {
        SearchRequest showAll;
        showAll.field = field;
        showAll.showAll = true;
        const QString caption = searchFieldCaptions()[field];
        const PagedFigures paged = measurePaged(connection, repeat, showAll, active);
        print(QStringLiteral("Show All paged first screen ") + caption, QString(), repeat, paged.firstScreen);
        print(QStringLiteral("Show All paged last screen ") + caption, QString(), repeat, paged.lastScreen);
        std::printf("memory Show All paged %s: %lld kB more after a drag through %d rows in 100 jumps (%lld rows "
                    "read, at most %d held); every row read at once: %lld kB more (%d rows)\n",
                    qPrintable(caption), qlonglong(paged.dragGrowthKb), active, qlonglong(paged.dragRowsRead),
                    SearchResultPages::kPageRows * SearchResultPages::kPagesKept, qlonglong(paged.wholeGrowthKb),
                    paged.wholeRows);
    }
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
        std::fprintf(stderr, "kolvix-search-bench: %s\n", e.what());
        return 1;
    }
}
