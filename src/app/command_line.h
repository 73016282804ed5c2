#pragma once

#include <QString>
#include <QStringList>

// The program's command line: kiriview [FILE|FOLDER].
namespace commandline {

// The process's arguments as native_names decodes them, so a name that is not
// valid UTF-8 keeps its bytes (Qt's own list does not).
QStringList arguments(int argc, char** argv);

// Parses the arguments; --help and --version print and end the process here.
// Returns the named path made absolute, or an empty text.
QString parse(const QStringList& arguments);

// Shows a path in the main window as a click would, or queues it until the
// main window is shown; the window comes to the front.
void openPath(const QString& path);
// Opens what was queued; called once the main window is shown.
void openPending();

} // namespace commandline
