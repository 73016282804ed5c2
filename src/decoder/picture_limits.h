#pragma once

#include <QtGlobal>

// The largest picture the loader accepts. Checked against the header before
// any pixel memory is taken, so a file that claims an absurd size fails at
// once. 2^28 pixels (1 GiB as 32-bit pixels) leaves room for 100-megapixel
// photos and panoramas while refusing a claimed 60000 x 60000.
namespace picture_limits {

inline constexpr qint64 maxSide = 65535;
inline constexpr qint64 maxPixels = qint64(1) << 28;
// Working memory a decoder may take beyond the picture itself (a progressive
// JPEG keeps all its coefficients).
inline constexpr qint64 maxDecoderMemory = qint64(1) << 30;

inline bool allows(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= maxSide && height <= maxSide && width * height <= maxPixels;
}

} // namespace picture_limits
