#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTransform>

#include "loader_test_pictures.h"
#include "native_test_files.h"
#include "platform/exif_orientation.h"
#include "platform/picture_loader.h"
#include "platform/run_time_error.h"

using namespace loader_pictures;
using native_test_files::writeFile;

namespace {

class PictureLoader : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(writeFile(path, bytes)) << name.toStdString();
        return path;
    }

    // The run-time error number LoadPicture throws, or 0 when it loads.
    static int errorOf(const QString& path)
    {
        try {
            LoadPicture(path);
        } catch (const RunTimeError& error) {
            return error.number();
        }
        return 0;
    }

    QTemporaryDir folder;
};

QImage redPicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(QColor(200, 30, 40));
    return picture;
}

} // namespace

// ---- Kinds, decided by content -------------------------------------------

TEST_F(PictureLoader, ReadsEachKindByItsContentWhateverTheExtension)
{
    const QByteArray bmp = encoded(redPicture(30, 20), "bmp");
    const QByteArray jpg = jpeg(redPicture(30, 20));
    const QByteArray gifBytes = gif(30, 20, {1});
    for (const QString& name : {QStringLiteral("a.bmp"), QStringLiteral("a.jpg"), QStringLiteral("a.kir"), QStringLiteral("a")}) {
        for (const QByteArray* bytes : {&bmp, &jpg, &gifBytes}) {
            const QImage picture = LoadPicture(write(name, *bytes));
            ASSERT_EQ(picture.size(), QSize(30, 20)) << name.toStdString();
            EXPECT_TRUE(near(picture.pixel(15, 10), bytes == &gifBytes ? QColor(255, 0, 0) : QColor(200, 30, 40)))
                << name.toStdString();
        }
    }
}

TEST_F(PictureLoader, KirFileHoldingJpegLoadsAsRgb32)
{
    const QImage picture = LoadPicture(write("photo.kir", jpeg(quadrantPicture(64, 48))));
    EXPECT_EQ(picture.size(), QSize(64, 48));
    EXPECT_EQ(picture.format(), QImage::Format_RGB32);
    EXPECT_TRUE(near(picture.pixel(8, 8), Qt::red));
    EXPECT_TRUE(near(picture.pixel(56, 40), Qt::white));
}

TEST_F(PictureLoader, AnimatedGifGivesItsFirstFrame)
{
    const QImage picture = LoadPicture(write("anim.gif", gif(12, 8, {2, 1, 3})));
    ASSERT_EQ(picture.size(), QSize(12, 8));
    EXPECT_TRUE(near(picture.pixel(6, 4), Qt::blue, 0));
}

TEST_F(PictureLoader, GrayscaleCmykYcckAndProgressiveJpegsLoad)
{
    const auto gray = [](int x, int) { return std::vector<JSAMPLE>{JSAMPLE(x < 16 ? 40 : 220)}; };
    const QImage grayPicture = LoadPicture(write("gray.jpg", jpeg(32, 16, gray, {.input = JCS_GRAYSCALE})));
    EXPECT_TRUE(near(grayPicture.pixel(4, 8), QColor(40, 40, 40), 6));
    EXPECT_TRUE(near(grayPicture.pixel(28, 8), QColor(220, 220, 220), 6));

    // Adobe's inverted CMYK: 255 is no ink. Left half: magenta and yellow ink
    // (red); right half: cyan ink only (cyan).
    const auto cmyk = [](int x, int) {
        return x < 16 ? std::vector<JSAMPLE>{255, 0, 0, 255} : std::vector<JSAMPLE>{0, 255, 255, 255};
    };
    for (J_COLOR_SPACE stored : {JCS_CMYK, JCS_YCCK}) {
        const QImage picture = LoadPicture(write("cmyk.jpg", jpeg(32, 16, cmyk, {.input = JCS_CMYK, .stored = stored})));
        ASSERT_EQ(picture.size(), QSize(32, 16)) << stored;
        EXPECT_TRUE(near(picture.pixel(4, 8), Qt::red)) << stored << " " << std::hex << picture.pixel(4, 8);
        EXPECT_TRUE(near(picture.pixel(28, 8), Qt::cyan)) << stored << " " << std::hex << picture.pixel(28, 8);
    }

    const QImage progressive = LoadPicture(write("prog.jpg", jpeg(quadrantPicture(40, 40), {.progressive = true})));
    EXPECT_TRUE(near(progressive.pixel(30, 10), Qt::green));
}

TEST_F(PictureLoader, JpegLackingOnlyItsEndMarkerStillLoads)
{
    const QByteArray whole = jpeg(quadrantPicture(64, 64));
    ASSERT_TRUE(whole.endsWith("\xFF\xD9"));
    const QImage picture = LoadPicture(write("noend.jpg", whole.chopped(2)));
    EXPECT_TRUE(near(picture.pixel(60, 60), Qt::white));
}

TEST_F(PictureLoader, OtherKindsAreNotPictures)
{
    EXPECT_EQ(errorOf(write("a.png", encoded(redPicture(8, 8), "png"))), RunTimeError::InvalidPicture);
    EXPECT_EQ(errorOf(write("a.jpg", encoded(redPicture(8, 8), "png"))), RunTimeError::InvalidPicture);
    EXPECT_EQ(errorOf(write("note.bmp", "BM is how this text starts")), RunTimeError::InvalidPicture);
}

// ---- Files that must fail without harm -----------------------------------

TEST_F(PictureLoader, EmptyRandomAndTruncatedFilesAreInvalidPictures)
{
    EXPECT_EQ(errorOf(write("empty.jpg", {})), RunTimeError::InvalidPicture);

    QByteArray noise(5000, Qt::Uninitialized);
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    EXPECT_EQ(errorOf(write("random.jpg", noise)), RunTimeError::InvalidPicture);
    EXPECT_EQ(errorOf(write("soi.jpg", QByteArray("\xFF\xD8\xFF", 3) + noise)), RunTimeError::InvalidPicture);

    const QByteArray baseline = jpeg(noisePicture(256, 256));
    const QByteArray progressive = jpeg(noisePicture(256, 256), {.progressive = true});
    EXPECT_EQ(errorOf(write("half.jpg", baseline.left(baseline.size() / 2))), RunTimeError::InvalidPicture);
    EXPECT_EQ(errorOf(write("header.jpg", baseline.left(300))), RunTimeError::InvalidPicture);
    EXPECT_EQ(errorOf(write("halfprog.jpg", progressive.left(progressive.size() / 2))), RunTimeError::InvalidPicture);

    const QByteArray gifBytes = gif(64, 64, {1, 2});
    const qsizetype firstFrameEnd = gifBytes.indexOf(char(0x2C), 60); // the second frame's descriptor
    EXPECT_EQ(errorOf(write("half.gif", gifBytes.left(firstFrameEnd / 2))), RunTimeError::InvalidPicture);
    EXPECT_EQ(errorOf(write("screen.gif", gifBytes.left(10))), RunTimeError::InvalidPicture);
    // Only the first frame is needed: a cut in the second one still shows the first.
    EXPECT_EQ(errorOf(write("cut2.gif", gifBytes.left(gifBytes.size() - 20))), 0);

    const QByteArray bmp = encoded(redPicture(64, 64), "bmp");
    EXPECT_EQ(errorOf(write("half.bmp", bmp.left(bmp.size() - 100))), RunTimeError::InvalidPicture);
    EXPECT_EQ(errorOf(write("head.bmp", bmp.left(20))), RunTimeError::InvalidPicture);
}

TEST_F(PictureLoader, HeadersClaimingAbsurdSizesFailBeforeAllocating)
{
    const QByteArray small = jpeg(redPicture(16, 16));
    EXPECT_EQ(errorOf(write("huge.jpg", withClaimedSize(small, 60000, 60000))), RunTimeError::InvalidPicture);
    // Each side within the format's range, the total (400 megapixels) beyond the limit.
    EXPECT_EQ(errorOf(write("large.jpg", withClaimedSize(small, 20000, 20000))), RunTimeError::InvalidPicture);
    EXPECT_EQ(errorOf(write("huge.gif", gifWithClaimedSize(gif(16, 16, {1}), 60000, 60000))), RunTimeError::InvalidPicture);

    QByteArray bmp = encoded(redPicture(16, 16), "bmp");
    const qint32 side = 60000;
    std::memcpy(bmp.data() + 18, &side, 4);
    std::memcpy(bmp.data() + 22, &side, 4);
    EXPECT_EQ(errorOf(write("huge.bmp", bmp)), RunTimeError::InvalidPicture);
}

TEST_F(PictureLoader, MissingFoldersAndOtherNonFilesFailWithTheirNumbers)
{
    const QString gone = write("gone.jpg", jpeg(redPicture(8, 8)));
    ASSERT_TRUE(QFile::remove(gone)); // deleted between listing and click
    EXPECT_EQ(errorOf(gone), RunTimeError::FileNotFound);
    EXPECT_EQ(errorOf(folder.filePath("gone.jpg/inner.jpg")), RunTimeError::FileNotFound);
    EXPECT_EQ(errorOf(QString()), RunTimeError::FileNotFound);

    ASSERT_TRUE(QDir(folder.path()).mkdir("x.jpg"));
    EXPECT_EQ(errorOf(folder.filePath("x.jpg")), RunTimeError::PathFileAccess);

    // A FIFO would block a plain open until a writer comes.
    const QString fifo = folder.filePath("pipe.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    EXPECT_EQ(errorOf(fifo), RunTimeError::PathFileAccess);
}

TEST_F(PictureLoader, UnreadableFileIsAnAccessError)
{
    const QString path = write("secret.jpg", jpeg(redPicture(8, 8)));
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    native_test_files::Unprivileged user;
    if (!user.active())
        GTEST_SKIP() << "running as root and cannot act as an ordinary user, so every file is readable";
    EXPECT_EQ(errorOf(path), RunTimeError::PathFileAccess);
}

// ---- Size limits ---------------------------------------------------------

TEST_F(PictureLoader, HundredMegapixelJpegLoads)
{
    constexpr int width = 12000, height = 8400; // 100.8 megapixels
    const QString path = write("big.jpg", jpeg(width, height, [](int x, int y) {
        return std::vector<JSAMPLE>{JSAMPLE(x / 50), JSAMPLE(y / 40), 90};
    }, {.quality = 50}));
    const QImage picture = LoadPicture(path);
    ASSERT_EQ(picture.size(), QSize(width, height));
    EXPECT_TRUE(near(picture.pixel(width - 1, height - 1), QColor(239, 209, 90), 8));
}

TEST_F(PictureLoader, GifBeyondQtsDefaultAllocationLimitLoads)
{
    // 6000 x 6000 at 32 bits is 137 MiB, above Qt's default limit of 128 MiB.
    const QImage picture = LoadPicture(write("big.gif", gif(6000, 6000, {3})));
    ASSERT_EQ(picture.size(), QSize(6000, 6000));
    EXPECT_TRUE(near(picture.pixel(5999, 5999), Qt::green, 0));
}

// ---- EXIF orientation ----------------------------------------------------

struct OrientationCase {
    int orientation;
    QColor topLeft, topRight, bottomLeft, bottomRight;
    bool swapsSides;
};

void PrintTo(const OrientationCase& c, std::ostream* out) { *out << "orientation " << c.orientation; }

class JpegOrientation : public PictureLoader, public ::testing::WithParamInterface<OrientationCase> {};

TEST_P(JpegOrientation, PictureComesOutUpright)
{
    const OrientationCase& c = GetParam();
    const QByteArray stored = jpeg(quadrantPicture(96, 48));
    for (bool bigEndian : {false, true}) {
        const QImage picture = LoadPicture(write("o.jpg", withSegment(stored, exifSegment(c.orientation, bigEndian))));
        ASSERT_EQ(picture.size(), c.swapsSides ? QSize(48, 96) : QSize(96, 48)) << "big-endian " << bigEndian;
        const int w = picture.width(), h = picture.height();
        EXPECT_TRUE(near(picture.pixel(w / 4, h / 4), c.topLeft)) << "big-endian " << bigEndian;
        EXPECT_TRUE(near(picture.pixel(3 * w / 4, h / 4), c.topRight)) << "big-endian " << bigEndian;
        EXPECT_TRUE(near(picture.pixel(w / 4, 3 * h / 4), c.bottomLeft)) << "big-endian " << bigEndian;
        EXPECT_TRUE(near(picture.pixel(3 * w / 4, 3 * h / 4), c.bottomRight)) << "big-endian " << bigEndian;
    }
}

// Stored quadrants: red, green / blue, white.
INSTANTIATE_TEST_SUITE_P(AllEight, JpegOrientation,
                         ::testing::Values(OrientationCase{1, Qt::red, Qt::green, Qt::blue, Qt::white, false},
                                           OrientationCase{2, Qt::green, Qt::red, Qt::white, Qt::blue, false},
                                           OrientationCase{3, Qt::white, Qt::blue, Qt::green, Qt::red, false},
                                           OrientationCase{4, Qt::blue, Qt::white, Qt::red, Qt::green, false},
                                           OrientationCase{5, Qt::red, Qt::blue, Qt::green, Qt::white, true},
                                           OrientationCase{6, Qt::blue, Qt::red, Qt::white, Qt::green, true},
                                           OrientationCase{7, Qt::white, Qt::green, Qt::blue, Qt::red, true},
                                           OrientationCase{8, Qt::green, Qt::white, Qt::red, Qt::blue, true}),
                         [](const auto& info) { return "Orientation" + std::to_string(info.param.orientation); });

// The decoder places rows while they arrive; Qt's own transforms of the
// upright picture are the reference. Odd sizes leave a partial last strip.
TEST_F(PictureLoader, TurnedPicturesMatchQtsTransformsPixelForPixel)
{
    const auto reference = [](const QImage& upright, int orientation) {
        const QImage turned = upright.transformed(QTransform().rotate(90));
        switch (orientation) {
        case 2: return upright.mirrored(true, false);
        case 3: return upright.mirrored(true, true);
        case 4: return upright.mirrored(false, true);
        case 5: return turned.mirrored(true, false);
        case 6: return turned;
        case 7: return turned.mirrored(false, true);
        case 8: return upright.transformed(QTransform().rotate(270));
        default: return upright;
        }
    };
    const auto cmyk = [](int x, int y) {
        return std::vector<JSAMPLE>{JSAMPLE(x * 7), JSAMPLE(y * 11), JSAMPLE(255 - x * 3), JSAMPLE(200 + y)};
    };
    const auto gray = [](int x, int y) { return std::vector<JSAMPLE>{JSAMPLE(x * 5 + y * 3)}; };
    const std::vector<std::pair<const char*, QByteArray>> streams = {
        {"rgb", jpeg(noisePicture(37, 21))},
        {"cmyk", jpeg(37, 21, cmyk, {.input = JCS_CMYK})},
        {"gray", jpeg(37, 21, gray, {.input = JCS_GRAYSCALE})},
    };
    for (const auto& [kind, stream] : streams) {
        const QImage upright = LoadPicture(write("upright.jpg", stream));
        ASSERT_EQ(upright.size(), QSize(37, 21)) << kind;
        for (int orientation = 2; orientation <= 8; ++orientation) {
            const QImage loaded = LoadPicture(write("turned.jpg", withSegment(stream, exifSegment(orientation, false))));
            EXPECT_EQ(loaded, reference(upright, orientation)) << kind << " orientation " << orientation;
        }
    }
}

TEST(ExifOrientation, MalformedOrMissingTagsMeanUpright)
{
    const auto payloadOf = [](const QByteArray& segment) { return segment.mid(4); };
    EXPECT_EQ(exifOrientation(payloadOf(exifSegment(6, true))), 6);
    EXPECT_EQ(exifOrientation(payloadOf(exifSegment(8, false))), 8);
    EXPECT_EQ(exifOrientation(payloadOf(exifSegment(9, false))), 1); // out of range
    EXPECT_EQ(exifOrientation(payloadOf(exifSegment(6, true)).chopped(8)), 1); // entry cut off
    EXPECT_EQ(exifOrientation(QByteArray("Exif\0\0", 6)), 1);
    EXPECT_EQ(exifOrientation(QByteArray("XMP data, not EXIF")), 1);

    QByteArray farOffset = payloadOf(exifSegment(6, true));
    farOffset[6 + 7] = char(0x7F); // IFD offset far beyond the payload
    EXPECT_EQ(exifOrientation(farOffset), 1);
    QByteArray wrongType = payloadOf(exifSegment(6, true));
    wrongType[6 + 8 + 2 + 3] = 4; // LONG instead of SHORT
    EXPECT_EQ(exifOrientation(wrongType), 1);
}

TEST_F(PictureLoader, JpegWithMalformedExifLoadsAsStored)
{
    QByteArray segment = exifSegment(6, false);
    segment.chop(6); // the entry loses its value
    segment[3] = char(segment.size() - 2);
    const QImage picture = LoadPicture(write("badexif.jpg", withSegment(jpeg(quadrantPicture(96, 48)), segment)));
    EXPECT_EQ(picture.size(), QSize(96, 48));
}
