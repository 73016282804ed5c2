// Opening the save dialog, prepared with a first preview at quality 50.
#include "forms/main/main_window.h"

#include "app/forms.h"
#include "app/viewing_state.h"
#include "encoder/save_jpeg.h"
#include "forms/about/about_dialog.h"
#include "forms/image/image_window.h"
#include "forms/save/save_dialog.h"
#include "platform/dialogs.h"
#include "platform/rounding.h"
#include "platform/run_time_error.h"

namespace {

// The enlarged view is over three times the normal one; dividing it by 6
// rather than 1.5 gives a preview of about the same size.
double previewDivisor(std::int16_t enlarged) { return enlarged == 1 ? 6 : 1.5; }

} // namespace

void MainWindow::openSaveDialog()
{
    setMousePointer(11);
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    // Made before the dialog loads, since its onLoad encodes it already.
    const QImage full = imageWindow.fullPicture();
    if (full.isNull()) {
        setMousePointer(0);
        return;
    }
    try {
        // The first reference loads the dialog and runs its onLoad.
        SaveDialog& saveDialog = forms::get<SaveDialog>();
        const double divisor = previewDivisor(enlarged);
        saveDialog.preview->setWidth(static_cast<float>(imageWindow.pictureView->Width() / divisor));
        saveDialog.preview->setHeight(static_cast<float>(imageWindow.pictureView->Height() / divisor));
        viewing::previewBaseWidth = saveDialog.preview->Width();
        viewing::previewBaseHeight = roundToInt32(saveDialog.preview->Height());

        const std::int16_t status = saveJpeg(full, imageWindow.picture.ScaleWidth(),
                                                 imageWindow.picture.ScaleHeight(), SaveDialog::previewPath(), 50, 0);
        if (status != jpeg_status::Written)
            throw RunTimeError(RunTimeError::PathFileAccess, "the preview file cannot be written");
        // Its size shows at once, also on the very first use when onLoad found no file.
        saveDialog.showPreview();
    } catch (const std::exception&) {
        // Without a preview the dialog is of no use: it goes, and nothing was disabled yet.
        forms::unload<SaveDialog>();
        setMousePointer(0);
        dialogs().msgBox(QStringLiteral("プレビューを作成できません\n") + SaveDialog::previewPath(), MsgBoxStyle::Exclamation,
                         QStringLiteral("ファイルの保存"));
        return;
    }

    forms::setEnabled<ImageWindow>(false);
    forms::setEnabled<MainWindow>(false);
    forms::setEnabled<AboutDialog>(false);
    SaveDialog& saveDialog = forms::get<SaveDialog>();
    saveDialog.show();
    saveDialog.raise();
    saveDialog.activateWindow();
    setMousePointer(0);
}
