#pragma once

// Every statement template the program sends, as the merge, the pre-checks, the account model,
// the search, the left-behind check and the main window write it for one merge: client 812
// (From) into client 57 (To).

#include <QString>
#include <QVariantList>

#include <ostream>
#include <vector>

namespace kolvix::test {

struct StatementTemplate
{
    const char* name;
    QString tsql; // as sent to SQL Server: the merge's values formatted in, ":name" parameters left
    QString adapted; // as adapted for the embedded engine; null: the text must pass unchanged
    QVariantList params; // values of the parameters, by position (first occurrence of each name)
    int rows = -1; // rows of the result, or rows affected; -1: not checked
    QString firstValue = {}; // first column of the first row; null: not checked
    bool serverOnly = false; // sent to SQL Server only: never adapted nor run on the embedded engine
};

void PrintTo(const StatementTemplate& t, std::ostream* os);

std::vector<StatementTemplate> statementTemplates();
std::vector<StatementTemplate> embeddedStatementTemplates(); // all but the serverOnly ones

// The account copy of a merge with the given select list (see the account-copy templates).
QString copyAccount(const QString& values);
const QString& namedAccountValues(); // account 2 of client 57, named "O'Brien TOP 5 SYS.TABLES"
const QString& dateLikeNamedAccountValues(); // account 2 of client 57, named "20261210"
const QString& unnamedAccountValues(); // account 3 of client 57, the name copied

// The main window's count statement as the program sends it (variable "@CID"), or as it reads
// once adapted (the DECLARE and SET lines gone, the given parameter in place of the variable).
QString countStatement(const QString& variable);

} // namespace kolvix::test
