// Start-up through the splash, the ways to end, and Enter on a focused button.
#include <QTimer>

#include "app/enter_key.h"
#include "app/splash_screen.h"
#include "form_fixture.h"
#include "forms/about/about_dialog.h"

namespace {

using StartupTest = FormTest;

TEST_F(StartupTest, SplashWaitsTwoSecondsThenShowsBothWindowsWithTheStartUpPicture)
{
    SplashScreen& splash = forms::get<SplashScreen>();
    EXPECT_TRUE(splash.closeTimer->isActive() && splash.closeTimer->interval() == 2000);
    EXPECT_TRUE(!forms::loaded<MainWindow>() && splash.windowType() == Qt::SplashScreen); // a taskbar leaves it out
    splash.onCloseTimer();
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    EXPECT_TRUE(!forms::loaded<SplashScreen>() && forms::get<MainWindow>().isVisible() && imageWindow.isVisible());
    EXPECT_EQ(imageWindow.windowType(), Qt::Tool);
    // The built-in 50 x 50 picture fills the 3000 twip box, white where it is transparent.
    EXPECT_EQ(QSizeF(imageWindow.Width().value(), imageWindow.Height().value()), QSizeF(3000, 3000));
    const QImage shown = imageWindow.grab().toImage();
    EXPECT_EQ(shown.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_NE(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::white)); // the figure
}

TEST_F(StartupTest, ClosingTheMainWindowOrTheExitMenuUnloadsEveryForm)
{
    for (bool byMenu : {false, true}) {
        startProgram();
        forms::get<AboutDialog>().show();
        // Both leave through the application's end (which hands the clipboard over), never End().
        if (byMenu)
            EXPECT_NO_THROW(forms::get<MainWindow>().quit());
        else
            forms::get<MainWindow>().close();
        EXPECT_FALSE(forms::loaded<ImageWindow>() || forms::loaded<AboutDialog>() || forms::loaded<MainWindow>());
    }
    // While the save dialog has the main window disabled, its close box changes nothing.
    startProgram();
    MainWindow& mainWindow = forms::get<MainWindow>();
    mainWindow.setEnabled(false);
    EXPECT_TRUE(!mainWindow.close() && forms::loaded<MainWindow>() && forms::loaded<ImageWindow>());
    mainWindow.setEnabled(true);
}

// Enter presses the focused command button as Space does; a button without the focus stays.
TEST_F(StartupTest, EnterPressesTheFocusedButton)
{
    installEnterPressesFocusedButton();
    startProgram();
    MainWindow& mainWindow = forms::get<MainWindow>();
    int presses = 0;
    for (QPushButton* button : mainWindow.filterButtons)
        QObject::connect(button, &QPushButton::clicked, [&] { ++presses; });
    QApplication::setActiveWindow(&mainWindow);
    for (int i : {1, 2}) { // a pressed filter button is disabled, so each is another one
        mainWindow.filterButtons[i]->setFocus();
        ASSERT_TRUE(mainWindow.filterButtons[i]->hasFocus());
        QTest::keyClick(mainWindow.filterButtons[i], i == 1 ? Qt::Key_Return : Qt::Key_Enter, i == 1 ? Qt::NoModifier : Qt::KeypadModifier);
    }
    mainWindow.pathBox->setFocus();
    QTest::keyClick(mainWindow.filterButtons[3], Qt::Key_Return); // it has no focus
    EXPECT_EQ(presses, 2);
}

} // namespace
