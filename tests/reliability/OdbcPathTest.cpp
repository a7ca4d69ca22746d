// The merge through Qt's ODBC driver, the code path that serves SQL Server (parameter
// binding, rows affected, transactions, date-time binding, the driver's error texts), run
// against a SQLite file through the SQLite ODBC driver (provider SQLiteODBC). Outcomes must
// be those of the embedded engine.

#include "support/QtPrinting.h"

#include "accounts/AccountMergeModel.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "merge/LeftBehind.h"
#include "support/MergeFixture.h"
#include "support/Wine.h"

#include <QDate>

namespace kolvix::test {
namespace {

const QString kNewName = QStringLiteral("Zoë O'Brien 日本");

class OdbcPathTest : public MergeFixture
{
protected:
    void SetUp() override
    {
        MergeFixture::SetUp();
        connection.close();
        connection.setConnectionString(QStringLiteral("Provider=SQLiteODBC;Data Source=%1;").arg(db.path()));
        try {
            connection.open();
        } catch (const DbError& e) {
            if (e.message().contains(QStringLiteral("is not installed")))
                GTEST_SKIP() << e.message().toStdString();
            if (runningUnderWine())
                GTEST_SKIP() << kWineOdbcPathReason << e.message().toStdString();
            throw;
        }
        ui.onEditAccounts = [](AccountMergeModel& model) {
            model.rowForAccount(2)->newName = kNewName;
            return model.accept().isEmpty();
        };
    }

    // The same merge on the embedded engine, on an identical database: its steps and the
    // tables it leaves (Audit aside), and its Audit row without the time.
    struct Reference
    {
        QStringList steps;
        QMap<QString, QStringList> tables;
        QString audit;
    };
    Reference embeddedMerge(bool useRollback)
    {
        TestDatabase other;
        EXPECT_EQ(mergeExampleCopy(ui, other, {}, useRollback), MergeOutcome::Merged);
        other.exec(kForgetRowChecks); // the ODBC driver's engine has no BINARY_CHECKSUM
        Reference reference {ui.steps, other.snapshot(kStampedTables), other.scalar(kAudit)};
        ui.steps.clear();
        ui.shown.clear();
        return reference;
    }

    static inline const QString kAudit
        = QStringLiteral("SELECT UserName || '|' || Action || '|' || Comment || '|' || Report FROM Audit");
};

TEST_F(OdbcPathTest, TheProviderKeepsTheSqliteDialectAndGoesThroughOdbc)
{
    EXPECT_TRUE(connection.isEmbedded());
    EXPECT_TRUE(connection.usesOdbc());
    EXPECT_EQ(connection.database().driverName(), QStringLiteral("QODBC"));

    // The catalogue query of the embedded engine runs through the ODBC driver.
    db.exec("CREATE TABLE LoyaltyPoints (LoyaltyPointsID INTEGER PRIMARY KEY, ClientID INTEGER);"
            "INSERT INTO LoyaltyPoints (ClientID) VALUES (812), (812), (57);");
    const auto notMoved = tablesNotMoved(session->dsTemp, 812);
    ASSERT_EQ(notMoved.size(), 1u);
    EXPECT_EQ(notMoved[0], std::make_pair(QStringLiteral("LoyaltyPoints"), 2));

    // A missing file is not created.
    Connection missing;
    missing.setConnectionString(QStringLiteral("Provider=sqliteodbc;Data Source=%1/none.db;").arg(db.folder()));
    EXPECT_THROW(missing.open(), DbError);
    EXPECT_FALSE(QFile::exists(db.folder() + QStringLiteral("/none.db")));
}

class OdbcMergeTest : public OdbcPathTest, public ::testing::WithParamInterface<bool>
{
};

// Param: Use Rollback.
TEST_P(OdbcMergeTest, TheExampleMergeEndsAsOnTheEmbeddedEngine)
{
    const Reference reference = embeddedMerge(GetParam());
    session->UseRollback = GetParam();
    ASSERT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(ui.shown, QStringList {"Information: Clients have been successfully merged."});
    // Rows affected, step by step, as the embedded engine counts them.
    EXPECT_EQ(ui.steps, reference.steps);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM KolvixMergeRow WHERE RowCheck IS NOT NULL"), 0);
    EXPECT_EQ(db.snapshot(kStampedTables), reference.tables);
    EXPECT_EQ(db.scalar("SELECT ShortDescription FROM Account WHERE ClientID = 57 AND AccountID = 2"), kNewName);

    // The Audit row's values were bound with their types: text, a date-time and a boolean.
    EXPECT_EQ(db.scalar(kAudit), reference.audit);
    Dataset audit(connection);
    audit.setSql(QStringLiteral("SELECT AuditDateTime FROM Audit"));
    audit.open();
    ASSERT_EQ(audit.recordCount(), 1);
    EXPECT_EQ(audit.field(0).asDateTime().date(), QDate::currentDate());
}

INSTANTIATE_TEST_SUITE_P(UseRollback, OdbcMergeTest, ::testing::Bool());

TEST_F(OdbcPathTest, AFailureRollsBackWithTheDriversMessage)
{
    db.exec("CREATE TRIGGER fail BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ABORT, 'quotes are locked'); END;");
    const auto before = db.snapshot(kStampedTables);
    ASSERT_EQ(merge(), MergeOutcome::Failed);
    ASSERT_EQ(ui.shown.size(), 2);
    EXPECT_TRUE(ui.shown[0].startsWith("Kolvix Utility: doADOCommand: ")) << ui.shown[0].toStdString();
    EXPECT_TRUE(ui.shown[0].contains("quotes are locked")) << ui.shown[0].toStdString();
    EXPECT_EQ(ui.shown[1], "Warning: Some data could not be transferred.\nPatient details have been reverted.");
    // The steps before Quotes had moved rows; the rollback took them back.
    EXPECT_TRUE(ui.steps.contains("23 Documents 1")) << ui.steps.join('\n').toStdString();
    EXPECT_EQ(db.snapshot(kStampedTables), before);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Audit"), 1);

    // The connection stays usable: the next merge, without the trigger, goes through.
    db.exec("DROP TRIGGER fail");
    ui.shown.clear();
    EXPECT_EQ(merge(), MergeOutcome::Merged) << ui.shown.join('\n').toStdString();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Quotes WHERE ClientID = 57"), 1);
}

} // namespace
} // namespace kolvix::test
