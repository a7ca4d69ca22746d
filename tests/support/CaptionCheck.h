#pragma once

#include <QStringList>

class QWidget;

namespace kolvix::test {

// Walks a window and its children at any depth and lists every caption that the user cannot
// read in full, measured in the font each control uses: the text of a label, push button,
// check box or radio button that is wider than the room its style gives it, a drop-down item
// wider than the closed box, a group box title wider than the box, and two visible captioned
// controls of the same parent that touch or overlap. Hidden controls are left out. Empty when
// everything fits; each entry names the control.
//
// Usable by every window: EXPECT_EQ(captionProblems(&window), QStringList {});
QStringList captionProblems(const QWidget* window);

} // namespace kolvix::test
