// Ending on a signal: the steps the signal starts, from the application's event
// loop. An open question is closed as by its close box, the save dialog is
// cancelled, and the program leaves through the main window's close.
#include <QThreadPool>
#include <QTimer>

#include "app/termination.h"
#include "form_fixture.h"
#include "forms/save/save_dialog.h"
#include "runtime/dialogs.h"

namespace {

class Termination : public FormTest {
protected:
    Termination() { startProgram(); }
    // Runs the application's loop with `work` as its first event; the loop's exit code.
    static int runApplication(const std::function<void()>& work)
    {
        QTimer::singleShot(0, qApp, work);
        QTimer neverEnded; // ends a loop the program failed to end, so the test fails instead of hanging
        neverEnded.callOnTimeout([] { QCoreApplication::exit(99); });
        neverEnded.start(10000);
        return QCoreApplication::exec();
    }
};

} // namespace

TEST_F(Termination, OpenQuestionsAreAnsweredCancelThenTheProgramQuits)
{
    MsgBoxResult first = MsgBoxResult::Ok, second = MsgBoxResult::Ok;
    const int ended = runApplication([&] {
        QTimer::singleShot(0, qApp, [] { endLikeTheCloseBox(); });
        QtDialogService real;
        first = real.msgBox(QStringLiteral("【　a.jpg　】を削除しますか？"), MsgBoxStyle::OkCancel, QStringLiteral("削除"));
        second = real.msgBox(QStringLiteral("上書きしますか？"), MsgBoxStyle::OkCancel, QStringLiteral("確認"));
    });
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(std::pair(first, second), std::pair(MsgBoxResult::Cancel, MsgBoxResult::Cancel));
    EXPECT_EQ(forms::loaded<MainWindow>(), nullptr);
}

TEST_F(Termination, TheSaveDialogIsCancelledAndTheMainWindowCloses)
{
    write("photo.bmp", encodedAs(testPicture(320, 240), "BMP"));
    mainWindow().fileList->setPath(pictures());
    mainWindow().fileList->setListIndex(0);
    waitForPicture();
    mainWindow().openSaveDialog();
    ASSERT_TRUE(forms::loaded<SaveDialog>());
    EXPECT_EQ(runApplication(endLikeTheCloseBox), 0);
    EXPECT_FALSE(forms::loaded<SaveDialog>() || forms::loaded<MainWindow>() || forms::loaded<ImageWindow>()) << "a form stayed loaded";
    QThreadPool::globalInstance()->waitForDone();
    const QStringList left = QDir(programFolder()).entryList({"Sample.jpg.*"}, QDir::Files);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}
