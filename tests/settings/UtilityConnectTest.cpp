// The connection string, its fallback forms, and the connection attempts with their failure text.

#include "SettingsFixture.h"

#include "db/Connection.h"

#include <QStringList>
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

QString failureFor(const QString& database, const QString& server)
{
    return QStringLiteral("Unable to connect to the Zelvan database '%1' on '%2'.\n\n"
                          "Please check your connection properties.")
        .arg(database, server);
}

class ConnectTest : public ConnectionStringTest
{
protected:
    bool connect(Connection& connection)
    {
        return connectToDatabase(connection, &failure,
                                 [this](const ConnectionAttempt& attempt) { attempts.push_back(attempt); });
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
    if (Connection::sqlServerOdbcDriver().isEmpty())
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
    EXPECT_EQ(failure, failureFor(QStringLiteral("Zelvan"), QStringLiteral("127.0.0.1,1\\ZELVAN")));
    EXPECT_EQ(connection.commandTimeout(), 4000);
    EXPECT_EQ(connection.connectTimeout(), 5);
}

TEST_F(ConnectTest, MissingDatabaseFileFailsAfterTheFallbacks)
{
    const QString missing = root.filePath(QStringLiteral("missing.db"));
    writeData(QStringLiteral("[Database Settings]\nProvider=SQLite\nData Source=%1\nInitial Catalog=Practice\n")
                  .arg(missing));
    Connection connection;

    EXPECT_FALSE(connect(connection));

    EXPECT_EQ(modes(), (std::vector<int> {0, 2, 1}));
    EXPECT_EQ(failure, failureFor(QStringLiteral("Practice"), missing + QStringLiteral("\\ZELVAN")));
    EXPECT_FALSE(QFileInfo::exists(missing)) << "a failed open creates no database";
}

TEST_F(ConnectTest, LoginOnFallsBackToTheInstanceOnly)
{
    loginOn();
    writeData(QStringLiteral("[Database Settings]\nProvider=SQLite\nData Source=%1\n")
                  .arg(root.filePath(QStringLiteral("missing.db"))));
    Connection connection;

    EXPECT_FALSE(connect(connection));

    EXPECT_EQ(modes(), (std::vector<int> {0, 1}));
    EXPECT_EQ(failure, failureFor(QStringLiteral("Zelvan"), root.filePath(QStringLiteral("missing.db\\ZELVAN"))));
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
