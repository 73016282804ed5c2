// Moving the preview: Image1 is dragged automatically when pressed, and
// Frame2 takes the drop.
#include "forms/save/form3.h"

#include <QPainter>

#include "platform/twips.h"

namespace {

// The dragged preview's outline, centred on the mouse: where the preview
// lands if dropped here.
class DragOutline : public QWidget {
public:
    explicit DragOutline(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QPen(Qt::black, 2, Qt::DotLine));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
};

} // namespace

void Form3::beginDrag(QPointF positionInImage1)
{
    dragging_ = true;
    if (!dragOutline_)
        dragOutline_ = new DragOutline(this);
    Image1->setCursor(Qt::ClosedHandCursor);
    followDrag(positionInImage1);
}

void Form3::followDrag(QPointF positionInImage1)
{
    if (!dragging_)
        return;
    const QPoint centre = Image1->mapTo(this, positionInImage1).toPoint();
    QRect outline(QPoint(), Image1->size());
    outline.moveCenter(centre);
    dragOutline_->setGeometry(outline);
    dragOutline_->raise();
    dragOutline_->show();
}

// Only a drop on Frame2 itself moves the preview; a drop on the preview
// (a plain click included) or anywhere else leaves it where it is.
void Form3::endDrag(QPointF positionInImage1)
{
    if (!dragging_)
        return;
    dragging_ = false;
    dragOutline_->hide();
    Image1->unsetCursor();
    const QPointF drop = Image1->mapTo(Frame2, positionInImage1);
    if (!QRectF(Frame2->rect()).contains(drop) || QRectF(Image1->geometry()).contains(drop))
        return;
    Frame2_DragDrop(Image1, static_cast<float>(drop.x() * twips::perPixel),
                    static_cast<float>(drop.y() * twips::perPixel));
}

void Form3::Frame2_DragDrop(ImageControl* Source, float X, float Y)
{
    Source->Move(X - Source->Width() / 2, Y - Source->Height() / 2, Source->Width(), Source->Height());
}
