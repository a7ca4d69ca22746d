#include "merge/MergeFixture.h"

#include <QProcess>

using namespace kolvix;
using namespace kolvix::test;

namespace {

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// What the program printed, in the system's encoding; Windows ends the lines with CR LF.
QString printed(const QByteArray& bytes)
{
    return QString::fromLocal8Bit(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// Runs kolvix-merge on the test database with the settings of a file of its own, so that
// nothing is looked up in the user's folders.
class KolvixMergeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db.exec(QString::fromLatin1(kExamplePair));
        writeSettings("[Kolvix]\nUse Rollback=1\nLog=0\n");
    }

    void writeSettings(const QByteArray& text)
    {
        QFile file(settingsDir.filePath("kolvix.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    CliRun run(const QStringList& options, const QString& dataSource = {})
    {
        QStringList args = {"OldSettings=1", "gsUtilityIniName=" + settingsDir.filePath("kolvix.ini"),
                            "Provider=SQLite", "Data Source=" + (dataSource.isEmpty() ? db.path() : dataSource)};
        args << options;
        QProcess process;
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(QStringLiteral(KOLVIX_BINARY_DIR "/kolvix-merge"), args);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), printed(process.readAllStandardOutput()), printed(process.readAllStandardError())};
    }

    QTemporaryDir settingsDir;
    TestDatabase db;
};

TEST_F(KolvixMergeTest, BadUsageExits64WithOneLine)
{
    for (const QStringList& args :
         {QStringList {}, QStringList {"--from", "812"}, QStringList {"--from", "x", "--to", "1"},
          QStringList {"--from", "1", "--to", "2", "--frobnicate"},
          QStringList {"--from", "1", "--to", "2", "--map", "2=move:1"},
          QStringList {"--from", "1", "--to", "2", "stray"}}) {
        const CliRun r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    }
    EXPECT_EQ(run({"--help"}).exitCode, 0);
}

TEST_F(KolvixMergeTest, DiagnoseConnectsOrNamesTheServer)
{
    const CliRun ok = run({"--diagnose"});
    EXPECT_EQ(ok.exitCode, 0) << ok.out.toStdString();
    EXPECT_TRUE(ok.out.contains("Attempt 1 (mode 0): Provider=SQLite;"));
    EXPECT_TRUE(ok.out.contains("  connected"));
    EXPECT_TRUE(ok.out.contains("Use Rollback: on"));
    EXPECT_TRUE(ok.out.contains("Log: off"));

    const QString missing = settingsDir.filePath("missing.db");
    const CliRun bad = run({"--diagnose", "Password=secret"}, missing);
    EXPECT_EQ(bad.exitCode, 3);
    EXPECT_EQ(bad.out.count("Attempt "), 3);
    EXPECT_TRUE(bad.out.contains("Error: Unable to connect to the Zelvan database 'Zelvan' on '" + missing
                                 + "\\ZELVAN'.\n\nPlease check your connection properties."))
        << bad.out.toStdString();
    EXPECT_FALSE(bad.out.contains("secret"));
}

TEST_F(KolvixMergeTest, MergesTheExamplePair)
{
    const CliRun r = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("\n3  Transactions\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("  account 0 (Primary): merge into account 0 (Primary)\n"));
    EXPECT_TRUE(r.out.contains("  account 2 (WorkCover): add as new account 2 (WorkCover)\n"));
    EXPECT_TRUE(r.out.contains("Are you sure you want to merge the details of 'Sample, One' with 'Sample, Two'?"));
    EXPECT_TRUE(r.out.endsWith("Information: Clients have been successfully merged.\n"));
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 0);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Audit"), 1);
}

TEST_F(KolvixMergeTest, WithoutYesAndWithoutATerminalTheAnswerIsNo)
{
    const auto before = db.snapshot();
    const CliRun r = run({"--from", "812", "--to", "57"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(db.snapshot(), before);
}

TEST_F(KolvixMergeTest, RefusalsExit1)
{
    db.exec("UPDATE Client SET PXAccess = 1, PXVerified = 1, PXEmail = 'a@b.c' WHERE ClientID = 812");
    const CliRun r = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.startsWith("Warning: WARNING: The process of merging patient data cannot be reversed."));
    EXPECT_TRUE(r.out.contains("\nInformation: The client to be moved has WPX currently enabled"));
    EXPECT_EQ(run({"--from", "812", "--to", "4242", "--yes"}).exitCode, 64);
}

TEST_F(KolvixMergeTest, DryRunChangesNothingAndShowsEveryStep)
{
    db.exec("CREATE TABLE LoyaltyPoints (LoyaltyPointsID INTEGER PRIMARY KEY, ClientID INTEGER);"
            "INSERT INTO LoyaltyPoints (ClientID) VALUES (812), (812), (57);");
    const auto before = db.snapshot();
    const CliRun r = run({"--from", "812", "--to", "57", "--dry-run", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_EQ(db.snapshot(), before);
    EXPECT_TRUE(r.out.contains("Not moved: LoyaltyPoints (2 rows)\n"));
    EXPECT_FALSE(r.out.contains("Not moved: Account"));
    EXPECT_TRUE(r.out.contains("step  3 Trans: 2 rows would change\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("step 42 PXPendingClient: 2 rows would change\n"));

    db.exec("CREATE TRIGGER fail BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ABORT, 'quotes are locked'); END;");
    const auto withTrigger = db.snapshot();
    const CliRun failed = run({"--from", "812", "--to", "57", "--dry-run", "--yes"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(
        failed.out.contains("Warning: Some data could not be transferred.\nPatient details have been reverted."));
    EXPECT_EQ(db.snapshot(), withTrigger);
}

TEST_F(KolvixMergeTest, MapOverridesAndIsValidated)
{
    const auto before = db.snapshot();
    const CliRun inUse = run({"--from", "812", "--to", "57", "--yes", "--map", "2=add:medicare"});
    EXPECT_EQ(inUse.exitCode, 1);
    EXPECT_TRUE(inUse.out.contains("Information: The following issues were encountered with the proposed merge:\n\n"
                                   "The new name you entered for account 'WorkCover' is already in use.\n\n"
                                   "You will need to resolve these issues before continuing with the merge."))
        << inUse.out.toStdString();
    EXPECT_EQ(run({"--from", "812", "--to", "57", "--yes", "--map", "2=add: "}).exitCode, 1);
    EXPECT_EQ(run({"--from", "812", "--to", "57", "--yes", "--map", "5=merge:0"}).exitCode, 64);
    EXPECT_EQ(run({"--from", "812", "--to", "57", "--yes", "--map", "2=merge:9"}).exitCode, 64);
    EXPECT_EQ(db.snapshot(), before);

    const CliRun merged
        = run({"--from", "812", "--to", "57", "--yes", "--map", "2=merge:1", "--map", "0=add:Old Primary"});
    EXPECT_EQ(merged.exitCode, 0) << merged.out.toStdString();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 57 AND AccountID = 1"), 1);
    EXPECT_EQ(db.scalar("SELECT ShortDescription FROM Account WHERE ClientID = 57 AND AccountID = 2"), "Old Primary");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 57 AND AccountID = 2"), 2);
}

TEST_F(KolvixMergeTest, TheLockedPrimaryRowCannotBeMapped)
{
    db.exec("INSERT INTO Account (ClientID, AccountID, ShortDescription, GroupID) VALUES (300, 0, 'Primary', 812)");
    EXPECT_EQ(run({"--from", "812", "--to", "57", "--yes", "--map", "0=add:Other"}).exitCode, 64);
}

TEST_F(KolvixMergeTest, AFailedMergeExits2AndRollsBack)
{
    db.exec("CREATE TRIGGER fail BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ABORT, 'quotes are locked'); END;");
    const auto before = db.snapshot({"Audit"});
    const CliRun r = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.contains("Kolvix Utility: doADOCommand: quotes are locked"));
    EXPECT_EQ(db.snapshot({"Audit"}), before);
}

} // namespace
