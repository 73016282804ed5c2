// The read-ahead worker, driven by a decoder that blocks until the test lets it go.

#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

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

void waitUntilSettled(ReadAhead& readAhead)
{
    while (readAhead.busy())
        QSignalSpy(&readAhead, &ReadAhead::settled).wait();
}

struct ReadAheadTest : ::testing::Test {
    QTemporaryDir dir;
    GatedDecoder decoder;
    ReadAhead readAhead{[this](const QString& path, const std::atomic_bool& stop) { return decoder.decode(path, stop); }};

    QString file(const char* name, const QByteArray& bytes = "x")
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(writeBytes(path, bytes));
        return path;
    }
};

TEST_F(ReadAheadTest, AFolderChangeStopsAndDropsThePendingWork)
{
    const QString a = file("a"), b = file("b"), c = file("c");
    readAhead.follow(a, {b, c});
    decoder.waitUntilStarted(b);
    readAhead.clear();
    decoder.release();
    waitUntilSettled(readAhead);
    EXPECT_TRUE(decoder.sawStop);
    EXPECT_EQ(decoder.started, QStringList{b}); // c never began
    EXPECT_EQ(readAhead.heldCount(), 0);
}

TEST_F(ReadAheadTest, SelectingThePictureBeingReadAheadLetsItFinish)
{
    const QString a = file("a"), b = file("b"), c = file("c");
    readAhead.follow(a, {b});
    decoder.waitUntilStarted(b);
    readAhead.follow(b, {c});
    decoder.release();
    waitUntilSettled(readAhead);
    EXPECT_FALSE(decoder.sawStop);
    EXPECT_EQ(decoder.started, (QStringList{b, c}));
    EXPECT_TRUE(readAhead.take(b) && readAhead.take(c));
}

TEST_F(ReadAheadTest, HoldsTheCurrentPictureAndTwoNeighboursAtMostNewestSelectionFirst)
{
    const QString a = file("a"), b = file("b"), c = file("c"), d = file("d"), e = file("e");
    decoder.release();
    readAhead.follow(b, {c, a});
    waitUntilSettled(readAhead);
    readAhead.hold(b, pictureOf(b));
    EXPECT_EQ(readAhead.heldCount(), 3);
    // One step down: a goes, d is read; the pictures held are reused, not read again.
    readAhead.follow(c, {d, b});
    waitUntilSettled(readAhead);
    EXPECT_EQ(readAhead.heldCount(), 3);
    EXPECT_FALSE(readAhead.take(a));
    EXPECT_TRUE(readAhead.take(d) && readAhead.take(b) && readAhead.take(c));
    readAhead.follow(e, {d});
    waitUntilSettled(readAhead);
    EXPECT_EQ(readAhead.heldCount(), 1);
    EXPECT_EQ(decoder.started, (QStringList{c, a, d}));
    file("d", "new contents"); // a changed file is not served from the cache
    EXPECT_FALSE(readAhead.take(d));
    EXPECT_EQ(readAhead.heldCount(), 0);
}

} // namespace
