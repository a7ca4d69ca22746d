#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kolvix {

// Letters A to Z compared regardless of case; every other character exactly.
bool sameText(const QString& a, const QString& b);
// Removes leading and trailing characters whose code is 32 or less.
QString trimControl(const QString& s);
// True when s is not empty after trimControl.
bool hasText(const QString& s);
// The items for which hasText holds, trimmed, joined by the separator.
QString joinNonBlank(const QString& separator, const QStringList& items);
// joinNonBlank with CR LF: how every multi-line statement is built from its lines.
QString joinLines(const QStringList& items);
// Items first to last (-1: the last) joined by the separator; out-of-range bounds are clamped.
QString joinList(const QStringList& list, const QString& separator, int first, int last);
// "Surname, Name", or whichever part is not blank; both parts trimmed.
QString displayName(const QString& surname, const QString& name);
// A value as every tab-separated listing and report writes it, so that it stays within its cell
// and its line and reads back unchanged: a backslash as \\, a tab as \t, a carriage return as
// \r, a line feed as \n, every other control character (0 to 31, DEL, 128 to 159) as \xHH, the
// Unicode line and paragraph separators as \u2028 and \u2029, and a double quote that begins
// the value as \" (a spreadsheet would take a value in double quotes for a quoted one).
// Everything else is written as it is.
QString escapeText(const QString& value);
// The value that escapeText wrote. Nothing when the text holds a backslash that begins no escape
// (\\, \", \t, \r, \n, \xHH, \uHHHH); badEscapeAt then receives the backslash's position.
std::optional<QString> unescapeText(const QString& text, qsizetype* badEscapeAt = nullptr);
// An active client by its Active column: the text begins with T, t, Y or y.
bool isActiveFlag(const QString& active);

} // namespace kolvix
