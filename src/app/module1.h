#pragma once

#include <cstdint>

#include <QString>

// State shared by the forms, and the start and fit procedures.
namespace Module1 {

// Natural size in twips of the picture in Form2's Picture1, border included.
inline float imgwidth = 0;
inline float imgheight = 0;
// Result of the last fit.
inline float fitwidth = 0;
inline std::int32_t fitheight = 0;
// Path of the current picture, as the save dialog shows and proposes it.
inline QString curpath;
// Base size in twips of the save dialog's preview.
inline float prevwidth = 0;
inline std::int32_t prevheight = 0;

void StartMain();
void FitImage();

} // namespace Module1
