// Datasets and commands: reading rows and typed values, parameters, adding rows, transactions
// and the messages of failures. Every test runs on both data-access paths over the same SQLite
// file: the embedded engine (provider SQLite) and Qt's ODBC driver, the path that serves SQL
// Server, through the SQLite ODBC driver (provider SQLiteODBC; skipped where that driver is
// not installed).

#include "db/Dataset.h"
#include "db/Command.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace kolvix::test {
namespace {

class DatasetTest : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        db.exec(QStringLiteral(R"SQL(
INSERT INTO Client (ClientID, Name, Surname, Active, ReferredByID, DateOfBirth, PXAccess) VALUES
  (1, 'Ann', 'Smith', 'T', NULL, '1980-02-29 00:00:00', 1),
  (2, 'Bob', 'Smithers', 'T', 1, NULL, 0),
  (3, NULL, 'Jones', 'F', 1, '1990-07-04 13:45:10', NULL);
INSERT INTO PXClientForgotPassword (ClientID, ExpiryDate, Activated) VALUES
  (1, '2026-01-15 17:30:00', 0), (1, '2026-01-14 23:00:00', 0), (1, '2026-02-01 00:00:00', 1);
)SQL"));
        connection.setConnectionString(
            QStringLiteral("Provider=%1;Data Source=%2;").arg(QString::fromLatin1(GetParam()), db.path()));
        try {
            connection.open();
        } catch (const DbError& e) {
            if (e.message().contains(QStringLiteral("is not installed")))
                GTEST_SKIP() << e.message().toStdString();
            throw;
        }
    }

    bool viaOdbc() const { return connection.usesOdbc(); }

    int execute(const QString& sql)
    {
        Command cmd(connection, 60);
        cmd.setCommandText(sql);
        return cmd.execute();
    }

    // The message of the DbError that f throws; empty when it throws none.
    template <typename F> static QString dbErrorOf(F&& f)
    {
        try {
            f();
        } catch (const DbError& e) {
            return e.message();
        }
        return QString();
    }

    TestDatabase db;
    Connection connection;
};

TEST_P(DatasetTest, FetchesAllRowsAndReadsColumnsByNameInAnyCase)
{
    Dataset ds(connection);
    ds.setSql(QStringLiteral(
        "SELECT ClientID, Surname AS [Family Name] FROM Client WHERE Surname LIKE :Pattern ORDER BY ClientID"));
    ds.setParam(QStringLiteral("pattern"), QStringLiteral("smi%"));
    ds.open();
    ASSERT_TRUE(ds.isOpen());
    EXPECT_EQ(ds.recordCount(), 2);
    EXPECT_EQ(ds.fieldNames(), (QStringList {QStringLiteral("ClientID"), QStringLiteral("Family Name")}));
    QStringList seen;
    for (ds.first(); !ds.eof(); ds.next())
        seen << ds.field(QStringLiteral("clientid")).asString() + QLatin1Char(':')
                + ds.field(QStringLiteral("FAMILY NAME")).asString();
    EXPECT_EQ(seen, (QStringList {QStringLiteral("1:Smith"), QStringLiteral("2:Smithers")}));
    // The rows can be walked again.
    ds.first();
    EXPECT_EQ(ds.field(0).asInteger(), 1);
}

TEST_P(DatasetTest, MissingColumnAndMissingRowFailWithAMessage)
{
    Dataset ds(connection);
    ds.setSql(QStringLiteral("SELECT ClientID FROM Client WHERE ClientID = 1"));
    ds.open();
    EXPECT_TRUE(
        dbErrorOf([&] { ds.field(QStringLiteral("Nope")); }).contains(QStringLiteral("Field 'Nope' not found")));
    ds.next();
    EXPECT_FALSE(dbErrorOf([&] { ds.field(0); }).isEmpty());
}

TEST_P(DatasetTest, EmptyResultKeepsItsColumns)
{
    Dataset ds(connection);
    ds.setSql(QStringLiteral("SELECT TOP 0 * FROM PatientSearch"));
    ds.open();
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_TRUE(ds.eof());
    EXPECT_TRUE(ds.hasField(QStringLiteral("BPayRefNo")));
    EXPECT_TRUE(ds.hasField(QStringLiteral("ShortDescription")));
}

TEST_P(DatasetTest, ParametersBindByNameOrPositionAndRepeatAtEveryUse)
{
    Dataset ds(connection);
    ds.setSql(
        QStringLiteral("SELECT COUNT(*) FROM Client WHERE ClientID = :id OR ReferredByID = :ID OR Surname = :name"));
    EXPECT_EQ(ds.paramNames(), (QStringList {QStringLiteral("id"), QStringLiteral("name")}));
    ds.setParamAt(0, 1);
    ds.setParamAt(1, QStringLiteral("Nobody"));
    ds.open();
    EXPECT_EQ(ds.field(0).asInteger(), 3); // client 1 and the two it referred

    // A new text keeps the values of the parameters it still names.
    ds.setSql(QStringLiteral("SELECT COUNT(*) FROM Client WHERE ReferredByID = :id"));
    ds.open();
    EXPECT_EQ(ds.field(0).asInteger(), 2);

    EXPECT_FALSE(dbErrorOf([&] { ds.setParam(QStringLiteral("other"), 1); }).isEmpty());
    EXPECT_FALSE(dbErrorOf([&] { ds.setParamAt(1, 1); }).isEmpty());
}

TEST_P(DatasetTest, ReadsNullsDatesAndBooleansAsStored)
{
    Dataset ds(connection);
    ds.setSql(QStringLiteral("SELECT Name, DateOfBirth, PXAccess, ReferredByID FROM Client ORDER BY ClientID"));
    ds.open();
    EXPECT_EQ(ds.field(QStringLiteral("DateOfBirth")).asDateTime(), QDateTime(QDate(1980, 2, 29), QTime(0, 0)));
    EXPECT_TRUE(ds.field(QStringLiteral("PXAccess")).asBoolean());
    EXPECT_TRUE(ds.field(QStringLiteral("ReferredByID")).isNull());
    ds.next();
    EXPECT_FALSE(ds.field(QStringLiteral("PXAccess")).asBoolean());
    EXPECT_FALSE(ds.field(QStringLiteral("DateOfBirth")).asDateTime().isValid());
    ds.next();
    const Field name = ds.field(QStringLiteral("Name"));
    EXPECT_TRUE(name.isNull());
    EXPECT_EQ(name.asString(), QString());
    EXPECT_EQ(name.asInteger(), 0);
    EXPECT_FALSE(name.asBoolean());
    EXPECT_FALSE(ds.field(QStringLiteral("PXAccess")).asBoolean());
    EXPECT_EQ(ds.field(QStringLiteral("DateOfBirth")).asDateTime(), QDateTime(QDate(1990, 7, 4), QTime(13, 45, 10)));
}

TEST(FieldTest, ConvertsValuesOfEveryKind)
{
    struct Row
    {
        QVariant value;
        int integer;
        bool boolean;
    };
    const Row rows[] = {
        {QVariant(qlonglong(42)), 42, true},
        {QVariant(0), 0, false},
        {QVariant(true), 1, true},
        {QVariant(2.6), 3, true},
        {QVariant(QStringLiteral(" 17 ")), 17, true},
        {QVariant(QStringLiteral("0")), 0, false},
        {QVariant(QStringLiteral("T")), 0, true},
        {QVariant(QStringLiteral("F")), 0, false},
        {QVariant(QStringLiteral("abc")), 0, false},
        {QVariant(), 0, false},
    };
    for (const Row& row : rows) {
        const Field field(row.value);
        EXPECT_EQ(field.asInteger(), row.integer) << row.value.toString().toStdString();
        EXPECT_EQ(field.asBoolean(), row.boolean) << row.value.toString().toStdString();
    }
    const QDateTime moment(QDate(2026, 1, 15), QTime(9, 5, 3));
    EXPECT_EQ(Field(QVariant(moment)).asDateTime(), moment);
    EXPECT_EQ(Field(QStringLiteral("2026-01-15 09:05:03")).asDateTime(), moment);
    EXPECT_EQ(Field(QStringLiteral("2026-01-15 09:05:03.250")).asDateTime(), moment.addMSecs(250));
    EXPECT_EQ(Field(QStringLiteral("2026-01-15")).asDateTime(), QDateTime(QDate(2026, 1, 15), QTime(0, 0)));
    EXPECT_FALSE(Field(QStringLiteral("not a date")).asDateTime().isValid());
}

TEST_P(DatasetTest, DateTimeParametersCompareWithStoredText)
{
    Dataset ds(connection);
    ds.setSql(
        QStringLiteral("SELECT COUNT(*) FROM PXClientForgotPassword WHERE ExpiryDate > :since AND Activated = :done"));
    ds.setParam(QStringLiteral("since"), QDateTime(QDate(2026, 1, 15), QTime(0, 0)));
    ds.setParam(QStringLiteral("done"), false);
    ds.open();
    EXPECT_EQ(ds.field(0).asInteger(), 1);
}

TEST_P(DatasetTest, PostInsertsTheNewRowIntoTheQueriedTable)
{
    Dataset audit(connection);
    audit.setSql(QStringLiteral("SELECT TOP 1 *\r\nFROM Audit"));
    audit.open();
    audit.append();
    audit.setFieldValue(QStringLiteral("AuditDateTime"), QDateTime(QDate(2026, 1, 15), QTime(9, 5, 3, 480)));
    audit.setFieldValue(QStringLiteral("UserName"), QStringLiteral("MERGE"));
    audit.setFieldValue(QStringLiteral("Action"), QStringLiteral("Merge 812 > 57 (O'Brien, Ann > Smith, Ann)"));
    audit.setFieldValue(QStringLiteral("Comment"), QString());
    audit.setFieldValue(QStringLiteral("Report"), false);
    audit.post();
    EXPECT_FALSE(audit.isAppending());
    // The embedded engine stores whole seconds, as the product's dates are written; the SQLite
    // ODBC driver writes the time stamp it is bound with, milliseconds included (as SQL Server
    // keeps them).
    const QString stamp = viaOdbc() ? QStringLiteral("2026-01-15 09:05:03.480") : QStringLiteral("2026-01-15 09:05:03");
    EXPECT_EQ(
        db.scalar(QStringLiteral("SELECT AuditID || '|' || AuditDateTime || '|' || UserName || '|' || Action || '|' "
                                 "|| Comment || '|' || Report || '|' || typeof(Report) FROM Audit")),
        QStringLiteral("1|%1|MERGE|Merge 812 > 57 (O'Brien, Ann > Smith, Ann)||0|integer").arg(stamp));
}

TEST_P(DatasetTest, CancelDropsTheNewRowAndAFailedPostKeepsItPending)
{
    Dataset account(connection);
    account.setSql(QStringLiteral("SELECT TOP 1 * FROM Account"));
    EXPECT_FALSE(dbErrorOf([&] { account.append(); }).isEmpty()); // closed
    account.open();

    account.append();
    account.setFieldValue(QStringLiteral("ClientID"), 1);
    account.setFieldValue(QStringLiteral("AccountID"), 0);
    account.cancel();
    EXPECT_FALSE(dbErrorOf([&] { account.post(); }).isEmpty());
    EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM Account")), 0);

    account.append();
    EXPECT_FALSE(dbErrorOf([&] { account.setFieldValue(QStringLiteral("NoSuchColumn"), 1); }).isEmpty());
    account.setFieldValue(QStringLiteral("AccountID"), 0); // ClientID is NOT NULL
    EXPECT_TRUE(dbErrorOf([&] { account.post(); }).contains(QStringLiteral("NOT NULL constraint failed")));
    EXPECT_TRUE(account.isAppending());
    account.cancel();
    EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM Account")), 0);
}

TEST_P(DatasetTest, CommandReportsRowsAffectedAndTheEnginesMessage)
{
    EXPECT_EQ(execute(QStringLiteral("UPDATE [Client] SET [ReferredByID]=2 WHERE [ReferredByID]=1")), 2);
    EXPECT_EQ(execute(QStringLiteral("UPDATE [Client] SET [ReferredByID]=2 WHERE [ReferredByID]=1")), 0);
    // The message is the driver's own: the engine's text, which the ODBC driver frames as
    // "[SQLite]<text> (<code>)".
    const auto driverMessage = [this](const char* text) {
        return viaOdbc() ? QStringLiteral("[SQLite]%1 (1)").arg(QLatin1String(text)) : QString::fromLatin1(text);
    };
    EXPECT_EQ(dbErrorOf([&] { execute(QStringLiteral("DELETE FROM NoSuchTable")); }),
              driverMessage("no such table: NoSuchTable"));

    Dataset ds(connection);
    ds.setSql(QStringLiteral("SELECT NoSuchColumn FROM Client"));
    EXPECT_EQ(dbErrorOf([&] { ds.open(); }), driverMessage("no such column: NoSuchColumn"));
    EXPECT_FALSE(ds.isOpen());
}

TEST_P(DatasetTest, RollbackUndoesAndCommitKeeps)
{
    connection.beginTransaction();
    EXPECT_TRUE(connection.inTransaction());
    execute(QStringLiteral("DELETE FROM Client WHERE ClientID = 3"));
    connection.rollbackTransaction();
    EXPECT_FALSE(connection.inTransaction());
    EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM Client")), 3);

    connection.beginTransaction();
    execute(QStringLiteral("DELETE FROM Client WHERE ClientID = 3"));
    connection.commitTransaction();
    EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM Client")), 2);

    // Outside a transaction the embedded engine refuses a rollback; ODBC's end of a transaction
    // in auto-commit mode is a no-op that changes nothing.
    if (viaOdbc())
        EXPECT_TRUE(dbErrorOf([&] { connection.rollbackTransaction(); }).isEmpty());
    else
        EXPECT_FALSE(dbErrorOf([&] { connection.rollbackTransaction(); }).isEmpty());
    EXPECT_EQ(db.count(QStringLiteral("SELECT COUNT(*) FROM Client")), 2);
}

// A statement waits for another connection's lock as long as its own time-out: one second is
// over before the 2 s notice, three seconds are not.
TEST_P(DatasetTest, StatementTimeoutBoundsTheWaitForALock)
{
    if (viaOdbc())
        GTEST_SKIP() << "through ODBC the time-out is the statement's query time-out, kept by the driver";
    int notices = 0;
    connection.setLockWaitNotice([&] { ++notices; });
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db.path().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Dataset ds(connection, 1);
    ds.setSql(QStringLiteral("SELECT COUNT(*) FROM Client"));
    EXPECT_EQ(dbErrorOf([&] { ds.open(); }), "database is locked");
    EXPECT_EQ(notices, 0);
    ds.setCommandTimeout(3);
    EXPECT_EQ(dbErrorOf([&] { ds.open(); }), "database is locked");
    EXPECT_EQ(notices, 1);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    ds.open();
    EXPECT_EQ(ds.field(0).asInteger(), 3);
}

INSTANTIATE_TEST_SUITE_P(Providers, DatasetTest, ::testing::Values("SQLite", "SQLiteODBC"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

} // namespace
} // namespace kolvix::test
