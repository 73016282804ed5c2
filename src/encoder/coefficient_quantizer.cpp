#include "encoder/coefficient_quantizer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>
#include <limits>
#include <type_traits>
#include <vector>


#include <jpeglib.h>

const std::array<int, 64> zigzagOrder = {
    0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

namespace {

constexpr int endOfBlock = 0x00;
constexpr int zeroRun16 = 0xF0;

// The tables libjpeg's defaults install, read through its own API.
template <typename Model>
Model rateOfDefaults(bool luminance)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    constexpr bool ac = std::is_same_v<Model, AcRateModel>;
    const JHUFF_TBL* table = (ac ? cinfo.ac_huff_tbl_ptrs : cinfo.dc_huff_tbl_ptrs)[luminance ? 0 : 1];
    Model model;
    model.codeLength.fill(16); // symbols a table lacks: never cheap
    int next = 0;
    for (int length = 1; length <= 16; ++length)
        for (int i = 0; i < table->bits[length]; ++i)
            model.codeLength[table->huffval[next++]] = float(length);
    jpeg_destroy_compress(&cinfo);
    return model;
}

int sizeOf(int level)
{
    return int(std::bit_width(unsigned(std::abs(level))));
}

// Bits to send a nonzero level of `size` bits after `run` zeros.
double runBits(const AcRateModel& rate, int run, int size)
{
    return (run / 16) * rate.codeLength[zeroRun16] + rate.codeLength[(run % 16) << 4 | size] + size;
}

int rounded(int coefficient, int value)
{
    const int divisor = value * 8;
    const int magnitude = (std::abs(coefficient) + divisor / 2) / divisor;
    return coefficient < 0 ? -magnitude : magnitude;
}

} // namespace

void countAcSymbols(const std::int16_t* levels, AcSymbolCounts& counts)
{
    int run = 0;
    for (int k = 1; k < 64; ++k) {
        const int level = levels[zigzagOrder[std::size_t(k)]];
        if (level == 0) {
            ++run;
            continue;
        }
        for (; run >= 16; run -= 16)
            ++counts[zeroRun16];
        ++counts[std::size_t(run << 4 | sizeOf(level))];
        run = 0;
    }
    if (run > 0)
        ++counts[endOfBlock];
}

AcRateModel rateFromCounts(const AcSymbolCounts& counts)
{
    double total = 0;
    for (const std::uint32_t count : counts)
        total += count;
    AcRateModel model;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const double share = (counts[i] > 0 ? counts[i] : 0.5) / std::max(total, 1.0);
        model.codeLength[i] = float(std::clamp(-std::log2(share), 1.0, 16.0));
    }
    return model;
}

const AcRateModel& standardAcRate(bool luminance)
{
    static const AcRateModel luma = rateOfDefaults<AcRateModel>(true), chroma = rateOfDefaults<AcRateModel>(false);
    return luminance ? luma : chroma;
}

const DcRateModel& standardDcRate(bool luminance)
{
    static const DcRateModel luma = rateOfDefaults<DcRateModel>(true), chroma = rateOfDefaults<DcRateModel>(false);
    return luminance ? luma : chroma;
}

void trellisDc(std::span<const std::int16_t> coefficients, int value, int previous, bool keepLast,
               const DcRateModel& rate, double lambda, std::span<std::int16_t> levels)
{
    // Two candidates per block. cost[i]: the least J of the chain so far ending in
    // the block's candidate i; from[b][i]: the candidate of block b - 1 on that path.
    const std::size_t n = coefficients.size();
    std::vector<std::array<int, 2>> candidate(n), from(n);
    std::array<double, 2> cost{0, 0}, next{};
    const double divisor = 8.0 * value;
    const auto bits = [&](int difference) {
        const int size = sizeOf(difference);
        return double(rate.codeLength[std::size_t(size)]) + size;
    };
    for (std::size_t b = 0; b < n; ++b) {
        const double scaled = coefficients[b] / divisor;
        const int near = rounded(coefficients[b], value);
        const int other = scaled > near ? near + 1 : near - 1;
        const bool single = keepLast && b + 1 == n;
        candidate[b] = {near, single ? near : other};
        for (std::size_t i = 0; i < 2; ++i) {
            const double error = scaled - candidate[b][i];
            double best = std::numeric_limits<double>::infinity();
            for (std::size_t j = 0; j < (b == 0 ? 1 : 2); ++j) {
                const int before = b == 0 ? previous : candidate[b - 1][j];
                const double c = (b == 0 ? 0.0 : cost[j]) + lambda * bits(candidate[b][i] - before);
                if (c < best) {
                    best = c;
                    from[b][i] = int(j);
                }
            }
            next[i] = best + error * error;
        }
        cost = next;
    }
    std::size_t at = cost[1] < cost[0] ? 1 : 0;
    for (std::size_t b = n; b-- > 0;) {
        levels[b] = std::int16_t(candidate[b][at]);
        at = std::size_t(from[b][at]);
    }
}

double dcCost(std::span<const std::int16_t> coefficients, int value, int previous, const DcRateModel& rate,
              double lambda, std::span<const std::int16_t> levels)
{
    double total = 0;
    for (std::size_t b = 0; b < coefficients.size(); ++b) {
        const double error = coefficients[b] / (8.0 * value) - levels[b];
        const int size = sizeOf(levels[b] - previous);
        total += error * error + lambda * (double(rate.codeLength[std::size_t(size)]) + size);
        previous = levels[b];
    }
    return total;
}

int roundedLevel(int coefficient, int value)
{
    return rounded(coefficient, value);
}

void roundBlock(const CoefficientBlock& block, const QuantValues& values, std::int16_t* levels)
{
    for (std::size_t i = 0; i < 64; ++i) {
        // Most coefficients round to zero: a comparison spares their division.
        const int divisor = values[i] * 8;
        levels[i] = 2 * std::abs(int(block[i])) < divisor ? 0 : std::int16_t(rounded(block[i], values[i]));
    }
}

void trellisBlock(const CoefficientBlock& block, const QuantValues& values, const AcRateModel& rate,
                  double lambda, std::int16_t* levels, AcSymbolCounts* counts)
{
    // Only coefficients that round to a nonzero level are choices; the others stay zero.
    struct Choice {
        int position;             // in zigzag order
        int natural;
        float scaled;             // |coefficient| / value
        int magnitude;            // rounded
        float cost;               // least J up to here with this one the last nonzero
        int level;                // its level in that best path
        int previous;             // index of the choice before it (0: the DC)
    };
    // Found in natural order first, a loop the compiler vectorizes; most blocks have few.
    std::uint64_t nonzero = 0;
    for (std::size_t i = 1; i < 64; ++i)
        nonzero |= std::uint64_t(2 * std::abs(int(block[i])) >= values[i] * 8) << i;
    std::fill(levels + 1, levels + 64, std::int16_t(0));
    levels[0] = std::int16_t(rounded(block[0], values[0]));
    if (nonzero == 0) {
        if (counts)
            ++(*counts)[endOfBlock];
        return;
    }
    Choice choices[64];
    float zeroed[64];             // zeroed[i]: the squared error of zeroing choices 1..i
    int count = 0;
    choices[0] = {0, 0, 0, 0, 0, 0, 0};
    zeroed[0] = 0;
    for (int k = 1; k < 64; ++k) {
        const int natural = zigzagOrder[std::size_t(k)];
        if (!(nonzero >> natural & 1))
            continue;
        const int magnitude = std::abs(int(block[std::size_t(natural)]));
        const int divisor = values[std::size_t(natural)] * 8;
        Choice& c = choices[++count];
        c.position = k;
        c.natural = natural;
        c.scaled = float(magnitude) / float(divisor);
        c.magnitude = (magnitude + divisor / 2) / divisor;
        zeroed[count] = zeroed[count - 1] + c.scaled * c.scaled;
    }
    const float price = float(lambda);
    const float zeroRunBits = rate.codeLength[zeroRun16];
    for (int j = 1; j <= count; ++j) {
        Choice& c = choices[j];
        // Kept in locals, so the search runs in registers and stores once.
        float bestCost = std::numeric_limits<float>::infinity();
        int bestLevel = c.magnitude, bestPrevious = j - 1;
        // One step nearer zero only pays when it saves a bit: at the same size it costs
        // as many bits for more error. So it is tried only below a power of two.
        const int nearest = (c.magnitude & (c.magnitude - 1)) == 0 ? std::max(1, c.magnitude - 1) : c.magnitude;
        for (int level = c.magnitude; level >= nearest; --level) {
            const float error = c.scaled - float(level);
            const int size = sizeOf(level);
            const float own = error * error + price * float(size) + zeroed[j - 1];
            for (int i = 0; i < j; ++i) {
                const unsigned run = unsigned(c.position - choices[i].position - 1);
                const float bits = float(run / 16) * zeroRunBits + rate.codeLength[(run % 16) << 4 | unsigned(size)];
                const float cost = choices[i].cost - zeroed[i] + own + price * bits;
                if (cost < bestCost) {
                    bestCost = cost;
                    bestLevel = level;
                    bestPrevious = i;
                }
            }
        }
        c.cost = bestCost;
        c.level = bestLevel;
        c.previous = bestPrevious;
    }
    // The end: after the last nonzero everything left is zero, ended by EOB unless at 63.
    int last = 0;
    float best = std::numeric_limits<float>::infinity();
    for (int j = 0; j <= count; ++j) {
        const float cost = choices[j].cost + (zeroed[count] - zeroed[j])
            + (choices[j].position < 63 ? price * rate.codeLength[endOfBlock] : 0.0f);
        if (cost < best) {
            best = cost;
            last = j;
        }
    }
    for (int j = last; j > 0; j = choices[j].previous) {
        const Choice& c = choices[j];
        levels[c.natural] = std::int16_t(block[std::size_t(c.natural)] < 0 ? -c.level : c.level);
        if (counts) {
            const int run = c.position - choices[c.previous].position - 1;
            (*counts)[zeroRun16] += std::uint32_t(run / 16);
            ++(*counts)[std::size_t((run % 16) << 4 | sizeOf(c.level))];
        }
    }
    if (counts && choices[last].position < 63)
        ++(*counts)[endOfBlock];
}

double acCost(const CoefficientBlock& block, const QuantValues& values, const AcRateModel& rate, double lambda,
              const std::int16_t* levels)
{
    double distortion = 0, bits = 0;
    int run = 0;
    for (int k = 1; k < 64; ++k) {
        const int natural = zigzagOrder[std::size_t(k)];
        const double error = double(block[std::size_t(natural)]) / (8.0 * values[std::size_t(natural)]) - levels[natural];
        distortion += error * error;
        if (levels[natural] == 0) {
            ++run;
            continue;
        }
        bits += runBits(rate, run, sizeOf(levels[natural]));
        run = 0;
    }
    if (run > 0)
        bits += rate.codeLength[endOfBlock];
    return distortion + lambda * bits;
}
