#include "measure/difference_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

QImage peakReduced(const QImage& peaks, QSize size)
{
    if (peaks.isNull() || size.isEmpty())
        return {};
    const QImage grey = peaks.format() == QImage::Format_Grayscale8 ? peaks : peaks.convertToFormat(QImage::Format_Grayscale8);
    if (grey.size() == size)
        return grey;
    QImage reduced(size, QImage::Format_Grayscale8);
    reduced.fill(0);
    std::vector<int> column(std::size_t(std::max(grey.width(), size.width())));
    // Every source pixel lands in one target pixel; a target pixel with no source takes its nearest one.
    const auto spread = [](int from, int to, int at) { return int(qint64(at) * to / from); };
    for (int x = 0; x < grey.width(); ++x)
        column[std::size_t(x)] = spread(grey.width(), size.width(), x);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* in = grey.constScanLine(y);
        uchar* out = reduced.scanLine(spread(grey.height(), size.height(), y));
        for (int x = 0; x < grey.width(); ++x)
            out[column[std::size_t(x)]] = std::max(out[column[std::size_t(x)]], in[x]);
    }
    if (size.width() <= grey.width() && size.height() <= grey.height())
        return reduced;
    QImage nearest = grey.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    for (int y = 0; y < size.height(); ++y) {
        const uchar* in = nearest.constScanLine(y);
        uchar* out = reduced.scanLine(y);
        for (int x = 0; x < size.width(); ++x)
            out[x] = std::max(out[x], in[x]);
    }
    return reduced;
}

int differenceGain(const QImage& peaks)
{
    std::array<qint64, 256> counts{};
    for (int y = 0; y < peaks.height(); ++y) {
        const uchar* line = peaks.constScanLine(y);
        for (int x = 0; x < peaks.width(); ++x)
            ++counts[line[x]];
    }
    const qint64 all = qint64(peaks.width()) * peaks.height();
    const auto below = qint64(std::ceil(all * 0.995));
    int percentile = 0;
    for (qint64 seen = 0; percentile < 255; ++percentile) {
        seen += counts[std::size_t(percentile)];
        if (seen >= below)
            break;
    }
    int largest = 255;
    while (largest > 0 && counts[std::size_t(largest)] == 0)
        --largest;
    const int strongest = percentile > 0 ? percentile : largest;
    return strongest > 0 ? (255 + strongest - 1) / strongest : 1;
}

QImage amplifiedPeaks(const QImage& peaks, int gain)
{
    QImage shown(peaks.size(), QImage::Format_RGB32);
    for (int y = 0; y < peaks.height(); ++y) {
        const uchar* in = peaks.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(shown.scanLine(y));
        for (int x = 0; x < peaks.width(); ++x) {
            const int level = std::min(255, in[x] * gain);
            out[x] = qRgb(level, level, level);
        }
    }
    return shown;
}
