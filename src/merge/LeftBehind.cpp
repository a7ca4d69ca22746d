#include "merge/LeftBehind.h"

#include "core/Format.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "merge/RecordMovers.h"

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

} // namespace kolvix
