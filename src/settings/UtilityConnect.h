#pragma once

#include <QString>
#include <functional>

namespace kolvix {

class Connection;
class UserInterface;

// The server and database of the last connection string built.
extern QString gsServerName;
extern QString gsDatabaseName;

// Set when reading the settings failed and the program must end once start-up returns.
extern bool gTerminateRequested;

// Shown when the connection failed without a failure text.
inline const char* const kConnectFailed = "Unable to connect to the Zelvan database.";

inline const char* const kDefaultPassword = "Vq7rLm2xT";

// Builds the eleven-key connection string for mode 0 (as configured), 1 (the product's own
// instance, administrator login) or 2 (configured server, administrator without password).
// When the settings cannot be read: the empty string, the program is asked to end, and ui
// (when given) shows the warning "Error reading Database Settings".
QString buildConnectionString(int mode, UserInterface* ui = nullptr);

// One opening attempt, for --diagnose and tests.
struct ConnectionAttempt
{
    int mode = 0;
    QString connectionString; // passwords shown as *** (maskPassword)
    bool succeeded = false;
    QString error; // the client's message, passwords shown as ***
    QString configFile; // the settings files as located for it
    QString dataFile;
};
using ConnectionAttemptObserver = std::function<void(const ConnectionAttempt&)>;

// The connection string with the whole value of every password key ("Password", "PWD", in any
// case, also inside another key's value) replaced by *** (empty stays empty).
QString maskPassword(const QString& connectionString);

// What connecting found.
struct ConnectResult
{
    bool opened = false;
    // The server and database of the last connection string built.
    QString serverName;
    QString databaseName;
    // When it did not open: "Unable to connect to the Zelvan database ..." with the client's
    // message of the last attempt on the second line, passwords masked.
    QString failure;
    // The database settings could not be read: the program must end.
    bool terminate = false;
};

// Locates the settings, builds the string and opens the connection, with the fallbacks
// (mode 0, then 1 when Login is on, or 2 then 1 when it is off). A database file (the
// SQLite providers) gets the one attempt of mode 0.
// ui, when given, shows the warning of settings that cannot be read.
ConnectResult connectToDatabase(Connection& connection, UserInterface* ui = nullptr,
                                const ConnectionAttemptObserver& observer = {});

} // namespace kolvix
