#include "measure/target_size.h"

#include <algorithm>
#include <cstring>
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

std::optional<qint64> encodedJpegSize(const QImage& picture, int quality, std::stop_token stop,
                                      PreparedPictureCache* prepared)
{
    try {
        if (picture.isNull() || quality < 1 || quality > 100)
            return std::nullopt;
        if (prepared) {
            const std::shared_ptr<const PreparedPicture> ready = prepared->get(picture, chromaSamplingFor(quality));
            CountingDevice counter;
            if (!ready || compressPrepared(*ready, quality, counter, stop) != CompressResult::Done)
                return std::nullopt;
            return counter.count();
        }
        const ScanlineSource source(picture);
        if (!source.isValid())
            return std::nullopt;
        CountingDevice counter;
        if (compressJpeg(source, quality, counter, stop) != CompressResult::Done)
            return std::nullopt;
        return counter.count();
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

TargetQuality findTargetQuality(qint64 limit, const SizeAt& sizeAt, std::stop_token stop, int guess)
{
    // `fits` fits and `misses` does not; 0 and 101 stand for the ends unmeasured.
    int fits = 0;
    int misses = 101;
    qint64 fitsSize = 0;
    qint64 smallestMiss = 0; // the size at `misses`, once measured
    TargetQuality result;
    // Measures one quality inside the open interval; false when the search must end.
    const auto measure = [&](int quality) {
        if (stop.stop_requested()) {
            result.outcome = TargetQuality::Abandoned;
            return false;
        }
        const std::optional<qint64> size = sizeAt(quality);
        ++result.encodings;
        if (!size) {
            result.outcome = stop.stop_requested() ? TargetQuality::Abandoned : TargetQuality::Failed;
            return false;
        }
        if (*size <= limit) {
            fits = quality;
            fitsSize = *size;
        } else {
            misses = quality;
            smallestMiss = *size;
        }
        return true;
    };
    // The guess and its neighbour on the far side; a wrong guess leaves
    // bisection less to do, so the worst case is two sizes more than without.
    if (guess >= 1 && guess <= 100) {
        if (!measure(guess))
            return result;
        const int neighbour = fits == guess ? guess + 1 : guess - 1;
        if (neighbour > fits && neighbour < misses && !measure(neighbour))
            return result;
    }
    while (misses - fits > 1)
        if (!measure((fits + misses) / 2))
            return result;
    result.quality = fits;
    result.outcome = fits == 0 ? TargetQuality::TooLarge : TargetQuality::Found;
    // Too large: bisection ended with quality 1 as the lowest miss.
    result.size = fits == 0 ? smallestMiss : fitsSize;
    return result;
}

int guessTargetQuality(const QImage& picture, qint64 limit,
                       const std::function<std::optional<qint64>(const QImage&, int quality)>& sizeOf,
                       std::stop_token stop)
{
    constexpr int band = 16;   // rows libjpeg takes at a time with 4:2:0
    constexpr int every = 8;   // one band in this many is sampled
    constexpr qint64 headers = 700; // about what a file spends before its data
    const int bands = picture.height() / band / every;
    if (qint64(picture.width()) * picture.height() < 1'000'000 || bands < 4 || limit <= headers)
        return 0;
    QImage sample(picture.width(), bands * band, picture.format());
    if (sample.isNull())
        return 0;
    sample.setColorTable(picture.colorTable());
    const auto rowBytes = std::size_t(std::min(sample.bytesPerLine(), picture.bytesPerLine()));
    for (int y = 0; y < sample.height(); ++y)
        std::memcpy(sample.scanLine(y), picture.constScanLine((y / band * every + every / 2) * band + y % band), rowBytes);
    const double share = double(sample.height()) / picture.height();
    const auto sampleLimit = qint64(headers + share * double(limit - headers));
    const TargetQuality found = findTargetQuality(
        sampleLimit, [&](int quality) { return sizeOf(sample, quality); }, stop);
    if (found.outcome == TargetQuality::Found)
        return found.quality;
    return found.outcome == TargetQuality::TooLarge ? 1 : 0;
}
