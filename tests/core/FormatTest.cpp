#include "core/Format.h"
#include "core/TextHelpers.h"

#include <gtest/gtest.h>

using namespace kolvix;

TEST(FormatTest, Placeholders)
{
    EXPECT_EQ(Format("moveClient [%s].[%s] updating %d to %d", {QString("Appoint"), QString("ClientID"), 812, 57}),
              "moveClient [Appoint].[ClientID] updating 812 to 57");
    EXPECT_EQ(Format("SET @ToID   = %0:d\r\nSET @FromID = %1:d\r\nWHERE x = %0:d", {57, 812}),
              "SET @ToID   = 57\r\nSET @FromID = 812\r\nWHERE x = 57");
    EXPECT_EQ(Format("%*s  %s", {5, QString("12"), QString("Appointments")}), "   12  Appointments");
    EXPECT_EQ(Format("fraAction%.02d", {3}), "fraAction03");
    EXPECT_EQ(Format("fraAction%.02d", {123}), "fraAction123");
    EXPECT_EQ(Format("%d%%", {-5}), "-5%");
    EXPECT_EQ(Format("%s/%s", {QString("100%"), QString("%d")}), "100%/%d");
}

TEST(FormatTest, ArgumentsThatDoNotFitFail)
{
    EXPECT_THROW(Format("%d", {QString("x")}), FormatError);
    EXPECT_THROW(Format("%s", {5}), FormatError);
    EXPECT_THROW(Format("%s %s", {QString("a")}), FormatError);
    EXPECT_THROW(Format("%q", {QString("a")}), FormatError);
}

TEST(TextHelpersTest, SameTextFoldsOnlyAsciiLetters)
{
    EXPECT_TRUE(sameText("Medicare", "MEDICARE"));
    EXPECT_FALSE(sameText("Zoë", "ZOË"));
    EXPECT_FALSE(sameText("a", "a "));
}

TEST(TextHelpersTest, JoinLinesDropsBlankLinesAndIndentation)
{
    EXPECT_EQ(joinLines({"a", "   ", "\tb"}), "a\r\nb");
    EXPECT_EQ(joinNonBlank(", ", {" ", "\t"}), "");
    EXPECT_FALSE(hasText(QString("\t\r\n ")));
}

TEST(TextHelpersTest, JoinListClampsItsBounds)
{
    const QStringList list = {"a", "b", "c"};
    EXPECT_EQ(joinList(list, ", ", 0, -1), "a, b, c");
    EXPECT_EQ(joinList(list, ", ", 1, 99), "b, c");
    EXPECT_EQ(joinList(list, ", ", -4, 0), "a");
    EXPECT_EQ(joinList(list, ", ", 7, -1), "c");
    EXPECT_EQ(joinList({}, ", ", 0, -1), "");
    EXPECT_EQ(joinList({"x"}, ", ", 5, 2), "x");
}

TEST(TextHelpersTest, DisplayName)
{
    EXPECT_EQ(displayName(" Sample ", "One"), "Sample, One");
    EXPECT_EQ(displayName("  ", "J"), "J");
    EXPECT_EQ(displayName("Sample", ""), "Sample");
    EXPECT_EQ(displayName(" ", "\t"), "");
}

// The escaping of every tab-separated listing and report: what is escaped and how, that the
// escaped text never holds a character that would end a cell or a line, and that every value
// reads back unchanged.

namespace {

QString withChar(const char* before, char16_t c, const char* after)
{
    return QString::fromUtf8(before) + QChar(c) + QString::fromUtf8(after);
}

TEST(TextHelpersTest, EscapeTextWritesEachCharacterThatWouldActInsteadOfShowAsAnEscape)
{
    struct Case
    {
        QString value;
        QString escaped;
    };
    std::vector<Case> cases = {
        {"", ""},
        {"O'Brien, Pat", "O'Brien, Pat"},
        {QString::fromUtf8("Müller, Zoë"), QString::fromUtf8("Müller, Zoë")},
        {QString::fromUtf8("山田, 太郎"), QString::fromUtf8("山田, 太郎")},
        {QString::fromUtf8("Иванов, Пётр \xF0\x9F\x98\x80"), QString::fromUtf8("Иванов, Пётр \xF0\x9F\x98\x80")},
        {QString::fromUtf8("كريم, ليلى"), QString::fromUtf8("كريم, ليلى")},
        {"C:\\Data\\x41", "C:\\\\Data\\\\x41"},
        {"Robinon, Ruby\\tX", "Robinon, Ruby\\\\tX"}, // a backslash and a t, not a tab
        {"Robinon, Ruby\tX", "Robinon, Ruby\\tX"},
        {"line\r\nnext\n", "line\\r\\nnext\\n"},
        {"\"Bob\"", "\\\"Bob\""}, // as a spreadsheet's quoting it would lose its quotes
        {"\"", "\\\""},
        {"Robert \"Bob\", Smith", "Robert \"Bob\", Smith"},
        {withChar("del", 0x7F, ""), "del\\x7F"},
        {withChar("next line", 0x85, ""), "next line\\x85"},
        {withChar("nbsp", 0xA0, ""), withChar("nbsp", 0xA0, "")},
        {withChar("lines", 0x2028, "") + QChar(0x2029), "lines\\u2028\\u2029"},
    };
    // Every control character from 0 to 31.
    const char* const named[32] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, "\\t",   "\\n",   nullptr, nullptr, "\\r"};
    for (char16_t c = 0; c < 32; ++c)
        cases.push_back({withChar("a", c, "b"),
                         QStringLiteral("a%1b").arg(
                             named[c] ? QString::fromLatin1(named[c])
                                      : "\\x" + QStringLiteral("%1").arg(int(c), 2, 16, QChar(u'0')).toUpper())});
    for (const Case& c : cases) {
        EXPECT_EQ(escapeText(c.value), c.escaped) << c.escaped.toStdString();
        EXPECT_EQ(unescapeText(c.escaped), c.value) << c.escaped.toStdString();
    }
}

// Each UTF-16 unit of the Basic Multilingual Plane but the surrogates, alone and between
// others: the escaped text holds no control character, no line or paragraph separator and no
// quote at its start, and reads back as the value.
TEST(TextHelpersTest, EveryCharacterReadsBackAndNoneEndsACellOrALine)
{
    for (char32_t u = 0; u <= 0xFFFF; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        const QChar c {char16_t(u)};
        for (const QString& value : {QString(c), QStringLiteral("x") + c + QStringLiteral("\\y")}) {
            const QString escaped = escapeText(value);
            ASSERT_EQ(unescapeText(escaped), value) << "U+" << std::hex << int(u);
            ASSERT_FALSE(escaped.startsWith(u'"')) << "U+" << std::hex << int(u);
            for (const QChar e : escaped)
                ASSERT_TRUE(e.unicode() >= 0x20 && e.unicode() != 0x7F && !(e.unicode() >= 0x80 && e.unicode() <= 0x9F)
                            && e.unicode() != 0x2028 && e.unicode() != 0x2029)
                    << "U+" << std::hex << int(u);
        }
    }
}

TEST(TextHelpersTest, UnescapeTextRefusesABackslashThatBeginsNoEscape)
{
    struct Case
    {
        QString text;
        qsizetype at; // the backslash's position, or -1 where the text reads
        QString value;
    };
    const Case cases[] = {
        {"plain", -1, "plain"}, {"\\x4a\\u00e9", -1, QString::fromUtf8("Jé")}, // either case of the hexadecimal digits
        {"a\\\"b", -1, "a\"b"}, // a quote escaped where escapeText leaves it
        {"C:\\Data", 2, {}},    {"end\\", 3, {}},
        {"\\0", 0, {}},         {"ok\\\\\\q", 4, {}},
        {"\\x4", 0, {}},        {"\\xZZ", 0, {}},
        {"\\u12", 0, {}},       {"\\u12G4", 0, {}},
    };
    for (const Case& c : cases) {
        qsizetype at = -1;
        const std::optional<QString> value = unescapeText(c.text, &at);
        EXPECT_EQ(at, c.at) << c.text.toStdString();
        EXPECT_EQ(value.has_value(), c.at < 0) << c.text.toStdString();
        EXPECT_EQ(value.value_or(QString()), c.value) << c.text.toStdString();
    }
}

} // namespace
