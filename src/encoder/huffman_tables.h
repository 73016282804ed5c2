#pragma once

#include <array>
#include <cstdint>

struct jpeg_compress_struct;
struct PreparedPicture;
struct QuantizedPicture;

// How often each symbol of one Huffman table occurs in the coded data.
using SymbolCounts = std::array<std::uint32_t, 256>;

// A Huffman table as a JPEG file carries it: the number of codes of each
// length 1..16 (bits[0] unused), then the symbols in order of their codes.
struct HuffmanTable {
    std::array<std::uint8_t, 17> bits{};
    std::array<std::uint8_t, 256> values{};
};

// The optimal table for the counts by the procedure of the JPEG standard
// (its Annex K.2: Huffman's algorithm with a reserved code of all ones,
// lengths limited to 16), ties broken towards the larger symbol as libjpeg
// breaks them, so that a file is libjpeg's own optimized file byte for byte.
HuffmanTable optimalHuffmanTable(const SymbolCounts& counts);

// Installs in `cinfo` the optimized tables of the quantized picture, as libjpeg
// would fit them in a pass of its own; `acCounts` are the AC symbols of each
// table (luminance, chrominance) counted as the picture was quantized.
void fitHuffmanTables(jpeg_compress_struct& cinfo, const PreparedPicture& picture, const QuantizedPicture& quantized,
                      const SymbolCounts* acCounts);
