#include "form_fixture.h"

#include <QApplication>
#include <QClipboard>

#include "app/form4.h"
#include "app/forms.h"
#include "app/module1.h"
#include "forms/about/frmabout.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"
#include "forms/save/form3.h"
#include "platform/app.h"

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
    deleteNow<Form3>();
    deleteNow<Form4>();
    deleteNow<frmAbout>();
    deleteNow<Form2>();
    deleteNow<Form1>();
    // Forms unloaded by handlers wait for deferred deletion; run it now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

FormTest::FormTest()
{
    unloadAllFormsNow();
    Module1::imgwidth = Module1::imgheight = Module1::fitwidth = 0;
    Module1::fitheight = 0;
    Module1::curpath.clear();
    Module1::prevwidth = 0;
    Module1::prevheight = 0;
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
    forms::get<Form4>().Timer1_Timer();
}
