#include "app/CaptionFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <algorithm>
#include <initializer_list>

namespace kolvix {

namespace {

// The margin that QLineEdit keeps on either side of its text, inside its contents rectangle.
constexpr int kLineEditTextMargin = 2;

// The caption as drawn: "&&" shows one ampersand, a single "&" marks the access key.
QString withoutMnemonic(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

int lineEditTextWidth(const QLineEdit* edit)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    if (edit->isReadOnly())
        option.state |= QStyle::State_ReadOnly;
    const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    const QMargins margins = edit->textMargins();
    // One pixel more for the cursor that follows the text.
    return contents.width() - margins.left() - margins.right() - 2 * kLineEditTextMargin - 1;
}

int buttonShortfall(const QAbstractButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox*>(button))
        element = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<const QRadioButton*>(button))
        element = QStyle::SE_RadioButtonContents;
    else if (const auto* push = qobject_cast<const QPushButton*>(button); push && push->isFlat())
        option.features |= QStyleOptionButton::Flat;
    if (option.text.isEmpty())
        return 0;
    const QRect contents = button->style()->subElementRect(element, &option, button);
    int needed = button->fontMetrics().horizontalAdvance(withoutMnemonic(option.text));
    if (!option.icon.isNull())
        needed += option.iconSize.width() + 4;
    return std::max(0, needed - contents.width());
}

// The width that the closed box has for the text of an item.
int comboTextWidth(const QComboBox* combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    option.subControls = QStyle::SC_All;
    const QRect field
        = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    // The closed box draws its text one pixel inside the edit field on either side.
    return field.width() - 2;
}

int comboShortfall(const QComboBox* combo)
{
    int needed = 0;
    for (int i = 0; i < combo->count(); ++i)
        needed = std::max(needed, combo->fontMetrics().horizontalAdvance(combo->itemText(i)));
    return std::max(0, needed - comboTextWidth(combo));
}

int labelShortfall(const QLabel* label)
{
    if (label->wordWrap() || label->textFormat() == Qt::RichText)
        return 0;
    const int available = label->contentsRect().width() - 2 * label->margin() - std::max(0, label->indent());
    return std::max(0, label->fontMetrics().horizontalAdvance(label->text()) - available);
}

void growBy(QWidget* widget, int dx)
{
    const QSize size(widget->width() + dx, widget->height());
    if (widget->minimumSize() == widget->maximumSize())
        widget->setFixedSize(size);
    else
        widget->resize(size);
}

} // namespace

void updateOverflowToolTip(QLineEdit* edit)
{
    const QString text = edit->text();
    const bool fits = edit->fontMetrics().horizontalAdvance(text) <= lineEditTextWidth(edit);
    edit->setToolTip(fits ? QString() : text);
}

void showClientName(QLabel* label, const QString& name)
{
    const QFontMetrics metrics = label->fontMetrics();
    const int available = label->contentsRect().width() - 2 * label->margin() - std::max(0, label->indent());
    QString shown = name;
    if (metrics.horizontalAdvance(name) > available) {
        // "Surname, Name": the surname gives way first.
        const qsizetype comma = name.indexOf(QLatin1String(", "));
        const QString given = comma > 0 ? name.mid(comma) : QString();
        const int room = available - metrics.horizontalAdvance(given);
        const QString ellipsis(QChar(0x2026));
        if (!given.isEmpty() && room >= 2 * metrics.horizontalAdvance(ellipsis))
            shown = metrics.elidedText(name.left(comma), Qt::ElideRight, room) + given;
        else
            shown = metrics.elidedText(name, Qt::ElideMiddle, available);
    }
    label->setText(shown);
    label->setToolTip(shown == name ? QString() : name);
}

void updateOverflowToolTip(QComboBox* combo)
{
    const QString text = combo->currentText();
    combo->setToolTip(combo->fontMetrics().horizontalAdvance(text) <= comboTextWidth(combo) ? QString() : text);
}

void showFilledText(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
    edit->setCursorPosition(0);
    updateOverflowToolTip(edit);
}

int captionShortfall(const QWidget* control)
{
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return labelShortfall(label);
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return buttonShortfall(button);
    if (const auto* combo = qobject_cast<const QComboBox*>(control))
        return comboShortfall(combo);
    return 0;
}

void openColumn(QWidget* container, int x, int dx)
{
    for (QObject* object : container->children()) {
        if (!object->isWidgetType())
            continue;
        auto* child = static_cast<QWidget*>(object);
        if (child->isWindow())
            continue;
        const QRect geometry = child->geometry();
        if (geometry.left() >= x) {
            child->move(geometry.left() + dx, geometry.top());
        } else if (geometry.left() + geometry.width() > x) {
            openColumn(child, x - geometry.left(), dx);
        }
    }
    growBy(container, dx);
}

int widenToFitCaption(QWidget* control)
{
    return widenToFitCaptions({control});
}

int widenToFitCaptions(std::initializer_list<QWidget*> column)
{
    int dx = 0;
    for (const QWidget* control : column)
        dx = std::max(dx, captionShortfall(control));
    if (dx <= 0 || column.size() == 0)
        return 0;
    QWidget* widget = *column.begin();
    int rightEdge = widget->x() + widget->width();
    for (QWidget* control : column)
        growBy(control, dx);
    const auto inColumn
        = [&](const QObject* object) { return std::find(column.begin(), column.end(), object) != column.end(); };
    while (!widget->isWindow() && widget->parentWidget()) {
        QWidget* parent = widget->parentWidget();
        // Everything that begins right of the grown column moves; what reaches across grows.
        for (QObject* object : parent->children()) {
            if (object == widget || inColumn(object) || !object->isWidgetType())
                continue;
            auto* sibling = static_cast<QWidget*>(object);
            if (sibling->isWindow())
                continue;
            const QRect geometry = sibling->geometry();
            if (geometry.left() >= rightEdge)
                sibling->move(geometry.left() + dx, geometry.top());
            else if (geometry.left() + geometry.width() > rightEdge)
                openColumn(sibling, rightEdge - geometry.left(), dx);
        }
        rightEdge = parent->x() + parent->width();
        growBy(parent, dx);
        widget = parent;
    }
    return dx;
}

} // namespace kolvix
