// What the shown picture's own file says: the quality it was saved at, and
// the warning when the compression would only make it bigger or claim a
// higher quality than it has.
#include "forms/save/save_dialog.h"

#include <QLabel>
#include <QScrollBar>
#include <QStringList>

#include "decoder/picture_source.h"
#include "forms/save/preview_encoder.h"
#include "runtime/texts.h"

// Reads only the file's headers, so it stays on the window thread.
void SaveDialog::readSource()
{
    const PictureSource* source = subject_.source.get();
    sourceQuality_ = source ? source->quality() : SourceQuality();
    sourceSize_ = source ? source->stamp().size : -1;
    updateSliderToolTip();
    updateSizeWarning();
}

void SaveDialog::updateSliderToolTip()
{
    QString text;
    if (sourceQuality_.jpeg)
        text = sourceQuality_.quality ? QStringLiteral("元画像の画質: 約%1\n").arg(*sourceQuality_.quality)
                                      : QStringLiteral("元画像の画質: 不明\n");
    qualitySlider->setToolTip(text + QStringLiteral("右クリックでメニュー・Ctrl+T で目標サイズ"));
}

void SaveDialog::updateSizeWarning()
{
    QStringList reasons;
    if (sourceSize_ >= 0 && shownSize_ > sourceSize_)
        reasons << QStringLiteral("元ファイルより大きくなります（元 %1）").arg(sizeText(sourceSize_));
    if (sourceQuality_.quality && quality > *sourceQuality_.quality)
        reasons << QStringLiteral("元画像より高い画質です");
    sizeWarned_ = !reasons.isEmpty();
    sizeValue->setToolTip(QStringLiteral("バイト数") + (sizeWarned_ ? QLatin1Char('\n') + reasons.join(QLatin1Char('\n')) : QString()));
    updateSizeLook();
}

// A size that belongs to another quality than the slider's, or to an older
// preview, is greyed, the warning's red included: it is not the size of what
// would be saved.
void SaveDialog::updateSizeLook()
{
    const bool pending = shownQuality_ != quality || previewEncoder->busy();
    if (!pending && !sizeWarned_) {
        sizeValue->setStyleSheet(QString());
        return;
    }
    const QColor text = pending ? plainSizePalette_.color(QPalette::Disabled, QPalette::WindowText) : QColor(Qt::red);
    // The text alone: a plain box frame is drawn in the text's colour, so the
    // border and the ground are restated in their own colours.
    sizeValue->setStyleSheet(QStringLiteral("QLabel { color: %1; border: 1px solid %2; background: %3; }")
                                 .arg(text.name(), plainSizePalette_.color(QPalette::WindowText).name(),
                                      plainSizePalette_.color(QPalette::Window).name()));
}
