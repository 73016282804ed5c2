#include "form_fixture.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include "app/splash_screen.h"
#include "forms/about/about_dialog.h"
#include "forms/save/picture_saver.h"
#include "forms/save/preview_encoder.h"
#include "forms/save/save_dialog.h"

namespace {

template <class... F>
void deleteNow()
{
    ((delete forms::loaded<F>(), forms::slot<F>() = nullptr), ...);
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
    deleteNow<SaveDialog, SplashScreen, AboutDialog, ImageWindow, MainWindow>();
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
    forms::load<SplashScreen>().onCloseTimer();
}

void FormTest::waitForPicture()
{
    const auto waits = [] {
        const MainWindow* mainWindow = forms::loaded<MainWindow>();
        const SaveDialog* saveDialog = forms::loaded<SaveDialog>();
        return (mainWindow && mainWindow->model().busy()) || (saveDialog && saveDialog->savesWhenShown())
            || PictureSaver::active();
    };
    const QDeadlineTimer patience(20000); // a guard against hanging, not a measurement
    while (waits() && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(waits()) << "the picture never came";
}

void FormTest::waitForPreview()
{
    const auto waits = [] {
        const SaveDialog* saveDialog = forms::loaded<SaveDialog>();
        return saveDialog && saveDialog->previewEncoder->busy();
    };
    const QDeadlineTimer patience(20000); // a guard against hanging, not a measurement
    while (waits() && !patience.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(waits()) << "the preview never came";
}
