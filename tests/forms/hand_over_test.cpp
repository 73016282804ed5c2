// A path handed over by a later start while a question is open: the question is answered for
// what it asked about, and the path is shown once the last question is over.
#include <atomic>
#include <thread>

#include <QDeadlineTimer>

#include "app/command_line.h"
#include "decoder/picture_loader.h"
#include "desktop/instance_channel.h"
#include "form_fixture.h"
#include "save_dialog/save_dialog.h"
#include "desktop/user_files.h"

namespace {

void processEventsFor(int rounds)
{
    for (int i = 0; i < rounds; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

class HandOverTest : public FormTest {
protected:
    HandOverTest()
    {
        write("a.jpg", encodedAs(testPicture(64, 48), "JPEG"));
        write("b.bmp", encodedAs(testPicture(30, 40), "BMP"));
        startProgram();
        commandline::listenForHandOvers();
        mainWindow().folderList->setPath(pictures());
    }

    // Sends the path through the running instance's channel and waits until it has arrived,
    // waiting for the questions or already shown.
    void handOver(const QString& path)
    {
        // The sender waits for the answer, so it runs beside this thread, which serves.
        std::atomic<bool> done = false;
        instance::Delivery delivery{};
        std::thread sender([&] {
            delivery = instance::handOver(path);
            done = true;
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        sender.join();
        ASSERT_EQ(delivery, instance::Delivery::Taken);
        const QDeadlineTimer patience(10000);
        while (commandline::waitingPath() != path && mainWindow().selectedPath != path
               && mainWindow().folderList->path() != path && !patience.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    void select(const QString& name)
    {
        mainWindow().fileList->setListIndex(-1);
        for (int i = 0; i < mainWindow().fileList->listCount(); ++i)
            if (mainWindow().fileList->entry(i) == name)
                mainWindow().fileList->setListIndex(i);
        waitForPicture();
        ASSERT_EQ(mainWindow().selectedPath, at(name));
    }
};

TEST_F(HandOverTest, FavoritePromptStoresTheFolderItWasAskedIn)
{
    QDir().mkpath(at("sub"));
    dialogs_->whileNextBoxOpen([&] { handOver(at("sub")); }).answerInput("1");
    mainWindow().addFavorite();
    EXPECT_TRUE(readBytes(userfiles::current().settingsFile()).contains("key01=" + pictures().toUtf8() + '\n'));
    deliverWaitingPath();
    EXPECT_EQ(mainWindow().folderList->path(), at("sub"));
}

TEST_F(HandOverTest, BadFileBoxDoesNotUndoTheFileHandedOverMeanwhile)
{
    write("c.gif", "not a picture");
    mainWindow().fileList->refresh();
    dialogs_->whileNextBoxOpen([&] { handOver(at("a.jpg")); }).answerMessage();
    mainWindow().fileList->setListIndex(mainWindow().fileList->row(mainWindow().fileList->findItems("c.gif", Qt::MatchExactly).value(0)));
    waitForPicture(); // the bad file's box, and the path handed over meanwhile after it
    deliverWaitingPath();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("ファイルが空です"));
    EXPECT_EQ(model().savePath(), at("a.jpg"));
    EXPECT_EQ(imageWindow().picture.naturalWidth(), 64);
}

TEST_F(HandOverTest, MissingFileHandedAgainWhileReportedIsNotStacked)
{
    // Straight to where the channel delivers: it arrives, and nothing shows that it did.
    dialogs_->whileNextBoxOpen([&] { commandline::openPath(at("gone.jpg")); }).answerMessage();
    commandline::openPath(at("gone.jpg"));
    deliverWaitingPath();
    processEventsFor(5);
    EXPECT_EQ(dialogs_->messageCount(), 1);
}

// The save dialog compresses the picture it was opened for.
class HandOverToSaveTest : public HandOverTest {
protected:
    HandOverToSaveTest()
    {
        select("a.jpg");
        mainWindow().openSaveDialog();
        saveDialog = FormTest::saveDialog();
        waitForPreview();
    }
    QPointer<SaveDialog> saveDialog;
};

TEST_F(HandOverToSaveTest, OpenSaveDialogKeepsItsPictureAndPath)
{
    handOver(at("b.bmp"));
    processEventsFor(5);
    EXPECT_EQ(mainWindow().selectedPath, at("a.jpg"));
    EXPECT_EQ(saveDialog->pathLabel->text(), at("a.jpg"));
    saveDialog->cancel();
    deliverWaitingPath();
    EXPECT_EQ(mainWindow().selectedPath, at("b.bmp"));
}

TEST_F(HandOverToSaveTest, SaveWritesThePictureTheDialogShowed)
{
    dialogs_->whileNextBoxOpen([&] { handOver(at("b.bmp")); }).answerSave(at("a.jpg"));
    dialogs_->answerMessage(MsgBoxResult::Ok).answerMessage(); // overwrite, then the outcome
    saveDialog->save();
    waitForPicture();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("JPEG変換完了♪"));
    EXPECT_EQ(LoadPicture(at("a.jpg")).size(), QSize(64, 48));
    deliverWaitingPath();
    EXPECT_EQ(mainWindow().selectedPath, at("b.bmp"));
}

} // namespace
