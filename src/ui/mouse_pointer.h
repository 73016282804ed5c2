#pragma once

#include <QWidget>

// A form's mouse pointer: the default arrow, the hourglass (wait), or the
// arrow with an hourglass (busy, yet still taking input).
enum class MousePointer { Default, Hourglass, Busy };

namespace mouse_pointer {

inline MousePointer of(const QWidget* form)
{
    const Qt::CursorShape shape = form->cursor().shape();
    return shape == Qt::WaitCursor ? MousePointer::Hourglass
        : shape == Qt::BusyCursor  ? MousePointer::Busy
                                   : MousePointer::Default;
}

inline void set(QWidget* form, MousePointer pointer)
{
    if (pointer == MousePointer::Hourglass)
        form->setCursor(Qt::WaitCursor);
    else if (pointer == MousePointer::Busy)
        form->setCursor(Qt::BusyCursor);
    else
        form->unsetCursor();
}

} // namespace mouse_pointer
