#include "ledger/MergeRecord.h"

#include "db/Connection.h"
#include "db/SqlConditions.h"
#include "db/Statement.h"
#include "ledger/MergeLedger.h"

#include <QHash>
#include <QSqlField>
#include <QSqlRecord>

namespace kolvix {

namespace {

// What is wrong with a record, as the refusal names it.
class Damaged
{
public:
    explicit Damaged(QString what)
        : what(std::move(what))
    {
    }
    QString what;
};

// A whole number, or a truth value (which the engines keep as 0 and 1).
bool isInteger(int type)
{
    return isIntegerType(type) || type == QMetaType::Bool;
}

// Whether the value can be written into the column as it stands: a number into a number column,
// a date into a date column; any value into a text column, as the engine reads them back.
bool fits(const QVariant& value, const QSqlField& field)
{
    if (value.isNull())
        return true;
    const int type = value.metaType().id();
    const int column = field.metaType().id();
    if (isInteger(column))
        return isInteger(type);
    if (column == QMetaType::Double || column == QMetaType::Float)
        return isInteger(type) || type == QMetaType::Double;
    if (column == QMetaType::QDateTime || column == QMetaType::QDate || column == QMetaType::QTime)
        return type == QMetaType::QDateTime || type == QMetaType::QDate || type == QMetaType::QTime
            || type == QMetaType::QString;
    return true;
}

QString valueText(const QVariant& value)
{
    return encodeValues({value});
}

class RecordReader
{
public:
    RecordReader(Connection& connection, int mergeId)
        : connection(connection)
        , timeout(connection.commandTimeout())
        , mergeId(mergeId)
    {
    }

    QVariantList decoded(const QString& text, const LedgerStep* step)
    {
        QVariantList values;
        QString error;
        if (!decodeValues(text, values, error))
            throw Damaged(step ? QStringLiteral("step %1 holds %2").arg(step->stepNo).arg(error) : error);
        return values;
    }

    QStringList names(const QString& text, const LedgerStep& step)
    {
        QStringList list;
        for (const QVariant& value : decoded(text, &step)) {
            if (value.metaType().id() != QMetaType::QString || value.toString().isEmpty())
                throw Damaged(QStringLiteral("step %1 names a column that is no name: %2")
                                  .arg(step.stepNo)
                                  .arg(valueText(value)));
            list << value.toString();
        }
        return list;
    }

    std::vector<LedgerStep> readSteps()
    {
        const bool checks
            = ledgerHasColumn(connection, QStringLiteral("KolvixMergeStep"), QStringLiteral("CheckColumns"));
        Statement query(connection,
                        QStringLiteral("SELECT StepNo, TableName, Operation, ChangedColumns, OldValues, NewValues, "
                                       "KeyColumns, IntegerKey, PrimaryKey, RowsChanged, %1\r\n"
                                       "FROM KolvixMergeStep WHERE MergeID = :MergeID ORDER BY StepNo")
                            .arg(checks ? QStringLiteral("CheckColumns") : QStringLiteral("NULL")),
                        timeout);
        query.addValue(mergeId);
        query.execute();
        std::vector<LedgerStep> steps;
        while (query.next()) {
            LedgerStep step;
            step.stepNo = query.value(0).toInt();
            if (step.stepNo != int(steps.size()) + 1)
                throw Damaged(QStringLiteral("step %1 is missing").arg(steps.size() + 1));
            step.table = query.value(1).toString();
            const QString operation = query.value(2).toString();
            if (operation != QLatin1String("U") && operation != QLatin1String("D") && operation != QLatin1String("I"))
                throw Damaged(QStringLiteral("step %1 has an unknown operation '%2'").arg(step.stepNo).arg(operation));
            step.operation = operation.front();
            step.changedColumns = names(query.value(3).toString(), step);
            step.oldValues = decoded(query.value(4).toString(), &step);
            step.newValues = decoded(query.value(5).toString(), &step);
            step.keyColumns = names(query.value(6).toString(), step);
            step.integerKey = query.value(7).toInt() != 0;
            step.primaryKey = query.value(8).toInt() != 0;
            step.rows = query.value(9).toInt();
            if (!query.isNull(10))
                step.checkColumns = names(query.value(10).toString(), step);
            steps.push_back(step);
        }
        query.throwIfReadFailed();
        return steps;
    }

    // Every column the step names exists in its table, and its values fit their columns.
    void checkColumns(const LedgerStep& step)
    {
        const QSqlRecord record = connection.database().record(step.table);
        if (record.isEmpty())
            throw Damaged(QStringLiteral("step %1 names the table '%2', which the database does not have")
                              .arg(step.stepNo)
                              .arg(step.table));
        for (const QStringList* list : {&step.changedColumns, &step.keyColumns, &step.checkColumns}) {
            for (const QString& column : *list) {
                if (!record.contains(column))
                    throw Damaged(QStringLiteral("step %1 names the column '%2', which the table %3 does not have")
                                      .arg(step.stepNo)
                                      .arg(column, step.table));
            }
        }
        if (step.keyColumns.isEmpty())
            throw Damaged(QStringLiteral("step %1 names no column that identifies its rows").arg(step.stepNo));
        if (step.integerKey
            && (step.keyColumns.size() != 1 || !isInteger(record.field(step.keyColumns[0]).metaType().id())))
            throw Damaged(
                QStringLiteral("step %1 says its rows have one integer key, but they do not").arg(step.stepNo));
        if (step.operation == u'U') {
            if (step.changedColumns.isEmpty() || step.oldValues.size() != step.changedColumns.size()
                || step.newValues.size() != step.changedColumns.size())
                throw Damaged(QStringLiteral("step %1 holds %2 columns with %3 old and %4 new values")
                                  .arg(step.stepNo)
                                  .arg(step.changedColumns.size())
                                  .arg(step.oldValues.size())
                                  .arg(step.newValues.size()));
            fitting(step, step.changedColumns, step.oldValues, record);
            fitting(step, step.changedColumns, step.newValues, record);
        }
    }

    void fitting(const LedgerStep& step, const QStringList& columns, const QVariantList& values,
                 const QSqlRecord& record)
    {
        for (qsizetype i = 0; i < columns.size() && i < values.size(); ++i) {
            if (!fits(values[i], record.field(columns[i])))
                throw Damaged(QStringLiteral("step %1 holds a value that does not fit the column %2 of the table "
                                             "%3: %4")
                                  .arg(step.stepNo)
                                  .arg(columns[i], step.table, valueText(values[i])));
        }
    }

    // The rows of each step are as many as it says, and none belongs to a step the record lacks.
    void checkRowCounts(const std::vector<LedgerStep>& steps)
    {
        Statement query(connection,
                        QStringLiteral("SELECT StepNo, COUNT(*), SUM(CASE WHEN KeyID IS NULL THEN 1 ELSE 0 END) "
                                       "FROM KolvixMergeRow WHERE MergeID = :MergeID GROUP BY StepNo"),
                        timeout);
        query.addValue(mergeId);
        query.execute();
        QHash<int, std::pair<int, int>> counts;
        while (query.next())
            counts.insert(query.value(0).toInt(), {query.value(1).toInt(), query.value(2).toInt()});
        query.throwIfReadFailed();
        for (const LedgerStep& step : steps) {
            const auto [rows, withoutKey] = counts.take(step.stepNo);
            if (rows != step.rows)
                throw Damaged(QStringLiteral("step %1 says it changed %2 rows, but the record holds %3")
                                  .arg(step.stepNo)
                                  .arg(step.rows)
                                  .arg(rows));
            if (step.operation == u'U' && step.integerKey && withoutKey > 0)
                throw Damaged(QStringLiteral("%1 rows of step %2 have no key").arg(withoutKey).arg(step.stepNo));
        }
        if (!counts.isEmpty())
            throw Damaged(QStringLiteral("the record holds rows of step %1, which it does not list")
                              .arg(counts.keyBegin().operator*()));
    }

    // The step's rows as the ledger keeps them, verified against the step's columns.
    void readRows(LedgerStep& step)
    {
        const bool checks = ledgerHasColumn(connection, QStringLiteral("KolvixMergeRow"), QStringLiteral("RowCheck"));
        Statement query(connection,
                        QStringLiteral("SELECT RowKey, RowData, %1 FROM KolvixMergeRow WHERE MergeID = :MergeID AND "
                                       "StepNo = :StepNo")
                            .arg(checks ? QStringLiteral("RowCheck") : QStringLiteral("NULL")),
                        timeout);
        query.addValue(mergeId);
        query.addValue(step.stepNo);
        query.execute();
        const QSqlRecord record = connection.database().record(step.table);
        while (query.next()) {
            LedgerRow row;
            row.key = decoded(query.value(0).toString(), &step);
            if (row.key.size() != step.keyColumns.size())
                throw Damaged(QStringLiteral("a row of step %1 has %2 key values for %3 key columns")
                                  .arg(step.stepNo)
                                  .arg(row.key.size())
                                  .arg(step.keyColumns.size()));
            fitting(step, step.keyColumns, row.key, record);
            if (step.operation == u'D') {
                row.data = decoded(query.value(1).toString(), &step);
                if (row.data.size() != step.changedColumns.size())
                    throw Damaged(QStringLiteral("a deleted row of step %1 has %2 values for %3 columns")
                                      .arg(step.stepNo)
                                      .arg(row.data.size())
                                      .arg(step.changedColumns.size()));
                fitting(step, step.changedColumns, row.data, record);
            }
            if (!query.isNull(2))
                row.check = query.value(2).toLongLong();
            step.ledgerRows.push_back(row);
        }
        query.throwIfReadFailed();
    }

    // The merge's own count of the rows it changed, as its header says.
    int headerRows()
    {
        Statement query(connection, QStringLiteral("SELECT RowsChanged FROM KolvixMerge WHERE MergeID = :MergeID"),
                        timeout);
        query.addValue(mergeId);
        return int(scalarOf(query));
    }

    Connection& connection;
    int timeout;
    int mergeId;
};

} // namespace

int ledgerMergeOf(Connection& connection, int auditId)
{
    Statement query(connection, QStringLiteral("SELECT MergeID FROM KolvixMerge WHERE AuditID = :AuditID"),
                    connection.commandTimeout());
    query.addValue(auditId);
    query.execute();
    return query.next() ? query.value(0).toInt() : -1;
}

std::vector<LedgerStep> readMergeRecord(Connection& connection, int mergeId, bool committed, QString& damage)
{
    damage.clear();
    RecordReader reader(connection, mergeId);
    try {
        std::vector<LedgerStep> steps = reader.readSteps();
        reader.checkRowCounts(steps);
        int rows = 0;
        for (LedgerStep& step : steps) {
            reader.checkColumns(step);
            if (step.operation != u'U' || !step.integerKey)
                reader.readRows(step);
            rows += step.rows;
        }
        if (committed && reader.headerRows() != rows)
            throw Damaged(QStringLiteral("the merge says it changed %1 rows, but its steps add up to %2")
                              .arg(reader.headerRows())
                              .arg(rows));
        return steps;
    } catch (const Damaged& d) {
        damage = d.what;
        return {};
    }
}

} // namespace kolvix
