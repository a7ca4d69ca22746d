#include "cli/DiagnoseVerb.h"

#include "cli/Options.h"
#include "cli/Output.h"
#include "db/ConnectionString.h"
#include "settings/Settings.h"
#include "settings/UtilityConnect.h"

namespace kolvix::cli {

namespace {

QString onOff(bool value)
{
    return value ? QStringLiteral("on") : QStringLiteral("off");
}

// A settings file as it is read: its full name, and whether it is read.
QString describeSettingsFile(const QString& name)
{
    const QString path = resolveSettingsFileName(name);
    const QString problem = settingsFileProblem(path);
    if (problem.isEmpty())
        return maskPasswordsInValue(path);
    if (problem == QLatin1String("missing"))
        return maskPasswordsInValue(path) + QStringLiteral(" (missing: defaults apply)");
    return maskPasswordsInValue(path) + QStringLiteral(" (") + problem
        + QStringLiteral(": not read, counts as missing: defaults apply)");
}

} // namespace

int diagnose(Connection& connection)
{
    int attempt = 0;
    const ConnectResult connected = connectToDatabase(connection, nullptr, [&](const ConnectionAttempt& a) {
        if (attempt == 0) {
            out(QStringLiteral("Settings files:"));
            out(QStringLiteral("  config: ") + describeSettingsFile(a.configFile));
            out(QStringLiteral("  data:   ") + describeSettingsFile(a.dataFile));
            for (const QString& file : settingsFilesPassedOver())
                out(QStringLiteral("  not read, counts as missing: ") + maskPasswordsInValue(file));
        }
        out(QStringLiteral("Attempt %1 (mode %2): %3").arg(++attempt).arg(a.mode).arg(a.connectionString));
        out(a.succeeded ? QStringLiteral("  connected") : QStringLiteral("  failed: ") + a.error);
    });
    if (!connected.opened) {
        out(QStringLiteral("Error: ")
            + (connected.failure.isEmpty() ? QString::fromLatin1(kConnectFailed) : connected.failure));
        return ExitNoConnection;
    }
    out(QStringLiteral("Use Rollback: ")
        + onOff(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Use Rollback"), true)));
    out(QStringLiteral("Log: ") + onOff(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Log"), false)));
    return ExitMerged;
}

} // namespace kolvix::cli
