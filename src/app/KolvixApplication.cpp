#include "app/KolvixApplication.h"

#include "app/DisplayFonts.h"
#include "core/UserInterface.h"
#include "db/DbError.h"

namespace kolvix {

KolvixApplication::KolvixApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    installFontSubstitutes();
}

bool KolvixApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showUnhandledException(e);
    } catch (...) {
        showUnhandledException();
    }
    return false;
}

void showUnhandledException(const std::exception& e)
{
    userInterface().showError(exceptionMessage(e));
}

void showUnhandledException()
{
    userInterface().showError(QStringLiteral("Unknown exception."));
}

} // namespace kolvix
