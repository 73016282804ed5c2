// Cost of DCSavetoJPEG on a 20-megapixel photo against bare libjpeg-turbo
// compression of the same pixels with the same settings (quality 50, 4:2:0,
// optimized Huffman tables), all in one run; and its file size against Qt's
// own JPEG writer at the same quality.
//
// Usage: jpeg_encoding [runs]            (default 7 runs, medians printed)

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <jpeglib.h>

#include "encoder/save_jpg.h"

namespace {

constexpr int photoWidth = 5472; // a 20-megapixel 3:2 camera frame
constexpr int photoHeight = 3648;
constexpr int quality = 50;

// A deterministic random lattice, smoothly interpolated: texture at one scale.
class ValueNoise {
public:
    ValueNoise(int cell, std::uint32_t seed)
        : cell_(cell)
        , columns_(photoWidth / cell + 2)
    {
        values_.resize(std::size_t(columns_) * (photoHeight / cell + 2));
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
QImage photo()
{
    const ValueNoise shapes(384, 1), surfaces(32, 2), grain(4, 3), fine(2, 4);
    QImage picture(photoWidth, photoHeight, QImage::Format_RGB32);
    std::uint32_t seed = 99;
    for (int y = 0; y < photoHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        const float height = float(y) / photoHeight;
        for (int x = 0; x < photoWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const float noise = float(int(seed >> 28) - 8);
            const float shape = shapes.at(x, y) * 160;
            const float surface = surfaces.at(x, y) * 60 + grain.at(x, y) * 40 + fine.at(x, y) * 24;
            const float r = 90 + 80 * height + shape + surface + noise;
            const float g = 120 + 40 * height + shape * 0.8f + surface + noise;
            const float b = 200 - 110 * height + shape * 0.5f + surface * 0.7f + noise;
            line[x] = qRgb(std::clamp(int(r), 0, 255), std::clamp(int(g), 0, 255),
                           std::clamp(int(b), 0, 255));
        }
    }
    return picture;
}

// libjpeg-turbo on its own, fed the picture's rows in place, as any program
// using it well would.
void bareCompress(const QImage& picture, bool optimize, jpeg_compress_struct& cinfo)
{
    cinfo.image_width = JDIMENSION(picture.width());
    cinfo.image_height = JDIMENSION(picture.height());
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = optimize ? TRUE : FALSE;
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 2;
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

std::size_t bareToMemory(const QImage& picture, bool optimize)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    bareCompress(picture, optimize, cinfo);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return size;
}

std::size_t bareToFile(const QImage& picture, const QString& path)
{
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        std::abort();
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    bareCompress(picture, true, cinfo);
    jpeg_destroy_compress(&cinfo);
    const long size = std::ftell(file);
    std::fclose(file);
    return std::size_t(size);
}

std::size_t saveWithEncoder(const QImage& picture, const QString& path)
{
    if (DCSavetoJPEG(picture, picture.width(), picture.height(), path, quality, 0) != 0)
        std::abort();
    return std::size_t(QFile(path).size());
}

std::size_t saveWithQt(const QImage& picture)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(picture))
        std::abort();
    return std::size_t(buffer.data().size());
}

struct Measure {
    const char* name;
    std::function<std::size_t()> run;
    std::vector<double> milliseconds;
    std::size_t bytes = 0;

    double median() const
    {
        std::vector<double> sorted = milliseconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;

    std::printf("Generating a %d x %d photo-like picture...\n", photoWidth, photoHeight);
    const QImage rgb32 = photo();
    const QImage premultiplied = rgb32.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QString encoderPath = folder.filePath("encoder.jpg");

    std::vector<Measure> measures = {
        {"libjpeg-turbo to memory, optimized Huffman", [&] { return bareToMemory(rgb32, true); }},
        {"libjpeg-turbo to a file, optimized Huffman",
         [&] { return bareToFile(rgb32, folder.filePath("bare.jpg")); }},
        {"DCSavetoJPEG, RGB32 picture", [&] { return saveWithEncoder(rgb32, encoderPath); }},
        {"DCSavetoJPEG, opaque ARGB32 premultiplied",
         [&] { return saveWithEncoder(premultiplied, folder.filePath("premultiplied.jpg")); }},
        {"libjpeg-turbo to memory, standard Huffman", [&] { return bareToMemory(rgb32, false); }},
        {"QImageWriter to memory", [&] { return saveWithQt(rgb32); }},
    };
    // Interleaved, so a slow spell of the machine touches every measure alike.
    for (int run = 0; run < runs + 1; ++run) {
        for (Measure& measure : measures) {
            const auto start = std::chrono::steady_clock::now();
            measure.bytes = measure.run();
            const std::chrono::duration<double, std::milli> took =
                std::chrono::steady_clock::now() - start;
            if (run > 0) // the first round only warms caches and the page cache
                measure.milliseconds.push_back(took.count());
        }
    }

    std::printf("\nQuality %d, 4:2:0, %d runs, median times:\n", quality, runs);
    for (const Measure& measure : measures)
        std::printf("  %-46s %8.1f ms  %9zu bytes\n", measure.name, measure.median(),
                    measure.bytes);

    const double bareMemory = measures[0].median();
    const double bareFile = measures[1].median();
    const double encoder = measures[2].median();
    const std::size_t qtBytes = measures[5].bytes;
    std::printf("\nDCSavetoJPEG / libjpeg-turbo to memory: %.3f (limit 1.1)\n", encoder / bareMemory);
    std::printf("DCSavetoJPEG / libjpeg-turbo to a file: %.3f\n", encoder / bareFile);
    std::printf("DCSavetoJPEG file %zu bytes, QImageWriter %zu bytes: %s\n", measures[2].bytes,
                qtBytes, measures[2].bytes <= qtBytes ? "no larger" : "LARGER");
    std::printf("File size equal to bare optimized libjpeg-turbo's: %s\n",
                measures[2].bytes == measures[0].bytes ? "yes" : "no");
    return 0;
}
