#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace kolvix {

// The twelve fields the patient search searches by, in the order of the dialog's field list.
enum class SearchField {
    Surname = 0,
    Name = 1,
    HomePhone = 2,
    FileNo = 3,
    ClientID = 4,
    Occupation = 5,
    Address = 6,
    Email = 7,
    Mobile = 8,
    WorkPhone = 9,
    ClaimNo = 10,
    BPAYRefNo = 11,
};

constexpr int kSearchFieldCount = 12;

// The captions of the twelve fields, index 0 to 11 ("Surname", "Name", "Home Phone", ...).
const QStringList& searchFieldCaptions();
// The field whose caption this is, compared without regard to case; -1 for none.
int searchFieldIndex(const QString& caption);

// The longest search text, in characters (UTF-16 code units, as a text box counts them). A
// name, an address or an e-mail address is far shorter; a much longer text makes a LIKE
// pattern the database engine refuses as too complex.
constexpr int kMaxSearchTextLength = 100;

// What one search is made of: the chosen field, the text as typed and the dialog's options.
struct SearchRequest
{
    int field = 0; // 0..11; any other value searches by Surname
    QString text; // as typed, not trimmed
    bool soundsLike = false; // the run comes from the Sounds Like button
    bool showAll = false;
    bool showArchived = false;
    bool onlyWithEmail = false;
    bool onlyWithMobile = false;
    bool useFileNo = false; // the practice searches file numbers rather than client numbers
};

// One named parameter of the statement: an integer (the Client ID search) or a text.
struct SearchParameter
{
    QString name;
    QVariant value;

    bool isInteger() const { return value.typeId() == QMetaType::Int; }
};

// The search statement: fixed fragments, the view and the column, never the typed text, which
// reaches the server only as parameter values.
struct SearchQuery
{
    SearchField field = SearchField::Surname;
    QString view; // PatientSearch or PatientSearchBPAY
    QString column; // the column searched and sorted first
    bool mobileMode = false; // the view is wrapped in a derived table that adds RawMobile
    int top = -1; // the row limit of the selection line (0 or 50); -1 for none
    // Show All with an empty text over the view of one row per client, nothing else filtered
    // but archived clients: the rows are the clients the dialog counts (clientCountLines).
    bool listsEveryClient = false;
    QStringList lines; // the statement's lines, without their line ends
    std::vector<SearchParameter> parameters; // in the order of their first appearance

    // The statement text: every line ended by CR LF.
    QString sql() const;
    // The parameter of that name; nullptr when the statement has none.
    const SearchParameter* parameter(const QString& name) const;
};

// Builds the search statement. A pure function: the same request gives the same statement.
SearchQuery buildSearchQuery(const SearchRequest& request);

// A search that lists every row (Show All) is read a page at a time, wherever its reader looks.
// The statement of one page: the rows from `first` (0 for the first row) on, at most `count`
// of them, in the search's order; ClientID (and, in the view of one row per account, AccountID)
// decides between rows that sort alike, so that pages neither repeat nor skip a row.
SearchQuery searchPageQuery(const SearchQuery& query, int first, int count);
// The statement that counts the rows of the search, as the column Total.
SearchQuery searchCountQuery(const SearchQuery& query);

// The client count the search dialog shows: every active client, or every client when
// archived ones are shown too.
QStringList clientCountLines(bool showArchived);

} // namespace kolvix
