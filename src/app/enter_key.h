#pragma once

// On the platform the program comes from, Enter presses the command button
// that has the focus, as Space does; Qt presses only a dialog's default
// button. Installs that for the whole application (once; later calls do
// nothing).
void installEnterPressesFocusedButton();
