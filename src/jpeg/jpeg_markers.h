#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// What a JPEG carries besides its pixels, taken from the markers before its
// first scan. Each block is the segment's payload after its signature; an
// empty block is absent. Blocks that are malformed or beyond their limit are
// left out (and logged), never fatal: the picture itself still loads.
struct JpegMarkers {
    // The ICC profile, put together from its APP2 segments in the order of
    // their sequence numbers.
    QByteArray icc;
    // The EXIF block: a TIFF header and what follows ("Exif\0\0" removed).
    QByteArray exif;
    // The main XMP packet ("http://ns.adobe.com/xap/1.0/\0" removed).
    QByteArray xmp;
    // The Photoshop APP13 payload that holds IPTC, signature included, kept
    // as one piece.
    QByteArray iptc;
    // The extended XMP segments, each after its signature (the GUID, the full
    // length, the offset and the piece), in file order.
    QList<QByteArray> extendedXmp;
    // The comments (COM segments), in file order.
    QList<QByteArray> comments;
    // JFIF's pixel density, when the file has a JFIF header.
    struct Density {
        quint8 unit = 0; // 0 an aspect ratio only, 1 dots per inch, 2 dots per cm
        quint16 x = 1;
        quint16 y = 1;
        bool operator==(const Density&) const = default;
    };
    std::optional<Density> density;

    bool isEmpty() const
    {
        return icc.isEmpty() && exif.isEmpty() && xmp.isEmpty() && iptc.isEmpty() && extendedXmp.isEmpty()
            && comments.isEmpty() && !density;
    }
};

namespace jpeg_markers {
// The largest profile taken: real ones are far smaller; more is hostile.
constexpr qsizetype maxIccBytes = qsizetype(4) << 20;
inline constexpr char exifSignature[] = "Exif\0"; // 6 bytes with the final NUL
inline constexpr char xmpSignature[] = "http://ns.adobe.com/xap/1.0/"; // then a NUL
inline constexpr char iptcSignature[] = "Photoshop 3.0"; // then a NUL
inline constexpr char extendedXmpSignature[] = "http://ns.adobe.com/xmp/extension/"; // then a NUL
} // namespace jpeg_markers

// The blocks of a JPEG in memory; all empty for anything that is not a JPEG
// or whose header cannot be read.
JpegMarkers readJpegMarkers(QByteArrayView bytes);
// The same for a file; reads no further than the first scan.
JpegMarkers readJpegMarkersOfFile(const QString& path);
