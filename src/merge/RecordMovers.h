#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace kolvix {

class MergeLedger;
class MergeSession;
class TaInfo;
struct ClientPair;

// The operations that move the From client's rows onto the To client. Each gives the number
// of rows it changed; every failure passes on. None begins, commits or rolls back anything.
// Where the merge keeps a record, each notes in it the rows its statement changes, with the
// statement's own condition, right before the statement.

int moveClient(MergeSession& s, const QString& table, const ClientPair& clients, const QString& column,
               MergeLedger* record);
int moveTrans(MergeSession& s, const QString& table, const ClientPair& clients, qint32 fromAccount, qint32 toAccount,
              MergeLedger* record);
// Adds the To client's account toAccount as a copy of the From client's fromAccount, named
// toName (the From account's name when empty).
int copyAccount(MergeSession& s, const ClientPair& clients, qint32 fromAccount, qint32 toAccount, const QString& toName,
                MergeLedger* record);
int deleteDuplicates(MergeSession& s, const QString& table, const QString& idColumn, const QString& groupColumns,
                     const QString& filterColumn, int maxRuns, qint32 filterValue, MergeLedger* record);
// PatCat rows in categories the To client does not hold yet.
int movePatCat(MergeSession& s, const ClientPair& clients, MergeLedger* record);
// ClientContact rows whose contact and relation the To client does not hold yet.
int moveClientContact(MergeSession& s, const ClientPair& clients, MergeLedger* record);

// The catalogue: the 42 steps in order, with the account loops over the settled accounts,
// then the clean-up of PXPendingClient rows that now refer to themselves; record: where the
// merge keeps its record, or nullptr.
void runCatalogue(MergeSession& s, const TaInfo& accounts, const ClientPair& clients, MergeLedger* record);

// The tables the catalogue moves rows of, each with the client-id columns it rewrites.
struct CatalogueTable
{
    const char* table;
    const char* column;
};
// Every (table, column) that some step of the catalogue rewrites for the From client.
const std::vector<CatalogueTable>& catalogueColumns();
// The tables whose rows the catalogue moves account by account (ClientID and AccountID).
std::vector<QString> accountKeyedTables();
// The rows the catalogue would move for these clients now: those of the From client that no
// step leaves behind (rows on an account it does not have, categories and contacts the To client
// holds already). A client emptied by an earlier merge has none unless it gained rows since.
int rowsToMove(MergeSession& s, const ClientPair& clients);
// For each table the catalogue changes (in lower case), every column that some step rewrites.
QHash<QString, QStringList> rewrittenColumnsByTable();

} // namespace kolvix
