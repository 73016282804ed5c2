// The JPEG encoder: statuses, what a failure leaves on disk, the file written, every pixel format.

#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <csignal>
#include <fstream>
#include <utility>

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
            const int noise = int((seed = seed * 1664525u + 1013904223u) >> 28) - 8;
            picture.setPixel(x, y, qRgb(60 + 150 * x / w + noise, 40 + 170 * y / h + noise, 200 - 120 * (x + y) / (w + h)));
        }
    return picture;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double meanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    double total = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int i = 0; i < 3 * x.width(); ++i)
            total += std::abs(x.constScanLine(row)[i] - y.constScanLine(row)[i]);
    return total / (3.0 * x.width() * x.height());
}

class Encoder : public ::testing::Test {
protected:
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
    bool keepOld() const { return bool(std::ofstream(pathOf("kept.jpg").toStdString()) << "old picture"); }
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
        {"null picture", QImage(), 0, 0, 50}, {"quality 0", picture, w, h, 0}, {"quality 101", picture, w, h, 101},
        {"width 0", picture, 0, h, 50}, {"negative height", picture, w, -1, 50}, {"width too large", picture, w + 1, h, 50},
        {"height too small", picture, w, h - 1, 50}, {"sides swapped", picture, h, w, 50}, {"too wide", wide, 65501, 1, 50},
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
    ASSERT_TRUE(QFile(pathOf("plain.txt")).open(QIODevice::WriteOnly) && QDir(folder.path()).mkdir("locked"));
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
    EXPECT_EQ(entries() + entries("locked"), (QStringList{"locked", "plain.txt"}));
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
    const auto overOldAndAsNew = std::pair(save(large, "kept.jpg", 100), save(large, "new.jpg", 100));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(overOldAndAsNew, std::pair(jpeg_status::CannotWrite, jpeg_status::CannotWrite));
    expectOnlyTheOldFile();
}

TEST_F(Encoder, MemoryExhaustionGivesOutOfMemoryAndKeepsTheFile)
{
    // Fitting the tables holds every coefficient (about 50 MB here); the child has 16 MB to spare.
    const QImage large = photoLike(4000, 3000);
    ASSERT_TRUE(keepOld());
    if (!std::ifstream("/proc/self/statm"))
        GTEST_SKIP() << "no /proc/self/statm to measure memory against";
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        // Memory freed by earlier tests would otherwise serve the encoder within the cap.
        ::malloc_trim(0);
        rlim_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
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

// The temporary file must not leave a private picture readable by others.
TEST_F(Encoder, AReplacedFileKeepsItsPermissions)
{
    ASSERT_TRUE(keepOld());
    const QByteArray kept = QFile::encodeName(pathOf("kept.jpg"));
    ASSERT_EQ(::chmod(kept.constData(), 0640), 0);
    EXPECT_EQ(save(picture, "kept.jpg"), jpeg_status::Written);
    struct stat info {};
    ASSERT_EQ(::stat(kept.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(Encoder, WritesBaselineJfifWithChromaHalvedBothWaysAndFittedTables)
{
    const QByteArray file = encoded(picture, "out.jpg", 50);
    EXPECT_TRUE(file.startsWith(QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF\0", 11))) << "SOI, then APP0";
    EXPECT_TRUE(file.endsWith("\xFF\xD9"));
    // Coded data stuffs every 0xFF, so the one baseline frame marker is the header's.
    ASSERT_EQ(file.count("\xFF\xC0"), 1);
    const qsizetype sof = file.indexOf("\xFF\xC0");
    // 8 bits, 117 x 203, then the sampling of Y 2x2, Cb and Cr 1x1 each.
    EXPECT_EQ(file.mid(sof + 4, 6) + file[sof + 11] + file[sof + 14] + file[sof + 17],
              QByteArray("\x08\x00\x75\x00\xCB\x03\x22\x11\x11", 9));
    // libjpeg's example table for luminance AC (class and id, counts per length): a fitted one differs.
    EXPECT_FALSE(file.contains(QByteArray("\x10\x00\x02\x01\x03\x03\x02\x04\x03\x05\x05\x04\x04\x00\x00\x01\x7d", 17)));
}

TEST_F(Encoder, DecodesCloseToThePictureAndGrowsWithQuality)
{
    qsizetype smaller = 0;
    for (const auto& [quality, tolerance] : {std::pair(1, 25.0), std::pair(50, 5.0), std::pair(100, 1.5)}) {
        SCOPED_TRACE(quality);
        const QString name = QString("q%1.jpg").arg(quality);
        const qsizetype size = encoded(picture, name, quality).size();
        EXPECT_GT(size, std::exchange(smaller, size));
        const QImage decoded(pathOf(name));
        ASSERT_EQ(decoded.size(), picture.size());
        EXPECT_LE(meanDifference(decoded, picture), tolerance); // per channel
    }
    EXPECT_EQ(encoded(picture, "q100.jpg", 1), fileBytes(pathOf("q1.jpg"))) << "a tail of the old file remains";
    EXPECT_EQ(encoded(picture, "q50.kir", 50), fileBytes(pathOf("q50.jpg"))) << "the extension changes nothing";
}

TEST_F(Encoder, EveryPixelFormatEncodesAsItShowsOverWhiteAndUndefinedColoursShowBlack)
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
    // Half transparent, mid-range channels: straight and premultiplied readings differ.
    QImage straight(64, 64, QImage::Format_ARGB32), indexed(64, 64, QImage::Format_Indexed8);
    straight.fill(qRgba(200, 100, 0, 128));
    indexed.setColorTable({qRgba(40, 160, 255, 64)});
    indexed.fill(0);
    QImage undefined = indexed; // a GIF frame may use an index its palette lacks
    undefined.fill(7);
    const struct { const char* what; QImage source; QRgb expected; } cases[] = {
        {"premultiplied", straight.convertToFormat(QImage::Format_ARGB32_Premultiplied), qRgb(227, 177, 127)},
        {"straight", straight, qRgb(227, 177, 127)},
        {"index beyond the palette", undefined, qRgb(0, 0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        encoded(c.source, "blend.jpg", 95);
        const QRgb centre = QImage(pathOf("blend.jpg")).pixel(32, 32); // beyond the 16-pixel chroma cells' edges
        EXPECT_LE(std::max({std::abs(qRed(centre) - qRed(c.expected)), std::abs(qGreen(centre) - qGreen(c.expected)),
                            std::abs(qBlue(centre) - qBlue(c.expected))}), 3)
            << std::hex << centre;
    }
}

} // namespace
