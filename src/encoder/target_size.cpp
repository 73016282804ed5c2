#include "encoder/target_size.h"

#include <new>

#include <QIODevice>
#include <QImage>

#include "encoder/jpeg_compressor.h"
#include "encoder/scanline_source.h"

namespace {

// Takes every byte and keeps only the count.
class CountingDevice : public QIODevice {
public:
    CountingDevice() { open(QIODevice::WriteOnly); }
    qint64 count() const { return count_; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 length) override
    {
        count_ += length;
        return length;
    }

private:
    qint64 count_ = 0;
};

} // namespace

std::optional<qint64> encodedJpegSize(const QImage& picture, int quality, const std::function<bool()>& abandoned)
{
    try {
        if (picture.isNull() || quality < 1 || quality > 100)
            return std::nullopt;
        const ScanlineSource source(picture);
        if (!source.isValid())
            return std::nullopt;
        CountingDevice counter;
        if (compressJpeg(source, quality, counter, abandoned) != CompressResult::Done)
            return std::nullopt;
        return counter.count();
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

TargetQuality findTargetQuality(qint64 limit, const std::function<std::optional<qint64>(int quality)>& sizeAt,
                                const std::function<bool()>& abandoned)
{
    // `fits` fits and `misses` does not; 0 and 101 stand for the ends unmeasured.
    int fits = 0;
    int misses = 101;
    TargetQuality result;
    while (misses - fits > 1) {
        if (abandoned && abandoned()) {
            result.outcome = TargetQuality::Abandoned;
            return result;
        }
        const int middle = (fits + misses) / 2;
        const std::optional<qint64> size = sizeAt(middle);
        ++result.encodings;
        if (!size) {
            result.outcome = abandoned && abandoned() ? TargetQuality::Abandoned : TargetQuality::Failed;
            return result;
        }
        (*size <= limit ? fits : misses) = middle;
    }
    result.quality = fits;
    result.outcome = fits == 0 ? TargetQuality::TooLarge : TargetQuality::Found;
    return result;
}
