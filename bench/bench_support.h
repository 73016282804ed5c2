#pragma once

// What the benchmarks share: a 20-megapixel photo-like picture and bare
// libjpeg-turbo compression of it, fed the picture's rows in place, as any
// program using it well would.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include <QByteArray>

#include <QImage>

#include <jpeglib.h>

namespace bench {

constexpr int photoWidth = 5472; // a 20-megapixel 3:2 camera frame
constexpr int photoHeight = 3648;
constexpr int quality = 50;

// A deterministic random lattice, smoothly interpolated: texture at one scale.
class ValueNoise {
public:
    ValueNoise(int cell, std::uint32_t seed, int width = photoWidth, int height = photoHeight)
        : cell_(cell)
        , columns_(width / cell + 2)
    {
        values_.resize(std::size_t(columns_) * (height / cell + 2));
        for (float& value : values_) {
            seed = seed * 1664525u + 1013904223u;
            value = float(seed >> 8) / float(1u << 24) - 0.5f;
        }
    }

    float at(int x, int y) const
    {
        const float fx = float(x % cell_) / cell_;
        const float fy = float(y % cell_) / cell_;
        const float sx = fx * fx * (3 - 2 * fx);
        const float sy = fy * fy * (3 - 2 * fy);
        const std::size_t i = std::size_t(y / cell_) * columns_ + x / cell_;
        const float top = values_[i] + (values_[i + 1] - values_[i]) * sx;
        const float bottom = values_[i + columns_] + (values_[i + columns_ + 1] - values_[i + columns_]) * sx;
        return top + (bottom - top) * sy;
    }

private:
    int cell_;
    int columns_;
    std::vector<float> values_;
};

// Sky-to-ground light, objects and surfaces at several scales, and sensor
// noise, so the entropy-coded data is about as dense as a real photo's.
inline QImage photo(int width = photoWidth, int height = photoHeight)
{
    const ValueNoise shapes(384, 1, width, height), surfaces(32, 2, width, height), grain(4, 3, width, height),
        fine(2, 4, width, height);
    QImage picture(width, height, QImage::Format_RGB32);
    std::uint32_t seed = 99;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        const float light = float(y) / height;
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const float noise = float(int(seed >> 28) - 8);
            const float shape = shapes.at(x, y) * 160;
            const float surface = surfaces.at(x, y) * 60 + grain.at(x, y) * 40 + fine.at(x, y) * 24;
            const float r = 90 + 80 * light + shape + surface + noise;
            const float g = 120 + 40 * light + shape * 0.8f + surface + noise;
            const float b = 200 - 110 * light + shape * 0.5f + surface * 0.7f + noise;
            line[x] = qRgb(std::clamp(int(r), 0, 255), std::clamp(int(g), 0, 255),
                           std::clamp(int(b), 0, 255));
        }
    }
    return picture;
}

// libjpeg-turbo on its own, fed the picture's rows in place, as any program
// using it well would; `grey` writes one component.
inline void bareCompress(const QImage& picture, bool optimize, jpeg_compress_struct& cinfo, int at = quality,
                         bool progressive = false, bool grey = false)
{
    cinfo.image_width = JDIMENSION(picture.width());
    cinfo.image_height = JDIMENSION(picture.height());
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    if (grey)
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    jpeg_set_quality(&cinfo, at, TRUE);
    cinfo.optimize_coding = optimize ? TRUE : FALSE;
    if (!grey) {
        cinfo.comp_info[0].h_samp_factor = 2;
        cinfo.comp_info[0].v_samp_factor = 2;
    }
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPROW rows[16];
    while (cinfo.next_scanline < cinfo.image_height) {
        const int first = int(cinfo.next_scanline);
        const int count = std::min(16, picture.height() - first);
        for (int i = 0; i < count; ++i)
            rows[i] = const_cast<JSAMPROW>(picture.constScanLine(first + i));
        jpeg_write_scanlines(&cinfo, rows, JDIMENSION(count));
    }
    jpeg_finish_compress(&cinfo);
}

// Bare libjpeg-turbo into memory: the bytes it wrote.
inline QByteArray bareEncoded(const QImage& picture, bool optimize, int at = quality, bool progressive = false,
                              bool grey = false)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    bareCompress(picture, optimize, cinfo, at, progressive, grey);
    jpeg_destroy_compress(&cinfo);
    const QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

inline std::size_t bareToMemory(const QImage& picture, bool optimize, int at = quality)
{
    return std::size_t(bareEncoded(picture, optimize, at).size());
}

// One thing measured, run after run; its median in milliseconds.
struct Measure {
    const char* name;
    std::function<void()> run;
    std::vector<double> milliseconds{};

    double median() const
    {
        std::vector<double> sorted = milliseconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

} // namespace bench
