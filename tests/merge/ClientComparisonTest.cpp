// Two clients side by side: every field with whether the two agree (text regardless of case,
// telephone and Medicare numbers by their digits, dates by date), the age from the date of birth,
// and the rows of each kind as the "Data to be moved" pane counts them.

#include "merge/ClientComparison.h"

#include "support/MergeFixture.h"

#include <QMap>

namespace kolvix::test {
namespace {

class ClientComparisonTest : public MergeFixture
{
protected:
    ClientComparison compare(qint32 a, qint32 b)
    {
        const std::optional<ClientDetails> first = readClientDetails(connection, a);
        const std::optional<ClientDetails> second = readClientDetails(connection, b);
        EXPECT_TRUE(first && second);
        return compareClients(connection, *first, *second, QDate(2026, 4, 8));
    }

    // "A | B | same" of each field, by field.
    static QMap<QString, QString> fields(const ClientComparison& comparison)
    {
        QMap<QString, QString> byField;
        for (const ComparedField& f : comparison.fields)
            byField.insert(f.field, QStringLiteral("%1 | %2 | %3").arg(f.a, f.b, f.same ? "same" : "differs"));
        return byField;
    }
};

TEST_F(ClientComparisonTest, ShowsEveryFieldAndWhetherTheTwoAgree)
{
    db.exec("UPDATE Client SET Title = 'Mrs', PreferredName = 'Lou', Sex = 'F', DateOfBirth = '1975-04-09 00:00:00', "
            "Address = '12 Main St', Suburb = 'Carlton', State = 'VIC', PostCode = '3053', HomePhone = '03 9347 "
            "1234', Mobile = '0412 345 678', Email = 'lou@example.com', MedicareNo = '2123 45670 1', "
            "CreatedDate = '2019-03-01 14:05:00', Active = 'T' WHERE ClientID = 812;"
            "UPDATE Client SET Surname = 'SAMPLE', Title = ' Mrs ', Sex = 'F', DateOfBirth = '1975-04-09 "
            "00:00:00', Address = '12 Main Street', Suburb = 'carlton', State = 'VIC', PostCode = '3053', "
            "HomePhone = '(03) 9347-1234', Mobile = '0412 345 679', MedicareNo = '2123456701', "
            "CreatedDate = '2021-07-15 00:00:00', Active = 'F' WHERE ClientID = 57");
    const ClientComparison comparison = compare(812, 57);
    const QStringList order {"Client ID",  "Title",           "Surname",     "Given name", "Preferred name",
                             "Sex",        "Date of birth",   "Address",     "Suburb",     "State",
                             "Post code",  "Home phone",      "Work phone",  "Mobile",     "E-mail",
                             "Occupation", "Medicare number", "File number", "Created",    "Archived"};
    QStringList shownOrder;
    for (const ComparedField& f : comparison.fields)
        shownOrder << f.field;
    EXPECT_EQ(shownOrder, order);

    const QMap<QString, QString> f = fields(comparison);
    EXPECT_EQ(f["Client ID"], "812 | 57 | differs");
    EXPECT_EQ(f["Title"], "Mrs | Mrs | same");
    EXPECT_EQ(f["Surname"], "Sample | SAMPLE | same");
    EXPECT_EQ(f["Given name"], "One | Two | differs");
    EXPECT_EQ(f["Preferred name"], "Lou |  | differs");
    EXPECT_EQ(f["Date of birth"], "1975-04-09 (age 50) | 1975-04-09 (age 50) | same");
    EXPECT_EQ(f["Address"], "12 Main St | 12 Main Street | differs");
    EXPECT_EQ(f["Suburb"], "Carlton | carlton | same");
    EXPECT_EQ(f["Home phone"], "03 9347 1234 | (03) 9347-1234 | same");
    EXPECT_EQ(f["Work phone"], " |  | same");
    EXPECT_EQ(f["Mobile"], "0412 345 678 | 0412 345 679 | differs");
    EXPECT_EQ(f["E-mail"], "lou@example.com |  | differs");
    EXPECT_EQ(f["Medicare number"], "2123 45670 1 | 2123456701 | same");
    EXPECT_EQ(f["Created"], "2019-03-01 14:05 | 2021-07-15 | differs");
    EXPECT_EQ(f["Archived"], "no | yes | differs");
}

TEST_F(ClientComparisonTest, CountsTheRowsOfEveryKindEitherHoldsAsThePaneCountsThem)
{
    const ClientComparison comparison = compare(57, 812);
    QMap<QString, QPair<int, int>> counts;
    for (const ComparedCount& c : comparison.counts)
        counts.insert(c.caption, {c.a, c.b});
    // The example pair: 57 holds two accounts, a transaction and an appointment; 812 holds rows
    // of every kind. A kind neither holds is not listed.
    EXPECT_EQ(counts.value("Accounts"), qMakePair(2, 2));
    EXPECT_EQ(counts.value("Transactions"), qMakePair(1, 3));
    EXPECT_EQ(counts.value("Appointments"), qMakePair(1, 2));
    EXPECT_EQ(counts.value("Clinical Notes"), qMakePair(0, 1));
    EXPECT_EQ(counts.value("Referrers (1)"), qMakePair(0, 1));
    EXPECT_FALSE(counts.contains("Group Links"));
    // The pane's order.
    ASSERT_GE(comparison.counts.size(), 2u);
    EXPECT_EQ(comparison.counts[0].caption, "Accounts");
    EXPECT_EQ(comparison.counts[1].caption, "Appointments");
}

TEST(ClientAge, CountsWholeYearsUpToTheBirthday)
{
    const QDate born(1975, 4, 9);
    EXPECT_EQ(ageOn(born, QDate(2026, 4, 8)), 50);
    EXPECT_EQ(ageOn(born, QDate(2026, 4, 9)), 51);
    EXPECT_EQ(ageOn(born, QDate(2026, 3, 31)), 50);
    EXPECT_EQ(ageOn(QDate(2000, 2, 29), QDate(2025, 2, 28)), 24);
    EXPECT_EQ(ageOn(QDate(2000, 2, 29), QDate(2025, 3, 1)), 25);
}

} // namespace
} // namespace kolvix::test
