#pragma once

#include <stop_token>

#include <functional>

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

// Optimized tables make the smallest file, which is what a save writes; libjpeg
// keeps the coefficients of the whole picture for them (3 bytes a pixel with
// 4:2:0). The standard tables give the same pixels in one pass over the rows.
enum class HuffmanTables { Optimized, Standard };

// Encodes the source as baseline JFIF, YCbCr 4:2:0, writing to `out`. libjpeg's errors come back as a result, never as
// an exit of the process; `quality` must be 1..100. `stop` is looked
// at before each block of rows. `markers`, when given, are
// written after the JFIF header: EXIF and XMP (APP1), the ICC profile
// (APP2, through libjpeg's own function), IPTC (APP13).
CompressResult compressJpeg(const ScanlineSource& source, int quality, QIODevice& out,
                            std::stop_token stop = {}, const JpegMarkers* markers = nullptr,
                            HuffmanTables tables = HuffmanTables::Optimized);
