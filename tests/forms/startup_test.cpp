#include <gtest/gtest.h>

#include <QTimer>

#include "app/form4.h"
#include "app/forms.h"
#include "form_fixture.h"
#include "forms/about/frmabout.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"
#include "platform/file_list_box.h"

namespace {

using StartupTest = FormTest;
const QString allPictures = QStringLiteral("*.jpg;*.bmp;*.gif;*.kir;*.jpeg");

TEST_F(StartupTest, SplashWaitsTwoSecondsThenShowsBothWindowsWithTheStartUpPicture)
{
    Form4& splash = forms::get<Form4>();
    EXPECT_EQ(splash.Timer1->interval(), 2000);
    EXPECT_TRUE(splash.Timer1->isActive());
    EXPECT_EQ(forms::loaded<Form1>(), nullptr);
    splash.Timer1_Timer();
    EXPECT_EQ(forms::loaded<Form4>(), nullptr);
    Form1& form1 = forms::get<Form1>();
    Form2& form2 = forms::get<Form2>();
    EXPECT_TRUE(form1.isVisible() && form2.isVisible());
    EXPECT_EQ(form1.File1->Pattern(), allPictures);
    // The built-in 50 x 50 picture fills the 3000 twip box, white where it is transparent.
    EXPECT_EQ(QSizeF(form2.Width(), form2.Height()), QSizeF(3000, 3000));
    const QImage shown = form2.grab().toImage();
    EXPECT_EQ(shown.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_NE(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::white)); // the figure
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(StartupTest, ClosingTheMainWindowOrTheExitMenuUnloadsEveryForm)
{
    for (bool byMenu : {false, true}) {
        startProgram();
        forms::get<frmAbout>().show();
        if (byMenu)
            EXPECT_THROW(forms::get<Form1>().mnuend_Click(), ProgramEnded);
        else
            forms::get<Form1>().close();
        EXPECT_EQ(forms::loaded<Form2>(), nullptr);
        EXPECT_EQ(forms::loaded<frmAbout>(), nullptr);
    }
}

} // namespace
