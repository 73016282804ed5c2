// The live preview and its zoom.
#include "save_dialog/save_dialog.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <QLabel>
#include <QScrollBar>

#include "runtime/run_time_error.h"
#include "ui/forms.h"
#include "encoder/save_jpeg.h"
#include "save_dialog/preview_encoder.h"
#include "ui/dialogs.h"
#include "runtime/texts.h"
#include "ui/twips.h"

// The number follows the slider at once; the picture and its size follow
// when the encoding is done. Meanwhile the last finished preview stays.
void SaveDialog::onQualityChanged()
{
    quality = qualitySlider->value();
    qualityValue->setText(QString::number(quality));
    cancelTargetSearch();
    updateSizeWarning();
    requestPreview();
}

void SaveDialog::startFirstPreview()
{
    firstPreviewPending_ = true;
    // Asked again even when the loading already asked: the preview's size
    // was set only after that, and the older request is abandoned at once.
    requestPreview();
}

void SaveDialog::requestPreview()
{
    // Decoded just large enough for the largest zoom still reachable from
    // here, so zooming in never blows up a small picture.
    const double stepsLeft = std::max(0, 9 - previewZoomStep) / 2.0;
    const double widest = preview->twipsWidth().value() + stepsLeft * previewBaseWidth_;
    const double tallest = preview->twipsHeight().value() + stepsLeft * previewBaseHeight_;
    const double pixelsPerTwip = devicePixelRatioF() / twips::perPixel;
    const QSize cover(static_cast<int>(std::ceil(widest * pixelsPerTwip)),
                      static_cast<int>(std::ceil(tallest * pixelsPerTwip)));
    previewEncoder->request({subject_.picture, previewPath(), quality, cover, keptMarkers_, {}});
    setMousePointer(MousePointer::Busy);
    updateSizeLook();
}

// A failed encoding leaves the file as it was, perhaps an older preview at
// another quality; rather than pass that off as this one, and likewise when
// the file cannot be read back, the last preview and its size stay shown.
void SaveDialog::showResult(const PreviewResult& result)
{
    if (!forms::isLoaded(this))
        return; // on its way out
    const bool newest = !previewEncoder->busy();
    if (newest)
        restorePointer();
    updateSizeLook();
    if (result.status == JpegStatus::Written) {
        preview->setPicture(result.picture);
        sizeValue->setText(sizeText(result.fileSize));
        shownQuality_ = result.quality;
        shownBytes_ = result.bytes;
        firstPreviewPending_ = false;
        previewShown(result.picture, result.fileSize);
    } else if (firstPreviewPending_ && newest) {
        // Without a preview the dialog is of no use.
        cancel();
        dialogs().msgBox(QStringLiteral("プレビューを作成できません\n") + previewPath(), MsgBoxStyle::Exclamation,
                         QStringLiteral("ファイルの保存"));
        return;
    }
    if (newest && std::exchange(saveWhenShown_, false))
        finishSave(); // the newest preview is on screen now: it is what the save writes
}

// Each step adds or removes half the base size and keeps the centre in place.
void SaveDialog::zoomIn()
{
    if (previewZoomStep > 8)
        return;
    previewZoomStep += 1;
    const double width = previewBaseWidth_;
    const double height = previewBaseHeight_;
    preview->moveTwips(Twips(static_cast<float>(preview->twipsLeft().value() - width / 4)),
                  Twips(static_cast<float>(preview->twipsTop().value() - height / 4)),
                  Twips(static_cast<float>(preview->twipsWidth().value() + width / 2)),
                  Twips(static_cast<float>(preview->twipsHeight().value() + height / 2)));
    if (differenceShown())
        showChosenPicture(); // its peaks are found anew at the new size
}

void SaveDialog::zoomOut()
{
    if (previewZoomStep < 1)
        return;
    previewZoomStep -= 1;
    const double width = previewBaseWidth_;
    const double height = previewBaseHeight_;
    preview->moveTwips(Twips(static_cast<float>(preview->twipsLeft().value() + width / 4)),
                  Twips(static_cast<float>(preview->twipsTop().value() + height / 4)),
                  Twips(static_cast<float>(preview->twipsWidth().value() - width / 2)),
                  Twips(static_cast<float>(preview->twipsHeight().value() - height / 2)));
    if (differenceShown())
        showChosenPicture();
}
