#include "core/Log.h"

#include "core/UserInterface.h"
#include "platform/Platform.h"
#include "platform/RegularFile.h"

namespace kolvix {

namespace {

bool gLogEnabled = false;
std::function<QDateTime()> gClock;
QString gLogFolder;
QString gLogServerName;
UserInterface* gLogFailureInterface = nullptr;

QDateTime now()
{
    return gClock ? gClock() : QDateTime::currentDateTime();
}

// A failure of the log itself is shown only on the developer's own server.
void reportLogFailure(const QString& failure, const QString& message)
{
    if (gLogFailureInterface && gLogServerName.toLower().startsWith(QLatin1String(kDeveloperWorkstation)))
        gLogFailureInterface->showPlain(QStringLiteral("EXCEPTION:") + failure + QLatin1Char('\n') + message);
}

} // namespace

void setLogEnabled(bool enabled)
{
    gLogEnabled = enabled;
}

bool logEnabled()
{
    return gLogEnabled;
}

void setLogClock(std::function<QDateTime()> clock)
{
    gClock = std::move(clock);
}

void setLogFolder(const QString& folder)
{
    gLogFolder = folder;
}

void setLogServerName(const QString& serverName)
{
    gLogServerName = serverName;
}

void setLogFailureInterface(UserInterface* ui)
{
    gLogFailureInterface = ui;
}

UserInterface* logFailureInterface()
{
    return gLogFailureInterface;
}

QString logFilePath(const QDateTime& when)
{
    QString folder = gLogFolder.isEmpty() ? platform().executableFolder() : gLogFolder;
    while (folder.size() > 1 && (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))))
        folder.chop(1);
    return folder + platform().pathSeparator()
        + QStringLiteral("Kolvix_%1.log").arg(when.date().toString(QStringLiteral("yyyy.MM.dd")));
}

void writeLog(const QString& message)
{
    if (!gLogEnabled)
        return;
    try {
        const QDateTime when = now(); // one reading for the file name and the line
        // The log holds patient names: it is never written through a link (which would put them
        // into whatever file the link names), and outside Windows it is readable by its owner only.
        RegularFile file;
        if (file.open(logFilePath(when), RegularFile::Mode::Append, true) != RegularFile::Status::Opened)
            throw std::runtime_error(file.errorString().toStdString());
        const QString line = when.time().toString(QStringLiteral("hh:mm:ss.zzz")) + QStringLiteral(": ") + message
            + QStringLiteral("\r\n");
        if (!file.append(line.toLocal8Bit()))
            throw std::runtime_error(file.errorString().toStdString());
    } catch (const std::exception& e) {
        reportLogFailure(QString::fromLocal8Bit(e.what()), message);
    }
}

void writeLogFmt(const QString& templ, const FormatArgs& args)
{
    if (args.empty()) {
        writeLog(templ);
        return;
    }
    QString message;
    try {
        message = Format(templ, args);
    } catch (const FormatError& e) {
        if (gLogEnabled)
            reportLogFailure(QString::fromUtf8(e.what()), templ);
        return;
    }
    writeLog(message);
}

} // namespace kolvix
