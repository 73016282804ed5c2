// A save or a copy of a picture shown reduced waits for its full-size decode, the program held meanwhile.
#include <atomic>
#include <semaphore>

#include <QClipboard>
#include <QThreadPool>

#include "app/command_line.h"
#include "viewing/read_ahead.h"
#include "form_fixture.h"
#include "about_dialog/about_dialog.h"

namespace {

class FullPictureTest : public FormTest {
protected:
    FullPictureTest()
    {
        // Every full-size decode blocks until the test releases it, then gives a flat picture, or throws.
        services().decodeFull = [held = held_](const PictureSource&, std::stop_token) {
            ++held->decodes;
            held->begun.release();
            held->released.acquire();
            if (held->failure)
                held->failure();
            QImage full(1600, 1200, QImage::Format_RGB32);
            full.fill(decodedColour);
            return full;
        };
        startProgram();
        write("other.bmp", encodedAs(testPicture(30, 40), "BMP"));
        click("photo.jpg", encodedAs(testPicture(1600, 1200), "JPEG"));
        mainWindow().aboutDialog().show();
    }
    ~FullPictureTest() override
    {
        held_->released.release(10);
        QThreadPool::globalInstance()->waitForDone();
        ReadAhead::threads().waitForDone();
    }
    static bool othersEnabled(bool on)
    {
        return mainWindow().isEnabled() == on && imageWindow().isEnabled() == on && mainWindow().aboutDialog().isEnabled() == on;
    }
    static constexpr QRgb decodedColour = qRgb(10, 200, 30);
    struct Held {
        std::counting_semaphore<> begun{0}, released{0};
        std::atomic<int> decodes = 0;
        std::function<void()> failure;
    };
    std::shared_ptr<Held> held_ = std::make_shared<Held>();
};

// A path handed over meanwhile waits; kept, the picture then serves a copy at once, from a double-click too.
TEST_F(FullPictureTest, SaveDialogWaitsForTheFullPictureDecodedOnce)
{
    ASSERT_EQ(imageWindow().picture.naturalWidth(), 1600);
    ASSERT_LT(imageWindow().picture.picture().width(), 1600) << "shown at full size: nothing to wait for";
    mainWindow().openSaveDialog();
    held_->begun.acquire();
    QCoreApplication::processEvents();
    EXPECT_EQ(FormTest::saveDialog(), nullptr) << "opened before its picture";
    EXPECT_TRUE(othersEnabled(false) && mainWindow().mousePointer() == MousePointer::Hourglass);
    commandline::openPath(at("other.bmp"));
    QCoreApplication::processEvents();
    EXPECT_EQ(commandline::waitingPath(), at("other.bmp")) << "a path handed over would change the picture waited for";
    held_->released.release();
    waitForPicture();
    ASSERT_NE(FormTest::saveDialog(), nullptr) << "never opened";
    EXPECT_EQ(mainWindow().mousePointer(), MousePointer::Default);
    FormTest::saveDialog()->cancel();
    EXPECT_TRUE(othersEnabled(true));
    dialogs_->answerMessage().answerMessage();
    mainWindow().copyPicture();
    EXPECT_EQ(QApplication::clipboard()->image().pixel(5, 5), decodedColour);
    QApplication::clipboard()->clear();
    imageWindow().copyPictureOnDoubleClick();
    EXPECT_EQ(QApplication::clipboard()->image().pixel(5, 5), decodedColour);
    EXPECT_EQ(held_->decodes, 1);
    deliverWaitingPath();
    EXPECT_EQ(mainWindow().selectedPath, at("other.bmp"));
}

TEST_F(FullPictureTest, AFailedDecodeIsReportedAndEnablesTheWindows)
{
    const struct { std::function<void()> failure; QString message; } cases[] = {
        {[] { throw RunTimeError(RunTimeError::InvalidPicture, "bad"); }, QStringLiteral("ファイルが空です")},
        {[] { throw FileChangedError(); }, QStringLiteral("表示した後でファイルが変更されたため、表示した画像を使えません")},
    };
    for (const auto& [failure, message] : cases) {
        SCOPED_TRACE(message.toStdString());
        held_->failure = failure;
        dialogs_->answerMessage();
        mainWindow().openSaveDialog();
        held_->released.release();
        waitForPicture();
        EXPECT_EQ(dialogs_->last().text, message);
        EXPECT_TRUE(!FormTest::saveDialog() && othersEnabled(true) && mainWindow().mousePointer() == MousePointer::Default);
    }
}

} // namespace
