#include "measure/picture_fidelity.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr qint64 measuredPixels = 20'000'000;
constexpr int window = 8;
constexpr int windowStep = 4;

float luminance(QRgb pixel)
{
    return 0.299f * float(qRed(pixel)) + 0.587f * float(qGreen(pixel)) + 0.114f * float(qBlue(pixel));
}

int largestChannelError(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Sums of one window of both planes.
struct Moments {
    double x = 0, y = 0, xx = 0, yy = 0, xy = 0, count = 0;

    void add(double a, double b)
    {
        x += a;
        y += b;
        xx += a * a;
        yy += b * b;
        xy += a * b;
        count += 1;
    }

    double ssim() const
    {
        constexpr double c1 = (0.01 * 255) * (0.01 * 255);
        constexpr double c2 = (0.03 * 255) * (0.03 * 255);
        const double mx = x / count, my = y / count;
        const double vx = xx / count - mx * mx, vy = yy / count - my * my;
        const double cxy = xy / count - mx * my;
        return (2 * mx * my + c1) * (2 * cxy + c2) / ((mx * mx + my * my + c1) * (vx + vy + c2));
    }
};

} // namespace

int fidelityReduction(QSize size)
{
    int k = 1;
    while (qint64(size.width() / k) * (size.height() / k) > measuredPixels)
        ++k;
    return k;
}

FidelityMeter::FidelityMeter(QSize pictureSize, int reduction, QSize peaksSize)
    : width_(pictureSize.width())
    , height_(pictureSize.height())
    , reduction_(std::max(1, reduction))
    , planeWidth_(width_ / reduction_)
    , planeHeight_(height_ / reduction_)
{
    for (int i = 0; i < 2; ++i) {
        summing_[i].assign(std::size_t(planeWidth_), 0.0f);
        // A plane too small for one window is measured whole, so all of it is kept.
        const bool whole = planeWidth_ < window || planeHeight_ < window;
        recent_[i].assign(std::size_t(planeWidth_) * (whole ? planeHeight_ : window), 0.0f);
    }
    if (!peaksSize.isEmpty()) {
        peaks_ = QImage(peaksSize, QImage::Format_Grayscale8);
        peaks_.fill(0);
        peakColumn_.resize(std::size_t(width_));
        for (int x = 0; x < width_; ++x)
            peakColumn_[std::size_t(x)] = int(qint64(x) * peaks_.width() / width_);
    }
}

void FidelityMeter::addRow(const QRgb* original, const QRgb* compressed)
{
    if (row_ >= height_)
        return;
    if (!peaks_.isNull()) {
        uchar* peakLine = peaks_.scanLine(int(qint64(row_) * peaks_.height() / height_));
        for (int x = 0; x < width_; ++x) {
            uchar& peak = peakLine[peakColumn_[std::size_t(x)]];
            peak = uchar(std::max<int>(peak, largestChannelError(original[x], compressed[x])));
        }
    }
    if (row_ < planeHeight_ * reduction_) {
        const QRgb* rows[2] = {original, compressed};
        const float share = 1.0f / float(reduction_ * reduction_);
        for (int i = 0; i < 2; ++i) {
            float* out = summing_[i].data();
            if (reduction_ == 1)
                for (int x = 0; x < planeWidth_; ++x)
                    out[x] = luminance(rows[i][x]);
            else
                for (int x = 0; x < planeWidth_ * reduction_; ++x)
                    out[x / reduction_] += luminance(rows[i][x]) * share;
        }
        if ((row_ + 1) % reduction_ == 0)
            addPlaneRow();
    }
    ++row_;
}

void FidelityMeter::addPlaneRow()
{
    const std::size_t kept = recent_[0].size() / std::max<std::size_t>(1, std::size_t(planeWidth_));
    const std::size_t at = std::size_t(planeRow_) % std::max<std::size_t>(1, kept) * std::size_t(planeWidth_);
    for (int x = 0; x < planeWidth_; ++x) {
        const double d = double(summing_[0][x]) - summing_[1][x];
        squares_ += d * d;
    }
    for (int i = 0; i < 2; ++i) {
        std::copy(summing_[i].begin(), summing_[i].end(), recent_[i].begin() + std::ptrdiff_t(at));
        std::fill(summing_[i].begin(), summing_[i].end(), 0.0f);
    }
    ++planeRow_;
    const int top = planeRow_ - window;
    if (planeWidth_ >= window && top >= 0 && top % windowStep == 0)
        addWindows(top);
}

// Windows whose rows are all in the ring: plane rows top to top + 7.
void FidelityMeter::addWindows(int top)
{
    for (int left = 0; left + window <= planeWidth_; left += windowStep) {
        Moments m;
        for (int y = top; y < top + window; ++y) {
            const std::size_t line = std::size_t(y % window) * planeWidth_;
            for (int x = left; x < left + window; ++x)
                m.add(recent_[0][line + x], recent_[1][line + x]);
        }
        ssimSum_ += m.ssim();
        ++windows_;
    }
}

Fidelity FidelityMeter::fidelity() const
{
    Fidelity result;
    const double values = std::max(1.0, double(planeWidth_) * planeHeight_);
    const double mse = squares_ / values;
    result.psnr = mse == 0 ? std::numeric_limits<double>::infinity() : 10 * std::log10(255.0 * 255.0 / mse);
    if (planeWidth_ >= window && planeHeight_ >= window) {
        result.ssim = windows_ ? ssimSum_ / windows_ : 1.0;
        return result;
    }
    Moments whole;
    for (std::size_t i = 0; i < recent_[0].size(); ++i)
        whole.add(recent_[0][i], recent_[1][i]);
    result.ssim = whole.count ? whole.ssim() : 1.0;
    return result;
}
