// Opening the save dialog on the picture shown, prepared with a first preview at quality 50.
#include "forms/main/main_window.h"

#include "forms/about/about_dialog.h"
#include "forms/image/image_window.h"
#include "forms/save/save_dialog.h"
#include "runtime/forms.h"
#include "viewing/picture_model.h"

namespace {

// The enlarged view is over three times the normal one; dividing it by 6
// rather than 1.5 gives a preview of about the same size.
double previewDivisor(bool enlarged) { return enlarged ? 6 : 1.5; }

} // namespace

// About the picture shown now, or the one just clicked once it is there.
void MainWindow::openSaveDialog()
{
    model_->whenFullPicture([this] { showSaveDialog(); });
}

void MainWindow::showSaveDialog()
{
    setMousePointer(MousePointer::Hourglass);
    const ImageWindow& imageWindow = forms::get<ImageWindow>();
    SaveDialog& saveDialog
        = forms::load<SaveDialog>(SaveDialog::Subject{model_->fullPicture(), model_->picture().source, model_->savePath()});
    const double divisor = previewDivisor(isEnlarged);
    saveDialog.setPreviewBase(Twips(static_cast<float>(imageWindow.pictureView->twipsWidth().value() / divisor)),
                              Twips(static_cast<float>(imageWindow.pictureView->twipsHeight().value() / divisor)));
    // Shown when ready; a failure closes the dialog again with a message.
    saveDialog.startFirstPreview();
    saveDialog.show(); // application modal, as it was made; open() would make it modal to no window
    saveDialog.raise();
    saveDialog.activateWindow();
    setMousePointer(MousePointer::Default);
}

// While the program waits for a picture a command needs, or for a save to be
// written, its windows take no input.
void MainWindow::holdWindows(bool held)
{
    setEnabled(!held);
    forms::setEnabled<ImageWindow>(!held);
    forms::setEnabled<AboutDialog>(!held);
    const MousePointer pointer = held || model_->busy() ? MousePointer::Hourglass : MousePointer::Default;
    setMousePointer(pointer);
    if (ImageWindow* imageWindow = forms::loaded<ImageWindow>())
        mouse_pointer::set(imageWindow, pointer);
}
