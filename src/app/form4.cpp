#include "app/form4.h"

#include <limits>

#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include "app/forms.h"
#include "app/module1.h"
#include "platform/fonts.h"
#include "platform/twips.h"
#include "resources/builtin_pictures.h"

namespace {

QLabel* label(QWidget* parent, const QString& text, const QFont& font, QRect twipsRect)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    QPalette palette = l->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 64, 0));
    l->setPalette(palette);
    l->setGeometry(twips::toPixels(twipsRect.x(), twipsRect.y(), twipsRect.width(), twipsRect.height()));
    return l;
}

} // namespace

Form4::Form4()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(twips::toPixels(4680), twips::toPixels(3195));
    move(twips::toPixels(4755), twips::toPixels(2370));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(165, 250, 167));
    setPalette(palette);

    Label2 = label(this, QStringLiteral("JPEG画像圧縮＆プレビュー"), fonts::make(fonts::msPGothic, 12, true),
                   QRect(720, 120, 3135, 255));
    Label1 = label(this, QStringLiteral("© 2026 きり工房  Kiri Works"), fonts::make(fonts::comicSans, 11.25, true),
                   QRect(480, 2640, 3735, 375));
    Label1->setAlignment(Qt::AlignCenter);

    Image1 = new QLabel(this);
    Image1->setPixmap(QPixmap::fromImage(builtin::logoPicture()));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setGeometry(twips::toPixels(1320, 480, 1920, 1920));

    Timer1 = new QTimer(this);
    Timer1->setInterval(2000);
    QObject::connect(Timer1, &QTimer::timeout, this, &Form4::Timer1_Timer);
    Timer1->start();
}

void Form4::Timer1_Timer()
{
    // The form is unloaded on the first tick, so the counter never nears its limit.
    if (ticks < std::numeric_limits<std::int16_t>::max())
        ++ticks;
    if (ticks != 1)
        return;
    Timer1->stop();
    forms::unload<Form4>();
    Module1::StartMain();
}
