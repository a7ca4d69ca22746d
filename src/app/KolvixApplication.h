#pragma once

#include <QApplication>
#include <exception>
#include <utility>

namespace kolvix {

// The application object of the desktop program. A failure that no handler catches and
// that reaches the event loop is shown in an error box, and the program carries on.
class KolvixApplication : public QApplication
{
public:
    KolvixApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// The event loop's default handling of a failure: its message in an error box.
void showUnhandledException(const std::exception& e);
void showUnhandledException();

// Runs an event handler and gives any failure the event loop's default handling, so that
// the failure never has to unwind through the toolkit's own frames.
template <typename Handler> void runHandler(Handler&& handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& e) {
        showUnhandledException(e);
    } catch (...) {
        showUnhandledException();
    }
}

} // namespace kolvix
