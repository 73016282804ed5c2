// Cost of saveJpeg on a 20-megapixel photo against bare libjpeg-turbo
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

#include "bench_support.h"
#include "encoder/save_jpeg.h"

namespace {

using namespace bench;

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

// A grey photo as bare libjpeg-turbo writes it: one component, made from the RGB32 pixels.
std::size_t bareGreyToMemory(const QImage& picture)
{
    return std::size_t(bareEncoded(picture, true, quality, false, true).size());
}

std::size_t saveWithEncoder(const QImage& picture, const QString& path)
{
    if (saveJpeg(picture, picture.width(), picture.height(), path, quality, JpegTarget::Chosen) != JpegStatus::Written)
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

// A measure that also keeps the size of what it encoded.
struct SizedMeasure {
    const char* name;
    std::function<std::size_t()> run;
    std::vector<double> milliseconds{};
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
    // A black-and-white photo as a grey JPEG decodes: RGB32 with three equal channels.
    const QImage grey = rgb32.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);

    std::vector<SizedMeasure> measures = {
        {"libjpeg-turbo to memory, optimized Huffman", [&] { return bareToMemory(rgb32, true); }},
        {"libjpeg-turbo to a file, optimized Huffman",
         [&] { return bareToFile(rgb32, folder.filePath("bare.jpg")); }},
        {"saveJpeg, RGB32 picture", [&] { return saveWithEncoder(rgb32, encoderPath); }},
        {"saveJpeg, opaque ARGB32 premultiplied",
         [&] { return saveWithEncoder(premultiplied, folder.filePath("premultiplied.jpg")); }},
        {"libjpeg-turbo to memory, standard Huffman", [&] { return bareToMemory(rgb32, false); }},
        {"QImageWriter to memory", [&] { return saveWithQt(rgb32); }},
        {"libjpeg-turbo to memory, grey photo, 1 component", [&] { return bareGreyToMemory(grey); }},
        {"saveJpeg, grey photo", [&] { return saveWithEncoder(grey, folder.filePath("grey.jpg")); }},
    };
    // Interleaved, so a slow spell of the machine touches every measure alike.
    for (int run = 0; run < runs + 1; ++run) {
        for (SizedMeasure& measure : measures) {
            const auto start = std::chrono::steady_clock::now();
            measure.bytes = measure.run();
            const std::chrono::duration<double, std::milli> took =
                std::chrono::steady_clock::now() - start;
            if (run > 0) // the first round only warms caches and the page cache
                measure.milliseconds.push_back(took.count());
        }
    }

    std::printf("\nQuality %d, 4:2:0, %d runs, median times:\n", quality, runs);
    for (const SizedMeasure& measure : measures)
        std::printf("  %-46s %8.1f ms  %9zu bytes\n", measure.name, measure.median(),
                    measure.bytes);

    const double bareMemory = measures[0].median();
    const double bareFile = measures[1].median();
    const double encoder = measures[2].median();
    const std::size_t qtBytes = measures[5].bytes;
    std::printf("\nsaveJpeg / libjpeg-turbo to memory: %.3f (limit 1.1)\n", encoder / bareMemory);
    std::printf("saveJpeg / libjpeg-turbo to a file: %.3f\n", encoder / bareFile);
    std::printf("grey photo: saveJpeg / libjpeg-turbo one component: %.3f, %zu against %zu bytes\n",
                measures[7].median() / measures[6].median(), measures[7].bytes, measures[6].bytes);
    std::printf("saveJpeg file %zu bytes, QImageWriter %zu bytes: %s\n", measures[2].bytes,
                qtBytes, measures[2].bytes <= qtBytes ? "no larger" : "LARGER");
    std::printf("File size equal to bare optimized libjpeg-turbo's: %s\n",
                measures[2].bytes == measures[0].bytes ? "yes" : "no");
    return 0;
}
