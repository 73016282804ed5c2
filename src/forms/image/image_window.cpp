#include "forms/image/image_window.h"

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QWindow>

#include "app/forms.h"
#include "forms/main/main_window.h"
#include "platform/dialogs.h"
#include "platform/twips.h"
#include "resources/builtin_pictures.h"

ImageWindow::ImageWindow()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    setWindowTitle(QString());
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    move(twips::toPixels(480), twips::toPixels(2370));

    picture.setPicture(builtin::startupPicture());
    fallbackPicture.setPicture(builtin::noFilePicture());

    pictureView = new ImageControl(this);
    pictureView->setToolTip(QStringLiteral("ダブルクリックでコピーします。"));
    pictureView->Move(0, 0, picture.Width(), picture.Height());
    pictureView->onMousePress = [this](QMouseEvent* event) {
        int button = 0;
        if (event->button() == Qt::LeftButton)
            button = 1;
        else if (event->button() == Qt::RightButton)
            button = 2;
        if (button == 1)
            grabOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        onPictureMousePress(button);
    };
    pictureView->onMouseMove = [this](QMouseEvent* event) { followMouse(event); };
    pictureView->onMouseRelease = [this](QMouseEvent*) { draggingByHand_ = false; };
    pictureView->onDoubleClick = [this] { copyPictureOnDoubleClick(); };

    setWidth(3000);
    setHeight(3000);
}

void ImageWindow::setWidth(float twips)
{
    width_ = twips;
    applySize();
}

void ImageWindow::setHeight(float twips)
{
    height_ = twips;
    applySize();
}

void ImageWindow::applySize()
{
    setFixedSize(std::max(1, twips::toPixels(width_)), std::max(1, twips::toPixels(height_)));
}

void ImageWindow::onPictureMousePress(int button)
{
    if (button & 1) {
        // The window manager moves the window until the button is released,
        // as if its title bar had been grabbed; without one, follow the mouse here.
        QWindow* window = windowHandle();
        draggingByHand_ = !(window && window->startSystemMove());
    }
    if (button & 2) {
        MainWindow& mainWindow = forms::get<MainWindow>();
        mainWindow.show();
        mainWindow.raise();
        mainWindow.activateWindow();
    }
}

void ImageWindow::followMouse(QMouseEvent* event)
{
    if (draggingByHand_ && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - grabOffset_);
}

void ImageWindow::copyPictureOnDoubleClick()
{
    const QImage full = fullPicture();
    if (full.isNull())
        return;
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(full);
    dialogs().msgBox(QStringLiteral("イメージをコピーしました"), MsgBoxStyle::OkOnly, QStringLiteral("クリップボード"));
}

QImage ImageWindow::fullPicture()
{
    try {
        return picture.fullPicture();
    } catch (const FileChangedError&) {
        dialogs().msgBox(QStringLiteral("表示した後でファイルが変更されたため、表示した画像を使えません"),
                         MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
    } catch (const std::exception&) {
        // A picture that shows small but fails at full size: the load's own message.
        dialogs().msgBox(QStringLiteral("ファイルが空です"), MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
    }
    return QImage();
}
