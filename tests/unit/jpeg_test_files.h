#pragma once

// Helpers shared by the encoder's tests: generated pictures, files on disk and
// a reader for the markers at the head of a JPEG file.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QStringList>

namespace jpeg_test {

// Smooth gradients with fine texture, so every quality setting changes the
// result; deterministic for a given size.
inline QImage photoLike(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 28) - 8;
            const double wave = 40.0 * std::sin(x * 0.07) * std::cos(y * 0.05);
            const int r = 60 + 150 * x / width + static_cast<int>(wave) + noise;
            const int g = 40 + 170 * y / height - static_cast<int>(wave) + noise;
            const int b = 200 - 120 * (x + y) / (width + height) + noise / 2;
            line[x] = qRgb(qBound(0, r, 255), qBound(0, g, 255), qBound(0, b, 255));
        }
    }
    return picture;
}

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every entry of a folder, hidden ones included: temporary files must not stay behind.
inline QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                      | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

inline QImage decode(const QString& path)
{
    QImageReader reader(path);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

// Mean absolute difference per colour channel; pictures of different sizes differ by 255.
inline double meanDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull())
        return 255.0;
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int y = 0; y < left.height(); ++y) {
        const auto* l = reinterpret_cast<const QRgb*>(left.constScanLine(y));
        const auto* r = reinterpret_cast<const QRgb*>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x)
            total += std::abs(qRed(l[x]) - qRed(r[x])) + std::abs(qGreen(l[x]) - qGreen(r[x]))
                + std::abs(qBlue(l[x]) - qBlue(r[x]));
    }
    return total / (3.0 * left.width() * left.height());
}

struct Segment {
    int marker = 0; // the byte after 0xFF
    QByteArray payload;
};

// The marker segments from SOI up to and including SOS. Empty when the file
// does not start with SOI or a segment runs past the end.
inline std::vector<Segment> headerSegments(const QByteArray& file)
{
    std::vector<Segment> segments;
    if (file.size() < 2 || static_cast<uchar>(file[0]) != 0xFF
        || static_cast<uchar>(file[1]) != 0xD8)
        return {};
    qsizetype at = 2;
    while (at + 4 <= file.size()) {
        if (static_cast<uchar>(file[at]) != 0xFF)
            return {};
        const int marker = static_cast<uchar>(file[at + 1]);
        const int length =
            static_cast<uchar>(file[at + 2]) << 8 | static_cast<uchar>(file[at + 3]);
        if (length < 2 || at + 2 + length > file.size())
            return {};
        segments.push_back({marker, file.mid(at + 4, length - 2)});
        at += 2 + length;
        if (marker == 0xDA)
            return segments;
    }
    return {};
}

inline int byteAt(const QByteArray& bytes, qsizetype index)
{
    return index < bytes.size() ? static_cast<uchar>(bytes[index]) : -1;
}

} // namespace jpeg_test
