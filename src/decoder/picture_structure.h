#pragma once

#include <QIODevice>

// Qt's BMP and GIF readers show a truncated file partially, with the missing
// part blank. These checks tell whether the data of the (first) picture is all
// there, so a truncated file fails like a truncated JPEG. Both read from the
// start of the device and leave it positioned at the start again.

// True when an uncompressed BMP holds all its rows; compressed (RLE) BMPs are
// left to the reader.
bool bmpPixelsComplete(QIODevice& file);

// True when a GIF's first image, with all its data blocks, is in the file.
bool gifFirstFrameComplete(QIODevice& file);
