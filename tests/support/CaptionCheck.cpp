#include "support/CaptionCheck.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QWidget>
#include <vector>

namespace kolvix::test {

namespace {

QString shownText(const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    shown.remove(QLatin1Char('&'));
    shown.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return shown;
}

QString nameOf(const QWidget* widget)
{
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// The room the style gives the caption, or -1 when the widget shows no caption of its own.
int room(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->contentsRect().width() - 2 * label->margin();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QStyle::SubElement element = QStyle::SE_PushButtonContents;
        if (qobject_cast<const QCheckBox*>(button))
            element = QStyle::SE_CheckBoxContents;
        else if (qobject_cast<const QRadioButton*>(button))
            element = QStyle::SE_RadioButtonContents;
        int width = button->style()->subElementRect(element, &option, button).width();
        if (!button->icon().isNull())
            width -= button->iconSize().width() + 4;
        return width;
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        option.subControls = QStyle::SC_All;
        return combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width()
            - 2;
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        // The title's rectangle, as wide as the style wants it, must stay inside the box.
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        option.textAlignment = box->alignment();
        const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        return box->width() - title.left() - (title.width() - box->fontMetrics().horizontalAdvance(option.text));
    }
    return -1;
}

QStringList captions(const QWidget* widget)
{
    // A label with a buddy shows its '&' as the underline of the access key.
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return {label->buddy() ? shownText(label->text()) : label->text()};
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return {shownText(button->text())};
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget))
        return {shownText(box->title())};
    return {};
}

// Controls whose rectangles must not meet: those with a caption and those the user types into.
bool isCaptionedControl(const QWidget* widget)
{
    return qobject_cast<const QLabel*>(widget) || qobject_cast<const QAbstractButton*>(widget)
        || qobject_cast<const QComboBox*>(widget) || qobject_cast<const QLineEdit*>(widget);
}

void check(const QWidget* widget, QStringList& problems)
{
    const auto* wrapping = qobject_cast<const QLabel*>(widget);
    if (wrapping && wrapping->wordWrap()) {
        // A label that wraps must have the height of all its lines.
        const int needed = wrapping->heightForWidth(wrapping->width());
        if (needed > wrapping->height())
            problems << QStringLiteral("%1: \"%2\" needs %3 pixels of height, has %4")
                            .arg(nameOf(widget), wrapping->text())
                            .arg(needed)
                            .arg(wrapping->height());
        return;
    }
    const int available = room(widget);
    if (available >= 0) {
        for (const QString& caption : captions(widget)) {
            const int needed = widget->fontMetrics().horizontalAdvance(caption);
            if (needed > available)
                problems << QStringLiteral("%1: \"%2\" needs %3 pixels, has %4")
                                .arg(nameOf(widget), caption)
                                .arg(needed)
                                .arg(available);
        }
    }
    std::vector<const QWidget*> controls;
    for (const QObject* object : widget->children()) {
        if (!object->isWidgetType())
            continue;
        const auto* child = static_cast<const QWidget*>(object);
        if (child->isWindow() || child->isHidden())
            continue;
        check(child, problems);
        if (isCaptionedControl(child))
            controls.push_back(child);
    }
    for (size_t i = 0; i < controls.size(); ++i) {
        for (size_t j = i + 1; j < controls.size(); ++j) {
            // Touching counts: a caption that runs into its neighbour reads as cut.
            if (controls[i]->geometry().adjusted(-1, 0, 1, 0).intersects(controls[j]->geometry()))
                problems << QStringLiteral("%1 and %2 touch").arg(nameOf(controls[i]), nameOf(controls[j]));
        }
    }
}

} // namespace

QStringList captionProblems(const QWidget* window)
{
    QStringList problems;
    if (window)
        check(window, problems);
    return problems;
}

} // namespace kolvix::test
