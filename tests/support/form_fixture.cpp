#include "form_fixture.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QPointer>
#include <QThreadPool>

#include "about_dialog/about_dialog.h"
#include "app/command_line.h"
#include "app/splash_screen.h"

namespace {

template <class W>
void deleteEvery()
{
    QList<QPointer<W>> windows;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<W*>(window))
            windows.append(found);
    for (const QPointer<W>& window : windows)
        delete window.data();
}

const char* const parentFolderVariable = "KIRIVIEW_TEST_PARENT_FOLDER";

} // namespace

void unloadAllFormsNow()
{
    // The main window takes the windows it opened with it; then whatever a test made itself.
    deleteEvery<SplashScreen>();
    deleteEvery<MainWindow>();
    deleteEvery<SaveDialog>();
    deleteEvery<AboutDialog>();
    deleteEvery<ImageWindow>();
    // Forms unloaded by handlers wait for deferred deletion; run it now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

FormTest::FormTest() : programDir_(qEnvironmentVariable(parentFolderVariable, QDir::tempPath()) + "/form_tests-XXXXXX")
{
    services().programFolder = services().lockFolder = programFolder();
    services().end = [] { throw ProgramEnded{}; };
    unloadAllFormsNow();
    QDir().mkpath(pictures());
    App::forgetInstanceCheck();
    QApplication::clipboard()->clear();
}

void FormTest::prepareDeathTests() const
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    qputenv(parentFolderVariable, QFile::encodeName(programFolder()));
}

void FormTest::startProgram() { (new SplashScreen)->onCloseTimer(); }

MainWindow& FormTest::mainWindow()
{
    MainWindow* window = shown<MainWindow>();
    return window ? *window : startMainWindow();
}

void FormTest::click(const QString& name, const std::optional<QByteArray>& bytes) const
{
    FileListBox& files = *mainWindow().fileList;
    if (bytes)
        write(name, *bytes);
    if (bytes || files.path() != pictures())
        files.setPath(pictures());
    const auto found = files.findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << "not listed: " << name.toStdString();
    files.setListIndex(files.row(found.front()));
    waitForPicture();
}

void FormTest::waitWhile(const std::function<bool()>& waits, const char* what)
{
    const QDeadlineTimer patience(20000);
    while (waits() && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(waits()) << what << " never came";
}

void FormTest::waitForPicture()
{
    waitWhile([] {
        const MainWindow* window = shown<MainWindow>();
        const SaveDialog* dialog = window ? window->saveDialog() : nullptr;
        return (window && (window->model().busy() || window->savesPicture())) || (dialog && dialog->savesWhenShown());
    }, "the picture");
}

void FormTest::settleWorkers()
{
    for (int round = 0; round < 2; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
    }
}

void FormTest::deliverWaitingPath()
{
    waitWhile([] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        return !commandline::waitingPath().isEmpty();
    }, "the path handed over");
    waitForPicture();
}
