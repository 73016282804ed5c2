#pragma once

#include <QWidget>

// A form's mouse pointer by its classic number: 0 the default arrow, 11 the hourglass.
namespace mouse_pointer {

inline int of(const QWidget* form) { return form->cursor().shape() == Qt::WaitCursor ? 11 : 0; }

inline void set(QWidget* form, int pointer)
{
    if (pointer == 11)
        form->setCursor(Qt::WaitCursor);
    else
        form->unsetCursor();
}

} // namespace mouse_pointer
