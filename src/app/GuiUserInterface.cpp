#include "app/GuiUserInterface.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>

namespace kolvix {

namespace {

int showBox(QMessageBox::Icon icon, const QString& caption, const QString& text, QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    // The boxes are modal; the arrow shows while one is up, even during a wait cursor.
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = box.exec();
    if (waiting)
        QApplication::restoreOverrideCursor();
    return result;
}

} // namespace

void GuiUserInterface::showInfo(const QString& text)
{
    showBox(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok, QMessageBox::Ok);
}

void GuiUserInterface::showWarning(const QString& text)
{
    showBox(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Ok, QMessageBox::Ok);
}

void GuiUserInterface::showError(const QString& text)
{
    showBox(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, QMessageBox::Ok);
}

void GuiUserInterface::showPlain(const QString& text)
{
    showBox(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok, QMessageBox::Ok);
}

bool GuiUserInterface::confirm(const QString& text)
{
    return showBox(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No,
                   QMessageBox::Yes)
        == QMessageBox::Yes;
}

void GuiUserInterface::setWaitCursor(bool wait)
{
    if (wait)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

} // namespace kolvix
