// The search statement: every shape the builder writes, as a table of requests with the lines
// and parameters they must give; then the statements run on a small practice built from the
// schema, through the adaptation for the embedded engine.

#include "search/SearchQuery.h"
#include "support/QtPrinting.h"
#include "support/TestDatabase.h"

#include "db/Connection.h"
#include "db/Dataset.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <ostream>

namespace kolvix::test {
namespace {

// A parameter as the table writes it: "asLike1=smi%" for a text, "asLike1#1234" for an integer.
QStringList describeParameters(const SearchQuery& query)
{
    QStringList result;
    for (const SearchParameter& p : query.parameters)
        result << p.name + (p.isInteger() ? QStringLiteral("#") : QStringLiteral("=")) + p.value.toString();
    return result;
}

struct BuilderCase
{
    const char* name;
    SearchRequest request;
    QStringList lines;
    QStringList parameters;
};

void PrintTo(const BuilderCase& c, std::ostream* os)
{
    *os << c.name;
}

SearchRequest request(SearchField field, const QString& text, bool soundsLike = false, bool showAll = false,
                      bool showArchived = false)
{
    SearchRequest r;
    r.field = int(field);
    r.text = text;
    r.soundsLike = soundsLike;
    r.showAll = showAll;
    r.showArchived = showArchived;
    return r;
}

std::vector<BuilderCase> builderCases()
{
    using F = SearchField;
    const QString active = QStringLiteral("AND Active = 'T'");
    const QString mobileInner
        = QStringLiteral("SELECT *, dbo.onlyNumericChars(Mobile) AS RawMobile FROM PatientSearch) SubDetails");
    std::vector<BuilderCase> c;

    // The worked statements.
    c.push_back(
        {"SurnamePrefix",
         request(F::Surname, "smi"),
         {"SELECT TOP 50 * FROM PatientSearch", "WHERE Surname LIKE :asLike1", active, "ORDER BY Surname", ", Name"},
         {"asLike1=smi%"}});
    c.push_back({"SurnameNamePair",
                 request(F::Surname, "smith, jo"),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE (Surname LIKE :asLike1 ) AND (Name LIKE :asLike2 )",
                  active, "ORDER BY Surname", ", Name"},
                 {"asLike1=smith%", "asLike2=jo%"}});
    c.push_back({"NameSoundsLike",
                 request(F::Name, "jo", true),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE Soundex(:asSounds) = Soundex(Name)", active,
                  "ORDER BY Name", ", Surname"},
                 {"asSounds=jo"}});
    c.push_back({"MobileShowAllArchived",
                 request(F::Mobile, "04 12", false, true, true),
                 {"SELECT * FROM (", mobileInner, "WHERE RawMobile LIKE :asLike1", "ORDER BY RawMobile"},
                 {"asLike1=0412%"}});
    c.push_back({"SurnameEmpty",
                 request(F::Surname, ""),
                 {"SELECT TOP 0 * FROM PatientSearch", "WHERE ((Surname LIKE :asLike1 ) OR (Surname IS Null))", active,
                  "AND Clientid = -1 ", "ORDER BY Surname", ", Name"},
                 {"asLike1=%"}});
    c.push_back({"SurnameEmptyShowAll",
                 request(F::Surname, "", false, true),
                 {"SELECT * FROM PatientSearch", "WHERE ((Surname LIKE :asLike1 ) OR (Surname IS Null))", active,
                  "ORDER BY Surname", ", Name"},
                 {"asLike1=%"}});
    c.push_back({"ClientId",
                 request(F::ClientID, "1234"),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE ClientID = :asLike1", active, "ORDER BY ClientID"},
                 {"asLike1#1234"}});
    c.push_back({"FileNoWithoutUseFileNo",
                 request(F::FileNo, "12"),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE ClientID LIKE :asLike1", active, "ORDER BY ClientID"},
                 {"asLike1=12%"}});
    c.push_back(
        {"BpayFourCharacters",
         request(F::BPAYRefNo, "1234"),
         {"SELECT TOP 0 * FROM PatientSearchBPAY", "WHERE BPAYRefNo LIKE :asLike1", active, "ORDER BY BPAYRefNo"},
         {"asLike1=1234%"}});

    // Edge cases.
    c.push_back(
        {"BlanksStayInThePattern",
         request(F::Surname, " smi  "),
         {"SELECT TOP 50 * FROM PatientSearch", "WHERE Surname LIKE :asLike1", active, "ORDER BY Surname", ", Name"},
         {"asLike1= smi  %"}});
    c.push_back({"OnlyTheNamePairPartsAreTrimmed",
                 request(F::Surname, " \tsmith  ,\x01 jo  "),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE (Surname LIKE :asLike1 ) AND (Name LIKE :asLike2 )",
                  active, "ORDER BY Surname", ", Name"},
                 {"asLike1=smith%", "asLike2=jo%"}});
    c.push_back({"FurtherCommasBelongToTheSecondPart",
                 request(F::Surname, "smith,jo, ann,"),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE (Surname LIKE :asLike1 ) AND (Name LIKE :asLike2 )",
                  active, "ORDER BY Surname", ", Name"},
                 {"asLike1=smith%", "asLike2=jo, ann,%"}});
    c.push_back({"SurnameWithCommaAlone",
                 request(F::Surname, "smith,"),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE (Surname LIKE :asLike1 ) AND (Name LIKE :asLike2 )",
                  active, "ORDER BY Surname", ", Name"},
                 {"asLike1=smith%", "asLike2=%"}});
    c.push_back({"NamePairForName",
                 request(F::Name, "jo, smi"),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE (Name LIKE :asLike1 ) AND (Surname LIKE :asLike2 )",
                  active, "ORDER BY Name", ", Surname"},
                 {"asLike1=jo%", "asLike2=smi%"}});
    c.push_back({"NamePairSoundsLike",
                 request(F::Surname, "smyth , jo", true),
                 {"SELECT TOP 50 * FROM PatientSearch",
                  "WHERE (Soundex( :asSounds ) = Soundex(Surname)) AND (Name LIKE :asLike2 )", active,
                  "ORDER BY Surname", ", Name"},
                 {"asSounds=smyth", "asLike2=jo%"}});
    c.push_back({"NamePairSoundsLikeForName",
                 request(F::Name, "jo,smi", true),
                 {"SELECT TOP 50 * FROM PatientSearch",
                  "WHERE (Soundex( :asSounds ) = Soundex(Name)) AND (Surname LIKE :asLike2 )", active, "ORDER BY Name",
                  ", Surname"},
                 {"asSounds=jo", "asLike2=smi%"}});
    c.push_back({"SurnameSoundsLikeKeepsTheText",
                 request(F::Surname, "Smyth ", true),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE Soundex(:asSounds) = Soundex(Surname)", active,
                  "ORDER BY Surname", ", Name"},
                 {"asSounds=Smyth "}});
    c.push_back(
        {"NameSearchesThePreferredNameToo",
         request(F::Name, "jo"),
         {"SELECT TOP 50 * FROM PatientSearch", "WHERE (( Name LIKE :asLike1 ) OR ( PreferredName LIKE :asLike3 ))",
          active, "ORDER BY Name", ", Surname"},
         {"asLike1=jo%", "asLike3=jo%"}});
    c.push_back({"NameEmpty",
                 request(F::Name, ""),
                 {"SELECT TOP 0 * FROM PatientSearch",
                  "WHERE ((Name LIKE :asLike1 ) OR (PreferredName LIKE :asLike3 ) OR (Name IS Null))", active,
                  "AND Clientid = -1 ", "ORDER BY Name", ", Surname"},
                 {"asLike1=%", "asLike3=%"}});
    c.push_back({"CommaIsOrdinaryForOtherFields",
                 request(F::Address, "1, Main"),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE Address LIKE :asLike1", active, "ORDER BY Address"},
                 {"asLike1=1, Main%"}});
    c.push_back({"SoundsLikeIgnoredForOtherFields",
                 request(F::HomePhone, "02", true),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE HomePhone LIKE :asLike1", active, "ORDER BY HomePhone"},
                 {"asLike1=02%"}});
    c.push_back({"ClientIdEmptyIsNoTopZero",
                 request(F::ClientID, ""),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE ((ClientID = :asLike1 ) OR (ClientID IS Null))", active,
                  "ORDER BY ClientID"},
                 {"asLike1#0"}});
    c.push_back({"ClientIdNotNumeric",
                 request(F::ClientID, "12a"),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE ClientID = :asLike1", active, "ORDER BY ClientID"},
                 {"asLike1#0"}});
    c.push_back({"ClientIdBeyondIntegers",
                 request(F::ClientID, "99999999999", false, true, true),
                 {"SELECT * FROM PatientSearch", "WHERE ClientID = :asLike1", "ORDER BY ClientID"},
                 {"asLike1#0"}});
    c.push_back(
        {"BpayShortEvenWithShowAll",
         request(F::BPAYRefNo, "1234", false, true),
         {"SELECT TOP 0 * FROM PatientSearchBPAY", "WHERE BPAYRefNo LIKE :asLike1", active, "ORDER BY BPAYRefNo"},
         {"asLike1=1234%"}});
    c.push_back({"BpayEmptyShowAll",
                 request(F::BPAYRefNo, "", false, true),
                 {"SELECT TOP 0 * FROM PatientSearchBPAY", "WHERE ((BPAYRefNo LIKE :asLike1 ) OR (BPAYRefNo IS Null))",
                  active, "ORDER BY BPAYRefNo"},
                 {"asLike1=%"}});
    c.push_back(
        {"BpayFiveCharacters",
         request(F::BPAYRefNo, "12345"),
         {"SELECT TOP 50 * FROM PatientSearchBPAY", "WHERE BPAYRefNo LIKE :asLike1", active, "ORDER BY BPAYRefNo"},
         {"asLike1=12345%"}});
    c.push_back(
        {"ClaimNumber",
         request(F::ClaimNo, "C1"),
         {"SELECT TOP 50 * FROM PatientSearchBPAY", "WHERE ClaimNumber LIKE :asLike1", active, "ORDER BY ClaimNumber"},
         {"asLike1=C1%"}});
    c.push_back({"MobileOfBlanksOnly",
                 request(F::Mobile, "   "),
                 {"SELECT TOP 50 * FROM (", mobileInner, "WHERE ((RawMobile LIKE :asLike1 ) OR (RawMobile IS Null))",
                  active, "ORDER BY RawMobile"},
                 {"asLike1=%"}});
    c.push_back({"MobileEmpty",
                 request(F::Mobile, ""),
                 {"SELECT TOP 0 * FROM (", mobileInner, "WHERE ((RawMobile LIKE :asLike1 ) OR (RawMobile IS Null))",
                  active, "AND Clientid = -1 ", "ORDER BY RawMobile"},
                 {"asLike1=%"}});
    c.push_back({"MobileKeepsOtherCharacters",
                 request(F::Mobile, "(04)\t1-2"),
                 {"SELECT TOP 50 * FROM (", mobileInner, "WHERE RawMobile LIKE :asLike1", active, "ORDER BY RawMobile"},
                 {"asLike1=(04)\t1-2%"}});
    c.push_back({"OccupationSortsByName",
                 request(F::Occupation, "te"),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE Occupation LIKE :asLike1", active, "ORDER BY Occupation",
                  ", Surname, Name"},
                 {"asLike1=te%"}});
    c.push_back({"WildcardsAndQuotesPassAsTyped",
                 request(F::Email, "o'_%[x];--"),
                 {"SELECT TOP 50 * FROM PatientSearch", "WHERE Email LIKE :asLike1", active, "ORDER BY Email"},
                 {"asLike1=o'_%[x];--%"}});
    {
        SearchRequest r = request(F::FileNo, "A1");
        r.useFileNo = true;
        c.push_back({"FileNoWithUseFileNo",
                     r,
                     {"SELECT TOP 50 * FROM PatientSearch", "WHERE FileNo LIKE :asLike1", active, "ORDER BY FileNo"},
                     {"asLike1=A1%"}});
    }
    {
        SearchRequest r = request(F::WorkPhone, "");
        r.onlyWithEmail = true;
        r.onlyWithMobile = true;
        c.push_back({"FiltersInOrder",
                     r,
                     {"SELECT TOP 0 * FROM PatientSearch", "WHERE ((WorkPhone LIKE :asLike1 ) OR (WorkPhone IS Null))",
                      active, "AND LTRIM(RTRIM(ISNULL(Email,''))) <> ''", "AND LTRIM(RTRIM(ISNULL(Mobile,''))) <> ''",
                      "AND Clientid = -1 ", "ORDER BY WorkPhone"},
                     {"asLike1=%"}});
    }
    return c;
}

class BuilderTest : public ::testing::TestWithParam<BuilderCase>
{
};

TEST_P(BuilderTest, WritesTheLinesAndParameters)
{
    const BuilderCase& c = GetParam();
    const SearchQuery query = buildSearchQuery(c.request);
    EXPECT_EQ(query.lines, c.lines);
    EXPECT_EQ(describeParameters(query), c.parameters);
    EXPECT_EQ(query.sql(), c.lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Statements, BuilderTest, ::testing::ValuesIn(builderCases()),
                         [](const ::testing::TestParamInfo<BuilderCase>& info) { return info.param.name; });

TEST(SearchFieldTest, CaptionsAndTheirIndexes)
{
    EXPECT_EQ(searchFieldCaptions(),
              QStringList({"Surname", "Name", "Home Phone", "File No", "Client ID", "Occupation", "Address", "Email",
                           "Mobile", "Work Phone", "Claim No", "BPAY Ref No"}));
    EXPECT_EQ(searchFieldIndex(QStringLiteral("bpay ref no")), 11);
    EXPECT_EQ(searchFieldIndex(QStringLiteral("SURNAME")), 0);
    EXPECT_EQ(searchFieldIndex(QStringLiteral("Surname ")), -1);
    EXPECT_EQ(searchFieldIndex(QString()), -1);
}

TEST(SearchFieldTest, ClientCountFollowsTheArchivedOption)
{
    EXPECT_EQ(clientCountLines(false), QStringList({"SELECT Count(*) AS Total FROM Client", "WHERE Active = 'T'"}));
    EXPECT_EQ(clientCountLines(true), QStringList({"SELECT Count(*) AS Total FROM Client"}));
}

// ---- Results on a small practice -----------------------------------------------------------

const char* const kPractice = R"SQL(
INSERT INTO SystemData (SystemDataID, UseFileNo) VALUES (1, 0);
INSERT INTO Practitioner (PractitionerID, Title, Name, Surname) VALUES (1, 'Dr', 'Kim', 'Lee');
INSERT INTO Client (ClientID, Surname, Name, PreferredName, Active, Mobile, HomePhone, FileNo, Occupation,
                    Address, Suburb, Email, IsAGroup, PractitionerID, DateOfBirth) VALUES
  (1, 'Smith', 'John', NULL, 'T', '0412 345 678', '02 9999 1111', 'F-100', 'Teacher', '1 Main St', 'Sydney',
   'john@example.com', 0, 1, '1980-02-03 00:00:00'),
  (2, 'smithers', 'Jo', 'Joey', 'T', '(04) 1299 0000', NULL, 'F-200', 'teacher', '12 High St', NULL, NULL, 0, NULL, NULL),
  (3, 'SMITHSON', 'Ann', NULL, 'F', '0412 777 777', NULL, NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL),
  (4, 'Smyth', 'Joanne', NULL, 'T', NULL, NULL, NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL),
  (5, 'Brown', 'Bob', 'Jonno', 'T', NULL, NULL, NULL, NULL, NULL, NULL, NULL, 1, NULL, NULL),
  (6, NULL, NULL, NULL, 'T', NULL, NULL, NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL),
  (12, 'Twelve', 'Tess', NULL, 'T', NULL, NULL, NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL),
  (120, 'Onetwenty', 'Ted', NULL, 'T', NULL, NULL, NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL),
  (21, 'O''Brien', 'Pat', NULL, 'T', NULL, NULL, NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL),
  (22, 'Ōtake', 'Émile', NULL, 'T', NULL, NULL, NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL),
  (23, 'Percent', '100%', NULL, 'T', NULL, NULL, NULL, NULL, NULL, NULL, NULL, 0, NULL, NULL);
INSERT INTO Account (ClientID, AccountID, ShortDescription, ClaimNumber, BPayRefNo) VALUES
  (1, 0, 'Primary', 'C100', '1000001'), (1, 1, 'WorkCover', 'C200', '1000002'), (2, 0, 'Primary', NULL, '2000001');
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60)
INSERT INTO Client (ClientID, Surname, Name, Active) SELECT 1000 + i, 'Zed' || printf('%02d', i), 'Zoe', 'T' FROM n;
)SQL";

class SearchResultsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db.exec(QString::fromUtf8(kPractice));
        connection.setConnectionString(db.connectionString());
        connection.open();
    }

    // The ClientIDs the statement returns, in its order.
    QList<int> ids(const SearchRequest& request)
    {
        Dataset ds = run(request);
        QList<int> result;
        for (ds.first(); !ds.eof(); ds.next())
            result << ds.field(QStringLiteral("ClientID")).asInteger();
        return result;
    }

    Dataset run(const SearchRequest& request)
    {
        const SearchQuery query = buildSearchQuery(request);
        Dataset ds(connection);
        ds.setSql(query.sql());
        for (const SearchParameter& p : query.parameters)
            ds.setParam(p.name, p.value);
        ds.open();
        return ds;
    }

    TestDatabase db;
    Connection connection;
};

using F = SearchField;

TEST_F(SearchResultsTest, PrefixSearchIgnoresCaseAndHidesArchivedClients)
{
    EXPECT_EQ(ids(request(F::Surname, "smi")), QList<int>({1, 2}));
    EXPECT_EQ(ids(request(F::Surname, "SMI")), QList<int>({1, 2}));
    EXPECT_EQ(ids(request(F::Surname, "smi", false, false, true)), QList<int>({1, 2, 3}));
    EXPECT_EQ(ids(request(F::Surname, "smith ")), QList<int>()); // the blank stays in the pattern
    EXPECT_EQ(ids(request(F::Surname, "o'b")), QList<int>({21}));
    EXPECT_EQ(ids(request(F::Surname, QStringLiteral("Ōta"))), QList<int>({22}));
    EXPECT_EQ(ids(request(F::Name, QStringLiteral("Émi"))), QList<int>({22}));
    EXPECT_EQ(ids(request(F::Occupation, "TEACH")), QList<int>({1, 2})); // by occupation, then surname
    EXPECT_EQ(ids(request(F::Address, "1 main st sy")), QList<int>({1})); // address with suburb
}

TEST_F(SearchResultsTest, NameSearchesGivenAndPreferredNames)
{
    EXPECT_EQ(ids(request(F::Name, "jo")), QList<int>({5, 2, 4, 1})); // Bob goes by Jonno
    EXPECT_EQ(ids(request(F::Name, "joe")), QList<int>({2}));
}

TEST_F(SearchResultsTest, NamePairMatchesSurnameThenName)
{
    EXPECT_EQ(ids(request(F::Surname, "smith, jo")), QList<int>({1, 2}));
    EXPECT_EQ(ids(request(F::Surname, "smith , joh")), QList<int>({1}));
    EXPECT_EQ(ids(request(F::Name, "jo, smy")), QList<int>({4}));
    EXPECT_EQ(ids(request(F::Surname, "smith,")), QList<int>({1, 2}));
}

TEST_F(SearchResultsTest, SoundsLikeComparesSoundexCodes)
{
    EXPECT_EQ(ids(request(F::Surname, "Smith", true)), QList<int>({1, 4})); // Smith and Smyth: S530
    EXPECT_EQ(ids(request(F::Surname, "smyth, joa", true)), QList<int>({4}));
}

TEST_F(SearchResultsTest, MobileSearchesTheDigits)
{
    EXPECT_EQ(ids(request(F::Mobile, "0412 34")), QList<int>({1}));
    EXPECT_EQ(ids(request(F::Mobile, "0412")), QList<int>({1, 2})); // sorted by the digits
    EXPECT_EQ(ids(request(F::Mobile, "04 12 99", false, false, true)), QList<int>({2}));
}

TEST_F(SearchResultsTest, ClientIdIsExactAndFileNoWithoutTheSettingIsAPrefix)
{
    EXPECT_EQ(ids(request(F::ClientID, "12")), QList<int>({12}));
    EXPECT_EQ(ids(request(F::ClientID, "x")), QList<int>());
    EXPECT_EQ(ids(request(F::FileNo, "12")), QList<int>({12, 120}));
    SearchRequest byFileNo = request(F::FileNo, "f-2");
    byFileNo.useFileNo = true;
    EXPECT_EQ(ids(byFileNo), QList<int>({2}));
}

TEST_F(SearchResultsTest, WildcardsTypedActAsWildcards)
{
    EXPECT_EQ(ids(request(F::Surname, "sm_th")), QList<int>({1, 2, 4}));
    EXPECT_EQ(ids(request(F::Surname, "%wel")), QList<int>({12}));
}

TEST_F(SearchResultsTest, AccountViewSearchesClaimAndBpayNumbers)
{
    EXPECT_EQ(ids(request(F::ClaimNo, "c2")), QList<int>({1}));
    EXPECT_EQ(ids(request(F::BPAYRefNo, "1000")), QList<int>()); // fewer than five characters
    EXPECT_EQ(ids(request(F::BPAYRefNo, "10000")), QList<int>({1, 1}));
    Dataset ds = run(request(F::BPAYRefNo, "1000002"));
    ASSERT_EQ(ds.recordCount(), 1);
    EXPECT_EQ(ds.field(QStringLiteral("ShortDescription")).asString(), QStringLiteral("WorkCover"));
}

TEST_F(SearchResultsTest, TopFiftyAndShowAll)
{
    EXPECT_EQ(ids(request(F::Surname, "zed")).size(), 50);
    EXPECT_EQ(ids(request(F::Surname, "zed", false, true)).size(), 60);
    EXPECT_EQ(ids(request(F::Surname, "")), QList<int>());
    const QList<int> all = ids(request(F::Surname, "", false, true));
    EXPECT_EQ(all.size(), 70); // every active client, the one without names too
    EXPECT_EQ(all.first(), 6); // a null surname sorts first
    EXPECT_EQ(ids(request(F::Surname, "", false, true, true)).size(), 71);
}

TEST_F(SearchResultsTest, EveryFieldOpensWithTheColumnsTheDialogReads)
{
    const QStringList columns {"ClientID", "Surname",   "Name",        "PreferredName",   "Practitioner",
                               "Address",  "HomePhone", "DateOfBirth", "FileNo",          "Occupation",
                               "Email",    "Mobile",    "WorkPhone",   "ClaimNumber",     "AccountID",
                               "IsAGroup", "Active",    "BPayRefNo",   "ShortDescription"};
    for (int field = 0; field < kSearchFieldCount; ++field) {
        for (const QString& text : {QString(), QStringLiteral("1")}) {
            SCOPED_TRACE(searchFieldCaptions()[field].toStdString() + " '" + text.toStdString() + "'");
            SearchRequest r = request(SearchField(field), text);
            Dataset ds = run(r);
            for (const QString& column : columns)
                EXPECT_TRUE(ds.hasField(column)) << column.toStdString();
            EXPECT_EQ(ds.hasField(QStringLiteral("RawMobile")), field == int(F::Mobile));
        }
    }
}

} // namespace
} // namespace kolvix::test
