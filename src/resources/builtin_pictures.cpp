#include "resources/builtin_pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace builtin {

namespace {

QImage transparent(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A little person standing with open arms, scaled to a square of side `size`.
void drawFigure(QPainter& p, double size)
{
    p.save();
    p.scale(size / 50.0, size / 50.0);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor skin(255, 214, 170);
    const QColor shirt(40, 120, 200);
    const QColor trousers(50, 60, 90);
    const QColor outline(30, 30, 30);

    p.setPen(QPen(outline, 1.2));
    p.setBrush(trousers);
    p.drawRect(QRectF(19, 31, 5, 14));
    p.drawRect(QRectF(26, 31, 5, 14));
    p.setBrush(outline);
    p.drawEllipse(QRectF(16.5, 44, 8, 4));
    p.drawEllipse(QRectF(25.5, 44, 8, 4));

    p.setBrush(shirt);
    p.drawRoundedRect(QRectF(17, 17, 16, 16), 3, 3);
    p.setPen(QPen(shirt, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(18, 20), QPointF(9, 29));
    p.drawLine(QPointF(32, 20), QPointF(41, 29));
    p.setPen(QPen(outline, 1.2));
    p.setBrush(skin);
    p.drawEllipse(QPointF(8, 30), 2.5, 2.5);
    p.drawEllipse(QPointF(42, 30), 2.5, 2.5);

    p.drawEllipse(QPointF(25, 10), 7, 7);
    p.setBrush(outline);
    p.drawEllipse(QPointF(22.5, 9), 1, 1);
    p.drawEllipse(QPointF(27.5, 9), 1, 1);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(22, 9, 6, 5), 200 * 16, 140 * 16);
    p.restore();
}

} // namespace

QImage startupPicture()
{
    QImage image = transparent(50, 50);
    QPainter p(&image);
    drawFigure(p, 50);
    return image;
}

QImage noFilePicture()
{
    QImage image = transparent(50, 50);
    QPainter p(&image);
    p.setOpacity(0.55);
    drawFigure(p, 50);
    p.setOpacity(1.0);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    const QRectF band(0, 17, 50, 16);
    p.fillRect(band, QColor(255, 255, 255, 200));
    p.setPen(QColor(200, 0, 0));
    p.drawText(band, Qt::AlignCenter, QStringLiteral("NO FILE"));
    return image;
}

QImage logoPicture()
{
    QImage image = transparent(128, 128);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A photo frame with a mountain and a sun, and a pair of scissors-like
    // wedge across its corner for the "kiri" (cutting down) of compression.
    p.setPen(QPen(QColor(0, 64, 0), 4));
    p.setBrush(QColor(250, 250, 240));
    p.drawRoundedRect(QRectF(10, 18, 108, 88), 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 190, 255));
    p.drawRect(QRectF(18, 26, 92, 72));
    p.setBrush(QColor(255, 200, 40));
    p.drawEllipse(QPointF(88, 44), 10, 10);
    QPainterPath mountains;
    mountains.moveTo(18, 98);
    mountains.lineTo(48, 52);
    mountains.lineTo(66, 78);
    mountains.lineTo(80, 62);
    mountains.lineTo(110, 98);
    mountains.closeSubpath();
    p.setBrush(QColor(40, 140, 60));
    p.drawPath(mountains);
    p.setBrush(QColor(200, 30, 30));
    QPainterPath wedge;
    wedge.moveTo(92, 86);
    wedge.lineTo(124, 118);
    wedge.lineTo(104, 122);
    wedge.closeSubpath();
    p.drawPath(wedge);
    return image;
}

QImage desktopPicture()
{
    QImage image = transparent(16, 14);
    QPainter p(&image);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(60, 130, 210));
    p.drawRect(1, 1, 13, 9);
    p.setBrush(QColor(160, 160, 160));
    p.drawRect(6, 10, 3, 2);
    p.drawLine(3, 13, 12, 13);
    return image;
}

QImage trashPicture()
{
    QImage image = transparent(18, 17);
    QPainter p(&image);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(3, 4, 11, 12);
    p.drawRect(1, 2, 15, 2);
    p.drawRect(6, 0, 5, 2);
    p.drawLine(6, 6, 6, 14);
    p.drawLine(8, 6, 8, 14);
    p.drawLine(11, 6, 11, 14);
    return image;
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 128})
        icon.addPixmap(QPixmap::fromImage(logoPicture().scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    return icon;
}

} // namespace builtin
