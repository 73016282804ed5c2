#pragma once

#include <QByteArrayView>

// EXIF orientation (TIFF tag 0x0112): 1 upright, 2 mirrored, 3 upside down,
// 4 flipped, 5 transposed, 6 turned 90 degrees clockwise to stand upright,
// 7 transversed, 8 turned 270 degrees clockwise. The JPEG decoder applies it
// while the rows arrive.

// The orientation in a JPEG APP1 payload ("Exif\0\0" then a TIFF header);
// 1 when the payload has none or is malformed.
int exifOrientation(QByteArrayView app1Payload);
