#include "encoder/picture_fidelity.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QPainter>

namespace {

constexpr qint64 measuredPixels = 20'000'000;
constexpr int window = 8;
constexpr int windowStep = 4;

// The picture as 32-bit pixels with no transparency left.
QImage opaque(const QImage& picture)
{
    if (picture.format() == QImage::Format_RGB32)
        return picture;
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB32);
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, picture);
    return flat;
}

float luminance(QRgb pixel)
{
    return 0.299f * float(qRed(pixel)) + 0.587f * float(qGreen(pixel)) + 0.114f * float(qBlue(pixel));
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

Moments momentsOf(const LuminancePlane& a, const LuminancePlane& b, int left, int top, int width, int height)
{
    Moments m;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) {
            const std::size_t i = std::size_t(y) * a.width + x;
            m.add(a.values[i], b.values[i]);
        }
    return m;
}

} // namespace

int fidelityReduction(QSize size)
{
    int k = 1;
    while (qint64(size.width() / k) * (size.height() / k) > measuredPixels)
        ++k;
    return k;
}

LuminancePlane luminanceOf(const QImage& picture, int reduction, std::stop_token stop)
{
    const QImage flat = opaque(picture);
    LuminancePlane plane;
    plane.width = flat.width() / reduction;
    plane.height = flat.height() / reduction;
    plane.values.assign(std::size_t(plane.width) * plane.height, 0.0f);
    const float share = 1.0f / float(reduction * reduction);
    for (int y = 0; y < plane.height * reduction; ++y) {
        if (y % 64 == 0 && stop.stop_requested())
            return {};
        const auto* line = reinterpret_cast<const QRgb*>(flat.constScanLine(y));
        float* out = plane.values.data() + std::size_t(y / reduction) * plane.width;
        if (reduction == 1) {
            for (int x = 0; x < plane.width; ++x)
                out[x] = luminance(line[x]);
            continue;
        }
        for (int x = 0; x < plane.width * reduction; ++x)
            out[x / reduction] += luminance(line[x]) * share;
    }
    return plane;
}

Fidelity compareLuminance(const LuminancePlane& original, const LuminancePlane& compressed)
{
    Fidelity result;
    double squares = 0;
    for (std::size_t i = 0; i < original.values.size(); ++i) {
        const double d = double(original.values[i]) - compressed.values[i];
        squares += d * d;
    }
    const double mse = squares / double(std::max<std::size_t>(1, original.values.size()));
    result.psnr = mse == 0 ? std::numeric_limits<double>::infinity() : 10 * std::log10(255.0 * 255.0 / mse);

    if (original.width < window || original.height < window) {
        result.ssim = momentsOf(original, compressed, 0, 0, original.width, original.height).ssim();
        return result;
    }
    double sum = 0;
    int windows = 0;
    for (int top = 0; top + window <= original.height; top += windowStep)
        for (int left = 0; left + window <= original.width; left += windowStep) {
            sum += momentsOf(original, compressed, left, top, window, window).ssim();
            ++windows;
        }
    result.ssim = sum / windows;
    return result;
}

QImage amplifiedDifference(const QImage& original, const QImage& compressed, int factor, QSize size,
                           std::stop_token stop)
{
    const QImage a = opaque(original);
    const QImage b = opaque(compressed);
    QImage difference(a.size(), QImage::Format_RGB32);
    const auto amplified = [factor](int x, int y) { return std::min(255, std::abs(x - y) * factor); };
    for (int y = 0; y < a.height(); ++y) {
        if (y % 64 == 0 && stop.stop_requested())
            return {};
        const auto* lineA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lineB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(difference.scanLine(y));
        for (int x = 0; x < a.width(); ++x)
            out[x] = qRgb(amplified(qRed(lineA[x]), qRed(lineB[x])), amplified(qGreen(lineA[x]), qGreen(lineB[x])),
                          amplified(qBlue(lineA[x]), qBlue(lineB[x])));
    }
    if (size.isValid() && size != difference.size())
        return difference.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return difference;
}
