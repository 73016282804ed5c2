#include "save_dialog/save_dialog.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "ui/handler_guard.h"
#include "ui/forms.h"
#include "controls/hscroll_bar.h"
#include "save_dialog/preview_encoder.h"
#include "runtime/app.h"
#include "ui/dialogs.h"
#include "files/files.h"
#include "controls/fonts.h"
#include "ui/mouse_pointer.h"
#include "controls/placement.h"
#include "runtime/rounding.h"
#include "runtime/run_time_error.h"
#include "runtime/texts.h"
#include "ui/twips.h"
#include "desktop/user_files.h"
#include "resources/builtin_pictures.h"

namespace {

QLabel* label(QWidget* parent, const QString& caption)
{
    auto* l = new QLabel(caption, parent);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

// A value label: right-aligned text on its own ground, in a single-line border.
QLabel* valueLabel(QWidget* parent, const QString& caption, const QColor& ground)
{
    auto* l = new QLabel(caption, parent);
    l->setAutoFillBackground(true);
    QPalette palette = l->palette();
    palette.setColor(QPalette::Window, ground);
    l->setPalette(palette);
    l->setFrameStyle(QFrame::Box | QFrame::Plain);
    l->setLineWidth(1);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QPushButton* button(QWidget* parent, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    // Neither button answers Enter or Escape on its own.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

} // namespace

// A fixed tool window: small title bar with a close box only, not resizable.
// Application modal: the other windows take no input while it is open.
SaveDialog::SaveDialog(Subject subject)
    : QDialog(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , subject_(std::move(subject))
{
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(QStringLiteral("ファイルの保存"));
    setWindowIcon(builtin::programIcon());
    setFont(fonts::make(fonts::msPGothic, 9));
    setFixedSize(twips::toPixels(6315), twips::toPixels(3510));
    move(twips::toPixels(3450), twips::toPixels(2655));
    buildControls();
    connectHandlers();
    buildExtras();
}

void SaveDialog::buildControls()
{
    previewFrame = place(new QGroupBox(QStringLiteral("プレビュー"), this), 0, 120, 3615, 3255);
    previewFrame->setFont(fonts::make(fonts::msPGothic, 9, true));
    setTextColour(previewFrame, Qt::red);
    previewArea = place(new QWidget(previewFrame), 120, 240, 3375, 2895);
    preview = new ImageControl(previewArea);
    preview->setToolTip(QStringLiteral("画像のプレビュー"));
    preview->moveTwips(Twips(720), Twips(360), Twips(1935), Twips(2055));

    zoomInButton = place(button(this, QStringLiteral("ズームイン")), 3720, 240, 1215, 255, QStringLiteral("プレビューを拡大します"));
    zoomOutButton = place(button(this, QStringLiteral("ズームアウト")), 5040, 240, 1215, 255,
                     QStringLiteral("プレビューを縮小します"));
    qualityCaption = place(label(this, QStringLiteral("圧縮率")), 3720, 600, 1815, 255);
    qualityCaption->setFont(fonts::make(fonts::msPGothic, 9, true));
    qualityRangeCaption = place(label(this, QStringLiteral("（1）低解像度～（100）高解像度")), 3720, 840, 2655, 255);
    qualityValue = place(valueLabel(this, QStringLiteral("50"), palette().color(QPalette::Base)), 5400, 1080, 615, 255,
                   QStringLiteral("解像度"));

    qualitySlider = place(new HScrollBar(this), 3720, 1440, 2415, 255);
    qualitySlider->setRange(1, 100);
    qualitySlider->setValue(50);
    qualitySlider->setSingleStep(1);
    qualitySlider->setPageStep(1);
    // A dragged thumb reports one change, on release.
    qualitySlider->setTracking(false);
    qualitySlider->setFocusPolicy(Qt::StrongFocus);

    pathLabel = place(label(this, QStringLiteral("pathLabel")), 3720, 1800, 2535, 615);
    pathLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pathLabel->setWordWrap(true);
    sizeCaption = place(label(this, QStringLiteral("バイト数")), 3720, 2400, 2055, 255);
    sizeValue = place(valueLabel(this, QString(), Qt::white), 3720, 2640, 1575, 255, QStringLiteral("バイト数"));
    byteUnitCaption = place(label(this, QStringLiteral("バイト")), 5280, 2760, 735, 255);

    saveButton = place(button(this, QStringLiteral("保存")), 3960, 3000, 975, 375, QStringLiteral("名前をつけて保存します"));
    cancelButton = place(button(this, QStringLiteral("キャンセル")), 5040, 3000, 975, 375,
                     QStringLiteral("名前をつけて保存します"));

    setTabOrder(saveButton, qualitySlider);
    setTabOrder(qualitySlider, zoomInButton);
    setTabOrder(zoomInButton, zoomOutButton);
    setTabOrder(zoomOutButton, cancelButton);
    saveButton->setFocus();
    previewEncoder = new PreviewEncoder(this);
}

void SaveDialog::connectHandlers()
{
    QObject::connect(qualitySlider, &QScrollBar::valueChanged, this, guarded([this] { onQualityChanged(); }));
    QObject::connect(saveButton, &QPushButton::clicked, this, guarded([this] { save(); }));
    QObject::connect(zoomInButton, &QPushButton::clicked, this, guarded([this] { zoomIn(); }));
    QObject::connect(zoomOutButton, &QPushButton::clicked, this, guarded([this] { zoomOut(); }));
    QObject::connect(cancelButton, &QPushButton::clicked, this, guarded([this] { cancel(); }));
    QObject::connect(previewEncoder, &PreviewEncoder::finished, this,
                     guarded([this](const PreviewResult& result) { showResult(result); }));

    connect(preview, &ImageControl::pressed, this, guarded([this](QMouseEvent* event) {
        if (event->button() == Qt::LeftButton)
            beginDrag(event->position());
    }));
    connect(preview, &ImageControl::moved, this, guarded([this](QMouseEvent* event) { followDrag(event->position()); }));
    connect(preview, &ImageControl::released, this, guarded([this](QMouseEvent* event) {
        if (event->button() == Qt::LeftButton)
            endDrag(event->position());
    }));
}

QString SaveDialog::previewPath() { return userfiles::current().previewFile(); }

// The size shown first is the last preview file's; on the very first use
// there is none and it stays empty until the first preview comes.
void SaveDialog::onLoad()
{
    try {
        pathLabel->setText(subject_.path);
        readSource();
        readMetadata();
        quality = 50;
        qualityValue->setText(QString::number(quality));
        previewZoomStep = 1;
        if (const std::optional<qint64> size = FileLenIfAny(previewPath()))
            sizeValue->setText(sizeText(*size));
        onQualityChanged();
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("予期せぬエラーが起きました"), MsgBoxStyle::Critical, QStringLiteral("予期せぬエラー"));
    }
}

void SaveDialog::setPreviewBase(Twips width, Twips height)
{
    preview->setTwipsWidth(width);
    preview->setTwipsHeight(height);
    previewBaseWidth_ = preview->twipsWidth().value();
    previewBaseHeight_ = roundToInt32(preview->twipsHeight().value());
}

void SaveDialog::cancel()
{
    previewEncoder->stop();
    cancelTargetSearch();
    saveWhenShown_ = false;
    forms::unload(this);
    emit left();
}

// Escape does nothing; only キャンセル, 保存 and the close box leave.
void SaveDialog::reject() {}

// The close box is one more way out and must not leave the other windows disabled.
void SaveDialog::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (forms::isLoaded(this))
        guarded([this] { cancel(); })();
}

MousePointer SaveDialog::mousePointer() const { return mouse_pointer::of(this); }

void SaveDialog::setMousePointer(MousePointer pointer) { mouse_pointer::set(this, pointer); }
