#include "ConnectionString.h"

#include <QRegularExpression>
#include <QStringList>

namespace kolvix {

namespace {

bool isBlank(QChar c)
{
    return c.unicode() <= 32 || c.isSpace();
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

// A password key followed by "=", anywhere in a text: not preceded by a letter, digit or "_".
const QRegularExpression& passwordAssignment()
{
    static const QRegularExpression pattern(QStringLiteral("(?<![A-Za-z0-9_])(password|pwd)[\\s\\x{00}-\\x{20}]*="),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// The text with whatever non-blank follows the first password assignment replaced by ***.
QString maskAfterAssignment(const QString& text)
{
    const QRegularExpressionMatch match = passwordAssignment().match(text);
    if (!match.hasMatch())
        return text;
    qsizetype from = match.capturedEnd();
    while (from < text.size() && isBlank(text[from]))
        ++from;
    if (from == text.size())
        return text;
    return text.left(from) + QLatin1String(kMaskedPassword);
}

// Where one value lies in a connection string, from the character after its "=".
struct ValueSpan
{
    qsizetype contentBegin = 0; // after the blanks and the opening quote or brace
    qsizetype contentEnd = 0; // at the closing quote or brace, or where an unquoted value ends
    qsizetype end = 0; // at the ";" that ends the pair, or the end of the string
    QChar close; // the closing quote or brace; null for an unquoted value
};

// How the end of a value is found. Reading a value, only spaces may come before its opening
// quote and a brace is a character like any other. Masking also takes the braced values of
// ODBC and any blank before the quote, so that no password is left in view.
enum class Grammar { Value, Masking };

ValueSpan valueSpan(const QString& s, qsizetype from, Grammar grammar)
{
    ValueSpan span;
    const qsizetype n = s.size();
    qsizetype i = from;
    if (grammar == Grammar::Value) {
        while (i < n && s[i] == u' ')
            ++i;
    } else {
        while (i < n && isBlank(s[i]) && s[i] != u';')
            ++i;
    }
    if (i < n && (isQuote(s[i]) || (grammar == Grammar::Masking && s[i] == u'{'))) {
        // Quoted (the quote doubled inside) or, as ODBC writes it, braced ("}" doubled inside).
        const QChar close = s[i] == u'{' ? QChar(u'}') : s[i];
        span.close = close;
        span.contentBegin = ++i;
        while (i < n) {
            if (s[i] == close) {
                if (i + 1 < n && s[i + 1] == close) {
                    i += 2;
                    continue;
                }
                break;
            }
            ++i;
        }
        span.contentEnd = i;
        const qsizetype semicolon = i < n ? s.indexOf(u';', i + 1) : -1;
        span.end = semicolon < 0 ? n : semicolon;
        return span;
    }
    const qsizetype semicolon = s.indexOf(u';', i);
    span.contentBegin = i;
    span.end = span.contentEnd = semicolon < 0 ? n : semicolon;
    return span;
}

// The text of a quoted value, each doubled quote read as one.
QString unquoted(const QString& s, const ValueSpan& span)
{
    QString value;
    for (qsizetype i = span.contentBegin; i < span.contentEnd; ++i) {
        value += s[i];
        if (s[i] == span.close) // the first of a doubled quote
            ++i;
    }
    return value;
}

} // namespace

QString connectionStringValue(const QString& s, const QString& key)
{
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype equals = s.indexOf(u'=', i);
        if (equals < 0)
            break;
        const qsizetype semicolon = s.indexOf(u';', i);
        if (semicolon >= 0 && semicolon < equals) { // a part without a value
            i = semicolon + 1;
            continue;
        }
        const ValueSpan span = valueSpan(s, equals + 1, Grammar::Value);
        if (s.mid(i, equals - i).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return span.close.isNull() ? s.mid(span.contentBegin, span.contentEnd - span.contentBegin).trimmed()
                                       : unquoted(s, span);
        if (span.end >= n)
            break;
        i = span.end + 1;
    }
    return QString();
}

QString quoteConnectionValue(const QString& value)
{
    if (value.isEmpty())
        return value;
    const bool hasDouble = value.contains(u'"');
    const bool hasSingle = value.contains(u'\'');
    // A leading brace is quoted too, so that no reader takes the value for the braced form of
    // ODBC.
    if (!value.contains(u';') && !hasDouble && !hasSingle && value.front() != u'{' && !isBlank(value.front())
        && !isBlank(value.back()))
        return value;
    const QChar quote = hasDouble && !hasSingle ? QChar(u'\'') : QChar(u'"');
    QString quoted = value;
    quoted.replace(quote, QString(2, quote));
    return quote + quoted + quote;
}

bool isPasswordKey(const QString& key)
{
    static const QRegularExpression pattern(QStringLiteral("(?<![A-Za-z0-9_])(password|pwd)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    QString trimmed = key;
    while (!trimmed.isEmpty() && isBlank(trimmed.back()))
        trimmed.chop(1);
    return pattern.match(trimmed).hasMatch();
}

QString maskPasswordsInConnectionString(const QString& s)
{
    QString out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype equals = s.indexOf(u'=', i);
        const qsizetype semicolon = s.indexOf(u';', i);
        if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
            // A part without a value (and the rest of a string that holds none).
            const qsizetype end = semicolon < 0 ? n : semicolon + 1;
            out += maskPasswordsInText(s.mid(i, end - i));
            i = end;
            continue;
        }
        out += s.mid(i, equals + 1 - i);
        const ValueSpan span = valueSpan(s, equals + 1, Grammar::Masking);
        if (isPasswordKey(s.mid(i, equals - i))) {
            // The whole value, with the parts without "=" that follow it: a password that held a
            // ";" unquoted continues there.
            qsizetype end = span.end;
            while (end < n) {
                const qsizetype next = s.indexOf(u';', end + 1);
                const qsizetype nextEnd = next < 0 ? n : next;
                const QString part = s.mid(end + 1, nextEnd - end - 1);
                if (part.contains(u'=') || (part.isEmpty() && nextEnd == n)) // a pair, or the final ";"
                    break;
                end = nextEnd;
            }
            const QString value = s.mid(equals + 1, end - equals - 1);
            out += value.trimmed().isEmpty() ? value : QString::fromLatin1(kMaskedPassword);
            i = end;
        } else {
            // A password key inside another key's value hides the rest of that value.
            out += s.mid(equals + 1, span.contentBegin - equals - 1)
                + maskAfterAssignment(s.mid(span.contentBegin, span.contentEnd - span.contentBegin))
                + maskAfterAssignment(s.mid(span.contentEnd, span.end - span.contentEnd));
            i = span.end;
        }
        if (i < n) { // the ";" that ends the pair
            out += u';';
            ++i;
        }
    }
    return out;
}

QString maskPasswordsInValue(const QString& value)
{
    return maskAfterAssignment(value);
}

QString maskPasswordsInText(const QString& text)
{
    if (!passwordAssignment().match(text).hasMatch())
        return text;
    QStringList lines = text.split(u'\n');
    for (QString& line : lines)
        line = maskAfterAssignment(line);
    return lines.join(u'\n');
}

} // namespace kolvix
