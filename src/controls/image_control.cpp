#include "controls/image_control.h"

#include <QMetaMethod>

#include <QMouseEvent>
#include <QPainter>

#include "ui/twips.h"

// Big photos shrink in two steps: a fast sampling down to the last halving
// above four times the target, then a smooth pass. The result looks the same
// as one smooth pass at a fraction of its cost. Sampling once to that size
// picks the same pixels as halving repeatedly, without the big intermediates.
QImage stretchPicture(const QImage& picture, QSize target)
{
    QSize sampled = picture.size();
    while (sampled.width() >= 4 * target.width() && sampled.height() >= 4 * target.height())
        sampled = QSize(sampled.width() / 2, sampled.height() / 2);
    const QImage source
        = sampled == picture.size() ? picture : picture.scaled(sampled, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return source.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

ImageControl::ImageControl(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ImageControl::setPicture(const QImage& picture)
{
    picture_ = picture;
    stretched_ = QPixmap();
    update();
}

void ImageControl::setLeft(Twips left)
{
    left_ = left;
    applyGeometry();
}

void ImageControl::setTop(Twips top)
{
    top_ = top;
    applyGeometry();
}

void ImageControl::setTwipsWidth(Twips width)
{
    width_ = width;
    applyGeometry();
}

void ImageControl::setTwipsHeight(Twips height)
{
    height_ = height;
    applyGeometry();
}

void ImageControl::moveTwips(Twips left, Twips top, Twips width, Twips height)
{
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    applyGeometry();
}

void ImageControl::applyGeometry()
{
    setGeometry(left_.pixels(), top_.pixels(), width_.pixels(), height_.pixels());
    update();
}

void ImageControl::restretchIfNeeded()
{
    const QSize target = size() * devicePixelRatioF();
    if (picture_.isNull() || target.isEmpty()) {
        stretched_ = QPixmap();
        return;
    }
    if (stretched_.size() == target)
        return;
    stretched_ = QPixmap::fromImage(stretchPicture(picture_, target));
    stretched_.setDevicePixelRatio(devicePixelRatioF());
}

void ImageControl::paintEvent(QPaintEvent*)
{
    restretchIfNeeded();
    if (stretched_.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, stretched_);
}

void ImageControl::mousePressEvent(QMouseEvent* event)
{
    emit pressed(event);
}

void ImageControl::mouseMoveEvent(QMouseEvent* event)
{
    emit moved(event);
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event)
{
    emit released(event);
}

void ImageControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Where nobody takes a double click, it is a second press.
    if (isSignalConnected(QMetaMethod::fromSignal(&ImageControl::doubleClicked)))
        emit doubleClicked();
    else
        QWidget::mouseDoubleClickEvent(event);
}
