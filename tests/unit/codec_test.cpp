// The codec room at its edges: the reduced decode's scale, the headers the
// encoder writes at the lowest qualities, and what the quality estimate reads.
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <gtest/gtest.h>

#include <jpeglib.h>

#include "decoder/picture_loader.h"
#include "decoder/quality_estimate.h"
#include "encoder/save_jpeg.h"
#include "test_files.h"

namespace {

using Codec = ScratchTest;

// A side that is no multiple of 8 scales to a rounded-up side (1001 / 8 gives
// 126 pixels), so one eighth already covers 126.
TEST_F(Codec, ReducedDecodeCoversWithTheRoundedUpSide)
{
    const struct { int side, needed, decoded; } cases[] = {{1001, 126, 126}, {1001, 127, 251}, {1000, 126, 250}};
    for (const auto& c : cases) {
        const QString file = path(QString("side%1.jpg").arg(c.side));
        ASSERT_EQ(saveJpeg(testPicture(c.side, c.side), c.side, c.side, file, 75, JpegTarget::Chosen), JpegStatus::Written);
        EXPECT_EQ(LoadPicture(file, QSize(c.needed, c.needed)).size(), QSize(c.decoded, c.decoded))
            << c.side << " covering " << c.needed;
    }
}

// The frame marker and the precision of each quantization table, read from
// the segments up to the first scan.
struct Header { int frameMarker = 0; bool sixteenBitTable = false; int tables = 0; };

Header headerOf(const QByteArray& file)
{
    Header header;
    const auto byte = [&](qsizetype at) { return at < file.size() ? int(uchar(file[at])) : 0; };
    qsizetype at = 2; // after SOI
    while (at + 4 <= file.size() && byte(at) == 0xFF) {
        const int marker = byte(at + 1);
        const qsizetype length = byte(at + 2) << 8 | byte(at + 3);
        if (marker == 0xDA)
            break;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            header.frameMarker = 0xFF00 | marker;
        for (qsizetype table = at + 4; marker == 0xDB && table < at + 2 + length; ++header.tables) {
            const bool sixteen = byte(table) >> 4 != 0;
            header.sixteenBitTable = header.sixteenBitTable || sixteen;
            table += 1 + (sixteen ? 128 : 64);
        }
        at += 2 + length;
    }
    return header;
}

// At quality 10 and below the example tables scale past 255; a baseline file
// clamps them to 8 bits, which every decoder reads.
TEST_F(Codec, LowQualitiesStillWriteBaselineEightBitTables)
{
    for (const int quality : {1, 10}) {
        const QString file = path(QString("q%1.jpg").arg(quality));
        ASSERT_EQ(saveJpeg(testPicture(64, 48), 64, 48, file, std::uint8_t(quality), JpegTarget::Chosen), JpegStatus::Written);
        const Header header = headerOf(readBytes(file));
        EXPECT_EQ(std::tuple(QByteArray::number(header.frameMarker, 16), header.tables, header.sixteenBitTable),
                  std::tuple(QByteArray("ffc0"), 2, false)) << "frame marker, tables and 16-bit table at quality " << quality;
    }
}

// The example luminance table at 75 with a flat chrominance table of its own:
// an encoder's own tables, not a scale of the example ones.
TEST_F(Codec, OwnChrominanceTableMakesTheQualityUnknown)
{
    std::vector<unsigned char> row(64 * 3, 128);
    const auto encoded = [&](bool ownChrominance) {
        return libjpegEncoded(64, 48, 3, [&](jpeg_compress_struct& cinfo) {
            jpeg_set_quality(&cinfo, 75, TRUE);
            if (ownChrominance) {
                unsigned int flat[DCTSIZE2];
                std::fill(std::begin(flat), std::end(flat), 2u);
                jpeg_add_quant_table(&cinfo, 1, flat, 100, TRUE);
            }
        }, [&](int) { return row.data(); });
    };
    const QString standard = write("standard.jpg", encoded(false));
    ASSERT_EQ(estimateJpegQuality(standard).quality, 75); // the file is otherwise read as it should be
    const SourceQuality own = estimateJpegQuality(write("own.jpg", encoded(true)));
    EXPECT_TRUE(own.jpeg);
    EXPECT_EQ(own.quality, std::nullopt);
}

} // namespace
