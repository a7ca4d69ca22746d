#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace kolvix {

class Connection;

// One column value of the current row.
//
// Reading follows the stored value: integers, booleans and date-times of SQL Server arrive
// typed; the embedded engine stores booleans as 0/1 and date-times as ISO text
// 'YYYY-MM-DD hh:mm:ss', which asBoolean and asDateTime read back.
class Field
{
public:
    Field() = default;
    explicit Field(QVariant value)
        : m_value(std::move(value))
    {
    }
    bool isNull() const;
    // Null reads as 0, false, the empty text and an invalid date-time. asInteger reads
    // numbers and text of digits (0 for other text); asBoolean is true for a non-zero
    // number or number text, and for the texts "true", "T", "yes" and "Y" in any case.
    int asInteger() const;
    bool asBoolean() const;
    QString asString() const;
    QDateTime asDateTime() const;
    const QVariant& value() const { return m_value; }

private:
    QVariant m_value;
};

// A query result with static-cursor semantics: open() fetches the whole result, so the
// row count is exact and the rows can be walked again. Parameters are written in the SQL
// text as a colon and a name (:ClientID); each distinct name is one parameter, numbered in
// the order of its first appearance, so they can be bound by name or by position.
//
// A dataset also adds rows: append(), setFieldValue(), post() insert one row into the table
// that the dataset's query reads (its first FROM table), with the columns that were set; the
// new row is not added to the rows already fetched (reopen to read it).
class Dataset
{
public:
    explicit Dataset(Connection& connection, int commandTimeout = 30);

    void setSql(const QString& sql);
    const QString& sql() const { return m_sql; }
    void setCommandTimeout(int seconds) { m_commandTimeout = seconds; }
    int commandTimeout() const { return m_commandTimeout; }

    // Setting the SQL text keeps the values of parameters whose names it names again.
    QStringList paramNames() const { return m_paramNames; }
    // Both throw DbError for a parameter that the SQL text does not have.
    void setParam(const QString& name, const QVariant& value);
    void setParamAt(int position, const QVariant& value);

    // Throws DbError with the client's message; the dataset is then closed.
    void open();
    void close();
    bool isOpen() const { return m_open; }

    int recordCount() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    void first() { m_row = 0; }
    void next() { ++m_row; }
    bool eof() const { return m_row >= int(m_rows.size()); }
    int recNo() const { return m_row; }

    int fieldCount() const { return int(m_fieldNames.size()); }
    QString fieldName(int index) const { return m_fieldNames.value(index); }
    const QStringList& fieldNames() const { return m_fieldNames; }
    // The column of the current row; throws DbError for a column that the result lacks,
    // or when there is no current row.
    Field field(int index) const;
    Field field(const QString& name) const;
    bool hasField(const QString& name) const { return fieldIndex(name) >= 0; }

    // append() needs an open dataset; setFieldValue() and post() an appended row. They
    // throw DbError otherwise, and post() throws with the client's message when the insert
    // fails (the row stays pending until cancel()).
    void append();
    void setFieldValue(const QString& name, const QVariant& value);
    void post();
    void cancel();
    bool isAppending() const { return m_appending; }

    Connection& connection() const { return m_connection; }

private:
    int fieldIndex(const QString& name) const;
    int paramIndex(const QString& name) const;

    Connection& m_connection;
    int m_commandTimeout;
    QString m_sql;
    QStringList m_paramNames;
    std::vector<QVariant> m_params;
    bool m_open = false;
    QStringList m_fieldNames;
    std::vector<std::vector<QVariant>> m_rows;
    int m_row = 0;
    bool m_appending = false;
    std::vector<std::pair<QString, QVariant>> m_newRow;
};

} // namespace kolvix
