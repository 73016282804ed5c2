// Opening the save dialog, prepared with a first preview at quality 50.
#include "forms/main/main_window.h"

#include "app/forms.h"
#include "app/viewing_state.h"
#include "forms/about/about_dialog.h"
#include "forms/image/image_window.h"
#include "forms/save/save_dialog.h"
#include "platform/rounding.h"

namespace {

// The enlarged view is over three times the normal one; dividing it by 6
// rather than 1.5 gives a preview of about the same size.
double previewDivisor(std::int16_t enlarged) { return enlarged == 1 ? 6 : 1.5; }

} // namespace

void MainWindow::openSaveDialog()
{
    setMousePointer(11);
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    // The first reference loads the dialog and runs its onLoad.
    SaveDialog& saveDialog = forms::get<SaveDialog>();
    const double divisor = previewDivisor(enlarged);
    saveDialog.preview->setWidth(static_cast<float>(imageWindow.pictureView->Width() / divisor));
    saveDialog.preview->setHeight(static_cast<float>(imageWindow.pictureView->Height() / divisor));
    viewing::previewBaseWidth = saveDialog.preview->Width();
    viewing::previewBaseHeight = roundToInt32(saveDialog.preview->Height());
    // Shown when ready; a failure closes the dialog again with a message.
    saveDialog.startFirstPreview();

    forms::setEnabled<ImageWindow>(false);
    forms::setEnabled<MainWindow>(false);
    forms::setEnabled<AboutDialog>(false);
    saveDialog.show();
    saveDialog.raise();
    saveDialog.activateWindow();
    setMousePointer(0);
}
