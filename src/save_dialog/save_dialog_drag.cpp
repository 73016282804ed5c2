// Moving the preview: preview is dragged automatically when pressed, and
// previewArea takes the drop.
#include "save_dialog/save_dialog.h"

#include <QPainter>

#include "ui/twips.h"

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

void SaveDialog::beginDrag(QPointF positionInPreview)
{
    dragging_ = true;
    if (!dragOutline_)
        dragOutline_ = new DragOutline(this);
    preview->setCursor(Qt::ClosedHandCursor);
    followDrag(positionInPreview);
}

void SaveDialog::followDrag(QPointF positionInPreview)
{
    if (!dragging_)
        return;
    const QPoint centre = preview->mapTo(this, positionInPreview).toPoint();
    QRect outline(QPoint(), preview->size());
    outline.moveCenter(centre);
    dragOutline_->setGeometry(outline);
    dragOutline_->raise();
    dragOutline_->show();
}

// Only a drop on previewArea itself moves the preview; a drop on the preview
// (a plain click included) or anywhere else leaves it where it is.
void SaveDialog::endDrag(QPointF positionInPreview)
{
    if (!dragging_)
        return;
    dragging_ = false;
    dragOutline_->hide();
    preview->unsetCursor();
    const QPointF drop = preview->mapTo(previewArea, positionInPreview);
    if (!QRectF(previewArea->rect()).contains(drop) || QRectF(preview->geometry()).contains(drop))
        return;
    dropOnPreviewArea(preview, static_cast<float>(drop.x() * twips::perPixel),
                    static_cast<float>(drop.y() * twips::perPixel));
}

void SaveDialog::dropOnPreviewArea(ImageControl* source, float x, float y)
{
    source->moveTwips(Twips(x - source->twipsWidth().value() / 2), Twips(y - source->twipsHeight().value() / 2), source->twipsWidth(),
                 source->twipsHeight());
}
