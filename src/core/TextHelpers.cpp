#include "core/TextHelpers.h"

#include <algorithm>

namespace kolvix {

namespace {

QChar upperAscii(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? QChar(c.unicode() - 32) : c;
}

} // namespace

bool sameText(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    }
    return true;
}

QString trimControl(const QString& s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin].unicode() <= 32)
        ++begin;
    while (end > begin && s[end - 1].unicode() <= 32)
        --end;
    return s.mid(begin, end - begin);
}

bool hasText(const QString& s)
{
    return !trimControl(s).isEmpty();
}

QString joinNonBlank(const QString& separator, const QStringList& items)
{
    QString result;
    bool first = true;
    for (const QString& item : items) {
        if (!hasText(item))
            continue;
        if (!first)
            result += separator;
        result += trimControl(item);
        first = false;
    }
    return result;
}

QString joinLines(const QStringList& items)
{
    return joinNonBlank(QStringLiteral("\r\n"), items);
}

QString joinList(const QStringList& list, const QString& separator, int first, int last)
{
    if (list.isEmpty())
        return {};
    if (list.size() == 1)
        return list.first();
    const int lastIndex = int(list.size()) - 1;
    if (last == -1 || last > lastIndex)
        last = lastIndex;
    if (first < 0)
        first = 0;
    if (first > lastIndex)
        first = lastIndex;
    QString result;
    for (int i = first; i <= last; ++i) {
        if (i > first)
            result += separator;
        result += list[i];
    }
    return result;
}

QString displayName(const QString& surname, const QString& name)
{
    const QString s = trimControl(surname);
    const QString n = trimControl(name);
    if (!s.isEmpty() && !n.isEmpty())
        return s + QStringLiteral(", ") + n;
    return s.isEmpty() ? n : s;
}

namespace {

// The characters escapeText writes as an escape wherever they stand.
bool escapedAnywhere(char16_t c)
{
    return c < 0x20 || c == u'\\' || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

} // namespace

QString escapeText(const QString& value)
{
    const bool leadingQuote = value.startsWith(u'"');
    if (!leadingQuote && std::none_of(value.begin(), value.end(), [](QChar c) { return escapedAnywhere(c.unicode()); }))
        return value;
    QString text;
    text.reserve(value.size() + 8);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t u = value[i].unicode();
        if (i == 0 && leadingQuote)
            text += QStringLiteral("\\\"");
        else if (!escapedAnywhere(u))
            text += QChar(u);
        else if (u == u'\\')
            text += QStringLiteral("\\\\");
        else if (u == u'\t')
            text += QStringLiteral("\\t");
        else if (u == u'\r')
            text += QStringLiteral("\\r");
        else if (u == u'\n')
            text += QStringLiteral("\\n");
        else
            text += (u <= 0xFF ? QStringLiteral("\\x") : QStringLiteral("\\u"))
                + QStringLiteral("%1").arg(int(u), u <= 0xFF ? 2 : 4, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

std::optional<QString> unescapeText(const QString& text, qsizetype* badEscapeAt)
{
    if (!text.contains(u'\\'))
        return text;
    QString value;
    value.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            value += text[i];
            continue;
        }
        // The escape's letter, then as many hexadecimal digits as it takes.
        const char16_t kind = i + 1 < text.size() ? text[i + 1].unicode() : 0;
        const qsizetype digits = kind == u'x' ? 2 : kind == u'u' ? 4 : 0;
        int code = -1;
        if (kind == u'\\' || kind == u'"')
            code = kind;
        else if (kind == u't')
            code = u'\t';
        else if (kind == u'r')
            code = u'\r';
        else if (kind == u'n')
            code = u'\n';
        else if (digits > 0 && i + 1 + digits < text.size()) {
            code = 0;
            for (qsizetype d = i + 2; d < i + 2 + digits && code >= 0; ++d)
                code = hexDigit(text[d]) < 0 ? -1 : code * 16 + hexDigit(text[d]);
        }
        if (code < 0) {
            if (badEscapeAt)
                *badEscapeAt = i;
            return std::nullopt;
        }
        value += QChar(char16_t(code));
        i += 1 + digits;
    }
    return value;
}

bool isActiveFlag(const QString& active)
{
    if (active.isEmpty())
        return false;
    const QChar first = active.front();
    return first == u'T' || first == u't' || first == u'Y' || first == u'y';
}

} // namespace kolvix
