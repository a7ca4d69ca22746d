#include "app/KolvixApplication.h"

#include "app/DisplayFonts.h"
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
        showUnhandledException(m_userInterface, e);
    } catch (...) {
        showUnhandledException(m_userInterface);
    }
    return false;
}

void showUnhandledException(UserInterface& ui, const std::exception& e)
{
    ui.showError(exceptionMessage(e));
}

void showUnhandledException(UserInterface& ui)
{
    ui.showError(QStringLiteral("Unknown exception."));
}

} // namespace kolvix
