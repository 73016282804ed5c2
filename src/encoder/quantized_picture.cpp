#include "encoder/quantized_picture.h"

#include <atomic>
#include <new>
#include <vector>

#include "encoder/parallel_bands.h"
#include "jpeg/quantization_tables.h"

namespace {

QuantValues valuesOf(const quantization::Table& base, int quality)
{
    QuantValues values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = std::uint16_t(quantization::scaled(base[i], quality));
    return values;
}

using Band = QuantizedPicture::Band;

void keep(Band& band, std::int16_t& dc, const std::int16_t* levels)
{
    std::uint64_t mask = 0;
    for (std::size_t i = 1; i < 64; ++i)
        if (levels[i] != 0) {
            mask |= std::uint64_t(1) << i;
            if (levels[i] > Band::escape && levels[i] <= 127) {
                band.levels.push_back(std::int8_t(levels[i]));
            } else {
                band.levels.push_back(Band::escape);
                band.large.push_back(levels[i]);
            }
        }
    band.masks.push_back(mask);
    dc = levels[0];
}

// Chooses the DC levels of a band's chain. The last block of each band keeps
// its rounded level, so every band's chain starts from a known level and the
// bands stay independent of each other.
void trellisBandDc(const PreparedPicture& picture, const Quantization& quantization, QuantizedPicture& quantized,
                   int band)
{
    for (std::size_t c = 0; c < picture.components.size(); ++c) {
        const PreparedComponent& component = picture.components[c];
        const int value = quantization.values[c == 0 ? 0 : 1][0];
        int previous = 0;
        if (band > 0) {
            const std::size_t last = picture.codingOrder(c, band - 1).back();
            previous = roundedLevel(component.blocks[last][0], value);
        }
        const std::vector<std::size_t> order = picture.codingOrder(c, band);
        std::vector<std::int16_t> coefficients(order.size()), levels(order.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            coefficients[i] = component.blocks[order[i]][0];
        trellisDc(coefficients, value, previous, band + 1 < picture.bandCount(), standardDcRate(c == 0),
                  quantization.lambda, levels);
        for (std::size_t i = 0; i < order.size(); ++i)
            quantized.dc[c][order[i]] = levels[i];
    }
}

// Quantizes one band (an MCU row) of every component.
// `rates`: the rate model of luminance and chrominance trellis quantization
// weighs bits with; `counts`, when given, gather each table's AC symbols.
void quantizeBand(const PreparedPicture& picture, const Quantization& quantization, const AcRateModel* rates,
                  QuantizedPicture& quantized, int band, AcSymbolCounts* counts)
{
    // Gathered in a buffer of the thread's own, then kept at their exact size:
    // grown by push_back, every band would carry up to as much again unused.
    thread_local Band gathered;
    gathered.masks.clear();
    gathered.levels.clear();
    gathered.large.clear();
    std::int16_t levels[64];
    for (std::size_t c = 0; c < picture.components.size(); ++c) {
        const PreparedComponent& component = picture.components[c];
        const std::size_t table = c == 0 ? 0 : 1;
        const QuantValues& values = quantization.values[table];
        const auto [first, end] = rowsInBand(component, band);
        for (int row = first; row < end; ++row)
            for (int column = 0; column < component.widthInBlocks; ++column) {
                if (quantization.trellis) {
                    trellisBlock(component.at(column, row), values, rates[table], quantization.lambda, levels,
                                 counts ? &counts[table] : nullptr);
                } else {
                    roundBlock(component.at(column, row), values, levels);
                    if (counts)
                        countAcSymbols(levels, counts[table]);
                }
                keep(gathered, quantized.dc[c][component.indexOf(column, row)], levels);
            }
    }
    Band& kept = quantized.bands[std::size_t(band)];
    kept.masks.assign(gathered.masks.begin(), gathered.masks.end());
    kept.levels.assign(gathered.levels.begin(), gathered.levels.end());
    kept.large.assign(gathered.large.begin(), gathered.large.end());
    if (quantization.trellis)
        trellisBandDc(picture, quantization, quantized, band);
}

// The symbols of the rounded levels, every eighth band, per table: what
// the optimized Huffman tables will be fitted to, near enough to price bits.
bool measureRates(const PreparedPicture& picture, const Quantization& quantization, const std::stop_token& stop,
                  AcRateModel* rates)
{
    std::vector<AcSymbolCounts> counts(std::size_t(encodingThreads) * 2, AcSymbolCounts{});
    const bool done = forEachBand(picture.bandCount(), encodingThreads, stop, [&](int band, int thread) {
        if (band % 8 != 3 && picture.bandCount() > 32)
            return;
        std::int16_t levels[64];
        for (std::size_t c = 0; c < picture.components.size(); ++c) {
            const PreparedComponent& component = picture.components[c];
            const int perBand = component.samplingY;
            AcSymbolCounts& tally = counts[std::size_t(thread) * 2 + (c == 0 ? 0 : 1)];
            for (int row = band * perBand; row < (band + 1) * perBand && row < component.heightInBlocks; ++row)
                for (int column = 0; column < component.widthInBlocks; ++column) {
                    roundBlock(component.at(column, row), quantization.values[c == 0 ? 0 : 1], levels);
                    countAcSymbols(levels, tally);
                }
        }
    });
    for (int table = 0; table < 2; ++table) {
        AcSymbolCounts sum{};
        for (int thread = 0; thread < encodingThreads; ++thread)
            for (std::size_t i = 0; i < sum.size(); ++i)
                sum[i] += counts[std::size_t(thread) * 2 + std::size_t(table)][i];
        rates[table] = rateFromCounts(sum);
    }
    return done;
}

} // namespace

Quantization quantizationOf(const JpegEncoding& encoding, int quality, ChromaSampling sampling)
{
    if (encoding.tables == QuantTables::Standard)
        return {{valuesOf(quantization::annexKLuminance, quality), valuesOf(quantization::annexKChrominance, quality)},
                encoding.trellis, encoding.lambda};
    const bool whole = sampling == ChromaSampling::Full;
    return {{valuesOf(quantization::perceptualLuminance, quality),
             valuesOf(whole ? quantization::wholeChrominance : quantization::perceptualChrominance, quality)},
            encoding.trellis, encoding.lambda};
}

bool quantizeAll(const PreparedPicture& picture, const Quantization& quantization, const std::stop_token& stop,
                           QuantizedPicture& quantized, AcSymbolCounts* acCounts)
{
    AcRateModel rates[2];
    if (quantization.trellis && !measureRates(picture, quantization, stop, rates))
        return false;
    std::vector<AcSymbolCounts> counts(std::size_t(encodingThreads) * 2, AcSymbolCounts{});
    std::atomic<bool> outOfMemory{false};
    // An exception must not leave a band's thread: it is thrown again here.
    const bool done = forEachBand(picture.bandCount(), encodingThreads, stop, [&](int band, int thread) {
        try {
            if (!outOfMemory)
                quantizeBand(picture, quantization, rates, quantized, band, &counts[std::size_t(2 * thread)]);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    });
    if (outOfMemory)
        throw std::bad_alloc();
    if (!done)
        return false;
    for (int thread = 0; thread < encodingThreads; ++thread)
        for (std::size_t table = 0; table < 2; ++table)
            for (std::size_t i = 0; i < 256; ++i)
                acCounts[table][i] += counts[std::size_t(2 * thread) + table][i];
    return true;
}
