// The image window's buttons: close and enlarge.
#include "forms/main/main_window.h"

#include <QPushButton>

#include "runtime/forms.h"
#include "forms/viewing_state.h"
#include "forms/image/image_window.h"

void MainWindow::closeImage()
{
    forms::get<ImageWindow>().hide();
    enlargeButton->setEnabled(false);
    closeImageButton->setEnabled(false);
}

void MainWindow::enlargeImage()
{
    enlarged = 1;
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    imageWindow.setWidth(10000);
    imageWindow.setHeight(10000);
    enlargeButton->setEnabled(false);
    viewing::fitImageWindow();
}
