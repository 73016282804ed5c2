// Pictures of every pixel format reach the encoder with the colours they
// show on screen: transparency over white, palettes and grey as colours.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "encoder/save_jpg.h"

#include "jpeg_test_files.h"

using namespace jpeg_test;

namespace {

class EncoderSources : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QByteArray encoded(const QImage& source, const QString& name, int quality = 60) const
    {
        const QString path = folder.filePath(name);
        EXPECT_EQ(DCSavetoJPEG(source, source.width(), source.height(), path,
                               static_cast<std::uint8_t>(quality), 0),
                  jpeg_status::Written);
        return fileBytes(path);
    }

    QTemporaryDir folder;
};

// The picture as it shows on a white window.
QImage overWhite(const QImage& picture)
{
    QImage shown(picture.size(), QImage::Format_RGB32);
    shown.fill(Qt::white);
    QPainter painter(&shown);
    painter.drawImage(0, 0, picture);
    return shown;
}

// Opaque colours in a few distinct values, so every format below holds them
// exactly or as Qt converts them.
QImage fewColours()
{
    QImage picture = photoLike(97, 61);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] = qRgb(qRed(line[x]) & 0xC0, qGreen(line[x]) & 0xE0, qBlue(line[x]) & 0x80);
    }
    return picture;
}

// Whole rows opaque, whole rows with transparent runs, alpha only 0 or 255,
// so the colours on screen are exact and rows of both kinds are mixed.
QImage withHoles(QImage::Format format)
{
    QImage picture = photoLike(90, 70).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const bool hole = (y >= 20 && y < 45 && x >= 10 && x < 60) || (y % 9 == 4 && x > 70);
            if (hole)
                line[x] = qRgba(qRed(line[x]), 0, 200, 0); // colour that must not show
        }
    }
    return picture.convertToFormat(format);
}

TEST_F(EncoderSources, OpaqueFormatsEncodeExactlyAsTheirColoursInRgb32)
{
    const QImage reference = fewColours();
    const QImage::Format formats[] = {
        QImage::Format_ARGB32,          QImage::Format_ARGB32_Premultiplied,
        QImage::Format_RGB888,          QImage::Format_BGR888,
        QImage::Format_RGBX8888,        QImage::Format_RGBA8888,
        QImage::Format_RGBA8888_Premultiplied,
        QImage::Format_Indexed8,        QImage::Format_Grayscale8,
        QImage::Format_Grayscale16,     QImage::Format_RGB16,
        QImage::Format_RGB30,           QImage::Format_RGBA64,
        QImage::Format_Mono,
    };
    for (QImage::Format format : formats) {
        SCOPED_TRACE(format);
        const QImage source = reference.convertToFormat(format);
        ASSERT_EQ(source.format(), format);
        const QImage colours = source.convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(encoded(source, "format.jpg"), encoded(colours, "rgb32.jpg"));
    }
    EXPECT_EQ(entriesOf(folder.path()), (QStringList{"format.jpg", "rgb32.jpg"}));
}

TEST_F(EncoderSources, TransparentPixelsComeOutWhite)
{
    const QImage::Format formats[] = {
        QImage::Format_ARGB32_Premultiplied, QImage::Format_ARGB32,
        QImage::Format_RGBA8888,             QImage::Format_RGBA8888_Premultiplied,
        QImage::Format_ARGB4444_Premultiplied, QImage::Format_Indexed8,
    };
    for (QImage::Format format : formats) {
        SCOPED_TRACE(format);
        const QImage source = withHoles(format);
        ASSERT_EQ(source.format(), format);
        ASSERT_TRUE(source.hasAlphaChannel());
        EXPECT_EQ(encoded(source, "transparent.jpg"), encoded(overWhite(source), "shown.jpg"));
    }
}

TEST_F(EncoderSources, HalfTransparentPixelsBlendWithWhite)
{
    // Blocks larger than the 16-pixel chroma cells, checked in their middle.
    QImage straight(64, 64, QImage::Format_ARGB32);
    // Mid-range channels: straight and premultiplied readings of them differ.
    straight.fill(qRgba(200, 100, 0, 128));
    QImage indexed(64, 64, QImage::Format_Indexed8);
    indexed.setColorTable({qRgba(40, 160, 255, 64)});
    indexed.fill(0);
    const struct {
        const char* what;
        QImage source;
        QRgb expected;
    } cases[] = {
        {"premultiplied", straight.convertToFormat(QImage::Format_ARGB32_Premultiplied),
         qRgb(227, 177, 127)},
        {"straight", straight, qRgb(227, 177, 127)},
        {"palette", indexed, qRgb(201, 231, 255)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        encoded(c.source, "blend.jpg", 95);
        const QRgb centre = decode(folder.filePath("blend.jpg")).pixel(32, 32);
        EXPECT_NEAR(qRed(centre), qRed(c.expected), 3);
        EXPECT_NEAR(qGreen(centre), qGreen(c.expected), 3);
        EXPECT_NEAR(qBlue(centre), qBlue(c.expected), 3);
    }
}

TEST_F(EncoderSources, GreyPictureStaysGrey)
{
    QImage grey(80, 40, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x)
            grey.scanLine(y)[x] = static_cast<uchar>(x * 3);
    encoded(grey, "grey.jpg", 90);
    const QImage decoded = decode(folder.filePath("grey.jpg"));
    ASSERT_EQ(decoded.size(), grey.size());
    EXPECT_LE(meanDifference(decoded, grey), 2.0);
    for (int x = 0; x < decoded.width(); x += 7) {
        const QRgb pixel = decoded.pixel(x, 20);
        EXPECT_NEAR(qRed(pixel), qBlue(pixel), 2) << "at x " << x;
        EXPECT_NEAR(qGreen(pixel), qBlue(pixel), 2) << "at x " << x;
    }
}

TEST_F(EncoderSources, PaletteIndicesOutsideTheTableShowBlack)
{
    // A GIF frame may use an index its palette does not define.
    QImage indexed(32, 32, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 255, 0)});
    indexed.fill(7);
    QImage black(32, 32, QImage::Format_RGB32);
    black.fill(Qt::black);
    EXPECT_EQ(encoded(indexed, "undefined.jpg"), encoded(black, "black.jpg"));
}

} // namespace
