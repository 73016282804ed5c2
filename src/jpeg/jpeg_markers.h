#pragma once

#include <QByteArray>
#include <QByteArrayView>
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

    bool isEmpty() const { return icc.isEmpty() && exif.isEmpty() && xmp.isEmpty() && iptc.isEmpty(); }
};

namespace jpeg_markers {
// The largest profile taken: real ones are far smaller; more is hostile.
constexpr qsizetype maxIccBytes = qsizetype(4) << 20;
inline constexpr char exifSignature[] = "Exif\0"; // 6 bytes with the final NUL
inline constexpr char xmpSignature[] = "http://ns.adobe.com/xap/1.0/"; // then a NUL
inline constexpr char iptcSignature[] = "Photoshop 3.0"; // then a NUL
} // namespace jpeg_markers

// The blocks of a JPEG in memory; all empty for anything that is not a JPEG
// or whose header cannot be read.
JpegMarkers readJpegMarkers(QByteArrayView bytes);
// The same for a file; reads no further than the first scan.
JpegMarkers readJpegMarkersOfFile(const QString& path);
