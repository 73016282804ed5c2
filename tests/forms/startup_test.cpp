#include <gtest/gtest.h>

#include <QTimer>

#include "app/splash_screen.h"
#include "runtime/forms.h"
#include "form_fixture.h"
#include "forms/about/about_dialog.h"
#include "forms/image/image_window.h"
#include "forms/main/main_window.h"
#include "controls/file_list_box.h"

namespace {

using StartupTest = FormTest;
const QString allPictures = QStringLiteral("*.jpg;*.bmp;*.gif;*.kir;*.jpeg");

TEST_F(StartupTest, SplashWaitsTwoSecondsThenShowsBothWindowsWithTheStartUpPicture)
{
    SplashScreen& splash = forms::get<SplashScreen>();
    EXPECT_EQ(splash.closeTimer->interval(), 2000);
    EXPECT_TRUE(splash.closeTimer->isActive());
    EXPECT_EQ(forms::loaded<MainWindow>(), nullptr);
    splash.onCloseTimer();
    EXPECT_EQ(forms::loaded<SplashScreen>(), nullptr);
    MainWindow& mainWindow = forms::get<MainWindow>();
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    EXPECT_TRUE(mainWindow.isVisible() && imageWindow.isVisible());
    EXPECT_EQ(mainWindow.fileList->Pattern(), allPictures);
    // The built-in 50 x 50 picture fills the 3000 twip box, white where it is transparent.
    EXPECT_EQ(QSizeF(imageWindow.Width().value(), imageWindow.Height().value()), QSizeF(3000, 3000));
    const QImage shown = imageWindow.grab().toImage();
    EXPECT_EQ(shown.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_NE(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::white)); // the figure
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(StartupTest, ClosingTheMainWindowOrTheExitMenuUnloadsEveryForm)
{
    for (bool byMenu : {false, true}) {
        startProgram();
        forms::get<AboutDialog>().show();
        if (byMenu)
            EXPECT_THROW(forms::get<MainWindow>().quit(), ProgramEnded);
        else
            forms::get<MainWindow>().close();
        EXPECT_EQ(forms::loaded<ImageWindow>(), nullptr);
        EXPECT_EQ(forms::loaded<AboutDialog>(), nullptr);
    }
}

} // namespace
