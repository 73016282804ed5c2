#include "app/splash_screen.h"

#include <limits>

#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include "controls/placement.h"
#include "ui/handler_guard.h"
#include "ui/forms.h"
#include "app/command_line.h"
#include "main_window/start_main_window.h"
#include "controls/fonts.h"
#include "ui/twips.h"
#include "resources/builtin_pictures.h"

namespace {

QLabel* label(QWidget* parent, const QString& text, const QFont& font, QRect twipsRect)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    setTextColour(l, QColor(0, 64, 0));
    l->setGeometry(twips::toPixels(twipsRect.x(), twipsRect.y(), twipsRect.width(), twipsRect.height()));
    return l;
}

} // namespace

// Shown as a splash screen, which has no taskbar entry.
SplashScreen::SplashScreen()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(twips::toPixels(4680), twips::toPixels(3195));
    move(twips::toPixels(4755), twips::toPixels(2370));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(165, 250, 167));
    setPalette(palette);

    titleLabel = label(this, QStringLiteral("JPEG画像圧縮＆プレビュー"), fonts::make(fonts::msPGothic, 12, true),
                   QRect(720, 120, 3135, 255));
    makerLabel = label(this, QStringLiteral("© 2026 きり工房  Kiri Works"), fonts::make(fonts::comicSans, 11.25, true),
                   QRect(480, 2640, 3735, 375));
    makerLabel->setAlignment(Qt::AlignCenter);

    logo = new QLabel(this);
    logo->setPixmap(QPixmap::fromImage(builtin::logoPicture()));
    logo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    logo->setGeometry(twips::toPixels(1320, 480, 1920, 1920));

    closeTimer = new QTimer(this);
    closeTimer->setInterval(2000);
    QObject::connect(closeTimer, &QTimer::timeout, this, guarded([this] { onCloseTimer(); }));
    closeTimer->start();
}

void SplashScreen::onCloseTimer()
{
    // Only the first tick hands over; a later one, should it arrive before the
    // deferred deletion, changes nothing.
    if (handedOver)
        return;
    handedOver = true;
    closeTimer->stop();
    forms::unload(this);
    commandline::openPending(startMainWindow());
}
