#include "merge/Runners.h"

#include "core/LockWaitWatch.h"
#include "core/Log.h"
#include "core/TracePane.h"
#include "core/UserInterface.h"
#include "db/Command.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DbError.h"

namespace kolvix {

void doADOCommand(UserInterface& ui, Command& command, const QString& sql)
{
    doADOCommandRows(ui, command, sql);
}

int doADOCommandRows(UserInterface& ui, Command& command, const QString& sql)
{
    try {
        command.setCommandText(sql);
        // On the embedded engine a statement outside a transaction takes the write lock for
        // itself, and may wait for another connection's.
        if (command.connection().isEmbedded() && !command.connection().inTransaction()) {
            int rows = 0;
            watchingForLocks(command.connection(), ui, QStringLiteral("a statement could not be run"),
                             [&] { rows = command.execute(); });
            return rows;
        }
        return command.execute();
    } catch (const std::exception& e) {
        const QString message = exceptionMessage(e);
        writeLogFmt(QStringLiteral("doADOCommand() EXCEPTION %s"), {message});
        ui.showPlain(QStringLiteral("doADOCommand: ") + message);
        throw;
    }
}

namespace {

// Closes the dataset, sets its text and opens it; the runner's log line and box on failure.
void openLogged(UserInterface& ui, Dataset& dataset, const QString& sql)
{
    try {
        dataset.close();
        dataset.setSql(sql);
        dataset.open();
    } catch (const std::exception& e) {
        const QString message = exceptionMessage(e);
        writeLogFmt(QStringLiteral("doADOQuery() EXCEPTION %s"), {message});
        ui.showPlain(QStringLiteral("doADOQuery: ") + message);
        throw;
    }
}

} // namespace

int doADOQuery(UserInterface& ui, Dataset& dataset, const QString& sql)
{
    openLogged(ui, dataset, sql);
    return dataset.isEmpty() ? 0 : dataset.recordCount();
}

namespace {

// The integer and boolean forms: the first column of the first row, or the default for no
// row, a null value or a failure (after the runner's log line and box).
template <typename T, typename Read>
T firstValueOr(UserInterface& ui, Dataset& dataset, const QString& sql, T defaultValue, Read read)
{
    try {
        openLogged(ui, dataset, sql);
    } catch (const std::exception&) {
        return defaultValue;
    }
    if (dataset.isEmpty() || dataset.fieldCount() == 0 || dataset.field(0).isNull())
        return defaultValue;
    return read(dataset.field(0));
}

} // namespace

int doADOQuery(UserInterface& ui, Dataset& dataset, const QString& sql, int defaultValue)
{
    return firstValueOr(ui, dataset, sql, defaultValue, [](const Field& f) { return f.asInteger(); });
}

bool doADOQuery(UserInterface& ui, Dataset& dataset, const QString& sql, bool defaultValue)
{
    return firstValueOr(ui, dataset, sql, defaultValue, [](const Field& f) { return f.asBoolean(); });
}

bool tableExists(Dataset& dataset, TracePane& trace, const QString& name, bool noteMissing)
{
    try {
        dataset.close();
        dataset.setSql(QStringLiteral("SELECT COUNT(*) FROM SYS.TABLES WHERE Name = '%1'").arg(name));
        dataset.open();
        const bool exists = !dataset.isEmpty() && dataset.field(0).asInteger() > 0;
        if (!exists && noteMissing)
            trace.add(QStringLiteral("Table '%1' does not exist (not merged)").arg(name));
        return exists;
    } catch (const std::exception& e) {
        trace.add(QStringLiteral("tableExists: Exception occurred while checking for '%1'").arg(name));
        writeLogFmt(QStringLiteral("tableExists: Exception occurred while checking for '%s' EXCEPTION: %s"),
                    {name, exceptionMessage(e)});
        return true;
    }
}

} // namespace kolvix
