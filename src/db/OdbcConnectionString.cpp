#include "OdbcConnectionString.h"

#include "ConnectionString.h"

#include <QtGlobal>
#include <climits>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace kolvix {

namespace {

const QString kLocalHost = QStringLiteral("localhost");

// A value in an ODBC connection string: braced when it holds ; { or } or blanks at either
// end, with } doubled inside the braces.
QString odbcValue(const QString& value)
{
    const bool needsBraces = value.contains(u';') || value.contains(u'{') || value.contains(u'}')
        || (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needsBraces)
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

// "Data Source" of a SQL Server connection string: host, "host\instance" or "host,port";
// "." and "(local)" (and an empty value) mean this computer.
struct ServerAddress
{
    QString host;
    QString instance;
    QString port;
    bool local = false;
};

ServerAddress parseDataSource(QString dataSource)
{
    ServerAddress address;
    dataSource = dataSource.trimmed();
    if (dataSource.startsWith(QStringLiteral("tcp:"), Qt::CaseInsensitive))
        dataSource = dataSource.mid(4).trimmed();
    const qsizetype comma = dataSource.lastIndexOf(u',');
    if (comma >= 0) {
        address.port = dataSource.mid(comma + 1).trimmed();
        dataSource = dataSource.left(comma).trimmed();
    }
    const qsizetype slash = dataSource.indexOf(u'\\');
    if (slash >= 0) {
        address.instance = dataSource.mid(slash + 1).trimmed();
        dataSource = dataSource.left(slash).trimmed();
    }
    address.host = dataSource;
    address.local = dataSource.isEmpty() || dataSource == u'.'
        || dataSource.compare(QStringLiteral("(local)"), Qt::CaseInsensitive) == 0;
    return address;
}

bool isTrue(const QString& value)
{
    const QString v = value.trimmed();
    return v.compare(QStringLiteral("SSPI"), Qt::CaseInsensitive) == 0
        || v.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0
        || v.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0;
}

} // namespace

QStringList installedOdbcDrivers()
{
    QStringList drivers;
    SQLHENV env = SQL_NULL_HENV;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        return drivers;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_OV_ODBC3)), 0);
    SQLWCHAR description[512];
    SQLWCHAR attributes[2048];
    SQLSMALLINT descriptionLength = 0;
    SQLSMALLINT attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (
        SQL_SUCCEEDED(SQLDriversW(env, direction, description, SQLSMALLINT(std::size(description)), &descriptionLength,
                                  attributes, SQLSMALLINT(std::size(attributes)), &attributesLength))) {
        const qsizetype length = qMin<qsizetype>(descriptionLength, qsizetype(std::size(description)) - 1);
        drivers << QString::fromUtf16(reinterpret_cast<const char16_t*>(description), length);
        direction = SQL_FETCH_NEXT;
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return drivers;
}

QString odbcConnectionString(const QString& connectionString, const QString& driver)
{
    auto value = [&](const char* key) { return connectionStringValue(connectionString, QString::fromLatin1(key)); };
    const bool freeTds = driver.contains(QStringLiteral("FreeTDS"), Qt::CaseInsensitive);
    const ServerAddress address = parseDataSource(value("Data Source"));

    QString result
        = QStringLiteral("DRIVER={%1};").arg(QString(driver).replace(QStringLiteral("}"), QStringLiteral("}}")));
    auto add = [&](const QString& key, const QString& v) {
        result += key + QLatin1Char('=') + odbcValue(v) + QLatin1Char(';');
    };

    if (freeTds) {
        // FreeTDS takes a named instance as host\instance and a port as a key of its own; it
        // always speaks TCP/IP.
        const QString host = address.local ? kLocalHost : address.host;
        if (!address.port.isEmpty()) {
            add(QStringLiteral("Server"), host);
            add(QStringLiteral("Port"), address.port);
        } else {
            add(QStringLiteral("Server"),
                address.instance.isEmpty() ? host : host + QLatin1Char('\\') + address.instance);
        }
    } else {
#ifdef Q_OS_WIN
        const QString localHost = QStringLiteral("(local)");
#else
        const QString localHost = kLocalHost;
#endif
        const QString host = address.local ? localHost : address.host;
        if (!address.port.isEmpty())
            add(QStringLiteral("Server"), host + QLatin1Char(',') + address.port);
        else
            add(QStringLiteral("Server"),
                address.instance.isEmpty() ? host : host + QLatin1Char('\\') + address.instance);
    }

    const QString database = value("Initial Catalog");
    if (!database.isEmpty())
        add(QStringLiteral("Database"), database);
    const QString user = value("User ID");
    if (!freeTds && user.isEmpty() && isTrue(value("Integrated Security"))) {
        add(QStringLiteral("Trusted_Connection"), QStringLiteral("Yes"));
    } else if (!user.isEmpty()) {
        add(QStringLiteral("UID"), user);
        add(QStringLiteral("PWD"), value("Password"));
    }
    const QString workstation = value("Workstation ID");
    if (!workstation.isEmpty())
        add(QStringLiteral("WSID"), workstation);

    if (freeTds) {
        // The protocol of SQL Server 2012 and later (older servers answer with their own).
        // Left to "auto", FreeTDS falls back to the Sybase protocol after a silent server's
        // login time-out and then hangs instead of failing.
        add(QStringLiteral("TDS_Version"), QStringLiteral("7.4"));
        // Qt talks to FreeTDS in 8-bit text; make that UTF-8 both ways.
        add(QStringLiteral("ClientCharset"), QStringLiteral("UTF-8"));
    } else {
        if (value("Network Library").compare(QStringLiteral("dbmssocn"), Qt::CaseInsensitive) == 0)
            add(QStringLiteral("Network"), QStringLiteral("DBMSSOCN"));
        // Version 18 encrypts by default and then insists on a trusted server certificate;
        // the product's servers are reached as before, without encryption being demanded.
        if (driver.contains(QStringLiteral("ODBC Driver 18"), Qt::CaseInsensitive))
            add(QStringLiteral("Encrypt"), QStringLiteral("no"));
    }
    return result;
}

QString odbcConnectOptions(const QString& connectionString, int connectTimeout)
{
    QString options = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(qMax(0, connectTimeout));
    bool ok = false;
    const int packetSize = connectionStringValue(connectionString, QStringLiteral("Packet Size")).toInt(&ok);
    if (ok && packetSize > 0)
        options += QStringLiteral(";SQL_ATTR_PACKET_SIZE=%1").arg(packetSize);
    return options;
}

QString sqlServerOdbcDriver()
{
    return chooseSqlServerOdbcDriver(installedOdbcDrivers());
}

QString chooseSqliteOdbcDriver(const QStringList& installedDrivers)
{
    const QString driver = QLatin1String(kSqliteOdbcDriver);
    for (const QString& name : {driver, driver + QStringLiteral(" ODBC Driver")})
        for (const QString& installed : installedDrivers)
            if (installed.compare(name, Qt::CaseInsensitive) == 0)
                return installed;
    return QString();
}

QString chooseSqlServerOdbcDriver(const QStringList& installedDrivers)
{
    static const QStringList preferred {
        QStringLiteral("ODBC Driver 18 for SQL Server"), QStringLiteral("ODBC Driver 17 for SQL Server"),
        QStringLiteral("SQL Server Native Client 11.0"), QStringLiteral("SQL Server"), QStringLiteral("FreeTDS")};
    for (const QString& name : preferred)
        for (const QString& installed : installedDrivers)
            if (installed.compare(name, Qt::CaseInsensitive) == 0)
                return installed;
    return QString();
}

QString sqliteOdbcConnectionString(const QString& driver, const QString& file, int commandTimeout)
{
    // Timeout: the driver's busy time-out in milliseconds, from the command time-out (0: no limit).
    const int milliseconds = commandTimeout <= 0 || commandTimeout > INT_MAX / 1000 ? INT_MAX : commandTimeout * 1000;
    return QStringLiteral("DRIVER={%1};Database=%2;Timeout=%3;NoCreat=1;").arg(driver, file).arg(milliseconds);
}

} // namespace kolvix
