#pragma once

#include <QString>
#include <stdexcept>

namespace kolvix {

// A failure of the database client. The message is the client's own text, unchanged,
// so that log lines and message boxes show exactly what the server or driver said.
class DbError : public std::runtime_error
{
public:
    explicit DbError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// The database file is kept locked by another connection (a transaction it does not finish):
// the connection gave up waiting for it. Nothing is wrong with the connection's settings.
class DatabaseBusy : public DbError
{
public:
    using DbError::DbError;
};

// The message of any exception, as the runners and the merge log it.
inline QString exceptionMessage(const std::exception& e)
{
    if (auto* db = dynamic_cast<const DbError*>(&e))
        return db->message();
    return QString::fromUtf8(e.what());
}

} // namespace kolvix
