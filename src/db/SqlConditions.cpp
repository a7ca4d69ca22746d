#include "SqlConditions.h"

#include "Statement.h"

#include <QRegularExpression>

namespace kolvix {

QString quotedName(const QString& name)
{
    return QLatin1Char('[') + QString(name).replace(QStringLiteral("]"), QStringLiteral("]]")) + QLatin1Char(']');
}

QString parameterFor(const QString& role, const QString& column)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return QLatin1Char(':') + role + (plain.match(column).hasMatch() ? column : QStringLiteral("Value"));
}

QString equalTo(const QStringList& columns, const QVariantList& values, const QString& role, const QString& qualifier)
{
    const QString prefix = qualifier.isEmpty() ? QString() : qualifier + QLatin1Char('.');
    QStringList parts;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const bool null = i >= values.size() || values[i].isNull();
        parts << prefix + quotedName(columns[i])
                + (null ? QStringLiteral(" IS NULL") : QStringLiteral(" = ") + parameterFor(role, columns[i]));
    }
    return parts.join(QStringLiteral(" AND "));
}

void bindValues(Statement& statement, const QVariantList& values)
{
    for (const QVariant& value : values) {
        if (!value.isNull())
            statement.addValue(value);
    }
}

QString assignments(const QStringList& columns, const QString& role)
{
    QStringList parts;
    for (const QString& column : columns)
        parts << quotedName(column) + QStringLiteral(" = ") + parameterFor(role, column);
    return parts.join(QStringLiteral(", "));
}

bool tableExists(Connection& connection, const QString& table, int timeout)
{
    Statement query(connection, QStringLiteral("SELECT COUNT(*) FROM SYS.TABLES WHERE Name = :Name"), timeout);
    query.addValue(table);
    return scalarOf(query) > 0;
}

qint64 scalarOf(Statement& statement)
{
    statement.execute();
    return statement.next() && !statement.isNull(0) ? statement.value(0).toLongLong() : 0;
}

} // namespace kolvix
