// Start-up through the splash, the ways to end (a signal's too), Enter on a focused button, the guard
// around every handler, and a path from the command line or a later start.
#include <stdexcept>

#include <QDir>
#include <QThreadPool>
#include <QTimer>

#include "app/command_line.h"
#include "app/enter_key.h"
#include "app/splash_screen.h"
#include "app/termination.h"
#include "desktop/launcher.h"
#include "form_fixture.h"
#include "runtime/version.h"
#include "about_dialog/about_dialog.h"
#include "save_dialog/save_dialog.h"
#include "ui/dialogs.h"
#include "ui/handler_guard.h"

namespace {

using StartupTest = FormTest;

// Both windows after the splash's timer, the built-in picture filling the 3000 twip box, white where it is transparent.
TEST_F(StartupTest, SplashWaitsForItsTimerThenShowsTheStartUpPicture)
{
    SplashScreen& splash = *new SplashScreen; // it goes when it hands over
    EXPECT_TRUE(splash.closeTimer->isActive() && !shown<MainWindow>()) << "the main window came before the timer";
    splash.onCloseTimer();
    EXPECT_TRUE(!shown<SplashScreen>() && mainWindow().isVisible() && imageWindow().isVisible()) << "a window is wrong";
    EXPECT_EQ(QSizeF(imageWindow().twipsWidth().value(), imageWindow().twipsHeight().value()), QSizeF(3000, 3000));
    const QImage shown = imageWindow().grab().toImage();
    EXPECT_EQ(shown.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_NE(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::white)) << "the figure is missing";
}

TEST_F(StartupTest, TheVersionDialogShowsTheProgramsVersion)
{
    EXPECT_EQ(mainWindow().aboutDialog().versionLabel->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QStringLiteral(KIRIVIEW_VERSION));
}

TEST_F(StartupTest, EnterPressesTheFocusedButtonOnly)
{
    startProgram();
    installEnterPressesFocusedButton();
    int presses = 0;
    for (QPushButton* button : mainWindow().filterButtons)
        QObject::connect(button, &QPushButton::clicked, [&] { ++presses; });
    QApplication::setActiveWindow(&mainWindow());
    for (int i : {1, 2}) { // a pressed filter button is disabled, so each is another one
        mainWindow().filterButtons[i]->setFocus();
        ASSERT_TRUE(mainWindow().filterButtons[i]->hasFocus());
        QTest::keyClick(mainWindow().filterButtons[i], i == 1 ? Qt::Key_Return : Qt::Key_Enter, i == 1 ? Qt::NoModifier : Qt::KeypadModifier);
    }
    mainWindow().pathBox->setFocus();
    QTest::keyClick(mainWindow().filterButtons[3], Qt::Key_Return); // it has no focus
    EXPECT_EQ(presses, 2) << "Return and keypad Enter on focused buttons, not Return on one without focus";
}

TEST_F(StartupTest, ClosingTheMainWindowOrTheExitMenuUnloadsEveryForm)
{
    for (bool byMenu : {false, true}) { // both leave through the application's end, never End()
        startProgram();
        mainWindow().aboutDialog().show();
        byMenu ? mainWindow().quit() : void(mainWindow().close());
        EXPECT_FALSE(shown<ImageWindow>() || shown<AboutDialog>() || shown<MainWindow>()) << "a form stayed loaded, by menu: " << byMenu;
    }
    // While the save dialog has the main window disabled, its close box changes nothing.
    startProgram();
    mainWindow().setEnabled(false);
    EXPECT_TRUE(!mainWindow().close() && shown<MainWindow>() && shown<ImageWindow>()) << "the disabled main window closed";
}

using HandlerGuardTest = FormTest;

TEST_F(HandlerGuardTest, AnUntrappedRunTimeErrorIsReportedAndEndsTheProgram)
{
    dialogs_->answerMessage();
    EXPECT_THROW(guarded([](int number) { throw RunTimeError(number); })(7), ProgramEnded);
    EXPECT_EQ(dialogs_->last().text + '|' + dialogs_->last().title, "実行時エラー '7':\n\nメモリが不足しています。|きりビュアー");
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::Critical);
}

// Any other exception is a fault: in the file click's trap, where every exception used to
// mean "ファイルが空です", and out of memory in the run command's, which is no name that cannot start.
TEST_F(HandlerGuardTest, AnyOtherExceptionIsLoggedAndEndsTheProcess)
{
    prepareDeathTests();
    struct ExhaustedLauncher : Launcher {
        ExhaustedLauncher() { services().launcher = this; }
        ~ExhaustedLauncher() override { services().launcher = nullptr; }
        void open(const QString&, std::function<void()>) override { throw std::bad_alloc(); }
        void openClipboardViewer() override { throw std::bad_alloc(); }
    } launcher;
    write("a.jpg", encodedAs(testPicture(8, 8), "JPEG"));
    startProgram();
    mainWindow().pathBox->setText(QStringLiteral("a.txt"));
    EXPECT_DEATH(mainWindow().runButton->click(), "unexpected exception in a handler: std::bad_alloc");
    mainWindow().folderList->setPath(pictures());
    QObject::connect(mainWindow().pathBox, &QLineEdit::textChanged, [] { throw std::logic_error("a fault in the program"); });
    EXPECT_DEATH(mainWindow().fileList->setListIndex(0), "unexpected exception in a handler: a fault in the program");
}

// A path from the command line or from a later start, shown as a click shows it.
class CommandLineTest : public FormTest {
protected:
    CommandLineTest()
    {
        QDir().mkpath(at("sub"));
        write("A.JPG", encodedAs(testPicture(20, 10), "JPEG")); // the same name in another case
        write("a.jpg", encodedAs(testPicture(40, 30), "JPEG"));
        write("b.bmp", encodedAs(testPicture(30, 40), "BMP"));
        write("c.gif", "not a picture");
    }
    static void open(const QString& path)
    {
        commandline::openPath(path);
        deliverWaitingPath();
    }
};

// Before the main window a path is kept until it shows; a folder opens, a file is selected by its exact name whatever
// the filter, and a bad one is reported without moving the browser.
TEST_F(CommandLineTest, APathSelectsItsFolderOrFileAndABadOneIsReported)
{
    commandline::openPath(at("b.bmp"));
    startProgram();
    deliverWaitingPath();
    EXPECT_EQ(QStringList({mainWindow().folderList->path(), mainWindow().fileList->fileName(), mainWindow().pathBox->text(), mainWindow().selectedPath}),
              QStringList({pictures(), "b.bmp", at("b.bmp"), at("b.bmp")}));
    open(at("sub"));
    EXPECT_EQ(mainWindow().folderList->path() + '|' + mainWindow().selectedPath, at("sub|"));
    mainWindow().filterButtons[4]->click(); // KIR only: the file is not listed until every kind is
    for (const auto& [name, width] : {std::pair("A.JPG", 20), std::pair("a.jpg", 40)}) { // whichever is listed first
        open(at(name));
        EXPECT_EQ(mainWindow().selectedPath + '|' + mainWindow().fileList->fileName(), at(name) + '|' + name);
        EXPECT_EQ(imageWindow().picture.naturalWidth(), width);
    }
    EXPECT_FALSE(mainWindow().filterButtons[3]->isEnabled()) << "the filter did not go back to every kind";
    dialogs_->answerMessage().answerMessage();
    open(at("c.gif"));
    open(at("a.JPG")); // no such file: only "a.jpg" and "A.JPG"
    ASSERT_EQ(dialogs_->boxes().size(), 2u);
    EXPECT_EQ(dialogs_->boxes().front().text + '|' + dialogs_->last().text,
              "ファイルが空です|指定されたファイルまたはフォルダが見つかりません\n" + at("a.JPG"));
    EXPECT_EQ(mainWindow().folderList->path(), pictures()) << "a missing path moved the browser";
}

// A path handed over while a question is open: the question is answered for what it asked about, and the path is
// shown once the last question is over, once however often it came.
TEST_F(CommandLineTest, BadFileBoxDoesNotUndoTheFileHandedOverMeanwhile)
{
    startProgram();
    dialogs_->whileNextBoxOpen([&] { commandline::openPath(at("a.jpg")); }).answerMessage();
    click("c.gif");
    deliverWaitingPath();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("ファイルが空です"));
    EXPECT_EQ(model().savePath() + '|' + mainWindow().selectedPath, at("a.jpg") + '|' + at("a.jpg"));
    EXPECT_EQ(imageWindow().picture.naturalWidth(), 40);
}

TEST_F(CommandLineTest, MissingFileHandedAgainWhileReportedIsNotStacked)
{
    startProgram();
    dialogs_->whileNextBoxOpen([&] { commandline::openPath(at("gone.jpg")); }).answerMessage();
    open(at("gone.jpg"));
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(dialogs_->messageCount(), 1);
}

// Ending on a signal: the steps the signal starts, from the application's event loop. An open question is
// closed as by its close box, the save dialog is cancelled, and the program leaves through the main window's close.
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
    EXPECT_EQ(shown<MainWindow>(), nullptr);
}

TEST_F(Termination, TheSaveDialogIsCancelledAndTheMainWindowCloses)
{
    click("photo.bmp", encodedAs(testPicture(320, 240), "BMP"));
    mainWindow().openSaveDialog();
    ASSERT_TRUE(FormTest::saveDialog());
    EXPECT_EQ(runApplication(endLikeTheCloseBox), 0);
    EXPECT_FALSE(FormTest::saveDialog() || shown<MainWindow>() || shown<ImageWindow>()) << "a form stayed loaded";
    QThreadPool::globalInstance()->waitForDone();
    const QStringList left = QDir(programFolder()).entryList({"Sample.jpg.*"}, QDir::Files);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}

} // namespace
