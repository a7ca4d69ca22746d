#pragma once

class QWidget;

namespace kolvix {

// A control whose tag holds this value keeps its designed font.
inline constexpr int kKeepDesignedFontTag = 527;

// Replaces the older designed fonts ("MS Sans Serif", "Courier New") with the newer system
// fonts on Windows Vista and later (major version 6 and above): the container itself first,
// then every child widget at any depth, in child order. Each window calls it once from its
// creation handler; widgets created afterwards are not adjusted.
//
// In Qt terms:
// - a widget "has a font of its own" when Qt::WA_SetFont is set on it (the forms set the font
//   explicitly on the window and on the statistics pane); a widget that only inherits its
//   parent's font is left alone and follows its parent;
// - the tag is the dynamic property "Tag" (an integer);
// - a multi-line text pane is a QPlainTextEdit or a QTextEdit;
// - the title font is the horizontal header font of a QTableView, or, for any other widget,
//   a dynamic property "TitleFont" holding a QFont.
// Property names are matched without regard to letter case.
void ApplyDisplayFonts(QWidget* container);

// The rule for one widget only.
void ApplyDisplayFont(QWidget* control);

// Where the Windows fonts named by the forms and the rule are not installed (Linux, for
// example), look-alikes of similar width stand in for them, so that the captions still fit
// the designed control sizes. Installed once by the application.
void installFontSubstitutes();

} // namespace kolvix
