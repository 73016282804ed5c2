#pragma once

#include <stop_token>

#include <cstdint>
#include <functional>

class QByteArray;
class QImage;
class QString;
struct JpegMarkers;
class PreparedPictureCache;

// Results of saveJpeg. Callers other than the final save ignore them.
enum class JpegStatus : std::int16_t {
    Written = 0,
    CannotOpen = 1,  // folder missing or not writable, target not replaceable
    CannotWrite = 2, // a write, the flush or the final rename failed (disk full)
    FormatError = 3, // null picture, sizes that do not match it, quality outside 1..100
    OutOfMemory = 4,
    Abandoned = 5,   // a stop was requested; nothing was written
};

// Whose file saveJpeg writes.
enum class JpegTarget {
    // A file the person chose: a link to a regular file is followed, and a
    // replaced file keeps its owner and permissions.
    Chosen,
    // A file the program names itself (the preview): a target that is a
    // symbolic link is refused, so a link someone planted there never redirects
    // the write, and the file is the user's alone (0600), new or replaced.
    ProgramOwn,
};

// Writes `picture` to `path` as a baseline JFIF file (grey, or YCbCr with chroma
// halved below quality 90 and whole from it; perceptual tables, trellis
// quantization, optimized Huffman tables) at `quality` 1..100. Transparent pixels come out white, as
// the picture shows on screen. `width` and `height` must be the picture's
// pixel size. The file is written beside the target under a temporary name
// and renamed over it only when complete, so a failure never leaves a
// truncated file or harms an existing one. Only a regular file is replaced:
// a device, a FIFO or a link to one is refused with CannotOpen and left as it
// is.
// `stop` is looked at between blocks of rows; once a stop is requested the
// encoding stops with Abandoned, the target stays as it
// was and no temporary file is left. `markers`, when given, go into the file
// as they are (see compressJpeg). `prepared`, when given, keeps the picture's
// colour conversion and DCT for the next save of the same picture; the file is
// the same with or without it. Never throws and never ends the process.
JpegStatus saveJpeg(const QImage& picture, std::int32_t width, std::int32_t height, const QString& path,
                    std::uint8_t quality, JpegTarget target, std::stop_token stop = {},
                    const JpegMarkers* markers = nullptr, PreparedPictureCache* prepared = nullptr);

// Writes an encoded file's `bytes` to a file the person chose, as saveJpeg
// writes one: whole or not at all, links and owners as for JpegTarget::Chosen.
JpegStatus saveJpegBytes(const QByteArray& bytes, const QString& path);
