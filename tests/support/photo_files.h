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
// The profile's APP2 segments, `pieces` of them, in the given order of their 1-based sequence numbers (empty: in order).
QByteArray iccSegments(const QByteArray& icc, int pieces, const QList<int>& order = {});
// APP1 segments around an EXIF block (a TIFF header and what follows) and an XMP packet.
QByteArray exifApp1(const QByteArray& exif);
QByteArray xmpApp1(const QByteArray& packet);
// The segments put right after the JPEG's start marker.
QByteArray withSegments(const QByteArray& jpeg, const QByteArray& segments);
// A flat picture encoded at quality 100 by libjpeg.
QByteArray flatJpeg(int width, int height, QRgb colour);
// Red (220, 30, 30) with a fine texture in its blue, so every quality step changes the size; at quality 95.
QByteArray texturedRedJpeg(int width, int height);

// A camera's EXIF: orientation, date taken, make and model, the pixel size 4000 x 3000, a thumbnail and (when
// asked) a GPS position; the ColorSpace "uncalibrated" when `adobeRgb`, with the interoperability
// index `index` unless null.
QByteArray cameraExif(int orientation, bool gps, bool adobeRgb = false, const char* index = "R03");
// An XMP packet with the orientation, a creator and a GPS latitude.
QByteArray cameraXmp(int orientation);

// A Photoshop APP13 payload ("Photoshop 3.0" and its resources: id and data).
QByteArray photoshopBlock(const QList<std::pair<quint16, QByteArray>>& resources);
// An IPTC record naming a place (city, sub-location, province, country) and an object name "Kiri".
QByteArray iptcRecordWithPlaces();
// An XMP packet naming places the ways photo tools and drones do (iptcExt LocationShown and LocationCreated,
// photoshop City/State/Country, a DJI drone's coordinates, GPS), a creator "Kiri", an extension when given a GUID.
QByteArray xmpWithPlaces(const QByteArray& extensionGuid = {});
// An extended XMP packet and its GUID (the MD5 of the packet, in upper-case hex).
QByteArray extensionXmp();
QByteArray guidOf(const QByteArray& extension);
// The extension's segment payloads (after the signature), in `pieces` pieces.
QList<QByteArray> extendedXmpPieces(const QByteArray& extension, int pieces);
// A little-endian EXIF block whose IFD0 names the maker and whose Exif IFD holds the maker note that `makerNote`
// makes at the offset given; with `gpsFromExifIfd` the Exif IFD also links a GPS block (map datum "WGS-84-KIRI").
QByteArray exifWithMakerNote(const QByteArray& make, const std::function<QByteArray(quint32 offset)>& makerNote,
                             bool gpsFromExifIfd = false);

// A flat CMYK JPEG of the stored bytes (Adobe's way: 255 is no ink), with or without Adobe's APP14 marker.
QByteArray cmykJpeg(const std::array<uchar, 4>& stored, bool adobeMarker, int width = 32, int height = 32);
// A press profile stand-in: a LUT from inks to Lab printing the inks' naive colour with red and green swapped.
QByteArray swappingCmykProfile();
// A grey profile of gamma 1.0: a value of 128 is half the light, which sRGB writes as 188.
QByteArray linearGreyProfile();

namespace camera {
inline constexpr char dateTaken[] = "2024:05:20 02:36:12";
inline constexpr char make[] = "Kiri Optics";
inline constexpr char model[] = "K-1";
inline constexpr char latitude[] = "35/1 39/1 2950/100";
inline constexpr char xmpLatitude[] = "35,39.4917N";
} // namespace camera
