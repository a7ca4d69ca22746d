#include "core/Format.h"

namespace kolvix {

namespace {

const FormatArg& argumentAt(const FormatArgs& args, qsizetype index, const QString& templ)
{
    if (index < 0 || index >= qsizetype(args.size()))
        throw FormatError("Format '" + templ.toStdString() + "': missing argument " + std::to_string(index));
    return args[size_t(index)];
}

QString textArgument(const FormatArgs& args, qsizetype index, const QString& templ)
{
    const FormatArg& arg = argumentAt(args, index, templ);
    if (auto* text = std::get_if<QString>(&arg))
        return *text;
    throw FormatError("Format '" + templ.toStdString() + "': argument " + std::to_string(index) + " is not a text");
}

qint64 integerArgument(const FormatArgs& args, qsizetype index, const QString& templ)
{
    const FormatArg& arg = argumentAt(args, index, templ);
    if (auto* number = std::get_if<qint64>(&arg))
        return *number;
    throw FormatError("Format '" + templ.toStdString() + "': argument " + std::to_string(index) + " is not an integer");
}

} // namespace

QString Format(const QString& templ, const FormatArgs& args)
{
    QString out;
    out.reserve(templ.size() + 32);
    qsizetype next = 0; // the argument a plain placeholder takes
    const qsizetype n = templ.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = templ[i];
        if (c != QLatin1Char('%')) {
            out += c;
            continue;
        }
        if (i + 1 >= n)
            throw FormatError("Format '" + templ.toStdString() + "': lone %");
        qsizetype j = i + 1;
        if (templ[j] == QLatin1Char('%')) {
            out += QLatin1Char('%');
            i = j;
            continue;
        }
        // %N: selects the argument by position
        qsizetype k = j;
        while (k < n && templ[k].isDigit())
            ++k;
        if (k > j && k < n && templ[k] == QLatin1Char(':')) {
            next = templ.mid(j, k - j).toLongLong();
            j = k + 1;
        }
        bool star = false;
        int precision = -1;
        if (j < n && templ[j] == QLatin1Char('*')) {
            star = true;
            ++j;
        } else if (j < n && templ[j] == QLatin1Char('.')) {
            qsizetype p = j + 1;
            while (p < n && templ[p].isDigit())
                ++p;
            precision = templ.mid(j + 1, p - j - 1).toInt();
            j = p;
        }
        if (j >= n)
            throw FormatError("Format '" + templ.toStdString() + "': incomplete placeholder");
        const QChar kind = templ[j].toLower();
        int width = 0;
        if (star)
            width = int(integerArgument(args, next++, templ));
        if (kind == QLatin1Char('s')) {
            const QString text = textArgument(args, next++, templ);
            out += star ? text.rightJustified(width, QLatin1Char(' ')) : text;
        } else if (kind == QLatin1Char('d')) {
            const qint64 value = integerArgument(args, next++, templ);
            QString digits = QString::number(value < 0 ? -value : value);
            if (precision > 0)
                digits = digits.rightJustified(precision, QLatin1Char('0'));
            if (value < 0)
                digits.prepend(QLatin1Char('-'));
            out += star ? digits.rightJustified(width, QLatin1Char(' ')) : digits;
        } else {
            throw FormatError("Format '" + templ.toStdString() + "': unknown placeholder");
        }
        i = j;
    }
    return out;
}

} // namespace kolvix
