// The codec room at its edges: the reduced decode's scale, the headers the
// encoder writes at the lowest qualities, and what the quality estimate reads.
#include <algorithm>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <gtest/gtest.h>

#include <jpeglib.h>

#include "decoder/picture_loader.h"
#include "jpeg/quality_estimate.h"
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

// The number of quantization tables and their largest step, as libjpeg reads them.
std::pair<int, int> tablesOf(const QByteArray& file)
{
    jpeg_decompress_struct cinfo {};
    jpeg_error_mgr errors {};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(file.constData()), file.size());
    jpeg_read_header(&cinfo, TRUE);
    std::pair<int, int> tables;
    for (const JQUANT_TBL* table : cinfo.quant_tbl_ptrs)
        if (table) {
            ++tables.first;
            tables.second = std::max(tables.second, int(*std::max_element(table->quantval, table->quantval + DCTSIZE2)));
        }
    jpeg_destroy_decompress(&cinfo);
    return tables;
}

// At quality 10 and below the example tables scale past 255; a baseline file
// clamps them to 8 bits, which every decoder reads.
TEST_F(Codec, LowQualitiesStillWriteBaselineEightBitTables)
{
    for (const int quality : {1, 10}) {
        const QString file = path(QString("q%1.jpg").arg(quality));
        ASSERT_EQ(saveJpeg(testPicture(64, 48), 64, 48, file, std::uint8_t(quality), JpegTarget::Chosen), JpegStatus::Written);
        EXPECT_EQ(tablesOf(readBytes(file)), std::pair(2, 255)) << "tables and largest step at quality " << quality;
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
    ASSERT_EQ(estimateJpegQuality(write("standard.jpg", encoded(false))).quality, 75); // read as it should be otherwise
    EXPECT_EQ(estimateJpegQuality(write("own.jpg", encoded(true))).quality, std::nullopt);
}

} // namespace
