// The guard every handler runs in: a run-time error nothing trapped is
// reported and ends the program; any other exception is a fault that is
// logged and ends the process, never taken for a damaged file.
#include <stdexcept>

#include "desktop/launcher.h"
#include "form_fixture.h"
#include "forms/handler_guard.h"

namespace {

using HandlerGuardTest = FormTest;

TEST_F(HandlerGuardTest, AnUntrappedRunTimeErrorIsReportedAndEndsTheProgram)
{
    dialogs_->answerMessage();
    EXPECT_THROW(guarded([](int number) { throw RunTimeError(number); })(7), ProgramEnded);
    const ScriptedDialogs::Box& box = dialogs_->last();
    EXPECT_EQ(box.text + '|' + box.title, "実行時エラー '7':\n\nメモリが不足しています。|きりビュアー");
    EXPECT_EQ(box.style, MsgBoxStyle::Critical);

    int calls = 0; // a handler that runs to its end reports nothing
    guarded([&] { ++calls; })();
    EXPECT_EQ(calls + dialogs_->messageCount(), 2);
}

// Any other exception is a fault: in the file click's trap, where every exception used to
// mean "ファイルが空です", and out of memory in the run command's, which is no name that cannot start.
TEST_F(HandlerGuardTest, AnUnexpectedExceptionOrOutOfMemoryOutsideAPictureIsLoggedAndFatal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct ExhaustedLauncher : Launcher {
        ExhaustedLauncher() { services().launcher = this; }
        ~ExhaustedLauncher() override { services().launcher = nullptr; }
        void Shell(const QString&, int) override { throw std::bad_alloc(); }
    } launcher;
    write("a.jpg", encodedAs(testPicture(8, 8), "JPEG"));
    startProgram();
    MainWindow& mainWindow = forms::get<MainWindow>();
    mainWindow.pathBox->setText(QStringLiteral("a.txt"));
    EXPECT_DEATH(mainWindow.runButton->click(), "unexpected exception in a handler: std::bad_alloc");
    mainWindow.folderList->setPath(pictures());
    QObject::connect(mainWindow.pathBox, &QLineEdit::textChanged, [] { throw std::logic_error("a fault in the program"); });
    EXPECT_DEATH(mainWindow.fileList->setListIndex(0), "unexpected exception in a handler: a fault in the program");
}

} // namespace
