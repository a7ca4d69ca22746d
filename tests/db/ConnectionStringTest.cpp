// Values of a connection string that hold its syntax, and passwords kept out of what is shown.

#include "db/ConnectionString.h"

#include <gtest/gtest.h>

namespace kolvix::test {
namespace {

struct QuoteCase
{
    const char* name;
    const char* value;
    const char* written;
};

class QuoteValueTest : public ::testing::TestWithParam<QuoteCase>
{
};

// Written between two other pairs, the value reads back as itself and the neighbours keep theirs.
TEST_P(QuoteValueTest, ReadsBackAsItselfAndSetsNoOtherKey)
{
    const QuoteCase& c = GetParam();
    const QString value = QString::fromUtf8(c.value);
    const QString written = quoteConnectionValue(value);
    EXPECT_EQ(written.toStdString(), c.written);
    const QString s
        = QStringLiteral("Provider=SQLite;Initial Catalog=") + written + QStringLiteral(";Data Source=B.db;");
    EXPECT_EQ(connectionStringValue(s, QStringLiteral("Initial Catalog")), value) << s.toStdString();
    EXPECT_EQ(connectionStringValue(s, QStringLiteral("Data Source")), QStringLiteral("B.db")) << s.toStdString();
    EXPECT_EQ(connectionStringValue(s, QStringLiteral("Provider")), QStringLiteral("SQLite")) << s.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Values, QuoteValueTest,
    ::testing::Values(
        QuoteCase {"Plain", "Zelvan", "Zelvan"}, QuoteCase {"Empty", "", ""},
        QuoteCase {"InnerBlanks", "My Practice", "My Practice"}, QuoteCase {"EqualsSign", "a=b", "a=b"},
        QuoteCase {"Backslash", "SRV1\\ZELVAN", "SRV1\\ZELVAN"},
        QuoteCase {"Semicolon", "x;Data Source=A.db", "\"x;Data Source=A.db\""},
        QuoteCase {"DoubleQuote", "say \"hi\"", "'say \"hi\"'"}, QuoteCase {"SingleQuote", "O'Brien", "\"O'Brien\""},
        QuoteCase {"BothQuotes", "a'b\"c;", "\"a'b\"\"c;\""}, QuoteCase {"LeadingQuote", "\"quoted\"", "'\"quoted\"'"},
        QuoteCase {"LeadingBlank", " x", "\" x\""}, QuoteCase {"TrailingTab", "x\t", "\"x\t\""},
        QuoteCase {"OnlyBlanks", "   ", "\"   \""}, QuoteCase {"NonBreakingSpace", "x\u00a0", "\"x\u00a0\""},
        QuoteCase {"Braces", "{p;w}}x}", "\"{p;w}}x}\""}, QuoteCase {"LeadingBrace", "{abc", "\"{abc\""},
        QuoteCase {"InnerBrace", "a{b}", "a{b}"}, QuoteCase {"PathWithSemicolon", "/data/a;b.db", "\"/data/a;b.db\""}),
    [](const ::testing::TestParamInfo<QuoteCase>& info) { return std::string(info.param.name); });

struct MaskCase
{
    const char* name;
    const char* connectionString;
    const char* masked;
};

class MaskConnectionStringTest : public ::testing::TestWithParam<MaskCase>
{
};

// Every secret below holds "Sec" or "ret"; neither may survive.
TEST_P(MaskConnectionStringTest, HidesTheWholeValueOfEveryPasswordKey)
{
    const MaskCase& c = GetParam();
    const QString masked = maskPasswordsInConnectionString(QString::fromUtf8(c.connectionString));
    EXPECT_EQ(masked.toStdString(), c.masked);
    EXPECT_FALSE(masked.contains(QStringLiteral("Sec")) || masked.contains(QStringLiteral("ret")))
        << masked.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, MaskConnectionStringTest,
    ::testing::Values(
        MaskCase {"Plain", "User ID=sa;Password=Sec;Workstation ID=PC01;",
                  "User ID=sa;Password=***;Workstation ID=PC01;"},
        MaskCase {"EmptyStaysEmpty", "User ID=sa;Password=;Workstation ID=PC01;",
                  "User ID=sa;Password=;Workstation ID=PC01;"},
        MaskCase {"LowerCase", "password=Secret", "password=***"},
        MaskCase {"UpperCase", "PASSWORD=Secret;", "PASSWORD=***;"},
        MaskCase {"Pwd", "UID=sa;PWD=Secret;WSID=PC01;", "UID=sa;PWD=***;WSID=PC01;"},
        MaskCase {"PwdMixedCase", "pWd=Secret;", "pWd=***;"},
        MaskCase {"BlanksAroundEquals", "User ID=sa; Password = Secret ;x=1", "User ID=sa; Password =***;x=1"},
        MaskCase {"TabBeforeEquals", "Password\t=Secret;", "Password\t=***;"},
        MaskCase {"First", "Password=Secret;User ID=sa;", "Password=***;User ID=sa;"},
        MaskCase {"Last", "User ID=sa;Password=Secret", "User ID=sa;Password=***"},
        MaskCase {"DoubleQuoted", "Password=\"Sec;ret\";User ID=sa;", "Password=***;User ID=sa;"},
        MaskCase {"SingleQuotedWithDoubledQuote", "Password='Sec''ret;x=1';User ID=sa;", "Password=***;User ID=sa;"},
        MaskCase {"Braced", "PWD={Sec;r}}et};UID=sa;", "PWD=***;UID=sa;"},
        MaskCase {"UnquotedSemicolon", "Password=Sec;ret123;Workstation ID=PC01;", "Password=***;Workstation ID=PC01;"},
        MaskCase {"UnterminatedQuote", "Password=\"Sec;ret;User ID=sa;", "Password=***"},
        MaskCase {"InsideAnotherValue", "Initial Catalog=\"x;Password=Sec;ret\";Data Source=B.db;",
                  "Initial Catalog=\"x;Password=***\";Data Source=B.db;"},
        MaskCase {"PwdInsideAnotherValue", "Data Source='A.db;pwd = Sec';User ID=sa;",
                  "Data Source='A.db;pwd = ***';User ID=sa;"},
        MaskCase {"TwoPasswords", "Password=Sec;PWD=ret;", "Password=***;PWD=***;"},
        MaskCase {"LongerKeyEndingInPassword", "Old Password=Secret;", "Old Password=***;"},
        MaskCase {"NotAPasswordKey", "Passwordless=1;PasswordHint=none;", "Passwordless=1;PasswordHint=none;"},
        MaskCase {"PartWithoutValue", "Password;User ID=sa", "Password;User ID=sa"}),
    [](const ::testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.name); });

TEST(MaskPasswordsTest, ValuesAndTextHideWhatFollowsAPasswordKey)
{
    EXPECT_EQ(maskPasswordsInValue(QStringLiteral("x;Password=Sec;ret")), QStringLiteral("x;Password=***"));
    EXPECT_EQ(maskPasswordsInValue(QStringLiteral("SRV1\\ZELVAN")), QStringLiteral("SRV1\\ZELVAN"));
    EXPECT_EQ(maskPasswordsInValue(QStringLiteral("a;pwd=")), QStringLiteral("a;pwd="));
    EXPECT_EQ(maskPasswordsInText(QStringLiteral("The database file 'a;PWD=Sec' does not exist.\nsecond line")),
              QStringLiteral("The database file 'a;PWD=***\nsecond line"));
    EXPECT_EQ(maskPasswordsInText(QStringLiteral("Login failed for user 'sa'.")),
              QStringLiteral("Login failed for user 'sa'."));
}

} // namespace
} // namespace kolvix::test
