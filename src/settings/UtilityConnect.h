#pragma once

#include <QString>
#include <functional>

namespace kolvix {

class Connection;

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
QString buildConnectionString(int mode);

// One opening attempt, for --diagnose and tests.
struct ConnectionAttempt
{
    int mode = 0;
    QString connectionString; // password shown as ***
    bool succeeded = false;
    QString error;
};
using ConnectionAttemptObserver = std::function<void(const ConnectionAttempt&)>;

// The connection string with the value of "Password" replaced by *** (empty stays empty).
QString maskPassword(const QString& connectionString);

// Locates the settings, builds the string and opens the connection, with the fallbacks
// (mode 0, then 1 when Login is on, or 2 then 1 when it is off). Returns whether the
// connection is open; failureText receives "Unable to connect to the Zelvan database ...".
bool connectToDatabase(Connection& connection, QString* failureText = nullptr,
                       const ConnectionAttemptObserver& observer = {});

} // namespace kolvix
