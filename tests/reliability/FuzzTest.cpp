// Bad input, bounded: seeded random settings files, command lines, connection strings,
// statements and search texts. Nothing may crash or hang (every loop is bounded), and what must
// survive does: planted settings are found, connection values reach the ODBC string intact and
// set no other key, no password survives masking, literals and names pass the T-SQL adaptation
// unchanged, and generated queries of the supported subset are accepted by SQLite after
// adaptation.
//
// The seed is printed; KOLVIX_FUZZ_SEED=<n> repeats a run with another one.

#include "support/QtPrinting.h"

#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/Dataset.h"
#include "db/SqliteFunctions.h"
#include "db/TsqlAdapter.h"
#include "search/SearchQuery.h"
#include "settings/CommandLine.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "settings/UtilityConnect.h"
#include "support/FakePlatform.h"
#include "support/TestDatabase.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sqlite3.h>
#include <vector>

namespace kolvix::test {
namespace {

unsigned fuzzSeed()
{
    static const unsigned seed = [] {
        const QByteArray text = qgetenv("KOLVIX_FUZZ_SEED");
        const unsigned value = text.isEmpty() ? 20240611u : text.toUInt();
        std::cout << "FuzzTest seed: " << value << " (set KOLVIX_FUZZ_SEED to run with another)\n";
        return value;
    }();
    return seed;
}

class Random
{
public:
    // Each test draws from its own stream, so that a filtered run repeats the same inputs.
    explicit Random(unsigned stream)
        : m_engine(fuzzSeed() * 7919u + stream)
    {
    }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_engine); }
    bool chance(int percent) { return between(1, 100) <= percent; }
    template <typename T> const T& pick(const std::vector<T>& items)
    {
        return items[size_t(between(0, int(items.size()) - 1))];
    }
    // Up to `length` pieces of the alphabet.
    QString text(const std::vector<QString>& alphabet, int length)
    {
        QString result;
        for (int i = between(0, length); i > 0; --i)
            result += pick(alphabet);
        return result;
    }

private:
    std::mt19937 m_engine;
};

// Pieces that settings files, command lines and connection strings are made of: blanks and
// control characters, the characters their syntax gives meaning to, letters beyond ASCII
// (a surrogate pair among them).
const std::vector<QString> kNoise = {"a",
                                     "Z",
                                     "k",
                                     "0",
                                     "7",
                                     " ",
                                     " ",
                                     "\t",
                                     "\r",
                                     "\x01",
                                     "\x1f",
                                     "=",
                                     "==",
                                     ";",
                                     "[",
                                     "]",
                                     "'",
                                     "\"",
                                     "#",
                                     "{",
                                     "}",
                                     "\\",
                                     ".",
                                     ",",
                                     "-",
                                     "+",
                                     "$",
                                     "0x",
                                     "é",
                                     QStringLiteral("日"),
                                     QStringLiteral("🙂"),
                                     "Ĳ",
                                     "%",
                                     "_"};

// Text for values: the noise without line feeds; never begins or ends with a blank.
QString valueCore(Random& random, int length)
{
    QString core = random.text(kNoise, length);
    while (!core.isEmpty() && core.front().unicode() <= 32)
        core.remove(0, 1);
    while (!core.isEmpty() && core.back().unicode() <= 32)
        core.chop(1);
    return core;
}

// The text without the blanks the command line trims from a value.
QString trimBlanksOf(QString text)
{
    while (!text.isEmpty() && text.front().unicode() <= 32)
        text.remove(0, 1);
    while (!text.isEmpty() && text.back().unicode() <= 32)
        text.chop(1);
    return text;
}

QString blanks(Random& random)
{
    return random.text({" ", "\t", "\r", "\x01"}, 3);
}

// An ASCII name with its letters in random case.
QString randomCase(Random& random, const QString& name)
{
    QString result = name;
    for (QChar& c : result)
        if (c.unicode() < 128 && random.chance(50))
            c = c.isUpper() ? c.toLower() : c.toUpper();
    return result;
}

// ---- Settings files ---------------------------------------------------------------------------

TEST(FuzzTest, SettingsFilesGiveBackWhatWasPlantedAmongNoise)
{
    Random random(1);
    for (int round = 0; round < 300; ++round) {
        // Planted names hold '§', which the noise never does, so no noise line can be taken for them.
        struct Planted
        {
            QString section;
            QString key;
            QString expected;
            std::optional<bool> flag; // for a number
        };
        std::vector<Planted> planted;
        QString text = QStringLiteral("Orphan§=before any section\n");
        const int sections = random.between(1, 4);
        for (int s = 0; s < sections; ++s) {
            for (int n = random.between(0, 4); n > 0; --n)
                text += random.text(kNoise, 30) + (random.chance(50) ? "\r\n" : "\n");
            const QString section = QStringLiteral("Sec§%1").arg(s);
            const QString key = QStringLiteral("Key§%1").arg(s);
            std::optional<bool> flag;
            QString core = valueCore(random, random.chance(5) ? 2500 : 40);
            if (random.chance(20)) { // a number: decimal with a sign, or hexadecimal
                const int number = random.between(-3, 3);
                const QString hex = random.pick<QString>({"0x", "0X", "$"});
                core = number < 0 || random.chance(50) ? QString::number(number) : hex + QString::number(number, 16);
                flag = number != 0;
            }
            QString written = core;
            if (random.chance(30)) { // one pair of enclosing quotes comes off
                const QString quote = random.chance(50) ? "\"" : "'";
                written = quote + core + quote;
            } else if (core.size() >= 2 && (core.front() == u'"' || core.front() == u'\'')
                       && core.back() == core.front()) {
                core = core.mid(1, core.size() - 2);
            }
            // The header (anything after its ']' is ignored), then the key.
            text += blanks(random) + "[" + blanks(random) + section + blanks(random) + "]" + random.text(kNoise, 5)
                + "\n" + blanks(random) + key + blanks(random) + "=" + blanks(random) + written + blanks(random) + "\n";
            if (random.chance(30))
                text += key + "=the second one loses\n";
            planted.push_back({section, key, core.left(2047), flag});
        }
        for (int n = random.between(0, 4); n > 0; --n)
            text += random.text(kNoise, 30) + "\n";
        if (random.chance(50)) // a repeated section: the first of the name wins
            text += "[" + planted.front().section + "]\n" + planted.front().key + "=the repeated section loses\n";

        const IniFile ini = IniFile::fromText(text);
        for (const Planted& p : planted) {
            const std::optional<QString> value = ini.value(randomCase(random, p.section), randomCase(random, p.key));
            ASSERT_TRUE(value.has_value()) << "round " << round << ":\n" << text.toStdString();
            EXPECT_EQ(*value, p.expected) << "round " << round << ":\n" << text.toStdString();
            EXPECT_FALSE(ini.value(p.section, QStringLiteral("Orphan§")).has_value());
            const bool flag = ini.readBool(p.section, p.key, random.chance(50));
            if (p.flag) {
                EXPECT_EQ(flag, *p.flag) << p.expected.toStdString();
            }
        }
    }
}

TEST(FuzzTest, SettingsFilesOfAnyTextAreReadWithoutFailure)
{
    Random random(2);
    std::vector<QString> anything = kNoise;
    for (const char* piece : {"\n", "\r\n", "[", "]\n", "\n[", "=\n", "\n;", "\n#"})
        anything.push_back(QString::fromLatin1(piece));
    anything.push_back(QString(QChar(0xD800))); // half a surrogate pair
    anything.push_back(QString(QChar(0)));
    for (int round = 0; round < 500; ++round) {
        const QString text = random.text(anything, 200);
        const IniFile ini = IniFile::fromText(text);
        for (int probe = 0; probe < 5; ++probe) {
            const QString section = random.text(kNoise, 4);
            const QString key = random.text(kNoise, 4);
            const std::optional<QString> value = ini.value(section, key);
            if (value) {
                EXPECT_LE(value->size(), 2047);
            }
            ini.readBool(section, key, false);
            ini.readString(section, key, QString());
        }
    }
}

// ---- Command lines ----------------------------------------------------------------------------

TEST(FuzzTest, TheFirstArgumentOfAKeyGivesItsTrimmedValue)
{
    Random random(3);
    for (int round = 0; round < 500; ++round) {
        QStringList arguments;
        std::map<QString, QString> expected; // key -> value
        const int count = random.between(0, 12);
        for (int i = 0; i < count; ++i) {
            if (random.chance(40)) {
                const QString key = QStringLiteral("Key§%1").arg(random.between(0, 3));
                const QString core = valueCore(random, 20);
                if (random.chance(20)) // a blank in the key part: not that key
                    arguments << key + " =" + core;
                else {
                    arguments << randomCase(random, key) + "=" + blanks(random) + core + blanks(random);
                    expected.try_emplace(key, core);
                }
            } else {
                arguments << random.text(kNoise, 25);
            }
        }
        setCommandLineArguments(arguments);
        for (int k = 0; k < 4; ++k) {
            const QString key = QStringLiteral("Key§%1").arg(k);
            const auto it = expected.find(key);
            EXPECT_EQ(paramValue(randomCase(random, key)), it == expected.end() ? QString() : it->second)
                << arguments.join(QStringLiteral(" | ")).toStdString();
        }
        EXPECT_EQ(paramValue(QStringLiteral("Missing§")), QString());
    }
    setCommandLineArguments({});
}

// ---- Connection strings -----------------------------------------------------------------------

// An ODBC connection string as drivers read it: key=value pairs ended by ';', a value in
// braces when it holds special characters ('}' doubled inside). Nothing when it is malformed.
std::optional<std::map<QString, QString>> parseOdbc(const QString& s)
{
    std::map<QString, QString> pairs;
    qsizetype i = 0;
    while (i < s.size()) {
        const qsizetype equals = s.indexOf(u'=', i);
        if (equals < 0)
            return std::nullopt;
        const QString key = s.mid(i, equals - i);
        i = equals + 1;
        QString value;
        if (i < s.size() && s[i] == u'{') {
            ++i;
            for (;;) {
                if (i >= s.size())
                    return std::nullopt;
                if (s[i] == u'}') {
                    if (i + 1 < s.size() && s[i + 1] == u'}') {
                        value += u'}';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += s[i++];
            }
            if (i < s.size() && s[i] != u';')
                return std::nullopt;
        } else {
            const qsizetype semicolon = s.indexOf(u';', i);
            value = s.mid(i, (semicolon < 0 ? s.size() : semicolon) - i);
            if (value.contains(u'{') || value.contains(u'}'))
                return std::nullopt;
            i = semicolon < 0 ? s.size() : semicolon;
        }
        if (pairs.count(key))
            return std::nullopt;
        pairs[key] = value;
        ++i; // the ';'
    }
    return pairs;
}

const std::vector<QString> kDrivers = {QStringLiteral("ODBC Driver 18 for SQL Server"),
                                       QStringLiteral("ODBC Driver 17 for SQL Server"), QStringLiteral("FreeTDS")};

void expectOdbcCarries(const QString& connectionString, const QString& driver, const QString& catalog,
                       const QString& user, const QString& password)
{
    const QString odbc = Connection::odbcConnectionString(connectionString, driver);
    const auto pairs = parseOdbc(odbc);
    ASSERT_TRUE(pairs.has_value()) << odbc.toStdString();
    auto value = [&](const char* key) {
        const auto it = pairs->find(QString::fromLatin1(key));
        return it == pairs->end() ? std::optional<QString>() : std::optional<QString>(it->second);
    };
    EXPECT_EQ(value("DRIVER"), driver);
    EXPECT_TRUE(value("Server").has_value()) << odbc.toStdString();
    if (!catalog.isEmpty()) {
        EXPECT_EQ(value("Database"), catalog) << odbc.toStdString();
    }
    if (!user.isEmpty()) {
        EXPECT_EQ(value("UID"), user) << odbc.toStdString();
        EXPECT_EQ(value("PWD"), password) << odbc.toStdString();
    }
}

// Values typed on the command line, through the eleven-key string, into the ODBC string.
// The eleven-key string has no quoting: its values hold no ';' and do not begin with a quote.
TEST(FuzzTest, CommandLineValuesReachTheOdbcConnectionString)
{
    Random random(4);
    QTemporaryDir folder;
    FakePlatform os;
    os.localAppData = os.commonAppData = os.legacyFolder = folder.path();
    gsConfigIniName = folder.filePath(QStringLiteral("none.ini"));
    gsDataIniName = gsConfigIniName;
    // Never empty (that would fall back to the default), never beginning or ending with a blank.
    auto plainValue = [&] {
        QString v;
        while (v.isEmpty() || v.front().unicode() <= 32 || v.front() == u'"' || v.front() == u'\'')
            v = valueCore(random, 16).remove(u';') + QStringLiteral("v");
        return v;
    };
    for (int round = 0; round < 300; ++round) {
        const QString catalog = plainValue();
        const QString server = plainValue();
        const QString user = plainValue();
        const QString password = plainValue();
        QStringList arguments = {"Initial Catalog=" + blanks(random) + catalog,
                                 "Data Source=" + server,
                                 randomCase(random, QStringLiteral("User ID")) + "=" + user + blanks(random),
                                 "Password=" + password,
                                 "Packet Size=" + plainValue(),
                                 "UseTCPIP=" + random.text({"0", "1", "x"}, 1)};
        setCommandLineArguments(arguments);
        const QString built = buildConnectionString(0);
        EXPECT_EQ(Connection::connectionValue(built, QStringLiteral("Initial Catalog")), catalog)
            << built.toStdString();
        EXPECT_EQ(Connection::connectionValue(built, QStringLiteral("User ID")), user) << built.toStdString();
        EXPECT_EQ(Connection::connectionValue(built, QStringLiteral("Password")), password) << built.toStdString();
        for (const QString& driver : kDrivers)
            expectOdbcCarries(built, driver, catalog, user, password);
        Connection::odbcConnectOptions(built, random.between(-1, 100));
    }
    setCommandLineArguments({});
    gsConfigIniName.clear();
    gsDataIniName.clear();
}

// Values of any text on the command line (";", quotes, braces, blanks inside) reach the
// eleven-key string as themselves, quoted where they must be: no value sets another key, and
// the ODBC string carries them too.
TEST(FuzzTest, CommandLineValuesOfAnyTextSetNoOtherKey)
{
    Random random(9);
    QTemporaryDir folder;
    FakePlatform os;
    os.localAppData = os.commonAppData = os.legacyFolder = folder.path();
    gsConfigIniName = folder.filePath(QStringLiteral("none.ini"));
    gsDataIniName = gsConfigIniName;
    const std::vector<QString> syntax = {";", ";", "\"", "'", "=", "{", "}", " ", "Data Source=", "Password=", "pwd ="};
    std::vector<QString> alphabet = kNoise;
    alphabet.insert(alphabet.end(), syntax.begin(), syntax.end());
    // Never empty (that would fall back to the default); the command line trims the ends.
    auto anyValue = [&] {
        QString v;
        while (v.isEmpty())
            v = trimBlanksOf(random.text(alphabet, 12));
        return v;
    };
    for (int round = 0; round < 300; ++round) {
        const QString catalog = anyValue();
        const QString server = anyValue();
        const QString user = anyValue();
        // The password alone holds "§", so a "§" anywhere in the masked string is a leak.
        const QString password = anyValue() + QStringLiteral("§") + anyValue();
        QStringList arguments = {"Initial Catalog=" + catalog, "Data Source=" + server, "User ID=" + user,
                                 randomCase(random, QStringLiteral("Password")) + "=" + blanks(random) + password};
        std::shuffle(arguments.begin(), arguments.end(), std::mt19937(unsigned(round)));
        setCommandLineArguments(arguments);
        const QString built = buildConnectionString(0);
        const std::map<QString, QString> expected = {{"Provider", "SQLOLEDB.1"},  {"Persist Security Info", "False"},
                                                     {"Packet Size", "4096"},     {"Initial Catalog", catalog},
                                                     {"Data Source", server},     {"User ID", user},
                                                     {"Password", password},      {"Workstation ID", "PC01"},
                                                     {"Integrated Security", ""}, {"Network Library", ""}};
        for (const auto& [key, value] : expected)
            ASSERT_EQ(Connection::connectionValue(built, key), value)
                << key.toStdString() << " in " << built.toStdString();
        for (const QString& driver : kDrivers)
            expectOdbcCarries(built, driver, catalog, user, password);
        const QString masked = maskPassword(built);
        EXPECT_FALSE(masked.contains(QStringLiteral("§"))) << masked.toStdString();
        EXPECT_EQ(Connection::connectionValue(masked, QStringLiteral("Workstation ID")), QStringLiteral("PC01"))
            << masked.toStdString();
    }
    setCommandLineArguments({});
    gsConfigIniName.clear();
    gsDataIniName.clear();
}

// Password keys in any spelling and any form of value, also inside another key's value: the
// masked string never holds the secret, and the other keys keep their values.
TEST(FuzzTest, MaskingHidesEveryPasswordAndKeepsTheOtherKeys)
{
    Random random(10);
    for (int round = 0; round < 1000; ++round) {
        // Secrets alone hold "§"; the noise never does.
        const QString secret = random.text(kNoise, 8) + QStringLiteral("§") + random.text(kNoise, 8);
        const QString key = random.pick<QString>({"Password", "PWD", "password", "pwd", "PassWord", "Pwd"});
        const QString spelledKey = blanks(random) + key + blanks(random);
        QString value;
        switch (random.between(0, 3)) {
        case 0:
            value = quoteConnectionValue(secret);
            break;
        case 1: // braced, as ODBC writes it
            value = "{" + QString(secret).replace(u'}', QStringLiteral("}}")) + "}";
            break;
        case 2: // unquoted: up to the next pair that holds "="
            value = QString(secret).remove(u'=').remove(u'"').remove(u'\'').remove(u'{');
            break;
        default: // inside another key's value
            value.clear();
            break;
        }
        QStringList pairs;
        std::map<QString, QString> others;
        for (int n = random.between(1, 4); n > 0; --n) {
            const QString name = QStringLiteral("Key%1").arg(n);
            const QString text = random.text(kNoise, 10);
            others[name] = text.trimmed();
            pairs << name + "=" + quoteConnectionValue(text.trimmed());
        }
        const QString holder = QStringLiteral("Holder");
        if (value.isEmpty())
            pairs.insert(random.between(0, int(pairs.size())),
                         holder + "=" + quoteConnectionValue(random.text(kNoise, 5) + ";" + spelledKey + "=" + secret));
        else
            pairs.insert(random.between(0, int(pairs.size())), spelledKey + "=" + value);
        const QString connectionString = pairs.join(u';') + (random.chance(50) ? ";" : "");
        const QString masked = maskPasswordsInConnectionString(connectionString);
        ASSERT_FALSE(masked.contains(QStringLiteral("§")))
            << connectionString.toStdString() << "\nmasked: " << masked.toStdString();
        EXPECT_TRUE(masked.contains(QLatin1String(kMaskedPassword))) << masked.toStdString();
        for (const auto& [name, text] : others) {
            EXPECT_EQ(Connection::connectionValue(masked, name), text)
                << connectionString.toStdString() << "\nmasked: " << masked.toStdString();
        }
        // Any text at all: no failure.
        maskPasswordsInText(random.text(kNoise, 60) + "password=" + random.text(kNoise, 20));
        maskPasswordsInConnectionString(random.text(kNoise, 80));
    }
}

// Quoted values of a connection string hold anything: ';', quotes, braces, blanks at the ends.
TEST(FuzzTest, QuotedConnectionValuesReachTheOdbcStringUnchanged)
{
    Random random(5);
    auto quoted = [](const QString& value, QChar quote) {
        return quote + QString(value).replace(quote, QString(quote) + quote) + quote;
    };
    for (int round = 0; round < 500; ++round) {
        const QString catalog = random.text(kNoise, 16);
        const QString user = random.text(kNoise, 16) + QStringLiteral("u");
        const QString password = random.text(kNoise, 16);
        QStringList parts = {"Provider=SQLOLEDB.1",
                             "Initial Catalog=" + quoted(catalog, u'"'),
                             "User ID=" + quoted(user, u'\''),
                             "Password=" + quoted(password, random.chance(50) ? u'"' : u'\''),
                             "Data Source=" + quoted(random.text(kNoise, 12), u'"'),
                             random.text(kNoise, 12)};
        std::shuffle(parts.begin() + 1, parts.end() - 1, std::mt19937(unsigned(round)));
        const QString connectionString = parts.join(u';');
        ASSERT_EQ(Connection::connectionValue(connectionString, QStringLiteral("Password")), password)
            << connectionString.toStdString();
        for (const QString& driver : kDrivers)
            expectOdbcCarries(connectionString, driver, catalog, user, password);
        // Any text at all: no failure.
        Connection::connectionValue(random.text(kNoise, 60), random.text(kNoise, 3));
        Connection::odbcConnectionString(random.text(kNoise, 60), random.pick(kDrivers));
    }
}

// ---- T-SQL adaptation -------------------------------------------------------------------------

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
    }
}

TEST(FuzzTest, AdaptationOfAnyTextEnds)
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

// ---- Patient search --------------------------------------------------------------------------

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
