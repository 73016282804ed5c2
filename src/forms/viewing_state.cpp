#include "forms/viewing_state.h"

#include "runtime/forms.h"
#include "forms/image/image_window.h"
#include "forms/main/main_window.h"
#include "runtime/rounding.h"

namespace viewing {

void startMainWindow()
{
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    imageWindow.setWidth(3000);
    imageWindow.setHeight(3000);
    imageWindow.pictureView->setPicture(imageWindow.picture.picture());
    imageWindow.pictureView->setWidth(imageWindow.picture.Width());
    imageWindow.pictureView->setHeight(imageWindow.picture.Height());
    pictureWidth = imageWindow.picture.Width();
    pictureHeight = imageWindow.picture.Height();
    fitImageWindow();
    forms::get<MainWindow>().show();
}

// Every quotient is rounded to single precision, so the sizes come out as the
// window tables and the worked examples give them (640 x 480 -> 3000 x 2255).
void fitImageWindow()
{
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    const float W = imageWindow.ScaleWidth();
    const float H = imageWindow.ScaleHeight();
    const float wr = pictureWidth / W;
    const float hr = pictureHeight / H;
    fittedWidth = pictureWidth / wr;
    fittedHeight = roundToInt32(static_cast<float>(pictureHeight / wr));
    if (H >= static_cast<float>(fittedHeight)) {
        imageWindow.pictureView->setWidth(fittedWidth);
        imageWindow.pictureView->setHeight(static_cast<float>(fittedHeight));
    } else {
        fittedWidth = pictureWidth / hr;
        fittedHeight = roundToInt32(static_cast<float>(pictureHeight / hr));
        imageWindow.pictureView->setWidth(fittedWidth);
        imageWindow.pictureView->setHeight(static_cast<float>(fittedHeight));
    }
    imageWindow.setWidth(imageWindow.pictureView->Width());
    imageWindow.setHeight(imageWindow.pictureView->Height());
}

} // namespace viewing
