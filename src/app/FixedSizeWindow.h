#pragma once

#include <array>
#include <cstdint>

class QWidget;

namespace kolvix {

// A window of fixed size (equal minimum and maximum size) offers no resizing: on X11 its
// window-manager hints announce neither a resize function nor resize handles (nor maximising).
// Called when the window is shown; elsewhere the toolkit's fixed size is enough.
void announceFixedSize(QWidget* window);

// The window-manager hints (flags, functions, decorations, input mode, status) of a window,
// changed so that they offer neither resizing nor maximising.
using MotifWmHints = std::array<std::uint32_t, 5>;
MotifWmHints withoutResizing(MotifWmHints hints);

} // namespace kolvix
