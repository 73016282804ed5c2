// The JPEG encoder: its statuses, what a failure leaves on disk, the file it
// writes, and how pictures of every pixel format reach it.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <fstream>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "encoder/save_jpg.h"

namespace {

// Gradients with fine noise, so every quality changes the result; deterministic.
QImage photoLike(int w, int h)
{
    QImage picture(w, h, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8, wave = int(40 * std::sin(x * 0.07) * std::cos(y * 0.05));
            picture.setPixel(x, y, qRgb(qBound(0, 60 + 150 * x / w + wave + noise, 255),
                                        qBound(0, 40 + 170 * y / h - wave + noise, 255),
                                        qBound(0, 200 - 120 * (x + y) / (w + h) + noise / 2, 255)));
        }
    return picture;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Mean absolute difference per colour channel of two pictures of one size.
double meanDifference(const QImage& a, const QImage& b)
{
    double total = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return total / (3.0 * a.width() * a.height());
}

class Encoder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    QString pathOf(const QString& name) const { return folder.filePath(name); }
    // Hidden entries too: no temporary file may stay behind.
    QStringList entries(const QString& name = ".") const
    {
        return QDir(pathOf(name)).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                            QDir::Name);
    }
    std::int16_t save(const QImage& source, const QString& name, int quality = 50) const
    {
        return DCSavetoJPEG(source, source.width(), source.height(), pathOf(name), std::uint8_t(quality), 0);
    }
    QByteArray encoded(const QImage& source, const QString& name, int quality = 60) const
    {
        EXPECT_EQ(save(source, name, quality), jpeg_status::Written);
        return fileBytes(pathOf(name));
    }
    bool keepOld() const { return writeFile(pathOf("kept.jpg"), "old picture"); }
    void expectOnlyTheOldFile() const
    {
        EXPECT_EQ(fileBytes(pathOf("kept.jpg")), "old picture");
        EXPECT_EQ(entries(), QStringList{"kept.jpg"});
    }

    QTemporaryDir folder;
    const QImage picture = photoLike(203, 117); // odd sizes: partial blocks at both edges
};

TEST_F(Encoder, ArgumentsThatDoNotFitAreAFormatErrorAndHarmNothing)
{
    ASSERT_TRUE(keepOld());
    const int w = picture.width(), h = picture.height();
    QImage wide(65501, 1, QImage::Format_RGB32); // a JPEG side holds at most 65500 pixels
    wide.fill(Qt::gray);
    const struct { const char* what; QImage source; int width, height, quality; } cases[] = {
        {"null picture", QImage(), 0, 0, 50},       {"quality 0", picture, w, h, 0},
        {"quality 101", picture, w, h, 101},        {"width 0", picture, 0, h, 50},
        {"negative height", picture, w, -1, 50},    {"width too large", picture, w + 1, h, 50},
        {"height too small", picture, w, h - 1, 50}, {"sides swapped", picture, h, w, 50},
        {"wider than JPEG allows", wide, 65501, 1, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DCSavetoJPEG(c.source, c.width, c.height, pathOf("kept.jpg"), std::uint8_t(c.quality), 0),
                  jpeg_status::FormatError);
        expectOnlyTheOldFile();
    }
    EXPECT_EQ(save(wide.copy(0, 0, 65500, 1), "widest.jpg"), jpeg_status::Written);
}

TEST_F(Encoder, FolderThatCannotTakeTheFileCannotBeOpened)
{
    ASSERT_TRUE(writeFile(pathOf("plain.txt"), "not a folder"));
    ASSERT_TRUE(QDir(folder.path()).mkdir("locked"));
    for (const QString& path : {pathOf("missing/out.jpg"), pathOf("plain.txt/out.jpg"), pathOf("locked"), QString()})
        EXPECT_EQ(DCSavetoJPEG(picture, picture.width(), picture.height(), path, 50, 0), jpeg_status::CannotOpen)
            << path.toStdString();

    // Root writes into any folder, so the read-only one is tried as an ordinary user.
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(pathOf("locked")).constData(), 0555), 0);
    const bool root = ::geteuid() == 0;
    if (root && ::seteuid(65534) != 0)
        GTEST_SKIP() << "running as root and cannot act as an ordinary user";
    EXPECT_EQ(save(picture, "locked/out.jpg"), jpeg_status::CannotOpen);
    ASSERT_TRUE(!root || ::seteuid(0) == 0);
    EXPECT_EQ(entries(), (QStringList{"locked", "plain.txt"}));
    EXPECT_TRUE(entries("locked").isEmpty());
}

TEST_F(Encoder, FailedWriteCannotWriteAndLeavesTheFolderAsItWas)
{
    const QImage large = photoLike(1200, 900);
    ASSERT_TRUE(keepOld());
    // A cap on file sizes stops the write part-way, as a full disk does.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit capped{16 * 1024, saved.rlim_max};
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &capped), 0);
    const std::int16_t overOld = save(large, "kept.jpg", 100), asNew = save(large, "new.jpg", 100);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(overOld, jpeg_status::CannotWrite);
    EXPECT_EQ(asNew, jpeg_status::CannotWrite);
    expectOnlyTheOldFile();
}

TEST_F(Encoder, MemoryExhaustionGivesOutOfMemoryAndKeepsTheFile)
{
    // Fitting the tables holds every coefficient (about 50 MB here); the child has 16 MB to spare.
    const QImage large = photoLike(4000, 3000);
    ASSERT_TRUE(keepOld());
    std::ifstream statm("/proc/self/statm");
    rlim_t pages = 0;
    if (!(statm >> pages))
        GTEST_SKIP() << "no /proc/self/statm to measure memory against";
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const rlim_t bytes = pages * rlim_t(::sysconf(_SC_PAGESIZE)) + 16 * 1024 * 1024;
        const rlimit capped{bytes, bytes};
        ::_exit(::setrlimit(RLIMIT_AS, &capped) == 0 ? save(large, "kept.jpg") : 100);
    }
    int wait = 0;
    ASSERT_EQ(::waitpid(child, &wait, 0), child);
    ASSERT_TRUE(WIFEXITED(wait)) << "the encoder ended the process";
    EXPECT_EQ(WEXITSTATUS(wait), jpeg_status::OutOfMemory);
    expectOnlyTheOldFile();
}

TEST_F(Encoder, NewFileFollowsTheUmaskAndAReplacedFileKeepsItsPermissions)
{
    const auto mode = [this](const char* name) {
        struct stat info {};
        return ::stat(QFile::encodeName(pathOf(name)).constData(), &info) == 0 ? info.st_mode & 0777 : 0u;
    };
    const mode_t previous = ::umask(022);
    EXPECT_EQ(save(picture, "new.jpg"), jpeg_status::Written);
    ::umask(previous);
    EXPECT_EQ(mode("new.jpg"), 0644u);
    ASSERT_TRUE(keepOld());
    ASSERT_EQ(::chmod(QFile::encodeName(pathOf("kept.jpg")).constData(), 0640), 0);
    EXPECT_EQ(save(picture, "kept.jpg"), jpeg_status::Written);
    EXPECT_EQ(mode("kept.jpg"), 0640u);
}

TEST_F(Encoder, WritesBaselineJfifWithChromaHalvedBothWaysAndFittedTables)
{
    const QByteArray file = encoded(picture, "out.jpg", 50);
    EXPECT_TRUE(file.startsWith(QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\0", 11))) << "SOI, then APP0";
    EXPECT_TRUE(file.endsWith("\xFF\xD9"));
    // Coded data stuffs every 0xFF, so a frame marker anywhere in the file is the header's.
    ASSERT_EQ(file.count("\xFF\xC0"), 1);
    const qsizetype sof = file.indexOf("\xFF\xC0");
    // 8 bits, 117 x 203, Y 2x2 then Cb and Cr 1x1 each.
    EXPECT_EQ(file.mid(sof + 4, 6), QByteArray("\x08\x00\x75\x00\xCB\x03", 6));
    EXPECT_EQ(QByteArray() + file[sof + 11] + file[sof + 14] + file[sof + 17], "\x22\x11\x11");
    for (uchar other : {0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF})
        EXPECT_FALSE(file.contains(QByteArray("\xFF") + char(other))) << "frame " << int(other);
    // libjpeg's example table for luminance AC (class and id, counts per length): a fitted one differs.
    EXPECT_FALSE(file.contains(QByteArray("\x10\x00\x02\x01\x03\x03\x02\x04\x03\x05\x05\x04\x04\x00\x00\x01\x7d", 17)));
}

TEST_F(Encoder, DecodesCloseToThePictureAndGrowsWithQuality)
{
    struct Result { int quality; double tolerance; qsizetype size = 0; double difference = 0; };
    Result results[] = {{1, 25.0}, {50, 5.0}, {100, 1.5}}; // tolerance: mean difference per channel
    for (Result& r : results) {
        SCOPED_TRACE(r.quality);
        const QString name = QString("q%1.jpg").arg(r.quality);
        r.size = encoded(picture, name, r.quality).size();
        const QImage decoded = QImage(pathOf(name)).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(decoded.size(), picture.size());
        r.difference = meanDifference(decoded, picture);
        EXPECT_LE(r.difference, r.tolerance);
    }
    EXPECT_LT(results[0].size, results[1].size);
    EXPECT_LT(results[1].size, results[2].size);
    EXPECT_GT(results[0].difference, results[1].difference);
    EXPECT_GT(results[1].difference, results[2].difference);
    EXPECT_EQ(encoded(picture, "q100.jpg", 1), fileBytes(pathOf("q1.jpg"))) << "a tail of the old file remains";
}

TEST_F(Encoder, KirAndJpgNamesGetTheSameBytes)
{
    const QByteArray jpg = encoded(picture, "picture.jpg", 73);
    EXPECT_EQ(encoded(picture, "picture.kir", 73), jpg);
    EXPECT_EQ(encoded(picture, "picture", 73), jpg);
    EXPECT_EQ(entries(), (QStringList{"picture", "picture.jpg", "picture.kir"}));
}

TEST_F(Encoder, EveryPixelFormatEncodesAsItShowsOverWhite)
{
    // Opaque rows and rows with transparent runs; alpha only 0 or 255, so the colours shown are exact.
    QImage holes = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 20; y < 45; ++y)
        for (int x = 10; x < 60; ++x)
            holes.setPixel(x, y, qRgba(x, 0, 200, 0)); // a colour that must not show
    for (QImage::Format format : {QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied, QImage::Format_RGBA8888,
                                  QImage::Format_Indexed8, QImage::Format_RGB888, QImage::Format_BGR888,
                                  QImage::Format_RGBX8888, QImage::Format_Grayscale8, QImage::Format_RGB16}) {
        SCOPED_TRACE(format);
        const QImage source = holes.convertToFormat(format);
        ASSERT_EQ(source.format(), format);
        QImage shown(source.size(), QImage::Format_RGB32);
        shown.fill(Qt::white);
        QPainter(&shown).drawImage(0, 0, source);
        EXPECT_EQ(encoded(source, "format.jpg"), encoded(shown, "shown.jpg"));
    }
}

TEST_F(Encoder, HalfTransparentPixelsBlendWithWhiteAndUndefinedColoursShowBlack)
{
    // Mid-range channels: straight and premultiplied readings of them differ.
    QImage straight(64, 64, QImage::Format_ARGB32), indexed(64, 64, QImage::Format_Indexed8);
    straight.fill(qRgba(200, 100, 0, 128));
    indexed.setColorTable({qRgba(40, 160, 255, 64)});
    indexed.fill(0);
    QImage undefined = indexed; // a GIF frame may use an index its palette lacks
    undefined.fill(7);
    const struct { const char* what; QImage source; QRgb expected; } cases[] = {
        {"premultiplied", straight.convertToFormat(QImage::Format_ARGB32_Premultiplied), qRgb(227, 177, 127)},
        {"straight", straight, qRgb(227, 177, 127)},
        {"palette", indexed, qRgb(201, 231, 255)},
        {"index beyond the palette", undefined, qRgb(0, 0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        encoded(c.source, "blend.jpg", 95);
        const QRgb centre = QImage(pathOf("blend.jpg")).pixel(32, 32); // beyond the 16-pixel chroma cells' edges
        EXPECT_NEAR(qRed(centre), qRed(c.expected), 3);
        EXPECT_NEAR(qGreen(centre), qGreen(c.expected), 3);
        EXPECT_NEAR(qBlue(centre), qBlue(c.expected), 3);
    }
}

} // namespace
