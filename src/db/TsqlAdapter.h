#pragma once

#include <QString>
#include <QStringList>

namespace kolvix {

// Adapts the program's T-SQL to SQLite, token by token: string literals ('' inside), bracketed
// names (]] inside), "quoted names" and comments (-- and /* */) are never changed. Handled
// constructs:
//   SELECT TOP n ...            -> SELECT ... LIMIT n (at the end of that SELECT: before the
//                                  parenthesis closing its level, a UNION of its level, a
//                                  semicolon or the end; an ORDER BY stays before the LIMIT)
//   UPDATE TOP (n) t SET ... WHERE c -> UPDATE t SET ... WHERE rowid IN (SELECT rowid FROM t
//                                  WHERE c LIMIT n)
//   SYS.TABLES                  -> the table list of sqlite_master (column Name, compared
//                                  without regard to case)
//   DECLARE @v type / SET @v = x -> removed; every later @v replaced by x (x a literal, a
//                                  number, a negative number, NULL or a :parameter)
//   ISNULL(                     -> IFNULL(
//   VARCHAR(MAX), NVARCHAR(MAX), VARBINARY(MAX) -> the type without a size
//   dbo.name, [dbo].name        -> name
//   a date literal on the right of a comparison operator ('yyyymmdd' or 'yyyy.mm.dd')
//                               -> 'YYYY-MM-DD 00:00:00'
// Everything else passes unchanged.
QString adaptTsqlForSqlite(const QString& tsql);

// Replaces every :name parameter outside literals, bracketed names and comments with ?,
// and gives the names in the order they occur (a name may occur more than once).
struct ParameterisedStatement
{
    QString text;
    QStringList occurrences;
};
ParameterisedStatement positionalParameters(const QString& sql);

// The table that a query reads first: the name after its first FROM outside parentheses, as
// written (brackets and a schema included); empty when there is none.
QString firstFromTable(const QString& sql);

} // namespace kolvix
