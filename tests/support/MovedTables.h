#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace kolvix::test {

// A column holding a client id that the merge rewrites from the From client to the To client.
struct MovedColumn
{
    QString table;
    QString column;
    bool byAccount = false; // moved account by account, on ClientID and AccountID
};

// The tables the merge moves, as the tests state them: every (table, column) that the catalogue
// rewrites, in the order the merge runs it. RecordMoversTest compares it with the engine's own
// catalogue (merge/RecordMovers); the schema, demo-database and merge tests read it from here.
const std::vector<MovedColumn>& movedColumns();

// The tables moved account by account, in the catalogue's order.
QStringList tablesMovedByAccount();

// The other tables whose rows move on their ClientID column, in the catalogue's order.
QStringList tablesMovedByClientId();

} // namespace kolvix::test
