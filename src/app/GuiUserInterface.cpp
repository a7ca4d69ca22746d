#include "app/GuiUserInterface.h"

#include <QApplication>
#include <QCursor>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <algorithm>

namespace kolvix {

namespace {

// The box wraps its text as the platform's message box does: a line of the text is broken only
// where it is wider than three quarters of the screen (Qt's box would break every line wider
// than half the screen or 500 pixels, leaving a last word alone on a line of its own).
void wrapAsThePlatformDoes(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const QScreen* screen = box.screen();
    if (!grid || !label || !screen)
        return;
    int widest = 0;
    for (const QString& line : box.text().split(QLatin1Char('\n')))
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
    const int width = std::min(widest + 2 * label->margin() + 2, screen->availableGeometry().width() * 3 / 4);
    int row = 0;
    int column = 0;
    int rowSpan = 0;
    int columnSpan = 0;
    grid->getItemPosition(grid->indexOf(label), &row, &column, &rowSpan, &columnSpan);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), column);
}

int showBox(QMessageBox::Icon icon, const QString& caption, const QString& text, QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    wrapAsThePlatformDoes(box);
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

bool GuiUserInterface::removeDistinctMark(const QString& refusal, qint32, qint32)
{
    return showBox(QMessageBox::Question, QStringLiteral("Confirm"),
                   refusal + QStringLiteral("\n\nRemove the mark and go on with the merge?"),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
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
