#pragma once

#include <QString>
#include <QStringList>

namespace kolvix {

// How a connection reaches its database through ODBC: the ODBC connection string and
// attributes that a SQL Server connection string translates into, and the choice among the
// installed ODBC drivers.

// The SQLite ODBC driver (Debian's libsqliteodbc) that the provider SQLiteODBC uses.
inline constexpr char kSqliteOdbcDriver[] = "SQLite3";

// The ODBC connection string that a SQL Server connection string translates into, with the
// driver named.
QString odbcConnectionString(const QString& connectionString, const QString& driver);
// The ODBC connection attributes of a SQL Server connection string: the login time-out and
// the packet size (in the form of QSqlDatabase::setConnectOptions).
QString odbcConnectOptions(const QString& connectionString, int connectTimeout);
// The ODBC connection string of the provider SQLiteODBC: the driver, the database file (never
// created) and the driver's busy time-out, from the command time-out in seconds (0: no limit).
QString sqliteOdbcConnectionString(const QString& driver, const QString& file, int commandTimeout);

// The names of the ODBC drivers installed on this computer.
QStringList installedOdbcDrivers();
// The best installed SQL Server ODBC driver, or an empty text when there is none.
QString sqlServerOdbcDriver();
// The best SQL Server driver among the given ODBC driver names; empty when none fits.
QString chooseSqlServerOdbcDriver(const QStringList& installedDrivers);
// The SQLite ODBC driver among the given ODBC driver names: "SQLite3" as Linux registers it,
// or "SQLite3 ODBC Driver" as its Windows installer does; empty when neither is there.
QString chooseSqliteOdbcDriver(const QStringList& installedDrivers);

} // namespace kolvix
