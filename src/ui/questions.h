#pragma once

#include <functional>

class QWidget;

// The questions the program has on screen: message and input boxes, the
// save-file dialog, the save dialog. Work that arrives from outside a window's
// own event (a path handed over by another start) must not change what an open
// question is about, so it waits here until the last one is answered.
namespace questions {

// Counts as an open question for its lifetime; `shown` is the window that asks it.
class Open {
public:
    explicit Open(QWidget* shown = nullptr);
    ~Open();
    Open(const Open&) = delete;
    Open& operator=(const Open&) = delete;
};

bool anyOpen();

// Runs `work` from the event loop once no question is open: at the next turn
// of the loop when none is, else after the last one closes. Work queued while
// earlier work waits runs after it, in order.
void whenNoneOpen(std::function<void()> work);

// Brings the question in front to the person's attention, without answering it.
void bringToFront();

} // namespace questions
