#pragma once

#include <QString>

class QCoreApplication;

// The program's command line: kiriview [FILE|FOLDER].
namespace commandline {

// Parses the arguments; --help and --version print and end the process here.
// Returns the named path made absolute, or an empty text.
QString parse(const QCoreApplication& app);

// Shows a path in the main window as a click would, or queues it until the
// main window is shown; the window comes to the front.
void openPath(const QString& path);
// Opens what was queued; called once the main window is shown.
void openPending();

} // namespace commandline
