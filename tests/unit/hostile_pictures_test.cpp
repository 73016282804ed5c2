// Pictures made to cost: many scans, tiny files claiming huge sizes, odd BMP headers and cuts.
// Each fails quickly, before its pixels take memory, with the damaged-picture error; the valid odd ones load.
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "decoder/picture_loader.h"
#include "runtime/run_time_error.h"
#include "test_files.h"

namespace {

// A mid-grey JPEG from libjpeg itself, which Qt's writer cannot make: arithmetic coding
// (a flat picture then costs almost no bytes), and the DC scan followed by one scan for
// each of the first `acScans` coefficients of each colour component, every one valid.
QByteArray flatJpeg(int width, int height, bool arithmetic, int acScans = 0)
{
    std::vector<jpeg_scan_info> scans;
    if (acScans > 0)
        scans.push_back({3, {0, 1, 2, 0}, 0, 0, 0, 0});
    for (int component = 0; acScans > 0 && component < 3; ++component)
        for (int k = 1; k <= acScans; ++k)
            scans.push_back({1, {component, 0, 0, 0}, k, k, 0, 1}); // the low bit left out
    const std::vector<JSAMPLE> row(std::size_t(width) * 3, 128);
    return libjpegEncoded(width, height, 3, [&](jpeg_compress_struct& cinfo) {
        cinfo.arith_code = arithmetic;
        cinfo.scan_info = scans.empty() ? nullptr : scans.data();
        cinfo.num_scans = scans.empty() ? cinfo.num_scans : int(scans.size());
    }, [&](int) { return row.data(); });
}

// A 4 x 4 RLE8 BMP, two colours (black, red): each row one run of red.
QByteArray rleBmp(int rowsCoded)
{
    const auto u16 = [](int v) { return QByteArray(1, char(v)) + char(v >> 8); };
    const auto u32 = [&](int v) { return u16(v) + u16(v >> 16); };
    QByteArray data;
    for (int row = 0; row < rowsCoded; ++row)
        data += QByteArray("\x04\x01\0\0", 4);
    if (rowsCoded == 4)
        data += QByteArray("\0\x01", 2);
    const QByteArray info = u32(40) + u32(4) + u32(4) + u16(1) + u16(8) + u32(1) + u32(int(data.size())) + u32(0) + u32(0) + u32(2) + u32(0);
    const QByteArray palette("\0\0\0\0\0\0\xFF\0", 8);
    return "BM" + u32(14 + 40 + 8 + int(data.size())) + u32(0) + u32(14 + 40 + 8) + info + palette + data;
}

class HostilePictures : public ScratchTest {
protected:
    void expectDamaged(const QString& name, const QByteArray& bytes) const
    {
        try {
            LoadPicture(write(name, bytes));
            ADD_FAILURE() << name.toStdString() << " loaded";
        } catch (const RunTimeError& error) {
            EXPECT_EQ(error.number(), RunTimeError::InvalidPicture) << name.toStdString() << ": " << error.what();
        }
    }
};

TEST_F(HostilePictures, EndlessScansAndScansThatBreakTheProgressionAreRefused)
{
    expectDamaged("scans.jpg", flatJpeg(16, 16, false, 63)); // 190 scans
    // The first AC scan once more: it claims bits its coefficient already has.
    const QByteArray progressive = flatJpeg(16, 16, true, 2);
    EXPECT_EQ(LoadPicture(write("progressive.jpg", progressive)).size(), QSize(16, 16));
    const qsizetype second = progressive.indexOf("\xFF\xDA", progressive.indexOf("\xFF\xDA") + 2);
    const qsizetype third = progressive.indexOf("\xFF\xDA", second + 2);
    expectDamaged("again.jpg", QByteArray(progressive).insert(third, progressive.mid(second, third - second)));
}

TEST_F(HostilePictures, ATinyFileMayNotClaimAHugePicture)
{
    const QByteArray jpeg = flatJpeg(6000, 6000, true); // 144 MB of pixels from a few kilobytes
    ASSERT_LT(jpeg.size(), 20000);
    expectDamaged("flat.jpg", jpeg);
    EXPECT_EQ(LoadPicture(write("small.jpg", flatJpeg(2000, 2000, true))).size(), QSize(2000, 2000));

    // Qt paints a GIF's frames on a picture of its logical screen, whatever the first frame's size.
    const QByteArray zeroScreen = readBytes(QStringLiteral(KIRIVIEW_TEST_DATA "/picture/gif-zero-screen-huge-frame.gif"));
    ASSERT_FALSE(zeroScreen.isEmpty());
    expectDamaged("zero-screen.gif", zeroScreen);
    // One pixel in a two-colour table; the screen then claims 12000 x 12000.
    QByteArray gif = QByteArray("GIF89a\x01\0\x01\0\x80\0\0\0\0\0\xFF\0\0\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;", 35);
    EXPECT_EQ(LoadPicture(write("pixel.gif", gif)).size(), QSize(1, 1));
    expectDamaged("screen.gif", gif.replace(6, 4, QByteArray("\xE0\x2E\xE0\x2E", 4)));
}

TEST_F(HostilePictures, BmpHeadersAndCuts)
{
    EXPECT_EQ(LoadPicture(write("rle.bmp", rleBmp(4))).pixel(0, 0), qRgb(255, 0, 0));
    expectDamaged("cut-rle.bmp", rleBmp(2));

    // Rows stored top first, told by a negative height.
    const QImage picture = testPicture(3, 2);
    const QByteArray bottomUp = encodedAs(picture, "BMP");
    const qsizetype pixels = bottomUp.size() - 2 * 12;
    QByteArray topDown = bottomUp.left(pixels) + bottomUp.mid(pixels + 12) + bottomUp.mid(pixels, 12);
    topDown.replace(22, 4, QByteArray("\xFE\xFF\xFF\xFF", 4));
    EXPECT_EQ(LoadPicture(write("top-down.bmp", topDown)), LoadPicture(write("bottom-up.bmp", bottomUp)));

    // Width 0x7FFFFFFF at 0xFFFF bits per pixel: the row size alone overflows 32 bits.
    expectDamaged("wide.bmp", QByteArray(bottomUp).replace(18, 4, "\xFF\xFF\xFF\x7F").replace(28, 2, "\xFF\xFF"));
}

using PictureLimits = HostilePictures; // run on their own, with a memory cap

TEST_F(PictureLimits, ATruncatedJpegClaiming20000By20000FailsWithinAFewHundredMegabytes)
{
    QByteArray jpeg = encodedAs(testPicture(64, 64), "JPEG");
    // The frame header holds height and width after its length and precision; the cut leaves the scan empty.
    const qsizetype frame = jpeg.indexOf("\xFF\xC0"), scan = jpeg.indexOf("\xFF\xDA");
    jpeg.replace(frame + 5, 4, "\x4E\x20\x4E\x20"); // 20000 x 20000: 1.6 GB as 32-bit pixels
    const QString path = write("huge.jpg", jpeg.left(scan + 40));
    const int code = exitCodeUnderMemoryCap(300 << 20, [&] {
        try {
            LoadPicture(path);
        } catch (const RunTimeError& error) {
            return error.number() & 0xFF;
        }
        return 101;
    });
    // 7 (out of memory) would mean the claimed size was allocated before the data ran out.
    EXPECT_EQ(code, RunTimeError::InvalidPicture & 0xFF);
}

} // namespace
