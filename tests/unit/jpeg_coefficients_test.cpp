// The coefficient path of the encoder: libjpeg's own file from the standard
// settings, trellis quantization's costs, the chroma chosen, the tables read back.
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QTemporaryDir>

#include <jpeglib.h>

#include "jpeg/jpeg_markers.h"
#include "encoder/coefficient_quantizer.h"
#include "encoder/jpeg_compressor.h"
#include "encoder/prepared_picture.h"
#include "jpeg/quality_estimate.h"
#include "encoder/save_jpeg.h"
#include "encoder/scanline_source.h"
#include "test_files.h"

namespace {

// Texture and noise at every scale over testPicture's gradients.
QImage noisyPicture(int width, int height)
{
    QImage picture = testPicture(width, height).convertToFormat(QImage::Format_RGB888);
    std::mt19937 random(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            picture.scanLine(y)[x] = uchar(std::clamp(int(picture.scanLine(y)[x]) + int(random() % 61) - 30, 0, 255));
    return picture;
}

QByteArray encoded(const QImage& picture, int quality, const JpegEncoding& encoding,
                   HuffmanTables tables = HuffmanTables::Optimized, const JpegMarkers* markers = nullptr)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(compressJpeg(ScanlineSource(picture), quality, buffer, {}, markers, tables, encoding), CompressResult::Done);
    return buffer.data();
}

// libjpeg-turbo's own encoder from the rows (RGB888 or grey): its quality, sampling and Huffman tables.
QByteArray libjpegOwn(const QImage& picture, int quality, int chromaFactor, bool optimize)
{
    const bool grey = picture.format() == QImage::Format_Grayscale8;
    return libjpegEncoded(picture.width(), picture.height(), grey ? 1 : 3, [&](jpeg_compress_struct& cinfo) {
        if (grey)
            jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
        jpeg_set_quality(&cinfo, quality, TRUE);
        cinfo.optimize_coding = optimize ? TRUE : FALSE;
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = chromaFactor;
    }, [&](int y) { return picture.constScanLine(y); });
}

const JpegEncoding reference(ChromaSampling sampling) { return {QuantTables::Standard, false, sampling}; }

// Each component's sampling factors, as in the frame header: one byte per component.
QByteArray samplingOf(const QByteArray& file)
{
    const qsizetype sof = file.indexOf("\xFF\xC0");
    QByteArray sampling;
    for (int c = 0; sof >= 0 && c < file[sof + 9]; ++c)
        sampling += file[sof + 11 + 3 * c];
    return sampling;
}

} // namespace

// Sizes with partial blocks at both edges, an odd number of luminance blocks across an MCU and a last
// chroma row made of one pixel row; grey as one component, from grey pixels whatever their format.
TEST(CoefficientPath, StandardSettingsWriteLibjpegsOwnFileByteForByte)
{
    for (const QSize size : {QSize(203, 117), QSize(33, 17), QSize(8, 9), QSize(1, 1)})
        for (const int quality : {7, 50, 93}) {
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " at " << quality);
            const QImage picture = noisyPicture(size.width(), size.height());
            EXPECT_TRUE(encoded(picture, quality, reference(ChromaSampling::Halved)) == libjpegOwn(picture, quality, 2, true))
                << "4:2:0";
            EXPECT_TRUE(encoded(picture, quality, reference(ChromaSampling::Full)) == libjpegOwn(picture, quality, 1, true))
                << "4:4:4";
            EXPECT_TRUE(encoded(picture, quality, reference(ChromaSampling::Halved), HuffmanTables::Standard)
                        == libjpegOwn(picture, quality, 2, false)) << "standard Huffman tables";
        }
    const QImage grey = noisyPicture(75, 41).convertToFormat(QImage::Format_Grayscale8);
    EXPECT_TRUE(encoded(grey, 60, reference(ChromaSampling::Halved)) == libjpegOwn(grey, 60, 1, true));
    EXPECT_TRUE(encoded(grey.convertToFormat(QImage::Format_RGB32), 60, reference(ChromaSampling::Full)) == libjpegOwn(grey, 60, 1, true));
}

// Chroma halved below quality 90 and whole from it; grey pixels as one component unless a colour profile says RGB.
TEST(CoefficientPath, TheProgramsChromaFollowsQualityAndGreyStaysOneComponent)
{
    const QImage picture = noisyPicture(64, 40);
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
    QImage tinted = grey;
    tinted.setPixel(63, 39, qRgb(10, 10, 11)); // one pixel with colour, at the far corner
    JpegMarkers rgb, greyProfile;
    rgb.icc = greyProfile.icc = QByteArray(128, '\0');
    rgb.icc.replace(16, 4, "RGB ");
    greyProfile.icc.replace(16, 4, "GRAY");
    const struct { const char* what; QImage picture; int quality; const JpegMarkers* markers; QByteArray sampling; } cases[] = {
        {"grey", grey, 95, nullptr, "\x11"},
        {"one pixel of colour", tinted, 95, nullptr, "\x11\x11\x11"},
        {"below whole chroma", picture, fullChromaQuality - 1, nullptr, "\x22\x11\x11"},
        {"whole chroma", picture, fullChromaQuality, nullptr, "\x11\x11\x11"},
        {"grey, an RGB profile", grey, 60, &rgb, "\x22\x11\x11"},
        {"grey, a grey profile", grey, 60, &greyProfile, "\x11"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(samplingOf(encoded(c.picture, c.quality, {}, HuffmanTables::Optimized, c.markers)), c.sampling) << c.what;
    QTemporaryDir folder;
    PreparedPictureCache cache;
    ASSERT_EQ(saveJpeg(grey, 64, 40, folder.filePath("p.jpg"), 60, JpegTarget::ProgramOwn, {}, &rgb, &cache), JpegStatus::Written);
    EXPECT_EQ(samplingOf(readBytes(folder.filePath("p.jpg"))).size(), 3) << "through the preview's cache";
}

TEST(QualityEstimate, TheProgramsOwnTablesAreReadBackAtTheirQuality)
{
    const QImage picture = noisyPicture(48, 40);
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    for (const int quality : {1, 7, 23, 50, 83, 89, 90, 97, 100}) {
        SCOPED_TRACE(quality);
        const QByteArray own = encoded(picture, quality, {});
        EXPECT_NEAR(estimateJpegQualityFromBytes(own).quality.value_or(-10), quality, 1);
        EXPECT_NEAR(estimateJpegQualityFromBytes(encoded(grey, quality, {})).quality.value_or(-10), quality, 1) << "grey";
    }
}

TEST(Trellis, NeverRaisesABlocksCostAndCountsTheSymbolsItChose)
{
    std::mt19937 random(11);
    QuantValues values{};
    for (std::size_t i = 0; i < 64; ++i)
        values[i] = std::uint16_t(3 + (i % 8 + i / 8) * 5 + random() % 7);
    int lowered = 0;
    for (int n = 0; n < 2000; ++n) {
        CoefficientBlock block{};
        // Laplacian-like coefficients, falling with frequency as in photos; the scale varies per block.
        const double scale = 20.0 + double(random() % 2000);
        for (std::size_t i = 0; i < 64; ++i) {
            std::exponential_distribution<double> magnitude(1.0 + double(i % 8 + i / 8));
            const double value = scale * magnitude(random) * (random() % 2 ? 1 : -1);
            block[i] = std::int16_t(std::clamp(value, -8000.0, 8000.0));
        }
        const AcRateModel& rate = standardAcRate(n % 2 == 0);
        const double lambda = n % 3 == 0 ? 0.05 : trellisLambda * (1 + n % 4);
        std::int16_t rounded[64], chosen[64];
        roundBlock(block, values, rounded);
        AcSymbolCounts counted{}, recounted{};
        trellisBlock(block, values, rate, lambda, chosen, &counted);
        countAcSymbols(chosen, recounted);
        ASSERT_TRUE(counted == recounted) << "the symbols the Huffman tables are fitted to, block " << n;
        const double before = acCost(block, values, rate, lambda, rounded), after = acCost(block, values, rate, lambda, chosen);
        ASSERT_LE(after, before * (1 + 1e-6)) << "block " << n; // the search adds in single precision
        ASSERT_EQ(chosen[0], rounded[0]) << "the DC is rounded";
        for (int i = 1; i < 64; ++i)
            ASSERT_TRUE(chosen[i] == rounded[i] || chosen[i] == rounded[i] - (rounded[i] > 0 ? 1 : -1) || chosen[i] == 0)
                << "block " << n << " coefficient " << i << ": " << chosen[i] << " from " << rounded[i];
        lowered += after < before * (1 - 1e-6);
    }
    EXPECT_GT(lowered, 500);
}

// Chains short enough to try every choice: the trellis must find the cheapest.
TEST(Trellis, DcChainIsTheCheapestAndKeepsTheBandsLastBlock)
{
    std::mt19937 random(5);
    for (int n = 0; n < 400; ++n) {
        // DCs drifting as over a photo, with now and then an edge.
        std::vector<std::int16_t> dc(std::size_t(1 + n % 9)), rounded(dc.size()), chosen(dc.size()), tried(dc.size());
        int at = int(random() % 16000) - 8000;
        for (std::int16_t& coefficient : dc) {
            at = std::clamp(at + int(random() % 301) - 150 + (random() % 9 == 0 ? int(random() % 4001) - 2000 : 0),
                            -8184, 8184);
            coefficient = std::int16_t(at);
        }
        const int value = 2 + n % 23, previous = int(random() % 201) - 100;
        const bool keepLast = n % 2 == 1;
        const double lambda = trellisLambda * (1 + n % 5);
        const DcRateModel& rate = standardDcRate(n % 3 == 0);
        for (std::size_t i = 0; i < dc.size(); ++i)
            rounded[i] = std::int16_t(roundedLevel(dc[i], value));
        trellisDc(dc, value, previous, keepLast, rate, lambda, chosen);
        double cheapest = std::numeric_limits<double>::infinity();
        for (unsigned pick = 0; pick < 1u << dc.size(); ++pick) {
            if (keepLast && pick >> (dc.size() - 1) & 1)
                continue;
            for (std::size_t i = 0; i < dc.size(); ++i)
                tried[i] = std::int16_t(rounded[i] + (pick >> i & 1 ? (dc[i] > rounded[i] * 8.0 * value ? 1 : -1) : 0));
            cheapest = std::min(cheapest, dcCost(dc, value, previous, rate, lambda, tried));
        }
        ASSERT_NEAR(dcCost(dc, value, previous, rate, lambda, chosen), cheapest, 1e-9) << "chain " << n;
        for (std::size_t i = 0; i < dc.size(); ++i)
            ASSERT_LE(std::abs(chosen[i] - dc[i] / (8.0 * value)), 1.0) << "chain " << n << " block " << i;
        ASSERT_TRUE(!keepLast || chosen.back() == rounded.back()) << "the next band starts from it, chain " << n;
    }
}
