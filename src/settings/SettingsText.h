#pragma once

#include "core/TextHelpers.h"

#include <QString>

namespace kolvix {

// Removes leading and trailing blanks: every character whose code is 32 or less. The settings'
// name for core's trimControl, the program's one trim.
inline QString trimBlanks(const QString& text)
{
    return trimControl(text);
}

} // namespace kolvix
