#pragma once

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

namespace kolvix {

class Connection;

// One statement on the connection, the one way the program runs SQL: Command, Dataset, the
// patient search and the duplicate finder all go through it.
//
// The statement is written in T-SQL and prepared as it runs on the connection: adapted where
// SQLite is the engine (Connection::prepareStatementText), with its time-out applied (on SQL
// Server the ODBC query time-out of the statement, on the embedded engine the longest wait for
// a lock). Parameters are written as a colon and a name (:ClientID) and become positional ones
// ("?"); each occurrence is one value. A "?" written in the text is a parameter too. Every
// value is bound as the engine takes it (Connection::engineValue). The result is read forward
// only, row by row.
class Statement
{
public:
    // Prepares the statement. Throws DbError with the client's message (also when the
    // connection is not open).
    Statement(Connection& connection, const QString& tsql, int commandTimeout);
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // The :name parameters of the text, one per occurrence, in the order they occur.
    const QStringList& parameterNames() const { return m_parameterNames; }
    // Binds every :name parameter, occurrence by occurrence, to valueOf(its name).
    void bindParameters(const std::function<QVariant(const QString& name)>& valueOf);
    // Binds the next parameter: the next "?" written in the text.
    void addValue(const QVariant& value);

    // Runs the statement with the values bound. Throws DbError with the client's message.
    void execute();
    // The number of rows the statement changed: 0 for a query, and when the driver cannot tell.
    int rowsAffected() const;

    // The columns of the result, as the engine names them (after execute()).
    const QStringList& columnNames() const { return m_columnNames; }
    // Moves to the next row; false after the last one, and when reading failed
    // (throwIfReadFailed() then says so).
    bool next();
    // Throws DbError with the client's message when reading the rows failed.
    void throwIfReadFailed() const;
    // The current row's values as the driver gives them.
    bool isNull(int column) const { return m_query.isNull(column); }
    QVariant value(int column) const { return m_query.value(column); }
    // The current row, null values as QVariants without type.
    std::vector<QVariant> row() const;
    // Lets the engine go of the result (the statement may not be read on).
    void finish() { m_query.finish(); }

private:
    Connection& m_connection;
    QSqlQuery m_query;
    QStringList m_parameterNames;
    QStringList m_columnNames;
};

} // namespace kolvix
