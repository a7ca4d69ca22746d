#pragma once

#include "search/SearchGrid.h"
#include "search/SearchQueryCursor.h"

#include <QAbstractTableModel>
#include <QColor>
#include <memory>
#include <vector>

class QPalette;

namespace kolvix {

// The rows of the patient search as the result grid shows them. The model reads the open
// result a batch at a time: a bounded search (at most 50 rows) is read whole when it opens, a
// search that lists every client only as far as the grid asks for rows (as it scrolls).
class SearchResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Rows read at a time from a result that lists every client.
    static constexpr int kBatch = 25;

    explicit SearchResultModel(QObject* parent = nullptr);
    ~SearchResultModel() override;

    // Shows an open result (read the first batch of it) or, without one, no rows. A failure to
    // read leaves the rows read so far. bounded: the statement selects at most 50 rows.
    void setResult(std::unique_ptr<SearchQueryCursor> result, bool bounded);
    bool isOpen() const { return bool(m_result); }
    void setUseFileNo(bool useFileNo) { m_useFileNo = useFileNo; }

    // The visible columns, left to right.
    void setColumns(std::vector<SearchGridColumn> columns);
    const std::vector<SearchGridColumn>& columns() const { return m_columns; }

    // The highlighted row, marked in the row indicator.
    void setCurrentRow(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

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
    QString columnText(int row, const QString& column) const;

    std::unique_ptr<SearchQueryCursor> m_result;
    std::vector<SearchGridColumn> m_columns;
    bool m_useFileNo = false;
    int m_currentRow = -1;
};

} // namespace kolvix
