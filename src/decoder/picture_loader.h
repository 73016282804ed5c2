#pragma once

#include <stop_token>

#include <atomic>

#include <QByteArray>
#include <QImage>
#include <QString>

// Loads a BMP, JPEG or GIF picture (the first frame of an animation). The
// kind is decided by the file's content, never by its extension, so a ".kir"
// file holding a JPEG stream loads; anything else (PNG included) is not a
// picture of this program. JPEG pictures are turned upright by their EXIF
// orientation and come out as QImage::Format_RGB32.
//
// Throws RunTimeError: 53 when the file is missing, 75 when it cannot be read
// (no permission, a folder, a device), 481 for an empty, truncated or corrupt
// file or one that claims a size beyond picture_limits, 7 when memory runs out.
//
// A picture shown only small can be loaded with a `cover` size in pixels: a
// JPEG is then decoded at the smallest eighth of its size that still covers
// it both ways (libjpeg's DCT scaling, a fraction of a full decode). Other
// kinds load at full size.
QImage LoadPicture(const QString& path, QSize cover = QSize());

// Whether a file's first bytes (18 are enough) start a picture of a kind this
// program reads: the rest of a file that does not is never read.
bool looksLikeAPicture(const QByteArray& head);

// The same for a file's bytes already in memory, for a view: a JPEG is decoded
// at the smallest eighth that still covers its picture fitted into `box`
// (full size without a box); other kinds load at full size. `natural` gets the
// upright full size. A stop requested through `stop` ends a JPEG decode early (DecodeCancelled).
QImage decodePicture(const QByteArray& bytes, QSize box = QSize(), QSize* natural = nullptr,
                     std::stop_token stop = {});
