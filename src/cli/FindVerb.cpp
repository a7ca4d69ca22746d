#include "cli/FindVerb.h"

#include "cli/Options.h"
#include "cli/Output.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "search/SearchGrid.h"
#include "search/SearchQuery.h"
#include "search/SearchQueryCursor.h"
#include "settings/UtilityConnect.h"

namespace kolvix::cli {

namespace {

// Rows read and printed at a time: a search of every client never holds the whole practice.
constexpr int kBatch = 500;

QString parameterLine(const SearchParameter& p)
{
    return QStringLiteral("Parameter %1 (%2): %3")
        .arg(p.name, p.isInteger() ? QStringLiteral("integer") : QStringLiteral("text"), p.value.toString());
}

// The practice setting, as the main window reads it before a Move From search; off when it
// cannot be read (said on standard error, so that standard output keeps its form).
bool readUseFileNo(Connection& connection)
{
    try {
        Dataset ds(connection);
        ds.setSql(QStringLiteral("SELECT [UseFileNo] FROM [SystemData]"));
        ds.open();
        return !ds.isEmpty() && ds.field(0).asBoolean();
    } catch (const std::exception& e) {
        err(QStringLiteral("kolvix-merge: UseFileNo could not be read (%1); File No searches client numbers")
                .arg(exceptionMessage(e)));
        return false;
    }
}

// A cell as the grid shows it, the date of birth as yyyy-MM-dd (and hh:mm when not midnight).
QString cellText(const SearchQueryCursor& cursor, int row, const QString& field, bool useFileNo)
{
    const QVariant value = searchGridValue(cursor, row, field, useFileNo);
    if (!value.isValid())
        return QString();
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime dateTime = value.toDateTime();
        QString text = dateTime.date().toString(QStringLiteral("yyyy-MM-dd"));
        if (dateTime.time() != QTime(0, 0))
            text += dateTime.time().toString(QStringLiteral(" hh:mm"));
        return text;
    }
    return value.toString();
}

} // namespace

int find(Connection& connection, const FindVerbOptions& options)
{
    if (!connectOrSayWhy(connection))
        return ExitNoConnection;
    const bool useFileNo = readUseFileNo(connection);

    SearchRequest request;
    request.field = options.field;
    request.text = options.text;
    request.soundsLike = options.soundsLike;
    request.showAll = options.all;
    request.showArchived = options.archived;
    request.useFileNo = useFileNo;
    const SearchQuery query = buildSearchQuery(request);
    if (options.showSql) {
        for (const QString& line : query.lines)
            out(QStringLiteral("SQL: ") + line);
        for (const SearchParameter& p : query.parameters)
            out(parameterLine(p));
    }

    try {
        Dataset count(connection);
        count.setSql(clientCountLines(options.archived).join(QStringLiteral("\r\n")));
        count.open();
        out(QStringLiteral("Total Patients %1")
                .arg(count.isEmpty() ? 0 : count.field(QStringLiteral("Total")).asInteger()));

        const std::vector<SearchGridColumn> columns = arrangeSearchGridColumns(options.field);
        QStringList titles;
        for (const SearchGridColumn& c : columns)
            titles << c.title;
        out(tabSeparated(titles));

        SearchQueryCursor cursor(connection, query);
        while (cursor.fetch(kBatch) > 0) {
            for (int row = 0; row < cursor.rowCount(); ++row) {
                QStringList cells;
                for (const SearchGridColumn& c : columns)
                    cells << cellText(cursor, row, c.field, useFileNo);
                out(tabSeparated(cells));
            }
            cursor.discardRows();
        }
    } catch (const std::exception& e) {
        return readFailed(e);
    }
    return ExitMerged;
}

} // namespace kolvix::cli
