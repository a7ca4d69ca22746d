#include "settings/IniFile.h"

#include "core/TextHelpers.h"
#include "platform/Platform.h"
#include "settings/Settings.h"

#include <QStringDecoder>

namespace kolvix {

namespace {

// The profile reader hands back at most this many characters of a value.
constexpr qsizetype kMaxValueLength = 2047;

QString decodeFile(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        return utf16(bytes.mid(2));
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        return utf8(bytes.mid(3));
    }
    // Files written by the product's Windows tools are in the ANSI code page; files
    // written elsewhere are usually UTF-8. Take UTF-8 when the bytes are valid UTF-8.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

// One pair of enclosing quotes, single or double, comes off.
QString removeEnclosingQuotes(const QString& value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

// The value of a digit in the base, or -1.
int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (base == 16 && u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (base == 16 && u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// A 32-bit integer: decimal with an optional sign, or hexadecimal after "$", "0x" or "0X"
// (up to eight digits, as an unsigned pattern). Nothing for any other text.
std::optional<qint64> parseInteger(const QString& text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == QLatin1Char('0')
               && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return std::nullopt;
    const qint64 limit = base == 16 ? qint64(0xFFFFFFFF) : (negative ? qint64(2147483648) : qint64(2147483647));
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return negative ? -value : value;
}

} // namespace

IniFile::IniFile(const QString& fileName)
    : m_fileName(resolveSettingsFileName(fileName))
{
    // Only a regular file of a bounded size is read: a device, a pipe or a huge file counts as
    // a missing file (and a pipe never blocks).
    QByteArray bytes;
    if (platform().readBoundedFile(m_fileName, kMaxSettingsFileSize, bytes) != Platform::FileRead::Read)
        return;
    IniFile parsed = fromText(decodeFile(bytes));
    m_entries = std::move(parsed.m_entries);
}

IniFile IniFile::fromText(const QString& text)
{
    IniFile ini;
    QStringList seenSections;
    QString section;
    bool inSection = false; // keys before the first section header belong to none
    bool skipping = false; // a repeated section: the first one of the name wins
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = trimControl(rawLine);
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close < 0)
                close = line.size();
            section = trimControl(line.mid(1, close - 1));
            inSection = true;
            skipping = seenSections.contains(section, Qt::CaseInsensitive);
            if (!skipping)
                seenSections.append(section);
            continue;
        }
        if (!inSection || skipping)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = trimControl(line.left(equals));
        QString value = removeEnclosingQuotes(trimControl(line.mid(equals + 1)));
        if (value.size() > kMaxValueLength)
            value.truncate(kMaxValueLength);
        ini.m_entries.push_back({section, key, value});
    }
    return ini;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const
{
    // Entries keep the file's order, so the first key of a name is found first.
    for (const Entry& entry : m_entries) {
        if (entry.section.compare(section, Qt::CaseInsensitive) == 0
            && entry.key.compare(key, Qt::CaseInsensitive) == 0)
            return entry.value;
    }
    return std::nullopt;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    return value(section, key).value_or(defaultValue);
}

bool IniFile::readBool(const QString& section, const QString& key, bool defaultValue) const
{
    const std::optional<QString> text = value(section, key);
    if (!text || text->isEmpty())
        return defaultValue;
    const std::optional<qint64> number = parseInteger(*text);
    return number ? *number != 0 : defaultValue;
}

} // namespace kolvix
