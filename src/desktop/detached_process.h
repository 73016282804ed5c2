#pragma once

#include <QString>
#include <QStringList>

// Starts a program without waiting for it, its name and arguments passed as
// the bytes native_names::encode gives them: a file name that is not valid
// UTF-8 reaches the program as it is on disk (Qt's own start converts such a
// name to U+FFFD). The program is looked up on PATH and runs in the current
// folder. False when it cannot be started.
bool startDetachedWithNativeNames(const QString& program, const QStringList& arguments);
