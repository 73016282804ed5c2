#include "main_window/start_main_window.h"

#include "main_window/main_window.h"
#include "ui/forms.h"

void startMainWindow() { forms::load<MainWindow>().show(); }
