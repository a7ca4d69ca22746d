#pragma once

#include <QString>

namespace kolvix {

// Removes leading and trailing blanks: every character whose code is 32 or less.
inline QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= 32)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 32)
        --last;
    return text.mid(first, last - first);
}

} // namespace kolvix
