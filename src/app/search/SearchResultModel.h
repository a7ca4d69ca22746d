#pragma once

#include "ledger/MergedAway.h"
#include "search/SearchGrid.h"
#include "search/SearchQueryCursor.h"
#include "search/SearchResultPages.h"

#include <QAbstractTableModel>
#include <QColor>
#include <memory>
#include <vector>

class QPalette;

namespace kolvix {

// The rows of the patient search as the result grid shows them. A bounded search (at most 50
// rows) is read whole when it opens; a search that lists every row (Show All) has as many rows as
// it lists from the start, so that the grid's scroll bar spans them all, and reads the rows a
// page at a time where the grid shows them (as it scrolls, or where its thumb is dragged to).
class SearchResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit SearchResultModel(QObject* parent = nullptr);
    ~SearchResultModel() override;

    // Shows an open bounded result, read whole; a failure to read leaves the rows read so far.
    void setResult(std::unique_ptr<SearchQueryCursor> result);
    // Shows a result that lists every row, read a page at a time.
    void setPages(std::unique_ptr<SearchResultPages> pages);
    // No result: no rows.
    void clear();
    bool isOpen() const { return m_result || m_pages; }
    // The rows read from the database for the result shown.
    qint64 rowsRead() const;
    void setUseFileNo(bool useFileNo) { m_useFileNo = useFileNo; }

    // The clients that merges emptied: their rows are in italics and say where each went, in the
    // column mergedAwayColumn() (after the grid's own) and in every cell's tooltip.
    void setMergedAway(QHash<qint32, MergedAwayClient> mergedAway) { m_mergedAway = std::move(mergedAway); }
    bool hasMergedAway() const { return !m_mergedAway.isEmpty(); }
    static SearchGridColumn mergedAwayColumn();

    // The visible columns, left to right.
    void setColumns(std::vector<SearchGridColumn> columns);
    const std::vector<SearchGridColumn>& columns() const { return m_columns; }

    // The highlighted row, marked in the row indicator.
    void setCurrentRow(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The row's ClientID; -1 for a row that is not there.
    int clientId(int row) const;
    bool isActive(int row) const;
    bool isGroup(int row) const;
    // The text colour of the row's cells; invalid for the grid's normal colours.
    QColor textColour(int row, bool highlighted, const QPalette& palette) const;
    // The text of a cell as shown: the date of birth in the system's short date format, with the
    // time only when it is not midnight.
    QString cellText(int row, const QString& field) const;

private:
    // The rows that hold the row (the bounded result, or the page of it, read when needed) and
    // its place in them; nullptr when the row is not there or cannot be read.
    const SearchQueryCursor* rowsOf(int row, int* rowInRows) const;
    QString columnText(int row, const QString& column) const;
    void replaceResult(std::unique_ptr<SearchQueryCursor> result, std::unique_ptr<SearchResultPages> pages);

    std::unique_ptr<SearchQueryCursor> m_result;
    std::unique_ptr<SearchResultPages> m_pages;
    std::vector<SearchGridColumn> m_columns;
    QHash<qint32, MergedAwayClient> m_mergedAway;
    bool m_useFileNo = false;
    int m_currentRow = -1;
};

} // namespace kolvix
