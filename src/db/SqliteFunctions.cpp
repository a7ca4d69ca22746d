#include "SqliteFunctions.h"

#include <sqlite3.h>

namespace kolvix {

namespace {

// The SOUNDEX code of A to Z; 0 for the letters that carry none.
constexpr char kSoundexCodes[] = "01230120022455012623010202";

char soundexCode(QChar upper)
{
    const char16_t c = upper.unicode();
    return c >= u'A' && c <= u'Z' ? kSoundexCodes[c - u'A'] : '0';
}

QString argumentText(sqlite3_value* value)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(value)), sqlite3_value_bytes(value));
}

void resultText(sqlite3_context* context, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void soundexFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        sqlite3_result_null(context);
    else
        resultText(context, sqlServerSoundex(argumentText(argv[0])));
}

void onlyNumericCharsFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    QString digits;
    for (const QChar c : argumentText(argv[0]))
        if (c >= u'0' && c <= u'9')
            digits += c;
    resultText(context, digits);
}

} // namespace

QString sqlServerSoundex(const QString& text)
{
    if (text.isEmpty())
        return QString();
    const QChar first = text.front().toUpper();
    if (!first.isLetter())
        return QStringLiteral("0000");
    QString code(first);
    char previous = soundexCode(first);
    for (qsizetype i = 1; i < text.size() && code.size() < 4; ++i) {
        const QChar c = text[i].toUpper();
        if (!c.isLetter())
            break;
        if (c == u'H' || c == u'W')
            continue;
        const char digit = soundexCode(c);
        if (digit != '0' && digit != previous)
            code += QLatin1Char(digit);
        previous = digit;
    }
    return code.leftJustified(4, QLatin1Char('0'));
}

bool registerSqliteFunctions(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_function_v2(db, "SOUNDEX", 1, flags, nullptr, soundexFunction, nullptr, nullptr, nullptr)
        == SQLITE_OK
        && sqlite3_create_function_v2(db, "onlyNumericChars", 1, flags, nullptr, onlyNumericCharsFunction, nullptr,
                                      nullptr, nullptr)
        == SQLITE_OK;
}

} // namespace kolvix
