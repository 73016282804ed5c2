#pragma once

#include <stop_token>

#include <functional>
#include <optional>

#include "encoder/prepared_picture.h"
#include "encoder/quantized_picture.h"

class QIODevice;
class ScanlineSource;
struct JpegMarkers;

enum class CompressResult {
    Done,
    WriteFailed,
    OutOfMemory,
    Rejected, // libjpeg refused the parameters or the picture
    Abandoned, // a stop was requested, seen between blocks of rows
};

// Optimized tables make the smallest file, which is what a save writes; they are
// fitted to the quantized coefficients of the whole picture. The standard
// tables give the same pixels, for a measure that only decodes them.
enum class HuffmanTables { Optimized, Standard };

// From this quality on chroma is kept whole (with coarser steps); below, halved chroma costs nothing seen.
inline constexpr int fullChromaQuality = 90;

ChromaSampling chromaSamplingFor(int quality);
// A colour profile for colour keeps a grey picture in three components, which it fits.
GreyFile greyFileFor(const JpegMarkers* markers);

// Encodes the source as baseline JFIF (grey when every pixel is, else YCbCr
// 4:2:0 or 4:4:4), writing to `out`. libjpeg's errors come back as a result,
// never as an exit of the process; `quality` must be 1..100. `stop` is looked
// at between bands of rows. `markers`, when given, are
// written after the JFIF header: EXIF and XMP (APP1), the ICC profile
// (APP2, through libjpeg's own function), IPTC (APP13).
CompressResult compressJpeg(const ScanlineSource& source, int quality, QIODevice& out,
                            std::stop_token stop = {}, const JpegMarkers* markers = nullptr,
                            HuffmanTables tables = HuffmanTables::Optimized, const JpegEncoding& encoding = {});

// The same from a picture already prepared; `encoding.sampling` is the picture's.
// The quantization is shared out over two threads by bands of block rows, a
// stop looked at between bands.
CompressResult compressPrepared(const PreparedPicture& picture, int quality, QIODevice& out,
                                std::stop_token stop = {}, const JpegMarkers* markers = nullptr,
                                HuffmanTables tables = HuffmanTables::Optimized, const JpegEncoding& encoding = {});
