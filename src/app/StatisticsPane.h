#pragma once

class QPlainTextEdit;

namespace kolvix {

// Readies the statistics pane "Data to be moved" when its window is first shown (its font and
// margins are then those the style sheet of its box gives it): its scroll bars draw
// their thumb darker than the trough, as a thumb reads in any text pane (the application's style
// may draw it lighter, so that the trough left below a large thumb reads as a thumb running the
// wrong way), and its height shows whole lines only, none cut at the bottom edge.
void prepareStatisticsPane(QPlainTextEdit* pane);

} // namespace kolvix
