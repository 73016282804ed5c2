#include "image_window/image_window.h"

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QWindow>

#include "ui/handler_guard.h"
#include "ui/dialogs.h"
#include "runtime/rounding.h"
#include "runtime/services.h"
#include "ui/twips.h"
#include "viewing/picture_model.h"

// A tool window: only the main window has a taskbar entry.
ImageWindow::ImageWindow(PictureModel& model)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint)
    , model_(model)
{
    setWindowTitle(QString());
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    move(twips::toPixels(480), twips::toPixels(2370));

    picture.setShown(model.picture());

    pictureView = new ImageControl(this);
    pictureView->setToolTip(QStringLiteral("ダブルクリックでコピーします。"));
    pictureView->moveTwips(Twips(0), Twips(0), picture.twipsWidth(), picture.twipsHeight());
    connect(pictureView, &ImageControl::pressed, this, guarded([this](QMouseEvent* event) {
        int button = 0;
        if (event->button() == Qt::LeftButton)
            button = 1;
        else if (event->button() == Qt::RightButton)
            button = 2;
        if (button == 1) {
            pressedAt_ = event->globalPosition().toPoint();
            grabOffset_ = pressedAt_ - frameGeometry().topLeft();
        }
        onPictureMousePress(button);
    }));
    connect(pictureView, &ImageControl::moved, this, guarded([this](QMouseEvent* event) { followMouse(event); }));
    connect(pictureView, &ImageControl::released, this, guarded([this](QMouseEvent*) { drag_ = Drag::None; }));
    connect(pictureView, &ImageControl::doubleClicked, this, guarded([this] { copyPictureOnDoubleClick(); }));

    setTwipsWidth(Twips(3000));
    setTwipsHeight(Twips(3000));
}

void ImageWindow::setTwipsWidth(Twips width)
{
    width_ = width;
    applySize();
}

void ImageWindow::setTwipsHeight(Twips height)
{
    height_ = height;
    applySize();
}

void ImageWindow::applySize()
{
    setFixedSize(std::max(1, width_.pixels()), std::max(1, height_.pixels()));
}

void ImageWindow::onPictureMousePress(int button)
{
    // The move starts only once the mouse leaves the press's spot: a window
    // manager's move would swallow the second click of a double-click.
    if (button & 1)
        drag_ = Drag::Pressed;
    if (button & 2) {
        emit mainWindowWanted();
    }
}

void ImageWindow::followMouse(QMouseEvent* event)
{
    if (drag_ == Drag::None || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint at = event->globalPosition().toPoint();
    if (drag_ == Drag::Pressed) {
        if ((at - pressedAt_).manhattanLength() < QApplication::startDragDistance())
            return;
        // The window manager moves the window until the button is released, as
        // if its title bar had been grabbed; without one, follow the mouse here.
        QWindow* window = windowHandle();
        const auto& startMove = services().startWindowMove;
        const bool handedOver = window && (startMove ? startMove(window) : window->startSystemMove());
        drag_ = handedOver ? Drag::None : Drag::ByHand;
    }
    if (drag_ == Drag::ByHand)
        move(at - grabOffset_);
}

void ImageWindow::copyPictureOnDoubleClick()
{
    model_.whenFullPicture([model = &model_] {
        QClipboard* clipboard = QApplication::clipboard();
        clipboard->clear();
        clipboard->setImage(model->fullPictureAsShown());
        dialogs().msgBox(QStringLiteral("イメージをコピーしました"), MsgBoxStyle::OkOnly, QStringLiteral("クリップボード"));
    });
}

void ImageWindow::showPicture(const ShownPicture& shown)
{
    picture.setShown(shown);
    takePictureIntoView();
}

void ImageWindow::takePictureIntoView()
{
    pictureView->setPicture(picture.picture());
    pictureView->setTwipsWidth(picture.twipsWidth());
    pictureView->setTwipsHeight(picture.twipsHeight());
    pictureWidth = picture.twipsWidth();
    pictureHeight = picture.twipsHeight();
}

// Every quotient is rounded to single precision, so the sizes come out as the
// window tables and the worked examples give them (640 x 480 -> 3000 x 2255).
void ImageWindow::fitToBox()
{
    const float boxWidth = twipsWidth().value();
    const float boxHeight = twipsHeight().value();
    const float pw = pictureWidth.value();
    const float ph = pictureHeight.value();
    const float wr = pw / boxWidth;
    const float hr = ph / boxHeight;
    fittedWidth = Twips(pw / wr);
    fittedHeight = roundToInt32(static_cast<float>(ph / wr));
    if (boxHeight >= static_cast<float>(fittedHeight)) {
        pictureView->setTwipsWidth(fittedWidth);
        pictureView->setTwipsHeight(Twips(static_cast<float>(fittedHeight)));
    } else {
        fittedWidth = Twips(pw / hr);
        fittedHeight = roundToInt32(static_cast<float>(ph / hr));
        pictureView->setTwipsWidth(fittedWidth);
        pictureView->setTwipsHeight(Twips(static_cast<float>(fittedHeight)));
    }
    setTwipsWidth(pictureView->twipsWidth());
    setTwipsHeight(pictureView->twipsHeight());
}
