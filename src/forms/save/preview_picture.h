#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// Loads the save dialog's preview file for display. The preview never shows
// more than a few hundred pixels across, so a JPEG is decoded with libjpeg's
// DCT scaling at the smallest eighth of its size that still covers `cover`
// (in device pixels) both ways: the picture is only ever shrunk on screen,
// never blown up, and a 20-megapixel preview costs a fraction of a full
// decode. Anything that is not a plain JPEG stream goes to LoadPicture.
//
// Throws RunTimeError as LoadPicture does: 53 when the file is missing, 75
// when it cannot be read, 481 when it is not a whole picture, 7 when memory
// runs out.
QImage loadPreviewPicture(const QString& path, QSize cover);

// The scale in eighths (1 to 8) that loadPreviewPicture decodes a picture of
// `full` pixels at to cover `cover`.
int previewScaleEighths(QSize full, QSize cover);
