// Opening the save dialog on the picture shown, prepared with a first preview at quality 50.
#include "main_window/main_window.h"

#include "about_dialog/about_dialog.h"
#include "image_window/image_window.h"
#include "controls/file_list_box.h"
#include "save_dialog/picture_saver.h"
#include "save_dialog/save_dialog.h"
#include "ui/handler_guard.h"
#include "ui/forms.h"
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
    const ImageWindow& window = imageWindow();
    if (saveDialog())
        return; // at most one; it is modal, so nothing asks twice
    saveDialog_ = new SaveDialog(SaveDialog::Subject{model_->fullPicture(), model_->picture().source, model_->savePath()});
    SaveDialog& saveDialog = *saveDialog_;
    saveDialog.onLoad();
    const double divisor = previewDivisor(isEnlarged);
    saveDialog.setPreviewBase(Twips(static_cast<float>(window.pictureView->twipsWidth().value() / divisor)),
                              Twips(static_cast<float>(window.pictureView->twipsHeight().value() / divisor)));
    connect(&saveDialog, &SaveDialog::left, this, guarded([this] { comeForward(); }));
    connect(&saveDialog, &SaveDialog::saveRequested, this, guarded([this](const SaveRequest& request) { startSave(request); }));
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
    if (forms::isLoaded(imageWindow_))
        imageWindow_->setEnabled(!held);
    if (forms::isLoaded(aboutDialog_))
        aboutDialog_->setEnabled(!held);
    showBusy(held || model_->busy());
}

// The hourglass over the main and the image window.
void MainWindow::showBusy(bool busy)
{
    const MousePointer pointer = busy ? MousePointer::Hourglass : MousePointer::Default;
    setMousePointer(pointer);
    if (forms::isLoaded(imageWindow_))
        mouse_pointer::set(imageWindow_, pointer);
}

// The dialog has gone; the name, the overwrite question, the writing and the report follow.
void MainWindow::startSave(const SaveRequest& request)
{
    auto* saver = new PictureSaver(request);
    saver_ = saver;
    connect(saver, &PictureSaver::writing, this, guarded([this](bool on) { holdWindows(on); }));
    // A new file in the listed folder shows up in the list.
    connect(saver, &PictureSaver::written, this, guarded([this] { fileList->refresh(); }));
    connect(saver, &PictureSaver::finished, this, guarded([this] { comeForward(); }));
    saver->start();
}

bool MainWindow::savesPicture() const { return saver_ && !saver_->done(); }

void MainWindow::comeForward()
{
    show();
    raise();
    activateWindow();
}
