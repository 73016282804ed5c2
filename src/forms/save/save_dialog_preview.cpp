// The live preview and its zoom.
#include "forms/save/save_dialog.h"

#include <algorithm>
#include <cmath>

#include <QLabel>
#include <QScrollBar>

#include "runtime/run_time_error.h"
#include "runtime/forms.h"
#include "forms/viewing_state.h"
#include "encoder/save_jpeg.h"
#include "forms/image/image_window.h"
#include "files/files.h"
#include "decoder/picture_loader.h"
#include "runtime/texts.h"
#include "runtime/twips.h"

void SaveDialog::onQualityChanged()
{
    previewQuality = static_cast<std::int16_t>(qualitySlider->value());
    qualityValue->setText(QString::number(previewQuality));
    setMousePointer(11);
    const ImageWindow& imageWindow = forms::get<ImageWindow>();
    const JpegStatus status = saveJpeg(imageWindow.picture.picture(), imageWindow.picture.ScaleWidth(),
                                             imageWindow.picture.ScaleHeight(), previewPath(),
                                             static_cast<std::uint8_t>(previewQuality), 0);
    // A failed encoding leaves the file as it was, perhaps an older preview at
    // another quality; rather than pass that off as this one, and likewise when
    // the file cannot be read back, the last preview and its size stay shown.
    if (status == JpegStatus::Written) {
        try {
            showPreview();
        } catch (const RunTimeError&) {
            // The file cannot be read back: the last preview stays, as above.
        }
    }
    setMousePointer(0);
}

void SaveDialog::showPreview()
{
    const QString path = previewPath();
    // Decoded just large enough for the largest zoom still reachable from
    // here, so zooming in never blows up a small picture.
    const double stepsLeft = std::max(0, 9 - previewZoomStep) / 2.0;
    const double widest = preview->Width().value() + stepsLeft * viewing::previewBaseWidth;
    const double tallest = preview->Height().value() + stepsLeft * viewing::previewBaseHeight;
    const double pixelsPerTwip = devicePixelRatioF() / twips::perPixel;
    const QSize cover(static_cast<int>(std::ceil(widest * pixelsPerTwip)),
                      static_cast<int>(std::ceil(tallest * pixelsPerTwip)));
    const QImage picture = LoadPicture(path, cover);
    const QString size = sizeText(FileLen(path));
    preview->setPicture(picture);
    sizeValue->setText(size);
}

// Each step adds or removes half the base size and keeps the centre in place.
void SaveDialog::zoomIn()
{
    if (previewZoomStep > 8)
        return;
    previewZoomStep += 1;
    const double width = viewing::previewBaseWidth;
    const double height = viewing::previewBaseHeight;
    preview->Move(Twips(static_cast<float>(preview->Left().value() - width / 4)),
                  Twips(static_cast<float>(preview->Top().value() - height / 4)),
                  Twips(static_cast<float>(preview->Width().value() + width / 2)),
                  Twips(static_cast<float>(preview->Height().value() + height / 2)));
}

void SaveDialog::zoomOut()
{
    if (previewZoomStep < 1)
        return;
    previewZoomStep -= 1;
    const double width = viewing::previewBaseWidth;
    const double height = viewing::previewBaseHeight;
    preview->Move(Twips(static_cast<float>(preview->Left().value() + width / 4)),
                  Twips(static_cast<float>(preview->Top().value() + height / 4)),
                  Twips(static_cast<float>(preview->Width().value() - width / 2)),
                  Twips(static_cast<float>(preview->Height().value() - height / 2)));
}
