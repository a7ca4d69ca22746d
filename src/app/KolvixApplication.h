#pragma once

#include "app/GuiUserInterface.h"

#include <QApplication>
#include <exception>
#include <utility>

namespace kolvix {

// The application object of the desktop program. It owns the program's user interface (the
// message boxes), which the main window hands on to every window and to the merge's session.
// A failure that no handler catches and that reaches the event loop is shown in an error box,
// and the program carries on.
class KolvixApplication : public QApplication
{
public:
    KolvixApplication(int& argc, char** argv);

    UserInterface& userInterface() { return m_userInterface; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    GuiUserInterface m_userInterface;
};

// The event loop's default handling of a failure: its message in an error box of ui.
void showUnhandledException(UserInterface& ui, const std::exception& e);
void showUnhandledException(UserInterface& ui);

// Runs an event handler and gives any failure the event loop's default handling, so that
// the failure never has to unwind through the toolkit's own frames.
template <typename Handler> void runHandler(UserInterface& ui, Handler&& handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& e) {
        showUnhandledException(ui, e);
    } catch (...) {
        showUnhandledException(ui);
    }
}

} // namespace kolvix
