#pragma once

#include <QPoint>
#include <QWidget>

#include "platform/image_control.h"
#include "platform/picture_box.h"

// The borderless image window: the current picture fitted to a box. Its size
// is kept in twips as single-precision numbers; without a border the inner
// (scale) size equals the outer size.
class ImageWindow : public QWidget {
public:
    ImageWindow();

    float Width() const { return width_; }
    float Height() const { return height_; }
    float ScaleWidth() const { return width_; }
    float ScaleHeight() const { return height_; }
    void setWidth(float twips);
    void setHeight(float twips);

    void onPictureMousePress(int button);
    void copyPictureOnDoubleClick();
    // The picture at its natural size, for copying and saving; a null picture,
    // after a message, when it cannot be made.
    QImage fullPicture();

    PictureBox picture; // the current picture at its natural size
    PictureBox fallbackPicture; // the built-in fallback picture, never changed
    ImageControl* pictureView;

private:
    void applySize();
    void followMouse(QMouseEvent* event);

    float width_ = 0;
    float height_ = 0;
    // Set while the window is dragged by hand, where the window manager cannot move it.
    bool draggingByHand_ = false;
    QPoint grabOffset_;
};
