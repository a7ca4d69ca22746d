#pragma once

#include <QString>
#include <ostream>

// Qt texts in GoogleTest's failure messages, as UTF-8 in quotes. In the global namespace, QString's
// own, where GoogleTest looks for it.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
