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

// N. Robidoux's table, fitted to how people see: the low frequencies finer and
// the diagonal highs coarser than Annex K, whose uneven steps show as ringing.
inline constexpr Table perceptualLuminance = {
    16, 16, 16, 18, 25, 37, 56, 85, 16, 17, 20, 27, 34, 40, 53, 75,
    16, 20, 24, 31, 43, 62, 91, 135, 18, 27, 31, 40, 53, 74, 106, 156,
    25, 34, 43, 53, 69, 94, 131, 189, 37, 40, 62, 74, 94, 124, 169, 238,
    56, 53, 91, 106, 131, 169, 226, 311, 85, 75, 135, 156, 189, 238, 311, 418};
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
