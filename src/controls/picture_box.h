#pragma once

#include <QImage>

#include "decoder/picture_source.h"
#include "runtime/twips.h"

// A hidden picture box that sizes itself to its picture, with a 3D border of
// two pixels on each side. Width and height are in twips, border included;
// the scale size is the picture's natural size in pixels, which a file's
// picture, decoded just for the view, may be held smaller than.
class PictureBox {
public:
    static constexpr int borderPixels = 2;

    void setShown(const ShownPicture& shown);
    // The picture as held: what the view stretches.
    const QImage& picture() const { return picture_; }

    Twips twipsWidth() const;
    Twips twipsHeight() const;
    int naturalWidth() const { return natural_.width(); }
    int naturalHeight() const { return natural_.height(); }

private:
    QImage picture_;
    QSize natural_;
};
