#pragma once

// The quantization tables this program writes and recognises, in natural (row
// by row) order, and their scaling by a quality 1..100.

#include <algorithm>
#include <array>

namespace quantization {

using Table = std::array<int, 64>;

// The example tables of the JPEG standard (its Annex K), which most encoders scale.
inline constexpr Table annexKLuminance = {
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
    14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
    18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
inline constexpr Table annexKChrominance = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// N. Robidoux's table, fitted to how people see (the low frequencies finer and
// the diagonal highs coarser than Annex K, whose uneven steps show as ringing),
// with the middle and high frequencies made finer: by 0.9 on the fifth
// diagonal, 0.8 on the sixth and seventh, 0.7 on the eighth to tenth, 0.85
// beyond. Measured on photos, that keeps more structure (SSIM) for its bytes
// and no more visible error (butteraugli) than the original.
inline constexpr Table perceptualLuminance = {
    16, 16, 16, 18, 22, 30, 45, 59, 16, 17, 20, 24, 27, 32, 37, 52,
    16, 20, 22, 25, 34, 43, 64, 94, 18, 24, 25, 32, 37, 52, 74, 133,
    22, 27, 34, 37, 48, 66, 111, 161, 30, 32, 43, 52, 66, 105, 144, 202,
    45, 37, 64, 74, 111, 144, 192, 264, 59, 52, 94, 133, 161, 202, 264, 355};
// Chroma halved keeps Annex K's table. Whole chroma has four times the blocks,
// each of which may be coarser: three times Annex K's steps (measured on photos
// as the balance of structure, which sees no chroma, and visible error).
inline constexpr Table perceptualChrominance = annexKChrominance;
inline constexpr Table wholeChrominance = [] {
    Table table{};
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = 3 * annexKChrominance[i];
    return table;
}();

// libjpeg's scaling of a table to `quality`, baseline: every value within 1..255.
inline constexpr int scaled(int base, int quality)
{
    const long scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    return int(std::clamp((base * scale + 50) / 100, 1L, 255L));
}

} // namespace quantization
