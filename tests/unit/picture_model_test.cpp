// The picture model's transitions, driven with a decoder that holds every file until the test lets it go.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>

#include "model_driver.h"
#include "runtime/app.h"
#include "runtime/run_time_error.h"
#include "runtime/services.h"
#include "test_files.h"
#include "ui/questions.h"
#include "viewing/read_ahead.h"

namespace {

// Three pictures of different sizes and a bad file; every decode, the window's and the read-ahead's, held.
class PictureModelTest : public ScratchTest {
protected:
    ~PictureModelTest() override
    {
        decoder_.gate.release(1000);
        QThreadPool::globalInstance()->waitForDone();
        ReadAhead::threads().waitForDone();
    }
    // Selects the file and lets exactly its decode through.
    void show(const QString& file, const QStringList& neighbours = {})
    {
        model_.select(file, neighbours);
        decoder_.began.acquire();
        decoder_.gate.release();
        ASSERT_TRUE(settle(model_));
    }
    static void deliver() // whether the model takes the results or not
    {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }
    const QString a = write("a.jpg", encodedAs(testPicture(30, 20), "JPEG"));
    const QString b = write("b.jpg", encodedAs(testPicture(17, 40), "JPEG"));
    const QString c = write("c.bmp", encodedAs(testPicture(9, 7), "BMP"));
    const QString bad = write("bad.jpg", "not a picture");
    ScopedServices services_{Services{}};
    HeldDecoder decoder_;
    PictureModel model_{QSize(200, 200)};
};

// A filter or folder change while the selection's picture is read ahead used to stop that decode.
TEST_F(PictureModelTest, AFilterChangeLetsThePictureReadAheadArrive)
{
    show(a, {b});
    decoder_.began.acquire(); // the read-ahead's b
    model_.select(b, {a});
    ASSERT_TRUE(model_.readAhead().reads(b)) << "b decoded twice";
    model_.changeFilter();
    model_.enterFolder(folder.path());
    decoder_.gate.release();
    ASSERT_TRUE(settle(model_)) << "the picture never arrived";
    EXPECT_EQ(model_.picture().natural, QSize(17, 40));
    EXPECT_EQ(model_.savePath(), b) << "not the picture's own path";
}

// The picture's own once it arrives, the folder after a folder change, the program's folder after a failure.
TEST_F(PictureModelTest, APathProposedFollowsThePictureThenTheFolder)
{
    show(a);
    model_.select(c);
    decoder_.began.acquire();
    model_.changeFilter();
    EXPECT_EQ(model_.savePath(), a) << "while c loads";
    decoder_.gate.release();
    ASSERT_TRUE(settle(model_));
    EXPECT_EQ(model_.savePath(), c);
    model_.enterFolder(folder.path() + "/");
    EXPECT_EQ(model_.savePath() + '|' + model_.path(), folder.path() + "/|" + c) << "the picture shown is still c";
    show(bad);
    EXPECT_EQ(model_.savePath(), App::path()) << "a failed file proposed";
}

// Only the newest of a burst is decoded; the one under way stops, a bad file passed over is never reported.
TEST_F(PictureModelTest, SelectionsPassedOverAreNeverShownNorDecoded)
{
    QSignalSpy failed(&model_, &PictureModel::failed);
    model_.select(a);
    decoder_.began.acquire();
    model_.select(bad);
    model_.select(c);
    decoder_.gate.release(2); // a, which finds itself stopped, then c
    ASSERT_TRUE(settle(model_));
    const auto [started, stopped] = decoder_.startedAndStopped();
    EXPECT_EQ(started, (QStringList{a, c}));
    EXPECT_EQ(stopped, QStringList{a});
    EXPECT_EQ(failed.count(), 0);
    EXPECT_EQ(model_.picture().natural, QSize(9, 7));
}

// While a question is open the picture on screen stays; the selection's comes once it is answered.
TEST_F(PictureModelTest, APictureArrivingDuringAQuestionWaitsForTheAnswer)
{
    show(a);
    for (const QString& file : {c, bad}) {
        const QSize before = model_.picture().natural;
        model_.select(file);
        decoder_.began.acquire();
        {
            const questions::Open open;
            decoder_.gate.release();
            deliver();
            EXPECT_EQ(model_.picture().natural, before) << "changed behind the question: " << file.toStdString();
            EXPECT_EQ(model_.state(), PictureModel::State::Loading);
        }
        ASSERT_TRUE(settle(model_));
    }
    EXPECT_EQ(model_.state(), PictureModel::State::Failed);
}

TEST_F(PictureModelTest, ACommandWaitsForItsSelectionAndDiesWithIt)
{
    show(a);
    QStringList ran;
    model_.select(b);
    decoder_.began.acquire();
    model_.whenFullPicture([&] { ran << model_.path(); });
    EXPECT_TRUE(ran.isEmpty()) << "ran on the picture still on screen";
    model_.select(c); // another selection: the command about b goes
    decoder_.gate.release(); // b, stopped
    decoder_.began.acquire(); // c
    decoder_.gate.release();
    ASSERT_TRUE(settle(model_));
    EXPECT_TRUE(ran.isEmpty()) << "ran on a later selection";
    model_.select(a);
    decoder_.began.acquire();
    model_.whenFullPicture([&] { ran << model_.path() + QString::number(model_.fullPicture().width()); });
    decoder_.gate.release();
    ASSERT_TRUE(settle(model_));
    EXPECT_EQ(ran, QStringList{a + "30"});
}

// A full-size decode whose picture was replaced meanwhile ends the wait as a question, runs nothing and keeps nothing.
TEST_F(PictureModelTest, AFullPictureForAPictureNoLongerShownIsDropped)
{
    std::binary_semaphore begun{0}, released{0};
    services().decodeFull = [&](const PictureSource&, std::stop_token) {
        begun.release();
        released.acquire();
        return QImage(500, 300, QImage::Format_RGB32);
    };
    show(write("large.jpg", encodedAs(testPicture(500, 300), "JPEG")));
    bool ran = false;
    model_.whenFullPicture([&] { ran = true; });
    begun.acquire();
    EXPECT_TRUE(model_.makingFullPicture() && questions::anyOpen());
    model_.showInMemory(testPicture(5, 3));
    released.release();
    deliver();
    EXPECT_FALSE(ran || model_.busy() || questions::anyOpen()) << "ran, or still waiting";
    EXPECT_EQ(model_.fullPicture().size(), QSize(5, 3));
}

// Busy from a selection until its picture, or its failure, is there; a failure shows the fallback.
TEST_F(PictureModelTest, BusyEndsOnEveryWayAPictureSettles)
{
    QSignalSpy busy(&model_, &PictureModel::busyChanged);
    show(a);
    show(bad);
    EXPECT_EQ(model_.state(), PictureModel::State::Failed);
    EXPECT_EQ(model_.picture().natural, QSize(50, 50));
    model_.select(b);
    decoder_.began.acquire();
    model_.showInMemory(testPicture(5, 3)); // the clipboard's picture instead
    EXPECT_FALSE(model_.busy());
    model_.select(path("gone.jpg"));
    EXPECT_FALSE(model_.busy()) << "a file gone before its decode";
    model_.select(a);
    model_.stop();
    EXPECT_FALSE(model_.busy());
    ASSERT_FALSE(busy.isEmpty());
    for (qsizetype i = 0; i < busy.size(); ++i)
        EXPECT_EQ(busy[i].at(0).toBool(), i % 2 == 0) << "told twice, or not ending idle, at " << i;
    EXPECT_EQ(busy.size() % 2, 0);
}

// The program ending stops everything: nothing arrives afterwards.
TEST_F(PictureModelTest, NothingArrivesAfterTheEnd)
{
    show(a);
    model_.select(b);
    decoder_.began.acquire();
    bool ran = false;
    model_.whenFullPicture([&] { ran = true; });
    model_.stop();
    decoder_.gate.release();
    deliver();
    EXPECT_EQ(model_.picture().natural, QSize(30, 20));
    EXPECT_FALSE(ran || model_.busy());
    model_.select(c);
    EXPECT_EQ(model_.path(), b) << "selected after the end";
    // Nor the command of a full-size picture under way: this one is shown reduced.
    PictureModel other(QSize(200, 200));
    other.select(write("large.jpg", encodedAs(testPicture(500, 300), "JPEG")));
    decoder_.began.acquire();
    decoder_.gate.release();
    ASSERT_TRUE(settle(other));
    other.whenFullPicture([&] { ran = true; });
    ASSERT_TRUE(other.busy()) << "no full-size decode to stop";
    other.stop();
    deliver();
    EXPECT_FALSE(ran || other.busy());
}

// A file whose first bytes are no picture is refused without reading the rest; a stopped read stops.
TEST(PictureReading, NoPictureIsRefusedUnreadAndAStopStopsTheRead)
{
    QTemporaryDir folder;
    const QString huge = folder.filePath("huge.jpg");
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0 && file.resize(qint64(64) << 30));
    file.close();
    try {
        readForView(huge, QSize(100, 100));
        ADD_FAILURE() << "read as a picture";
    } catch (const RunTimeError& error) {
        EXPECT_EQ(error.number(), RunTimeError::InvalidPicture) << "read whole before being refused";
    }
    const QString bmp = folder.filePath("small.bmp");
    ASSERT_TRUE(writeBytes(bmp, encodedAs(testPicture(6, 5), "BMP")));
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_THROW(readForView(bmp, QSize(100, 100), stopped.get_token()), DecodeCancelled);
    EXPECT_EQ(readForView(bmp, QSize(100, 100)).natural, QSize(6, 5));
}

} // namespace
