// The image window's buttons: close and enlarge.
#include "main_window/main_window.h"

#include <QPushButton>

#include "ui/forms.h"
#include "image_window/image_window.h"

void MainWindow::closeImage()
{
    forms::get<ImageWindow>().hide();
    enlargeButton->setEnabled(false);
    closeImageButton->setEnabled(false);
}

void MainWindow::enlargeImage()
{
    isEnlarged = true;
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    imageWindow.setTwipsWidth(Twips(10000));
    imageWindow.setTwipsHeight(Twips(10000));
    enlargeButton->setEnabled(false);
    imageWindow.fitToBox();
}
