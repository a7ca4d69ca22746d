#include "SqliteFunctions.h"

#include <sqlite3.h>

#include <cstring>
#include <string>

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

char upperAscii(unsigned char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : char(c);
}

bool isAsciiLetter(char c)
{
    return c >= 'A' && c <= 'Z';
}

// sqlServerSoundex on UTF-8 text that is ASCII up to where the code ends: a search compares the
// code of every client, so this runs once per row. False when a character beyond ASCII comes
// first (the caller then takes the general way).
bool asciiSoundex(const unsigned char* text, int size, char (&code)[5])
{
    if (text[0] >= 0x80)
        return false;
    const char first = upperAscii(text[0]);
    if (!isAsciiLetter(first)) {
        std::memcpy(code, "0000", 5);
        return true;
    }
    int length = 0;
    code[length++] = first;
    char previous = soundexCode(QChar(first));
    for (int i = 1; i < size && length < 4; ++i) {
        if (text[i] >= 0x80)
            return false;
        const char c = upperAscii(text[i]);
        if (!isAsciiLetter(c))
            break;
        if (c == 'H' || c == 'W')
            continue;
        const char digit = soundexCode(QChar(c));
        if (digit != '0' && digit != previous)
            code[length++] = digit;
        previous = digit;
    }
    while (length < 4)
        code[length++] = '0';
    code[4] = 0;
    return true;
}

void soundexFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = sqlite3_value_text(argv[0]);
    const int size = sqlite3_value_bytes(argv[0]);
    char code[5];
    if (size == 0)
        sqlite3_result_text(context, "", 0, SQLITE_STATIC);
    else if (asciiSoundex(text, size, code))
        sqlite3_result_text(context, code, -1, SQLITE_TRANSIENT);
    else
        resultText(context, sqlServerSoundex(argumentText(argv[0])));
}

// The digits of the text. Digits are single bytes in UTF-8 and no byte of another character
// looks like one, so the bytes are read as they are.
void onlyNumericCharsFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = sqlite3_value_text(argv[0]);
    const int size = sqlite3_value_bytes(argv[0]);
    char small[64];
    std::string large;
    char* digits = small;
    if (size > int(sizeof small)) {
        large.resize(size_t(size));
        digits = large.data();
    }
    int length = 0;
    for (int i = 0; i < size; ++i)
        if (text[i] >= '0' && text[i] <= '9')
            digits[length++] = char(text[i]);
    sqlite3_result_text(context, digits, length, SQLITE_TRANSIENT);
}

// BINARY_CHECKSUM(a, b, ...): a 32-bit check sum of the values, their types and their order, as
// SQL Server's function serves: two rows whose values differ almost always differ in it. Text is
// compared by its bytes, so a change of case counts. Eight bytes at a time: it runs once for
// every row a merge moves.
class CheckSum
{
public:
    void add(quint64 word)
    {
        m_hash ^= word;
        m_hash *= 0xff51afd7ed558ccdull;
        m_hash ^= m_hash >> 32;
    }
    void add(const unsigned char* bytes, size_t size)
    {
        add(quint64(size));
        for (; size >= 8; bytes += 8, size -= 8) {
            quint64 word;
            std::memcpy(&word, bytes, 8);
            add(word);
        }
        quint64 tail = 0;
        std::memcpy(&tail, bytes, size);
        add(tail);
    }
    int value() const { return static_cast<int>(static_cast<quint32>(m_hash ^ (m_hash >> 32))); }

private:
    quint64 m_hash = 0x9e3779b97f4a7c15ull;
};

void binaryChecksumFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    CheckSum sum;
    for (int i = 0; i < argc; ++i) {
        const int type = sqlite3_value_type(argv[i]);
        sum.add(quint64(type));
        switch (type) {
        case SQLITE_INTEGER:
            sum.add(quint64(sqlite3_value_int64(argv[i])));
            break;
        case SQLITE_FLOAT: {
            const double value = sqlite3_value_double(argv[i]);
            quint64 bits;
            std::memcpy(&bits, &value, sizeof bits);
            sum.add(bits);
            break;
        }
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            const auto* bytes = static_cast<const unsigned char*>(
                type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(argv[i]))
                                    : sqlite3_value_blob(argv[i]));
            sum.add(bytes, bytes ? size_t(sqlite3_value_bytes(argv[i])) : 0);
            break;
        }
        default:
            break;
        }
    }
    sqlite3_result_int(context, sum.value());
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
        == SQLITE_OK
        && sqlite3_create_function_v2(db, "BINARY_CHECKSUM", -1, flags, nullptr, binaryChecksumFunction, nullptr,
                                      nullptr, nullptr)
        == SQLITE_OK;
}

} // namespace kolvix
