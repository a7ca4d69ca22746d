#include "support/KolvixMergeProcess.h"
#include "support/MergeFixture.h"

#include "merge/MergeLock.h"
#include "platform/Platform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <sqlite3.h>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace kolvix;
using namespace kolvix::test;

namespace {

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

    QStringList arguments(const QStringList& options, const QString& dataSource = {}) const
    {
        return kolvixMergeArguments(settingsDir.filePath("kolvix.ini"), dataSource.isEmpty() ? db.path() : dataSource,
                                    options);
    }

    // Starts kolvix-merge without waiting for it.
    void start(QProcess& process, const QStringList& options, const QString& dataSource = {}) const
    {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(QStringLiteral(KOLVIX_BINARY_DIR "/kolvix-merge"), arguments(options, dataSource));
        process.closeWriteChannel();
    }

    static ProcessRun finish(QProcess& process)
    {
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), printedText(process.readAllStandardOutput()),
                printedText(process.readAllStandardError())};
    }

    ProcessRun run(const QStringList& options, const QString& dataSource = {})
    {
        return runKolvixMerge(arguments(options, dataSource));
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
          QStringList {"--from", "1", "--to", "2", "stray"}, QStringList {"--from", "812", "--to", "57", "--yes=no"},
          QStringList {"--from", "812", "--to", "57", "--yes", "--dry-run=0"},
          QStringList {"--from", "99999", "--from", "812", "--to", "57", "--yes"}}) {
        const auto before = db.snapshot();
        const ProcessRun r = run(args);
        EXPECT_EQ(r.exitCode, 64) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_EQ(db.snapshot(), before) << args.join(' ').toStdString();
    }
    EXPECT_EQ(run({"--help"}).exitCode, 0);
}

// Where the command line is bytes, an argument that is not UTF-8 would reach the database
// with replacement characters ("caf\uFFFD"); it is refused before anything happens.
TEST_F(KolvixMergeTest, ArgumentsThatAreNotUtf8AreBadUsage)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "a Windows command line is UTF-16 text: it cannot carry bytes that are not UTF-8";
#endif
    const auto before = db.snapshot();
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    // The shell's printf writes the byte 0xE9 (e-acute in Latin-1) into the argument.
    process.start(QStringLiteral("/bin/sh"),
                  QStringList {"-c", R"sh(exec "$0" "$@" --map "$(printf '2=add:caf\351')")sh",
                               QStringLiteral(KOLVIX_BINARY_DIR "/kolvix-merge")}
                      + arguments({"--from", "812", "--to", "57", "--yes"}));
    process.closeWriteChannel();
    const ProcessRun r = finish(process);
    EXPECT_EQ(r.exitCode, 64) << r.out.toStdString();
    EXPECT_EQ(r.err, "kolvix-merge: argument 11 is not valid UTF-8 text (see --help)\n");
    EXPECT_EQ(db.snapshot(), before);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Account WHERE ShortDescription LIKE 'caf%'"), 0);
}

// A check whose query failed passes on, as at the desktop where a person reads the box
// before answering; unattended, --yes does not carry the merge past it.
TEST_F(KolvixMergeTest, YesAnswersNoAfterAnErrorBox)
{
    db.exec("DROP TABLE PXClientForgotPassword");
    const auto before = db.snapshot();
    const ProcessRun r = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Kolvix Utility: doADOQuery: no such table: PXClientForgotPassword"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("(--yes) No: an error was reported before this question, so the merge does not go "
                               "on unattended\n"))
        << r.out.toStdString();
    EXPECT_EQ(db.snapshot(), before);
}

TEST_F(KolvixMergeTest, AMergeIsRefusedWhileAnotherHoldsTheMergeLock)
{
    Connection connection;
    connection.setConnectionString(db.connectionString());
    connection.open();
    FakePlatform platform;
    platform.computer = QStringLiteral("SURGERY2");
    MergeLock held(connection);
    ASSERT_TRUE(held.tryAcquire());
    const auto before = db.snapshot();
    const ProcessRun r = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.contains("\nInformation: Another merge is in progress: it was started on workstation "
                               "'SURGERY2' at "
                               + QDate::currentDate().toString(Qt::ISODate)))
        << r.out.toStdString();
    EXPECT_EQ(db.snapshot(), before);

    held.release();
    EXPECT_EQ(run({"--from", "812", "--to", "57", "--yes"}).exitCode, 0);
}

// A merge whose user has not yet answered the confirmation on the terminal holds the merge
// lock; a second merge meanwhile is refused, and the first goes on when answered.
TEST_F(KolvixMergeTest, ASecondMergeIsRefusedWhileTheFirstWaitsForItsConfirmation)
{
    if (QStandardPaths::findExecutable("script").isEmpty())
        GTEST_SKIP() << "script (util-linux) is needed to give the merge a terminal";
    db.exec("INSERT INTO Client (ClientID, Name, Surname) VALUES (300, 'Three', 'Sample');"
            "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (300, 0, 'Primary');");
    QString command = QStringLiteral("'" KOLVIX_BINARY_DIR "/kolvix-merge'");
    for (const QString& arg : arguments({"--from", "812", "--to", "57"}))
        command += " '" + arg + "'";
    QProcess first;
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start("script", {"-qec", command, "/dev/null"});
    ASSERT_TRUE(first.waitForStarted());
    QByteArray shown;
    QElapsedTimer timer;
    timer.start();
    while (!shown.contains("Yes/No? ") && timer.elapsed() < 20000 && first.state() == QProcess::Running) {
        first.waitForReadyRead(500);
        shown += first.readAll();
    }
    ASSERT_TRUE(shown.contains("Yes/No? ")) << shown.constData();

    // The lock is the database file's: every name of it meets the lock, also once the lock's
    // record beside it has been deleted.
    std::vector<std::pair<const char*, QString>> ways {{"the same path", db.path()}};
#ifdef Q_OS_UNIX
    // Links as any user can make them (on Windows a symbolic link needs a privilege).
    const QString symbolic = QFileInfo(db.path()).dir().filePath("symbolic.db");
    const QString hard = QFileInfo(db.path()).dir().filePath("hard.db");
    ASSERT_TRUE(QFile::link(db.path(), symbolic));
    ASSERT_EQ(::link(QFile::encodeName(db.path()).constData(), QFile::encodeName(hard).constData()), 0);
    ways.insert(ways.end(), {{"a symbolic link", symbolic}, {"a hard link", hard}});
#endif
    ways.emplace_back("a deleted record", db.path());
    const auto before = db.snapshot();
    for (const auto& [way, path] : ways) {
        SCOPED_TRACE(way);
        if (QLatin1String(way) == QLatin1String("a deleted record")) {
            ASSERT_TRUE(QFile::remove(MergeLock::lockFilePath(db.path())));
        }
        const ProcessRun second = run({"--from", "57", "--to", "300", "--yes"}, path);
        EXPECT_EQ(second.exitCode, 1);
        EXPECT_TRUE(second.out.contains("Information: Another merge is in progress")) << second.out.toStdString();
        EXPECT_EQ(db.snapshot(), before);
    }

    first.write("yes\n");
    ASSERT_TRUE(first.waitForFinished(30000));
    shown += first.readAll();
    EXPECT_EQ(first.exitCode(), 0) << shown.constData();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 0);
}

// Another program's connection that holds the database's write lock.
class WriteLockHolder
{
public:
    explicit WriteLockHolder(const QString& path)
    {
        sqlite3_open(path.toUtf8().constData(), &m_db);
        EXPECT_EQ(sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~WriteLockHolder()
    {
        release();
        sqlite3_close(m_db);
    }
    void release() { sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr); }

private:
    sqlite3* m_db = nullptr;
};

// A merge that waits for another connection's lock says so after 2 s and holds the merge
// lock meanwhile; killed while it waits, it leaves no lock behind.
TEST_F(KolvixMergeTest, AWaitingMergeSaysSoHoldsTheMergeLockAndLeavesNoneWhenKilled)
{
    db.exec("INSERT INTO Client (ClientID, Name, Surname) VALUES (300, 'Three', 'Sample');"
            "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (300, 0, 'Primary');");
    WriteLockHolder other(db.path());
    QProcess waiting;
    start(waiting, {"--from", "812", "--to", "57", "--yes"});
    ASSERT_TRUE(waiting.waitForStarted());
    QByteArray err;
    const QByteArray waitLine = "kolvix-merge: waiting for a lock held by another connection ...\n";
    QElapsedTimer timer;
    timer.start();
    while (!err.contains(waitLine) && timer.elapsed() < 20000 && waiting.state() == QProcess::Running) {
        waiting.waitForReadyRead(500);
        // Windows ends the printed lines with CR LF.
        err += waiting.readAllStandardError();
        err.replace("\r\n", "\n");
    }
    ASSERT_TRUE(err.contains(waitLine)) << err.constData();
    EXPECT_EQ(err.count('\n'), 1);

    const ProcessRun second = run({"--from", "57", "--to", "300", "--yes"});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.out.contains("Information: Another merge is in progress: it was started on workstation '"
                                    + platform().computerName() + "' at "))
        << second.out.toStdString();

    waiting.kill();
    waiting.waitForFinished(10000);
    other.release();
    EXPECT_TRUE(QFile::exists(MergeLock::lockFilePath(db.path())));
    const ProcessRun next = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(next.exitCode, 0) << next.out.toStdString();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 0);
}

// Merge A (812 into 57) and merge B (57 into 300) started close together, many times: the
// merges run one after the other or one is refused, and no client's record is ever split.
TEST_F(KolvixMergeTest, ChainedMergesStartedTogetherNeverSplitARecord)
{
    const int rounds = 12;
    int bothMerged = 0;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TestDatabase race;
        race.exec(QString::fromLatin1(kExamplePair));
        race.exec("INSERT INTO Client (ClientID, Name, Surname) VALUES (300, 'Three', 'Sample');"
                  "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (300, 0, 'Primary');"
                  "INSERT INTO Trans (ClientID, AccountID, Amount) VALUES (300, 0, 7);"
                  // 57 is no pending client here, so that either merge can come first.
                  "DELETE FROM PXPendingClient WHERE GuestClientID = 57;");
        QProcess a;
        QProcess b;
        QProcess& first = round % 2 ? b : a;
        QProcess& second = round % 2 ? a : b;
        const QStringList firstOptions = round % 2 ? QStringList {"--from", "57", "--to", "300", "--yes"}
                                                   : QStringList {"--from", "812", "--to", "57", "--yes"};
        const QStringList secondOptions = round % 2 ? QStringList {"--from", "812", "--to", "57", "--yes"}
                                                    : QStringList {"--from", "57", "--to", "300", "--yes"};
        start(first, firstOptions, race.path());
        QThread::msleep(unsigned((round / 2) % 6) * 20);
        start(second, secondOptions, race.path());
        const ProcessRun ra = finish(a);
        const ProcessRun rb = finish(b);
        ASSERT_TRUE(ra.exitCode == 0 || ra.exitCode == 1) << ra.out.toStdString();
        ASSERT_TRUE(rb.exitCode == 0 || rb.exitCode == 1) << rb.out.toStdString();

        // The transactions of each original client are all in one place.
        const QString ofOne
            = race.scalar("SELECT group_concat(DISTINCT ClientID) FROM Trans WHERE Amount IN (10, 11, 20)");
        const QString ofTwo = race.scalar("SELECT group_concat(DISTINCT ClientID) FROM Trans WHERE Amount = 5");
        EXPECT_FALSE(ofOne.contains(',')) << "split: " << ofOne.toStdString();
        EXPECT_FALSE(ofTwo.contains(',')) << "split: " << ofTwo.toStdString();
        if (ra.exitCode == 0) {
            EXPECT_NE(ofOne, "812");
        }
        if (rb.exitCode == 0) {
            EXPECT_EQ(ofTwo, "300");
        }
        if (ra.exitCode == 0 && rb.exitCode == 0) {
            ++bothMerged;
            // A then B moves everything to 300; B then A leaves A's rows on 57.
            EXPECT_TRUE(ofOne == "300" || ofOne == "57") << ofOne.toStdString();
        }
        if (ra.exitCode == 1) {
            EXPECT_TRUE(ra.out.contains("Another merge is in progress")
                        || ra.out.contains("The accounts of the clients changed"))
                << ra.out.toStdString();
        }
        if (rb.exitCode == 1) {
            EXPECT_TRUE(rb.out.contains("Another merge is in progress")
                        || rb.out.contains("The accounts of the clients changed"))
                << rb.out.toStdString();
        }
    }
    RecordProperty("both_merged", bothMerged);
}

TEST_F(KolvixMergeTest, DiagnoseConnectsOrNamesTheServer)
{
    const ProcessRun ok = run({"--diagnose"});
    EXPECT_EQ(ok.exitCode, 0) << ok.out.toStdString();
    EXPECT_TRUE(ok.out.contains("Attempt 1 (mode 0): Provider=SQLite;"));
    EXPECT_TRUE(ok.out.contains("  connected"));
    EXPECT_TRUE(ok.out.contains("Use Rollback: on"));
    EXPECT_TRUE(ok.out.contains("Log: off"));

    // A database file gets one attempt: the instance and administrator fallbacks mean nothing for it.
    const QString missing = settingsDir.filePath("missing.db");
    const ProcessRun bad = run({"--diagnose", "Password=secret"}, missing);
    EXPECT_EQ(bad.exitCode, 3);
    EXPECT_EQ(bad.out.count("Attempt "), 1);
    EXPECT_TRUE(bad.out.contains("Error: Unable to connect to the Zelvan database 'Zelvan' on '" + missing + "'.\n"
                                 + "The database file '" + missing + "' does not exist.\n\n"
                                 + "Please check your connection properties."))
        << bad.out.toStdString();
    EXPECT_FALSE(bad.out.contains("secret"));
}

// Runs kolvix-merge with exactly these arguments; as root, optionally as the user nobody.
ProcessRun runArguments(const QStringList& args, bool asNobody = false)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
#ifdef Q_OS_UNIX
    if (asNobody && geteuid() == 0)
        process.setChildProcessModifier([] {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(99);
        });
#else
    Q_UNUSED(asNobody);
#endif
    process.start(QStringLiteral(KOLVIX_BINARY_DIR "/kolvix-merge"), args);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000)) << args.join(' ').toStdString();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitCode(), printedText(process.readAllStandardOutput()),
            printedText(process.readAllStandardError())};
}

// The files the embedded engine cannot work on: one attempt, a line that says what is wrong
// with the file, exit code 3 before anything is read or written (a file that is no database
// fails here, not in the middle of the merge).
TEST_F(KolvixMergeTest, ADatabaseFileThatCannotServeFailsAtConnectWithExit3)
{
    const QString folder = settingsDir.filePath("folder.db");
    QDir().mkpath(folder);
    const QString text = settingsDir.filePath("notes.db");
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("These are notes, not a database; long enough for a database header.\n").repeated(4));
    }
    const struct
    {
        QString file;
        QString problem;
    } cases[] = {
        {settingsDir.filePath("missing.db"), "does not exist."},
        {folder, "is a directory, not a file."},
        {"/dev/zero", "is not a regular file (a device, a pipe or a socket)."},
        {text, "is not a database."},
    };
    for (const auto& c : cases) {
#ifndef Q_OS_UNIX
        if (c.file == "/dev/zero")
            continue; // no device files in the file system
#endif
        for (const QStringList& verb :
             {QStringList {"--from", "812", "--to", "57", "--yes"}, QStringList {"--diagnose"}}) {
            const ProcessRun r = run(verb, c.file);
            EXPECT_EQ(r.exitCode, 3) << c.file.toStdString() << r.out.toStdString() << r.err.toStdString();
            EXPECT_TRUE(r.out.contains("Error: Unable to connect to the Zelvan database 'Zelvan' on '" + c.file
                                       + "'.\nThe database file '" + c.file + "' " + c.problem + "\n\n"))
                << r.out.toStdString();
        }
    }
}

#ifdef Q_OS_UNIX
// A file or folder this user may only read: refused at connect, not at the first write.
TEST_F(KolvixMergeTest, AReadOnlyDatabaseFailsAMergeAtConnectWithExit3AndServesTheVerbsThatRead)
{
    QTemporaryDir dir;
    // As root the program runs as nobody, for whom root's folder and file are read-only.
    const bool root = geteuid() == 0;
    const auto before = db.snapshot();
    const struct
    {
        const char* name;
        QFile::Permissions file;
        QFile::Permissions folder;
        const char* problem;
    } cases[] = {
        {"file", QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther,
         QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther, "is read-only."},
        {"folder", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther,
         QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther, "is in a read-only folder."},
    };
    for (const auto& c : cases) {
        const QString folder = dir.filePath(c.name);
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString file = folder + "/zelvan.db";
        ASSERT_TRUE(QFile::copy(db.path(), file));
        ASSERT_TRUE(QFile::setPermissions(file, c.file));
        ASSERT_TRUE(QFile::setPermissions(folder, c.folder));
        ASSERT_TRUE(QFile::setPermissions(dir.path(),
                                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther));
        const ProcessRun r
            = runArguments({"OldSettings=1", "gsUtilityIniName=" + dir.filePath("none.ini"), "Provider=SQLite",
                            "Data Source=" + file, "--from", "812", "--to", "57", "--yes"},
                           root);
        EXPECT_EQ(r.exitCode, 3) << c.name << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("\nThe database file '" + file + "' " + c.problem + "\n")) << r.out.toStdString();
        // The verbs that only read serve all the same.
        for (const QStringList& verb : {QStringList {"--find", "Sample"}, QStringList {"--duplicates"}}) {
            const ProcessRun read
                = runArguments(QStringList {"OldSettings=1", "gsUtilityIniName=" + dir.filePath("none.ini"),
                                            "Provider=SQLite", "Data Source=" + file}
                                   + verb,
                               root);
            EXPECT_EQ(read.exitCode, 0) << c.name << verb.join(' ').toStdString() << read.out.toStdString()
                                        << read.err.toStdString();
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    EXPECT_EQ(db.snapshot(), before);
}
#endif

// Another program keeps the database locked: every verb waits with the usual line up to the
// limit, then says the database is busy and what to do, not to check the connection's settings.
TEST_F(KolvixMergeTest, ABusyDatabaseIsWaitedForThenSaidToBeBusy)
{
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db.path().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    qputenv("KOLVIX_LOCK_WAIT", "3");
    for (const QStringList& verb :
         {QStringList {"--from", "812", "--to", "57", "--yes"}, QStringList {"--find", "Sample"},
          QStringList {"--duplicates"}, QStringList {"--diagnose"}}) {
        SCOPED_TRACE(verb.join(' ').toStdString());
        const ProcessRun r = run(verb);
        const QString printed = r.out + r.err;
        EXPECT_EQ(r.exitCode, 3) << printed.toStdString();
        EXPECT_TRUE(r.err.contains("kolvix-merge: waiting for a lock held by another connection ...\n"))
            << r.err.toStdString();
        EXPECT_TRUE(printed.contains("' is busy: another program has kept it locked for 3 seconds"))
            << printed.toStdString();
        EXPECT_TRUE(printed.contains("Close the other program that has the practice open, then try again."));
        EXPECT_FALSE(printed.contains("Please check your connection properties")) << printed.toStdString();
    }
    qunsetenv("KOLVIX_LOCK_WAIT");
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

// A value that holds ";" never sets another key: the merge runs on the file that "Data Source"
// names, not on the one hidden in the catalogue's name.
TEST_F(KolvixMergeTest, ASemicolonInAValueSetsNoOtherKey)
{
    TestDatabase other;
    other.exec(QString::fromLatin1(kExamplePair));
    const auto otherBefore = other.snapshot();
    const ProcessRun r = run({"Initial Catalog=x;Data Source=" + other.path(), "--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 0);
    EXPECT_EQ(other.snapshot(), otherBefore);
}

// --diagnose shows every attempt's string: no spelling of a password shows its value.
TEST_F(KolvixMergeTest, DiagnoseNeverShowsAPassword)
{
    // Every secret holds "K7q" or "z9z".
    const QString missing = settingsDir.filePath("missing.db");
    const QStringList spellings[] = {
        {"Password=K7q;z9z123"},
        {"password=K7qz9z"},
        {"Password=\"K7q ' z9z\""},
        {"Initial Catalog=Zelvan;PWD=K7q"},
        {"Initial Catalog=Zelvan; Pwd = K7q;Password=z9z"},
        {"User ID=sa;Password=K7q", "Password= z9z "},
    };
    for (const QStringList& args : spellings) {
        for (const QString& dataSource : {db.path(), missing, missing + ";Password=K7q"}) {
            const ProcessRun r = run(QStringList {"--diagnose"} + args, dataSource);
            for (const char* secret : {"K7q", "z9z"}) {
                EXPECT_FALSE(r.out.contains(secret) || r.err.contains(secret))
                    << args.join(' ').toStdString() << "\n"
                    << r.out.toStdString() << r.err.toStdString();
            }
            EXPECT_TRUE(r.out.contains("***")) << r.out.toStdString();
        }
    }
}

// Settings files are read only when they are regular files of at most 1 MiB: a device, a pipe
// or a huge file counts as missing, --diagnose says so, and nothing blocks or grows.
TEST_F(KolvixMergeTest, SettingsFilesThatAreNoRegularFilesCountAsMissing)
{
    const QString big = settingsDir.filePath("big.ini");
    {
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Kolvix]\nLog=1\n;");
        file.write(QByteArray(1024 * 1024, 'x'));
    }
    const QString fifo = settingsDir.filePath("pipe.ini");
#ifdef Q_OS_UNIX
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
#endif
    const struct
    {
        QString file;
        QString problem;
    } cases[] = {{"/dev/zero", "not a regular file"},
                 {fifo, "not a regular file"},
                 {big, "larger than 1 MiB"},
                 {settingsDir.path(), "a directory"}};
    for (const auto& c : cases) {
#ifndef Q_OS_UNIX
        if (c.file == "/dev/zero" || c.file == fifo)
            continue; // no device files and no pipes in the file system
#endif
        const ProcessRun r = runArguments({"OldSettings=1", "gsUtilityIniName=" + c.file, "Provider=SQLite",
                                           "Data Source=" + db.path(), "--diagnose"});
        EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("  config: " + c.file + " (" + c.problem
                                   + ": not read, counts as missing: defaults apply)\n"))
            << r.out.toStdString();
        EXPECT_TRUE(r.out.contains("Log: off")) << r.out.toStdString();
    }
}

// A new account name longer than the account-name column (16 characters) is refused before
// anything is written.
TEST_F(KolvixMergeTest, ANewAccountNameLongerThan16CharactersIsRefused)
{
    const auto before = db.snapshot();
    const ProcessRun tooLong = run({"--from", "812", "--to", "57", "--yes", "--map", "2=add:Seventeen chars!!"});
    EXPECT_EQ(tooLong.exitCode, 1) << tooLong.out.toStdString();
    EXPECT_TRUE(
        tooLong.out.contains("\nThe new name you entered for account 'WorkCover' is longer than 16 characters.\n"))
        << tooLong.out.toStdString();
    EXPECT_EQ(db.snapshot(), before);

    const ProcessRun fits = run({"--from", "812", "--to", "57", "--yes", "--map", "2=add:Sixteen chars!!!"});
    EXPECT_EQ(fits.exitCode, 0) << fits.out.toStdString();
    EXPECT_EQ(db.scalar("SELECT ShortDescription FROM Account WHERE ClientID = 57 AND AccountID = 2"),
              "Sixteen chars!!!");
}

TEST_F(KolvixMergeTest, MergesTheExamplePair)
{
    const ProcessRun r = run({"--from", "812", "--to", "57", "--yes"});
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
    const ProcessRun r = run({"--from", "812", "--to", "57"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(db.snapshot(), before);
}

TEST_F(KolvixMergeTest, RefusalsExit1)
{
    db.exec("UPDATE Client SET PXAccess = 1, PXVerified = 1, PXEmail = 'a@b.c' WHERE ClientID = 812");
    const ProcessRun r = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.startsWith("Warning: WARNING: The process of merging patient data cannot be reversed."));
    EXPECT_TRUE(r.out.contains("\nInformation: The client to be moved has WPX currently enabled"));
    EXPECT_EQ(run({"--from", "812", "--to", "4242", "--yes"}).exitCode, 64);

    db.exec("UPDATE Client SET PXAccess = 0, PXVerified = 0 WHERE ClientID = 812;"
            "INSERT INTO Account (ClientID, AccountID, ShortDescription) VALUES (812, 100001, 'Huge')");
    const ProcessRun huge = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(huge.exitCode, 1) << huge.out.toStdString() << huge.err.toStdString();
    EXPECT_TRUE(huge.out.contains("\nInformation: The client to be moved has an account id of 100001; account ids "
                                  "above 100000 cannot be merged.\n"))
        << huge.out.toStdString();
}

TEST_F(KolvixMergeTest, DryRunChangesNothingAndShowsEveryStep)
{
    db.exec("CREATE TABLE LoyaltyPoints (LoyaltyPointsID INTEGER PRIMARY KEY, ClientID INTEGER);"
            "INSERT INTO LoyaltyPoints (ClientID) VALUES (812), (812), (57);"
            "INSERT INTO Trans (ClientID, AccountID, Amount) VALUES (812, 9, 1);");
    const auto before = db.snapshot();
    const ProcessRun r = run({"--from", "812", "--to", "57", "--dry-run", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_EQ(db.snapshot(), before);
    EXPECT_TRUE(r.out.contains("Not moved: LoyaltyPoints (2 rows)\n"));
    EXPECT_TRUE(r.out.contains("Not moved: Trans (1 rows on account 9, which the client does not have)\n"))
        << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("Not moved: Account"));
    EXPECT_TRUE(r.out.contains("step  3 Trans: 2 rows would change\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("step 42 PXPendingClient: 2 rows would change\n"));

    db.exec("CREATE TRIGGER fail BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ABORT, 'quotes are locked'); END;");
    const auto withTrigger = db.snapshot();
    const ProcessRun failed = run({"--from", "812", "--to", "57", "--dry-run", "--yes"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_TRUE(
        failed.out.contains("Warning: Some data could not be transferred.\nPatient details have been reverted."));
    EXPECT_EQ(db.snapshot(), withTrigger);
}

TEST_F(KolvixMergeTest, MapOverridesAndIsValidated)
{
    const auto before = db.snapshot();
    const ProcessRun inUse = run({"--from", "812", "--to", "57", "--yes", "--map", "2=add:medicare"});
    EXPECT_EQ(inUse.exitCode, 1);
    EXPECT_TRUE(inUse.out.contains("Information: The following issues were encountered with the proposed merge:\n\n"
                                   "The new name you entered for account 'WorkCover' is already in use.\n\n"
                                   "You will need to resolve these issues before continuing with the merge."))
        << inUse.out.toStdString();
    EXPECT_EQ(run({"--from", "812", "--to", "57", "--yes", "--map", "2=add: "}).exitCode, 1);
    EXPECT_EQ(run({"--from", "812", "--to", "57", "--yes", "--map", "5=merge:0"}).exitCode, 64);
    EXPECT_EQ(run({"--from", "812", "--to", "57", "--yes", "--map", "2=merge:9"}).exitCode, 64);
    EXPECT_EQ(db.snapshot(), before);

    const ProcessRun merged
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

// The tables of the practice itself: all but the Audit trail and the merge ledger.

const QString kHistoryHeader = "Audit\tWhen\tWorkstation\tFrom\tTo\tFrom name\tTo name\tRows\tState";

// The lines of --history after its header, which it checks.
QStringList historyLines(const ProcessRun& r)
{
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    QStringList lines = r.out.split('\n');
    EXPECT_EQ(lines.takeLast(), QString()) << "the last line is ended";
    EXPECT_EQ(lines.value(0), kHistoryHeader);
    if (!lines.isEmpty())
        lines.removeFirst();
    return lines;
}

// A merge, its line in the history, a dry run of its undo, the undo, and the history again:
// the practice is back exactly as it was, and the merge cannot be undone twice.
TEST_F(KolvixMergeTest, HistoryListsAMergeAndItsUndoRestoresTheDatabaseExactly)
{
    EXPECT_EQ(historyLines(run({"--history"})), QStringList {});
    const auto before = db.snapshot(kNotProductTables);

    const ProcessRun merged = run({"--from", "812", "--to", "57", "--yes", "--progress"});
    ASSERT_EQ(merged.exitCode, 0) << merged.out.toStdString();
    int rowsChanged = 0;
    for (const QString& line : merged.err.split('\n', Qt::SkipEmptyParts))
        rowsChanged += line.section(": ", 1).section(' ', 0, 0).toInt();
    ASSERT_GT(rowsChanged, 0) << merged.err.toStdString();
    const QString audit = db.scalar("SELECT MAX(AuditID) FROM Audit");
    const QString when = db.scalar("SELECT AuditDateTime FROM Audit WHERE AuditID = " + audit).left(19);

    const QStringList lines = historyLines(run({"--history"}));
    ASSERT_EQ(lines.size(), 1);
    const QStringList cells = lines[0].split('\t');
    EXPECT_EQ(cells,
              (QStringList {audit, QString(when).replace('T', ' '), platform().computerName(), "812", "57",
                            "Sample, One", "Sample, Two", QString::number(rowsChanged), "merged"}));
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(cells.value(1)).hasMatch())
        << cells.value(1).toStdString();

    // A dry run, and a question nobody answers: nothing changes.
    const auto asMerged = db.snapshot();
    const ProcessRun dryRun = run({"--undo", audit, "--dry-run", "--yes"});
    EXPECT_EQ(dryRun.exitCode, 0) << dryRun.out.toStdString();
    EXPECT_TRUE(dryRun.out.contains("\nAre you sure you want to undo merge " + audit
                                    + " of 'Sample, One' into 'Sample, Two' ("))
        << dryRun.out.toStdString();
    EXPECT_TRUE(dryRun.out.contains("\n  Trans: 3 moved back\n")) << dryRun.out.toStdString();
    EXPECT_TRUE(dryRun.out.contains("\n  Account: 1 added by the merge removed\n")) << dryRun.out.toStdString();
    EXPECT_TRUE(dryRun.out.endsWith("stay with 'Sample, Two'.\n(--yes) Yes\nInformation: Dry run complete: the undo "
                                    "ran and was rolled back. Nothing was changed.\n"))
        << dryRun.out.toStdString();
    EXPECT_EQ(db.snapshot(), asMerged);
    const ProcessRun unanswered = run({"--undo", audit});
    EXPECT_EQ(unanswered.exitCode, 1) << unanswered.out.toStdString();
    EXPECT_TRUE(unanswered.out.endsWith("(no terminal input) No\n")) << unanswered.out.toStdString();
    EXPECT_EQ(db.snapshot(), asMerged);

    const ProcessRun undone = run({"--undo", audit, "--yes"});
    EXPECT_EQ(undone.exitCode, 0) << undone.out.toStdString() << undone.err.toStdString();
    EXPECT_TRUE(undone.out.endsWith("Information: Merge " + audit
                                    + " has been undone: the rows it moved from 'Sample, One' to 'Sample, Two' are "
                                      "back with 'Sample, One'.\n"))
        << undone.out.toStdString();
    EXPECT_EQ(db.snapshot(kNotProductTables), before);

    // The undo's own Audit row is no merge of the history.
    const QStringList after = historyLines(run({"--history"}));
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(after[0].section('\t', 0, 7), lines[0].section('\t', 0, 7));
    EXPECT_TRUE(QRegularExpression("\tundone \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d$").match(after[0]).hasMatch())
        << after[0].toStdString();

    const auto asUndone = db.snapshot();
    const ProcessRun again = run({"--undo", audit, "--yes"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.out.contains("\nInformation: Merge " + audit + " was undone on ")) << again.out.toStdString();
    EXPECT_TRUE(again.out.endsWith(". An undone merge cannot be undone again.\n")) << again.out.toStdString();
    const ProcessRun none = run({"--undo", "999", "--yes"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.out.endsWith("\nInformation: There is no merge with the Audit row 999.\nThe merge history lists "
                                  "the merges and their Audit rows.\n"))
        << none.out.toStdString();
    EXPECT_EQ(db.snapshot(), asUndone);
}

// One line per merge whatever its names hold, newest first; a merge without a ledger has no
// row count; --limit keeps the newest.
TEST_F(KolvixMergeTest, HistoryGivesEachMergeOneLineNewestFirst)
{
    // A merge made before merges kept a ledger: its Audit row alone.
    db.exec("INSERT INTO Audit (AuditDateTime, UserName, Action, Comment) VALUES ('2025-01-02 03:04:05', 'MERGE', "
            "'Merge 3 > 4 (Old, One > Old, Two)', 'MRG[0:Primary|0:Primary]');"
            "UPDATE Client SET Surname = 'Sam\tple', Name = 'O\r\nne' WHERE ClientID = 812");
    const QString old = db.scalar("SELECT MAX(AuditID) FROM Audit");
    ASSERT_EQ(run({"--from", "812", "--to", "57", "--yes"}).exitCode, 0);
    const QString audit = db.scalar("SELECT MAX(AuditID) FROM Audit");

    const QStringList lines = historyLines(run({"--history"}));
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(audit + "\t")) << lines[0].toStdString();
    EXPECT_EQ(lines[0].section('\t', 5, 6), "Sam ple, O  ne\tSample, Two") << lines[0].toStdString();
    EXPECT_EQ(lines[0].count('\t'), 8);
    EXPECT_TRUE(lines[0].endsWith("\tmerged"));
    EXPECT_EQ(lines[1], old + "\t2025-01-02 03:04:05\t\t3\t4\tOld, One\tOld, Two\t\tnot reversible");

    EXPECT_EQ(historyLines(run({"--history", "--limit", "1"})), QStringList {lines[0]});
    for (const QStringList& bad : {QStringList {"--history", "--limit", "0"}, QStringList {"--history", "--limit=x"},
                                   QStringList {"--history", "--undo", audit}, QStringList {"--undo", "0", "--yes"},
                                   QStringList {"--undo", audit, "--from", "812", "--yes"}}) {
        const ProcessRun r = run(bad);
        EXPECT_EQ(r.exitCode, 64) << bad.join(' ').toStdString();
        EXPECT_EQ(r.out, QString()) << bad.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    }
    EXPECT_EQ(run({"--history"}, settingsDir.filePath("missing.db")).exitCode, 3);
}

// A database where the ledger cannot be created: --yes does not merge without it, --irreversible
// does, and the history says the merge cannot be undone.
TEST_F(KolvixMergeTest, AMergeThatCannotBeRecordedNeedsIrreversible)
{
    // Something else holds one of the ledger's names.
    db.exec("DROP TABLE KolvixMergeStep; CREATE VIEW KolvixMergeStep AS SELECT 1 AS x");
    const auto before = db.snapshot();
    const ProcessRun refused = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(refused.exitCode, 1) << refused.out.toStdString();
    EXPECT_TRUE(refused.out.contains("\nThis merge cannot be recorded so that it can be undone later: "))
        << refused.out.toStdString();
    EXPECT_TRUE(refused.out.contains("This merge will not be reversible.\n(--yes) No: this merge would not be "
                                     "reversible; give --irreversible to merge without a record\n"))
        << refused.out.toStdString();
    EXPECT_EQ(db.snapshot(), before);

    const ProcessRun merged = run({"--from", "812", "--to", "57", "--yes", "--irreversible"});
    EXPECT_EQ(merged.exitCode, 0) << merged.out.toStdString();
    EXPECT_FALSE(merged.out.contains("This merge cannot be recorded")) << merged.out.toStdString();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 0);
    const QString audit = db.scalar("SELECT MAX(AuditID) FROM Audit");
    const QStringList lines = historyLines(run({"--history"}));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(audit + "\t")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith("\tSample, One\tSample, Two\t\tnot reversible")) << lines[0].toStdString();

    const auto asMerged = db.snapshot();
    const ProcessRun undo = run({"--undo", audit, "--yes"});
    EXPECT_EQ(undo.exitCode, 1);
    EXPECT_TRUE(undo.out.contains("Information: Merge " + audit
                                  + " cannot be undone: there is no record of the rows it changed."))
        << undo.out.toStdString();
    EXPECT_EQ(db.snapshot(), asMerged);
}

TEST_F(KolvixMergeTest, AFailedMergeExits2AndRollsBack)
{
    db.exec("CREATE TRIGGER fail BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ABORT, 'quotes are locked'); END;");
    const auto before = db.snapshot({"Audit"});
    const ProcessRun r = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.contains("Kolvix Utility: doADOCommand: quotes are locked"));
    EXPECT_EQ(db.snapshot({"Audit"}), before);
}

// ---- --merge-pairs ---------------------------------------------------------------------------

const QString kPairsHeader = QStringLiteral("Merge\tKeep\tOutcome\tAudit\tReason");

// What a run of --merge-pairs printed after its confirmation: the lines of the pairs, then
// the summary as the last entry.
QStringList pairLines(const ProcessRun& r)
{
    QStringList lines = r.out.split('\n');
    EXPECT_EQ(lines.takeLast(), QString()) << "the last line is ended";
    const qsizetype header = lines.indexOf(kPairsHeader);
    EXPECT_GE(header, 0) << r.out.toStdString();
    return header < 0 ? QStringList {} : lines.mid(header + 1);
}

class MergePairsTest : public KolvixMergeTest
{
protected:
    void SetUp() override
    {
        KolvixMergeTest::SetUp();
        db.exec(QString::fromLatin1(kMorePairs));
    }

    // A pairs file: the header --duplicates writes, then the lines given.
    QString writePairs(const QString& name, const QStringList& lines)
    {
        if (duplicatesHeader.isEmpty()) {
            const ProcessRun scan = run({"--duplicates"});
            EXPECT_EQ(scan.exitCode, 0) << scan.err.toStdString();
            duplicatesHeader = scan.out.section('\n', 0, 0);
        }
        return writeFile(name, (QStringList {duplicatesHeader} + lines).join('\n') + '\n');
    }

    QString writeFile(const QString& name, const QByteArray& text)
    {
        const QString path = settingsDir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }
    QString writeFile(const QString& name, const QString& text) { return writeFile(name, text.toUtf8()); }

    QString duplicatesHeader;
};

// A line as --duplicates writes it: score, group, keep, merge, reasons, the two names.
QString scanned(qint32 keep, qint32 merge, const QString& keepName, const QString& mergeName)
{
    return QStringLiteral("90\t1\t%1\t%2\tsame surname (by sound)\t%3\t%4")
        .arg(keep)
        .arg(merge)
        .arg(keepName, mergeName);
}

// The planted pairs of a run: one that merges, one a check refuses, one whose accounts need a
// person, the example pair, one naming the client the example pair merged away, one whose
// client was renamed since the scan; each merged pair in the history and undone on its own.
TEST_F(MergePairsTest, MergesEachPairOnItsOwnAndListsWhatBecameOfIt)
{
    const QString file = writePairs(
        "pairs.tsv",
        {scanned(301, 401, "Robinson, Ruby", "Robinon, Ruby"), scanned(303, 403, "Linked, Ann", "Linkd, Ann"), "",
         scanned(304, 404, "Accounts, Tom", "Acounts, Tom"), scanned(57, 812, "Sample, Two", "Sample, One") + "\r",
         scanned(302, 812, "Morris, Oliver", "Sample, One"), scanned(302, 402, "Morris, Olivia", "Moris, Oliver"), ""});
    EXPECT_EQ(duplicatesHeader, "Score\tGroup\tKeep\tMerge\tReasons\tKeep name\tMerge name");
    const auto before = db.snapshot();
    const auto product = db.snapshot(kNotProductTables);

    // Unanswered, the run does not start.
    const ProcessRun unanswered = run({"--merge-pairs", file});
    EXPECT_EQ(unanswered.exitCode, 1) << unanswered.out.toStdString();
    EXPECT_TRUE(unanswered.out.endsWith("(no terminal input) No\n")) << unanswered.out.toStdString();
    EXPECT_FALSE(unanswered.out.contains(kPairsHeader));
    EXPECT_EQ(db.snapshot(), before);

    // The skipped pairs' reasons, and what the lines say besides the Audit column.
    const QStringList skipped = {
        "403\t303\tskipped\t\tThe client to be moved has linked WPX clients and cannot be merged.",
        "404\t304\tskipped\t\tthe accounts need a decision: ",
        "812\t302\tskipped\t\tclient 812 was merged away by pair 4",
        "402\t302\tskipped\t\tclient 302 changed since the scan (now 'Morris, Oliver')",
    };
    const auto expectLines = [&](const QStringList& lines, const QStringList& audits) {
        ASSERT_EQ(lines.size(), 7) << lines.join('\n').toStdString();
        EXPECT_EQ(lines[0], "401\t301\tmerged\t" + audits[0] + "\t");
        EXPECT_TRUE(lines[1].startsWith(skipped[0])) << lines[1].toStdString();
        EXPECT_TRUE(lines[2].startsWith(skipped[1])) << lines[2].toStdString();
        EXPECT_EQ(lines[3], "812\t57\tmerged\t" + audits[1] + "\t");
        EXPECT_EQ(lines[4], skipped[2]);
        EXPECT_EQ(lines[5], skipped[3]);
        for (const QString& line : lines.mid(0, 6))
            EXPECT_EQ(line.count('\t'), 4) << line.toStdString();
    };

    // A dry run: every pair as the run would end, nothing changed.
    const ProcessRun dryRun = run({"--merge-pairs", file, "--dry-run", "--yes"});
    EXPECT_EQ(dryRun.exitCode, 1) << dryRun.out.toStdString() << dryRun.err.toStdString();
    EXPECT_TRUE(dryRun.out.contains("\nDry run: every merge is rolled back, nothing is changed.\n(--yes) Yes\n"))
        << dryRun.out.toStdString();
    const QStringList dryLines = pairLines(dryRun);
    expectLines(dryLines, {"", ""});
    EXPECT_EQ(dryLines.value(6),
              "6 pairs: 2 merged, 4 skipped, 0 failed; dry run: every merge was rolled back, nothing was changed");
    EXPECT_FALSE(dryRun.out.contains("step ")) << "the catalogue's steps stay out of the listing";
    EXPECT_EQ(db.snapshot(), before);

    const ProcessRun merged = run({"--merge-pairs", file, "--yes"});
    EXPECT_EQ(merged.exitCode, 1) << merged.out.toStdString() << merged.err.toStdString();
    EXPECT_TRUE(merged.out.contains(
        "Merge the 6 pairs listed in " + file
        + "?\nEach pair is checked and merged on its own, with the accounts mapped as the account dialog proposes "
          "them; a pair that a check refuses, whose accounts need a decision or whose names have changed since the "
          "scan is skipped and left as it is.\nEach merge can be undone on its own from the history (--history, "
          "--undo).\n(--yes) Yes\n"))
        << merged.out.toStdString();
    const QString first = db.scalar("SELECT AuditID FROM KolvixMerge WHERE FromClientID = 401");
    const QString second = db.scalar("SELECT AuditID FROM KolvixMerge WHERE FromClientID = 812");
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    const QStringList lines = pairLines(merged);
    expectLines(lines, {first, second});
    EXPECT_EQ(lines.value(6), "6 pairs: 2 merged, 4 skipped, 0 failed");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Audit"), 2);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID IN (401, 812)"), 0);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 404"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Appoint WHERE ClientID = 403"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 402"), 1);

    // Each merge is in the history, newest first, and is undone on its own.
    const QStringList history = historyLines(run({"--history"}));
    ASSERT_EQ(history.size(), 2);
    EXPECT_TRUE(history[0].startsWith(second + "\t")) << history[0].toStdString();
    EXPECT_EQ(history[0].section('\t', 3, 6), "812\t57\tSample, One\tSample, Two");
    EXPECT_TRUE(history[1].startsWith(first + "\t")) << history[1].toStdString();
    EXPECT_EQ(history[1].section('\t', 3, 6), "401\t301\tRobinon, Ruby\tRobinson, Ruby");
    const ProcessRun undone = run({"--undo", second, "--yes"});
    EXPECT_EQ(undone.exitCode, 0) << undone.out.toStdString();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 3);
    const ProcessRun undoneToo = run({"--undo", first, "--yes"});
    EXPECT_EQ(undoneToo.exitCode, 0) << undoneToo.out.toStdString();
    EXPECT_EQ(db.snapshot(kNotProductTables), product);

    // A run whose every pair merges exits 0.
    const QString clean = writePairs("clean.tsv", {scanned(57, 812, "Sample, Two", "Sample, One")});
    const ProcessRun all = run({"--merge-pairs", clean, "--yes"});
    EXPECT_EQ(all.exitCode, 0) << all.out.toStdString();
    EXPECT_EQ(pairLines(all).value(1), "1 pair: 1 merged, 0 skipped, 0 failed");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 0);

    // Without a database there is nothing to ask about.
    const ProcessRun unconnected = run({"--merge-pairs", clean, "--yes"}, settingsDir.filePath("missing.db"));
    EXPECT_EQ(unconnected.exitCode, 3) << unconnected.out.toStdString();
    EXPECT_FALSE(unconnected.out.contains("Merge the 1 pair")) << unconnected.out.toStdString();
}

// --stop-on-skip ends the run at the first pair that did not merge; a pair whose merge failed is
// rolled back and said to have failed.
TEST_F(MergePairsTest, StopsAtTheFirstSkipWhenAskedAndReportsAFailedPair)
{
    const QString file = writePairs(
        "pairs.tsv",
        {scanned(303, 403, "Linked, Ann", "Linkd, Ann"), scanned(301, 401, "Robinson, Ruby", "Robinon, Ruby")});
    const auto before = db.snapshot();
    const ProcessRun stopped = run({"--merge-pairs", file, "--yes", "--stop-on-skip"});
    EXPECT_EQ(stopped.exitCode, 1);
    const QStringList lines = pairLines(stopped);
    ASSERT_EQ(lines.size(), 2) << stopped.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("403\t303\tskipped\t\t")) << lines[0].toStdString();
    EXPECT_EQ(lines[1], "2 pairs: 0 merged, 1 skipped, 0 failed, 1 not run (--stop-on-skip)");
    EXPECT_EQ(db.snapshot(), before);

    db.exec("CREATE TRIGGER fail BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ABORT, 'quotes are locked'); END;");
    const QString failing = writePairs(
        "failing.tsv",
        {scanned(57, 812, "Sample, Two", "Sample, One"), scanned(301, 401, "Robinson, Ruby", "Robinon, Ruby")});
    const ProcessRun failed = run({"--merge-pairs", failing, "--yes"});
    EXPECT_EQ(failed.exitCode, 1) << failed.out.toStdString();
    const QStringList failedLines = pairLines(failed);
    ASSERT_EQ(failedLines.size(), 3) << failed.out.toStdString();
    EXPECT_TRUE(failedLines[0].startsWith("812\t57\tfailed\t\t")) << failedLines[0].toStdString();
    EXPECT_TRUE(failedLines[0].contains("quotes are locked")) << failedLines[0].toStdString();
    EXPECT_TRUE(failedLines[1].startsWith("401\t301\tmerged\t")) << failedLines[1].toStdString();
    EXPECT_EQ(failedLines[2], "2 pairs: 1 merged, 0 skipped, 1 failed");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 812"), 3);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Quotes WHERE ClientID = 812"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM Trans WHERE ClientID = 401"), 0);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM KolvixMerge WHERE FromClientID = 812"), 0);
}

// The listing as a spreadsheet or a shell may save it: a byte order mark, UTF-16 (PowerShell's
// ">"), Windows line ends, cells in double quotes. Each pair is read with its names.
TEST_F(MergePairsTest, ReadsTheListingAsEditorsAndShellsSaveIt)
{
    db.exec("UPDATE Client SET Name = 'Zoë' WHERE ClientID IN (301, 401)");
    const QString header = "Score\tGroup\tKeep\tMerge\tReasons\tKeep name\tMerge name";
    const QString line = scanned(301, 401, "Robinson, Zoë", "Robinon, Zoë");
    const QString listing = header + "\n" + line + "\n";
    const QString utf16 = header + "\r\n" + line + "\r\n";
    QByteArray utf16Bytes("\xff\xfe");
    for (const QChar c : utf16)
        utf16Bytes.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    const struct
    {
        const char* name;
        QByteArray text;
    } cases[] = {
        {"utf8.tsv", listing.toUtf8()},
        {"bom.tsv", "\xef\xbb\xbf" + QString(listing).replace("\n", "\r\n").toUtf8()},
        {"utf16.tsv", utf16Bytes},
        {"quoted.tsv",
         (header + "\n\"90\"\t1\t\"301\"\t401\t\"a, b\"\t\"Robinson, Zoë\"\t\"Robinon, Zoë\"\n").toUtf8()},
    };
    const auto before = db.snapshot();
    for (const auto& c : cases) {
        const ProcessRun r = run({"--merge-pairs", writeFile(c.name, c.text), "--dry-run", "--yes"});
        EXPECT_EQ(r.exitCode, 0) << c.name << "\n" << r.out.toStdString() << r.err.toStdString();
        EXPECT_EQ(pairLines(r),
                  (QStringList {"401\t301\tmerged\t\t",
                                "1 pair: 1 merged, 0 skipped, 0 failed; dry "
                                "run: every merge was rolled back, nothing was "
                                "changed"}))
            << c.name;
    }
    EXPECT_EQ(db.snapshot(), before);
}

// A file that is not a pairs listing is bad usage, named on one line before anything is opened.
TEST_F(MergePairsTest, AFileThatIsNoPairsListingExits64)
{
    struct Case
    {
        const char* name;
        bool exists;
        QByteArray text;
        QString message; // after "kolvix-merge: <path>"
    };
    const Case cases[] = {
        {"missing.tsv", false, "", ""},
        {"empty.tsv", true, "", " is empty: expected the header line that --duplicates writes, then the pairs"},
        {"blank.tsv", true, "\n\r\n  \n",
         " is empty: expected the header line that --duplicates writes, then the pairs"},
        {"no-keep.tsv", true, "Score\tMerge\n1\t2\n",
         " line 1: the header line has no Keep column (expected the header that --duplicates writes)"},
        {"no-merge.tsv", true, "\nKeep\tMerged\n1\t2\n",
         " line 2: the header line has no Merge column (expected the header that --duplicates writes)"},
        {"no-header.tsv", true, "57\t812\n", " line 1: the header line has no Keep column"},
        {"word.tsv", true, "Keep\tMerge\n57\t812\n\n301\tfour-o-one\n",
         " line 4: Merge must be a whole number (a client id), not 'four-o-one'"},
        {"fraction.tsv", true, "Merge\tKeep\n812\t57.0\n",
         " line 2: Keep must be a whole number (a client id), not '57.0'"},
        {"too-large.tsv", true, "Keep\tMerge\n57\t2147483648\n",
         " line 2: Merge must be a whole number (a client id), not '2147483648'"},
        {"short-line.tsv", true, "Score\tKeep\tMerge\n90\t57\n",
         " line 2: Merge must be a whole number (a client id), not ''"},
        {"empty-id.tsv", true, "Keep\tMerge\n\t812\n", " line 2: Keep must be a whole number (a client id), not ''"},
    };
    const auto before = db.snapshot();
    for (const Case& c : cases) {
        const QString path = c.exists ? writeFile(c.name, c.text) : settingsDir.filePath(c.name);
        const ProcessRun r = run({"--merge-pairs", path, "--yes"});
        EXPECT_EQ(r.exitCode, 64) << c.name;
        EXPECT_EQ(r.out, QString()) << c.name;
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        if (!c.exists)
            EXPECT_TRUE(r.err.startsWith("kolvix-merge: cannot read " + path + ": ")) << r.err.toStdString();
        else
            EXPECT_TRUE(r.err.startsWith("kolvix-merge: " + path + c.message)) << r.err.toStdString();
    }
    EXPECT_EQ(db.snapshot(), before);
}

} // namespace
