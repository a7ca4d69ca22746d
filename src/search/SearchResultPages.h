#pragma once

#include "search/SearchQuery.h"
#include "search/SearchQueryCursor.h"

#include <memory>
#include <vector>

namespace kolvix {

class Connection;

// A search that lists every row (Show All), read a page at a time wherever its reader looks:
// the number of rows is known beforehand (the client count, or a count of the search), any row
// can be asked for, and only the last few pages read stay in memory. Each page is a statement
// of its own that is read to its end, so the connection is free between pages.
class SearchResultPages
{
public:
    static constexpr int kPageRows = 50;
    static constexpr int kPagesKept = 8;

    // Reads the first page. rowCount: the rows the search lists. Throws DbError with the client's
    // message (also when the result lacks one of the columns of searchResultColumns()).
    SearchResultPages(Connection& connection, const SearchQuery& query, int rowCount, int commandTimeout = 30);
    SearchResultPages(const SearchResultPages&) = delete;
    SearchResultPages& operator=(const SearchResultPages&) = delete;

    int rowCount() const { return m_rowCount; }
    // The page that holds the row, read when it is not in memory (the page used longest ago
    // gives way), and the row's place in it; nullptr for a row outside the result or beyond the
    // rows the page found. Throws DbError with the client's message.
    const SearchQueryCursor* pageOf(int row, int* rowInPage);
    // How many rows have been read from the database in all, for the tests and the benchmark.
    qint64 rowsRead() const { return m_rowsRead; }

private:
    struct Page
    {
        int first = 0;
        std::unique_ptr<SearchQueryCursor> rows;
        qint64 used = 0;
    };

    Page& read(int first);

    Connection& m_connection;
    SearchQuery m_query;
    int m_rowCount;
    int m_commandTimeout;
    std::vector<Page> m_pages;
    qint64 m_uses = 0;
    qint64 m_rowsRead = 0;
};

} // namespace kolvix
