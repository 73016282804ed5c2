#pragma once

// The parts of keeping a photo's metadata, one file a block: EXIF
// (exif_metadata.cpp), XMP with its extension (xmp_metadata.cpp); the
// Photoshop block and the assembly stay in jpeg_metadata.cpp.

#include <iterator>
#include <string>

#include <QByteArray>
#include <QList>

#include "jpeg/jpeg_markers.h"
#include "jpeg/jpeg_metadata.h"

namespace metadata_blocks {

// A segment's length field counts itself: 65535 - 2 bytes of payload at most.
constexpr qsizetype maxPayload = 65533;
constexpr qsizetype exifSignatureLength = 6;
constexpr qsizetype xmpSignatureLength = sizeof jpeg_markers::xmpSignature;
constexpr qsizetype extendedSignatureLength = sizeof jpeg_markers::extendedXmpSignature;
// libjpeg splits a profile into pieces of this size, each with a 14-byte header.
constexpr qsizetype iccPiece = maxPayload - 14;

// exiv2 set up once: quiet, its XMP parser ready, the extension's schema known.
void prepareExiv2();

template <typename Data>
void eraseWhere(Data& data, const auto& matches)
{
    for (auto it = data.begin(); it != data.end();)
        it = matches(*it) ? data.erase(it) : std::next(it);
}

// A property or tag name that holds a place: coordinates, or a place's name.
// Used for XMP properties of any schema (a drone's own) and for the tags of
// maker notes, whose names differ by maker.
bool namesAPlace(std::string name);

// The EXIF block kept (see keptMetadata); empty when it is left out.
QByteArray keptExif(const QByteArray& exif, const MetadataChanges& changes);

struct KeptXmp {
    QByteArray packet;
    QList<QByteArray> extension;
};
// The XMP packet kept and the extension it still names; an empty packet when it is left out.
KeptXmp keptXmp(const QByteArray& xmp, const QList<QByteArray>& extension, const MetadataChanges& changes);

} // namespace metadata_blocks
