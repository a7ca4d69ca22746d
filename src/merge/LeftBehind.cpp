#include "merge/LeftBehind.h"

#include "core/Format.h"
#include "core/TracePane.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "merge/RecordMovers.h"
#include "merge/Runners.h"

#include <QSet>

namespace kolvix {

namespace {

// Base tables that have a column named ClientID (any case).
QStringList tablesWithClientId(Dataset& ds)
{
    QStringList tables;
    ds.close();
    if (ds.connection().isEmbedded()) {
        ds.setSql(QStringLiteral("SELECT m.name FROM sqlite_master m JOIN pragma_table_info(m.name) c "
                                 "WHERE m.type = 'table' AND c.name = 'ClientID' COLLATE NOCASE ORDER BY m.name"));
    } else {
        ds.setSql(QStringLiteral("SELECT c.TABLE_NAME FROM INFORMATION_SCHEMA.COLUMNS c "
                                 "JOIN INFORMATION_SCHEMA.TABLES t ON t.TABLE_SCHEMA = c.TABLE_SCHEMA AND "
                                 "t.TABLE_NAME = c.TABLE_NAME "
                                 "WHERE t.TABLE_TYPE = 'BASE TABLE' AND c.COLUMN_NAME = 'ClientID' "
                                 "ORDER BY c.TABLE_NAME"));
    }
    ds.open();
    for (ds.first(); !ds.eof(); ds.next())
        tables << ds.field(0).asString();
    return tables;
}

} // namespace

std::vector<std::pair<QString, int>> tablesNotMoved(Dataset& dsTemp, qint32 clientID)
{
    QSet<QString> covered = {QStringLiteral("client"), QStringLiteral("account")};
    for (const CatalogueTable& entry : catalogueColumns())
        covered.insert(QString::fromLatin1(entry.table).toLower());

    std::vector<std::pair<QString, int>> result;
    for (const QString& table : tablesWithClientId(dsTemp)) {
        if (covered.contains(table.toLower()))
            continue;
        dsTemp.close();
        dsTemp.setSql(Format(QStringLiteral("SELECT COUNT(*) FROM [%s] WHERE [ClientID] = %d"), {table, clientID}));
        dsTemp.open();
        const int rows = dsTemp.isEmpty() ? 0 : dsTemp.field(0).asInteger();
        if (rows > 0)
            result.emplace_back(table, rows);
    }
    return result;
}

std::vector<RowsOnMissingAccounts> rowsOnMissingAccounts(Dataset& dsTemp, qint32 clientID)
{
    std::vector<RowsOnMissingAccounts> result;
    TracePane scratch;
    for (const QString& table : accountKeyedTables()) {
        if (!tableExists(dsTemp, scratch, table, false))
            continue;
        dsTemp.close();
        dsTemp.setSql(Format(QStringLiteral("SELECT [AccountID], COUNT(*) FROM [%s]\r\n"
                                            "WHERE [ClientID] = %d AND ([AccountID] IS NULL OR [AccountID] < 0 OR "
                                            "[AccountID] NOT IN (SELECT [AccountID] FROM [Account] WHERE [ClientID] "
                                            "= %d))\r\n"
                                            "GROUP BY [AccountID]\r\nORDER BY [AccountID]"),
                             {table, clientID, clientID}));
        dsTemp.open();
        RowsOnMissingAccounts rows {table, 0, {}};
        for (dsTemp.first(); !dsTemp.eof(); dsTemp.next()) {
            rows.accounts << (dsTemp.field(0).isNull() ? QStringLiteral("null") : dsTemp.field(0).asString());
            rows.rows += dsTemp.field(1).asInteger();
        }
        if (rows.rows > 0)
            result.push_back(rows);
    }
    return result;
}

QStringList notMovedLines(const std::vector<RowsOnMissingAccounts>& rows)
{
    QStringList lines;
    for (const RowsOnMissingAccounts& entry : rows)
        lines << QStringLiteral("Not moved: %1 (%2 rows on account%3 %4, which the client does not have)")
                     .arg(entry.table)
                     .arg(entry.rows)
                     .arg(entry.accounts.size() == 1 ? QString() : QStringLiteral("s"),
                          entry.accounts.join(QStringLiteral(", ")));
    return lines;
}

} // namespace kolvix
