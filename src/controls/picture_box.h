#pragma once

#include <memory>

#include <QImage>

#include "decoder/picture_source.h"
#include "runtime/twips.h"

// A hidden picture box that sizes itself to its picture, with a 3D border of
// two pixels on each side. Width and height are in twips, border included;
// the scale size is the picture's own size in pixels.
//
// A file's picture may be held smaller than its natural size (decoded just for
// the view); the sizes are still the natural ones, and the full-size picture,
// decoded elsewhere from the bytes that were shown, is kept here once made.
class PictureBox {
public:
    static constexpr int borderPixels = 2;

    void setPicture(const QImage& picture);
    void setShown(const ShownPicture& shown);
    // The picture as held: what the view stretches.
    const QImage& picture() const { return picture_; }
    // The picture at its natural size is at hand: held as shown, or kept
    // after its decode. Until then the two below give a null picture.
    bool holdsFull() const;
    // Keeps the full-size picture decoded from source(); throws RunTimeError
    // when it is not the shown picture's size.
    void keepFull(QImage full);
    // The picture at its natural size: the file's own values, which a save encodes.
    const QImage& fullPicture() const;
    // The picture at its natural size in the colours shown, for copying.
    QImage fullPictureAsShown() const;
    // The file the picture was read from; null for a picture made in memory.
    const std::shared_ptr<const PictureSource>& source() const { return source_; }

    Twips twipsWidth() const;
    Twips twipsHeight() const;
    int naturalWidth() const { return natural_.width(); }
    int naturalHeight() const { return natural_.height(); }

private:
    QImage picture_;
    QSize natural_;
    std::shared_ptr<const PictureSource> source_;
    bool converted_ = false; // picture_ holds converted colours, not the file's values
    QImage full_;
};
