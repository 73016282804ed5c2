#include "encoder/save_jpeg.h"

#include <new>

#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include "encoder/jpeg_compressor.h"
#include "encoder/scanline_source.h"

namespace {

bool fitsPicture(const QImage& picture, std::int32_t width, std::int32_t height,
                 std::uint8_t quality)
{
    return !picture.isNull() && width == picture.width() && height == picture.height()
        && quality >= 1 && quality <= 100;
}

// Renaming would replace a file that its owner made read-only, or fail on a
// folder only late; both are refused before anything is written. A file with
// no write permission at all is read-only for everyone: the superuser, whom
// access() lets write anything, must not replace it either. Only a regular
// file is replaced: the rename would turn a device or a FIFO (or, through a
// link, /dev/null itself) into a JPEG file.
bool targetIsReplaceable(const QString& path, std::int32_t option)
{
    const QFileInfo target(path);
    if ((option & jpeg_option::NoFollow) && target.isSymLink())
        return false;
    if (target.exists() && !target.isFile())
        return false;
    if (target.isSymLink() && !target.exists())
        return false; // a dangling link: the write would create its target somewhere else
    constexpr auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return !target.exists() || (target.isWritable() && (target.permissions() & anyWrite));
}

JpegStatus statusOf(CompressResult result)
{
    switch (result) {
    case CompressResult::Done:
        return JpegStatus::Written;
    case CompressResult::WriteFailed:
        return JpegStatus::CannotWrite;
    case CompressResult::OutOfMemory:
        return JpegStatus::OutOfMemory;
    case CompressResult::Abandoned:
        return JpegStatus::Abandoned;
    case CompressResult::Rejected:
        break;
    }
    return JpegStatus::FormatError;
}

} // namespace

JpegStatus saveJpeg(const QImage& picture, std::int32_t width, std::int32_t height, const QString& path,
                    std::uint8_t quality, std::int32_t option, const std::function<bool()>& abandoned)
{
    try {
        if (!fitsPicture(picture, width, height, quality))
            return JpegStatus::FormatError;
        const ScanlineSource source(picture);
        if (!source.isValid())
            return JpegStatus::OutOfMemory;

        // QSaveFile writes beside the target and renames only on commit; when
        // it goes out of scope uncommitted, the partial file is removed.
        QSaveFile file(path);
        if (path.isEmpty() || !targetIsReplaceable(path, option) || !file.open(QIODevice::WriteOnly))
            return JpegStatus::CannotOpen;
        const CompressResult result = compressJpeg(source, quality, file, abandoned);
        if (result != CompressResult::Done)
            return statusOf(result);
        if (!file.commit())
            return JpegStatus::CannotWrite;
        return JpegStatus::Written;
    } catch (const std::bad_alloc&) {
        return JpegStatus::OutOfMemory;
    }
}
