#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "encoder/prepared_picture.h"

// Quantization values of one component, in natural order, each 1..255.
using QuantValues = std::array<std::uint16_t, 64>;

// The code length in bits of each AC symbol (run << 4 | size) of a Huffman
// table; the rate model trellis quantization weighs its choices with.
struct AcRateModel {
    std::array<float, 256> codeLength{};
};

// How often each AC symbol occurs in a set of quantized blocks.
using AcSymbolCounts = std::array<std::uint32_t, 256>;

void countAcSymbols(const std::int16_t* levels, AcSymbolCounts& counts);

// The lengths an optimized Huffman table would give symbols so counted, about
// -log2 of their share; a symbol never seen costs as a rare one does.
AcRateModel rateFromCounts(const AcSymbolCounts& counts);

// The lengths of the standard AC tables (luminance or chrominance), which
// optimized tables of a photo resemble closely enough to steer choices.
const AcRateModel& standardAcRate(bool luminance);

// What libjpeg makes of a block: each coefficient divided by its value,
// rounded half away from zero.
void roundBlock(const CoefficientBlock& block, const QuantValues& values, std::int16_t* levels);

// A coefficient divided by its value, rounded half away from zero.
int roundedLevel(int coefficient, int value);

// Rate-distortion optimized quantization: the DC as rounded (a band's DCs are then
// chosen together by trellisDc()), the AC levels
// that minimise J = D + lambda * R over all runs, where D is the squared error
// of each coefficient in units of its quantization value (so the table's
// weighting of frequencies carries into the choice) and R the bits of the
// symbols, their extra bits and the end of block under `rate`. Each level is
// its rounded value, one step nearer zero, or zero inside a longer run.
// `counts`, when given, gather the AC symbols of the levels chosen.
void trellisBlock(const CoefficientBlock& block, const QuantValues& values, const AcRateModel& rate,
                  double lambda, std::int16_t* levels, AcSymbolCounts* counts = nullptr);

// J of `levels` for the block's AC coefficients under the same model.
double acCost(const CoefficientBlock& block, const QuantValues& values, const AcRateModel& rate, double lambda,
              const std::int16_t* levels);

// The code length in bits of each DC difference size 0..11 of a Huffman table.
struct DcRateModel {
    std::array<float, 12> codeLength{};
};

// The lengths of the standard DC tables (luminance or chrominance).
const DcRateModel& standardDcRate(bool luminance);

// Rate-distortion optimized DC levels of a chain of blocks in the order they
// are coded, each DC sent as its difference from the one before. Each level is
// its rounded value or the integer on the coefficient's other side, chosen to
// minimise J over the chain (D and lambda as for the AC levels). `previous` is
// the level before the first block; when `keepLast`, the last block keeps its
// rounded value, so that the chain after it may start from that.
void trellisDc(std::span<const std::int16_t> coefficients, int value, int previous, bool keepLast,
               const DcRateModel& rate, double lambda, std::span<std::int16_t> levels);

// J of `levels` for the chain's DC coefficients under the same model.
double dcCost(std::span<const std::int16_t> coefficients, int value, int previous, const DcRateModel& rate,
              double lambda, std::span<const std::int16_t> levels);

// The zigzag order: the natural index of the k-th coefficient sent.
extern const std::array<int, 64> zigzagOrder;
