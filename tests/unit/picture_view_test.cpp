// Pictures decoded for the image window: smaller but looking the same, the
// natural size from the header, and the full size from the very bytes shown.

#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <jpeglib.h>

#include "controls/image_control.h"
#include "decoder/picture_loader.h"
#include "decoder/picture_source.h"
#include "test_files.h"

namespace {

const QSize box(667, 667); // the enlarged box at 15 twips per pixel

// Soft light and shapes, like a photo; fine checkerboards would only measure aliasing.
QImage photoLike(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb(int(127 + 100 * std::sin(x * 0.011) * std::cos(y * 0.007)),
                                        (x * 255 / width + y * 96 / height) % 256,
                                        int(127 + 120 * std::sin((x + 2 * y) * 0.004))));
    return picture;
}

// libjpeg at quality 92 with the given sampling: 1 for 4:4:4, 2 for 4:2:0; gray with one component.
QByteArray libjpegEncoded(const QImage& picture, int sampling, bool gray)
{
    const QImage rgb = picture.convertToFormat(gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_compress_struct cinfo {};
    jpeg_error_mgr errors {};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(rgb.width());
    cinfo.image_height = JDIMENSION(rgb.height());
    cinfo.input_components = gray ? 1 : 3;
    cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 92, TRUE);
    cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = sampling;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uchar*>(rgb.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

// An APP1 block saying the camera was held upright (orientation 6).
QByteArray turnedUpright(const QByteArray& jpeg)
{
    const QByteArray payload = QByteArray("Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 32);
    const int length = int(payload.size()) + 2;
    return jpeg.left(2) + "\xFF\xE1" + char(length >> 8) + char(length & 255) + payload + jpeg.mid(2);
}

double psnr(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                sum += d * d;
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

TEST(PictureView, ReducedDecodeLooksLikeTheFullOneFittedAndKeepsTheNaturalSize)
{
    const QImage photo = photoLike(3000, 2000);
    const struct {
        const char* kind;
        QByteArray jpeg;
        QSize natural;
    } cases[] = {
        {"baseline 4:2:0", libjpegEncoded(photo, 2, false), QSize(3000, 2000)},
        {"progressive", encodedAs(photo, "JPEG", true), QSize(3000, 2000)},
        {"4:4:4", libjpegEncoded(photo, 1, false), QSize(3000, 2000)},
        {"grayscale", libjpegEncoded(photo, 1, true), QSize(3000, 2000)},
        {"EXIF orientation 6", turnedUpright(libjpegEncoded(photo, 2, false)), QSize(2000, 3000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        QSize natural;
        const QImage reduced = decodePicture(c.jpeg, box, &natural);
        const QImage full = decodePicture(c.jpeg);
        EXPECT_EQ(natural, c.natural);
        EXPECT_EQ(full.size(), c.natural);
        // The smallest eighth covering the fitted view: 750 x 500 (turned 500 x 750) for 667 x 444.
        EXPECT_EQ(reduced.size(), c.natural / 4);
        const QSize fitted = c.natural.scaled(box, Qt::KeepAspectRatio);
        EXPECT_GE(psnr(stretchPicture(reduced, fitted), stretchPicture(full, fitted)), 38.0);
    }
}

TEST(PictureView, FullSizeComesFromTheShownBytesOrAnUnchangedFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    const QByteArray shownBytes = encodedAs(photoLike(1600, 1200), "JPEG");
    ASSERT_TRUE(writeBytes(path, shownBytes));
    const ShownPicture kept = readForView(path, box);
    const ShownPicture notKept = readForView(path, box, nullptr, 0);
    EXPECT_EQ(kept.picture.size(), QSize(800, 600));
    EXPECT_EQ(notKept.source->decodeFull(), decodePicture(shownBytes)); // unchanged: read again

    // Replaced by another picture of the same size under the same name.
    const QString other = dir.filePath(QStringLiteral("other.jpg"));
    ASSERT_TRUE(writeBytes(other, encodedAs(photoLike(1600, 1200).mirrored(true, false), "JPEG")));
    ASSERT_TRUE(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()) == 0);
    const QImage full = kept.source->decodeFull();
    EXPECT_EQ(full, decodePicture(shownBytes));
    EXPECT_NE(full, LoadPicture(path));
    EXPECT_THROW(notKept.source->decodeFull(), FileChangedError);
}

} // namespace
