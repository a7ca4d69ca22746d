// The patient search's statements, bounded and seeded (reliability/FuzzRandom.h): whatever is
// typed, the builder writes one of a fixed set of statements, with the text bound as parameters,
// and they run on the schema without changing it.

#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/SqliteFunctions.h"
#include "db/TsqlAdapter.h"
#include "reliability/FuzzRandom.h"
#include "search/SearchQuery.h"
#include "support/QtPrinting.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <set>
#include <sqlite3.h>

namespace kolvix::test {
namespace {

// A search request with random options.
SearchRequest randomSearchRequest(Random& random, const QString& text)
{
    SearchRequest r;
    r.field = random.between(0, kSearchFieldCount - 1);
    r.text = text;
    r.soundsLike = random.chance(30);
    r.showAll = random.chance(40);
    r.showArchived = random.chance(40);
    r.onlyWithEmail = random.chance(15);
    r.onlyWithMobile = random.chance(15);
    r.useFileNo = random.chance(50);
    return r;
}

// Every statement text the builder can write: each field and option with a text of each kind
// that changes the statement (empty, blanks, short, five characters, with a comma).
std::set<QString> searchStatementShapes()
{
    std::set<QString> shapes;
    for (int field = 0; field < kSearchFieldCount; ++field)
        for (int options = 0; options < 64; ++options)
            for (const char* text : {"", " ", "a", "12345", "a,b"}) {
                SearchRequest r;
                r.field = field;
                r.text = QString::fromLatin1(text);
                r.soundsLike = options & 1;
                r.showAll = options & 2;
                r.showArchived = options & 4;
                r.onlyWithEmail = options & 8;
                r.onlyWithMobile = options & 16;
                r.useFileNo = options & 32;
                shapes.insert(buildSearchQuery(r).sql());
            }
    return shapes;
}

// What people type, and what they should not: quotes, brackets, statement ends, comment markers,
// wildcards, commas, blanks and control characters, letters beyond ASCII.
const std::vector<QString> kSearchNoise = {"a",
                                           "Sm",
                                           "o",
                                           "7",
                                           "0",
                                           " ",
                                           " ",
                                           ",",
                                           ", ",
                                           "'",
                                           "''",
                                           "\"",
                                           "[",
                                           "]",
                                           ";",
                                           "--",
                                           "/*",
                                           "*/",
                                           "%",
                                           "_",
                                           ":asLike1",
                                           "@v",
                                           "?",
                                           "\t",
                                           "\r\n",
                                           "\x01",
                                           "DROP TABLE Client",
                                           "é",
                                           QStringLiteral("日"),
                                           QStringLiteral("🙂"),
                                           QString(QChar(0xDC00))};

TEST(FuzzTest, SearchStatementsAreFixedShapesThatRunOnTheSchema)
{
    Random random(9);
    const std::set<QString> shapes = searchStatementShapes();
    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO Client (ClientID, Surname, Name, Active, Mobile) VALUES "
                           "(1, 'O''Brien', 'Pat', 'T', '0412 000 111'), (2, 'Smith', 'Jo', 'F', NULL);"
                           "INSERT INTO Account (ClientID, AccountID, BPayRefNo) VALUES (1, 0, '12345');"));
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(db.path().toUtf8().constData(), &handle), SQLITE_OK);
    ASSERT_TRUE(registerSqliteFunctions(handle));
    Connection connection;
    connection.setConnectionString(db.connectionString());
    connection.open();
    const auto before = db.snapshot();

    for (int round = 0; round < 1500; ++round) {
        QString text = random.text(kSearchNoise, 12);
        if (round % 100 == 0)
            text = random.text(kSearchNoise, 20).repeated(1 + 10000 / 20).left(10000);
        const SearchRequest request = randomSearchRequest(random, text);
        const SearchQuery query = buildSearchQuery(request);
        const QString sql = query.sql();
        const std::string context = "text: " + text.left(200).toStdString() + "\nstatement: " + sql.toStdString();

        EXPECT_TRUE(shapes.count(sql)) << context;
        // Each parameter is named once, in the order of the list, and LIKE patterns end with "%".
        QStringList names;
        for (const SearchParameter& p : query.parameters) {
            names << p.name;
            if (p.name.startsWith(QLatin1String("asLike")) && !p.isInteger()) {
                EXPECT_TRUE(p.value.toString().endsWith(u'%')) << context;
            }
        }
        EXPECT_EQ(positionalParameters(sql).occurrences, names) << context;

        const ParameterisedStatement statement = positionalParameters(adaptTsqlForSqlite(sql));
        const QByteArray utf8 = statement.text.toUtf8();
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &stmt, &tail);
        EXPECT_EQ(rc, SQLITE_OK) << sqlite3_errmsg(handle) << "\n" << context;
        if (rc == SQLITE_OK) {
            EXPECT_EQ(QString::fromUtf8(tail).trimmed(), QString()) << context;
            EXPECT_EQ(sqlite3_bind_parameter_count(stmt), int(statement.occurrences.size())) << context;
        }
        sqlite3_finalize(stmt);

        // Now and then the search runs through the program's connection, with the text bound.
        if (round % 10 == 0) {
            Dataset ds(connection);
            ds.setSql(sql);
            for (const SearchParameter& p : query.parameters)
                ds.setParam(p.name, p.value);
            EXPECT_NO_THROW(ds.open()) << context;
            EXPECT_LE(ds.recordCount(), 2) << context;
        }
    }
    sqlite3_close(handle);
    EXPECT_EQ(db.snapshot(), before);
}

} // namespace
} // namespace kolvix::test
