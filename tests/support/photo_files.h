#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

#include <array>
#include <functional>
#include <utility>

// Photos as cameras and phones write them, made in the test: profiles, EXIF, XMP and their JPEG segments.

// A matrix profile like sRGB but with the red and green primaries swapped.
QByteArray swappedRedGreenProfile();
// A LUT-based RGB profile (a grid in A2B0, no matrix) swapping red and green, as scanners' profiles are built.
QByteArray swappingLutProfile();
// A JPEG segment: the marker after 0xFF, its length, the payload.
QByteArray segment(char marker, const QByteArray& payload);
// The profile's APP2 segments, `pieces` of them, in the given order of their 1-based sequence numbers (empty: in order).
QByteArray iccSegments(const QByteArray& icc, int pieces, const QList<int>& order = {});
QByteArray exifApp1(const QByteArray& exif);
QByteArray xmpApp1(const QByteArray& packet);
// The segments put right after the JPEG's start marker.
QByteArray withSegments(const QByteArray& jpeg, const QByteArray& segments);
// A flat picture encoded at quality 100 by libjpeg.
QByteArray flatJpeg(int width, int height, QRgb colour);
// Red (220, 30, 30) with a fine texture in its blue, so every quality step changes the size; at quality 95.
QByteArray texturedRedJpeg(int width, int height);

// A camera's EXIF: orientation, date taken, make and model, the pixel size 4000 x 3000, a thumbnail, a GPS position
// if asked; the ColorSpace "uncalibrated" when `adobeRgb`, with the interoperability index `index` unless null.
QByteArray cameraExif(int orientation, bool gps, bool adobeRgb = false, const char* index = "R03");
// XMP with the orientation, a creator "Kiri", places as photo tools and drones name them (GPS, IPTC Ext, photoshop,
// DJI) and, when given, an extension's GUID.
QByteArray cameraXmp(int orientation, const QByteArray& extensionGuid = {});

// A Photoshop APP13 payload ("Photoshop 3.0" and its resources: id and data).
QByteArray photoshopBlock(const QList<std::pair<quint16, QByteArray>>& resources);
// An IPTC record naming a place (city, sub-location, province, country) and an object name "Kiri".
QByteArray iptcRecordWithPlaces();
// An extended XMP packet, its GUID (the MD5 in upper-case hex) and its segment payloads in `pieces` pieces.
QByteArray extensionXmp();
QByteArray guidOf(const QByteArray& extension);
QList<QByteArray> extendedXmpPieces(const QByteArray& extension, int pieces);
// Little-endian EXIF whose IFD0 names the maker and whose Exif IFD holds the maker note `makerNote` makes at the
// offset given; with `gpsFromExifIfd` the Exif IFD also links a GPS block (map datum "WGS-84-KIRI").
QByteArray exifWithMakerNote(const QByteArray& make, const std::function<QByteArray(quint32 offset)>& makerNote,
                             bool gpsFromExifIfd = false);

// A flat CMYK JPEG of the stored bytes (Adobe's way: 255 is no ink), with or without Adobe's APP14 marker.
QByteArray cmykJpeg(const std::array<uchar, 4>& stored, bool adobeMarker, int width = 32, int height = 32);
// A press profile stand-in: a LUT from inks to Lab printing the inks' naive colour with red and green swapped.
QByteArray swappingCmykProfile();
// A grey profile of gamma 1.0: a value of 128 is half the light, which sRGB writes as 188.
QByteArray linearGreyProfile();
// A grey JPEG of 128 at quality 100 carrying that profile.
QByteArray linearGreyJpeg(int width, int height);

namespace camera {
inline constexpr char dateTaken[] = "2024:05:20 02:36:12";
inline constexpr char xmpLatitude[] = "35,39.4917N";
} // namespace camera
