#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace kolvix {

class Dataset;

// Tables outside the merge catalogue whose ClientID column holds rows of the client: rows
// that a merge would leave behind. The client's own Client and Account rows, which stay by
// design, are not listed. Read from the database's own catalogue.
std::vector<std::pair<QString, int>> tablesNotMoved(Dataset& dsTemp, qint32 clientID);

// Rows of a table that the catalogue moves account by account (Trans, HICAPSDetail, ...)
// which stay with the client: they name an account the client does not have (or one with a
// negative id, which no mapping moves).
struct RowsOnMissingAccounts
{
    QString table;
    int rows = 0;
    QStringList accounts; // the account ids, "null" for a row without one
};
std::vector<RowsOnMissingAccounts> rowsOnMissingAccounts(Dataset& dsTemp, qint32 clientID);
// Their "Not moved" lines: table, rows and the account ids.
QStringList notMovedLines(const std::vector<RowsOnMissingAccounts>& rows);

} // namespace kolvix
