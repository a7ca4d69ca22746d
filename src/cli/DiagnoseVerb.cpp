#include "cli/DiagnoseVerb.h"

#include "cli/Options.h"
#include "cli/Output.h"
#include "settings/Settings.h"
#include "settings/UtilityConnect.h"

#include <QFileInfo>

namespace kolvix::cli {

namespace {

QString onOff(bool value)
{
    return value ? QStringLiteral("on") : QStringLiteral("off");
}

// A settings file as it is read: its full name, and whether it is there.
QString describeSettingsFile(const QString& name)
{
    const QString path = resolveSettingsFileName(name);
    return QFileInfo::exists(path) ? path : path + QStringLiteral(" (missing: defaults apply)");
}

} // namespace

int diagnose(Connection& connection)
{
    QString failure;
    int attempt = 0;
    const bool connected = connectToDatabase(connection, &failure, [&](const ConnectionAttempt& a) {
        if (attempt == 0) {
            out(QStringLiteral("Settings files:"));
            out(QStringLiteral("  config: ") + describeSettingsFile(gsConfigIniName));
            out(QStringLiteral("  data:   ") + describeSettingsFile(gsDataIniName));
        }
        out(QStringLiteral("Attempt %1 (mode %2): %3").arg(++attempt).arg(a.mode).arg(a.connectionString));
        out(a.succeeded ? QStringLiteral("  connected") : QStringLiteral("  failed: ") + a.error);
    });
    if (!connected) {
        out(QStringLiteral("Error: ") + (failure.isEmpty() ? QString::fromLatin1(kConnectFailed) : failure));
        return ExitNoConnection;
    }
    out(QStringLiteral("Use Rollback: ")
        + onOff(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Use Rollback"), true)));
    out(QStringLiteral("Log: ") + onOff(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Log"), false)));
    return ExitMerged;
}

} // namespace kolvix::cli
