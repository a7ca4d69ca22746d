#include "core/TextHelpers.h"

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

bool isActiveFlag(const QString& active)
{
    if (active.isEmpty())
        return false;
    const QChar first = active.front();
    return first == u'T' || first == u't' || first == u'Y' || first == u'y';
}

} // namespace kolvix
