// The JPEG encoder: statuses, what a failure leaves on disk, the pixels written, every pixel format.
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include <QPainter>
#include <QTemporaryDir>

#include "encoder/save_jpeg.h"
#include "jpeg/quality_estimate.h"
#include "files/native_names.h"
#include "test_files.h"

namespace {

// Every file goes to a folder named in bytes that are not UTF-8, which every write keeps.
struct Encoder : ::testing::Test {
    ~Encoder() override { std::filesystem::remove_all(bytes.constData()); } // Qt's clean-up cannot reach it
    QString pathOf(const QString& name) const { return folder + '/' + name; }
    JpegStatus save(const QImage& source, const QString& name, int quality = 50) const
    { return saveJpeg(source, source.width(), source.height(), pathOf(name), std::uint8_t(quality), JpegTarget::Chosen); }
    QByteArray encoded(const QImage& source, const QString& name, int quality = 60) const
    { EXPECT_EQ(save(source, name, quality), JpegStatus::Written); return readBytes(pathOf(name)); }
    void expectOnlyTheOldFile() const
    {
        EXPECT_EQ(readBytes(pathOf("kept.jpg")), "old picture");
        EXPECT_EQ(native_names::entries(folder, native_names::EntryKind::Files), QStringList{"kept.jpg"});
    }

    QTemporaryDir dir;
    const QByteArray bytes = native_names::encode(dir.path()) + "/bad\xff\xfe";
    const QString folder = std::filesystem::create_directory(bytes.constData()) ? native_names::decode(bytes) : QString();
    const QImage picture = testPicture(203, 117); // odd sizes: partial blocks at both edges
    const bool kept = writeBytes(pathOf("kept.jpg"), "old picture");
};

TEST_F(Encoder, ArgumentsThatDoNotFitAreAFormatErrorAndHarmNothing)
{
    const int w = picture.width(), h = picture.height();
    const struct { QImage source; int width, height, quality; } cases[] = {
        {QImage(), 0, 0, 50}, {picture, w, h, 0}, {picture, w, h, 101}, {picture, w + 1, h, 50}, {picture, h, w, 50},
        {QImage(65501, 1, QImage::Format_RGB32), 65501, 1, 50}}; // a JPEG side holds at most 65500 pixels
    for (const auto& c : cases)
        EXPECT_EQ(saveJpeg(c.source, c.width, c.height, pathOf("kept.jpg"), std::uint8_t(c.quality), JpegTarget::Chosen),
                  JpegStatus::FormatError) << c.width << "x" << c.height << " at " << c.quality;
    expectOnlyTheOldFile();
    EXPECT_EQ(save(QImage(65500, 1, QImage::Format_RGB32), "widest.jpg"), JpegStatus::Written);
}

// A cap on file sizes stops the write part-way, as a full disk does.
TEST_F(Encoder, AStopOrAFullDiskLeavesTheFolderAsItWas)
{
    const QImage large = testPicture(1200, 512);
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_EQ(saveJpeg(large, 1200, 512, pathOf("kept.jpg"), 50, JpegTarget::Chosen, stopped.get_token()), JpegStatus::Abandoned);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit capped{16 * 1024, saved.rlim_max};
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &capped), 0);
    const auto overOldAndAsNew = std::pair(save(large, "kept.jpg", 100), save(large, "new.jpg", 100));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(overOldAndAsNew, std::pair(JpegStatus::CannotWrite, JpegStatus::CannotWrite)) << "over the old file, then as a new one";
    expectOnlyTheOldFile();
}

TEST_F(Encoder, MemoryExhaustionGivesOutOfMemoryAndKeepsTheFile)
{
    // Fitting the tables holds every coefficient (about 50 MB here); the child has 16 MB to spare.
#if defined(__SANITIZE_ADDRESS__)
    // The encoder's band threads need AddressSanitizer's own memory, which it cannot do without.
    GTEST_SKIP() << "not under AddressSanitizer: its own allocations fail under the memory cap";
#endif
    const QImage large = testPicture(4000, 3000);
    EXPECT_EQ(exitCodeUnderMemoryCap(16 << 20, [&] { return int(save(large, "kept.jpg")); }), int(JpegStatus::OutOfMemory));
    expectOnlyTheOldFile();
}

// Only a regular file is replaced (the rename would turn a FIFO, or a device, into a JPEG file); the
// preview never through a link.
TEST_F(Encoder, OnlyARegularFileInAFolderIsReplaced)
{
    const auto at = [&](const char* name) { return native_names::encode(dir.filePath(name)); };
    const QByteArray pipe = at("pipe.jpg"), link = at("link.jpg"), planted = at("Sample.jpg");
    ASSERT_TRUE(::mkfifo(pipe.constData(), 0644) == 0 && ::symlink(pipe.constData(), link.constData()) == 0
                && ::symlink(native_names::encode(pathOf("kept.jpg")).constData(), planted.constData()) == 0);
    for (const QString& path : {pathOf("missing/out.jpg"), pathOf("kept.jpg/out.jpg"), folder, QString(), native_names::decode(pipe),
                                native_names::decode(link)})
        EXPECT_EQ(saveJpeg(picture, picture.width(), picture.height(), path, 50, JpegTarget::Chosen), JpegStatus::CannotOpen) << path.toStdString();
    EXPECT_EQ(saveJpeg(picture, picture.width(), picture.height(), native_names::decode(planted), 50, JpegTarget::ProgramOwn),
              JpegStatus::CannotOpen);
    struct stat info {};
    EXPECT_TRUE(::lstat(pipe.constData(), &info) == 0 && S_ISFIFO(info.st_mode)) << "the FIFO was replaced";
    EXPECT_EQ(native_names::entries(dir.path(), native_names::EntryKind::Files).size(), 3) << "a temporary file was left";
    expectOnlyTheOldFile();
}

TEST_F(Encoder, ReplacesAnOldFileWholeKeepingItsPermissions)
{
    const QByteArray q1 = encoded(picture, "q1.jpg", 1), q100 = native_names::encode(pathOf("q100.jpg"));
    encoded(picture, "q100.jpg", 100);
    ASSERT_EQ(::chmod(q100.constData(), 0640), 0);
    EXPECT_EQ(encoded(picture, "q100.jpg", 1), q1) << "a tail of the old file remains";
    struct stat info {};
    EXPECT_TRUE(::stat(q100.constData(), &info) == 0 && (info.st_mode & 0777) == 0640) << "permissions not kept";
    // Its quality is read by content under the name's own bytes; a file named .jpg of other bytes is none.
    EXPECT_NEAR(estimateJpegQuality(pathOf("q100.jpg")).quality.value_or(-10), 1, 1);
    EXPECT_FALSE(estimateJpegQuality(pathOf("kept.jpg")).jpeg);
}

// Encoded as shown: over white where transparent, black for an index beyond the palette.
TEST_F(Encoder, EveryPixelFormatEncodesAsItShows)
{
    QImage holes = picture.convertToFormat(QImage::Format_ARGB32); // alpha 0 or 255 only: the colours shown are exact
    for (int y = 20; y < 45; ++y)
        for (int x = 10; x < 60; ++x)
            holes.setPixel(x, y, qRgba(x, 0, 200, 0)); // a colour that must not show
    QImage half(64, 64, QImage::Format_ARGB32), undefined(64, 64, QImage::Format_Indexed8);
    half.fill(qRgba(200, 100, 0, 128)); // straight and premultiplied readings differ
    undefined.setColorTable({qRgba(40, 160, 255, 64)});
    undefined.fill(7);
    for (const QImage& source : {holes, holes.convertToFormat(QImage::Format_Indexed8), picture.convertToFormat(QImage::Format_RGB888),
                                 picture.convertToFormat(QImage::Format_Grayscale8), half,
                                 half.convertToFormat(QImage::Format_ARGB32_Premultiplied), undefined}) {
        QImage shown(source.size(), QImage::Format_RGB32);
        shown.fill(Qt::white);
        source.colorCount() == 1 ? shown.fill(Qt::black) : QPainter(&shown).drawImage(0, 0, source);
        EXPECT_EQ(encoded(source, "format.jpg"), encoded(shown, "shown.jpg")) << source.format();
    }
}

} // namespace
