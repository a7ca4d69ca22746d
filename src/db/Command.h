#pragma once

#include <QString>

namespace kolvix {

class Connection;

// Runs statements that return no rows and reports the rows they affected.
class Command
{
public:
    explicit Command(Connection& connection, int commandTimeout = 30)
        : m_connection(connection)
        , m_commandTimeout(commandTimeout)
    {
    }

    void setCommandText(const QString& sql) { m_sql = sql; }
    const QString& commandText() const { return m_sql; }
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds; }
    int commandTimeout() const { return m_commandTimeout; }

    // Executes the text once; returns the number of rows affected (0 when the driver cannot
    // tell). Throws DbError with the client's message.
    int execute();

    Connection& connection() const { return m_connection; }

private:
    Connection& m_connection;
    QString m_sql;
    int m_commandTimeout;
};

} // namespace kolvix
