#pragma once

// kolvix-merge run as a process on a test database of its own.

#include "support/KolvixMergeProcess.h"
#include "support/MergeFixture.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kolvix::test {

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

inline const QString kHistoryHeader = "Audit\tWhen\tWorkstation\tFrom\tTo\tFrom name\tTo name\tRows\tState";

// The lines of --history after its header, which it checks.
inline QStringList historyLines(const ProcessRun& r)
{
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    QStringList lines = r.out.split('\n');
    EXPECT_EQ(lines.takeLast(), QString()) << "the last line is ended";
    EXPECT_EQ(lines.value(0), kHistoryHeader);
    if (!lines.isEmpty())
        lines.removeFirst();
    return lines;
}

} // namespace kolvix::test
