#pragma once

#include <functional>

#include <QImage>
#include <QPixmap>
#include <QWidget>

// The picture stretched to the target size in pixels, as an image control shows it.
QImage stretchPicture(const QImage& picture, QSize target);

// An image control: shows its picture stretched to its own size. Position and
// size are kept in twips as single-precision numbers and snapped to whole
// pixels on screen. The stretched picture is made once per size or picture
// change and kept, so repaints and window moves cost nothing extra.
class ImageControl : public QWidget {
public:
    explicit ImageControl(QWidget* parent);

    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }

    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    void setLeft(float twips);
    void setTop(float twips);
    void setWidth(float twips);
    void setHeight(float twips);
    // Moves and sizes in one step.
    void Move(float left, float top, float width, float height);

    // Mouse events as the owning form handles them.
    std::function<void(QMouseEvent*)> onMousePress;
    std::function<void(QMouseEvent*)> onMouseMove;
    std::function<void(QMouseEvent*)> onMouseRelease;
    std::function<void()> onDoubleClick;

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
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};
