#pragma once

#include <stop_token>

#include <functional>
#include <vector>

#include <QImage>

// How close a compressed picture is to its original, measured on luminance
// (Y = 0.299 R + 0.587 G + 0.114 B, as JPEG itself computes it).

// A picture's luminance, each value the mean of a `reduction` x `reduction`
// square of pixels (1: the pixels themselves).
struct LuminancePlane {
    int width = 0;
    int height = 0;
    std::vector<float> values; // row by row
};

// Pictures up to 20 megapixels are measured pixel by pixel; larger ones on
// squares of k x k pixels averaged, the smallest k that brings them within
// 20 megapixels, the original and the compressed picture alike.
int fidelityReduction(QSize size);

// Transparent pixels count as over white, as the encoder sees them.
// Empty when a stop was requested (looked at between rows).
LuminancePlane luminanceOf(const QImage& picture, int reduction, std::stop_token stop = {});

struct Fidelity {
    double psnr = 0; // in dB over a peak of 255; infinite for identical planes
    double ssim = 0; // 1 for identical planes
};

// SSIM is the mean over windows of 8 x 8 values placed every 4 values (the
// whole plane when it is smaller), with the usual constants
// (0.01 * 255)^2 and (0.03 * 255)^2. The planes must have the same size.
Fidelity compareLuminance(const LuminancePlane& original, const LuminancePlane& compressed);

// Each channel's absolute difference times `factor` (at most 255), then
// reduced with smoothing to `size`. Both pictures must have the same size.
// Null when stopped.
QImage amplifiedDifference(const QImage& original, const QImage& compressed, int factor, QSize size,
                           std::stop_token stop = {});
