// The columns of the search result grid and the values it calculates.

#include "search/SearchGrid.h"
#include "core/TextHelpers.h"
#include "search/SearchQuery.h"
#include "support/QtPrinting.h"

#include <QVariant>
#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

QStringList titles(int field)
{
    QStringList result;
    for (const SearchGridColumn& c : arrangeSearchGridColumns(field))
        result << c.title;
    return result;
}

TEST(SearchGridTest, ColumnsAreArrangedForEveryField)
{
    const QStringList base {"Surname",       "Name",       "Address",   "Practitioner", "Phone Number",
                            "Date of Birth", "File No",    "Client ID", "Occupation",   "Email",
                            "Mobile",        "Work Phone", "Claim No"};
    auto first = [&](const char* title) {
        QStringList order = base;
        order.removeOne(QString::fromLatin1(title));
        order.prepend(QString::fromLatin1(title));
        return order;
    };
    const std::vector<std::pair<int, QStringList>> cases {
        {-1, base},
        {int(SearchField::Surname), base},
        {int(SearchField::Name), first("Name")},
        {int(SearchField::HomePhone), first("Phone Number")},
        {int(SearchField::FileNo), first("File No")},
        {int(SearchField::ClientID), first("Client ID")},
        {int(SearchField::Occupation), first("Occupation")},
        {int(SearchField::Address), first("Address")},
        {int(SearchField::Email), first("Email")},
        {int(SearchField::Mobile), first("Mobile")},
        {int(SearchField::WorkPhone), first("Work Phone")},
        {int(SearchField::ClaimNo), first("Claim No") << "Account"},
        {int(SearchField::BPAYRefNo),
         {"BPAY Ref No", "Surname", "Name", "Account", "Address", "Practitioner", "Phone Number", "Date of Birth",
          "File No", "Client ID", "Occupation", "Email", "Work Phone", "Claim No", "Mobile"}},
    };
    for (const auto& [field, expected] : cases)
        EXPECT_EQ(titles(field), expected) << "field " << field;
}

TEST(SearchGridTest, ColumnsCarryTheirFieldsAndWidths)
{
    QStringList described;
    for (const SearchGridColumn& c : searchGridColumns())
        described << QStringLiteral("%1:%2:%3").arg(c.field, c.title).arg(c.width);
    EXPECT_EQ(described,
              QStringList({"Surname:Surname:14", "NewName:Name:15", "Address:Address:25",
                           "Practitioner:Practitioner:15", "HomePhone:Phone Number:15", "DateOfBirth:Date of Birth:13",
                           "FileNoClient:File No:10", "ClientID:Client ID:9", "Occupation:Occupation:13",
                           "Email:Email:20", "Mobile:Mobile:15", "WorkPhone:Work Phone:15", "ClaimNumber:Claim No:10",
                           "ShortDescription:Account:16", "BPayRefNo:BPAY Ref No:10"}));
}

TEST(SearchGridTest, CalculatedNameAndFileNumber)
{
    EXPECT_EQ(searchGridName(QStringLiteral("Robert"), QString()), QStringLiteral("Robert"));
    EXPECT_EQ(searchGridName(QStringLiteral("Robert"), QStringLiteral("Bob")), QStringLiteral("Robert (Bob)"));
    EXPECT_EQ(searchGridName(QString(), QStringLiteral("Bob")), QStringLiteral(" (Bob)"));
    const QString name20 = QStringLiteral("N").repeated(20);
    const QString cut = searchGridName(name20, QStringLiteral("P").repeated(20));
    EXPECT_EQ(cut.size(), 43);
    EXPECT_EQ(cut, name20 + QStringLiteral(" (") + QStringLiteral("P").repeated(20) + QLatin1Char(')'));
    EXPECT_EQ(searchGridName(name20 + name20, QStringLiteral("P")).size(), 43);

    EXPECT_EQ(searchGridFileNo(true, QStringLiteral("F-1"), QStringLiteral("77")), QStringLiteral("F-1"));
    EXPECT_EQ(searchGridFileNo(false, QStringLiteral("F-1"), QStringLiteral("77")), QStringLiteral("77"));
    EXPECT_EQ(searchGridFileNo(true, QStringLiteral("12345678901"), QString()), QStringLiteral("1234567890"));
}

TEST(SearchGridTest, ActiveAndDateOfBirth)
{
    for (const char* active : {"T", "t", "Y", "yes", "True"})
        EXPECT_TRUE(isActiveFlag(QString::fromLatin1(active))) << active;
    for (const char* active : {"F", "", "N", " T", "1"})
        EXPECT_FALSE(isActiveFlag(QString::fromLatin1(active))) << active;

    EXPECT_EQ(searchGridDateTime(QStringLiteral("1980-02-03 00:00:00")), QDateTime(QDate(1980, 2, 3), QTime(0, 0)));
    EXPECT_EQ(searchGridDateTime(QStringLiteral("1980-02-03 07:30:00.000")),
              QDateTime(QDate(1980, 2, 3), QTime(7, 30)));
    EXPECT_EQ(searchGridDateTime(QStringLiteral("1980-02-03")), QDateTime(QDate(1980, 2, 3), QTime(0, 0)));
    EXPECT_EQ(searchGridDateTime(QDateTime(QDate(2001, 1, 1), QTime(9, 0))), QDateTime(QDate(2001, 1, 1), QTime(9, 0)));
    EXPECT_FALSE(searchGridDateTime(QVariant()).isValid());
    EXPECT_FALSE(searchGridDateTime(QStringLiteral("soon")).isValid());
}

} // namespace
} // namespace kolvix::test
