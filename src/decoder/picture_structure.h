#pragma once

#include <QIODevice>
#include <QSize>

// Qt's BMP and GIF readers show a truncated file partially, with the missing
// part blank. These checks tell whether the data of the (first) picture is all
// there, so a truncated file fails like a truncated JPEG. Both read from the
// start of the device and leave it positioned at the start again.

// True when a BMP holds all its rows: an uncompressed one is long enough, an
// RLE one's codes reach its end (or its last row) inside the file.
bool bmpPixelsComplete(QIODevice& file);

// A GIF's logical screen size (what Qt's reader allocates), or an invalid size.
QSize gifScreenSize(QIODevice& file);

// True when a GIF's first image, with all its data blocks, is in the file.
bool gifFirstFrameComplete(QIODevice& file);
