#pragma once

#include <QString>
#include <QWidget>

#include "runtime/twips.h"

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
