// Connection strings, bounded and seeded (reliability/FuzzRandom.h): values typed on the command
// line or quoted in a connection string reach the ODBC string intact and set no other key, and no
// spelling of a password survives masking.

#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/OdbcConnectionString.h"
#include "reliability/FuzzRandom.h"
#include "settings/CommandLine.h"
#include "settings/Settings.h"
#include "settings/UtilityConnect.h"
#include "support/FakePlatform.h"
#include "support/QtPrinting.h"

#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <optional>

namespace kolvix::test {
namespace {

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
    const QString odbc = odbcConnectionString(connectionString, driver);
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
        EXPECT_EQ(connectionStringValue(built, QStringLiteral("Initial Catalog")), catalog) << built.toStdString();
        EXPECT_EQ(connectionStringValue(built, QStringLiteral("User ID")), user) << built.toStdString();
        EXPECT_EQ(connectionStringValue(built, QStringLiteral("Password")), password) << built.toStdString();
        for (const QString& driver : kDrivers)
            expectOdbcCarries(built, driver, catalog, user, password);
        odbcConnectOptions(built, random.between(-1, 100));
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
            ASSERT_EQ(connectionStringValue(built, key), value) << key.toStdString() << " in " << built.toStdString();
        for (const QString& driver : kDrivers)
            expectOdbcCarries(built, driver, catalog, user, password);
        const QString masked = maskPassword(built);
        EXPECT_FALSE(masked.contains(QStringLiteral("§"))) << masked.toStdString();
        EXPECT_EQ(connectionStringValue(masked, QStringLiteral("Workstation ID")), QStringLiteral("PC01"))
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
            EXPECT_EQ(connectionStringValue(masked, name), text)
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
        ASSERT_EQ(connectionStringValue(connectionString, QStringLiteral("Password")), password)
            << connectionString.toStdString();
        for (const QString& driver : kDrivers)
            expectOdbcCarries(connectionString, driver, catalog, user, password);
        // Any text at all: no failure.
        connectionStringValue(random.text(kNoise, 60), random.text(kNoise, 3));
        odbcConnectionString(random.text(kNoise, 60), random.pick(kDrivers));
    }
}

} // namespace
} // namespace kolvix::test
