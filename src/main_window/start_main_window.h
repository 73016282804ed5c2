#pragma once

class MainWindow;

// Hands over from the splash: the main window with the image window and its
// first picture, the start-up picture fitted to the normal box. The window
// deletes itself when it closes.
MainWindow& startMainWindow();
