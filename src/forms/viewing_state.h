#pragma once

#include <cstdint>

#include <QString>

// State shared by the forms, and the start and fit procedures.
namespace viewing {

// Natural size in twips of the picture in ImageWindow's picture, border included.
inline float pictureWidth = 0;
inline float pictureHeight = 0;
// Result of the last fit.
inline float fittedWidth = 0;
inline std::int32_t fittedHeight = 0;
// Path of the current picture, as the save dialog shows and proposes it.
inline QString currentPicturePath;
// Base size in twips of the save dialog's preview.
inline float previewBaseWidth = 0;
inline std::int32_t previewBaseHeight = 0;

void startMainWindow();
void fitImageWindow();

} // namespace viewing
