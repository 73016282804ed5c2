#pragma once

// SIGTERM, SIGINT and SIGHUP end the program the way its close box does, from
// the event loop: open boxes are closed as by their own close box (a question
// so closed is answered "no"), the save dialog is cancelled (its preview
// encoding stops and its temporary file goes), then the main window closes and
// the application quits, handing the clipboard over and removing its files.
void endOnTerminationSignals();

// The close sequence itself, one step at a time from the event loop (tests call it).
void endLikeTheCloseBox();
