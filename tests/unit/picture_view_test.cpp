// Reduced decodes for the window, the full size from the bytes shown, and the read-ahead worker.
#include <cmath>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <cstdio>
#include <latch>
#include <thread>
#include <semaphore>

#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QThread>
#include <QThreadPool>

#include <jpeglib.h>

#include "controls/image_control.h"
#include "decoder/picture_loader.h"
#include "decoder/picture_source.h"
#include "measure/picture_fidelity.h"
#include "viewing/read_ahead.h"
#include "test_files.h"

namespace {

// Soft light and shapes, like a photo; fine checkerboards would only measure aliasing.
QImage photoLike(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb(int(127 + 100 * std::sin(x * 0.011) * std::cos(y * 0.007)),
                                        (x * 255 / width + y * 96 / height) % 256, int(127 + 120 * std::sin((x + 2 * y) * 0.004))));
    return picture;
}

// libjpeg at quality 92, 4:4:4 (sampling 1) or 4:2:0 (2), in colour or grey.
QByteArray withSampling(const QImage& photo, int sampling, bool grey)
{
    const QImage rows = grey ? photo.convertToFormat(QImage::Format_Grayscale8) : photo;
    return libjpegEncoded(rows.width(), rows.height(), grey ? 1 : 3, [&](jpeg_compress_struct& cinfo) {
        jpeg_set_quality(&cinfo, 92, TRUE);
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = sampling;
    }, [&](int y) { return rows.constScanLine(y); });
}

using PictureView = ScratchTest;
TEST_F(PictureView, AReducedDecodeLooksLikeTheFullOne)
{
    const QSize box(667, 667); // the enlarged box at 15 twips per pixel
    const QImage photo = photoLike(3000, 2000);
    const QByteArray upright = withSampling(photo, 2, false);
    const struct { const char* kind; QByteArray jpeg; QSize natural; } cases[] = {
        {"baseline 4:2:0", upright, QSize(3000, 2000)},
        {"progressive", encodedAs(photo, "JPEG", true), QSize(3000, 2000)},
        {"4:4:4", withSampling(photo, 1, false), QSize(3000, 2000)},
        {"grayscale", withSampling(photo, 1, true), QSize(3000, 2000)},
        {"EXIF orientation 6", upright.left(2) + exifSegment(6, true) + upright.mid(2), QSize(2000, 3000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        QSize natural;
        const QImage reduced = decodePicture(c.jpeg, box, &natural), full = decodePicture(c.jpeg);
        // The smallest eighth covering the fitted view: 750 x 500 (turned 500 x 750) for 667 x 444.
        EXPECT_EQ(natural, c.natural);
        EXPECT_EQ(reduced.size(), c.natural / 4);
        const QSize fitted = c.natural.scaled(box, Qt::KeepAspectRatio);
        const QImage a = stretchPicture(reduced, fitted).convertToFormat(QImage::Format_RGB32);
        const QImage b = stretchPicture(full, fitted).convertToFormat(QImage::Format_RGB32);
        FidelityMeter meter(fitted, 1);
        for (int y = 0; y < fitted.height(); ++y)
            meter.addRow(reinterpret_cast<const QRgb*>(a.constScanLine(y)), reinterpret_cast<const QRgb*>(b.constScanLine(y)));
        EXPECT_GE(meter.fidelity().psnr, 38.0) << "the likeness, in dB";
    }
}

// The control keeps its picture stretched between paints: a new one of the same size must replace it.
TEST(PictureControl, ANewPictureOfTheSameSizeIsDrawn)
{
    ImageControl control(nullptr);
    control.resize(30, 20);
    QImage picture(61, 40, QImage::Format_RGB32);
    for (const QRgb colour : {qRgb(200, 0, 0), qRgb(0, 0, 200)}) {
        picture.fill(colour);
        control.setPicture(picture);
        EXPECT_EQ(control.grab().toImage().pixel(15, 10), colour);
    }
}

TEST_F(PictureView, TheFullSizeComesFromTheBytesShown)
{
    const QByteArray shownBytes = encodedAs(photoLike(1600, 1200), "JPEG");
    const QString path = write("photo.jpg", shownBytes);
    const ShownPicture kept = readForView(path, {667, 667}), notKept = readForView(path, {667, 667}, {}, 0);
    EXPECT_EQ(notKept.source->decodeFull(), decodePicture(shownBytes)) << "unchanged: read again";
    // Replaced by another picture of the same size under the same name.
    const QString other = write("other.jpg", encodedAs(photoLike(1600, 1200).mirrored(true, false), "JPEG"));
    ASSERT_EQ(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    EXPECT_EQ(kept.source->decodeFull(), decodePicture(shownBytes)) << "the bytes kept were not used";
    EXPECT_THROW(notKept.source->decodeFull(), FileChangedError);
}

ShownPicture pictureOf(const QString& path)
{
    return {QImage(4, 4, QImage::Format_RGB32), QSize(4, 4), std::make_shared<PictureSource>(path, stampOf(path), QByteArray())};
}

// Each decode notes its start and the file's stamp as read, then waits until `opened`.
struct ReadAheadTest : ScratchTest {
    void start(const QString& current, const QStringList& neighbours)
    {
        readAhead.follow(current, neighbours, [this](const QString& path, std::stop_token stop) {
            ShownPicture read = pictureOf(path);
            started.append(path);
            begun.release();
            opened.wait();
            sawStop = sawStop || stop.stop_requested();
            return read;
        });
        readAhead.resume();
    }
    void waitUntilSettled()
    {
        while (readAhead.busy())
            QSignalSpy(&readAhead, &ReadAhead::settled).wait();
    }
    std::counting_semaphore<> begun{0};
    std::latch opened{1};
    QStringList started; // read once the read-ahead has settled
    bool sawStop = false;
    ReadAhead readAhead;
    const QString a = write("a"), b = write("b"), c = write("c");
};

TEST_F(ReadAheadTest, AFolderChangeStopsAndDropsTheNeighboursWork)
{
    start(a, {b, c});
    begun.acquire(); // b
    readAhead.keepOnlyCurrent();
    opened.count_down();
    ReadAhead::threads().waitForDone(); // the stopped decode reports nothing
    waitUntilSettled();
    EXPECT_TRUE(sawStop);
    EXPECT_EQ(started, QStringList{b}); // c never began
    EXPECT_EQ(readAhead.heldCount(), 0);
}

TEST_F(ReadAheadTest, HoldsTheCurrentPictureAndTwoNeighboursAtMost)
{
    const QString d = write("d"), e = write("e");
    opened.count_down();
    const auto select = [this](const QString& current, const QStringList& neighbours) {
        start(current, neighbours);
        waitUntilSettled();
    };
    select(b, {c, a});
    readAhead.hold(b, pictureOf(b));
    EXPECT_EQ(readAhead.heldCount(), 3);
    // One step down: a goes, d is read; the pictures held are reused, not read again.
    select(c, {d, b});
    EXPECT_FALSE(readAhead.take(a));
    EXPECT_TRUE(readAhead.take(d) && readAhead.take(b) && readAhead.take(c)) << "b, c or d not held";
    select(e, {d});
    EXPECT_EQ(readAhead.heldCount(), 1);
    EXPECT_EQ(started, (QStringList{c, a, d})) << "neighbours read in the order given, none twice";
}

// The same second for every file, so that only what a case changes differs.
void setModified(const QString& path, long nanoseconds)
{
    const timespec times[2] = {{1'600'000'000, nanoseconds}, {1'600'000'000, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

TEST_F(ReadAheadTest, AFileChangedWhileReadOrHeldIsNotHandedOut)
{
    start(a, {b});
    begun.acquire(); // b, read as it was
    write("b", "replaced by a larger file");
    readAhead.follow(b, {});
    opened.count_down();
    waitUntilSettled();
    EXPECT_FALSE(readAhead.take(b)) << "replaced while being read";
    // Held, then changed in one way only.
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"its size", [&] { setModified(write("b", "xy"), 250'000'000); }},
        {"its time, by half a second", [&] { setModified(b, 750'000'000); }},
        {"its file", [&] {
            setModified(write("n", "x"), 250'000'000);
            ASSERT_EQ(std::rename(QFile::encodeName(path("n")).constData(), QFile::encodeName(b).constData()), 0); }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        setModified(write("b", "x"), 250'000'000);
        start(a, {b});
        waitUntilSettled();
        ASSERT_EQ(readAhead.heldCount(), 1);
        change();
        EXPECT_FALSE(readAhead.take(b)) << "changed while held";
        EXPECT_EQ(readAhead.heldCount(), 0) << "the stale picture is still held";
    }
}

TEST_F(ReadAheadTest, YieldingStopsTheDecodeAndReadsItAgainLater)
{
    start(a, {b, c});
    begun.acquire(); // b
    readAhead.yield();
    opened.count_down();
    ReadAhead::threads().waitForDone();
    EXPECT_TRUE(sawStop);
    readAhead.resume();
    waitUntilSettled();
    EXPECT_EQ(started, (QStringList{b, b, c}));
    EXPECT_TRUE(readAhead.take(b) && readAhead.take(c)) << "b or c not held";
}

// A read-ahead waiting first must not take the wake-up that the window waiting behind it needs.
TEST(DecodeSlotTest, AGivenBackTurnWakesTheWindowBehindAReadAhead)
{
    DecodeSlot slot;
    std::optional<DecodeSlot::Turn> held(slot.forWindow({}));
    std::binary_semaphore windowTook{0};
    const QDeadlineTimer patience(20000); // a guard against hanging, not a measurement
    std::jthread readAhead([&](std::stop_token stop) { const DecodeSlot::Turn turn = slot.forReadAhead(stop); });
    while (!slot.readAheadWaits() && !patience.hasExpired())
        QThread::yieldCurrentThread();
    std::jthread window([&](std::stop_token stop) {
        if (const DecodeSlot::Turn turn = slot.forWindow(stop))
            windowTook.release();
    });
    while (!slot.windowWaits() && !patience.hasExpired())
        QThread::yieldCurrentThread();
    held.reset();
    EXPECT_TRUE(windowTook.try_acquire_for(std::chrono::seconds(20))) << "the window slept on";
}

// The read-ahead waits while the window decodes, and a slot given back while a window waits is the window's.
TEST_F(ReadAheadTest, WaitsForTheWindowWhichAlwaysGoesFirst)
{
    opened.count_down();
    DecodeSlot& slot = *readAhead.decodeSlot();
    std::optional<DecodeSlot::Turn> window(slot.forWindow({}));
    std::stop_source stopped;
    stopped.request_stop(); // a stopped wait only tries
    EXPECT_FALSE(slot.forReadAhead(stopped.get_token())) << "the slot was free";
    start(a, {b});
    const QDeadlineTimer patience(20000); // a guard against hanging, not a measurement
    while (!slot.readAheadWaits() && !patience.hasExpired())
        QThread::yieldCurrentThread();
    readAhead.yield(); // out of the way while a second window waits
    ReadAhead::threads().waitForDone();
    EXPECT_TRUE(started.isEmpty()) << "decoded beside the window";
    for (int round = 0; round < 8; ++round) { // the waiting window may win the race to the slot by itself
        std::latch took(1), done(1);
        std::jthread next([&] {
            const DecodeSlot::Turn turn = slot.forWindow({});
            took.count_down();
            done.wait();
        });
        while (!slot.windowWaits() && !patience.hasExpired())
            QThread::yieldCurrentThread();
        window.reset();
        EXPECT_FALSE(slot.forReadAhead(stopped.get_token())) << "a read-ahead took the window's turn";
        took.wait();
        done.count_down();
        next.join();
        window.emplace(slot.forWindow({}));
    }
    window.reset();
    readAhead.resume();
    waitUntilSettled();
    EXPECT_EQ(started, QStringList{b});
}

} // namespace
