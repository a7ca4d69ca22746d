#include "Dataset.h"

#include "DbError.h"
#include "Statement.h"
#include "TsqlAdapter.h"

#include <cmath>

namespace kolvix {

// ---- Field ---------------------------------------------------------------------------------

bool Field::isNull() const
{
    return !m_value.isValid() || m_value.isNull();
}

int Field::asInteger() const
{
    if (isNull())
        return 0;
    switch (m_value.typeId()) {
    case QMetaType::QString: {
        const QString text = m_value.toString().trimmed();
        bool ok = false;
        const qlonglong whole = text.toLongLong(&ok);
        if (ok)
            return int(whole);
        const double number = text.toDouble(&ok);
        return ok ? int(std::lround(number)) : 0;
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return int(std::lround(m_value.toDouble()));
    default:
        return int(m_value.toLongLong());
    }
}

bool Field::asBoolean() const
{
    if (isNull())
        return false;
    switch (m_value.typeId()) {
    case QMetaType::Bool:
        return m_value.toBool();
    case QMetaType::QString: {
        const QString text = m_value.toString().trimmed();
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (ok)
            return number != 0;
        for (const char* word : {"true", "t", "yes", "y"})
            if (text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }
    default:
        return m_value.toDouble() != 0;
    }
}

QString Field::asString() const
{
    if (isNull())
        return QString();
    if (m_value.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(m_value.toByteArray());
    return m_value.toString();
}

QDateTime Field::asDateTime() const
{
    if (isNull())
        return QDateTime();
    switch (m_value.typeId()) {
    case QMetaType::QDateTime:
        return m_value.toDateTime();
    case QMetaType::QDate:
        return m_value.toDate().startOfDay();
    default:
        break;
    }
    // The embedded engine's 'YYYY-MM-DD hh:mm:ss' (also with milliseconds, a T, or the date alone).
    QString text = m_value.toString().trimmed();
    if (text.size() > 10 && text[10] == u' ')
        text[10] = u'T';
    const QDateTime dateTime = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (dateTime.isValid())
        return dateTime;
    const QDate date = QDate::fromString(text, Qt::ISODate);
    return date.isValid() ? date.startOfDay() : QDateTime();
}

// ---- Dataset -------------------------------------------------------------------------------

Dataset::Dataset(Connection& connection, int commandTimeout)
    : m_connection(connection)
    , m_commandTimeout(commandTimeout)
{
}

void Dataset::setSql(const QString& sql)
{
    QStringList names;
    for (const QString& name : positionalParameters(sql).occurrences)
        if (!names.contains(name, Qt::CaseInsensitive))
            names << name;
    std::vector<QVariant> values(names.size());
    for (int i = 0; i < names.size(); ++i) {
        const int old = paramIndex(names[i]);
        if (old >= 0)
            values[i] = m_params[old];
    }
    m_sql = sql;
    m_paramNames = names;
    m_params = std::move(values);
}

int Dataset::paramIndex(const QString& name) const
{
    for (int i = 0; i < m_paramNames.size(); ++i)
        if (m_paramNames[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void Dataset::setParam(const QString& name, const QVariant& value)
{
    const int index = paramIndex(name);
    if (index < 0)
        throw DbError(QStringLiteral("Parameter '%1' not found").arg(name));
    m_params[index] = value;
}

void Dataset::setParamAt(int position, const QVariant& value)
{
    if (position < 0 || position >= int(m_params.size()))
        throw DbError(QStringLiteral("Parameter %1 not found").arg(position));
    m_params[position] = value;
}

void Dataset::open()
{
    close();
    Statement statement(m_connection, m_sql, m_commandTimeout);
    statement.bindParameters([this](const QString& name) {
        const int index = paramIndex(name);
        return index >= 0 ? m_params[index] : QVariant();
    });
    statement.execute();

    const QStringList names = statement.columnNames();
    std::vector<std::vector<QVariant>> rows;
    while (statement.next())
        rows.push_back(statement.row());
    statement.throwIfReadFailed();

    m_fieldNames = names;
    m_rows = std::move(rows);
    m_row = 0;
    m_open = true;
}

void Dataset::close()
{
    m_open = false;
    m_fieldNames.clear();
    m_rows.clear();
    m_row = 0;
    cancel();
}

int Dataset::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fieldNames.size(); ++i)
        if (m_fieldNames[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

Field Dataset::field(int index) const
{
    if (index < 0 || index >= fieldCount())
        throw DbError(QStringLiteral("Field index %1 out of range").arg(index));
    if (eof() || m_row < 0)
        throw DbError(QStringLiteral("No current record"));
    return Field(m_rows[m_row][index]);
}

Field Dataset::field(const QString& name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw DbError(QStringLiteral("Field '%1' not found").arg(name));
    return field(index);
}

void Dataset::append()
{
    if (!m_open)
        throw DbError(QStringLiteral("Cannot add a row: the dataset is closed"));
    m_appending = true;
    m_newRow.clear();
}

void Dataset::setFieldValue(const QString& name, const QVariant& value)
{
    if (!m_appending)
        throw DbError(QStringLiteral("Cannot set field '%1': no row is being added").arg(name));
    if (fieldIndex(name) < 0)
        throw DbError(QStringLiteral("Field '%1' not found").arg(name));
    for (auto& [column, v] : m_newRow) {
        if (column.compare(name, Qt::CaseInsensitive) == 0) {
            v = value;
            return;
        }
    }
    m_newRow.emplace_back(name, value);
}

void Dataset::post()
{
    if (!m_appending)
        throw DbError(QStringLiteral("Cannot post: no row is being added"));
    const QString table = firstFromTable(m_sql);
    if (table.isEmpty())
        throw DbError(QStringLiteral("Cannot post: the dataset's statement reads no table"));

    QStringList columns;
    QStringList marks;
    for (const auto& entry : m_newRow) {
        columns << QLatin1Char('[') + QString(entry.first).replace(QStringLiteral("]"), QStringLiteral("]]"))
                + QLatin1Char(']');
        marks << QStringLiteral("?");
    }
    const QString sql = columns.isEmpty()
        ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
              .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    Statement statement(m_connection, sql, m_commandTimeout);
    for (const auto& entry : m_newRow)
        statement.addValue(entry.second);
    statement.execute();
    cancel();
}

void Dataset::cancel()
{
    m_appending = false;
    m_newRow.clear();
}

} // namespace kolvix
