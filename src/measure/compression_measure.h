#pragma once

#include <optional>
#include <stop_token>

class PreparedPictureCache;

#include <QImage>

#include "measure/picture_fidelity.h"

// What a compression at a quality does to a picture: the picture encoded as
// a save encodes its pixels, read back band by band and compared with the
// original as it goes. The encoding uses the standard Huffman tables, which
// give the same pixels as a save; the reading holds only a band of rows and the peaks.
struct CompressionMeasure {
    Fidelity fidelity;
    QImage peaks; // see FidelityMeter::peaks(), at the size asked for
};

// Empty when stopped, or when the picture cannot be encoded and read back at
// its own size (out of memory among them).
// With `prepared`, the picture's preparation is taken from there (and kept
// there) rather than made for this measurement alone.
std::optional<CompressionMeasure> measureCompression(const QImage& original, int quality, QSize peaksSize,
                                                     std::stop_token stop = {}, PreparedPictureCache* prepared = nullptr);
