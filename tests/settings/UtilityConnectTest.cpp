// The connection string, its fallback forms, and the connection attempts with their failure text.

#include "SettingsFixture.h"

#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/OdbcConnectionString.h"

#include <QStringList>
#include <map>
#include <ostream>
#include <utility>
#include <vector>

namespace kolvix::test {
namespace {

const QStringList kKeyOrder = {
    QStringLiteral("Provider"),
    QStringLiteral("Persist Security Info"),
    QStringLiteral("Use Procedure for Prepare"),
    QStringLiteral("Auto Translate"),
    QStringLiteral("Packet Size"),
    QStringLiteral("Initial Catalog"),
    QStringLiteral("Data Source"),
    QStringLiteral("User ID"),
    QStringLiteral("Password"),
    QStringLiteral("Workstation ID"),
    QStringLiteral("Integrated Security"),
};

const QString kDefaultPw = QString::fromLatin1(kDefaultPassword);

// The pairs of a connection string, in order.
std::vector<std::pair<QString, QString>> pairsOf(const QString& connectionString)
{
    std::vector<std::pair<QString, QString>> pairs;
    EXPECT_TRUE(connectionString.endsWith(QLatin1Char(';'))) << connectionString.toStdString();
    const QStringList parts = connectionString.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        pairs.emplace_back(part.left(equals), part.mid(equals + 1));
    }
    return pairs;
}

class ConnectionStringTest : public SettingsFixture
{
protected:
    // Builds the string of the mode after locating the settings, as the connection routine does.
    QString build(int mode)
    {
        locateSettingsFiles();
        return buildConnectionString(mode);
    }
    // The value of one key in the string of the mode; also checks the eleven keys and their order.
    QString valueOf(int mode, const QString& key)
    {
        const auto pairs = pairsOf(build(mode));
        QStringList keys;
        QString value;
        bool found = false;
        for (const auto& [k, v] : pairs) {
            keys << k;
            if (k == key && !found) {
                value = v;
                found = true;
            }
        }
        QStringList expectedKeys = kKeyOrder;
        if (keys.size() == 12)
            expectedKeys << QStringLiteral("Network Library");
        EXPECT_EQ(keys, expectedKeys);
        EXPECT_TRUE(found) << key.toStdString();
        return value;
    }
    void arguments(const QStringList& list) { setCommandLineArguments(list); }
    void loginOn() { writeConfig(QStringLiteral("[Misc]\nLogin=1\n")); }
};

TEST_F(ConnectionStringTest, NothingConfiguredGivesTheStandardString)
{
    writeConfig(QStringLiteral("[Misc]\nLogin=0\n"));
    writeData(QStringLiteral("[Other]\nData Source=ignored\n"));
    EXPECT_EQ(build(0),
              QStringLiteral("Provider=SQLOLEDB.1;Persist Security Info=False;Use Procedure for Prepare=1;"
                             "Auto Translate=True;Packet Size=4096;Initial Catalog=Zelvan;Data Source=;"
                             "User ID=SA;Password=;Workstation ID=PC01;Integrated Security=;"));
    EXPECT_EQ(gsDatabaseName, QStringLiteral("Zelvan"));
    EXPECT_EQ(gsServerName, QString());
    EXPECT_EQ(gConfigObject, nullptr) << "the data file is closed after the build";
    EXPECT_FALSE(gTerminateRequested);
}

struct ModeCase
{
    const char* name;
    bool login;
    const char* dataSource; // in the data file; nullptr: none
    int mode;
    const char* expectedDataSource;
    const char* expectedUser;
    bool defaultPassword; // else empty
};

class ConnectionModeTest : public ConnectionStringTest, public ::testing::WithParamInterface<ModeCase>
{
};

TEST_P(ConnectionModeTest, AppliesTheModeRules)
{
    const ModeCase& c = GetParam();
    if (c.login)
        loginOn();
    writeData(c.dataSource
                  ? QStringLiteral("[Database Settings]\nData Source=%1\n").arg(QString::fromLatin1(c.dataSource))
                  : QStringLiteral("[Database Settings]\n"));
    EXPECT_EQ(valueOf(c.mode, QStringLiteral("Data Source")), QString::fromLatin1(c.expectedDataSource));
    EXPECT_EQ(gsServerName, QString::fromLatin1(c.expectedDataSource));
    EXPECT_EQ(valueOf(c.mode, QStringLiteral("User ID")), QString::fromLatin1(c.expectedUser));
    EXPECT_EQ(valueOf(c.mode, QStringLiteral("Password")), c.defaultPassword ? kDefaultPw : QString());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ConnectionModeTest,
    ::testing::Values(ModeCase {"LoginOnModeZero", true, nullptr, 0, ".\\ZELVAN", "SA", true},
                      ModeCase {"LoginOffModeZero", false, nullptr, 0, "", "SA", false},
                      ModeCase {"ModeOneWithoutServer", false, nullptr, 1, ".\\ZELVAN", "sa", true},
                      ModeCase {"ModeOneAppendsInstance", false, "SRV1", 1, "SRV1\\ZELVAN", "sa", true},
                      ModeCase {"ModeOneAppendsInstanceTwice", false, "SRV1\\ZELVAN", 1, "SRV1\\ZELVAN\\ZELVAN", "sa",
                                true},
                      ModeCase {"ModeOneWithLoginDefault", true, nullptr, 1, ".\\ZELVAN\\ZELVAN", "sa", true},
                      ModeCase {"ModeTwoKeepsServer", false, "SRV1", 2, "SRV1", "sa", false},
                      ModeCase {"ModeTwoWithLogin", true, nullptr, 2, ".\\ZELVAN", "sa", false},
                      ModeCase {"ModeZeroKeepsServer", false, "SRV1", 0, "SRV1", "SA", false}),
    [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

TEST_F(ConnectionStringTest, ModesOverrideCommandLineLogin)
{
    arguments({QStringLiteral("User ID=clerk"), QStringLiteral("Password=secret")});
    EXPECT_EQ(valueOf(0, QStringLiteral("User ID")), QStringLiteral("clerk"));
    EXPECT_EQ(valueOf(0, QStringLiteral("Password")), QStringLiteral("secret"));
    EXPECT_EQ(valueOf(1, QStringLiteral("User ID")), QStringLiteral("sa"));
    EXPECT_EQ(valueOf(1, QStringLiteral("Password")), kDefaultPw);
    EXPECT_EQ(valueOf(2, QStringLiteral("User ID")), QStringLiteral("sa"));
    EXPECT_EQ(valueOf(2, QStringLiteral("Password")), QString());
}

TEST_F(ConnectionStringTest, DefaultPasswordRule)
{
    // Default Password on and an empty Password in the data file: the default password,
    // even over a password from the command line.
    writeData(QStringLiteral("[Database Settings]\nDefault Password=1\nPassword=\n"));
    arguments({QStringLiteral("Password=typed")});
    EXPECT_EQ(valueOf(0, QStringLiteral("Password")), kDefaultPw);
    EXPECT_EQ(valueOf(2, QStringLiteral("Password")), QString()) << "mode 2 always sends no password";

    // A missing Password key counts as empty.
    writeData(QStringLiteral("[Database Settings]\nDefault Password=1\n"));
    EXPECT_EQ(valueOf(0, QStringLiteral("Password")), kDefaultPw);

    // A non-empty Password in the data file switches the rule off.
    writeData(QStringLiteral("[Database Settings]\nDefault Password=1\nPassword=stored\n"));
    EXPECT_EQ(valueOf(0, QStringLiteral("Password")), QStringLiteral("typed"));
    arguments({});
    EXPECT_EQ(valueOf(0, QStringLiteral("Password")), QStringLiteral("stored"));

    // Default Password off (or not a number): no rule.
    writeData(QStringLiteral("[Database Settings]\nDefault Password=yes\nPassword=\n"));
    EXPECT_EQ(valueOf(0, QStringLiteral("Password")), QString());
}

TEST_F(ConnectionStringTest, WorkstationIdIsAlwaysTheComputerName)
{
    os.computer = QStringLiteral("FRONTDESK-2");
    writeData(QStringLiteral("[Database Settings]\nWorkstation ID=FROMFILE\n"));
    EXPECT_EQ(valueOf(0, QStringLiteral("Workstation ID")), QStringLiteral("FRONTDESK-2"));
    arguments({QStringLiteral("Workstation ID=FROMCMD")});
    for (int mode : {0, 1, 2})
        EXPECT_EQ(valueOf(mode, QStringLiteral("Workstation ID")), QStringLiteral("FRONTDESK-2"));
}

TEST_F(ConnectionStringTest, CommandLineBeforeDataFileBeforeDefault)
{
    writeData(QStringLiteral("[Database Settings]\nPacket Size=2048\nInitial Catalog=Practice\nProvider=\n"
                             "Auto Translate=False\nIntegrated Security=SSPI\n"));
    arguments({QStringLiteral("packet size=8192"), QStringLiteral("Data Source=CMDSRV")});
    EXPECT_EQ(valueOf(0, QStringLiteral("Packet Size")), QStringLiteral("8192"));
    EXPECT_EQ(valueOf(0, QStringLiteral("Data Source")), QStringLiteral("CMDSRV"));
    EXPECT_EQ(valueOf(0, QStringLiteral("Initial Catalog")), QStringLiteral("Practice"));
    EXPECT_EQ(gsDatabaseName, QStringLiteral("Practice"));
    EXPECT_EQ(valueOf(0, QStringLiteral("Auto Translate")), QStringLiteral("False"));
    EXPECT_EQ(valueOf(0, QStringLiteral("Integrated Security")), QStringLiteral("SSPI"));
    EXPECT_EQ(valueOf(0, QStringLiteral("Provider")), QStringLiteral("SQLOLEDB.1")) << "empty in the file: default";
    EXPECT_EQ(valueOf(0, QStringLiteral("Persist Security Info")), QStringLiteral("False"));

    // An empty value on the command line falls through to the data file.
    arguments({QStringLiteral("Packet Size=")});
    EXPECT_EQ(valueOf(0, QStringLiteral("Packet Size")), QStringLiteral("2048"));
}

TEST_F(ConnectionStringTest, LegacyFileServesBothFiles)
{
    writeFile(legacyFile(), QStringLiteral("[Misc]\nLogin=1\n[Database Settings]\nUser ID=legacy\n"));
    EXPECT_EQ(valueOf(0, QStringLiteral("User ID")), QStringLiteral("legacy"));
    EXPECT_EQ(valueOf(0, QStringLiteral("Data Source")), QStringLiteral(".\\ZELVAN"))
        << "Login read from the same file";
}

struct TcpCase
{
    const char* name;
    const char* commandLine; // nullptr: no argument
    const char* dataFile; // nullptr: no key
    bool appended;
};

class UseTcpIpTest : public ConnectionStringTest, public ::testing::WithParamInterface<TcpCase>
{
};

TEST_P(UseTcpIpTest, AppendsTheNetworkLibrary)
{
    const TcpCase& c = GetParam();
    if (c.commandLine)
        arguments({QStringLiteral("UseTCPIP=") + QString::fromLatin1(c.commandLine)});
    writeData(c.dataFile ? QStringLiteral("[Database Settings]\nUseTCPIP=%1\n").arg(QString::fromLatin1(c.dataFile))
                         : QStringLiteral("[Database Settings]\n"));
    const QString s = build(0);
    EXPECT_EQ(s.endsWith(QStringLiteral(";Integrated Security=;Network Library=dbmssocn;")), c.appended)
        << s.toStdString();
    EXPECT_EQ(s.endsWith(QStringLiteral(";Integrated Security=;")), !c.appended) << s.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Sources, UseTcpIpTest,
                         ::testing::Values(TcpCase {"CommandLineOne", "1", nullptr, true},
                                           TcpCase {"CommandLineZeroBeatsDataFile", "0", "1", false},
                                           TcpCase {"CommandLineOtherTextBeatsDataFile", "true", "1", false},
                                           TcpCase {"CommandLineZeroOneIsNotOne", "01", "1", false},
                                           TcpCase {"CommandLineEmptyFallsToDataFile", "", "1", true},
                                           TcpCase {"DataFileOne", nullptr, "1", true},
                                           TcpCase {"DataFileHex", nullptr, "0x1", true},
                                           TcpCase {"DataFileZero", nullptr, "0", false},
                                           TcpCase {"DataFileText", nullptr, "yes", false},
                                           TcpCase {"Nowhere", nullptr, nullptr, false}),
                         [](const ::testing::TestParamInfo<TcpCase>& info) { return std::string(info.param.name); });

struct ValueCase
{
    const char* name;
    QStringList arguments;
    const char* dataFile; // the section's lines
    std::vector<std::pair<const char*, const char*>> expected; // key, value read back
    const char* secret; // never shown once masked; nullptr: none
};

void PrintTo(const ValueCase& c, std::ostream* os)
{
    *os << c.name;
}

class ConnectionValueTest : public ConnectionStringTest, public ::testing::WithParamInterface<ValueCase>
{
};

// Whatever a value holds, it reaches the string as itself, sets no other key, and masking the
// string hides every password it carries.
TEST_P(ConnectionValueTest, ReachesTheStringAsItselfAndMaskingHidesTheSecret)
{
    const ValueCase& c = GetParam();
    arguments(c.arguments);
    writeData(QStringLiteral("[Database Settings]\n") + QString::fromUtf8(c.dataFile));
    const QString built = build(0);
    std::map<QString, QString> expected = {{"Provider", "SQLOLEDB.1"},
                                           {"Persist Security Info", "False"},
                                           {"Use Procedure for Prepare", "1"},
                                           {"Auto Translate", "True"},
                                           {"Packet Size", "4096"},
                                           {"Initial Catalog", "Zelvan"},
                                           {"Data Source", ""},
                                           {"User ID", "SA"},
                                           {"Password", ""},
                                           {"Workstation ID", "PC01"},
                                           {"Integrated Security", ""},
                                           {"Network Library", ""}};
    for (const auto& [key, value] : c.expected)
        expected[QString::fromUtf8(key)] = QString::fromUtf8(value);
    for (const auto& [key, value] : expected)
        EXPECT_EQ(connectionStringValue(built, key), value) << key.toStdString() << " in " << built.toStdString();
    EXPECT_EQ(gsDatabaseName, expected["Initial Catalog"]);
    EXPECT_EQ(gsServerName, expected["Data Source"]);
    if (c.secret) {
        const QString masked = maskPassword(built);
        EXPECT_FALSE(masked.contains(QString::fromUtf8(c.secret))) << masked.toStdString();
        EXPECT_TRUE(masked.contains(QStringLiteral("***"))) << masked.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConnectionValueTest,
    ::testing::Values(
        ValueCase {"SemicolonSetsNoOtherKey",
                   {"Initial Catalog=x;Data Source=A.db", "Data Source=B.db"},
                   "",
                   {{"Initial Catalog", "x;Data Source=A.db"}, {"Data Source", "B.db"}},
                   nullptr},
        ValueCase {"SemicolonInTheDataFile",
                   {},
                   "Data Source=SRV1;Provider=SQLite\nInitial Catalog='a;b'\n",
                   {{"Data Source", "SRV1;Provider=SQLite"}, {"Initial Catalog", "a;b"}},
                   nullptr},
        ValueCase {"PathWithSemicolon", {"Data Source=/data/a;b.db"}, "", {{"Data Source", "/data/a;b.db"}}, nullptr},
        ValueCase {"PasswordWithSemicolon", {"Password=Sec;ret123"}, "", {{"Password", "Sec;ret123"}}, "ret123"},
        ValueCase {"PasswordWithQuotes", {"Password=\"Sec'ret\"\"x"}, "", {{"Password", "\"Sec'ret\"\"x"}}, "Sec'ret"},
        ValueCase {"PasswordWithBlanksFromTheDataFile",
                   {},
                   "Password=\"  Sec ret  \"\n",
                   {{"Password", "  Sec ret  "}},
                   "Sec ret"},
        ValueCase {"PasswordKeyInLowerCase", {"password=Secret1"}, "", {{"Password", "Secret1"}}, "Secret1"},
        ValueCase {"PasswordInsideTheCatalog",
                   {"Initial Catalog=Zelvan;Password=Secret2"},
                   "",
                   {{"Initial Catalog", "Zelvan;Password=Secret2"}},
                   "Secret2"},
        ValueCase {"PwdInsideTheServer",
                   {"Data Source=SRV1;pwd = Secret3"},
                   "",
                   {{"Data Source", "SRV1;pwd = Secret3"}},
                   "Secret3"},
        ValueCase {"UserWithQuoteAndNetworkLibrary",
                   {"User ID=O'Brien", "UseTCPIP=1"},
                   "",
                   {{"User ID", "O'Brien"}, {"Network Library", "dbmssocn"}},
                   nullptr}),
    [](const ::testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.name); });

TEST(MaskPasswordTest, HidesOnlyThePasswordValue)
{
    EXPECT_EQ(maskPassword(QStringLiteral("User ID=sa;Password=Vq7rLm2xT;Workstation ID=PC01;")),
              QStringLiteral("User ID=sa;Password=***;Workstation ID=PC01;"));
    EXPECT_EQ(maskPassword(QStringLiteral("User ID=sa;Password=;Workstation ID=PC01;")),
              QStringLiteral("User ID=sa;Password=;Workstation ID=PC01;"));
    EXPECT_EQ(maskPassword(QStringLiteral("Persist Security Info=False;password=x;")),
              QStringLiteral("Persist Security Info=False;password=***;"));
}

// ---------------------------------------------------------------------------------------
// connectToDatabase

// The failure text: the sentence, the client's message of the last attempt, the advice.
QString failureFor(const QString& database, const QString& server, const QString& message)
{
    return QStringLiteral("Unable to connect to the Zelvan database '%1' on '%2'.\n%3\n\n"
                          "Please check your connection properties.")
        .arg(database, server, message);
}

class ConnectTest : public ConnectionStringTest
{
protected:
    bool connect(Connection& connection)
    {
        const ConnectResult result = connectToDatabase(
            connection, nullptr, [this](const ConnectionAttempt& attempt) { attempts.push_back(attempt); });
        failure = result.failure;
        return result.opened;
    }
    std::vector<int> modes() const
    {
        std::vector<int> result;
        for (const ConnectionAttempt& a : attempts)
            result.push_back(a.mode);
        return result;
    }
    QString failure = QStringLiteral("stale text");
    std::vector<ConnectionAttempt> attempts;
};

TEST_F(ConnectTest, UnreachableSqlServerTriesThreeFormsAndNamesTheInstance)
{
    if (sqlServerOdbcDriver().isEmpty())
        GTEST_SKIP() << "no SQL Server ODBC driver installed";
    // A closed port on the loopback interface: every attempt is refused at once.
    writeData(QStringLiteral("[Database Settings]\nProvider=SQLOLEDB.1\nData Source=127.0.0.1,1\n"));
    Connection connection;

    EXPECT_FALSE(connect(connection));

    EXPECT_FALSE(connection.isOpen());
    EXPECT_EQ(modes(), (std::vector<int> {0, 2, 1}));
    for (const ConnectionAttempt& a : attempts) {
        EXPECT_FALSE(a.succeeded);
        EXPECT_FALSE(a.error.isEmpty()) << "the client's message is reported";
    }
    ASSERT_EQ(attempts.size(), 3u);
    EXPECT_TRUE(
        attempts[0].connectionString.contains(QStringLiteral(";Data Source=127.0.0.1,1;User ID=SA;Password=;")));
    EXPECT_TRUE(
        attempts[1].connectionString.contains(QStringLiteral(";Data Source=127.0.0.1,1;User ID=sa;Password=;")));
    EXPECT_TRUE(attempts[2].connectionString.contains(
        QStringLiteral(";Data Source=127.0.0.1,1\\ZELVAN;User ID=sa;Password=***;")))
        << "the password is masked in the report";
    EXPECT_EQ(failure, failureFor(QStringLiteral("Zelvan"), QStringLiteral("127.0.0.1,1\\ZELVAN"), attempts[2].error))
        << "the sentence names the last server, the driver's message of the last attempt follows";
    EXPECT_EQ(connection.commandTimeout(), 4000);
    EXPECT_EQ(connection.connectTimeout(), 5);
}

TEST_F(ConnectTest, LoginOnFallsBackToTheInstanceOnly)
{
    if (sqlServerOdbcDriver().isEmpty())
        GTEST_SKIP() << "no SQL Server ODBC driver installed";
    loginOn();
    writeData(QStringLiteral("[Database Settings]\nData Source=127.0.0.1,1\nInitial Catalog=Practice\n"));
    Connection connection;

    EXPECT_FALSE(connect(connection));

    EXPECT_EQ(modes(), (std::vector<int> {0, 1}));
    ASSERT_EQ(attempts.size(), 2u);
    EXPECT_EQ(failure,
              failureFor(QStringLiteral("Practice"), QStringLiteral("127.0.0.1,1\\ZELVAN"), attempts[1].error));
}

struct FileFailureCase
{
    const char* name;
    const char* provider;
    bool login;
    // What "Data Source" names: "missing", "folder", "device", "text" (a file that is no database).
    const char* file;
    const char* message; // %1: the file
};

void PrintTo(const FileFailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class DatabaseFileFailureTest : public ConnectTest, public ::testing::WithParamInterface<FileFailureCase>
{
};

// A database file gets one attempt, and the failure says what is wrong with the file.
TEST_P(DatabaseFileFailureTest, OneAttemptSaysWhatIsWrongWithTheFile)
{
    const FileFailureCase& c = GetParam();
    QString file = root.filePath(QStringLiteral("zelvan.db"));
    const QString kind = QString::fromLatin1(c.file);
    if (kind == QLatin1String("folder"))
        QDir().mkpath(file);
    else if (kind == QLatin1String("device"))
#ifdef Q_OS_UNIX
        file = QStringLiteral("/dev/zero");
#else
        GTEST_SKIP() << "no device files in the file system";
#endif
    else if (kind == QLatin1String("text"))
        writeFile(file,
                  QStringLiteral("[Misc]\nThis is a settings file, not a database; it is long enough to "
                                 "hold the header a database file begins with.\n"));
    if (c.login)
        loginOn();
    writeData(QStringLiteral("[Database Settings]\nProvider=%1\nData Source=%2\nInitial Catalog=Practice\n")
                  .arg(QString::fromLatin1(c.provider), file));
    Connection connection;

    EXPECT_FALSE(connect(connection));

    ASSERT_EQ(modes(), std::vector<int> {0});
    if (attempts[0].error.contains(QStringLiteral("is not installed")))
        GTEST_SKIP() << attempts[0].error.toStdString();
    const QString message = QString::fromLatin1(c.message).arg(file);
    EXPECT_EQ(attempts[0].error, message);
    EXPECT_EQ(failure, failureFor(QStringLiteral("Practice"), file, message));
    EXPECT_FALSE(connection.isOpen());
    if (kind == QLatin1String("missing")) {
        EXPECT_FALSE(QFileInfo::exists(file)) << "a failed open creates no database";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, DatabaseFileFailureTest,
    ::testing::Values(
        FileFailureCase {"Missing", "SQLite", false, "missing", "The database file '%1' does not exist."},
        FileFailureCase {"MissingWithLoginOn", "SQLite", true, "missing", "The database file '%1' does not exist."},
        FileFailureCase {"Folder", "SQLite", false, "folder", "The database file '%1' is a directory, not a file."},
        FileFailureCase {"Device", "SQLite", false, "device",
                         "The database file '%1' is not a regular file (a device, a pipe or a socket)."},
        FileFailureCase {"NotADatabase", "SQLite", false, "text", "The database file '%1' is not a database."},
        FileFailureCase {"MissingThroughOdbc", "SQLiteODBC", false, "missing",
                         "The database file '%1' does not exist."},
        FileFailureCase {"NotADatabaseThroughOdbc", "SQLiteODBC", false, "text",
                         "The database file '%1' is not a database."}),
    [](const ::testing::TestParamInfo<FileFailureCase>& info) { return std::string(info.param.name); });

TEST_F(ConnectTest, APasswordInAnotherValueIsNeverReported)
{
    const QString missing = root.filePath(QStringLiteral("missing.db"));
    arguments({QStringLiteral("Provider=SQLite"), QStringLiteral("Data Source=%1;Password=Secret4").arg(missing),
               QStringLiteral("Initial Catalog=Zelvan;PWD=Secret5")});
    Connection connection;

    EXPECT_FALSE(connect(connection));

    ASSERT_EQ(attempts.size(), 1u);
    for (const QString& shown : {attempts[0].connectionString, attempts[0].error, failure}) {
        EXPECT_FALSE(shown.contains(QStringLiteral("Secret"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("***"))) << shown.toStdString();
    }
    EXPECT_TRUE(failure.startsWith(QStringLiteral("Unable to connect to the Zelvan database 'Zelvan;PWD=***' on '")
                                   + missing + QStringLiteral(";Password=***'.\n")))
        << failure.toStdString();
}

TEST_F(ConnectTest, APathWithASemicolonOpens)
{
    const QString path = root.filePath(QStringLiteral("a;b.db"));
    writeFile(path, QString());
    arguments({QStringLiteral("Provider=SQLite"), QStringLiteral("Data Source=") + path});
    Connection connection;

    EXPECT_TRUE(connect(connection)) << failure.toStdString();

    EXPECT_EQ(gsServerName, path);
    EXPECT_FALSE(QFileInfo::exists(root.filePath(QStringLiteral("a")))) << "the path is not cut at the semicolon";
    connection.close();
}

TEST_F(ConnectTest, FirstAttemptThatOpensEndsTheRoutine)
{
    const QString path = root.filePath(QStringLiteral("zelvan.db"));
    writeFile(path, QString()); // an empty file is an empty SQLite database
    arguments({QStringLiteral("Provider=SQLite"), QStringLiteral("Data Source=") + path});
    Connection connection;

    EXPECT_TRUE(connect(connection));

    EXPECT_TRUE(connection.isOpen());
    EXPECT_EQ(modes(), std::vector<int> {0});
    EXPECT_TRUE(attempts[0].succeeded);
    EXPECT_EQ(failure, QString()) << "the failure text is cleared";
    EXPECT_EQ(gsServerName, path);
    connection.close();
}

} // namespace
} // namespace kolvix::test
