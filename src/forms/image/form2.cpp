#include "forms/image/form2.h"

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QWindow>

#include "app/forms.h"
#include "forms/main/form1.h"
#include "platform/dialogs.h"
#include "platform/twips.h"
#include "resources/builtin_pictures.h"

Form2::Form2()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    setWindowTitle(QString());
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    move(twips::toPixels(480), twips::toPixels(2370));

    Picture1.setPicture(builtin::startupPicture());
    Picture2.setPicture(builtin::noFilePicture());

    Image1 = new ImageControl(this);
    Image1->setToolTip(QStringLiteral("ダブルクリックでコピーします。"));
    Image1->Move(0, 0, Picture1.Width(), Picture1.Height());
    Image1->onMousePress = [this](QMouseEvent* event) {
        int button = 0;
        if (event->button() == Qt::LeftButton)
            button = 1;
        else if (event->button() == Qt::RightButton)
            button = 2;
        if (button == 1)
            grabOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        image1_MouseDown(button);
    };
    Image1->onMouseMove = [this](QMouseEvent* event) { followMouse(event); };
    Image1->onMouseRelease = [this](QMouseEvent*) { draggingByHand_ = false; };
    Image1->onDoubleClick = [this] { Image1_DblClick(); };

    setWidth(3000);
    setHeight(3000);
}

void Form2::setWidth(float twips)
{
    width_ = twips;
    applySize();
}

void Form2::setHeight(float twips)
{
    height_ = twips;
    applySize();
}

void Form2::applySize()
{
    setFixedSize(std::max(1, twips::toPixels(width_)), std::max(1, twips::toPixels(height_)));
}

void Form2::image1_MouseDown(int button)
{
    if (button & 1) {
        // The window manager moves the window until the button is released,
        // as if its title bar had been grabbed; without one, follow the mouse here.
        QWindow* window = windowHandle();
        draggingByHand_ = !(window && window->startSystemMove());
    }
    if (button & 2) {
        Form1& form1 = forms::get<Form1>();
        form1.show();
        form1.raise();
        form1.activateWindow();
    }
}

void Form2::followMouse(QMouseEvent* event)
{
    if (draggingByHand_ && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - grabOffset_);
}

void Form2::Image1_DblClick()
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(Picture1.picture());
    dialogs().msgBox(QStringLiteral("イメージをコピーしました"), MsgBoxStyle::OkOnly, QStringLiteral("クリップボード"));
}
