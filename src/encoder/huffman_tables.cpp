#include "encoder/huffman_tables.h"

#include <algorithm>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "encoder/quantized_picture.h"

namespace {

constexpr int symbols = 257; // with the reserved one, which keeps the all-ones code unused
constexpr int longest = 32;  // before the lengths are limited to 16

// The symbol with the least nonzero count but `other`; on a tie the larger one. -1 if none.
int least(const std::array<std::uint64_t, symbols>& counts, int other)
{
    int found = -1;
    for (int i = 0; i < symbols; ++i)
        if (counts[std::size_t(i)] && i != other && (found < 0 || counts[std::size_t(i)] <= counts[std::size_t(found)]))
            found = i;
    return found;
}

} // namespace

HuffmanTable optimalHuffmanTable(const SymbolCounts& counts)
{
    std::array<std::uint64_t, symbols> frequency{};
    std::copy(counts.begin(), counts.end(), frequency.begin());
    frequency[256] = 1;
    std::array<int, symbols> codeSize{}, next{};
    next.fill(-1);
    // Huffman's algorithm: merge the two least frequent trees, each one bit longer.
    for (;;) {
        int first = least(frequency, -1);
        int second = least(frequency, first);
        if (second < 0)
            break;
        frequency[std::size_t(first)] += frequency[std::size_t(second)];
        frequency[std::size_t(second)] = 0;
        for (++codeSize[std::size_t(first)]; next[std::size_t(first)] >= 0;)
            ++codeSize[std::size_t(first = next[std::size_t(first)])];
        next[std::size_t(first)] = second; // the second tree hangs after the first's last symbol
        for (++codeSize[std::size_t(second)]; next[std::size_t(second)] >= 0;)
            ++codeSize[std::size_t(second = next[std::size_t(second)])];
    }
    std::array<int, longest + 1> bits{};
    for (const int size : codeSize)
        if (size > 0)
            ++bits[std::size_t(std::min(size, longest))];
    // Lengths over 16: a pair of the longest goes, one a bit shorter, and a
    // shorter code becomes the prefix of two.
    int length = longest;
    for (; length > 16; --length)
        while (bits[std::size_t(length)] > 0) {
            int prefix = length - 2;
            while (bits[std::size_t(prefix)] == 0)
                --prefix;
            bits[std::size_t(length)] -= 2;
            ++bits[std::size_t(length - 1)];
            bits[std::size_t(prefix + 1)] += 2;
            --bits[std::size_t(prefix)];
        }
    while (bits[std::size_t(length)] == 0)
        --length;
    --bits[std::size_t(length)]; // the reserved symbol's code
    HuffmanTable table;
    for (int i = 1; i <= 16; ++i)
        table.bits[std::size_t(i)] = std::uint8_t(bits[std::size_t(i)]);
    std::size_t at = 0;
    for (int size = 1; size <= longest; ++size)
        for (int symbol = 0; symbol < 256; ++symbol)
            if (codeSize[std::size_t(symbol)] == size)
                table.values[at++] = std::uint8_t(symbol);
    return table;
}

namespace {

int bitsOf(int value)
{
    int bits = 0;
    for (value = std::abs(value); value; value >>= 1)
        ++bits;
    return bits;
}

void install(JHUFF_TBL* target, const HuffmanTable& table)
{
    std::copy(table.bits.begin(), table.bits.end(), target->bits);
    std::copy(table.values.begin(), table.values.end(), target->huffval);
    target->sent_table = FALSE;
}

} // namespace

// DC differences in the order they are coded; the blocks libjpeg adds to fill
// the last MCUs (the previous DC, no AC) are counted too.
void fitHuffmanTables(jpeg_compress_struct& cinfo, const PreparedPicture& picture, const QuantizedPicture& quantized,
                      const SymbolCounts* acCounts)
{
    SymbolCounts dc[2] = {}, ac[2] = {};
    for (std::size_t table = 0; table < 2; ++table)
        std::copy(acCounts[table].begin(), acCounts[table].end(), ac[table].begin());
    int last[3] = {0, 0, 0};
    for (int band = 0; band < picture.bandCount(); ++band)
        for (std::size_t c = 0; c < picture.components.size(); ++c) {
            const std::size_t table = c == 0 ? 0 : 1;
            int filler = 0;
            for (const std::size_t block : picture.codingOrder(c, band, &filler)) {
                const int value = quantized.dc[c][block];
                ++dc[table][std::size_t(bitsOf(value - last[c]))];
                last[c] = value;
            }
            dc[table][0] += std::uint32_t(filler);
            ac[table][0] += std::uint32_t(filler); // end of block at once
        }
    const bool interleaved = picture.components.size() > 1;
    for (std::size_t table = 0; table < (interleaved ? 2 : 1); ++table) {
        install(cinfo.dc_huff_tbl_ptrs[table], optimalHuffmanTable(dc[table]));
        install(cinfo.ac_huff_tbl_ptrs[table], optimalHuffmanTable(ac[table]));
    }
}
