#include "form_fixture.h"

#include <QApplication>
#include <QClipboard>

#include "app/splash_screen.h"
#include "runtime/forms.h"
#include "forms/viewing_state.h"
#include "forms/about/about_dialog.h"
#include "forms/image/image_window.h"
#include "forms/main/main_window.h"
#include "forms/save/save_dialog.h"
#include "runtime/app.h"

namespace {

template <class F>
void deleteNow()
{
    delete forms::loaded<F>();
    forms::slot<F>() = nullptr;
}

} // namespace

void unloadAllFormsNow()
{
    deleteNow<SaveDialog>();
    deleteNow<SplashScreen>();
    deleteNow<AboutDialog>();
    deleteNow<ImageWindow>();
    deleteNow<MainWindow>();
    // Forms unloaded by handlers wait for deferred deletion; run it now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

FormTest::FormTest()
{
    unloadAllFormsNow();
    viewing::pictureWidth = viewing::pictureHeight = viewing::fittedWidth = 0;
    viewing::fittedHeight = 0;
    viewing::currentPicturePath.clear();
    viewing::previewBaseWidth = 0;
    viewing::previewBaseHeight = 0;
    App::setPath(programDir_.path());
    // Tests run side by side; each must be the only instance it knows of.
    App::forgetInstanceCheck();
    App::setLockFolder(programDir_.path());
    setEndHandler([] { throw ProgramEnded{}; });
    QApplication::clipboard()->clear();
}

FormTest::~FormTest()
{
    unloadAllFormsNow();
    setEndHandler(nullptr);
    App::setPath(QString());
}

void FormTest::startProgram()
{
    forms::get<SplashScreen>().onCloseTimer();
}
