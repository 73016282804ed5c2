#pragma once

// Pictures built by the loader's tests: JPEG streams written with libjpeg in
// any colour space, GIF files written by hand, and the header patches that
// make a file lie about its size.

#include <cstdio>
#include <functional>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

#include <jpeglib.h>

namespace loader_pictures {

struct JpegOptions {
    int quality = 92;
    bool progressive = false;
    J_COLOR_SPACE input = JCS_RGB;   // what the samples are
    J_COLOR_SPACE stored = JCS_UNKNOWN; // colour space in the file; JCS_UNKNOWN: libjpeg's default
};

// A JPEG stream of width x height pixels; sample(x, y) gives the components.
inline QByteArray jpeg(int width, int height, const std::function<std::vector<JSAMPLE>(int, int)>& sample,
                       const JpegOptions& options = {})
{
    const int components = options.input == JCS_GRAYSCALE ? 1 : options.input == JCS_CMYK ? 4 : 3;
    jpeg_compress_struct cinfo {};
    jpeg_error_mgr errors {};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = options.input;
    jpeg_set_defaults(&cinfo);
    if (options.stored != JCS_UNKNOWN)
        jpeg_set_colorspace(&cinfo, options.stored);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(std::size_t(width) * components);
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < width; ++x) {
            const std::vector<JSAMPLE> values = sample(x, int(cinfo.next_scanline));
            std::copy(values.begin(), values.end(), row.begin() + std::ptrdiff_t(x) * components);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray result(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return result;
}

// An RGB JPEG of a QImage.
inline QByteArray jpeg(const QImage& picture, const JpegOptions& options = {})
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    return jpeg(rgb.width(), rgb.height(), [&rgb](int x, int y) {
        const QRgb pixel = rgb.pixel(x, y);
        return std::vector<JSAMPLE>{JSAMPLE(qRed(pixel)), JSAMPLE(qGreen(pixel)), JSAMPLE(qBlue(pixel))};
    }, options);
}

// Noise, so the entropy-coded data is large and a cut lands inside it.
inline QImage noisePicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    std::uint32_t seed = 7;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            picture.setPixel(x, y, seed >> 8);
        }
    return picture;
}

// Four quadrants: red, green / blue, white. Any turn or mirror moves them.
inline QImage quadrantPicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            picture.setPixel(x, y, bottom ? (right ? qRgb(255, 255, 255) : qRgb(0, 0, 255))
                                          : (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0)));
        }
    return picture;
}

// An APP1 segment holding only the EXIF orientation, in either byte order.
inline QByteArray exifSegment(int orientation, bool bigEndian)
{
    const auto u16 = [bigEndian](int v) {
        const char high = char((v >> 8) & 255), low = char(v & 255);
        QByteArray bytes;
        bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
        return bytes;
    };
    const auto u32 = [&](int v) { return bigEndian ? u16(v >> 16) + u16(v & 0xFFFF) : u16(v & 0xFFFF) + u16(v >> 16); };
    QByteArray tiff = (bigEndian ? QByteArray("MM") : QByteArray("II")) + u16(42) + u32(8);
    tiff += u16(1);                                               // one entry
    tiff += u16(0x0112) + u16(3) + u32(1) + u16(orientation) + u16(0); // orientation, SHORT
    tiff += u32(0);                                               // no next IFD
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    return QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 255) + payload;
}

// The JPEG with a segment inserted right after its start marker.
inline QByteArray withSegment(const QByteArray& jpegStream, const QByteArray& segment)
{
    return jpegStream.left(2) + segment + jpegStream.mid(2);
}

// The JPEG with its frame header claiming another size.
inline QByteArray withClaimedSize(QByteArray jpegStream, int width, int height)
{
    for (qsizetype i = 2; i + 9 < jpegStream.size(); ++i) {
        const uchar marker = uchar(jpegStream[i + 1]);
        if (uchar(jpegStream[i]) == 0xFF && (marker == 0xC0 || marker == 0xC2)) {
            jpegStream[i + 5] = char(height >> 8);
            jpegStream[i + 6] = char(height & 255);
            jpegStream[i + 7] = char(width >> 8);
            jpegStream[i + 8] = char(width & 255);
            return jpegStream;
        }
    }
    return {};
}

// A GIF with a four-colour palette (white, red, blue, green); each frame is
// one colour index. The LZW data clears the table every two pixels, so every
// code has three bits.
inline QByteArray gif(int width, int height, const std::vector<int>& frameColours)
{
    QByteArray out("GIF89a");
    const auto u16 = [&out](int v) {
        out.append(char(v & 255));
        out.append(char((v >> 8) & 255));
    };
    u16(width);
    u16(height);
    out.append(char(0x91)); // global colour table of four entries
    out.append(char(0));
    out.append(char(0));
    const unsigned char palette[] = {255, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0};
    out.append(reinterpret_cast<const char*>(palette), sizeof palette);
    out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19); // loop forever
    for (int colour : frameColours) {
        out.append("\x21\xF9\x04\x00\x0A\x00\x00\x00", 8); // 100 ms per frame
        out.append(char(0x2C));
        u16(0);
        u16(0);
        u16(width);
        u16(height);
        out.append(char(0));
        out.append(char(2)); // minimum code size: clear 4, end 5
        QByteArray data;
        unsigned bits = 0;
        int count = 0;
        const auto put = [&](int code) {
            bits |= unsigned(code) << count;
            count += 3;
            while (count >= 8) {
                data.append(char(bits & 255));
                bits >>= 8;
                count -= 8;
            }
        };
        for (qint64 i = 0; i < qint64(width) * height; ++i) {
            if (i % 2 == 0)
                put(4);
            put(colour);
        }
        put(5);
        if (count > 0)
            data.append(char(bits & 255));
        for (qsizetype i = 0; i < data.size(); i += 255) {
            const qsizetype length = std::min<qsizetype>(255, data.size() - i);
            out.append(char(length));
            out.append(data.mid(i, length));
        }
        out.append(char(0));
    }
    out.append(char(0x3B));
    return out;
}

// The GIF claiming another size in its screen and first image descriptors.
inline QByteArray gifWithClaimedSize(QByteArray gifStream, int width, int height)
{
    const auto put16 = [&gifStream](qsizetype at, int v) {
        gifStream[at] = char(v & 255);
        gifStream[at + 1] = char((v >> 8) & 255);
    };
    put16(6, width);
    put16(8, height);
    // Screen descriptor, palette, loop extension and frame delay come first.
    const qsizetype image = 13 + 12 + 19 + 8;
    put16(image + 5, width);
    put16(image + 7, height);
    return gifStream;
}

inline QByteArray encoded(const QImage& picture, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}

inline bool near(QRgb actual, QColor expected, int tolerance = 24)
{
    return std::abs(qRed(actual) - expected.red()) <= tolerance && std::abs(qGreen(actual) - expected.green()) <= tolerance
           && std::abs(qBlue(actual) - expected.blue()) <= tolerance;
}

} // namespace loader_pictures
