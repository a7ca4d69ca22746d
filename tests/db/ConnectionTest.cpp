// Opening the two engines, the functions of the embedded engine and the translation of the
// SQL Server connection string for ODBC.

#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "db/OdbcConnectionString.h"
#include "support/TestDatabase.h"
#include "support/Wine.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <iostream>
#include <sqlite3.h>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kolvix::test {
namespace {

TEST(ConnectionTest, OpensTheEmbeddedEngineAndClosesAgain)
{
    TestDatabase db;
    Connection connection;
    connection.setConnectionString(QStringLiteral("Provider = SQLite ; Data Source = \"%1\"").arg(db.path()));
    connection.open();
    EXPECT_TRUE(connection.isOpen());
    EXPECT_TRUE(connection.isEmbedded());
    // Two connections on the same file live side by side under names of their own.
    Connection second;
    second.setConnectionString(db.connectionString());
    second.open();
    EXPECT_NE(connection.database().connectionName(), second.database().connectionName());
    connection.close();
    EXPECT_FALSE(connection.isOpen());
    EXPECT_TRUE(second.isOpen());
}

// Another program keeps the database file locked (a transaction it does not finish): opening
// waits for it up to the lock-wait limit, tells the notice once, then says the file is busy,
// which is no fault of the settings.
TEST(ConnectionTest, ADatabaseKeptLockedElsewhereIsWaitedForThenBusy)
{
    TestDatabase db;
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db.path().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Connection connection;
    connection.setConnectionString(db.connectionString());
    connection.setLockWaitLimit(std::chrono::seconds(3));
    int notices = 0;
    connection.setLockWaitNotice([&] { ++notices; });
    try {
        connection.open();
        ADD_FAILURE() << "opened a database that another connection keeps locked";
    } catch (const DatabaseBusy& e) {
        EXPECT_EQ(e.message().toStdString(),
                  "The database file '" + db.path().toStdString()
                      + "' is busy: another program has kept it locked for 3 seconds (it has begun changes that it "
                        "does not finish).\nClose the other program that has the practice open, then try again.");
    }
    EXPECT_EQ(notices, 1);
    EXPECT_FALSE(connection.isOpen());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    connection.open();
    EXPECT_TRUE(connection.isOpen());
}

// After some failures (a full disk, an I/O error) the engine ends the transaction itself;
// rolling back is then nothing left to do, not a second failure.
TEST(ConnectionTest, RollingBackATransactionTheEngineEndedItselfIsNoError)
{
    TestDatabase db;
    Connection connection;
    connection.setConnectionString(db.connectionString());
    connection.open();
    connection.beginTransaction();
    QSqlQuery behindItsBack(connection.database());
    ASSERT_TRUE(behindItsBack.exec("ROLLBACK"));
    EXPECT_NO_THROW(connection.rollbackTransaction());
    EXPECT_FALSE(connection.inTransaction());
}

// The file tests run on both data-access paths over a SQLite file: the embedded engine and
// Qt's ODBC driver with the SQLite ODBC driver (skipped where that driver is not installed).
class FileConnectionTest : public ::testing::TestWithParam<const char*>
{
protected:
    QString connectionStringFor(const QString& file) const
    {
        return QStringLiteral("Provider=%1;Data Source=%2;").arg(QString::fromLatin1(GetParam()), file);
    }
    // Opens the connection on the file; skips the test when the provider's driver is missing.
    void openOrSkip(Connection& connection, const QString& file)
    {
        connection.setConnectionString(connectionStringFor(file));
        try {
            connection.open();
        } catch (const DbError& e) {
            if (e.message().contains(QStringLiteral("is not installed")))
                GTEST_SKIP() << e.message().toStdString();
            if (runningUnderWine() && QLatin1String(GetParam()) == QLatin1String("SQLiteODBC"))
                GTEST_SKIP() << kWineOdbcPathReason << e.message().toStdString();
            throw;
        }
    }
};

TEST_P(FileConnectionTest, MissingDatabaseFileFailsNamesTheFileAndIsNotCreated)
{
    TestDatabase db;
    const QString missing = db.folder() + QStringLiteral("/no such.db");
    Connection connection;
    connection.setConnectionString(connectionStringFor(missing));
    try {
        connection.open();
        FAIL() << "opened a missing file";
    } catch (const DbError& e) {
        if (e.message().contains(QStringLiteral("is not installed")))
            GTEST_SKIP() << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(missing)) << e.message().toStdString();
    }
    EXPECT_FALSE(connection.isOpen());
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_P(FileConnectionTest, OpensAFileWhoseNameNeedsEscapingInAUri)
{
    TestDatabase db;
#ifdef _WIN32
    const QString odd = db.folder() + QStringLiteral("/a b#1%20&x=1.db"); // Windows allows no '?' in a name
#else
    const QString odd = db.folder() + QStringLiteral("/a b#1%20?.db");
#endif
    ASSERT_TRUE(QFile::copy(db.path(), odd));
    Connection connection;
    openOrSkip(connection, odd);
    if (IsSkipped())
        return;
    Dataset ds(connection);
    ds.setSql(QStringLiteral("SELECT COUNT(*) FROM SYS.TABLES WHERE Name = 'Client'"));
    ds.open();
    EXPECT_EQ(ds.field(0).asInteger(), 1);
}

INSTANTIATE_TEST_SUITE_P(Providers, FileConnectionTest, ::testing::Values("SQLite", "SQLiteODBC"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

class FunctionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        connection.setConnectionString(db.connectionString());
        connection.open();
    }

    // The function applied to the value, as text; "NULL" for null.
    QString call(const char* function, const QVariant& value)
    {
        Dataset ds(connection);
        ds.setSql(QStringLiteral("SELECT %1(:value)").arg(QLatin1String(function)));
        ds.setParam(QStringLiteral("value"), value);
        ds.open();
        return ds.field(0).isNull() ? QStringLiteral("NULL") : ds.field(0).asString();
    }

    TestDatabase db;
    Connection connection;
};

TEST_F(FunctionTest, SoundexFollowsSqlServer)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Robert", "R163"},
        {"Rupert", "R163"},
        {"Ashcraft", "A261"},
        {"Tymczak", "T522"},
        {"Pfister", "P236"},
        {"smith", "S530"},
        {"Smythe", "S530"},
        {"Lee", "L000"},
        {"Jo", "J000"},
        {"Gutierrez", "G362"},
        {"Lloyd-Jones", "L300"},
        {"123", "0000"},
        {"", ""},
        // Letters beyond ASCII: a letter that carries no code, like a vowel.
        {"Müller", "M460"},
        {"Muller", "M460"},
        {"Émile", "É540"},
        {"ÉMILE", "É540"},
        {"Ngô Bảo", "N200"},
    };
    for (const auto& [text, code] : cases)
        EXPECT_EQ(call("SOUNDEX", QString::fromUtf8(text)), QString::fromUtf8(code)) << text;
    EXPECT_EQ(call("soundex", QVariant()), QStringLiteral("NULL"));
}

TEST_F(FunctionTest, OnlyNumericCharsKeepsTheDigits)
{
    EXPECT_EQ(call("dbo.onlyNumericChars", QStringLiteral("(04) 12-345 678")), QStringLiteral("0412345678"));
    EXPECT_EQ(call("onlyNumericChars", QStringLiteral("none")), QString());
    EXPECT_EQ(call("onlyNumericChars", 4711), QStringLiteral("4711"));
    EXPECT_EQ(call("onlyNumericChars", QVariant()), QStringLiteral("NULL"));
    EXPECT_EQ(call("onlyNumericChars", QStringLiteral("日 04½12 ٣")), QStringLiteral("0412"));
    EXPECT_EQ(call("onlyNumericChars", QStringLiteral("0123456789 ").repeated(20)),
              QStringLiteral("0123456789").repeated(20));
}

// The embedded engine's BINARY_CHECKSUM tells rows apart by every value, its type and its place:
// what a merge's record keeps to know a row it moved is still as it left it.
TEST_F(FunctionTest, BinaryChecksumTellsValuesTheirTypesAndTheirOrderApart)
{
    const auto sum = [&](const char* values) {
        Dataset ds(connection);
        ds.setSql(QStringLiteral("SELECT BINARY_CHECKSUM(%1)").arg(QLatin1String(values)));
        ds.open();
        return ds.field(0).asString();
    };
    EXPECT_EQ(sum("1, 'Ann', NULL, 2.5"), sum("1, 'Ann', NULL, 2.5"));
    const char* const others[]
        = {"1, 'ann', NULL, 2.5",     "'1', 'Ann', NULL, 2.5", "'Ann', 1, NULL, 2.5",  "1, 'Ann', '', 2.5",
           "1, 'Ann', NULL, 2.50001", "1, 'Ann', NULL",        "1, 'Ann ', NULL, 2.5", "1, X'416E6E', NULL, 2.5"};
    for (const char* other : others)
        EXPECT_NE(sum(other), sum("1, 'Ann', NULL, 2.5")) << other;
}

// KOLVIX_LOCK_WAIT bounds every wait for another program's lock; a value that is no whole
// number of seconds from 1 to 3600 is refused at once, naming the variable, never replaced by the
// default without a word.
TEST(ConnectionTest, TheLockWaitVariableIsTakenOnlyWithinItsRange)
{
    TestDatabase db;
    const QByteArray saved = qgetenv("KOLVIX_LOCK_WAIT");
    const bool wasSet = qEnvironmentVariableIsSet("KOLVIX_LOCK_WAIT");
    const std::pair<const char*, int> taken[] = {{"5", 5}, {" 3600 ", 3600}, {"1", 1}, {"", 60}};
    for (const auto& [value, seconds] : taken) {
        qputenv("KOLVIX_LOCK_WAIT", value);
        Connection connection;
        connection.setConnectionString(db.connectionString());
        EXPECT_NO_THROW(connection.open()) << value;
        EXPECT_EQ(connection.lockWaitLimit(), std::chrono::seconds(seconds)) << value;
    }
    for (const char* value : {"0", "-1", "abc", "3601", "99999999999", "5s", "2.5"}) {
        qputenv("KOLVIX_LOCK_WAIT", value);
        Connection connection;
        connection.setConnectionString(db.connectionString());
        try {
            connection.open();
            ADD_FAILURE() << "opened with KOLVIX_LOCK_WAIT=" << value;
        } catch (const DbError& e) {
            EXPECT_EQ(e.message(),
                      QStringLiteral("The environment variable KOLVIX_LOCK_WAIT is '%1': it must be a "
                                     "whole number of seconds from 1 to 3600, the longest the program "
                                     "waits for another program's lock on the database. Set it within "
                                     "that range, or remove it to wait up to 60 seconds.")
                          .arg(QString::fromLatin1(value)));
        }
        EXPECT_FALSE(connection.isOpen());
    }
    if (wasSet)
        qputenv("KOLVIX_LOCK_WAIT", saved);
    else
        qunsetenv("KOLVIX_LOCK_WAIT");
}

#ifdef Q_OS_UNIX
// A program that was changing the file and was killed leaves a hot journal: a read-only open
// (the history, the finder) has the engine roll it back once, then reads the file as it was.
TEST(ConnectionTest, AReadOnlyOpenRecoversTheJournalAKilledWriterLeft)
{
    TestDatabase db;
    db.exec("CREATE TABLE Filler (Text VARCHAR(100));"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
            "INSERT INTO Filler SELECT printf('%090d', i) FROM n;");
    const QString before = db.scalar("SELECT COUNT(*) || '|' || MAX(Text) FROM Filler");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A small cache makes the engine write changed pages into the file before the commit.
        sqlite3* writer = nullptr;
        sqlite3_open(db.path().toUtf8().constData(), &writer);
        sqlite3_exec(writer, "PRAGMA cache_size = 2; BEGIN; UPDATE Filler SET Text = 'changed';", nullptr, nullptr,
                     nullptr);
        _exit(0); // as a kill would: no commit, no rollback
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(QFileInfo(db.path() + QStringLiteral("-journal")).size() > 0) << "no hot journal was left";

    Connection reader;
    reader.setConnectionString(db.connectionString());
    reader.setReadOnly(true);
    ASSERT_NO_THROW(reader.open());
    Dataset ds(reader);
    ds.setSql(QStringLiteral("SELECT COUNT(*) || '|' || MAX(Text) FROM Filler"));
    ds.open();
    EXPECT_EQ(ds.field(0).asString(), before);
}
#endif

TEST(ConnectionStringTest, ReadsKeysInAnyCaseWithQuotedValues)
{
    const QString s
        = QStringLiteral("Provider=SQLOLEDB.1;Data Source= SRV1\\ZELVAN ;password=\"a;b\"\"c\";Integrated Security=;");
    EXPECT_EQ(connectionStringValue(s, QStringLiteral("provider")), QStringLiteral("SQLOLEDB.1"));
    EXPECT_EQ(connectionStringValue(s, QStringLiteral("Data Source")), QStringLiteral("SRV1\\ZELVAN"));
    EXPECT_EQ(connectionStringValue(s, QStringLiteral("Password")), QStringLiteral("a;b\"c"));
    EXPECT_EQ(connectionStringValue(s, QStringLiteral("Integrated Security")), QString());
    EXPECT_EQ(connectionStringValue(s, QStringLiteral("Initial Catalog")), QString());
}

struct OdbcCase
{
    const char* name;
    const char* connectionString;
    const char* driver;
    const char* expected;
};

void PrintTo(const OdbcCase& c, std::ostream* os)
{
    *os << c.name;
}

class OdbcStringTest : public ::testing::TestWithParam<OdbcCase>
{
};

TEST_P(OdbcStringTest, Translates)
{
    const OdbcCase& c = GetParam();
    EXPECT_EQ(odbcConnectionString(QString::fromUtf8(c.connectionString), QString::fromUtf8(c.driver)).toStdString(),
              c.expected);
}

#define KOLVIX_STANDARD                                                                                                \
    "Provider=SQLOLEDB.1;Persist Security Info=False;Use Procedure for Prepare=1;Auto Translate=True;"                 \
    "Packet Size=4096;Initial Catalog=Zelvan;"
#define KOLVIX_LOGIN "User ID=sa;Password=Vq7rLm2xT;Workstation ID=PC01;Integrated Security=;"

INSTANTIATE_TEST_SUITE_P(
    Cases, OdbcStringTest,
    ::testing::Values(
        OdbcCase {"NamedInstanceFreeTds", KOLVIX_STANDARD "Data Source=.\\ZELVAN;" KOLVIX_LOGIN, "FreeTDS",
                  "DRIVER={FreeTDS};Server=localhost\\ZELVAN;Database=Zelvan;UID=sa;PWD=Vq7rLm2xT;WSID=PC01;"
                  "TDS_Version=7.4;ClientCharset=UTF-8;"},
        OdbcCase {"NamedInstanceMicrosoft", KOLVIX_STANDARD "Data Source=SRV1\\ZELVAN;" KOLVIX_LOGIN,
                  "ODBC Driver 17 for SQL Server",
                  "DRIVER={ODBC Driver 17 for SQL Server};Server=SRV1\\ZELVAN;Database=Zelvan;UID=sa;PWD=Vq7rLm2xT;"
                  "WSID=PC01;"},
        OdbcCase {"PortFreeTds", KOLVIX_STANDARD "Data Source=10.0.0.5,1433;" KOLVIX_LOGIN, "FreeTDS",
                  "DRIVER={FreeTDS};Server=10.0.0.5;Port=1433;Database=Zelvan;UID=sa;PWD=Vq7rLm2xT;WSID=PC01;"
                  "TDS_Version=7.4;ClientCharset=UTF-8;"},
        OdbcCase {"PortMicrosoft", KOLVIX_STANDARD "Data Source=10.0.0.5,1433;" KOLVIX_LOGIN,
                  "ODBC Driver 17 for SQL Server",
                  "DRIVER={ODBC Driver 17 for SQL Server};Server=10.0.0.5,1433;Database=Zelvan;UID=sa;PWD=Vq7rLm2xT;"
                  "WSID=PC01;"},
        OdbcCase {"LocalDefaultInstanceEmptyPassword",
                  "Provider=SQLOLEDB.1;Initial Catalog=Zelvan;Data Source=(local);User ID=SA;Password=;Workstation "
                  "ID=PC01;",
                  "FreeTDS",
                  "DRIVER={FreeTDS};Server=localhost;Database=Zelvan;UID=SA;PWD=;WSID=PC01;TDS_Version=7.4;"
                  "ClientCharset=UTF-8;"},
        OdbcCase {"EmptyDataSourceIsThisComputer",
                  "Provider=SQLOLEDB.1;Initial Catalog=Zelvan;Data Source=;User ID=SA;", "FreeTDS",
                  "DRIVER={FreeTDS};Server=localhost;Database=Zelvan;UID=SA;PWD=;TDS_Version=7.4;ClientCharset=UTF-8;"},
        OdbcCase {"TcpIpMicrosoft", KOLVIX_STANDARD "Data Source=SRV1;" KOLVIX_LOGIN "Network Library=dbmssocn;",
                  "SQL Server Native Client 11.0",
                  "DRIVER={SQL Server Native Client 11.0};Server=SRV1;Database=Zelvan;UID=sa;PWD=Vq7rLm2xT;WSID=PC01;"
                  "Network=DBMSSOCN;"},
        OdbcCase {"TcpIpFreeTdsNeedsNothing",
                  KOLVIX_STANDARD "Data Source=SRV1;" KOLVIX_LOGIN "Network Library=dbmssocn;", "FreeTDS",
                  "DRIVER={FreeTDS};Server=SRV1;Database=Zelvan;UID=sa;PWD=Vq7rLm2xT;WSID=PC01;TDS_Version=7.4;"
                  "ClientCharset=UTF-8;"},
        OdbcCase {"DriverEighteenDoesNotDemandEncryption",
                  "Initial Catalog=Zelvan;Data Source=SRV1;User ID=sa;Password=x;", "ODBC Driver 18 for SQL Server",
                  "DRIVER={ODBC Driver 18 for SQL Server};Server=SRV1;Database=Zelvan;UID=sa;PWD=x;Encrypt=no;"},
        OdbcCase {
            "BracesSpecialValues", "Initial Catalog=Zel;van;Data Source=SRV1;User ID=sa;Password=\"p;w{x} \";",
            "FreeTDS",
            "DRIVER={FreeTDS};Server=SRV1;Database=Zel;UID=sa;PWD={p;w{x}} };TDS_Version=7.4;ClientCharset=UTF-8;"},
        OdbcCase {"IntegratedSecurityMicrosoft",
                  "Initial Catalog=Zelvan;Data Source=SRV1;User ID=;Integrated Security=SSPI;",
                  "ODBC Driver 17 for SQL Server",
                  "DRIVER={ODBC Driver 17 for SQL Server};Server=SRV1;Database=Zelvan;Trusted_Connection=Yes;"}),
    [](const ::testing::TestParamInfo<OdbcCase>& info) { return std::string(info.param.name); });

TEST(OdbcOptionsTest, CarryLoginTimeoutAndPacketSize)
{
    EXPECT_EQ(odbcConnectOptions(QStringLiteral(KOLVIX_STANDARD "Data Source=SRV1;"), 5),
              QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=5;SQL_ATTR_PACKET_SIZE=4096"));
    EXPECT_EQ(odbcConnectOptions(QStringLiteral("Data Source=SRV1;Packet Size=;"), 2),
              QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=2"));
}

TEST(OdbcDriverTest, PrefersTheNewestMicrosoftDriverThenFreeTds)
{
    const QString v17 = QStringLiteral("ODBC Driver 17 for SQL Server");
    const QString v18 = QStringLiteral("ODBC Driver 18 for SQL Server");
    const QString freeTds = QStringLiteral("FreeTDS");
    const QString sqlite = QStringLiteral("SQLite3");
    EXPECT_EQ(chooseSqlServerOdbcDriver({freeTds, v17, sqlite, v18}), v18);
    EXPECT_EQ(chooseSqlServerOdbcDriver({freeTds, QStringLiteral("SQL Server"), sqlite}), QStringLiteral("SQL Server"));
    EXPECT_EQ(chooseSqlServerOdbcDriver({sqlite, QStringLiteral("freetds")}), QStringLiteral("freetds"));
    EXPECT_EQ(chooseSqlServerOdbcDriver({sqlite}), QString());
}

TEST(SqliteOdbcDriverTest, TakesTheLinuxOrTheWindowsNameOfTheDriver)
{
    const QString v18 = QStringLiteral("ODBC Driver 18 for SQL Server");
    EXPECT_EQ(chooseSqliteOdbcDriver({v18, QStringLiteral("SQLite3")}), QStringLiteral("SQLite3"));
    EXPECT_EQ(chooseSqliteOdbcDriver({QStringLiteral("SQLite3 ODBC Driver"), v18}),
              QStringLiteral("SQLite3 ODBC Driver"));
    EXPECT_EQ(chooseSqliteOdbcDriver({QStringLiteral("sqlite3")}), QStringLiteral("sqlite3"));
    EXPECT_EQ(chooseSqliteOdbcDriver({QStringLiteral("SQLite ODBC Driver"), v18}), QString())
        << "the SQLite 2 driver cannot open the files";
    EXPECT_EQ(chooseSqliteOdbcDriver({}), QString());
}

TEST(SqlServerConnectionTest, UnreachableServerFailsWithTheDriversMessage)
{
    if (sqlServerOdbcDriver().isEmpty())
        GTEST_SKIP() << "no SQL Server ODBC driver is installed";
    Connection connection;
    connection.setConnectTimeout(2);
    connection.setConnectionString(
        QStringLiteral(KOLVIX_STANDARD "Data Source=127.0.0.1,1;User ID=sa;Password=x;Workstation ID=PC01;"));
    try {
        connection.open();
        FAIL() << "connected to port 1";
    } catch (const DbError& e) {
        EXPECT_FALSE(e.message().isEmpty());
        std::cout << "driver message: " << e.message().toStdString() << "\n";
    }
    EXPECT_FALSE(connection.isOpen());
    EXPECT_FALSE(connection.isEmbedded());
}

#ifdef Q_OS_UNIX
// A server that takes the TCP connection and never answers: the login time-out ends the open.
TEST(SqlServerConnectionTest, SilentServerFailsAfterTheLoginTimeout)
{
    if (sqlServerOdbcDriver().isEmpty())
        GTEST_SKIP() << "no SQL Server ODBC driver is installed";
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);

    Connection connection;
    connection.setConnectTimeout(2);
    connection.setConnectionString(
        QStringLiteral(KOLVIX_STANDARD "Data Source=127.0.0.1,%1;User ID=sa;Password=x;").arg(ntohs(address.sin_port)));
    EXPECT_THROW(connection.open(), DbError);
    EXPECT_FALSE(connection.isOpen());
    close(listener);
}
#endif

} // namespace
} // namespace kolvix::test
