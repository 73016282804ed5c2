#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <utility>
#include <vector>

#include "encoder/coefficient_quantizer.h"
#include "encoder/prepared_picture.h"

// The quantization of a prepared picture: the tables a quality and an encoding
// give, and the quantized levels of every block, made over two threads.

enum class QuantTables {
    Standard,   // the standard's example tables, as libjpeg's own encoder writes them
    Perceptual, // tables fitted to how people see
};

// Trellis quantization's weight of a bit against the squared error in
// quantization steps.
inline constexpr double trellisLambda = 0.05;

// How a picture is encoded; the default is the program's own choice. The
// standard tables without trellis give libjpeg-turbo's own file.
struct JpegEncoding {
    QuantTables tables = QuantTables::Perceptual;
    bool trellis = true;
    std::optional<ChromaSampling> sampling; // chosen by chromaSamplingFor() when empty
    double lambda = trellisLambda;
};

// The tables of each component (luminance, then chrominance) for an encoding.
struct Quantization {
    QuantValues values[2];
    bool trellis;
    double lambda;
};

Quantization quantizationOf(const JpegEncoding& encoding, int quality, ChromaSampling sampling);

// The quantized picture, kept compactly until libjpeg writes it: most levels
// are zero, so each block keeps its DC, a mask of its nonzero AC levels and
// those levels alone. libjpeg's own arrays hold one band at a time.
struct QuantizedPicture {
    struct Band {
        // Nearly every level fits a byte; one that does not is `escape` there, its value in `large`.
        static constexpr std::int8_t escape = -128;
        std::vector<std::uint64_t> masks; // per block, bit i: AC level i (natural order) nonzero
        std::vector<std::int8_t> levels;  // the nonzero AC levels, block after block
        std::vector<std::int16_t> large;  // the levels beyond a byte, in the same order
    };
    std::vector<std::int16_t> dc[3]; // per component, block rows one after another
    std::vector<Band> bands;          // every component's blocks of the band, component by component

    explicit QuantizedPicture(const PreparedPicture& picture)
        : bands(std::size_t(picture.bandCount()))
    {
        for (std::size_t c = 0; c < picture.components.size(); ++c)
            dc[c].resize(picture.components[c].blocks.size());
    }
};

// Block rows [first, end) of a component in a band (an MCU row).
inline std::pair<int, int> rowsInBand(const PreparedComponent& component, int band)
{
    const int first = band * component.samplingY;
    return {first, std::min(first + component.samplingY, component.heightInBlocks)};
}

// Quantizes every band, stopping between bands when asked (then false), and
// gathers the AC symbols of each table (luminance, chrominance) into
// `acCounts`. Throws std::bad_alloc when out of memory.
bool quantizeAll(const PreparedPicture& picture, const Quantization& quantization, const std::stop_token& stop,
                 QuantizedPicture& quantized, AcSymbolCounts* acCounts);
