// The live preview and its zoom.
#include "forms/save/save_dialog.h"

#include <algorithm>
#include <cmath>

#include <QLabel>
#include <QScrollBar>

#include "app/forms.h"
#include "app/viewing_state.h"
#include "encoder/save_jpeg.h"
#include "forms/image/image_window.h"
#include "platform/files.h"
#include "platform/picture_loader.h"
#include "platform/texts.h"
#include "platform/twips.h"

void SaveDialog::onQualityChanged()
{
    quality = static_cast<std::int16_t>(qualitySlider->value());
    qualityValue->setText(QString::number(quality));
    setMousePointer(11);
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    const std::int16_t status = saveJpeg(imageWindow.fullPicture(), imageWindow.picture.ScaleWidth(),
                                             imageWindow.picture.ScaleHeight(), previewPath(),
                                             static_cast<std::uint8_t>(quality), 0);
    // A failed encoding leaves the file as it was, perhaps an older preview at
    // another quality; rather than pass that off as this one, and likewise when
    // the file cannot be read back, the last preview and its size stay shown.
    if (status == jpeg_status::Written) {
        try {
            showPreview();
        } catch (const std::exception&) {
        }
    }
    setMousePointer(0);
}

void SaveDialog::showPreview()
{
    const QString path = previewPath();
    // Decoded just large enough for the largest zoom still reachable from
    // here, so zooming in never blows up a small picture.
    const double stepsLeft = std::max(0, 9 - zoomStep) / 2.0;
    const double widest = preview->Width() + stepsLeft * viewing::previewBaseWidth;
    const double tallest = preview->Height() + stepsLeft * viewing::previewBaseHeight;
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
    if (zoomStep > 8)
        return;
    zoomStep += 1;
    const double width = viewing::previewBaseWidth;
    const double height = viewing::previewBaseHeight;
    preview->Move(static_cast<float>(preview->Left() - width / 4), static_cast<float>(preview->Top() - height / 4),
                 static_cast<float>(preview->Width() + width / 2), static_cast<float>(preview->Height() + height / 2));
}

void SaveDialog::zoomOut()
{
    if (zoomStep < 1)
        return;
    zoomStep -= 1;
    const double width = viewing::previewBaseWidth;
    const double height = viewing::previewBaseHeight;
    preview->Move(static_cast<float>(preview->Left() + width / 4), static_cast<float>(preview->Top() + height / 4),
                 static_cast<float>(preview->Width() - width / 2), static_cast<float>(preview->Height() - height / 2));
}
