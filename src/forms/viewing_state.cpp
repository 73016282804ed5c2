#include "forms/viewing_state.h"

#include "runtime/forms.h"
#include "forms/about/about_dialog.h"
#include "forms/image/image_window.h"
#include "forms/main/main_window.h"

namespace viewing {

void startMainWindow()
{
    ImageWindow& imageWindow = forms::load<ImageWindow>();
    imageWindow.setTwipsWidth(Twips(3000));
    imageWindow.setTwipsHeight(Twips(3000));
    imageWindow.showPicture(imageWindow.picture.picture());
    imageWindow.fitToBox();
    forms::load<MainWindow>().show();
}

} // namespace viewing

void viewing::setProgramWindowsEnabled(bool enabled)
{
    forms::setEnabled<ImageWindow>(enabled);
    forms::setEnabled<MainWindow>(enabled);
    forms::setEnabled<AboutDialog>(enabled);
}
