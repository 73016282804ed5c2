#pragma once

#include <cstdint>

#include <QString>

// State shared by the main window and the save dialog, and the start procedure.
namespace viewing {

// Path of the current picture, as the save dialog shows and proposes it.
inline QString currentPicturePath;
// Base size in twips of the save dialog's preview.
inline float previewBaseWidth = 0;
inline std::int32_t previewBaseHeight = 0;

// The main window, the image window and the version dialog, disabled together
// while the program waits for the save dialog or for a picture it needs.
void setProgramWindowsEnabled(bool enabled);

// Hands over from the splash: the image window with its first picture, then the main window.
void startMainWindow();

} // namespace viewing
