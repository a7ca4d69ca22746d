#include "support/KolvixMergeProcess.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace kolvix::test {

QString printedText(const QByteArray& bytes)
{
    return QString::fromLocal8Bit(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QStringList kolvixMergeArguments(const QString& settingsFile, const QString& database, const QStringList& options)
{
    return QStringList {QStringLiteral("OldSettings=1"), QStringLiteral("gsUtilityIniName=") + settingsFile,
                        QStringLiteral("Provider=SQLite"), QStringLiteral("Data Source=") + database}
    + options;
}

ProcessRun runKolvixMerge(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QStringLiteral(KOLVIX_BINARY_DIR "/kolvix-merge"), arguments);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), printedText(process.readAllStandardOutput()),
            printedText(process.readAllStandardError())};
}

} // namespace kolvix::test
