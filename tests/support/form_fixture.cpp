#include "form_fixture.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QThreadPool>

#include "app/command_line.h"
#include "app/splash_screen.h"
#include "about_dialog/about_dialog.h"
#include "save_dialog/picture_saver.h"
#include "save_dialog/preview_encoder.h"
#include "save_dialog/save_dialog.h"

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

} // namespace

Services servicesFor(const QString& programFolder)
{
    Services testing;
    testing.programFolder = programFolder;
    testing.lockFolder = programFolder;
    testing.end = [] { throw ProgramEnded{}; };
    return testing;
}

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

FormTest::FormTest()
{
    unloadAllFormsNow();
    QDir().mkpath(pictures());
    App::forgetInstanceCheck();
    QApplication::clipboard()->clear();
}

namespace {
const char* const parentFolderVariable = "KIRIVIEW_TEST_PARENT_FOLDER";
}

void FormTest::prepareDeathTests() const
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    qputenv(parentFolderVariable, QFile::encodeName(programFolder()));
}

QString FormTest::programFolderTemplate()
{
    return qEnvironmentVariable(parentFolderVariable, QDir::tempPath()) + QStringLiteral("/form_tests-XXXXXX");
}

void FormTest::startProgram()
{
    (new SplashScreen)->onCloseTimer();
}

void FormTest::waitForPicture()
{
    const auto waits = [] {
        const MainWindow* mainWindow = shown<MainWindow>();
        const SaveDialog* saveDialog = mainWindow ? mainWindow->saveDialog() : nullptr;
        return (mainWindow && mainWindow->model().busy()) || (saveDialog && saveDialog->savesWhenShown())
            || (mainWindow && mainWindow->savesPicture());
    };
    const QDeadlineTimer patience(20000); // a guard against hanging, not a measurement
    while (waits() && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(waits()) << "the picture never came";
}

void FormTest::waitForPreview()
{
    const auto waits = [] {
        const SaveDialog* saveDialog = FormTest::saveDialog();
        return saveDialog && saveDialog->previewEncoder->busy();
    };
    const QDeadlineTimer patience(20000); // a guard against hanging, not a measurement
    while (waits() && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(waits()) << "the preview never came";
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
    const QDeadlineTimer patience(10000); // a guard against hanging, not a measurement
    while (!commandline::waitingPath().isEmpty() && !patience.hasExpired()) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(commandline::waitingPath(), QString());
    waitForPicture();
}

MainWindow& FormTest::mainWindow()
{
    MainWindow* window = shown<MainWindow>();
    return window ? *window : startMainWindow();
}
