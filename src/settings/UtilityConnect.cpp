#include "settings/UtilityConnect.h"

#include "core/TextHelpers.h"
#include "core/UserInterface.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/DbError.h"
#include "platform/Platform.h"
#include "settings/CommandLine.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

#include <QStringList>

namespace kolvix {

QString gsServerName;
QString gsDatabaseName;
bool gTerminateRequested = false;

namespace {

const QString kDatabaseSettings = QStringLiteral("Database Settings");

// The eleven keys of the connection string, in the order they are written, with the
// default when the config file's Login switch is off (standard) and when it is on (login).
struct ConnectionKey
{
    const char* key;
    const char* standardDefault;
    const char* loginDefault;
};

constexpr ConnectionKey kConnectionKeys[] = {
    {"Provider", "SQLOLEDB.1", "SQLOLEDB.1"}, {"Persist Security Info", "False", "False"},
    {"Use Procedure for Prepare", "1", "1"},  {"Auto Translate", "True", "True"},
    {"Packet Size", "4096", "4096"},          {"Initial Catalog", "Zelvan", "Zelvan"},
    {"Data Source", "", ".\\ZELVAN"},         {"User ID", "SA", "SA"},
    {"Password", "", kDefaultPassword},       {"Workstation ID", "", ""},
    {"Integrated Security", "", ""},
};

// The product's own server instance, appended to the configured server in mode 1.
const QString kInstanceSuffix = QStringLiteral("\\ZELVAN");

bool readLoginSwitch()
{
    const IniFile config(gsConfigIniName);
    return config.readBool(QStringLiteral("Misc"), QStringLiteral("Login"), false);
}

// Steps 4 to 6 of building the string from the data file.
QString composeConnectionString(const IniFile& data, int mode, bool login, const QString& computerName)
{
    const bool useDefaultPassword = data.readBool(kDatabaseSettings, QStringLiteral("Default Password"), false)
        && data.readString(kDatabaseSettings, QStringLiteral("Password"), QString()).isEmpty();

    QString result;
    for (const ConnectionKey& entry : kConnectionKeys) {
        const QString key = QString::fromLatin1(entry.key);
        const QString defaultValue = QString::fromLatin1(login ? entry.loginDefault : entry.standardDefault);
        QString value = paramValue(key);
        if (value.isEmpty())
            value = data.readString(kDatabaseSettings, key, defaultValue);
        if (value.isEmpty())
            value = defaultValue;

        if (key == QLatin1String("Initial Catalog")) {
            gsDatabaseName = value;
        } else if (key == QLatin1String("Data Source")) {
            if (mode == 1)
                value = trimControl(value).isEmpty() ? QStringLiteral(".") + kInstanceSuffix : value + kInstanceSuffix;
            gsServerName = value;
        } else if (key == QLatin1String("User ID")) {
            if (mode == 1 || mode == 2)
                value = QStringLiteral("sa");
        } else if (key == QLatin1String("Password")) {
            if (mode == 2)
                value.clear();
            else if (mode == 1 || useDefaultPassword)
                value = QString::fromLatin1(kDefaultPassword);
        } else if (key == QLatin1String("Workstation ID")) {
            value = computerName;
        }
        // A value that holds ";" or quotes, or begins or ends with a blank, is quoted, so that it
        // never sets another key.
        result += key + QLatin1Char('=') + quoteConnectionValue(value) + QLatin1Char(';');
    }

    const QString useTcpIp = paramValue(QStringLiteral("UseTCPIP"));
    if (useTcpIp == QLatin1String("1")
        || (useTcpIp.isEmpty() && data.readBool(kDatabaseSettings, QStringLiteral("UseTCPIP"), false)))
        result += QStringLiteral("Network Library=dbmssocn;");
    return result;
}

// The sentence names the database and the server of the last attempt; the client's message of
// that attempt follows on a line of its own.
QString failureMessage(const QString& lastError, bool busy)
{
    const QString server = gsServerName.isEmpty()
        ? QStringLiteral("this machine")
        : QLatin1Char('\'') + maskPasswordsInValue(gsServerName) + QLatin1Char('\'');
    QString message = QStringLiteral("Unable to connect to the Zelvan database '%1' on %2.")
                          .arg(maskPasswordsInValue(gsDatabaseName), server);
    const QString detail = maskPasswordsInText(lastError.trimmed());
    if (!detail.isEmpty())
        message += QLatin1Char('\n') + detail;
    // A busy database is no fault of the connection's settings: the detail says what to do.
    if (busy)
        return message;
    return message + QStringLiteral("\n\nPlease check your connection properties.");
}

} // namespace

QString buildConnectionString(int mode, UserInterface* ui)
{
    const QString computerName = platform().computerName();
    const bool login = readLoginSwitch();

    QString result;
    try {
        const IniFile data(gsDataIniName);
        result = composeConnectionString(data, mode, login, computerName);
    } catch (...) {
        result.clear();
        if (ui)
            ui->showWarning(QStringLiteral("Error reading Database Settings"));
        gTerminateRequested = true;
    }
    return result;
}

QString maskPassword(const QString& connectionString)
{
    return maskPasswordsInConnectionString(connectionString);
}

ConnectResult connectToDatabase(Connection& connection, UserInterface* ui, const ConnectionAttemptObserver& observer)
{
    ConnectResult result;
    locateSettingsFiles();

    // Closes the connection, sets the string of the mode and opens; true when it opened.
    QString lastError;
    bool lastBusy = false;
    auto attempt = [&](int mode) {
        connection.close();
        connection.setConnectionString(buildConnectionString(mode, ui));
        ConnectionAttempt report;
        report.mode = mode;
        report.connectionString = maskPassword(connection.connectionString());
        report.configFile = gsConfigIniName;
        report.dataFile = gsDataIniName;
        try {
            connection.open();
            report.succeeded = true;
        } catch (const std::exception& e) {
            report.error = maskPasswordsInText(exceptionMessage(e));
            lastBusy = dynamic_cast<const DatabaseBusy*>(&e) != nullptr;
        }
        lastError = report.error;
        if (observer)
            observer(report);
        return report.succeeded;
    };
    auto fail = [&] { result.failure = failureMessage(lastError, lastBusy); };

    try {
        connection.close();
        connection.setCommandTimeout(4000);
        connection.setConnectTimeout(5);
        if (!attempt(0)) {
            if (connection.isEmbedded()) {
                // A database file: the product's instance and the administrator login mean
                // nothing for it, so one attempt says what is wrong with the file.
                fail();
            } else if (readLoginSwitch()) {
                if (!attempt(1))
                    fail();
            } else if (!attempt(2) && !attempt(1)) {
                fail();
            }
        }
    } catch (...) {
        // Any other failure ends the attempts; the result says whether the connection is open.
    }
    result.opened = connection.isOpen();
    result.serverName = gsServerName;
    result.databaseName = gsDatabaseName;
    result.terminate = gTerminateRequested;
    return result;
}

} // namespace kolvix
