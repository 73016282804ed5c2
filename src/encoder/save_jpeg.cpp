#include "encoder/save_jpeg.h"

#include <new>

#include <QImage>
#include <QString>

#include "encoder/jpeg_compressor.h"
#include "encoder/prepared_picture.h"
#include "encoder/scanline_source.h"
#include "files/replacing_file.h"

namespace {

bool fitsPicture(const QImage& picture, std::int32_t width, std::int32_t height,
                 std::uint8_t quality)
{
    return !picture.isNull() && width == picture.width() && height == picture.height()
        && quality >= 1 && quality <= 100;
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
                    std::uint8_t quality, JpegTarget target, std::stop_token stop,
                    const JpegMarkers* markers, PreparedPictureCache* prepared)
{
    try {
        if (!fitsPicture(picture, width, height, quality))
            return JpegStatus::FormatError;
        // Prepared before the file is opened: a stop meanwhile leaves nothing behind.
        std::shared_ptr<const PreparedPicture> ready;
        const ChromaSampling sampling = chromaSamplingFor(quality);
        const GreyFile grey = greyFileFor(markers);
        if (prepared) {
            ready = prepared->get(picture, sampling, grey);
        } else {
            const ScanlineSource source(picture);
            if (!source.isValid())
                return JpegStatus::OutOfMemory;
            ready = preparePicture(source, sampling, stop, grey);
        }
        if (!ready)
            return stop.stop_requested() ? JpegStatus::Abandoned : JpegStatus::OutOfMemory;

        // Written beside the target and renamed over it only when complete; a file that
        // is not complete is removed when `file` goes out of scope.
        const bool ownFile = target == JpegTarget::ProgramOwn;
        ReplacingFile file(path, ownFile ? ReplacingFile::Links::Refuse : ReplacingFile::Links::Follow,
                           ownFile ? ReplacingFile::Access::Private : ReplacingFile::Access::AsBefore);
        if (!file.open(QIODevice::WriteOnly))
            return JpegStatus::CannotOpen;
        const CompressResult result = compressPrepared(*ready, quality, file, stop, markers);
        if (result != CompressResult::Done)
            return statusOf(result);
        if (!file.commit())
            return JpegStatus::CannotWrite;
        return JpegStatus::Written;
    } catch (const std::bad_alloc&) {
        return JpegStatus::OutOfMemory;
    }
}

JpegStatus saveJpegBytes(const QByteArray& bytes, const QString& path)
{
    try {
        if (bytes.isEmpty())
            return JpegStatus::FormatError;
        ReplacingFile file(path, ReplacingFile::Links::Follow, ReplacingFile::Access::AsBefore);
        if (!file.open(QIODevice::WriteOnly))
            return JpegStatus::CannotOpen;
        if (file.write(bytes) != bytes.size() || !file.commit())
            return JpegStatus::CannotWrite;
        return JpegStatus::Written;
    } catch (const std::bad_alloc&) {
        return JpegStatus::OutOfMemory;
    }
}
