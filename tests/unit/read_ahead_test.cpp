// The read-ahead worker, driven by a decoder that blocks until the test lets it go.
#include <condition_variable>
#include <mutex>

#include <QSignalSpy>

#include "decoder/picture_source.h"
#include "decoder/read_ahead.h"
#include "test_files.h"

namespace {

ShownPicture pictureOf(const QString& path)
{
    return ShownPicture{QImage(4, 4, QImage::Format_RGB32), QSize(4, 4),
                        std::make_shared<PictureSource>(path, stampOf(path), QByteArray())};
}

struct GatedDecoder {
    std::mutex mutex;
    std::condition_variable changed;
    QStringList started;
    bool open = false;
    bool sawStop = false;

    ShownPicture decode(const QString& path, const std::atomic_bool& stop)
    {
        std::unique_lock lock(mutex);
        started.append(path);
        changed.notify_all();
        changed.wait(lock, [this] { return open; });
        sawStop = sawStop || stop;
        return pictureOf(path);
    }
    void waitUntilStarted(const QString& path)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return started.contains(path); });
    }
    void release()
    {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

struct ReadAheadTest : ScratchTest {
    void waitUntilSettled()
    {
        while (readAhead.busy())
            QSignalSpy(&readAhead, &ReadAhead::settled).wait();
    }
    GatedDecoder decoder;
    ReadAhead readAhead{[this](const QString& path, const std::atomic_bool& stop) { return decoder.decode(path, stop); }};
};

TEST_F(ReadAheadTest, AFolderChangeStopsAndDropsThePendingWork)
{
    const QString a = write("a"), b = write("b"), c = write("c");
    readAhead.follow(a, {b, c});
    decoder.waitUntilStarted(b);
    readAhead.clear();
    decoder.release();
    waitUntilSettled();
    EXPECT_TRUE(decoder.sawStop);
    EXPECT_EQ(decoder.started, QStringList{b}); // c never began
    EXPECT_EQ(readAhead.heldCount(), 0);
}

TEST_F(ReadAheadTest, SelectingThePictureBeingReadAheadLetsItFinish)
{
    const QString a = write("a"), b = write("b"), c = write("c");
    readAhead.follow(a, {b});
    decoder.waitUntilStarted(b);
    readAhead.follow(b, {c});
    decoder.release();
    waitUntilSettled();
    EXPECT_FALSE(decoder.sawStop);
    EXPECT_EQ(decoder.started, (QStringList{b, c}));
    EXPECT_TRUE(readAhead.take(b) && readAhead.take(c));
}

TEST_F(ReadAheadTest, HoldsTheCurrentPictureAndTwoNeighboursAtMostNewestSelectionFirst)
{
    const QString a = write("a"), b = write("b"), c = write("c"), d = write("d"), e = write("e");
    decoder.release();
    readAhead.follow(b, {c, a});
    waitUntilSettled();
    readAhead.hold(b, pictureOf(b));
    EXPECT_EQ(readAhead.heldCount(), 3);
    // One step down: a goes, d is read; the pictures held are reused, not read again.
    readAhead.follow(c, {d, b});
    waitUntilSettled();
    EXPECT_FALSE(readAhead.take(a));
    EXPECT_TRUE(readAhead.take(d) && readAhead.take(b) && readAhead.take(c));
    readAhead.follow(e, {d});
    waitUntilSettled();
    EXPECT_EQ(readAhead.heldCount(), 1);
    EXPECT_EQ(decoder.started, (QStringList{c, a, d}));
    write("d", "new contents"); // a changed file is not served from the cache
    EXPECT_FALSE(readAhead.take(d));
    EXPECT_EQ(readAhead.heldCount(), 0);
}

} // namespace
