// The save dialog's aids: the quality for a target size, the quality a JPEG was saved at, the fidelity.
#include <cmath>
#include <functional>

#include <QImage>
#include <QTemporaryDir>

#include "decoder/jpeg_decoder.h"
#include "measure/compression_measure.h"
#include "measure/difference_picture.h"
#include "measure/picture_fidelity.h"
#include "jpeg/quality_estimate.h"
#include "encoder/prepared_picture.h"
#include "encoder/save_jpeg.h"
#include "measure/target_size.h"
#include "test_files.h"

namespace {

TEST(TargetSize, AGuessAnywhereGivesTheSameAnswerAndARightOneTakesTwoSizes)
{
    // Sizes that stand still between 40 and 44.
    const auto sizeAt = [](int q) -> std::optional<qint64> { return q >= 40 && q <= 44 ? 40'000 : q * 1000; };
    for (const auto& [limit, answer] : {std::pair(500, 0), {1000, 1}, {42'500, 44}, {69'999, 69}, {100'000, 100}}) {
        const TargetQuality plain = findTargetQuality(limit, sizeAt);
        EXPECT_EQ(plain.quality, answer) << limit;
        EXPECT_EQ(plain.outcome, answer ? TargetQuality::Found : TargetQuality::TooLarge);
        EXPECT_LE(plain.encodings, 7);
        for (const int guess : {1, 2, 39, 43, 69, 71, 99, 100}) {
            const TargetQuality guessed = findTargetQuality(limit, sizeAt, {}, guess);
            EXPECT_TRUE(guessed.quality == answer && guessed.encodings <= 9) << limit << " from " << guess;
        }
        EXPECT_TRUE(answer % 100 == 0 || findTargetQuality(limit, sizeAt, {}, answer).encodings == 2) << limit;
    }
    // Where a size drops on the way up, the answer still fits and its next one does not.
    const auto dipping = [](int q) -> std::optional<qint64> { return q == 70 ? 60'000 : q * 1000; };
    for (const int guess : {0, 30, 69, 90}) {
        const int q = findTargetQuality(65'000, dipping, {}, guess).quality;
        EXPECT_TRUE(*dipping(q) <= 65'000 && *dipping(q + 1) > 65'000) << guess << " gave " << q;
    }
    int asked = 0;
    std::stop_source stopper;
    const auto stopping = [&](int q) { if (++asked == 2) stopper.request_stop(); return sizeAt(q); };
    EXPECT_EQ(findTargetQuality(10'000, stopping, stopper.get_token()).outcome, TargetQuality::Abandoned);
    EXPECT_EQ(asked, 2);
}

// Every eighth band of 16 rows, its own rows, sized in proportion; small pictures get no guess.
TEST(TargetSize, TheGuessSamplesBandsDownThePictureInProportion)
{
    QImage picture(1601, 700, QImage::Format_RGB32); // wider than tall: bands counted down
    for (int y = 0; y < picture.height(); ++y)
        std::fill_n(reinterpret_cast<QRgb*>(picture.scanLine(y)), picture.width(), qRgb(y % 256, y / 256, 7));
    // A file of 700 header bytes and 10 per row at each quality step.
    const auto plain = [](const QImage& sample, int quality) -> std::optional<qint64> {
        return 700 + qint64(quality) * sample.height() * 10;
    };
    int wrongRows = 0, height = 0;
    const auto sizeOf = [&](const QImage& sample, int quality) {
        height = sample.height();
        for (int y = 0; y < sample.height(); ++y)
            wrongRows += sample.pixel(5, y) != picture.pixel(5, (y / 16 * 8 + 4) * 16 + y % 16);
        return plain(sample, quality);
    };
    EXPECT_EQ(guessTargetQuality(picture, 700 + 7000 * 37 + 3000, sizeOf), 37);
    EXPECT_TRUE(height == 5 * 16 && wrongRows == 0) << height << " rows, " << wrongRows << " of them wrong";
    EXPECT_EQ(guessTargetQuality(picture, 700 + 7000 * 37 - 1, sizeOf), 36);
    for (const auto& [size, guessed] : {std::pair(QSize(1000, 999), false), {QSize(1000, 1000), true},
                                        {QSize(4000, 511), false}, {QSize(4000, 512), true}}) {
        QImage other(size, QImage::Format_RGB32);
        other.fill(Qt::gray);
        EXPECT_EQ(guessTargetQuality(other, 700 + 30 * size.height() * 10, plain) > 0, guessed) << size.width() << "x" << size.height();
    }
}

QImage peaksOf(int width, int height, const std::function<int(int x, int y)>& level)
{
    QImage peaks(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            peaks.scanLine(y)[x] = uchar(level(x, y));
    return peaks;
}

// Both pictures fed to the meter row by row, as the measurement does.
Fidelity compared(const QImage& first, const QImage& second, int reduction = 1)
{
    const QImage a = first.convertToFormat(QImage::Format_RGB32), b = second.convertToFormat(QImage::Format_RGB32);
    FidelityMeter meter(a.size(), reduction);
    for (int y = 0; y < a.height(); ++y)
        meter.addRow(reinterpret_cast<const QRgb*>(a.constScanLine(y)), reinterpret_cast<const QRgb*>(b.constScanLine(y)));
    return meter.fidelity();
}

TEST(Fidelity, IdenticalPicturesAndKnownDistortionsGiveTheTextbookValues)
{
    const Fidelity same = compared(testPicture(40, 24), testPicture(40, 24));
    EXPECT_TRUE(std::isinf(same.psnr) && same.ssim == 1.0);
    // A flat shift by 10: MSE 100; only the means differ.
    const Fidelity shifted = compared(peaksOf(32, 16, [](int, int) { return 100; }), peaksOf(32, 16, [](int, int) { return 110; }));
    EXPECT_NEAR(shifted.psnr, 28.1308, 0.001);
    EXPECT_NEAR(shifted.ssim, 0.995476, 0.001);
    // Luminance weighs red 0.299, green 0.587 and blue 0.114: red alone shifted by 10 gives an MSE of 2.99².
    QImage grey(32, 16, QImage::Format_RGB32), redder(32, 16, QImage::Format_RGB32);
    grey.fill(qRgb(100, 100, 100));
    redder.fill(qRgb(110, 100, 100));
    EXPECT_NEAR(compared(grey, redder).psnr, 38.6174, 0.001);
    // A checkerboard of 50 and 150 at half its contrast and brightness: MSE 3125,
    // means 100 and 50, variances 2500 and 625, covariance 1250 in every window.
    const auto board = [](int x, int y) { return (x + y) % 2 ? 150 : 50; };
    const auto halved = [&](int x, int y) { return board(x, y) / 2; };
    const Fidelity half = compared(peaksOf(32, 16, board), peaksOf(32, 16, halved));
    EXPECT_NEAR(half.psnr, 13.1823, 0.001);
    EXPECT_NEAR(half.ssim, 0.643025, 0.001);
    // Strips narrower than the window one way are measured all the same.
    EXPECT_LT(compared(peaksOf(40, 7, board), peaksOf(40, 7, halved)).ssim, 0.9);
    EXPECT_LT(compared(peaksOf(7, 40, board), peaksOf(7, 40, halved)).ssim, 0.9);
    // Above 20 megapixels, squares of pixels are averaged: the smallest that leave 20 at most.
    for (const auto& [size, reduction] : {std::pair(QSize(5000, 4000), 1), {QSize(4000, 5001), 2}, {QSize(10001, 8001), 2}, {QSize(12000, 8000), 3}})
        EXPECT_EQ(fidelityReduction(size), reduction) << size.width() << " x " << size.height();
    // Sides that do not divide: the partial squares at the edges are left out, not averaged short.
    const auto flat = [](int, int) { return 100; };
    const auto stripes = [](int, int y) { return y % 2 ? 150 : 50; };
    EXPECT_TRUE(std::isinf(compared(peaksOf(9, 7, board), peaksOf(9, 7, flat), 2).psnr));
    // Each square takes its own two rows: stripes a row high average to their middle as well.
    EXPECT_TRUE(std::isinf(compared(peaksOf(9, 7, stripes), peaksOf(9, 7, flat), 2).psnr));
}

// Shrunk 10 x 6 to 3 x 4 (another ratio each way, neither whole), every error lands in one pixel,
// which keeps the largest; the gain rounds up, so the strong errors reach white.
TEST(Difference, ReductionKeepsEachPeakAndTheGainBringsTheStrongToWhite)
{
    const QImage peaks = peaksOf(10, 6, [](int x, int y) { return x == 9 && y == 5 ? 9 : y != 2 ? 0 : x == 4 ? 5 : x == 6 ? 3 : 0; });
    const QImage reduced = peakReduced(peaks, QSize(3, 4));
    ASSERT_EQ(reduced.size(), QSize(3, 4));
    QList<int> levels;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 3; ++x)
            levels << reduced.constScanLine(y)[x];
    EXPECT_EQ(levels, QList<int>({0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 9}));
    // Taller than wide: the last row's peak in the last row.
    EXPECT_EQ(peakReduced(peaksOf(10, 30, [](int x, int y) { return x == 9 && y == 29 ? 7 : 0; }), QSize(2, 3)).pixelColor(1, 2).red(), 7);
    // 200 pixels: the 99.5th percentile is the 199th level, 7, so 255 / 7 = 36.4 gives 37; fewer
    // differing than that, the largest error decides; none, 1.
    const auto level = [](int x, int y) { return y ? 0 : x == 0 ? 100 : x == 1 ? 7 : x == 2 ? 5 : 0; };
    EXPECT_EQ(differenceGain(peaksOf(20, 10, level)), 37);
    EXPECT_EQ(qRed(amplifiedPeaks(peaksOf(20, 10, level), 37).pixel(2, 0)), 185);
    EXPECT_EQ(differenceGain(peaksOf(20, 10, [](int x, int y) { return x == 3 && y == 3 ? 10 : 0; })), 26);
    EXPECT_EQ(differenceGain(peaksOf(20, 10, [](int, int) { return 0; })), 1);
}

// The measure, read back band by band from an encoding of its own, against a save decoded whole; what is
// transparent counts as over white, as the encoder writes it.
TEST(Fidelity, TheMeasureComparesThePixelsASaveWrites)
{
    QTemporaryDir folder;
    QImage picture = testPicture(200, 120).convertToFormat(QImage::Format_ARGB32), overWhite = testPicture(200, 120);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 61; ++x) {
            picture.setPixel(x, y, picture.pixel(x, y) & 0x00FFFFFFu);
            overWhite.setPixel(x, y, qRgb(255, 255, 255));
        }
    ASSERT_EQ(saveJpeg(picture, 200, 120, folder.filePath("saved.jpg"), 30, JpegTarget::Chosen), JpegStatus::Written);
    const QImage saved = decodeJpegBytes(readBytes(folder.filePath("saved.jpg")));
    const std::optional<CompressionMeasure> measure = measureCompression(picture, 30, picture.size());
    ASSERT_TRUE(measure);
    EXPECT_DOUBLE_EQ(measure->fidelity.psnr, compared(overWhite, saved).psnr);
    int mismatches = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 200; ++x) {
            const QRgb a = overWhite.pixel(x, y), b = saved.pixel(x, y);
            const int error = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
            mismatches += measure->peaks.constScanLine(y)[x] != error;
        }
    EXPECT_EQ(mismatches, 0) << "the peaks are not the largest channel errors of the saved pixels";
}

// The save dialog's encodings share one preparation of the picture: what they find must not change. The
// other picture pushes the first out of the cache while it is still held: it comes back, not made again.
TEST(Fidelity, ASharedPreparationGivesTheSameSizesAndMeasures)
{
    const QImage picture = testPicture(203, 117), other = testPicture(117, 203);
    PreparedPictureCache shared;
    const auto held = shared.get(picture, ChromaSampling::Halved);
    for (const int quality : {30, 89, 90, 97}) { // both sides of whole chroma
        SCOPED_TRACE(quality);
        EXPECT_EQ(encodedJpegSize(picture, quality, {}, &shared), encodedJpegSize(picture, quality));
        const auto alone = measureCompression(picture, quality, picture.size());
        const auto sharing = measureCompression(picture, quality, picture.size(), {}, &shared);
        ASSERT_TRUE(alone && sharing);
        EXPECT_EQ(sharing->fidelity.psnr, alone->fidelity.psnr);
        EXPECT_EQ(encodedJpegSize(other, quality, {}, &shared), encodedJpegSize(other, quality));
    }
    EXPECT_EQ(shared.get(picture, ChromaSampling::Halved), held);
    // Every quality of the slider has a size, none beyond it.
    EXPECT_GT(encodedJpegSize(picture, 100).value_or(0), encodedJpegSize(picture, 99).value_or(0));
    EXPECT_FALSE(encodedJpegSize(picture, 0) || encodedJpegSize(picture, 101));
}

} // namespace
