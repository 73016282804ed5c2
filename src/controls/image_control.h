#pragma once


#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "ui/twips.h"

// The picture stretched to the target size in pixels, as an image control shows it.
QImage stretchPicture(const QImage& picture, QSize target);

// An image control: shows its picture stretched to its own size. Position and
// size are kept in twips as single-precision numbers and snapped to whole
// pixels on screen. The stretched picture is made once per size or picture
// change and kept, so repaints and window moves cost nothing extra.
class ImageControl : public QWidget {
    Q_OBJECT

public:
    explicit ImageControl(QWidget* parent);

    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }

    Twips twipsLeft() const { return left_; }
    Twips twipsTop() const { return top_; }
    Twips twipsWidth() const { return width_; }
    Twips twipsHeight() const { return height_; }
    void setLeft(Twips left);
    void setTop(Twips top);
    void setTwipsWidth(Twips width);
    void setTwipsHeight(Twips height);
    // Moves and sizes in one step.
    void moveTwips(Twips left, Twips top, Twips width, Twips height);

signals:
    // Mouse events as the owning form handles them.
    void pressed(QMouseEvent* event);
    void moved(QMouseEvent* event);
    void released(QMouseEvent* event);
    void doubleClicked();

public:

    // The pixmap on screen, for tests of what is drawn.
    const QPixmap& stretched() const { return stretched_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void applyGeometry();
    void restretchIfNeeded();

    QImage picture_;
    QPixmap stretched_;
    Twips left_, top_, width_, height_;
};
