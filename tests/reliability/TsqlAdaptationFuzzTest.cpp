// The T-SQL adaptation, bounded and seeded (reliability/FuzzRandom.h): literals, names, comments
// and parameters pass unchanged, text of any kind is adapted without failure and changed only
// where it holds something to adapt, and generated queries of the supported subset are accepted by
// SQLite once adapted.

#include "db/TsqlAdapter.h"
#include "reliability/FuzzRandom.h"
#include "support/QtPrinting.h"
#include "support/TestDatabase.h"

#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>

namespace kolvix::test {
namespace {

// The words and symbols the adaptation reacts to, and some it must leave alone.
const std::vector<QString> kSqlWords = {"SELECT", "TOP",     "5",         "(",    "3",     ")",      "DISTINCT",
                                        "ALL",    "PERCENT", "WITH",      "FROM", "WHERE", "ORDER",  "BY",
                                        "UNION",  "EXCEPT",  "INTERSECT", "SYS",  ".",     "TABLES", "ISNULL",
                                        "dbo",    "[dbo]",   "Name",      "x",    "t",     ",",      ";",
                                        "=",      "<>",      ">=",        "<",    "!=",    "*",      "-",
                                        "1.5",    "@v",      "AND",       "IN",   "NULL",  "#tmp",   "$"};

const std::vector<QString> kSqlSpace = {" ", " ", "  ", "\r\n", "\t", "\n"};

// A piece that must come through unchanged: a string literal (never a date), a bracketed or
// quoted name, or a comment; all hold what would be syntax outside them.
QString protectedPiece(Random& random)
{
    const std::vector<QString> inner
        = {"a",   "Z",  " ", "'",  "]",     "[",          "\"",   "--",      "/*",       "*/",
           ";",   ":p", "?", "@v", "TOP 5", "SYS.TABLES", "dbo.", "ISNULL(", "20240101", QStringLiteral("日"),
           "\r\n"};
    auto body = [&](const QString& close) {
        QString text = QStringLiteral("x") + random.text(inner, 6);
        text.replace(close, close + close);
        return text;
    };
    switch (random.between(0, 4)) {
    case 0:
        return "'" + body("'") + "'";
    case 1:
        return "[" + body("]") + "]";
    case 2:
        return "\"" + body("\"") + "\"";
    case 3: {
        QString text = random.text(inner, 6);
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).remove(u'\n').remove(u'\r');
        return "--" + text + "\r\n";
    }
    default: {
        QString text = random.text(inner, 6);
        text.replace(QStringLiteral("*/"), QStringLiteral("* /")).replace(QStringLiteral("/*"), QStringLiteral("/ *"));
        // Blanks inside the markers, so that a '/' or '*' of the text does not join them.
        return random.chance(30) ? "/* a /* nested " + text + " */ b */" : "/* " + text + " */";
    }
    }
}

TEST(FuzzTest, AdaptationLeavesLiteralsNamesCommentsAndParametersAlone)
{
    Random random(6);
    for (int round = 0; round < 2000; ++round) {
        QString sql;
        QStringList kept;
        QStringList parameters;
        QStringList recent = {QString(), QString()}; // the last two pieces
        for (int n = random.between(1, 40); n > 0; --n) {
            const int kind = random.between(0, 9);
            QString piece;
            if (kind < 2) {
                piece = protectedPiece(random);
                // "TOP (n)" goes as a whole, with a comment inside or right after TOP: only
                // comments elsewhere must stay.
                const bool inTop = recent.contains(QStringLiteral("TOP")) || recent.contains(QStringLiteral("("));
                if (!(piece.startsWith(QLatin1String("--")) || piece.startsWith(QLatin1String("/*"))) || !inTop)
                    kept << piece;
            } else if (kind == 2) {
                piece = QStringLiteral(":p%1").arg(random.between(0, 9));
                parameters << piece.mid(1);
            } else {
                piece = random.pick(kSqlWords);
            }
            sql += piece + random.pick(kSqlSpace);
            recent = {recent[1], piece};
        }
        const QString adapted = adaptTsqlForSqlite(sql);
        qsizetype from = 0;
        for (const QString& piece : kept) {
            const qsizetype at = adapted.indexOf(piece, from);
            ASSERT_GE(at, 0) << "lost " << piece.toStdString() << "\nfrom: " << sql.toStdString()
                             << "\nadapted: " << adapted.toStdString();
            from = at + piece.size();
        }
        EXPECT_EQ(positionalParameters(adapted).occurrences, parameters)
            << sql.toStdString() << "\nadapted: " << adapted.toStdString();
        EXPECT_EQ(positionalParameters(sql).occurrences, parameters) << sql.toStdString();
        // What comes out has nothing left to adapt.
        EXPECT_EQ(adaptTsqlForSqlite(adapted), adapted) << sql.toStdString();
    }
}

// Where the first thing the adaptation may react to begins, in any case and wherever it stands
// (also inside a literal or a comment): DECLARE, SELECT (a TOP after it wraps or follows it),
// TOP, ISNULL, dbo or [dbo], SYS, or a date literal. The text before it holds nothing to adapt.
qsizetype firstAdaptable(const QString& sql)
{
    qsizetype first = sql.size();
    for (const char* word : {"DECLARE", "SELECT", "TOP", "ISNULL", "[dbo", "dbo", "SYS"}) {
        const qsizetype at = sql.indexOf(QLatin1String(word), 0, Qt::CaseInsensitive);
        if (at >= 0)
            first = std::min(first, at);
    }
    // A literal 'yyyymmdd' or 'yyyy.mm.dd'.
    const auto charAt = [&](qsizetype k) { return k < sql.size() ? sql[k] : QChar(); };
    const auto digits = [&](qsizetype from, int count) {
        for (qsizetype k = from; k < from + count; ++k) {
            if (!charAt(k).isDigit())
                return false;
        }
        return true;
    };
    for (qsizetype at = sql.indexOf(u'\''); at >= 0 && at < first; at = sql.indexOf(u'\'', at + 1)) {
        const bool compact = digits(at + 1, 8) && charAt(at + 9) == u'\'';
        const bool dotted = digits(at + 1, 4) && charAt(at + 5) == u'.' && digits(at + 6, 2) && charAt(at + 8) == u'.'
            && digits(at + 9, 2) && charAt(at + 11) == u'\'';
        if (compact || dotted)
            first = at;
    }
    return first;
}

// Text of any kind: the adaptation ends, changes nothing before the first thing it may react
// to, and gives a text without any such thing back as it is.
TEST(FuzzTest, AdaptationOfAnyTextEndsAndChangesNothingBeforeWhatItAdapts)
{
    Random random(7);
    std::vector<QString> anything = kSqlWords;
    for (const char* piece : {"'", "[", "]", "\"", "--", "/*", "*/", ":", ":a", "DECLARE", "SET", "@v", "INT", "AS",
                              "TABLE", "'20240101'", "'2024.01.02'", "\n", " "})
        anything.push_back(QString::fromLatin1(piece));
    anything.push_back(QString(QChar(0xDC00)));
    for (int round = 0; round < 3000; ++round) {
        const QString sql = random.text(anything, 60);
        const QString adapted = adaptTsqlForSqlite(sql);
        const qsizetype untouched = firstAdaptable(sql);
        if (untouched == sql.size()) {
            EXPECT_EQ(adapted, sql);
        } else {
            EXPECT_EQ(adapted.left(untouched), sql.left(untouched)) << "adapted: " << adapted.toStdString();
        }
        positionalParameters(adapted);
        positionalParameters(sql);
        firstFromTable(sql);
    }
}

// Queries of the supported subset over the schema's tables and columns.
class QueryGenerator
{
public:
    explicit QueryGenerator(Random& random)
        : m_random(random)
    {
        TestDatabase db;
        sqlite3* handle = nullptr;
        sqlite3_open(db.path().toUtf8().constData(), &handle);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(handle,
                           "SELECT m.name, c.name FROM sqlite_master m JOIN pragma_table_info(m.name) c "
                           "WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite%'",
                           -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const QString table = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
            m_columns[table] << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
        }
        sqlite3_finalize(stmt);
        sqlite3_close(handle);
        for (const auto& [table, columns] : m_columns)
            m_tables.push_back(table);
    }

    bool empty() const { return m_tables.empty(); }

    // Optionally declares and sets a variable first, as the product's scripts do.
    QString statement()
    {
        QString text;
        m_variable = false;
        if (m_random.chance(20)) {
            text = "DECLARE @v INT" + space() + "SET @v = " + m_random.pick<QString>({"5", "-1", "NULL", ":pv", "'7'"})
                + ";" + space();
            m_variable = true;
        }
        const QString table = m_random.pick(m_tables);
        if (m_random.chance(20)) {
            // A compound: each SELECT gives one column.
            const QString operation = m_random.pick<QString>({"UNION", "UNION ALL", "EXCEPT", "INTERSECT"});
            text += select(table, true) + space() + operation + space() + select(m_random.pick(m_tables), true);
        } else {
            text += select(table, false);
            if (m_random.chance(30))
                text += space() + m_random.pick<QString>({"ORDER BY 1", "ORDER BY 1 DESC"});
        }
        return text;
    }

private:
    QString space() { return m_random.pick(kSqlSpace); }

    QString name(const QString& n) { return m_random.chance(50) ? "[" + n + "]" : n; }

    QString tableReference(const QString& table)
    {
        switch (m_random.between(0, 3)) {
        case 1:
            return "dbo." + name(table);
        case 2:
            return "[dbo]." + name(table);
        default:
            return name(table);
        }
    }

    QString column(const QString& table, const QString& alias)
    {
        const QString c = name(m_random.pick(m_columnsOf(table)));
        return alias.isEmpty() ? c : alias + "." + c;
    }

    const std::vector<QString>& m_columnsOf(const QString& table)
    {
        auto& cache = m_columnVectors[table];
        if (cache.empty())
            for (const QString& c : m_columns.at(table))
                cache.push_back(c);
        return cache;
    }

    QString top()
    {
        switch (m_random.between(0, 3)) {
        case 0:
            return QStringLiteral("TOP %1 ").arg(m_random.between(0, 50));
        case 1:
            return QStringLiteral("TOP (%1) ").arg(m_random.between(1, 9));
        default:
            return QString();
        }
    }

    QString condition(const QString& table, const QString& alias)
    {
        const QString c = column(table, alias);
        switch (m_random.between(0, 10)) {
        case 0:
            return c + " = " + QString::number(m_random.between(-5, 5000));
        case 1:
            return c + " <> 'x''y [z] -- w'";
        case 2:
            return c + " = :p" + QString::number(m_random.between(0, 3));
        case 3:
            return c + " IS NULL";
        case 4:
            return "ISNULL(" + c + ", 0) <> 1";
        case 5: {
            const QString other = m_random.pick(m_tables);
            return c + " IN (SELECT " + top() + column(other, QString()) + " FROM " + tableReference(other) + ")";
        }
        case 6:
            return "EXISTS (SELECT * FROM SYS.TABLES WHERE Name = '" + m_random.pick(m_tables) + "')";
        case 7:
            return c + m_random.pick<QString>({" >= '20240101'", " < '2024.01.31'", " = '19991231'"});
        case 8:
            return m_variable ? c + " = @v" : c + " LIKE 'a%'";
        case 9:
            return "(" + c + " = 1 OR " + c + " = 2)";
        default:
            return c + " LIKE '%_[a-c]%'";
        }
    }

    QString select(const QString& table, bool oneColumn)
    {
        const QString alias = m_random.chance(40) ? QStringLiteral("t") : QString();
        QString columns;
        if (oneColumn) {
            columns = column(table, alias);
        } else {
            switch (m_random.between(0, 3)) {
            case 0:
                columns = "*";
                break;
            case 1:
                columns = "COUNT(*)";
                break;
            case 2:
                columns = "ISNULL(" + column(table, alias) + ", 0) AS [Value]";
                break;
            default:
                columns = column(table, alias) + ", " + column(table, alias);
                break;
            }
        }
        QString text = "SELECT " + QString(m_random.chance(20) ? "DISTINCT " : "") + top() + columns + space() + "FROM "
            + tableReference(table) + (alias.isEmpty() ? QString() : " " + alias);
        if (m_random.chance(70)) {
            text += space() + "WHERE " + condition(table, alias);
            if (m_random.chance(40))
                text += " AND " + condition(table, alias);
        }
        return text;
    }

    Random& m_random;
    std::map<QString, QStringList> m_columns;
    std::map<QString, std::vector<QString>> m_columnVectors;
    std::vector<QString> m_tables;
    bool m_variable = false;
};

TEST(FuzzTest, GeneratedQueriesAreAcceptedBySqliteOnceAdapted)
{
    Random random(8);
    QueryGenerator generator(random);
    ASSERT_FALSE(generator.empty());
    TestDatabase db;
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(db.path().toUtf8().constData(), &handle), SQLITE_OK);
    for (int round = 0; round < 1500; ++round) {
        const QString tsql = generator.statement();
        const QString adapted = adaptTsqlForSqlite(tsql);
        EXPECT_EQ(adaptTsqlForSqlite(adapted), adapted) << "T-SQL: " << tsql.toStdString();
        const ParameterisedStatement statement = positionalParameters(adapted);
        const QByteArray text = statement.text.toUtf8();
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &stmt, &tail);
        EXPECT_EQ(rc, SQLITE_OK) << sqlite3_errmsg(handle) << "\nT-SQL: " << tsql.toStdString()
                                 << "\nadapted: " << statement.text.toStdString();
        if (rc == SQLITE_OK) {
            EXPECT_EQ(QString::fromUtf8(tail).trimmed().remove(u';'), QString()) << statement.text.toStdString();
            EXPECT_EQ(sqlite3_bind_parameter_count(stmt), int(statement.occurrences.size()))
                << statement.text.toStdString();
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(handle);
}

} // namespace
} // namespace kolvix::test
