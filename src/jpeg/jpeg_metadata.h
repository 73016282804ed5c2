#pragma once

#include <QSize>
#include <QtGlobal>

#include "jpeg/jpeg_markers.h"

// What the program did to the pixels, which the kept metadata must follow.
struct MetadataChanges {
    QSize size;                // the saved picture's size; it is saved upright
    bool dropLocation = false; // remove GPS from EXIF and XMP
};

// The blocks a re-compressed JPEG carries from its source: the ICC profile
// (an RGB or grey one that this program can apply) byte for byte; the
// Photoshop block without its thumbnail; EXIF and XMP with the orientation
// written as 1, the EXIF thumbnail dropped, the pixel sizes set to the new
// size (or, for the TIFF-only sizes of the first IFD, removed); the extended
// XMP the packet names (or, where it cannot be carried, not the reference);
// comments and the JFIF density. When asked, every location goes: GPS,
// coordinates and place names in XMP of any schema, IPTC and maker notes.
// Everything else (date taken, camera, exposure) stays. A block that cannot
// be read, is broken or would not fit its segment is left out with a log
// line; the rest is kept.
JpegMarkers keptMetadata(const JpegMarkers& source, const MetadataChanges& changes);

// The bytes the blocks add to a JPEG file, markers and headers included.
qint64 markersByteCount(const JpegMarkers& markers);
