#include "search/SearchResultPages.h"

#include <algorithm>

namespace kolvix {

SearchResultPages::SearchResultPages(Connection& connection, const SearchQuery& query, int rowCount, int commandTimeout)
    : m_connection(connection)
    , m_query(query)
    , m_rowCount(std::max(0, rowCount))
    , m_commandTimeout(commandTimeout)
{
    read(0);
}

SearchResultPages::Page& SearchResultPages::read(int first)
{
    auto rows = std::make_unique<SearchQueryCursor>(m_connection, searchPageQuery(m_query, first, kPageRows),
                                                    m_commandTimeout);
    m_rowsRead += rows->fetch(-1);
    if (int(m_pages.size()) >= kPagesKept) {
        const auto oldest = std::min_element(m_pages.begin(), m_pages.end(),
                                             [](const Page& a, const Page& b) { return a.used < b.used; });
        m_pages.erase(oldest);
    }
    m_pages.push_back({first, std::move(rows), ++m_uses});
    return m_pages.back();
}

const SearchQueryCursor* SearchResultPages::pageOf(int row, int* rowInPage)
{
    if (row < 0 || row >= m_rowCount)
        return nullptr;
    const int first = row - row % kPageRows;
    auto page = std::find_if(m_pages.begin(), m_pages.end(), [first](const Page& p) { return p.first == first; });
    Page& found = page != m_pages.end() ? *page : read(first);
    found.used = ++m_uses;
    if (row - first >= found.rows->rowCount())
        return nullptr;
    if (rowInPage)
        *rowInPage = row - first;
    return found.rows.get();
}

} // namespace kolvix
