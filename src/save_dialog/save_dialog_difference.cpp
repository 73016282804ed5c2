// What the preview shows beyond the compressed picture: the difference to the
// original while D is held, with its figures drawn over the preview's corner,
// and the original itself while O is held. The measurements compress the
// picture again on a worker and compare it band by band with the original.
#include "save_dialog/save_dialog.h"

#include <cmath>

#include <QAction>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QToolTip>

#include "controls/image_control.h"
#include "jpeg/colour_profile.h"
#include "measure/compression_measure.h"
#include "measure/difference_picture.h"
#include "ui/handler_guard.h"
#include "ui/forms.h"
#include "save_dialog/preview_encoder.h"

namespace {

// D and O count without Ctrl, Alt or Meta, which belong to shortcuts.
bool plainKey(const QKeyEvent* event, int key)
{
    return event->key() == key && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

} // namespace

bool SaveDialog::differenceShown() const { return differenceHeld_ || differenceAction->isChecked(); }

bool SaveDialog::originalShown() const
{
    return !differenceShown() && (originalHeld_ || originalAction->isChecked());
}

void SaveDialog::setHeld(bool& held, bool down)
{
    if (held == down)
        return;
    held = down;
    showChosenPicture();
}

void SaveDialog::keyPressEvent(QKeyEvent* event)
{
    bool* held = plainKey(event, Qt::Key_D) ? &differenceHeld_ : plainKey(event, Qt::Key_O) ? &originalHeld_ : nullptr;
    if (!held) {
        QDialog::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat())
        guarded([this, held] { setHeld(*held, true); })();
    event->accept();
}

void SaveDialog::keyReleaseEvent(QKeyEvent* event)
{
    bool* held = event->key() == Qt::Key_D ? &differenceHeld_ : event->key() == Qt::Key_O ? &originalHeld_ : nullptr;
    if (!held || event->isAutoRepeat()) {
        QDialog::keyReleaseEvent(event);
        return;
    }
    guarded([this, held] { setHeld(*held, false); })();
    event->accept();
}

// A window that loses the keyboard never hears D or O let go.
void SaveDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && (differenceHeld_ || originalHeld_))
        guarded([this] {
            differenceHeld_ = originalHeld_ = false;
            showChosenPicture();
        })();
    QDialog::changeEvent(event);
}

// The measurements are made only when someone looks for them.
bool SaveDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == preview && event->type() == QEvent::ToolTip)
        guarded([this] {
            requestMeasurement();
            updatePreviewToolTip();
        })();
    return QDialog::eventFilter(watched, event);
}

void SaveDialog::previewShown(const QImage& picture, qint64 fileSize)
{
    const bool resized = picture.size() != shownPreview_.size();
    shownPreview_ = picture;
    shownSize_ = fileSize;
    updateSizeWarning();
    if (measured_ && (measured_->quality != quality || measured_->peaks.size() != picture.size()))
        measured_.reset();
    if (resized)
        originalView_ = QImage();
    showChosenPicture();
    // Made ahead, so the first O already shows it.
    requestOriginalView();
}

void SaveDialog::showChosenPicture()
{
    shownGain_ = 0;
    if (differenceShown()) {
        if (measured_) {
            // Reduced to the size on screen by its peaks, so drawing it averages nothing away.
            const QImage peaks = peakReduced(measured_->peaks, preview->size() * preview->devicePixelRatioF());
            shownGain_ = differenceGain(peaks);
            preview->setPicture(amplifiedPeaks(peaks, shownGain_));
        } else {
            requestMeasurement();
        }
    } else if (originalShown() && !originalView_.isNull()) {
        preview->setPicture(originalView_);
    } else if (!shownPreview_.isNull()) {
        preview->setPicture(shownPreview_);
    }
    updateFigures();
    updatePreviewToolTip();
}

void SaveDialog::requestMeasurement()
{
    if (shownPreview_.isNull() || measured_ || (measurement->busy() && measuring_ == quality))
        return;
    const QImage original = subject_.picture;
    measuring_ = quality;
    measurement->run([this, original, at = int(quality), size = shownPreview_.size(), prepared = previewEncoder->prepared()](
                         std::stop_token stop) -> Worker::Delivery {
        const std::optional<CompressionMeasure> measured = measureCompression(original, at, size, stop, prepared.get());
        if (!measured)
            return [this] {
                measuring_ = 0;
                updateFigures();
                updatePreviewToolTip();
            };
        return [this, at, measured] {
            showMeasurement({at, measured->fidelity.psnr, measured->fidelity.ssim, measured->peaks});
        };
    });
}

void SaveDialog::showMeasurement(const Measurement& measured)
{
    measuring_ = 0;
    if (!forms::isLoaded(this) || measured.quality != quality || measured.peaks.size() != shownPreview_.size())
        return;
    measured_ = measured;
    showChosenPicture();
}

// The original as the preview shows the compressed picture: at its size, in its colours.
void SaveDialog::requestOriginalView()
{
    if (shownPreview_.isNull() || !originalView_.isNull() || originalReduction->busy())
        return;
    const QImage original = subject_.picture;
    const ColourProfile colour = keptMarkers_ ? ColourProfile::of(*keptMarkers_) : ColourProfile();
    originalReduction->run([this, original, colour, size = shownPreview_.size()](std::stop_token stop) -> Worker::Delivery {
        const QImage reduced = colour.toSrgb(stretchPicture(original, size));
        if (stop.stop_requested() || reduced.isNull())
            return {};
        return [this, reduced] {
            if (!forms::isLoaded(this) || reduced.size() != shownPreview_.size())
                return;
            originalView_ = reduced;
            if (originalShown())
                showChosenPicture();
        };
    });
}

void SaveDialog::updateFigures()
{
    QString text;
    if (differenceShown()) {
        if (measured_) {
            const QString psnr = std::isinf(measured_->psnr) ? QStringLiteral("∞") : QString::number(measured_->psnr, 'f', 2);
            text = QStringLiteral("PSNR %1 dB・SSIM %2\n差を%3倍に強調")
                       .arg(psnr, QString::number(measured_->ssim, 'f', 4))
                       .arg(shownGain_);
        } else {
            text = QStringLiteral("PSNR・SSIM: 計算中…");
        }
    } else if (originalShown()) {
        text = QStringLiteral("元画像");
    }
    figuresLabel->setText(text);
    figuresLabel->adjustSize();
    figuresLabel->setVisible(!text.isEmpty());
    figuresLabel->raise();
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
    if (shownGain_)
        text += QStringLiteral("\n差分表示: 元画像との差を%1倍に強調").arg(shownGain_);
    text += QStringLiteral("\n右クリックでメニュー・D を押す間は差分・O を押す間は元画像");
    preview->setToolTip(text);
    if (QToolTip::isVisible() && preview->underMouse())
        QToolTip::showText(QCursor::pos(), text, preview);
}
