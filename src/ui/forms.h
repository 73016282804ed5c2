#pragma once

#include <QWidget>

// A window is loaded while it exists and has not been unloaded. Unloading hides
// it at once and deletes it once the event loop gets to it, because a handler
// may unload its own window and go on running; meanwhile it counts as gone.
namespace forms {

inline void unload(QWidget* window)
{
    if (!window)
        return;
    window->setProperty("unloaded", true);
    window->hide();
    window->deleteLater();
}

inline bool isLoaded(const QWidget* window) { return window && !window->property("unloaded").toBool(); }

// The window when it is loaded, else nullptr.
template <class W>
W* ifLoaded(W* window)
{
    return isLoaded(window) ? window : nullptr;
}

} // namespace forms
