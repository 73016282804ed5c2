#pragma once

#include <QWidget>

// A form's mouse pointer by its classic number: 0 the default arrow, 11 the
// hourglass, 13 the arrow with an hourglass (busy, yet still taking input).
namespace mouse_pointer {

inline int of(const QWidget* form)
{
    const Qt::CursorShape shape = form->cursor().shape();
    return shape == Qt::WaitCursor ? 11 : shape == Qt::BusyCursor ? 13 : 0;
}

inline void set(QWidget* form, int pointer)
{
    if (pointer == 11)
        form->setCursor(Qt::WaitCursor);
    else if (pointer == 13)
        form->setCursor(Qt::BusyCursor);
    else
        form->unsetCursor();
}

} // namespace mouse_pointer
