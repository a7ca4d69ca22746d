#include "search/SearchGrid.h"

#include "db/Dataset.h"
#include "search/SearchQuery.h"
#include "search/SearchQueryCursor.h"

#include <QVariant>

namespace kolvix {

namespace {

const SearchGridColumn* columnOf(const QString& field)
{
    for (const SearchGridColumn& c : searchGridColumns())
        if (c.field == field)
            return &c;
    return nullptr;
}

std::vector<SearchGridColumn> columnsNamed(const QStringList& fields)
{
    std::vector<SearchGridColumn> result;
    for (const QString& field : fields)
        result.push_back(*columnOf(field));
    return result;
}

} // namespace

const std::vector<SearchGridColumn>& searchGridColumns()
{
    static const std::vector<SearchGridColumn> columns {
        {QStringLiteral("Surname"), QStringLiteral("Surname"), 14},
        {QStringLiteral("NewName"), QStringLiteral("Name"), 15},
        {QStringLiteral("Address"), QStringLiteral("Address"), 25},
        {QStringLiteral("Practitioner"), QStringLiteral("Practitioner"), 15},
        {QStringLiteral("HomePhone"), QStringLiteral("Phone Number"), 15},
        {QStringLiteral("DateOfBirth"), QStringLiteral("Date of Birth"), 13},
        {QStringLiteral("FileNoClient"), QStringLiteral("File No"), 10},
        {QStringLiteral("ClientID"), QStringLiteral("Client ID"), 9},
        {QStringLiteral("Occupation"), QStringLiteral("Occupation"), 13},
        {QStringLiteral("Email"), QStringLiteral("Email"), 20},
        {QStringLiteral("Mobile"), QStringLiteral("Mobile"), 15},
        {QStringLiteral("WorkPhone"), QStringLiteral("Work Phone"), 15},
        {QStringLiteral("ClaimNumber"), QStringLiteral("Claim No"), 10},
        {QStringLiteral("ShortDescription"), QStringLiteral("Account"), 16},
        {QStringLiteral("BPayRefNo"), QStringLiteral("BPAY Ref No"), 10},
    };
    return columns;
}

std::vector<SearchGridColumn> arrangeSearchGridColumns(int field)
{
    QStringList order;
    for (const SearchGridColumn& c : searchGridColumns())
        if (c.field != QLatin1String("ShortDescription") && c.field != QLatin1String("BPayRefNo"))
            order << c.field;

    QString front;
    switch (field) {
    case int(SearchField::Name):
        front = QStringLiteral("NewName");
        break;
    case int(SearchField::HomePhone):
        front = QStringLiteral("HomePhone");
        break;
    case int(SearchField::FileNo):
        front = QStringLiteral("FileNoClient");
        break;
    case int(SearchField::ClientID):
        front = QStringLiteral("ClientID");
        break;
    case int(SearchField::Occupation):
        front = QStringLiteral("Occupation");
        break;
    case int(SearchField::Address):
        front = QStringLiteral("Address");
        break;
    case int(SearchField::Email):
        front = QStringLiteral("Email");
        break;
    case int(SearchField::Mobile):
        front = QStringLiteral("Mobile");
        break;
    case int(SearchField::WorkPhone):
        front = QStringLiteral("WorkPhone");
        break;
    case int(SearchField::ClaimNo):
        front = QStringLiteral("ClaimNumber");
        order << QStringLiteral("ShortDescription");
        break;
    case int(SearchField::BPAYRefNo):
        return columnsNamed({QStringLiteral("BPayRefNo"), QStringLiteral("Surname"), QStringLiteral("NewName"),
                             QStringLiteral("ShortDescription"), QStringLiteral("Address"),
                             QStringLiteral("Practitioner"), QStringLiteral("HomePhone"), QStringLiteral("DateOfBirth"),
                             QStringLiteral("FileNoClient"), QStringLiteral("ClientID"), QStringLiteral("Occupation"),
                             QStringLiteral("Email"), QStringLiteral("WorkPhone"), QStringLiteral("ClaimNumber"),
                             QStringLiteral("Mobile")});
    default:
        break;
    }
    if (!front.isEmpty()) {
        order.removeOne(front);
        order.prepend(front);
    }
    return columnsNamed(order);
}

QString searchGridName(const QString& name, const QString& preferredName)
{
    const QString text = preferredName.isEmpty() ? name : name + QStringLiteral(" (") + preferredName + u')';
    return text.left(43);
}

QString searchGridFileNo(bool useFileNo, const QString& fileNo, const QString& clientId)
{
    return (useFileNo ? fileNo : clientId).left(10);
}

QDateTime searchGridDateTime(const QVariant& value)
{
    return Field(value).asDateTime();
}

QVariant searchGridValue(const SearchQueryCursor& cursor, int row, const QString& field, bool useFileNo)
{
    auto text = [&](const QString& column) {
        const QVariant& v = cursor.value(row, cursor.columnIndex(column));
        if (!v.isValid() || v.isNull())
            return QString();
        if (v.typeId() == QMetaType::QByteArray)
            return QString::fromUtf8(v.toByteArray());
        return v.toString();
    };
    if (field == QLatin1String("NewName"))
        return searchGridName(text(QStringLiteral("Name")), text(QStringLiteral("PreferredName")));
    if (field == QLatin1String("FileNoClient"))
        return searchGridFileNo(useFileNo, text(QStringLiteral("FileNo")), text(QStringLiteral("ClientID")));
    if (field == QLatin1String("DateOfBirth")) {
        const QDateTime dateTime = searchGridDateTime(cursor.value(row, cursor.columnIndex(field)));
        return dateTime.isValid() ? QVariant(dateTime) : QVariant();
    }
    const QVariant& v = cursor.value(row, cursor.columnIndex(field));
    if (!v.isValid() || v.isNull())
        return QVariant();
    return text(field);
}

} // namespace kolvix
