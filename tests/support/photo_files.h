#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// Photos as cameras and phones write them, made in the test: profiles,
// EXIF, XMP and the JPEG segments that carry them.

// A matrix profile like sRGB but with the red and green primaries swapped.
QByteArray swappedRedGreenProfile();
// The profile's APP2 segments, `pieces` of them, written in the given order
// of their sequence numbers (1-based; empty: in order).
QByteArray iccSegments(const QByteArray& icc, int pieces, const QList<int>& order = {});
// An APP1 segment around an EXIF block (a TIFF header and what follows).
QByteArray exifApp1(const QByteArray& exif);
// An APP1 segment around an XMP packet.
QByteArray xmpApp1(const QByteArray& packet);
// The segments put right after the JPEG's start marker.
QByteArray withSegments(const QByteArray& jpeg, const QByteArray& segments);
// A flat picture encoded at quality 100 by libjpeg.
QByteArray flatJpeg(int width, int height, QRgb colour);
// Red (220, 30, 30) with a fine texture in its blue, so every quality
// step changes the compressed size; encoded at quality 95.
QByteArray texturedRedJpeg(int width, int height);

// A camera's EXIF: orientation, date taken, make and model, the pixel size,
// a thumbnail and (when asked) a GPS position; the ColorSpace
// "uncalibrated" with interoperability index "R03" when `adobeRgb`.
QByteArray cameraExif(int orientation, bool gps, bool adobeRgb = false);
// An XMP packet with the orientation, a creator and a GPS latitude.
QByteArray cameraXmp(int orientation);

namespace camera {
inline constexpr char dateTaken[] = "2024:05:20 02:36:12";
inline constexpr char make[] = "Kiri Optics";
inline constexpr char model[] = "K-1";
inline constexpr char latitude[] = "35/1 39/1 2950/100";
inline constexpr char xmpLatitude[] = "35,39.4917N";
} // namespace camera
