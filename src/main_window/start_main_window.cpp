#include "main_window/start_main_window.h"

#include "main_window/main_window.h"

MainWindow& startMainWindow()
{
    auto* mainWindow = new MainWindow;
    mainWindow->onLoad();
    mainWindow->show();
    return *mainWindow;
}
