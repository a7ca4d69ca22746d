// The field comparisons of the duplicate finder and the score of a pair.

#include "duplicates/DuplicateRecords.h"
#include "duplicates/DuplicateScorer.h"
#include "duplicates/NameMatching.h"
#include "duplicates/ValueKeys.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace kolvix;

namespace {

TEST(DuplicateScoringTest, NamesAreNormalisedToLetters)
{
    const std::pair<QString, QString> cases[] = {
        {"O'Brien", "OBRIEN"},
        {"Di Marco", "DIMARCO"},
        {"  smith-jones ", "SMITHJONES"},
        {QString::fromUtf8("José"), "JOSE"},
        {QString::fromUtf8("Müller"), "MULLER"},
        {QString::fromUtf8("Ødegård"), QString::fromUtf8("ØDEGARD")},
        {QString::fromUtf8("王小明"), QString::fromUtf8("王小明")},
        {"", ""},
        {"  -- 12 ", ""},
        {QString(1000, u'a'), QString(64, u'A')},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(normaliseName(text), expected) << text.toStdString();
    EXPECT_EQ(firstGivenName(u"Mary-Jane Anne"), "MARY");
    EXPECT_EQ(firstGivenName(u"  ''"), "");
}

TEST(DuplicateScoringTest, PhoneticCodesOfNamesThatSoundAlike)
{
    const std::pair<const char*, const char*> alike[] = {
        {"SMITH", "SMYTH"},  {"CATHERINE", "KATHRYN"}, {"PHILLIPS", "FILIPS"},
        {"KNIGHT", "NIGHT"}, {"NGUYEN", "NGUEN"},      {"ROBERTS", "ROBERTZ"},
        {"MEYER", "MEIER"},  {"ASHCROFT", "ASHCRAFT"}, {"BROWN", "BRAUN"},
        {"LEE", "LI"},
    };
    for (const auto& [a, b] : alike)
        EXPECT_EQ(phoneticCode(QString::fromLatin1(a)), phoneticCode(QString::fromLatin1(b))) << a << " " << b;
    const std::pair<const char*, const char*> different[]
        = {{"SMITH", "JONES"}, {"BROWN", "GREEN"}, {"SMITH", "SNIDER"}, {"MARTIN", "MORGAN"}};
    for (const auto& [a, b] : different)
        EXPECT_NE(phoneticCode(QString::fromLatin1(a)), phoneticCode(QString::fromLatin1(b))) << a << " " << b;
    EXPECT_EQ(phoneticCode(u""), 0u);
    // Names without Latin letters still have a code, equal for equal names.
    EXPECT_NE(phoneticCode(QString::fromUtf8("王")), 0u);
    EXPECT_EQ(phoneticCode(QString::fromUtf8("王")), phoneticCode(QString::fromUtf8("王")));
    EXPECT_NE(phoneticCode(QString::fromUtf8("王")), phoneticCode(QString::fromUtf8("李")));
}

TEST(DuplicateScoringTest, JaroWinklerOfKnownPairs)
{
    EXPECT_NEAR(jaroWinkler(u"MARTHA", u"MARHTA"), 0.961, 0.001);
    EXPECT_NEAR(jaroWinkler(u"DWAYNE", u"DUANE"), 0.840, 0.001);
    EXPECT_NEAR(jaroWinkler(u"DIXON", u"DICKSONX"), 0.813, 0.001);
    EXPECT_DOUBLE_EQ(jaroWinkler(u"SMITH", u"SMITH"), 1.0);
    EXPECT_DOUBLE_EQ(jaroWinkler(u"ABC", u"XYZ"), 0.0);
    EXPECT_DOUBLE_EQ(jaroWinkler(u"", u"SMITH"), 0.0);
}

TEST(DuplicateScoringTest, NamesCompareInGrades)
{
    struct Case
    {
        const char* a;
        const char* b;
        bool given;
        NameAgreement expected;
    };
    const Case cases[] = {
        {"ROBINSON", "ROBINSON", false, NameAgreement::Exact},
        {"ROBINSON", "ROBINON", false, NameAgreement::Similar}, // a letter left out
        {"NGUYEN", "NGUEYN", false, NameAgreement::SoundsAlike}, // transposed letters
        {"THOMPSON", "THOMSON", false, NameAgreement::Similar},
        {"CARTER", "KARTER", false, NameAgreement::SoundsAlike},
        {"CATHERINE", "KATHRYN", true, NameAgreement::Nickname},
        {"WILLIAM", "BILL", true, NameAgreement::Nickname},
        {"MARGARET", "PEGGY", true, NameAgreement::Nickname},
        {"SAMUEL", "SAM", true, NameAgreement::Nickname}, // short form
        {"WILLIAM", "BILL", false, NameAgreement::Different}, // nicknames are for given names only
        {"J", "JOHN", true, NameAgreement::Initial},
        {"K", "JOHN", true, NameAgreement::Different},
        {"", "SMITH", false, NameAgreement::Missing},
        {"SMITH", "JONES", false, NameAgreement::Different},
        {"OLIVIA", "GRACE", true, NameAgreement::Different},
        // Slips graded alike in given names and surnames: one edit, two in long names.
        {"MEGAN", "MEGSN", true, NameAgreement::SoundsAlike},
        {"JOSIE", "JOSEI", true, NameAgreement::SoundsAlike},
        {"PELLOW", "PELKOW", false, NameAgreement::Similar},
        {"GREENWOED", "GREENWOOD", false, NameAgreement::SoundsAlike},
        {"CHARLOTTE", "CHARLTOTE", true, NameAgreement::Similar},
        {"JACQUELINE", "JACUQELINE", true, NameAgreement::Similar},
        {"VOOK", "COOK", false, NameAgreement::Similar},
        {"LINH", "MINH", true, NameAgreement::Different}, // another first letter: another given name
        {"LLIVIA", "OLIVIA", true, NameAgreement::Different}, // (the scorer asks how many hold each)
        {"BROWN", "BROWTN", false, NameAgreement::Similar},
        {"ALI", "AMI", true, NameAgreement::Different}, // too short to tell a slip
    };
    for (const Case& c : cases)
        EXPECT_EQ(compareNames(QString::fromLatin1(c.a), QString::fromLatin1(c.b), c.given), c.expected)
            << c.a << " / " << c.b;
    EXPECT_TRUE(isNickname(u"JIM", u"JAMES"));
    EXPECT_FALSE(isNickname(u"JAMES", u"JAMES"));
    EXPECT_FALSE(isNickname(u"AL", u"ALEXANDER")); // two letters are not a short form
    EXPECT_FALSE(isNickname(u"LUC", u"LUCY")); // nor a name one letter short
    // nor a name with a feminine ending: brother and sister
    for (const auto& [brother, sister] : {std::pair(u"DANIEL", u"DANIELLE"), std::pair(u"GLEN", u"GLENDA"),
                                          std::pair(u"DEAN", u"DEANNA"), std::pair(u"MAX", u"MAXINE")})
        EXPECT_NE(compareNames(brother, sister, true), NameAgreement::Nickname)
            << QStringView(sister).toString().toStdString();

    const std::tuple<const char16_t*, const char16_t*, int> distances[] = {
        {u"MEGAN", u"MEGAN", 0},  {u"MEGAN", u"MEGSN", 1}, {u"MEGAN", u"EMGAN", 1}, {u"MEGAN", u"MEGN", 1},
        {u"MEGAN", u"MEGANS", 1}, {u"GRAHAM", u"RAAM", 2}, {u"", u"ABC", 3},        {u"KITTEN", u"SITTING", 3},
    };
    for (const auto& [a, b, expected] : distances) {
        EXPECT_EQ(editDistance(QStringView(a), QStringView(b)), expected);
        EXPECT_EQ(editDistance(QStringView(b), QStringView(a)), expected);
    }
}

TEST(DuplicateScoringTest, DatesCompareInGrades)
{
    const auto day = [](int y, int m, int d) { return dayNumber(QDate(y, m, d)); };
    struct Case
    {
        int a;
        int b;
        DateAgreement expected;
    };
    const Case cases[] = {
        {day(1987, 2, 3), day(1987, 2, 3), DateAgreement::Same},
        {day(1987, 2, 3), day(1987, 3, 2), DateAgreement::DayMonthSwapped},
        {day(1976, 9, 24), day(1926, 9, 24), DateAgreement::OneDigit},
        {day(1976, 9, 24), day(1976, 9, 14), DateAgreement::OneDigit},
        {day(1972, 5, 1), day(1927, 5, 1), DateAgreement::OneDigit}, // neighbouring digits swapped
        {day(1972, 5, 1), day(1981, 5, 1), DateAgreement::Different},
        {day(1972, 5, 1), day(1972, 11, 30), DateAgreement::Different},
        {day(1972, 5, 1), kNoDate, DateAgreement::Missing},
        {kNoDate, kNoDate, DateAgreement::Missing},
    };
    for (const Case& c : cases)
        EXPECT_EQ(compareDates(c.a, c.b), c.expected) << c.a << " / " << c.b;

    EXPECT_EQ(dayNumber(QDate(1970, 1, 1)), 0);
    EXPECT_EQ(dayNumber(QDate(1, 1, 1)), kNoDate);
    EXPECT_EQ(dayNumber(QDate(9999, 12, 31)), kNoDate);
    EXPECT_EQ(dayNumber(QDate()), kNoDate);
    EXPECT_EQ(dateOfValue(QVariant(QStringLiteral("1987-02-03 00:00:00"))), QDate(1987, 2, 3));
    EXPECT_EQ(dateOfValue(QVariant(QDateTime(QDate(1987, 2, 3), QTime(10, 0)))), QDate(1987, 2, 3));
    EXPECT_EQ(dateOfValue(QVariant(QDate(1987, 2, 3))), QDate(1987, 2, 3));
    EXPECT_FALSE(dateOfValue(QVariant(QStringLiteral("1987-13-45"))).isValid());
    EXPECT_FALSE(dateOfValue(QVariant(QStringLiteral("garbage"))).isValid());
    EXPECT_FALSE(dateOfValue(QVariant()).isValid());
}

TEST(DuplicateScoringTest, PhonesEmailsAndAddressesAsKeys)
{
    EXPECT_TRUE(samePhone(phoneKey(u"0412 345 678"), phoneKey(u"+61 412 345 678")));
    EXPECT_TRUE(samePhone(phoneKey(u"0412345678"), phoneKey(u"0412-345-678")));
    EXPECT_TRUE(samePhone(phoneKey(u"(03) 9123 4567"), phoneKey(u"9123 4567"))); // without the area code
    EXPECT_FALSE(samePhone(phoneKey(u"0412 345 678"), phoneKey(u"0412 345 679")));
    EXPECT_EQ(phoneKey(u"123 456"), 0u);
    EXPECT_EQ(phoneKey(u""), 0u);
    EXPECT_EQ(phoneKey(QString(200, u'9')), 0u);
    EXPECT_FALSE(samePhone(0, 0));

    EXPECT_EQ(emailKey(u" Jo.Smith@Example.com "), emailKey(u"jo.smith@example.com"));
    EXPECT_NE(emailKey(u"jo.smith@example.com"), emailKey(u"jo.smyth@example.com"));
    for (const char16_t* bad : {u"", u"none", u"@example.com", u"jo@"})
        EXPECT_EQ(emailKey(bad), 0u);

    const AddressKeys a = addressKeys(u"12 High Street, Fitzroy VIC 3065");
    EXPECT_EQ(a.full, addressKeys(u"12 HIGH ST FITZROY VIC 3065").full);
    EXPECT_NE(a.full, addressKeys(u"14 High St Fitzroy VIC 3065").full);
    EXPECT_EQ(a.street, addressKeys(u"Unit 2/12 High St, Carlton").street);
    EXPECT_NE(a.street, addressKeys(u"12 Main Rd Fitzroy").street);
    EXPECT_EQ(addressKeys(u"").full, 0u);
    EXPECT_EQ(addressKeys(u"Fitzroy").street, 0u);
}

TEST(DuplicateScoringTest, AddressesAgreeInGrades)
{
    const AddressKeys keys = addressKeys(u"Unit 4, 12 Banksia Crescent, Pine Camp, Lorne VIC 3232");
    EXPECT_EQ(keys.number, addressKeys(u"12 Banksia Cres Lorne").number);
    EXPECT_NE(keys.number, addressKeys(u"4 Banksia Cres Lorne").number);
    EXPECT_EQ(keys.postCode, 3232u + 1);
    EXPECT_EQ(keys.streetCode, phoneticCode(u"BANKSIA"));
    EXPECT_EQ(keys.localityCode, phoneticCode(u"LORNE"));
    EXPECT_EQ(keys.words, "BANKSIA CRES PINE CAMP LORNE");
    EXPECT_EQ(addressKeys(u"Lorne VIC 3232").number, 0u);

    struct Case
    {
        const char16_t* a;
        const char16_t* b;
        double lo; // the similarity lies in [lo, hi)
        double hi;
    };
    constexpr double kNear = 0.8, kPartly = 0.6; // the scorer's grades
    const Case cases[] = {
        {u"8 Cobb Place Southern Cross WA 6426", u"8 COBB PL SOUTHERN CROSS WA 6426", 1, 2}, // the same
        // Nearly the same: a slip in a word, a blank in a word, a part one side lacks, a post-code
        // digit wrong or two swapped.
        {u"5 Wattleburn Street, Kilsyht VIC 3137", u"5 Wattlebyrn Street, Kilsyth VIC 3137", kNear, 1},
        {u"25 Hollan D Street, Rosebud VIC 3939", u"25 Holland Street, Rosebud VIC 3939", kNear, 1},
        {u"8 Cobb Place, Southern Cross WA 6426", u"8 Cobb Ilace, Park Estate, Southern Cross WA 6426", kNear, 1.01},
        {u"Banksia Crescent, Pine Camp, Lorne VIC 3232", u"Banksia Crescent, Pine Cajp, Lorne VIC 3232", kNear, 1},
        {u"41 Tarwin Place, Bright VIC 3741", u"41 Tarwin Place, Bright VIC 3742", kNear, 1},
        {u"41 Tarwin Place, Bright VIC 3741", u"41 Tarwin Place, Bright VIC 3714", kNear, 1},
        {u"7, Oakleigh Retirmeent Village, Glenhavenn NSW 2156",
         u"7 Tulloch Sreet, Oakleigh Retireeent Village, Glen Haven NSW 2165", kNear, 1},
        // Partly: the street with another house number.
        {u"12 Banksia Crescent Lorne VIC 3232", u"40 Banksia Crescent Lorne VIC 3232", kPartly, kNear},
        // Different: another street of the suburb, the suburb alone, another place.
        {u"12 Banksia Crescent Lorne VIC 3232", u"7 Tarwin Place Lorne VIC 3232", 0, kPartly},
        {u"Lorne VIC 3232", u"12 Banksia Crescent Lorne VIC 3232", 0, kPartly},
        {u"12 Banksia Crescent Lorne VIC 3232", u"3 Holland Street Rosebud VIC 3939", 0, kPartly},
    };
    for (const Case& c : cases) {
        const AddressKeys a = addressKeys(c.a), b = addressKeys(c.b);
        const double similarity = addressSimilarity({a.words, a.number, a.postCode}, {b.words, b.number, b.postCode});
        EXPECT_GE(similarity, c.lo) << QString::fromUtf16(c.a).toStdString() << " / "
                                    << QString::fromUtf16(c.b).toStdString();
        EXPECT_LT(similarity, c.hi) << QString::fromUtf16(c.a).toStdString() << " / "
                                    << QString::fromUtf16(c.b).toStdString();
        const double reverse = addressSimilarity({b.words, b.number, b.postCode}, {a.words, a.number, a.postCode});
        EXPECT_DOUBLE_EQ(similarity, reverse);
    }
}

// A small practice in memory: the scores of pairs of its records.
class ScoredPractice : public ::testing::Test
{
protected:
    int add(const DuplicateInput& input)
    {
        records.add(input);
        return input.clientId;
    }
    static DuplicateInput client(int id, const char* surname, const char* name, const char* born,
                                 const char* mobile = "", const char* email = "", const char* address = "")
    {
        DuplicateInput c;
        c.clientId = id;
        c.surname = QString::fromUtf8(surname);
        c.name = QString::fromUtf8(name);
        c.dateOfBirth = *born ? QVariant(QString::fromLatin1(born)) : QVariant();
        c.mobile = QString::fromLatin1(mobile);
        c.email = QString::fromLatin1(email);
        c.address = QString::fromLatin1(address);
        return c;
    }
    int index(int clientId) const
    {
        for (int i = 0; i < records.size(); ++i)
            if (records[i].clientId == clientId)
                return i;
        return -1;
    }
    PairScore score(int a, int b) const { return DuplicateScorer(records).score(index(a), index(b)); }

    DuplicateRecords records;
};

TEST_F(ScoredPractice, EveryKindOfErrorStillScoresAsOnePerson)
{
    struct Case
    {
        DuplicateInput a;
        DuplicateInput b;
        const char* reason;
    };
    const Case cases[] = {
        {client(1, "Robinson", "Ruby", "1964-09-10", "0408 918 136"), client(2, "Robinon", "Ruby", "1964-09-10"),
         "surname nearly the same"},
        {client(3, "Nguyen", "Zoe", "1980-10-21", "", "zoe@example.org"), client(4, "Ngueyn", "Zoe", "1980-10-21"),
         "surname sounds alike"},
        {client(5, "O'Brien", "William", "1955-06-04"), client(6, "OBRIEN", "Bill", "1955-06-04", "0406 194 812"),
         "given name is a nickname"},
        {client(7, "Stewart", "Anna", "1946-08-22", "0421 028 191"),
         client(8, "Anna", "Stewart", "1946-08-22", "0421028191"), "given name and surname swapped"},
        {client(9, "Morris", "Oliver", "1987-02-03", "0498 333 897"),
         client(10, "Morris", "Oliver", "1987-03-02", "0498 333 897"), "day and month of birth swapped"},
        {client(11, "Khan", "Peter", "1976-09-24", "0488 881 365"),
         client(12, "Khan", "Peter", "1926-09-24", "0488 881 365"), "date of birth one digit off"},
        {client(13, "Williams", "Jessica", "1990-11-26", "0459 621 227"),
         client(14, "King", "Jessica", "1990-11-26", "0459 621 227"), "same mobile"},
        {client(15, "Ward", "Aisha", "1975-04-09", "", "aisha@example.net", "22 Mill Lane Glenelg"),
         client(16, "Ward", "Aisha", "1975-04-09", "", "aisha@example.net", "7 George St Carlton"), "same e-mail"},
    };
    for (const Case& c : cases) {
        add(c.a);
        add(c.b);
    }
    records.finish();
    for (const Case& c : cases) {
        const PairScore s = score(c.a.clientId, c.b.clientId);
        EXPECT_GE(s.score, kDefaultMinScore) << c.a.clientId << ": " << s.reasons.join(", ").toStdString();
        EXPECT_TRUE(s.reasons.contains(QString::fromLatin1(c.reason)))
            << c.a.clientId << ": " << s.reasons.join(", ").toStdString();
    }
}

TEST_F(ScoredPractice, DifferentPeopleStayBelowTheThreshold)
{
    // A family: one surname, address, home phone and e-mail; other given names and dates of birth.
    DuplicateInput mother = client(1, "Tran", "Linh", "1970-03-12", "0411 111 111", "tran.family@example.com",
                                   "4 Beach Rd Glenelg SA 5045");
    mother.homePhone = "(08) 8294 1234";
    DuplicateInput son = mother;
    son.clientId = 2;
    son.name = "Minh";
    son.dateOfBirth = QStringLiteral("2004-07-30");
    son.mobile = "0422 222 222";
    DuplicateInput twin = son; // the same date of birth, another given name
    twin.clientId = 3;
    twin.name = "Arjun";
    twin.mobile.clear();
    add(mother);
    add(son);
    add(twin);
    // A common surname and the same year of birth, nothing else.
    add(client(4, "Smith", "Olivia", "1980-02-01", "0433 000 001"));
    add(client(5, "Smith", "Grace", "1980-09-17", "0433 000 002"));
    add(client(6, "Smith", "Olivia", "1980-06-11"));
    // Two blank records and two that hold only the same mobile.
    add(client(7, "", "", ""));
    add(client(8, " ", "", ""));
    add(client(9, "", "", "", "0499 999 999"));
    add(client(10, "", "", "", "0499 999 999"));
    records.finish();

    for (const auto& [a, b] : {std::pair(1, 2), std::pair(1, 3), std::pair(2, 3), std::pair(4, 5), std::pair(4, 6),
                               std::pair(5, 6), std::pair(7, 8), std::pair(9, 10)}) {
        const PairScore s = score(a, b);
        EXPECT_LT(s.score, kDefaultMinScore) << a << "-" << b << ": " << s.reasons.join(", ").toStdString();
    }
    EXPECT_EQ(score(7, 8).score, 0);
    EXPECT_EQ(score(9, 10).score, 0);
}

TEST_F(ScoredPractice, NamesAndDateOfBirthOrAddressStandWithoutPhoneOrEmail)
{
    // A small practice without telephones or e-mail, where each surname below is held by 60
    // clients and each given name by 30.
    const char* const surnames[] = {"Lambert", "Greenwood", "Fowler", "Henderson", "Carter", "Pellow"};
    const char* const names[] = {"Josie", "Tessa", "Megan", "Luke", "Daniel", "Marnie"};
    const char* const others[] = {"Abbott", "Barton", "Cole", "Dixon", "Elliott", "Fisher", "Grant", "Hardy"};
    int id = 1000;
    for (const char* surname : surnames)
        for (int i = 0; i < 60; ++i)
            add(client(++id, surname, others[i % 8], qPrintable(QDate(1940 + i, 1 + i % 12, 1).toString(Qt::ISODate)),
                       "", "", qPrintable(QStringLiteral("%1 Mill Road Sale VIC 3850").arg(i + 1))));
    for (const char* name : names)
        for (int i = 0; i < 30; ++i)
            add(client(++id, others[i % 8], name, qPrintable(QDate(1950 + i, 1 + i % 12, 2).toString(Qt::ISODate)), "",
                       "", qPrintable(QStringLiteral("%1 Bay Road Sale VIC 3850").arg(i + 1))));

    struct Case
    {
        DuplicateInput a;
        DuplicateInput b;
        bool onePerson;
    };
    const Case cases[] = {
        // One person: the same names (or a slip in one) and date of birth, or one date missing
        // and the address alike.
        {client(1, "Lambert", "Josie", "1971-05-05", "", "", "7, Oakleigh Retirmeent Village, Glenhavenn NSW 2156"),
         client(2, "Lambert", "Josie", "1971-05-05", "", "",
                "7 Tulloch Sreet, Oakleigh Retireeent Village, Glen Haven NSW 2165"),
         true},
        {client(3, "Greenwoed", "Tessa", "1985-08-19", "", "", "25 Hollan D Street, Rosebud VIC 3939"),
         client(4, "Green Wood", "Tessa", "1985-08-19", "", "", "25 Holland Street, Warrina Lakes, Rosebud VIC 3939"),
         true},
        {client(5, "Fowler", "Megan", "1979-02-14", "", "", "5 Wattleburn Street, Kilsyht VIC 3137"),
         client(6, "Fowler", "Megsn", "1979-02-14", "", "", "5 Wattlebyrn Street, Mooroolbark, Kilsyth VIC 3137"),
         true},
        {client(7, "Henderson", "Luke", "", "", "", "41 Tarwin Place, Bright VIC 3741"),
         client(8, "Henderson", "Luke", "1951-03-17", "", "", "41 Tarwin Place, Bright VIC 3714"), true},
        {client(9, "Carter", "Daniel", "", "", "", "Banksia Crescent, Pine Camp, Lorne VIC 3232"),
         client(10, "Carter", "Daniel", "", "", "", "Banksia Crescent, Pine Cajp, Lorne VIC 3232"), true},
        {client(11, "Pellow", "Marnie", "", "", "", "8 Cobb Place, Southern Cross WA 6426"),
         client(12, "Pelkow", "Marnie", "1962-11-05", "", "", "8 Cobb Ilace, Park Estate, Southern Cross WA 6426"),
         true},
        // Relatives: a household member (the address, another given name and date of birth),
        // twins (the address and date of birth, another given name), and a relative at the
        // address where neither holds a date of birth.
        {client(13, "Fowler", "Brooke", "2004-09-30", "", "", "5 Wattleburn Street, Kilsyth VIC 3137"),
         client(14, "Fowler", "Megan", "1979-02-14", "", "", "5 Wattleburn Street, Kilsyth VIC 3137"), false},
        {client(15, "Lambert", "Sophie", "1971-05-05", "", "", "7 Tulloch Street, Glen Haven NSW 2156"),
         client(16, "Lambert", "Josie", "1971-05-05", "", "", "7 Tulloch Street, Glen Haven NSW 2156"), false},
        {client(17, "Henderson", "Lachlan", "", "", "", "41 Tarwin Place, Bright VIC 3741"),
         client(18, "Henderson", "Luke", "", "", "", "41 Tarwin Place, Bright VIC 3741"), false},
    };
    for (const Case& c : cases) {
        add(c.a);
        add(c.b);
    }
    records.finish();
    for (const Case& c : cases) {
        const PairScore s = score(c.a.clientId, c.b.clientId);
        if (c.onePerson)
            EXPECT_GE(s.score, kDefaultMinScore) << c.a.clientId << ": " << s.reasons.join(", ").toStdString();
        else
            EXPECT_LT(s.score, kDefaultMinScore) << c.a.clientId << ": " << s.reasons.join(", ").toStdString();
    }
}

// Relatives against one person written twice, as the reasons read them. A practice in which
// the given names below are each held by several clients (established names, not slips).
TEST_F(ScoredPractice, RelativesStayBelowTheThresholdAndSaySoWhileSlipsAreListed)
{
    const char* const established[] = {"Francis", "Frances", "Oliver", "Olivia", "Maria", "Marie", "Sophie", "Peter"};
    int id = 1000;
    for (const char* name : established)
        for (int i = 0; i < 4; ++i)
            add(client(++id, "Abbott", name, qPrintable(QDate(1930 + i * 7, 1 + i, 3).toString(Qt::ISODate))));
    const auto home = [](DuplicateInput c, const char* phone) {
        c.homePhone = QString::fromLatin1(phone);
        return c;
    };
    struct Case
    {
        const char* what;
        DuplicateInput a;
        DuplicateInput b;
        bool listed;
        QStringList reasons; // among the pair's reasons
    };
    const char* const penn = "14 Quarry Road Ballarat VIC 3350";
    const char* const morgan = "3 Lyle Court Bendigo VIC 3550";
    const Case cases[] = {
        {"a mother and her daughter of one name, one address and home phone",
         home(client(1, "Penn", "Sophie", "1942-05-03", "", "", penn), "(03) 5331 2468"),
         home(client(2, "Penn", "Sophie", "1990-11-21", "", "", penn), "(03) 5331 2468"),
         false,
         {"same home phone", "same address", "different date of birth"}},
        {"a father and his son of one name, each with a mobile of his own",
         home(client(3, "Penn", "Peter", "1951-02-14", "0411 222 001", "", penn), "(03) 5331 2468"),
         home(client(4, "Penn", "Peter", "1983-07-09", "0411 222 002", "", penn), "(03) 5331 2468"),
         false,
         {"different date of birth"}},
        {"one person a generation off, whose mobile agrees",
         client(5, "Penn", "Sophie", "1942-05-03", "0422 333 444", "", penn),
         client(6, "Penn", "Sophie", "1990-11-21", "0422 333 444", "", penn),
         true,
         {"same mobile", "different date of birth"}},
        {"siblings of alike names, six years apart",
         home(client(7, "Morgan", "Francis", "1984-03-30", "", "", morgan), "(03) 5442 1357"),
         home(client(8, "Morgan", "Frances", "1990-08-12", "", "", morgan), "(03) 5442 1357"),
         false,
         {"different date of birth"}},
        {"siblings of alike names, a year apart",
         home(client(9, "Morgan", "Oliver", "2001-01-19", "", "", morgan), "(03) 5442 1357"),
         home(client(10, "Morgan", "Olivia", "2002-06-02", "", "", morgan), "(03) 5442 1357"),
         false,
         {"different date of birth"}},
        {"twins of alike names with a mobile and an e-mail address of their own",
         client(11, "Contos", "Maria", "1979-10-04", "0433 100 200", "maria.c@example.com", morgan),
         client(12, "Contos", "Marie", "1979-10-04", "0433 100 300", "marie.c@example.com", morgan),
         false,
         {"same date of birth", "possible twins"}},
        {"twins of alike names without contacts: listed, and said to be possible twins",
         client(13, "Contos", "Maria", "1979-10-04", "", "", morgan),
         client(14, "Contos", "Marie", "1979-10-04", "", "", morgan),
         true,
         {"same date of birth", "possible twins"}},
        {"one person, the year of birth one digit off",
         client(15, "Khan", "Peter", "1976-09-24", "0488 881 365"),
         client(16, "Khan", "Peter", "1974-09-24", "0488 881 365"),
         true,
         {"date of birth one digit off", "same mobile"}},
        {"one person, a slip in the surname and a moved address",
         client(17, "Harper", "Louise", "1975-04-09", "0412 345 678", "", "12 Beach Rd Glenelg SA 5045"),
         client(18, "Harpur", "Louise", "1975-04-09", "0412 345 678", "", "9 King St Carlton VIC 3053"),
         true,
         {"same date of birth", "surname sounds alike", "same mobile"}},
        {"one person, a nickname and a missing mobile",
         client(19, "Baird", "Thomas", "1962-07-31", "0411 173 722", "", morgan),
         client(20, "Baird", "Tom", "1962-07-31", "", "", morgan),
         true,
         {"same date of birth", "given name is a nickname", "same address"}},
    };
    for (const Case& c : cases) {
        add(c.a);
        add(c.b);
    }
    records.finish();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PairScore s = score(c.a.clientId, c.b.clientId);
        EXPECT_EQ(s.score >= kDefaultMinScore, c.listed) << s.score << ": " << s.reasons.join(", ").toStdString();
        for (const QString& reason : c.reasons)
            EXPECT_TRUE(s.reasons.contains(reason))
                << reason.toStdString() << " not in " << s.reasons.join(", ").toStdString();
    }
    // A date of birth one digit off scores below the same pair with the dates equal; 100 only
    // where nothing disagrees.
    DuplicateRecords exact;
    const char* const khan = "6 Tarwin Pl Bright VIC 3741";
    for (const DuplicateInput& c : {client(15, "Khan", "Peter", "1976-09-24", "0488 881 365", "pk@example.com", khan),
                                    client(16, "Khan", "Peter", "1976-09-24", "0488 881 365", "pk@example.com", khan),
                                    client(17, "Khan", "Peter", "1974-09-24", "0488 881 365", "pk@example.com", khan)})
        exact.add(c);
    exact.finish();
    const DuplicateScorer scorer(exact);
    EXPECT_EQ(scorer.score(0, 1).score, 100);
    EXPECT_LT(scorer.score(0, 2).score, scorer.score(0, 1).score);
}

// Two records that agree on a rare name and an address or a telephone number, and differ only in
// the date of birth (by more than a slip, less than a generation), score below the same pair
// with one date of birth blank: the different date of birth weighs against.
TEST_F(ScoredPractice, ADifferentDateOfBirthAloneWeighsAgainstThePair)
{
    struct Case
    {
        const char* what;
        DuplicateInput a;
        const char* otherDate;
    };
    const auto withHome = [](DuplicateInput c) {
        c.homePhone = QStringLiteral("(02) 6123 9876");
        return c;
    };
    const Case cases[] = {
        {"the address, the same year",
         client(1, "Wetherall", "Ottilie", "1961-04-04", "", "", "7 Tulloch St Orange NSW 2800"), "1961-09-27"},
        {"the address, a year apart",
         client(2, "Quigley", "Ambrose", "1958-02-11", "", "", "40 Pine Cres Dubbo NSW 2830"), "1959-06-30"},
        {"the mobile, six years apart", client(3, "Trevaskis", "Leopold", "1972-12-05", "0455 919 293"), "1978-03-17"},
        {"the home phone, twelve years apart", withHome(client(4, "Galbraith", "Winifred", "1949-08-23")),
         "1961-01-02"},
    };
    int id = 10;
    for (const Case& c : cases) {
        DuplicateInput differing = c.a, blank = c.a;
        differing.clientId = ++id;
        differing.dateOfBirth = QString::fromLatin1(c.otherDate);
        blank.clientId = ++id;
        blank.dateOfBirth = QVariant();
        add(c.a);
        add(differing);
        add(blank);
    }
    records.finish();
    id = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int differing = ++id, blank = ++id;
        const PairScore withBoth = score(c.a.clientId, differing);
        const PairScore withOne = score(c.a.clientId, blank);
        EXPECT_TRUE(withBoth.reasons.contains("different date of birth")) << withBoth.reasons.join(", ").toStdString();
        EXPECT_FALSE(withOne.reasons.contains("different date of birth")) << withOne.reasons.join(", ").toStdString();
        EXPECT_LT(withBoth.weight, withOne.weight);
        EXPECT_LT(withBoth.score, withOne.score);
    }
}

TEST_F(ScoredPractice, MissingValuesCountNeitherForNorAgainst)
{
    add(client(1, "Lincoln", "Grace", "1990-01-05", "0400 000 001", "grace@example.com"));
    add(client(2, "Lincoln", "Grace", "1990-01-05", "", ""));
    add(client(3, "Lincoln", "Grace", "1990-01-05", "0400 000 999", "other@example.com"));
    add(client(4, "Lincoln", "Grace", ""));
    add(client(5, "Lincoln", "Grace", "", "0400 000 777"));
    records.finish();
    const PairScore missing = score(1, 2);
    const PairScore differing = score(1, 3);
    EXPECT_GT(missing.weight, differing.weight);
    // Without a date of birth on one side the date neither adds nor subtracts.
    EXPECT_DOUBLE_EQ(score(4, 5).weight, score(2, 4).weight);
    EXPECT_FALSE(score(2, 4).reasons.contains("different date of birth"));
    EXPECT_TRUE(differing.reasons.contains("same date of birth"));
}

TEST_F(ScoredPractice, ACommonSurnameAgreeingWeighsLessThanARareOne)
{
    for (int id = 1; id <= 300; ++id)
        add(client(id, "Smith", id % 2 ? "Olivia" : "Noah", "1950-01-01"));
    add(client(401, "Smith", "Harriet", "1961-04-04"));
    add(client(402, "Smith", "Harriet", "1961-04-04"));
    add(client(403, "Zielinski", "Harriet", "1961-04-04"));
    add(client(404, "Zielinski", "Harriet", "1961-04-04"));
    records.finish();
    EXPECT_LT(score(401, 402).weight, score(403, 404).weight);
    // The same date of birth held by many clients (a placeholder) weighs little.
    EXPECT_LT(score(1, 3).weight, score(401, 402).weight);
}

TEST_F(ScoredPractice, RepeatedClientIdsAreReadOnce)
{
    add(client(7, "Lee", "Anna", "1990-01-01"));
    add(client(7, "Lee", "Anna", "1990-01-01"));
    add(client(3, "Lee", "Ann", "1990-01-01"));
    records.finish();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].clientId, 3);
    EXPECT_EQ(records[1].clientId, 7);
}

TEST(DuplicateScoringScaleTest, ScoreOfWeight)
{
    EXPECT_EQ(DuplicateScorer::scoreOfWeight(-100), 0);
    EXPECT_EQ(DuplicateScorer::scoreOfWeight(1000), 100);
    EXPECT_LT(DuplicateScorer::scoreOfWeight(20), DuplicateScorer::scoreOfWeight(21));
}

} // namespace
