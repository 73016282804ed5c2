// A path handed over by a later start while a question is open: the question is answered for
// what it asked about, and the path is shown once the last question is over.
#include "app/command_line.h"
#include "desktop/user_files.h"
#include "form_fixture.h"

namespace {

class HandOverTest : public FormTest {
protected:
    HandOverTest()
    {
        write("a.jpg", encodedAs(testPicture(64, 48), "JPEG"));
        write("c.gif", "not a picture");
        QDir().mkpath(at("sub"));
        startProgram();
        mainWindow().folderList->setPath(pictures());
    }
    // Hands the path over as the running instance's channel does.
    void handOver(const QString& path)
    {
        commandline::openPath(path);
        QCoreApplication::processEvents();
    }
};

TEST_F(HandOverTest, FavoritePromptStoresTheFolderItWasAskedIn)
{
    dialogs_->whileNextBoxOpen([&] { handOver(at("sub")); }).answerInput("1");
    mainWindow().addFavorite();
    EXPECT_TRUE(readBytes(userfiles::current().settingsFile()).contains("key01=" + pictures().toUtf8() + '\n'));
    deliverWaitingPath();
    EXPECT_EQ(mainWindow().folderList->path(), at("sub"));
}

TEST_F(HandOverTest, BadFileBoxDoesNotUndoTheFileHandedOverMeanwhile)
{
    dialogs_->whileNextBoxOpen([&] { handOver(at("a.jpg")); }).answerMessage();
    click("c.gif"); // the bad file's box, and the path handed over meanwhile after it
    deliverWaitingPath();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("ファイルが空です"));
    EXPECT_EQ(model().savePath() + '|' + mainWindow().selectedPath, at("a.jpg") + '|' + at("a.jpg"));
    EXPECT_EQ(imageWindow().picture.naturalWidth(), 64);
}

TEST_F(HandOverTest, MissingFileHandedAgainWhileReportedIsNotStacked)
{
    dialogs_->whileNextBoxOpen([&] { handOver(at("gone.jpg")); }).answerMessage();
    handOver(at("gone.jpg"));
    deliverWaitingPath();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(dialogs_->messageCount(), 1);
}

} // namespace
