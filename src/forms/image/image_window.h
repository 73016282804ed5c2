#pragma once

#include <cstdint>
#include <functional>

#include <QPoint>
#include <QWidget>

#include "controls/image_control.h"
#include "controls/picture_box.h"

// The borderless image window: the current picture fitted to a box. Its size
// is kept in twips as single-precision numbers; without a border the inner
// (scale) size equals the outer size.
class FullPictureMaker;

class ImageWindow : public QWidget {
    Q_OBJECT

public:
    ImageWindow();

    Twips twipsWidth() const { return width_; }
    Twips twipsHeight() const { return height_; }
    void setTwipsWidth(Twips width);
    void setTwipsHeight(Twips height);

    // Shows a picture at its natural size and records that size for the fit.
    void showPicture(const QImage& shown);
    // The same for a file's picture, perhaps held smaller than its natural size.
    void showPicture(const ShownPicture& shown);
    // Fits the picture into the window's current box, keeping its proportions,
    // and sizes the window to it.
    void fitToBox();

    void onPictureMousePress(int button);
    void copyPictureOnDoubleClick();
    // Runs `use` once `picture` holds the picture at its natural size, for
    // copying and saving: at once, or after a decode on a worker while the
    // program waits; never when it cannot be made (after a message).
    void withFullPicture(std::function<void()> use);
    // A decode for withFullPicture() is on its way.
    bool makesFullPicture() const;

    PictureBox picture; // the current picture at its natural size
    PictureBox fallbackPicture; // the built-in fallback picture, never changed
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

    FullPictureMaker* fullPictureMaker_;
    Twips width_;
    Twips height_;
    // Pressed: the left button is down, not yet moved far enough to be a drag.
    // ByHand: dragged here, where no window manager moves the window.
    enum class Drag { None, Pressed, ByHand };
    Drag drag_ = Drag::None;
    QPoint pressedAt_;
    QPoint grabOffset_;
};
