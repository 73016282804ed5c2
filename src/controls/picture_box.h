#pragma once

#include <QImage>

#include "runtime/twips.h"

// A hidden picture box that sizes itself to its picture, with a 3D border of
// two pixels on each side. Width and height are in twips, border included;
// the scale size is the picture's own size in pixels.
class PictureBox {
public:
    static constexpr int borderPixels = 2;

    void setPicture(const QImage& picture) { picture_ = picture; }
    const QImage& picture() const { return picture_; }

    Twips Width() const;
    Twips Height() const;
    int ScaleWidth() const { return picture_.width(); }
    int ScaleHeight() const { return picture_.height(); }

private:
    QImage picture_;
};
