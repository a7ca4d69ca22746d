#pragma once

#include <QString>
#include <QStringList>

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
// An active client by its Active column: the text begins with T, t, Y or y.
bool isActiveFlag(const QString& active);

} // namespace kolvix
