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

// Memory a picture may claim grows with its file: a few bytes of header may
// not claim gigabytes, while a real photo (megabytes of data for each tens of
// megapixels) always fits. 96 MiB is a 24-megapixel picture as 32-bit pixels.
inline constexpr qint64 baseBudget = qint64(96) << 20;
inline constexpr qint64 budgetPerFileByte = 512;
inline qint64 memoryBudget(qint64 fileSize)
{
    return qMin(baseBudget + budgetPerFileByte * qMax<qint64>(fileSize, 0), maxPixels * 4 + maxDecoderMemory);
}

// A progressive JPEG repeats its scans over the whole picture; real ones have
// a dozen or so, more is a way to keep the decoder busy for minutes. Each
// scan costs time with the picture's size: up to 16 megapixels a hundred are
// allowed, beyond that fewer, but never fewer than 24.
inline int maxJpegScans(qint64 pixels)
{
    constexpr qint64 scanPixels = qint64(100) * 16'000'000;
    return int(qBound(qint64(24), scanPixels / qMax(pixels, qint64(1)), qint64(100)));
}

inline bool allows(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= maxSide && height <= maxSide && width * height <= maxPixels;
}

// The size is allowed and its pixels (plus a decoder's working memory) fit
// the budget of a file of the given size.
inline bool fits(qint64 width, qint64 height, qint64 fileSize, qint64 workingMemory = 0)
{
    return allows(width, height) && width * height * 4 + workingMemory <= memoryBudget(fileSize);
}

} // namespace picture_limits
