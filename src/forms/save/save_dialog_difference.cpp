// The difference view and the measurements behind the preview's tooltip:
// the picture compressed again on a worker at full size, compared with the
// original, and its amplified difference reduced to the preview's size.
#include "forms/save/save_dialog.h"

#include <cmath>

#include <QAction>
#include <QBuffer>
#include <QCursor>
#include <QKeyEvent>
#include <QToolTip>

#include "decoder/colour_profile.h"
#include "decoder/jpeg_decoder.h"
#include "encoder/jpeg_compressor.h"
#include "encoder/picture_fidelity.h"
#include "encoder/scanline_source.h"
#include "runtime/handler_guard.h"
#include "runtime/forms.h"
#include "runtime/run_time_error.h"

namespace {

struct Measured {
    Fidelity fidelity;
    QImage difference;
};

// Runs on the worker. Empty when cancelled or when the picture cannot be
// encoded and read back.
std::optional<Measured> measure(const QImage& original, int quality, QSize previewSize, int factor,
                                std::stop_token stop)
{
    try {
        const ScanlineSource source(original);
        QBuffer encoded;
        encoded.open(QIODevice::WriteOnly);
        if (!source.isValid() || compressJpeg(source, quality, encoded, stop) != CompressResult::Done)
            return std::nullopt;
        const QImage compressed = decodeJpegBytes(encoded.data());
        encoded.close();
        encoded.setData(QByteArray());
        if (compressed.size() != original.size() || stop.stop_requested())
            return std::nullopt;
        Measured measured;
        {
            const int reduction = fidelityReduction(original.size());
            const LuminancePlane before = luminanceOf(original, reduction, stop);
            const LuminancePlane after = luminanceOf(compressed, reduction, stop);
            if (stop.stop_requested())
                return std::nullopt;
            measured.fidelity = compareLuminance(before, after);
        }
        measured.difference = amplifiedDifference(original, compressed, factor, previewSize, stop);
        if (measured.difference.isNull())
            return std::nullopt;
        return measured;
    } catch (const RunTimeError&) {
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace

bool SaveDialog::differenceShown() const { return differenceHeld_ || differenceAction->isChecked(); }

void SaveDialog::keyPressEvent(QKeyEvent* event)
{
    const bool plainD = event->key() == Qt::Key_D
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!plainD) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat() && !differenceHeld_)
        guarded([this] {
            differenceHeld_ = true;
            refreshDifference();
        })();
    event->accept();
}

void SaveDialog::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_D || event->isAutoRepeat() || !differenceHeld_) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    guarded([this] {
        differenceHeld_ = false;
        refreshDifference();
    })();
    event->accept();
}

// A window that loses the keyboard never hears D let go.
void SaveDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && differenceHeld_)
        guarded([this] {
            differenceHeld_ = false;
            refreshDifference();
        })();
    QWidget::changeEvent(event);
}

// The measurements are made only when someone looks for them.
bool SaveDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == preview && event->type() == QEvent::ToolTip)
        guarded([this] {
            requestMeasurement();
            updatePreviewToolTip();
        })();
    return QWidget::eventFilter(watched, event);
}

void SaveDialog::previewShown(const QImage& picture, qint64 fileSize)
{
    shownPreview_ = picture;
    shownSize_ = fileSize;
    updateSizeWarning();
    if (measured_ && (measured_->quality != quality || measured_->difference.size() != picture.size()))
        measured_.reset();
    if (differenceShown())
        refreshDifference();
    else if (measured_ || measuring_)
        updatePreviewToolTip();
}

void SaveDialog::refreshDifference()
{
    if (differenceShown()) {
        if (measured_)
            preview->setPicture(measured_->difference);
        else
            requestMeasurement();
    } else if (!shownPreview_.isNull()) {
        preview->setPicture(shownPreview_);
    }
    updatePreviewToolTip();
}

void SaveDialog::requestMeasurement()
{
    if (shownPreview_.isNull() || measured_ || (measurement->busy() && measuring_ == quality))
        return;
    const QImage original = subject_.picture;
    measuring_ = quality;
    // The values are compared as encoded; their difference is shown in the picture's colours.
    const ColourProfile colour = keptMarkers_ ? ColourProfile::of(*keptMarkers_) : ColourProfile();
    measurement->run([this, original, colour, at = int(quality), size = shownPreview_.size()](
                         std::stop_token stop) -> Worker::Delivery {
        std::optional<Measured> measured = measure(original, at, size, differenceFactor, stop);
        if (measured)
            measured->difference = colour.toSrgb(measured->difference);
        if (!measured)
            return [this] {
                measuring_ = 0;
                updatePreviewToolTip();
            };
        return [this, at, measured] {
            showMeasurement({at, measured->fidelity.psnr, measured->fidelity.ssim, measured->difference});
        };
    });
}

void SaveDialog::showMeasurement(const Measurement& measured)
{
    measuring_ = 0;
    if (forms::loaded<SaveDialog>() != this || measured.quality != quality
        || measured.difference.size() != shownPreview_.size())
        return;
    measured_ = measured;
    if (differenceShown())
        preview->setPicture(measured.difference);
    updatePreviewToolTip();
}

void SaveDialog::updatePreviewToolTip()
{
    QString text = QStringLiteral("画像のプレビュー");
    if (measured_) {
        const QString psnr = std::isinf(measured_->psnr) ? QStringLiteral("∞") : QString::number(measured_->psnr, 'f', 2);
        text += QStringLiteral("\nPSNR %1 dB・SSIM %2（輝度、元画像と比べて）").arg(psnr, QString::number(measured_->ssim, 'f', 4));
    } else if (measuring_) {
        text += QStringLiteral("\nPSNR・SSIM: 計算中…");
    }
    if (differenceShown())
        text += QStringLiteral("\n差分表示: 元画像との差を%1倍に強調").arg(differenceFactor);
    preview->setToolTip(text);
    if (QToolTip::isVisible() && preview->underMouse())
        QToolTip::showText(QCursor::pos(), text, preview);
}
