// Loading by content, bad files, EXIF orientation, pictures made to cost (which fail as damaged);
// the reduced decode's scale, the clamped tables of the lowest quality, what the quality estimate reads.
#include <sys/stat.h>

#include <gmock/gmock.h>

#include <QDir>
#include <QTransform>

#include <jpeglib.h>

#include "jpeg/exif_orientation.h"
#include "decoder/jpeg_decoder.h"
#include "decoder/picture_limits.h"
#include "decoder/picture_loader.h"
#include "encoder/save_jpeg.h"
#include "jpeg/quality_estimate.h"
#include "runtime/run_time_error.h"
#include "test_files.h"

namespace {

// A GIF with the palette white, red, blue, green, the whole file's or each frame's own; each frame is one colour
// index, every pixel a clear code and the colour (three bits each, so the table never grows; w * h a multiple of 4,
// so four pixels fill three bytes). The header may claim another size.
QByteArray gif(int w, int h, std::initializer_list<int> frames, QSize claimed = {}, bool framesPalette = false)
{
    claimed = claimed.isEmpty() ? QSize(w, h) : claimed;
    const auto u16 = [](int v) { return QByteArray(1, char(v)) + char(v >> 8); };
    const QByteArray size = u16(claimed.width()) + u16(claimed.height());
    const QByteArray palette("\xFF\xFF\xFF\xFF\0\0\0\0\xFF\0\xFF\0", 12);
    QByteArray out = "GIF89a" + size + (framesPalette ? QByteArray("\x11\0\0", 3) : QByteArray("\x91\0\0", 3) + palette);
    for (int colour : frames) {
        const int code = 4 | colour << 3, four = code | code << 6 | code << 12 | code << 18;
        const QByteArray data = (u16(four) + char(four >> 16)).repeated(qsizetype(w) * h / 4) + '\5'; // then the end
        out += QByteArray("\x2C\0\0\0\0", 5) + size + (framesPalette ? '\x81' + palette : QByteArray(1, '\0')) + '\x02';
        for (qsizetype i = 0; i < data.size(); i += 255)
            out += char(qMin<qsizetype>(255, data.size() - i)) + data.mid(i, 255);
        out += '\0';
    }
    return out + ';';
}

using Decoder = ScratchTest;

// A folder, a FIFO (a plain open would wait for a writer) or a file gone between listing and click too.
TEST_F(Decoder, EmptyCutOversizedOrNoFilesRaiseARunTimeError)
{
    QByteArray random(5000, '\0');
    for (std::uint32_t i = 0, seed = 7; i < 5000; ++i)
        random[i] = char((seed = seed * 1103515245u + 12345u) >> 16);
    const QByteArray baseline = encodedAs(testPicture(256, 256), "JPEG"), progressive = encodedAs(testPicture(256, 256), "JPEG", true);
    const QByteArray jpg = encodedAs(testPicture(16, 16), "JPEG"), bmp = encodedAs(testPicture(64, 64), "BMP"), gif64 = gif(64, 64, {1}), own = gif(64, 64, {1}, {}, true);
    const qsizetype sof = jpg.indexOf("\xFF\xC0") + 5; // the frame's height, then width
    const struct { const char* name; QByteArray bytes; } invalid[] = {
        {"empty.jpg", {}}, {"random.jpg", random}, {"soi.jpg", "\xFF\xD8\xFF" + random}, {"a.png", encodedAs(testPicture(8, 8), "PNG")},
        {"half.jpg", baseline.left(baseline.size() / 2)}, {"halfprog.jpg", progressive.left(progressive.size() / 2)},
        {"half.gif", gif64.left(gif64.size() / 2)}, {"half-own-palette.gif", own.left(own.size() / 2)}, {"half.bmp", bmp.chopped(100)},
        {"padding.bmp", encodedAs(testPicture(5, 3), "BMP").chopped(4)}, // rows of 15 bytes padded to 16; the last padding cut
        {"huge.jpg", QByteArray(jpg).replace(sof, 4, "\xEA\x60\xEA\x60")}, // 60000 x 60000
        {"huge.gif", gif(16, 16, {1}, QSize(60000, 60000))},
        {"huge.bmp", QByteArray(bmp).replace(18, 8, QByteArray("\x60\xEA\0\0\x60\xEA\0\0", 8))},
    };
    for (const auto& c : invalid)
        EXPECT_THROW(LoadPicture(write(c.name, c.bytes)), RunTimeError) << c.name;
    ASSERT_TRUE(QDir(folder.path()).mkdir("x.jpg") && ::mkfifo(QFile::encodeName(path("pipe.jpg")).constData(), 0644) == 0);
    for (const QString& notAFile : {path("gone.jpg"), path("x.jpg/inner.jpg"), QString(), path("x.jpg"), path("pipe.jpg")})
        EXPECT_THROW(LoadPicture(notAFile), RunTimeError) << notAFile.toStdString();
}

TEST(PictureLimit, EachSideUpTo65535AndAtMost2To28Pixels)
{
    const std::tuple<qint64, qint64, bool> cases[] = {{65535, 16, true}, {65536, 16, false}, {16, 65535, true}, {16, 65536, false},
                                                      {65535, 4096, true}, {65535, 4097, false}, {4097, 65535, false}, {1, 0, false}};
    for (const auto& [width, height, allowed] : cases)
        EXPECT_EQ(picture_limits::allows(width, height), allowed) << width << " x " << height;
}

// Qt's turns (clockwise) and mirrors of the upright picture are the reference, 9 is no orientation.
// Odd sizes leave a partial strip of rows where the decoder turns the picture.
TEST_F(Decoder, ExifOrientationTurnsThePictureUpright)
{
    const QByteArray stream = encodedAs(testPicture(37, 21), "JPEG");
    const QImage upright = LoadPicture(write("upright.jpg", stream));
    const int turns[] = {0, 0, 180, 180, 90, 90, 270, 270, 0}, mirrored[] = {0, 1, 0, 1, 1, 0, 1, 0, 0};
    for (int orientation = 1; orientation <= 9; ++orientation)
        for (bool bigEndian : {false, true})
            EXPECT_EQ(LoadPicture(write("o.jpg", stream.left(2) + exifSegment(orientation, bigEndian) + stream.mid(2))),
                      upright.transformed(QTransform().rotate(turns[orientation - 1]))
                          .mirrored(mirrored[orientation - 1], false))
                << "orientation " << orientation << (bigEndian ? ", big-endian" : ", little-endian");
}

TEST(ExifOrientation, MalformedOrMissingTagsMeanUpright)
{
    const QByteArray valid = exifSegment(6, true).mid(4);
    // Cut, not EXIF, the first directory far beyond the payload.
    for (const QByteArray& payload : {valid.chopped(8), QByteArray("XMP, not EXIF"), QByteArray(valid).replace(13, 1, "\x7F")})
        EXPECT_EQ(exifOrientation(payload), 1) << payload.toHex().toStdString();
}

// A mid-grey JPEG from libjpeg, with what Qt's writer cannot make: arithmetic coding (a flat picture
// then costs almost no bytes); the DC scan, then a scan for each of the first `acScans` coefficients of each component.
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

class HostilePictures : public ScratchTest {
protected:
    void expectDamaged(const QString& name, const QByteArray& bytes) const
    {
        EXPECT_THAT([&] { LoadPicture(write(name, bytes)); },
                    testing::Throws<RunTimeError>(testing::Property(&RunTimeError::number, RunTimeError::InvalidPicture)))
            << name.toStdString();
    }
    const QByteArray bottomUpBmp = encodedAs(testPicture(3, 2), "BMP");
    // A 4 x 4 RLE8 BMP, two colours (black, red): each row one run of red, then the end of the bitmap.
    const QByteArray rleBmp = QByteArray("BM\x50\0\0\0\0\0\0\0\x3E\0\0\0" "\x28\0\0\0\x04\0\0\0\x04\0\0\0\x01\0\x08\0\x01\0\0\0\x12\0\0\0"
                                         "\0\0\0\0\0\0\0\0\x02\0\0\0\0\0\0\0" "\0\0\0\0\0\0\xFF\0"
                                         "\x04\x01\0\0\x04\x01\0\0\x04\x01\0\0\x04\x01\0\0\0\x01", 80);
    // One pixel in a two-colour table.
    const QByteArray onePixelGif = QByteArray("GIF89a\x01\0\x01\0\x80\0\0\0\0\0\xFF\0\0\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;", 35);
};

TEST_F(HostilePictures, CostlyOrBrokenFilesFailAsDamaged)
{
    // The first AC scan once more: it claims bits its coefficient already has.
    const QByteArray progressive = flatJpeg(16, 16, true, 2);
    const qsizetype second = progressive.indexOf("\xFF\xDA", progressive.indexOf("\xFF\xDA") + 2);
    const qsizetype third = progressive.indexOf("\xFF\xDA", second + 2);
    const QByteArray flat = flatJpeg(6000, 6000, true); // 144 MB of pixels from a few kilobytes
    ASSERT_LT(flat.size(), 20000);
    const struct { const char* name; QByteArray bytes; } cases[] = {
        {"scans.jpg", flatJpeg(16, 16, false, 63)}, // 190 scans
        {"again.jpg", QByteArray(progressive).insert(third, progressive.mid(second, third - second))},
        {"flat.jpg", flat},
        // Qt paints a GIF's frames on a picture of its logical screen, whatever the first frame's size.
        {"zero-screen.gif", readBytes(QStringLiteral(KIRIVIEW_TEST_DATA "/picture/gif-zero-screen-huge-frame.gif"))},
        {"screen.gif", QByteArray(onePixelGif).replace(6, 4, QByteArray("\xE0\x2E\xE0\x2E", 4))}, // 12000 x 12000
        {"cut-rle.bmp", rleBmp.chopped(10)},
        // Width 0x7FFFFFFF at 0xFFFF bits per pixel: the row size alone overflows 32 bits.
        {"wide.bmp", QByteArray(bottomUpBmp).replace(18, 4, "\xFF\xFF\xFF\x7F").replace(28, 2, "\xFF\xFF")},
    };
    for (const auto& c : cases)
        expectDamaged(c.name, c.bytes);
}

// Each read by its content whatever its name.
TEST_F(HostilePictures, TheValidOddOnesLoad)
{
    EXPECT_EQ(LoadPicture(write("progressive.jpg", flatJpeg(16, 16, true, 2))).size(), QSize(16, 16));
    EXPECT_EQ(LoadPicture(write("small.jpg", flatJpeg(2000, 2000, true))).size(), QSize(2000, 2000));
    EXPECT_EQ(LoadPicture(write("pixel.kir", onePixelGif)).size(), QSize(1, 1));
    EXPECT_EQ(LoadPicture(write("older.gif", QByteArray(onePixelGif).replace(3, 3, "87a"))).size(), QSize(1, 1));
    EXPECT_EQ(LoadPicture(write("frames", gif(30, 20, {1, 2}))).pixel(15, 10), qRgb(255, 0, 0)) << "not the first frame";
    EXPECT_EQ(LoadPicture(write("own.gif", gif(30, 20, {2, 1}, {}, true))).pixel(15, 10), qRgb(0, 0, 255)) << "each frame's palette";
    // 137 MiB of pixels, beyond Qt's own allocation limit for its readers.
    EXPECT_EQ(LoadPicture(write("big.gif", gif(6000, 6000, {3}))).pixel(5999, 5999), qRgb(0, 255, 0));
    EXPECT_EQ(LoadPicture(write("rle.gif", rleBmp)).pixel(0, 0), qRgb(255, 0, 0));
    // The old OS/2 header (12 bytes, 16-bit sides): 2 x 2 pixels, red and green over blue.
    const QByteArray os2("BM\x2A\0\0\0\0\0\0\0\x1A\0\0\0" "\x0C\0\0\0\x02\0\x02\0\x01\0\x18\0"
                         "\xFF\0\0\xFF\0\0\0\0" "\0\0\xFF\0\xFF\0\0\0", 42);
    const QImage old = LoadPicture(write("os2.jpg", os2));
    expectDamaged("short-header.bmp", QByteArray(os2).replace(14, 1, "\x0B")); // 11 bytes: no header at all
    EXPECT_TRUE(old.pixel(0, 0) == qRgb(255, 0, 0) && old.pixel(1, 0) == qRgb(0, 255, 0) && old.pixel(1, 1) == qRgb(0, 0, 255));
    // Rows stored top first, told by a negative height.
    const qsizetype pixels = bottomUpBmp.size() - 2 * 12;
    QByteArray topDown = bottomUpBmp.left(pixels) + bottomUpBmp.mid(pixels + 12) + bottomUpBmp.mid(pixels, 12);
    topDown.replace(22, 4, QByteArray("\xFE\xFF\xFF\xFF", 4));
    EXPECT_EQ(LoadPicture(write("top-down.bmp", topDown)), LoadPicture(write("bottom-up.bmp", bottomUpBmp)));
    // A JPEG lacking only its end marker; heights of whole rows of blocks too, where the decoder reads a row ahead.
    for (const QSize size : {QSize(333, 250), QSize(320, 240)})
        EXPECT_EQ(LoadPicture(write("no-end.bmp", encodedAs(testPicture(size.width(), size.height()), "JPEG").chopped(2))).size(), size);
}

using Codec = ScratchTest;

// The fewest eighths whose rounded-up sides (1001 / 8 gives 126) cover both ways, whichever side decides.
TEST_F(Codec, ReducedDecodeCoversWithTheRoundedUpSides)
{
    const struct { QSize full, cover; int eighths; } cases[] = {
        {{1001, 401}, {126, 51}, 1}, {{1001, 401}, {126, 52}, 2}, {{1001, 401}, {127, 40}, 2},
        {{1000, 400}, {126, 50}, 2}, {{1001, 401}, {876, 351}, 7}, {{1001, 401}, {877, 300}, 8}};
    for (const auto& c : cases)
        EXPECT_EQ(jpegScaleEighths(c.full, c.cover), c.eighths) << testing::PrintToString(c.full) << " covering " << testing::PrintToString(c.cover);
    ASSERT_EQ(saveJpeg(testPicture(1001, 401), 1001, 401, path("a.jpg"), 75, JpegTarget::Chosen), JpegStatus::Written);
    EXPECT_EQ(LoadPicture(path("a.jpg"), QSize(126, 52)).size(), QSize(251, 101));
}

// At quality 1 the example tables scale far past 255: clamped to 8 bits in the division as in the file.
TEST_F(Codec, TheLowestQualityKeepsAFlatColourNearItself)
{
    QImage flat(48, 40, QImage::Format_RGB32);
    flat.fill(qRgb(220, 30, 30));
    ASSERT_EQ(saveJpeg(flat, 48, 40, path("q1.jpg"), 1, JpegTarget::Chosen), JpegStatus::Written);
    const QRgb centre = LoadPicture(path("q1.jpg")).pixel(24, 20);
    EXPECT_TRUE(qRed(centre) > 190 && qGreen(centre) < 60 && qBlue(centre) < 60) << QColor(centre).name().toStdString();
}

// libjpeg's own tables read back exactly, at qualities whose scales do not divide evenly; the
// example luminance table with a flat chrominance one is an encoder's own: no quality.
TEST_F(Codec, OwnChrominanceTableMakesTheQualityUnknown)
{
    const std::vector<unsigned char> row(64 * 3, 128);
    const auto quality = [&](int quality, bool ownChrominance) {
        return estimateJpegQuality(write("q.jpg", libjpegEncoded(64, 48, 3, [&](jpeg_compress_struct& cinfo) {
            jpeg_set_quality(&cinfo, quality, TRUE);
            const unsigned int flat[DCTSIZE2] = {2};
            if (ownChrominance)
                jpeg_add_quant_table(&cinfo, 1, flat, 100, TRUE);
        }, [&](int) { return row.data(); }))).quality;
    };
    for (const int q : {3, 17, 49, 50, 51, 77, 99})
        ASSERT_EQ(quality(q, false), q);
    EXPECT_EQ(quality(75, true), std::nullopt);
}

using PictureLimits = ScratchTest; // run on their own, with a memory cap

TEST_F(PictureLimits, ATruncated20000SquareJpegFailsWithin300MB)
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
