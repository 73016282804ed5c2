#pragma once

class QIODevice;
class ScanlineSource;

enum class CompressResult {
    Done,
    WriteFailed,
    OutOfMemory,
    Rejected, // libjpeg refused the parameters or the picture
};

// Encodes the source as baseline JFIF, YCbCr 4:2:0 with optimized Huffman
// tables, writing to `out`. libjpeg's errors come back as a result, never as
// an exit of the process; `quality` must be 1..100.
CompressResult compressJpeg(const ScanlineSource& source, int quality, QIODevice& out);
