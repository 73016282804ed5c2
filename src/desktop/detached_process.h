#pragma once

#include <functional>

#include <QString>
#include <QStringList>

// Starts a program without waiting for it, its name and arguments passed as
// the bytes native_names::encode gives them: a file name that is not valid
// UTF-8 reaches the program as it is on disk (Qt's own start converts such a
// name to U+FFFD). The program is looked up on PATH and runs in the current
// folder. False when it cannot be started.
bool startDetachedWithNativeNames(const QString& program, const QStringList& arguments);

// Starts a program the same way, but as a child of this process that is
// watched: once it ends, `ended` runs on the event loop of the thread that
// started it, with whether it exited with status 0. False, and `ended` never
// runs, when it cannot be started.
bool startWatchedWithNativeNames(const QString& program, const QStringList& arguments,
                                 std::function<void(bool succeeded)> ended);
