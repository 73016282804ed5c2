#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include "encoder/save_jpg.h"
#include "forms/save/preview_picture.h"
#include "platform/run_time_error.h"
#include "save_dialog_fixture.h"

namespace {

int errorNumberOf(const QString& path, QSize cover)
{
    try {
        loadPreviewPicture(path, cover);
    } catch (const RunTimeError& error) {
        return error.number();
    }
    return 0;
}

// Largest difference of any channel between two pictures of the same size, averaged over 4 x 4 cells.
int largestCellDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y + 4 <= a.height(); y += 4)
        for (int x = 0; x + 4 <= a.width(); x += 4) {
            int sum[3] = {};
            for (int dy = 0; dy < 4; ++dy)
                for (int dx = 0; dx < 4; ++dx) {
                    const QRgb p = a.pixel(x + dx, y + dy);
                    const QRgb q = b.pixel(x + dx, y + dy);
                    sum[0] += qRed(p) - qRed(q);
                    sum[1] += qGreen(p) - qGreen(q);
                    sum[2] += qBlue(p) - qBlue(q);
                }
            for (int s : sum)
                largest = std::max(largest, std::abs(s) / 16);
        }
    return largest;
}

class PreviewPictureTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QString writeJpeg(const QString& name, const QImage& picture, int quality = 90)
    {
        const QString path = dir_.filePath(name);
        EXPECT_EQ(DCSavetoJPEG(picture, picture.width(), picture.height(), path, std::uint8_t(quality), 0), 0);
        return path;
    }
    QTemporaryDir dir_;
};

TEST(PreviewScale, SmallestEighthThatCoversBothSides)
{
    // 20 megapixels at five times a 133 x 89 pixel base: one eighth suffices.
    EXPECT_EQ(previewScaleEighths(QSize(5472, 3648), QSize(667, 445)), 1);
    EXPECT_EQ(previewScaleEighths(QSize(5472, 3648), QSize(685, 445)), 2);
    // 2000 x 1000 to cover 600 x 300: 2/8 gives 500 wide, 3/8 gives 750 x 375.
    EXPECT_EQ(previewScaleEighths(QSize(2000, 1000), QSize(600, 300)), 3);
    // The taller side can decide too.
    EXPECT_EQ(previewScaleEighths(QSize(1000, 1000), QSize(100, 700)), 6);
    // Rounding up of the scaled side counts: 9 * 1/8 -> 2 pixels.
    EXPECT_EQ(previewScaleEighths(QSize(9, 9), QSize(2, 2)), 1);
    // Larger than the picture: full size, never more.
    EXPECT_EQ(previewScaleEighths(QSize(320, 240), QSize(667, 445)), 8);
    EXPECT_EQ(previewScaleEighths(QSize(320, 240), QSize(0, 0)), 1);
}

TEST_F(PreviewPictureTest, LargeJpegIsDecodedScaledAndLooksLikeTheShrunkPicture)
{
    const QImage original = photoLikePicture(1600, 1200);
    const QString path = writeJpeg(QStringLiteral("big.jpg"), original);

    const QImage preview = loadPreviewPicture(path, QSize(300, 200));
    ASSERT_EQ(preview.size(), QSize(400, 300));
    EXPECT_EQ(preview.format(), QImage::Format_RGB32);
    const QImage shrunk = original.scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LE(largestCellDifference(preview, shrunk), 24);

    EXPECT_EQ(loadPreviewPicture(path, QSize(1600, 1200)).size(), QSize(1600, 1200));
    EXPECT_EQ(loadPreviewPicture(path, QSize(5000, 5000)).size(), QSize(1600, 1200));
}

TEST_F(PreviewPictureTest, GreyJpegAndOtherPictureKindsLoadToo)
{
    QImage grey = photoLikePicture(64, 48).convertToFormat(QImage::Format_Grayscale8);
    QBuffer greyJpeg;
    greyJpeg.open(QIODevice::WriteOnly);
    ASSERT_TRUE(grey.save(&greyJpeg, "JPEG", 95));
    const QImage fromGrey = loadPreviewPicture(write(QStringLiteral("grey.jpg"), greyJpeg.data()), QSize(32, 24));
    ASSERT_EQ(fromGrey.size(), QSize(32, 24));
    EXPECT_EQ(qRed(fromGrey.pixel(5, 5)), qBlue(fromGrey.pixel(5, 5)));

    // Not JPEG: the ordinary loader reads it, at its own size.
    const QString bmp = dir_.filePath(QStringLiteral("picture.jpg"));
    ASSERT_TRUE(photoLikePicture(40, 30).save(bmp, "BMP"));
    EXPECT_EQ(loadPreviewPicture(bmp, QSize(10, 10)).size(), QSize(40, 30));
}

TEST_F(PreviewPictureTest, MissingEmptyTruncatedAndForeignFilesFailWithTheLoadersErrors)
{
    EXPECT_EQ(errorNumberOf(dir_.filePath(QStringLiteral("none.jpg")), QSize(10, 10)), RunTimeError::FileNotFound);
    EXPECT_EQ(errorNumberOf(write(QStringLiteral("empty.jpg"), {}), QSize(10, 10)), RunTimeError::InvalidPicture);
    EXPECT_EQ(errorNumberOf(write(QStringLiteral("text.jpg"), "just some text"), QSize(10, 10)),
              RunTimeError::InvalidPicture);

    const QByteArray whole = fileBytes(writeJpeg(QStringLiteral("whole.jpg"), photoLikePicture(640, 480)));
    for (qsizetype length : {qsizetype(3), qsizetype(100), whole.size() / 2, whole.size() - 200}) {
        SCOPED_TRACE(length);
        const QString cut = write(QStringLiteral("cut.jpg"), whole.left(length));
        for (QSize cover : {QSize(80, 60), QSize(640, 480)})
            EXPECT_EQ(errorNumberOf(cut, cover), RunTimeError::InvalidPicture);
    }
    EXPECT_EQ(errorNumberOf(dir_.path(), QSize(10, 10)), RunTimeError::PathFileAccess);
}

} // namespace
