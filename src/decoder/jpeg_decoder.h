#pragma once

#include <stop_token>

#include <atomic>
#include <cstdio>
#include <exception>

#include <QByteArrayView>
#include <QImage>

// Decodes a JPEG stream with libjpeg-turbo straight into a 32-bit picture
// (QImage::Format_RGB32), EXIF orientation applied. Colour, grayscale, CMYK
// and YCCK streams load; baseline and progressive alike. Throws RunTimeError:
// 481 for data that is not a whole JPEG picture (a truncated or damaged
// stream fails rather than showing grey blocks), for a size beyond
// picture_limits; 7 when memory runs out.
//
// With a valid `cover`, the stream is decoded with libjpeg's DCT scaling at
// the smallest eighth of its size that still covers `cover` both ways, which
// costs a fraction of a full decode.
QImage decodeJpeg(std::FILE* file, QSize cover = QSize());

// The scale in eighths (1 to 8) at which a picture of `full` pixels covers `cover`.
int jpegScaleEighths(QSize full, QSize cover);

// A JPEG held in memory, decoded for a view: with a valid `box`, at the
// smallest eighth whose picture still covers the picture fitted into the box
// (aspect kept, EXIF turn counted); otherwise at full size. `natural`, when
// given, receives the upright full size from the header. A stop requested
// through `stop`, looked at between strips of rows, ends the work with DecodeCancelled.
QImage decodeJpegBytes(QByteArrayView bytes, QSize box = QSize(), QSize* natural = nullptr,
                       std::stop_token stop = {});

// The same, read from a stream from where it stands.
QImage decodeJpegStream(std::FILE* file, QSize box, QSize* natural = nullptr, std::stop_token stop = {});

struct DecodeCancelled : std::exception {
    const char* what() const noexcept override { return "decoding cancelled"; }
};
