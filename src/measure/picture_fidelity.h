#pragma once

#include <vector>

#include <QImage>
#include <QRgb>

// How close a compressed picture is to its original, measured on luminance
// (Y = 0.299 R + 0.587 G + 0.114 B, as JPEG itself computes it), and where
// they differ most. Both are found in one pass over the rows, so neither a
// second full-size picture nor full-size planes are ever held.

// Pictures up to 20 megapixels are measured pixel by pixel; larger ones on
// squares of k x k pixels averaged, the smallest k that brings them within
// 20 megapixels, the original and the compressed picture alike.
int fidelityReduction(QSize size);

struct Fidelity {
    double psnr = 0; // in dB over a peak of 255; infinite for identical planes
    double ssim = 0; // 1 for identical planes
};

// Takes both pictures row by row, top to bottom, as opaque 32-bit pixels.
// SSIM is the mean over windows of 8 x 8 luminance values placed every 4
// values (the whole plane when it is smaller), with the usual constants
// (0.01 * 255)^2 and (0.03 * 255)^2.
class FidelityMeter {
public:
    // `peaksSize`: the size of the picture of peaks kept, at most the picture's (none when empty).
    FidelityMeter(QSize pictureSize, int reduction, QSize peaksSize = QSize());

    void addRow(const QRgb* original, const QRgb* compressed);
    // Once every row was added.
    Fidelity fidelity() const;
    // Grey (QImage::Format_Grayscale8): each pixel the largest error of any
    // channel among the pixels it covers, unamplified.
    const QImage& peaks() const { return peaks_; }

private:
    void addPlaneRow();
    void addWindows(int top);

    int width_, height_, reduction_;
    int planeWidth_, planeHeight_;
    int row_ = 0;      // rows of the pictures taken
    int planeRow_ = 0; // rows of the planes made
    // The planes' rows being summed, then the last eight rows of each (a ring).
    std::vector<float> summing_[2];
    std::vector<float> recent_[2];
    double squares_ = 0;
    double ssimSum_ = 0;
    int windows_ = 0;
    QImage peaks_;
    std::vector<int> peakColumn_; // the peaks' column of each pixel column
};
