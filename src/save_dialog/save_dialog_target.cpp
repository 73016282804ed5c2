// The features beyond the plain dialog are set up here, and the search for a
// target size lives here: the size asked for, a bisection over qualities on
// a worker, the slider moved to the answer.
#include "save_dialog/save_dialog.h"

#include <cmath>

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QScrollBar>
#include <QShortcut>
#include <QToolTip>

#include "jpeg/jpeg_metadata.h"
#include "ui/handler_guard.h"
#include "save_dialog/preview_encoder.h"
#include "ui/dialogs.h"
#include "ui/forms.h"
#include "runtime/services.h"
#include "runtime/texts.h"

namespace {

const QString targetTitle = QStringLiteral("目標サイズ");

// The size label's unit is a thousand bytes; decimals and full-width digits
// are taken. Empty for anything that is not a size of at least one byte.
std::optional<qint64> targetBytes(const QString& typed)
{
    const QString text = typed.normalized(QString::NormalizationForm_KC).trimmed();
    bool ok = false;
    double thousands = QLocale::c().toDouble(text, &ok);
    if (!ok)
        thousands = QLocale().toDouble(text, &ok);
    if (!ok || !std::isfinite(thousands) || thousands <= 0)
        return std::nullopt;
    const double bytes = std::floor(std::min(thousands * 1000, 1e15));
    if (bytes < 1)
        return std::nullopt;
    return qint64(bytes);
}

} // namespace

void SaveDialog::buildExtras()
{
    targetSearch = new Worker(this);
    measurement = new Worker(this);
    originalReduction = new Worker(this);

    targetSizeAction = new QAction(QStringLiteral("目標サイズ(&T)..."), this);
    targetSizeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    targetSizeAction->setShortcutContext(Qt::WindowShortcut);
    addAction(targetSizeAction);
    qualitySlider->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(qualitySlider, &QWidget::customContextMenuRequested, this,
                     [this](QPoint at) { popUpMenu(qualitySlider, {targetSizeAction, dropLocationAction}, at); });
    QObject::connect(targetSizeAction, &QAction::triggered, this, guarded([this] { askTargetSize(); }));

    escapeShortcut_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escapeShortcut_->setEnabled(false);
    QObject::connect(escapeShortcut_, &QShortcut::activated, this, guarded([this] { cancelTargetSearch(); }));

    differenceAction = new QAction(QStringLiteral("差分表示(&D)"), this);
    originalAction = new QAction(QStringLiteral("元画像を表示(&O)"), this);
    // One of the two at most; neither is the compressed preview.
    auto* views = new QActionGroup(this);
    views->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* view : {differenceAction, originalAction}) {
        view->setCheckable(true);
        views->addAction(view);
        QObject::connect(view, &QAction::toggled, this, guarded([this] { showChosenPicture(); }));
    }
    preview->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(preview, &QWidget::customContextMenuRequested, this,
                     [this](QPoint at) { popUpMenu(preview, {differenceAction, originalAction}, at); });
    figuresLabel = new QLabel(previewArea);
    figuresLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    figuresLabel->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgba(0, 0, 0, 160); padding: 1px 3px; }"));
    figuresLabel->move(2, 2);
    figuresLabel->hide();
    updatePreviewToolTip();
    updateSliderToolTip();
    preview->installEventFilter(this);
    plainSizePalette_ = sizeValue->palette();
    buildMetadataChoice();
}

// Made for each use, so no hidden menu sits among the dialog's controls.
void SaveDialog::popUpMenu(QWidget* owner, const QList<QAction*>& actions, QPoint at)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addActions(actions);
    menu->popup(owner->mapToGlobal(at));
}

bool SaveDialog::searchingTargetSize() const { return targetSearch->busy(); }

void SaveDialog::askTargetSize()
{
    const std::optional<QString> typed = dialogs().inputBox(
        QStringLiteral("ファイルの大きさの上限を、バイト数の欄と同じ単位（1000 バイト）で入力してください。\n"
                       "例: 20 なら 20000 バイトまで"),
        targetTitle, sizeValue->text());
    if (!typed)
        return; // Cancel asks for nothing
    const std::optional<qint64> limit = targetBytes(*typed);
    if (!limit) {
        dialogs().msgBox(QStringLiteral("目標サイズには 0 より大きい数を入力してください。\n例: 20 なら 20000 バイトまで"),
                         MsgBoxStyle::OkOnly, targetTitle);
        return;
    }
    const QImage picture = subject_.picture;
    const auto sizeAt = services().encodedSize
        ? services().encodedSize
        : [prepared = previewEncoder->prepared()](const QImage& picture, int quality, std::stop_token stop) {
              return encodedJpegSize(picture, quality, stop, prepared.get());
          };
    // The pixels get what the kept metadata leaves of the limit.
    const qint64 metadataBytes = keptMarkers_ ? markersByteCount(*keptMarkers_) : 0;
    targetSearch->run([this, picture, limit = *limit - metadataBytes, sizeAt](std::stop_token stop) -> Worker::Delivery {
        const auto sizeOf = [&](const QImage& of, int quality) { return sizeAt(of, quality, stop); };
        const int guess = guessTargetQuality(picture, limit, sizeOf, stop);
        const TargetQuality found = findTargetQuality(
            limit, [&](int quality) { return sizeOf(picture, quality); }, stop, guess);
        if (found.outcome == TargetQuality::Abandoned)
            return {};
        return [this, found] { finishTargetSearch(found); };
    });
    escapeShortcut_->setEnabled(true);
    restorePointer();
}

void SaveDialog::cancelTargetSearch()
{
    if (!searchingTargetSize())
        return;
    targetSearch->cancel();
    escapeShortcut_->setEnabled(false);
    restorePointer();
}

void SaveDialog::finishTargetSearch(const TargetQuality& found)
{
    escapeShortcut_->setEnabled(false);
    restorePointer();
    if (!forms::isLoaded(this))
        return;
    // The sizes measured are of the pixels; the file carries the kept metadata too.
    const qint64 fileSize = found.size + (keptMarkers_ ? markersByteCount(*keptMarkers_) : 0);
    switch (found.outcome) {
    case TargetQuality::Found:
        qualitySlider->setValue(found.quality);
        // Said also when the slider was there already and nothing else changes.
        targetOutcome_ = QStringLiteral("画質 %1：%2").arg(found.quality).arg(sizeText(fileSize));
        QToolTip::showText(qualitySlider->mapToGlobal(QPoint(0, qualitySlider->height())), targetOutcome_,
                           qualitySlider, {}, 4000);
        break;
    case TargetQuality::TooLarge:
        dialogs().msgBox(QStringLiteral("指定サイズより小さくできません\n最も小さくて %1 バイト（画質 1）").arg(sizeText(fileSize)),
                         MsgBoxStyle::OkOnly, targetTitle);
        break;
    default:
        dialogs().msgBox(QStringLiteral("目標サイズの画質を求められませんでした"), MsgBoxStyle::OkOnly, targetTitle);
        break;
    }
}

// Hourglass while a search runs, the busy arrow while a preview is made.
void SaveDialog::restorePointer()
{
    setMousePointer(searchingTargetSize()    ? MousePointer::Hourglass
                    : previewEncoder->busy() ? MousePointer::Busy
                                             : MousePointer::Default);
}
