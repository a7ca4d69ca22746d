#pragma once

#include <initializer_list>

class QComboBox;
class QLabel;
class QLineEdit;
class QString;
class QWidget;

namespace kolvix {

// Puts a text that the program fills into an edit: the edit shows the start of the text
// (cursor at position 0), and the whole text is its tool tip when it does not fit.
void showFilledText(QLineEdit* edit, const QString& text);
// The tool tip of a filled edit: the whole text when it does not fit, none when it does.
void updateOverflowToolTip(QLineEdit* edit);
// The tool tip of a drop-down: its current text when that does not fit the closed box.
void updateOverflowToolTip(QComboBox* combo);

// Shows a client's name ("Surname, Name") in a label of designed width. A name that does not
// fit is cut so that the given name still shows: the surname loses its end, marked by an
// ellipsis ("Montgomery-W..., Alexandra"), or, where even the given name is too long, the
// middle of the whole name goes. The whole name is then the label's tool tip.
void showClientName(QLabel* label, const QString& name);

// How many pixels a label, push button, check box, radio button or drop-down lacks to show
// its caption in full (for a drop-down, its longest item), measured in the font it uses and
// by its style; 0 when the caption fits, and for any other widget.
int captionShortfall(const QWidget* control);

// Makes room of dx pixels at x (in container's coordinates): children that begin at or right
// of x move right, children that reach across x grow (their own children likewise, at any
// depth), and the container grows by dx, keeping a fixed size fixed.
void openColumn(QWidget* container, int x, int dx);

// Widens a control that cannot hold its caption just enough, opening the room beside it in
// every container up to its window; a caption that fits leaves the designed layout alone.
// Returns how many pixels the control grew.
int widenToFitCaption(QWidget* control);
// The same for controls of one parent that share their right edge (a column of labels, a stack
// of buttons): all grow by what the neediest of them lacks, and the room is opened once.
int widenToFitCaptions(std::initializer_list<QWidget*> column);

} // namespace kolvix
