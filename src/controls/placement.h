#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <QWidget>

#include "ui/twips.h"

// Places a control as a window table gives it: position and size in twips,
// and its tooltip when it has one.
template <class W>
W* place(W* widget, int left, int top, int width, int height, const QString& tooltip = {})
{
    widget->setGeometry(twips::toPixels(left, top, width, height));
    if (!tooltip.isEmpty())
        widget->setToolTip(tooltip);
    return widget;
}

// The colour of a control's text: labels draw it in WindowText, text boxes in
// Text, and some styles draw a frame's caption in Text, so both are set.
inline void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}
