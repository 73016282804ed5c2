// The live preview and its zoom.
#include "forms/save/form3.h"

#include <algorithm>
#include <cmath>

#include <QLabel>
#include <QScrollBar>

#include "app/forms.h"
#include "app/module1.h"
#include "encoder/save_jpg.h"
#include "forms/image/form2.h"
#include "platform/files.h"
#include "platform/picture_loader.h"
#include "platform/texts.h"
#include "platform/twips.h"

void Form3::HScroll1_Change()
{
    quality = static_cast<std::int16_t>(HScroll1->value());
    Label3->setText(QString::number(quality));
    setMousePointer(11);
    const Form2& form2 = forms::get<Form2>();
    const std::int16_t status = DCSavetoJPEG(form2.Picture1.picture(), form2.Picture1.ScaleWidth(),
                                             form2.Picture1.ScaleHeight(), previewPath(),
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

void Form3::showPreview()
{
    const QString path = previewPath();
    // Decoded just large enough for the largest zoom still reachable from
    // here, so zooming in never blows up a small picture.
    const double stepsLeft = std::max(0, 9 - zoomstep) / 2.0;
    const double widest = Image1->Width() + stepsLeft * Module1::prevwidth;
    const double tallest = Image1->Height() + stepsLeft * Module1::prevheight;
    const double pixelsPerTwip = devicePixelRatioF() / twips::perPixel;
    const QSize cover(static_cast<int>(std::ceil(widest * pixelsPerTwip)),
                      static_cast<int>(std::ceil(tallest * pixelsPerTwip)));
    const QImage picture = LoadPicture(path, cover);
    const QString size = sizeText(FileLen(path));
    Image1->setPicture(picture);
    Label5->setText(size);
}

// Each step adds or removes half the base size and keeps the centre in place.
void Form3::Command2_Click()
{
    if (zoomstep > 8)
        return;
    zoomstep += 1;
    const double width = Module1::prevwidth;
    const double height = Module1::prevheight;
    Image1->Move(static_cast<float>(Image1->Left() - width / 4), static_cast<float>(Image1->Top() - height / 4),
                 static_cast<float>(Image1->Width() + width / 2), static_cast<float>(Image1->Height() + height / 2));
}

void Form3::Command3_Click()
{
    if (zoomstep < 1)
        return;
    zoomstep -= 1;
    const double width = Module1::prevwidth;
    const double height = Module1::prevheight;
    Image1->Move(static_cast<float>(Image1->Left() + width / 4), static_cast<float>(Image1->Top() + height / 4),
                 static_cast<float>(Image1->Width() - width / 2), static_cast<float>(Image1->Height() - height / 2));
}
