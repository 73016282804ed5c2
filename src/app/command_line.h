#pragma once

#include <QString>
#include <QStringList>

// The program's command line: kiriview [FILE|FOLDER].
class MainWindow;

namespace commandline {

// The process's arguments as native_names decodes them, so a name that is not
// valid UTF-8 keeps its bytes (Qt's own list does not).
QStringList arguments(int argc, char** argv);

// True for --help and --version, which print their text and need no window.
bool asksForTextOnly(const QStringList& arguments);

// Parses the arguments; --help and --version print and end the process here.
// Returns the named path made absolute, or an empty text.
QString parse(const QStringList& arguments);

// Shows a path in the main window as a click would, once the main window is
// shown and no question is open; the window comes to the front. While a
// question is open the path waits (the newest one wins) and the question is
// brought to the front instead.
void openPath(const QString& path);
// Opens what was queued in `shown`, and what comes later; called once the main window is shown.
void openPending(MainWindow& shown);
// The path that waits for the main window or for the open questions; empty when none.
QString waitingPath();

// Takes paths handed over by later starts of the program.
void listenForHandOvers();

} // namespace commandline
