#include "app/StatisticsPane.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTextBlock>
#include <QTextDocument>
#include <QtMath>

namespace kolvix {

namespace {

// The application's style, but for the thumb of a scroll bar: drawn in the frame's shade,
// darker than the trough, with the style's outline.
class ThumbStyle : public QProxyStyle
{
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || !bar || !(bar->subControls & SC_ScrollBarSlider)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QStyleOptionSlider rest = *bar;
        rest.subControls &= ~SC_ScrollBarSlider;
        QProxyStyle::drawComplexControl(control, &rest, painter, widget);
        if (bar->maximum == bar->minimum)
            return; // nothing to scroll: no thumb
        const QRect thumb = subControlRect(CC_ScrollBar, bar, SC_ScrollBarSlider, widget).adjusted(1, 1, -1, -1);
        const bool active = bar->activeSubControls & SC_ScrollBarSlider && bar->state & State_Sunken;
        painter->save();
        painter->setPen(bar->palette.color(QPalette::Shadow));
        painter->setBrush(bar->palette.color(active ? QPalette::Dark : QPalette::Mid));
        painter->drawRect(thumb.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

} // namespace

void prepareStatisticsPane(QPlainTextEdit* pane)
{
    auto* style = new ThumbStyle;
    style->setParent(pane);
    pane->verticalScrollBar()->setStyle(style);
    pane->horizontalScrollBar()->setStyle(style);

    // The pane ends below its last whole line (a few pixels shorter than designed at most), so
    // that no line shows cut in half at its bottom edge. One line as the pane lays it out:
    QTextDocument probe;
    probe.setDocumentLayout(new QPlainTextDocumentLayout(&probe));
    probe.documentLayout()->setPaintDevice(pane->viewport()); // the screen's resolution
    probe.setDefaultFont(pane->font());
    // (the first and the last line's rectangles hold the document's margins)
    probe.setPlainText(QStringLiteral("0\n0\n0"));
    const int lineHeight = qCeil(probe.documentLayout()->blockBoundingRect(probe.firstBlock().next()).height());
    const int top = qCeil(pane->document()->documentMargin());
    const int height = pane->viewport()->height();
    if (lineHeight <= 0 || height <= top + lineHeight)
        return;
    pane->resize(pane->width(), pane->height() - (height - top) % lineHeight);
}

} // namespace kolvix
