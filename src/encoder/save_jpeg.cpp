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

std::int16_t statusOf(CompressResult result)
{
    switch (result) {
    case CompressResult::Done:
        return jpeg_status::Written;
    case CompressResult::WriteFailed:
        return jpeg_status::CannotWrite;
    case CompressResult::OutOfMemory:
        return jpeg_status::OutOfMemory;
    case CompressResult::Rejected:
        break;
    }
    return jpeg_status::FormatError;
}

} // namespace

std::int16_t saveJpeg(const QImage& picture, std::int32_t width, std::int32_t height,
                          const QString& path, std::uint8_t quality, std::int32_t option)
{
    try {
        if (!fitsPicture(picture, width, height, quality))
            return jpeg_status::FormatError;
        const ScanlineSource source(picture);
        if (!source.isValid())
            return jpeg_status::OutOfMemory;

        // QSaveFile writes beside the target and renames only on commit; when
        // it goes out of scope uncommitted, the partial file is removed.
        QSaveFile file(path);
        if (path.isEmpty() || !targetIsReplaceable(path, option) || !file.open(QIODevice::WriteOnly))
            return jpeg_status::CannotOpen;
        const CompressResult result = compressJpeg(source, quality, file);
        if (result != CompressResult::Done)
            return statusOf(result);
        if (!file.commit())
            return jpeg_status::CannotWrite;
        return jpeg_status::Written;
    } catch (const std::bad_alloc&) {
        return jpeg_status::OutOfMemory;
    }
}
