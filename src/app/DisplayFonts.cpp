#include "app/DisplayFonts.h"

#include "platform/Platform.h"

#include <QFont>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

namespace kolvix {

namespace {

// The dynamic property of that name, found without regard to letter case.
QVariant dynamicProperty(const QObject* object, const char* name)
{
    const QByteArray wanted = QByteArray(name).toLower();
    for (const QByteArray& candidate : object->dynamicPropertyNames()) {
        if (candidate.toLower() == wanted)
            return object->property(candidate.constData());
    }
    return {};
}

QByteArray dynamicPropertyName(const QObject* object, const char* name)
{
    const QByteArray wanted = QByteArray(name).toLower();
    for (const QByteArray& candidate : object->dynamicPropertyNames()) {
        if (candidate.toLower() == wanted)
            return candidate;
    }
    return {};
}

bool hasKeepTag(const QWidget* control)
{
    const QVariant tag = dynamicProperty(control, "Tag");
    bool ok = false;
    const int value = tag.toInt(&ok);
    return ok && value == kKeepDesignedFontTag;
}

bool isMultiLineTextPane(const QWidget* control)
{
    return qobject_cast<const QPlainTextEdit*>(control) != nullptr
        || qobject_cast<const QTextEdit*>(control) != nullptr;
}

QFont withFamily(QFont font, const QString& family, QFont::StyleHint hint)
{
    font.setFamily(family);
    // Where the family is not installed the style hint picks a look-alike.
    font.setStyleHint(hint);
    return font;
}

QFont titleFont(const QFont& base)
{
    QFont font = withFamily(base, QStringLiteral("Segoe UI"), QFont::SansSerif);
    font.setPointSize(9);
    return font;
}

void applyTitleFont(QWidget* control)
{
    if (auto* table = qobject_cast<QTableView*>(control)) {
        QHeaderView* header = table->horizontalHeader();
        header->setFont(titleFont(header->font()));
        return;
    }
    const QByteArray name = dynamicPropertyName(control, "TitleFont");
    if (name.isEmpty())
        return;
    const QVariant value = control->property(name.constData());
    if (value.canConvert<QFont>())
        control->setProperty(name.constData(), titleFont(value.value<QFont>()));
}

// The headers of a grid are its title font, not controls of their own: the rule for the
// grid decides about them.
bool isGridHeader(const QWidget* container, const QObject* child)
{
    const auto* table = qobject_cast<const QTableView*>(container);
    return table && (child == table->horizontalHeader() || child == table->verticalHeader());
}

void applyToTree(QWidget* container)
{
    ApplyDisplayFont(container);
    for (QObject* child : container->children()) {
        if (child->isWidgetType() && !isGridHeader(container, child))
            applyToTree(static_cast<QWidget*>(child));
    }
}

} // namespace

void ApplyDisplayFont(QWidget* control)
{
    if (!control || !control->testAttribute(Qt::WA_SetFont) || hasKeepTag(control))
        return;

    QFont font = control->font();
    const int size = font.pointSize();
    if (isMultiLineTextPane(control)) {
        if (font.family() == QLatin1String("Courier New")) {
            font = withFamily(font, QStringLiteral("Consolas"), QFont::TypeWriter);
        } else {
            font = withFamily(font, QStringLiteral("Calibri"), QFont::SansSerif);
            if (size > 0 && size < 12)
                font.setPointSize(9);
        }
    } else {
        font = withFamily(font, QStringLiteral("Segoe UI"), QFont::SansSerif);
        if (size > 7 && size < 12)
            font.setPointSize(9);
    }
    control->setFont(font);
    applyTitleFont(control);
}

void installFontSubstitutes()
{
    const QStringList proportional {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                    QStringLiteral("Nimbus Sans"), QStringLiteral("Arial"),
                                    QStringLiteral("Noto Sans")};
    const QStringList fixedPitch {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                                  QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Noto Sans Mono"),
                                  QStringLiteral("Nimbus Mono PS")};
    QFont::insertSubstitutions(QStringLiteral("Segoe UI"), proportional);
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), proportional);
    QFont::insertSubstitutions(QStringLiteral("Calibri"), QStringList {QStringLiteral("Carlito")} + proportional);
    QFont::insertSubstitutions(QStringLiteral("Consolas"), QStringList {QStringLiteral("Inconsolata")} + fixedPitch);
    QFont::insertSubstitutions(QStringLiteral("Courier New"), fixedPitch);
}

void ApplyDisplayFonts(QWidget* container)
{
    if (!container || platform().windowsMajorVersion() < 6)
        return;
    applyToTree(container);
}

} // namespace kolvix
