// Opening the save dialog, prepared with a first preview at quality 50.
#include "forms/main/main_window.h"

#include <QPointer>

#include "runtime/forms.h"
#include "forms/viewing_state.h"
#include "forms/image/image_window.h"
#include "forms/save/save_dialog.h"
#include "runtime/rounding.h"

namespace {

// The enlarged view is over three times the normal one; dividing it by 6
// rather than 1.5 gives a preview of about the same size.
double previewDivisor(bool enlarged) { return enlarged ? 6 : 1.5; }

} // namespace

void MainWindow::openSaveDialog()
{
    if (waitsForPicture(&MainWindow::openSaveDialog))
        return; // the save is about the picture just clicked
    // The full-size picture, decoded once from the bytes shown; every preview and the save use it.
    forms::get<ImageWindow>().withFullPicture([window = QPointer(this)] {
        if (window)
            window->showSaveDialog();
    });
}

void MainWindow::showSaveDialog()
{
    setMousePointer(MousePointer::Hourglass);
    const ImageWindow& imageWindow = forms::get<ImageWindow>();
    SaveDialog& saveDialog = forms::load<SaveDialog>();
    const double divisor = previewDivisor(isEnlarged);
    saveDialog.preview->setTwipsWidth(Twips(static_cast<float>(imageWindow.pictureView->twipsWidth().value() / divisor)));
    saveDialog.preview->setTwipsHeight(Twips(static_cast<float>(imageWindow.pictureView->twipsHeight().value() / divisor)));
    viewing::previewBaseWidth = saveDialog.preview->twipsWidth().value();
    viewing::previewBaseHeight = roundToInt32(saveDialog.preview->twipsHeight().value());
    // Shown when ready; a failure closes the dialog again with a message.
    saveDialog.startFirstPreview();

    viewing::setProgramWindowsEnabled(false);
    saveDialog.show();
    saveDialog.raise();
    saveDialog.activateWindow();
    setMousePointer(MousePointer::Default);
}
