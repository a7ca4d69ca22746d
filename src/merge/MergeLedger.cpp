#include "merge/MergeLedger.h"

#include "core/Log.h"
#include "db/Connection.h"
#include "db/Statement.h"
#include "merge/LockWaitWatch.h"
#include "merge/MergeSession.h"
#include "platform/Platform.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlRecord>

namespace kolvix {

namespace {

// As the program creates them when they are missing; schema/*/schema.sql hold the same.
struct LedgerTable
{
    const char* name;
    const char* create;
    const char* index;
};
constexpr LedgerTable kLedgerTables[] = {
    {"KolvixMerge",
     "CREATE TABLE KolvixMerge (\r\n"
     "    MergeID INT NOT NULL PRIMARY KEY,\r\n"
     "    AuditID INT NULL,\r\n"
     "    MergedAt DATETIME NULL,\r\n"
     "    Workstation NVARCHAR(64) NULL,\r\n"
     "    FromClientID INT NOT NULL,\r\n"
     "    ToClientID INT NOT NULL,\r\n"
     "    FromName NVARCHAR(100) NULL,\r\n"
     "    ToName NVARCHAR(100) NULL,\r\n"
     "    RowsChanged INT NULL,\r\n"
     "    MergeState VARCHAR(10) NOT NULL,\r\n"
     "    UndoneAt DATETIME NULL,\r\n"
     "    UndoAuditID INT NULL\r\n"
     ")",
     nullptr},
    {"KolvixMergeStep",
     "CREATE TABLE KolvixMergeStep (\r\n"
     "    MergeID INT NOT NULL,\r\n"
     "    StepNo INT NOT NULL,\r\n"
     "    CatalogueStep INT NOT NULL,\r\n"
     "    TableName NVARCHAR(128) NOT NULL,\r\n"
     "    Operation CHAR(1) NOT NULL,\r\n"
     "    ChangedColumns NVARCHAR(MAX) NULL,\r\n"
     "    OldValues NVARCHAR(1000) NULL,\r\n"
     "    NewValues NVARCHAR(1000) NULL,\r\n"
     "    KeyColumns NVARCHAR(MAX) NULL,\r\n"
     "    IntegerKey INT NOT NULL,\r\n"
     "    PrimaryKey INT NOT NULL,\r\n"
     "    RowsChanged INT NOT NULL,\r\n"
     "    CONSTRAINT PK_KolvixMergeStep PRIMARY KEY (MergeID, StepNo)\r\n"
     ")",
     nullptr},
    {"KolvixMergeRow",
     "CREATE TABLE KolvixMergeRow (\r\n"
     "    MergeID INT NOT NULL,\r\n"
     "    StepNo INT NOT NULL,\r\n"
     "    KeyID BIGINT NULL,\r\n"
     "    RowKey NVARCHAR(MAX) NULL,\r\n"
     "    RowData NVARCHAR(MAX) NULL\r\n"
     ")",
     "CREATE INDEX IX_KolvixMergeRow ON KolvixMergeRow (MergeID, StepNo)"},
};

bool tableExists(Connection& connection, const char* name)
{
    Statement query(connection, QStringLiteral("SELECT COUNT(*) FROM SYS.TABLES WHERE Name = :Name"),
                    connection.commandTimeout());
    query.addValue(QString::fromLatin1(name));
    query.execute();
    return query.next() && query.value(0).toInt() > 0;
}

void run(Connection& connection, const QString& sql, int timeout)
{
    Statement statement(connection, sql, timeout);
    statement.execute();
}

bool isIntegerType(const QMetaType& type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

QJsonValue encodeValue(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QJsonValue::Null;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return QStringLiteral("i:") + value.toString();
    case QMetaType::Double:
    case QMetaType::Float:
        return QStringLiteral("f:") + QString::number(value.toDouble(), 'g', 17);
    case QMetaType::QByteArray:
        return QStringLiteral("b:") + QString::fromLatin1(value.toByteArray().toBase64());
    case QMetaType::QDateTime:
        return QStringLiteral("t:") + value.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    case QMetaType::QDate:
        return QStringLiteral("d:") + value.toDate().toString(Qt::ISODate);
    case QMetaType::QTime:
        return QStringLiteral("h:") + value.toTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    default:
        return QStringLiteral("s:") + value.toString();
    }
}

QVariant decodeValue(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool();
    if (!value.isString())
        return {};
    const QString text = value.toString();
    const QString body = text.mid(2);
    switch (text.isEmpty() ? u's' : text.front().unicode()) {
    case u'i':
        return body.toLongLong();
    case u'f':
        return body.toDouble();
    case u'b':
        return QByteArray::fromBase64(body.toLatin1());
    case u't':
        return QDateTime::fromString(body, QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
    case u'd':
        return QDate::fromString(body, Qt::ISODate);
    case u'h':
        return QTime::fromString(body, QStringLiteral("HH:mm:ss.zzz"));
    default:
        return body;
    }
}

QVariantList namesAsValues(const QStringList& names)
{
    QVariantList values;
    for (const QString& name : names)
        values << name;
    return values;
}

} // namespace

bool ledgerTablesExist(Connection& connection)
{
    for (const LedgerTable& table : kLedgerTables) {
        if (!tableExists(connection, table.name))
            return false;
    }
    return true;
}

QString createLedgerTables(Connection& connection)
{
    try {
        for (const LedgerTable& table : kLedgerTables) {
            if (tableExists(connection, table.name))
                continue;
            run(connection, QString::fromLatin1(table.create), connection.commandTimeout());
            if (table.index)
                run(connection, QString::fromLatin1(table.index), connection.commandTimeout());
            writeLogFmt(QStringLiteral("ledger: created table %s"), {QString::fromLatin1(table.name)});
        }
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

QString encodeValues(const std::vector<QVariant>& values)
{
    QJsonArray array;
    for (const QVariant& value : values)
        array.append(encodeValue(value));
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

std::vector<QVariant> decodeValues(const QString& text)
{
    std::vector<QVariant> values;
    for (const QJsonValue& value : QJsonDocument::fromJson(text.toUtf8()).array())
        values.push_back(decodeValue(value));
    return values;
}

QString quotedName(const QString& name)
{
    return QLatin1Char('[') + QString(name).replace(QStringLiteral("]"), QStringLiteral("]]")) + QLatin1Char(']');
}

RowIdentity rowIdentity(Connection& connection, const QString& table, const QStringList& rewritten)
{
    const QSqlDatabase db = connection.database();
    const QSqlRecord record = db.record(table);
    const QSqlIndex primary = db.primaryIndex(table);
    RowIdentity identity;
    for (int i = 0; i < primary.count(); ++i) {
        if (!rewritten.contains(primary.fieldName(i), Qt::CaseInsensitive))
            identity.columns << primary.fieldName(i);
    }
    identity.primaryKey = !identity.columns.isEmpty();
    if (identity.primaryKey) {
        identity.integerKey
            = identity.columns.size() == 1 && isIntegerType(record.field(identity.columns[0]).metaType());
        return identity;
    }
    // No primary key to go by: every column but those the step rewrites, and the binary ones,
    // which neither engine compares the same way (and a row version changes with the update).
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField field = record.field(i);
        if (!rewritten.contains(field.name(), Qt::CaseInsensitive) && field.metaType().id() != QMetaType::QByteArray)
            identity.columns << field.name();
    }
    return identity;
}

void MergeLedger::write(Statement& statement)
{
    // Without the merge's transaction each write takes the embedded engine's write lock for
    // itself, and may wait for another connection's, like the steps.
    Connection& connection = m_session.conZelvan;
    if (connection.isEmbedded() && !connection.inTransaction())
        watchingForLocks(connection, m_session.ui, QStringLiteral("a statement could not be run"),
                         [&] { statement.execute(); });
    else
        statement.execute();
}

MergeLedger::MergeLedger(MergeSession& session, const ClientPair& clients, const QString& fromName,
                         const QString& toName, int auditId)
    : m_session(session)
    , m_from(clients.from)
    , m_to(clients.to)
    , m_fromName(fromName)
    , m_toName(toName)
    , m_auditId(auditId)
{
}

void MergeLedger::begin()
{
    if (m_mergeId >= 0)
        return;
    Connection& connection = m_session.conZelvan;
    const int timeout = m_session.cmd.commandTimeout();
    // The merge lock keeps every other merge out, so the next number is this merge's.
    {
        Statement next(connection, QStringLiteral("SELECT MAX(MergeID) FROM KolvixMerge"), timeout);
        next.execute();
        m_mergeId = (next.next() && !next.isNull(0) ? next.value(0).toInt() : 0) + 1;
    }
    Statement insert(connection,
                     QStringLiteral("INSERT INTO KolvixMerge (MergeID, AuditID, MergedAt, Workstation, FromClientID, "
                                    "ToClientID, FromName, ToName, RowsChanged, MergeState)\r\n"
                                    "VALUES (:MergeID, :AuditID, :MergedAt, :Workstation, :FromClientID, "
                                    ":ToClientID, :FromName, :ToName, 0, 'merging')"),
                     timeout);
    insert.bindParameters([&](const QString& name) -> QVariant {
        if (name == QLatin1String("MergeID"))
            return m_mergeId;
        if (name == QLatin1String("AuditID"))
            return m_auditId < 0 ? QVariant() : QVariant(m_auditId);
        if (name == QLatin1String("MergedAt"))
            return QDateTime::currentDateTime();
        if (name == QLatin1String("Workstation"))
            return platform().computerName().left(64);
        if (name == QLatin1String("FromClientID"))
            return m_from;
        if (name == QLatin1String("ToClientID"))
            return m_to;
        if (name == QLatin1String("FromName"))
            return m_fromName.left(100);
        return m_toName.left(100);
    });
    write(insert);
}

const RowIdentity& MergeLedger::identityOf(const QString& table, const QStringList& rewritten)
{
    const QString key = table.toLower() + QLatin1Char('|') + rewritten.join(QLatin1Char(',')).toLower();
    auto found = m_identities.find(key);
    if (found == m_identities.end())
        found = m_identities.insert(key, rowIdentity(m_session.conZelvan, table, rewritten));
    return *found;
}

void MergeLedger::recordUpdate(const QString& table, const QStringList& columns, const QVariantList& oldValues,
                               const QVariantList& newValues, const QString& condition)
{
    begin();
    Connection& connection = m_session.conZelvan;
    const int timeout = m_session.cmd.commandTimeout();
    const RowIdentity& identity = identityOf(table, columns);
    const int stepNo = m_steps + 1;
    int rows = 0;
    if (identity.integerKey) {
        // One statement, however many rows: the engine copies the keys itself.
        Statement copy(connection,
                       QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, KeyID)\r\n"
                                      "SELECT %1, %2, %3 FROM %4 WHERE %5")
                           .arg(m_mergeId)
                           .arg(stepNo)
                           .arg(quotedName(identity.columns[0]), quotedName(table), condition),
                       timeout);
        write(copy);
        rows = copy.rowsAffected();
    } else {
        QStringList names;
        for (const QString& column : identity.columns)
            names << quotedName(column);
        Statement read(connection,
                       QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                           .arg(names.join(QStringLiteral(", ")), quotedName(table), condition),
                       timeout);
        read.execute();
        std::vector<QString> keys;
        while (read.next())
            keys.push_back(encodeValues(read.row()));
        read.throwIfReadFailed();
        Statement insert(connection,
                         QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, RowKey) VALUES (%1, %2, :RowKey)")
                             .arg(m_mergeId)
                             .arg(stepNo),
                         timeout);
        for (const QString& key : keys) {
            insert.addValue(key);
            write(insert);
        }
        rows = int(keys.size());
    }
    addStep(table, u'U', columns, oldValues, newValues, identity, rows);
}

void MergeLedger::recordDelete(const QString& table, const QString& condition)
{
    begin();
    Connection& connection = m_session.conZelvan;
    const int timeout = m_session.cmd.commandTimeout();
    const RowIdentity& identity = identityOf(table, {});
    const int stepNo = m_steps + 1;
    Statement read(connection, QStringLiteral("SELECT * FROM %1 WHERE %2").arg(quotedName(table), condition), timeout);
    read.execute();
    const QStringList columns = read.columnNames();
    std::vector<int> keyAt;
    for (const QString& column : identity.columns)
        keyAt.push_back(int(columns.indexOf(column)));
    Statement insert(connection,
                     QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, KeyID, RowKey, RowData)\r\n"
                                    "VALUES (%1, %2, :KeyID, :RowKey, :RowData)")
                         .arg(m_mergeId)
                         .arg(stepNo),
                     timeout);
    int rows = 0;
    while (read.next()) {
        const std::vector<QVariant> row = read.row();
        std::vector<QVariant> key;
        for (int at : keyAt)
            key.push_back(at >= 0 ? row[size_t(at)] : QVariant());
        insert.addValue(identity.integerKey ? key[0] : QVariant());
        insert.addValue(encodeValues(key));
        insert.addValue(encodeValues(row));
        write(insert);
        ++rows;
    }
    read.throwIfReadFailed();
    addStep(table, u'D', columns, {}, {}, identity, rows);
}

void MergeLedger::recordInsert(const QString& table, const QStringList& keyColumns, const QVariantList& keyValues)
{
    begin();
    const int stepNo = m_steps + 1;
    Statement insert(m_session.conZelvan,
                     QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, RowKey) VALUES (%1, %2, :RowKey)")
                         .arg(m_mergeId)
                         .arg(stepNo),
                     m_session.cmd.commandTimeout());
    insert.addValue(encodeValues(std::vector<QVariant>(keyValues.begin(), keyValues.end())));
    write(insert);
    RowIdentity identity;
    identity.columns = keyColumns;
    identity.primaryKey = true;
    addStep(table, u'I', {}, {}, {}, identity, 1);
}

void MergeLedger::addStep(const QString& table, QChar operation, const QStringList& columns,
                          const QVariantList& oldValues, const QVariantList& newValues, const RowIdentity& identity,
                          int rows)
{
    if (rows == 0)
        return;
    ++m_steps;
    m_rows += rows;
    Statement insert(m_session.conZelvan,
                     QStringLiteral("INSERT INTO KolvixMergeStep (MergeID, StepNo, CatalogueStep, TableName, "
                                    "Operation, ChangedColumns, OldValues, NewValues, KeyColumns, IntegerKey, "
                                    "PrimaryKey, RowsChanged)\r\n"
                                    "VALUES (:MergeID, :StepNo, :CatalogueStep, :TableName, :Operation, "
                                    ":ChangedColumns, :OldValues, :NewValues, :KeyColumns, :IntegerKey, "
                                    ":PrimaryKey, :RowsChanged)"),
                     m_session.cmd.commandTimeout());
    const auto list
        = [](const QVariantList& values) { return encodeValues(std::vector<QVariant>(values.begin(), values.end())); };
    insert.addValue(m_mergeId);
    insert.addValue(m_steps);
    insert.addValue(m_step);
    insert.addValue(table);
    insert.addValue(QString(operation));
    insert.addValue(list(namesAsValues(columns)));
    insert.addValue(list(oldValues));
    insert.addValue(list(newValues));
    insert.addValue(list(namesAsValues(identity.columns)));
    insert.addValue(identity.integerKey ? 1 : 0);
    insert.addValue(identity.primaryKey ? 1 : 0);
    insert.addValue(rows);
    write(insert);
}

void MergeLedger::finish()
{
    begin();
    Statement update(m_session.conZelvan,
                     QStringLiteral("UPDATE KolvixMerge SET MergeState = 'merged', RowsChanged = :Rows WHERE "
                                    "MergeID = :MergeID"),
                     m_session.cmd.commandTimeout());
    update.addValue(m_rows);
    update.addValue(m_mergeId);
    write(update);
}

} // namespace kolvix
