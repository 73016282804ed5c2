#include "encoder/coefficient_quantizer.h"

#include <cmath>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>
#include <limits>

#include <jpeglib.h>

const std::array<int, 64> zigzagOrder = {
    0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

namespace {

constexpr int endOfBlock = 0x00;
constexpr int zeroRun16 = 0xF0;

// The tables libjpeg's defaults install, read through its own API.
AcRateModel rateOfDefaults(bool luminance)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    const JHUFF_TBL* table = cinfo.ac_huff_tbl_ptrs[luminance ? 0 : 1];
    AcRateModel model;
    model.codeLength.fill(16); // symbols a table lacks: never cheap
    int next = 0;
    for (int length = 1; length <= 16; ++length)
        for (int i = 0; i < table->bits[length]; ++i)
            model.codeLength[table->huffval[next++]] = std::uint8_t(length);
    jpeg_destroy_compress(&cinfo);
    return model;
}

int sizeOf(int level)
{
    int magnitude = std::abs(level), bits = 0;
    while (magnitude) {
        ++bits;
        magnitude >>= 1;
    }
    return bits;
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

const AcRateModel& standardAcRate(bool luminance)
{
    static const AcRateModel luma = rateOfDefaults(true), chroma = rateOfDefaults(false);
    return luminance ? luma : chroma;
}

void roundBlock(const CoefficientBlock& block, const QuantValues& values, std::int16_t* levels)
{
    for (int i = 0; i < 64; ++i)
        levels[i] = std::int16_t(rounded(block[std::size_t(i)], values[std::size_t(i)]));
}

void trellisBlock(const CoefficientBlock& block, const QuantValues& values, const AcRateModel& rate,
                  double lambda, std::int16_t* levels)
{
    roundBlock(block, values, levels);
    // Only coefficients that round to a nonzero level are choices; the others stay zero.
    struct Choice {
        int position;             // in zigzag order
        double scaled;            // |coefficient| / value
        int options[2];           // nonzero levels tried, larger first (magnitudes)
        int optionCount;
        double cost;              // least J up to here with this one the last nonzero
        int level;                // its level in that best path
        int previous;             // index of the choice before it (0: the DC)
    };
    Choice choices[64];
    double zeroed[64];            // zeroed[i]: the squared error of zeroing choices 1..i
    int count = 0;
    choices[0] = {0, 0, {0, 0}, 0, 0, 0, 0};
    zeroed[0] = 0;
    for (int k = 1; k < 64; ++k) {
        const int natural = zigzagOrder[std::size_t(k)];
        const int magnitude = std::abs(int(levels[natural]));
        if (magnitude == 0)
            continue;
        Choice& c = choices[++count];
        c.position = k;
        c.scaled = std::abs(double(block[std::size_t(natural)])) / (8.0 * values[std::size_t(natural)]);
        c.options[0] = magnitude;
        c.options[1] = magnitude - 1;
        c.optionCount = magnitude > 1 ? 2 : 1;
        zeroed[count] = zeroed[count - 1] + c.scaled * c.scaled;
    }
    if (count == 0)
        return;
    for (int j = 1; j <= count; ++j) {
        Choice& c = choices[j];
        c.cost = std::numeric_limits<double>::infinity();
        for (int o = 0; o < c.optionCount; ++o) {
            const int level = c.options[o];
            const double error = c.scaled - level;
            const int size = sizeOf(level);
            for (int i = 0; i < j; ++i) {
                const Choice& before = choices[i];
                const double cost = before.cost + (zeroed[j - 1] - zeroed[i]) + error * error
                    + lambda * runBits(rate, c.position - before.position - 1, size);
                if (cost < c.cost) {
                    c.cost = cost;
                    c.level = level;
                    c.previous = i;
                }
            }
        }
    }
    // The end: after the last nonzero everything left is zero, ended by EOB unless at 63.
    int last = 0;
    double best = std::numeric_limits<double>::infinity();
    for (int j = 0; j <= count; ++j) {
        const double cost = choices[j].cost + (zeroed[count] - zeroed[j])
            + (choices[j].position < 63 ? lambda * rate.codeLength[endOfBlock] : 0.0);
        if (cost < best) {
            best = cost;
            last = j;
        }
    }
    for (int k = 1; k < 64; ++k)
        levels[zigzagOrder[std::size_t(k)]] = 0;
    for (int j = last; j > 0; j = choices[j].previous) {
        const int natural = zigzagOrder[std::size_t(choices[j].position)];
        levels[natural] = std::int16_t(block[std::size_t(natural)] < 0 ? -choices[j].level : choices[j].level);
    }
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
