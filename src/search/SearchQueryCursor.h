#pragma once

#include "db/Statement.h"
#include "search/SearchQuery.h"

#include <QStringList>
#include <QVariant>
#include <vector>

namespace kolvix {

class Connection;

// The columns every search result carries, read by name by the search dialog and by
// kolvix-merge --find.
const QStringList& searchResultColumns();

// A search statement opened on the connection, read a few rows at a time: a search that lists
// every client opens at once and fetches further rows only as they are asked for. The rows read
// so far stay in memory and can be read again in any order.
class SearchQueryCursor
{
public:
    // Runs the statement with its parameters bound. Throws DbError with the client's message;
    // also when the result lacks one of the columns of searchResultColumns().
    SearchQueryCursor(Connection& connection, const SearchQuery& query, int commandTimeout = 30);
    SearchQueryCursor(const SearchQueryCursor&) = delete;
    SearchQueryCursor& operator=(const SearchQueryCursor&) = delete;

    const QStringList& columns() const { return m_columns; }
    // The position of a column, compared without regard to case; -1 when the result lacks it.
    int columnIndex(const QString& name) const;

    // Reads up to `count` further rows (all of them with a negative count) and returns how many
    // it read. Throws DbError with the client's message.
    int fetch(int count);
    bool atEnd() const { return m_atEnd; }

    int rowCount() const { return int(m_rows.size()); }
    // Forgets the rows read so far (a reader that goes through a long result once keeps only
    // one batch in memory); the next fetch reads on from where the result stands.
    void discardRows() { m_rows.clear(); }
    // A value of a row read so far; null is an invalid QVariant.
    const QVariant& value(int row, int column) const;

private:
    Statement m_statement;
    QStringList m_columns;
    std::vector<std::vector<QVariant>> m_rows;
    bool m_atEnd = false;
};

} // namespace kolvix
