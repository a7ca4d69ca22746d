#include "ledger/MergeLedger.h"

#include "core/LockWaitWatch.h"
#include "core/Log.h"
#include "db/Connection.h"
#include "db/SqlConditions.h"
#include "db/Statement.h"
#include "platform/Platform.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlRecord>
#include <utility>

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
     "    CheckColumns NVARCHAR(MAX) NULL,\r\n"
     "    CONSTRAINT PK_KolvixMergeStep PRIMARY KEY (MergeID, StepNo)\r\n"
     ")",
     nullptr},
    {"KolvixMergeRow",
     "CREATE TABLE KolvixMergeRow (\r\n"
     "    MergeID INT NOT NULL,\r\n"
     "    StepNo INT NOT NULL,\r\n"
     "    KeyID BIGINT NULL,\r\n"
     "    RowKey NVARCHAR(MAX) NULL,\r\n"
     "    RowData NVARCHAR(MAX) NULL,\r\n"
     "    RowCheck INT NULL\r\n"
     ")",
     "CREATE INDEX IX_KolvixMergeRow ON KolvixMergeRow (MergeID, StepNo)"},
};

// Columns that later versions added to the tables, for records that older versions created.
struct LedgerColumn
{
    const char* table;
    const char* column;
    const char* definition;
};
constexpr LedgerColumn kAddedColumns[] = {
    {"KolvixMergeStep", "CheckColumns", "NVARCHAR(MAX) NULL"},
    {"KolvixMergeRow", "RowCheck", "INT NULL"},
};

void run(Connection& connection, const QString& sql, int timeout)
{
    Statement statement(connection, sql, timeout);
    statement.execute();
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

// One value of an array; false when its tag is unknown or its text does not read as the tag says.
bool decodeValue(const QJsonValue& value, QVariant& decoded)
{
    if (value.isNull()) {
        decoded = QVariant();
        return true;
    }
    if (value.isBool()) {
        decoded = value.toBool();
        return true;
    }
    if (!value.isString())
        return false;
    const QString text = value.toString();
    if (text.size() < 2 || text[1] != u':')
        return false;
    const QString body = text.mid(2);
    bool ok = true;
    switch (text.front().unicode()) {
    case u'i':
        decoded = body.toLongLong(&ok);
        return ok;
    case u'f':
        decoded = body.toDouble(&ok);
        return ok;
    case u'b': {
        const auto bytes = QByteArray::fromBase64Encoding(body.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        decoded = *bytes;
        return bool(bytes);
    }
    case u't':
        decoded = QDateTime::fromString(body, QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
        return decoded.toDateTime().isValid();
    case u'd':
        decoded = QDate::fromString(body, Qt::ISODate);
        return decoded.toDate().isValid();
    case u'h':
        decoded = QTime::fromString(body, QStringLiteral("HH:mm:ss.zzz"));
        return decoded.toTime().isValid();
    case u's':
        decoded = body;
        return true;
    default:
        return false;
    }
}

QVariantList namesAsValues(const QStringList& names)
{
    QVariantList values;
    for (const QString& name : names)
        values << name;
    return values;
}

QString listOf(const QVariantList& values)
{
    return encodeValues(std::vector<QVariant>(values.begin(), values.end()));
}

// On SQL Server, the columns whose types BINARY_CHECKSUM does not take, or that change by
// themselves (a row version).
QStringList uncheckableColumns(Connection& connection, const QString& table, int timeout)
{
    QStringList columns;
    if (connection.isEmbedded())
        return columns;
    Statement query(connection,
                    QStringLiteral("SELECT c.name FROM sys.columns c JOIN sys.types t ON t.user_type_id = "
                                   "c.user_type_id\r\nWHERE c.object_id = OBJECT_ID(:TableName) AND t.name IN "
                                   "('text', 'ntext', 'image', 'xml', 'sql_variant', 'timestamp', 'geography', "
                                   "'geometry', 'hierarchyid')"),
                    timeout);
    query.addValue(table);
    query.execute();
    while (query.next())
        columns << query.value(0).toString();
    query.throwIfReadFailed();
    return columns;
}

} // namespace

bool isIntegerType(int typeId)
{
    switch (typeId) {
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

bool ledgerHasColumn(Connection& connection, const QString& table, const QString& column)
{
    return connection.database().record(table).contains(column);
}

bool ledgerTablesExist(Connection& connection)
{
    for (const LedgerTable& table : kLedgerTables) {
        if (!tableExists(connection, QString::fromLatin1(table.name), connection.commandTimeout()))
            return false;
    }
    for (const LedgerColumn& added : kAddedColumns) {
        if (!ledgerHasColumn(connection, QString::fromLatin1(added.table), QString::fromLatin1(added.column)))
            return false;
    }
    return true;
}

QString createLedgerTables(Connection& connection)
{
    const int timeout = connection.commandTimeout();
    try {
        for (const LedgerTable& table : kLedgerTables) {
            if (tableExists(connection, QString::fromLatin1(table.name), timeout))
                continue;
            run(connection, QString::fromLatin1(table.create), timeout);
            if (table.index)
                run(connection, QString::fromLatin1(table.index), timeout);
            writeLogFmt(QStringLiteral("ledger: created table %s"), {QString::fromLatin1(table.name)});
        }
        for (const LedgerColumn& added : kAddedColumns) {
            const QString table = QString::fromLatin1(added.table);
            const QString column = QString::fromLatin1(added.column);
            if (ledgerHasColumn(connection, table, column))
                continue;
            run(connection,
                QStringLiteral("ALTER TABLE %1 ADD %2 %3").arg(table, column, QString::fromLatin1(added.definition)),
                timeout);
            writeLogFmt(QStringLiteral("ledger: added column %s.%s"), {table, column});
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

bool decodeValues(const QString& text, QVariantList& values, QString& error)
{
    values.clear();
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &parse);
    if (parse.error != QJsonParseError::NoError || !document.isArray()) {
        error = QStringLiteral("a list of values that does not read: '%1'").arg(text.left(60));
        return false;
    }
    for (const QJsonValue& value : document.array()) {
        QVariant decoded;
        if (!decodeValue(value, decoded)) {
            error
                = QStringLiteral("a value of an unknown type or that does not read as its type: '%1'")
                      .arg(
                          QString::fromUtf8(QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact)).left(60));
            return false;
        }
        values << decoded;
    }
    return true;
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
            = identity.columns.size() == 1 && isIntegerType(record.field(identity.columns[0]).metaType().id());
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

QStringList checkColumns(Connection& connection, const QString& table, const QStringList& excluded)
{
    QStringList columns;
    if (!connection.hasBinaryChecksum())
        return columns;
    const QSqlRecord record = connection.database().record(table);
    const QStringList uncheckable = uncheckableColumns(connection, table, connection.commandTimeout());
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField field = record.field(i);
        if (!excluded.contains(field.name(), Qt::CaseInsensitive)
            && !uncheckable.contains(field.name(), Qt::CaseInsensitive)
            && field.metaType().id() != QMetaType::QByteArray)
            columns << field.name();
    }
    return columns;
}

QString rowCheckExpression(const QString& qualifier, const QStringList& columns)
{
    QStringList names;
    for (const QString& column : columns)
        names << qualifier + QLatin1Char('.') + quotedName(column);
    return QStringLiteral("BINARY_CHECKSUM(%1)").arg(names.join(QStringLiteral(", ")));
}

MergeLedger::MergeLedger(Connection& connection, UserInterface& ui, int timeout, const Merge& merge,
                         QHash<QString, QStringList> rewritten)
    : m_connection(connection)
    , m_ui(ui)
    , m_timeout(timeout)
    , m_merge(merge)
    , m_rewritten(std::move(rewritten))
{
}

void MergeLedger::write(Statement& statement, const QString& what)
{
    // Without the merge's transaction each write takes the embedded engine's write lock for
    // itself, and may wait for another connection's, like the steps.
    if (m_connection.isEmbedded() && !m_connection.inTransaction())
        watchingForLocks(m_connection, m_ui, what, [&] { statement.execute(); });
    else
        statement.execute();
}

void MergeLedger::start()
{
    if (m_mergeId >= 0)
        return;
    // The merge lock keeps every other merge out, so the next number is this merge's.
    {
        Statement next(m_connection, QStringLiteral("SELECT MAX(MergeID) FROM KolvixMerge"), m_timeout);
        m_mergeId = int(scalarOf(next)) + 1;
    }
    Statement insert(m_connection,
                     QStringLiteral("INSERT INTO KolvixMerge (MergeID, AuditID, MergedAt, Workstation, FromClientID, "
                                    "ToClientID, FromName, ToName, RowsChanged, MergeState)\r\n"
                                    "VALUES (:MergeID, :AuditID, :MergedAt, :Workstation, :FromClientID, "
                                    ":ToClientID, :FromName, :ToName, 0, 'started')"),
                     m_timeout);
    insert.bindParameters([&](const QString& name) -> QVariant {
        if (name == QLatin1String("MergeID"))
            return m_mergeId;
        if (name == QLatin1String("AuditID"))
            return m_merge.auditId < 0 ? QVariant() : QVariant(m_merge.auditId);
        if (name == QLatin1String("MergedAt"))
            return QDateTime::currentDateTime();
        if (name == QLatin1String("Workstation"))
            return platform().computerName().left(64);
        if (name == QLatin1String("FromClientID"))
            return m_merge.from;
        if (name == QLatin1String("ToClientID"))
            return m_merge.to;
        if (name == QLatin1String("FromName"))
            return m_merge.fromName.left(100);
        return m_merge.toName.left(100);
    });
    try {
        write(insert, QStringLiteral("the record of the merge was not written"));
    } catch (...) {
        m_mergeId = -1;
        throw;
    }
}

const RowIdentity& MergeLedger::identityOf(const QString& table, const QStringList& rewritten)
{
    const QString key = table.toLower() + QLatin1Char('|') + rewritten.join(QLatin1Char(',')).toLower();
    auto found = m_identities.find(key);
    if (found == m_identities.end())
        found = m_identities.insert(key, rowIdentity(m_connection, table, rewritten));
    return *found;
}

QStringList MergeLedger::checkColumnsOf(const QString& table, bool excludeRewritten)
{
    const QString key = table.toLower() + (excludeRewritten ? QStringLiteral("|moved") : QString());
    auto found = m_checkColumns.find(key);
    if (found == m_checkColumns.end())
        found = m_checkColumns.insert(
            key,
            checkColumns(m_connection, table, excludeRewritten ? m_rewritten.value(table.toLower()) : QStringList()));
    return *found;
}

void MergeLedger::recordUpdate(const QString& table, const QStringList& columns, const QVariantList& oldValues,
                               const QVariantList& newValues, const QString& condition)
{
    start();
    const RowIdentity& identity = identityOf(table, columns);
    const QStringList checked = checkColumnsOf(table, true);
    const QString check = checked.isEmpty() ? QStringLiteral("NULL") : rowCheckExpression(quotedName(table), checked);
    const int stepNo = m_steps + 1;
    int rows = 0;
    if (identity.integerKey) {
        // One statement, however many rows: the engine copies the keys and check sums itself.
        Statement copy(m_connection,
                       QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, KeyID, RowCheck)\r\n"
                                      "SELECT %1, %2, %3, %4 FROM %5 WHERE %6")
                           .arg(m_mergeId)
                           .arg(stepNo)
                           .arg(quotedName(identity.columns[0]), check, quotedName(table), condition),
                       m_timeout);
        write(copy);
        rows = copy.rowsAffected();
    } else {
        QStringList names;
        for (const QString& column : identity.columns)
            names << quotedName(column);
        Statement read(m_connection,
                       QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4")
                           .arg(names.join(QStringLiteral(", ")), check, quotedName(table), condition),
                       m_timeout);
        read.execute();
        std::vector<std::pair<QString, QVariant>> keys;
        while (read.next()) {
            std::vector<QVariant> row = read.row();
            const QVariant rowCheck = row.back();
            row.pop_back();
            keys.emplace_back(encodeValues(row), rowCheck);
        }
        read.throwIfReadFailed();
        Statement insert(m_connection,
                         QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, RowKey, RowCheck) VALUES (%1, "
                                        "%2, :RowKey, :RowCheck)")
                             .arg(m_mergeId)
                             .arg(stepNo),
                         m_timeout);
        for (const auto& [key, rowCheck] : keys) {
            insert.addValue(key);
            insert.addValue(rowCheck);
            write(insert);
        }
        rows = int(keys.size());
    }
    addStep(table, u'U', columns, oldValues, newValues, identity, checked, rows);
}

void MergeLedger::recordDelete(const QString& table, const QString& condition)
{
    start();
    const RowIdentity& identity = identityOf(table, {});
    const int stepNo = m_steps + 1;
    Statement read(m_connection, QStringLiteral("SELECT * FROM %1 WHERE %2").arg(quotedName(table), condition),
                   m_timeout);
    read.execute();
    const QStringList columns = read.columnNames();
    std::vector<int> keyAt;
    for (const QString& column : identity.columns)
        keyAt.push_back(int(columns.indexOf(column)));
    Statement insert(m_connection,
                     QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, KeyID, RowKey, RowData)\r\n"
                                    "VALUES (%1, %2, :KeyID, :RowKey, :RowData)")
                         .arg(m_mergeId)
                         .arg(stepNo),
                     m_timeout);
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
    addStep(table, u'D', columns, {}, {}, identity, {}, rows);
}

void MergeLedger::recordInsert(const QString& table, const QStringList& keyColumns, const QVariantList& keyValues)
{
    start();
    const int stepNo = m_steps + 1;
    Statement insert(m_connection,
                     QStringLiteral("INSERT INTO KolvixMergeRow (MergeID, StepNo, RowKey) VALUES (%1, %2, :RowKey)")
                         .arg(m_mergeId)
                         .arg(stepNo),
                     m_timeout);
    insert.addValue(encodeValues(std::vector<QVariant>(keyValues.begin(), keyValues.end())));
    write(insert);
    RowIdentity identity;
    identity.columns = keyColumns;
    identity.primaryKey = true;
    const QStringList checked = checkColumnsOf(table, false);
    addStep(table, u'I', {}, {}, {}, identity, checked, 1);
    m_inserted = {table, keyColumns, keyValues, checked.isEmpty() ? -1 : stepNo};
}

void MergeLedger::insertDone()
{
    // The added row as the merge left it: an undo removes it only while it is so.
    const Inserted inserted = std::exchange(m_inserted, {});
    if (inserted.stepNo < 0)
        return;
    const QStringList checked = checkColumnsOf(inserted.table, false);
    Statement update(m_connection,
                     QStringLiteral("UPDATE KolvixMergeRow SET RowCheck = (SELECT %1 FROM %2 WHERE %3) WHERE MergeID "
                                    "= %4 AND StepNo = %5")
                         .arg(rowCheckExpression(quotedName(inserted.table), checked), quotedName(inserted.table),
                              equalTo(inserted.keyColumns, inserted.keyValues, QStringLiteral("Key")))
                         .arg(m_mergeId)
                         .arg(inserted.stepNo),
                     m_timeout);
    bindValues(update, inserted.keyValues);
    write(update);
}

void MergeLedger::addStep(const QString& table, QChar operation, const QStringList& columns,
                          const QVariantList& oldValues, const QVariantList& newValues, const RowIdentity& identity,
                          const QStringList& checked, int rows)
{
    if (rows == 0)
        return;
    ++m_steps;
    m_rows += rows;
    Statement insert(m_connection,
                     QStringLiteral("INSERT INTO KolvixMergeStep (MergeID, StepNo, CatalogueStep, TableName, "
                                    "Operation, ChangedColumns, OldValues, NewValues, KeyColumns, IntegerKey, "
                                    "PrimaryKey, RowsChanged, CheckColumns)\r\n"
                                    "VALUES (:MergeID, :StepNo, :CatalogueStep, :TableName, :Operation, "
                                    ":ChangedColumns, :OldValues, :NewValues, :KeyColumns, :IntegerKey, "
                                    ":PrimaryKey, :RowsChanged, :CheckColumns)"),
                     m_timeout);
    insert.addValue(m_mergeId);
    insert.addValue(m_steps);
    insert.addValue(m_step);
    insert.addValue(table);
    insert.addValue(QString(operation));
    insert.addValue(listOf(namesAsValues(columns)));
    insert.addValue(listOf(oldValues));
    insert.addValue(listOf(newValues));
    insert.addValue(listOf(namesAsValues(identity.columns)));
    insert.addValue(identity.integerKey ? 1 : 0);
    insert.addValue(identity.primaryKey ? 1 : 0);
    insert.addValue(rows);
    insert.addValue(checked.isEmpty() ? QVariant() : QVariant(listOf(namesAsValues(checked))));
    write(insert);
}

void MergeLedger::finish()
{
    start();
    Statement update(m_connection,
                     QStringLiteral("UPDATE KolvixMerge SET MergeState = 'merged', RowsChanged = :Rows WHERE "
                                    "MergeID = :MergeID"),
                     m_timeout);
    update.addValue(m_rows);
    update.addValue(m_mergeId);
    write(update);
}

void MergeLedger::reverted()
{
    if (m_mergeId < 0)
        return;
    Statement update(m_connection,
                     QStringLiteral("UPDATE KolvixMerge SET MergeState = 'reverted' WHERE MergeID = :MergeID"),
                     m_timeout);
    update.addValue(m_mergeId);
    write(update);
}

} // namespace kolvix
