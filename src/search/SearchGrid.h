#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace kolvix {

class SearchQueryCursor;

// One column of the search result grid: the field it shows, its title and its width in
// characters.
struct SearchGridColumn
{
    QString field; // a column of the result, or one of the calculated NewName and FileNoClient
    QString title;
    int width = 0;
};

// Every column of the grid in its base order, Account and BPAY Ref No last.
const std::vector<SearchGridColumn>& searchGridColumns();

// The visible columns, left to right, for a search by the field (0..11; -1 when none is chosen
// yet): the base order without Account and BPAY Ref No, with the searched field's column first;
// a Claim No search adds Account at the end, a BPAY Ref No search has an order of its own.
std::vector<SearchGridColumn> arrangeSearchGridColumns(int field);

// The name the grid shows: the given name, with the preferred name in parentheses after it
// when there is one; at most 43 characters.
QString searchGridName(const QString& name, const QString& preferredName);

// The file number the grid shows: FileNo when the practice uses file numbers, otherwise the
// client number; at most 10 characters.
QString searchGridFileNo(bool useFileNo, const QString& fileNo, const QString& clientId);

// A value of DateOfBirth as stored (a date-time, or the embedded engine's ISO text); invalid
// for null or anything else.
QDateTime searchGridDateTime(const QVariant& value);

// What a grid cell shows for a row of the result: the text of the field (the calculated NewName
// and FileNoClient included; the address, e-mail and phone numbers as stored), the date of birth
// as a date-time; an invalid value for a null cell.
QVariant searchGridValue(const SearchQueryCursor& cursor, int row, const QString& field, bool useFileNo);

} // namespace kolvix
