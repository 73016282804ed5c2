// The save button: the newest preview first, then the save of exactly its bytes.
#include "save_dialog/save_dialog.h"

#include "save_dialog/picture_saver.h"
#include "save_dialog/preview_encoder.h"
#include "ui/forms.h"

void SaveDialog::save()
{
    if (previewEncoder->busy()) {
        // A newer preview is being made: it is shown first, and the save writes it.
        saveWhenShown_ = true;
        setMousePointer(MousePointer::Hourglass);
        return;
    }
    finishSave();
}

void SaveDialog::finishSave()
{
    // Taken before the unload; nothing of this form is touched afterwards.
    SaveRequest request{subject_.picture, quality, keptMarkers_, subject_.path,
                        shownQuality_ == quality ? shownBytes_ : QByteArray()};
    previewEncoder->stop();
    cancelTargetSearch();
    forms::unload(this);
    emit saveRequested(request);
}
