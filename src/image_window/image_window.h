#pragma once

#include <cstdint>
#include <functional>

#include <QPoint>
#include <QWidget>

#include "controls/image_control.h"
#include "controls/picture_box.h"

class PictureModel;

// The borderless image window: the model's picture fitted to a box. Its size
// is kept in twips as single-precision numbers; without a border the inner
// (scale) size equals the outer size.

class ImageWindow : public QWidget {
    Q_OBJECT

public:
    explicit ImageWindow(PictureModel& model);

    Twips twipsWidth() const { return width_; }
    Twips twipsHeight() const { return height_; }
    void setTwipsWidth(Twips width);
    void setTwipsHeight(Twips height);

    // Shows a picture, perhaps held smaller than its natural size, and records
    // that size for the fit.
    void showPicture(const ShownPicture& shown);
    // Fits the picture into the window's current box, keeping its proportions,
    // and sizes the window to it.
    void fitToBox();

    void onPictureMousePress(int button);
    // Copies the picture shown now at its natural size, once it is at hand.
    void copyPictureOnDoubleClick();

signals:
    // A right click on the picture: the main window comes forward.
    void mainWindowWanted();

public:
    PictureBox picture; // the shown picture and its natural size
    ImageControl* pictureView;

    // Natural size in twips of the shown picture, border included.
    Twips pictureWidth;
    Twips pictureHeight;
    // Result of the last fit.
    Twips fittedWidth;
    std::int32_t fittedHeight = 0;

private:
    void takePictureIntoView();
    void applySize();
    void followMouse(QMouseEvent* event);

    PictureModel& model_;
    Twips width_;
    Twips height_;
    // Pressed: the left button is down, not yet moved far enough to be a drag.
    // ByHand: dragged here, where no window manager moves the window.
    enum class Drag { None, Pressed, ByHand };
    Drag drag_ = Drag::None;
    QPoint pressedAt_;
    QPoint grabOffset_;
};
