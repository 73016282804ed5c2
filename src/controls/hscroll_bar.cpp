#include "controls/hscroll_bar.h"

#include <QKeyEvent>
#include <QStyleOptionFocusRect>
#include <QStyleOptionSlider>
#include <QStylePainter>

HScrollBar::HScrollBar(QWidget* parent)
    : QScrollBar(Qt::Horizontal, parent)
{
}

void HScrollBar::keyPressEvent(QKeyEvent* event)
{
    SliderAction action = SliderNoAction;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        action = SliderSingleStepSub;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        action = SliderSingleStepAdd;
        break;
    case Qt::Key_PageUp:
        action = SliderPageStepSub;
        break;
    case Qt::Key_PageDown:
        action = SliderPageStepAdd;
        break;
    default:
        QScrollBar::keyPressEvent(event);
        return;
    }
    triggerAction(action);
    event->accept();
}

void HScrollBar::paintEvent(QPaintEvent* event)
{
    QScrollBar::paintEvent(event);
    QStyleOptionSlider bar;
    initStyleOption(&bar);
    // As buttons do: marked once the keyboard has moved the focus in this window.
    if (!(bar.state & QStyle::State_HasFocus) || !(bar.state & QStyle::State_KeyboardFocusChange))
        return;
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = style()->subControlRect(QStyle::CC_ScrollBar, &bar, QStyle::SC_ScrollBarSlider, this).adjusted(2, 2, -2, -2);
    QStylePainter painter(this);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
}
