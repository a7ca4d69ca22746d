#pragma once

#include <QString>
#include <QStringList>

namespace kolvix {

// The program's command-line arguments (without the program name). main() sets them once;
// tests set their own.
void setCommandLineArguments(const QStringList& arguments);
const QStringList& commandLineArguments();

// The value of the first argument "key=value" whose key (the text before the first "=",
// not trimmed) equals key ignoring case; the value trimmed of blanks. Empty when none.
QString paramValue(const QString& key);

} // namespace kolvix
