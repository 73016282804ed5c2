// The image window's buttons: close and enlarge.
#include "main_window/main_window.h"

#include <QPushButton>

#include "ui/forms.h"
#include "image_window/image_window.h"

void MainWindow::closeImage()
{
    imageWindow().hide();
    enlargeButton->setEnabled(false);
    closeImageButton->setEnabled(false);
}

void MainWindow::enlargeImage()
{
    isEnlarged = true;
    ImageWindow& window = imageWindow();
    window.setTwipsWidth(Twips(10000));
    window.setTwipsHeight(Twips(10000));
    enlargeButton->setEnabled(false);
    window.fitToBox();
}
