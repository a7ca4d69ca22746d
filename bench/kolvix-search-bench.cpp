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
//                               until its first screen of 25 rows has been read.
//
// Each is run once ("first") and then N more times (default 5), whose median is printed too.
// The database is only read. No figure is judged here: bench/run compares them with the goals.

#include "BenchTiming.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "search/SearchQuery.h"
#include "search/SearchQueryCursor.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <exception>
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
