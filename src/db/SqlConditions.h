#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

namespace kolvix {

class Connection;
class Statement;

// Pieces of statements whose identifiers come from the database's own catalogue (a table's
// columns, its primary key): every name is bracketed with ] doubled, every value is bound.

// A name for a statement: [name], with ] doubled.
QString quotedName(const QString& name);

// A parameter for a column's value: ":<role><column>" where the column's name can be one, else
// ":<role>Value". Parameters are bound in the order they occur, whatever their names.
QString parameterFor(const QString& role, const QString& column);

// "[A] = :KeyA AND [B] IS NULL": the condition that the columns hold these values; the non-null
// ones are bound in order by bindValues. With a qualifier (an alias, a bracketed table name)
// the columns are its: "c.[A] = :KeyA".
QString equalTo(const QStringList& columns, const QVariantList& values, const QString& role,
                const QString& qualifier = {});
// Binds the non-null values, in order: the parameters of equalTo.
void bindValues(Statement& statement, const QVariantList& values);

// "[A] = :OldA, [B] = :OldB": the assignments of a SET, every value bound.
QString assignments(const QStringList& columns, const QString& role);

// Whether the database has a table of that name (compared without regard to case).
bool tableExists(Connection& connection, const QString& table, int timeout);

// The first column of the statement's first row as an integer; 0 when there is none or it is null.
qint64 scalarOf(Statement& statement);

} // namespace kolvix
