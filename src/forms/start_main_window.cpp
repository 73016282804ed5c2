#include "forms/start_main_window.h"

#include "forms/main/main_window.h"
#include "runtime/forms.h"

void startMainWindow() { forms::load<MainWindow>().show(); }
