#include "support/KolvixMergeFixture.h"

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
// merges run one after the other or one is refused (B first refuses A, whose To client it
// merged away), and no client's record is ever split.
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
                        || ra.out.contains("The accounts of the clients changed")
                        || ra.out.contains("Client 57 was merged into 300 by merge"))
                << ra.out.toStdString();
        }
        if (rb.exitCode == 1) {
            EXPECT_TRUE(rb.out.contains("Another merge is in progress")
                        || rb.out.contains("The accounts of the clients changed")
                        || rb.out.contains("Client 57 was merged into 300 by merge"))
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

    // Merged once, never again: the second run is refused before the question.
    const ProcessRun again = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(again.exitCode, 1) << again.out.toStdString();
    EXPECT_TRUE(again.out.contains("\nInformation: Client 812 was merged into 57 by merge 1 on "))
        << again.out.toStdString();
    EXPECT_TRUE(again.out.endsWith(". There is nothing left to merge.\n")) << again.out.toStdString();
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

TEST_F(KolvixMergeTest, AFailedMergeExits2AndRollsBack)
{
    db.exec("CREATE TRIGGER fail BEFORE UPDATE ON Quotes BEGIN SELECT RAISE(ABORT, 'quotes are locked'); END;");
    const auto before = db.snapshot(kStampedTables);
    const ProcessRun r = run({"--from", "812", "--to", "57", "--yes"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.contains("Kolvix Utility: doADOCommand: quotes are locked"));
    EXPECT_EQ(db.snapshot(kStampedTables), before);
}

} // namespace
