#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QImage>
#include <QPalette>
#include <QPointF>
#include <QDialog>

#include "runtime/mouse_pointer.h"
#include "controls/image_control.h"
#include "decoder/picture_source.h"
#include "decoder/jpeg_markers.h"
#include "decoder/quality_estimate.h"
#include "encoder/target_size.h"
#include "runtime/questions.h"
#include "runtime/worker.h"

class PreviewEncoder;
class QAction;
class QShortcut;
struct PreviewResult;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollBar;

// The save dialog: the shown picture as it looks after JPEG compression at
// the quality on the slider, with the compressed size, a zoomable and movable
// preview, and the buttons that save or cancel. Every preview is encoded from
// the image window's picture into the preview file and loaded back from it,
// so what it shows is exactly what a save at that quality writes.
//
// Layout and the ways out live in save_dialog.cpp, the live preview and zoom in
// save_dialog_preview.cpp (encoded off the window thread by PreviewEncoder), moving the preview in save_dialog_drag.cpp, the save in save_dialog_save.cpp.
// Beyond that: the search for a target size (save_dialog_target.cpp), the
// source's quality and the warning it gives (save_dialog_source.cpp), and the
// difference view with its measurements and the original (save_dialog_difference.cpp).
class SaveDialog : public QDialog {
    Q_OBJECT

public:
    // What the dialog compresses, taken when it opens: the save writes the
    // picture the dialog showed, whatever happens elsewhere meanwhile.
    struct Subject {
        QImage picture; // at its natural size
        std::shared_ptr<const PictureSource> source; // null for a picture made in memory
        QString path; // shown, and proposed for the save
    };

    explicit SaveDialog(Subject subject);

    const Subject& subject() const { return subject_; }
    // The preview's base size, from which the zoom steps are taken.
    void setPreviewBase(Twips width, Twips height);
    float previewBaseWidth() const { return previewBaseWidth_; }
    std::int32_t previewBaseHeight() const { return previewBaseHeight_; }

    void onLoad();
    void onQualityChanged();
    void save();
    void zoomIn();
    void zoomOut();
    void cancel();
    void dropOnPreviewArea(ImageControl* source, float x, float y);

    // The preview file "Sample.jpg": beside the program, or in the user's cache folder.
    static QString previewPath();
    // Asks for the preview that the opening command shows first. If it fails,
    // the dialog goes and says so.
    void startFirstPreview();

    MousePointer mousePointer() const;
    void setMousePointer(MousePointer pointer);

    QGroupBox* previewFrame;
    QWidget* previewArea;
    ImageControl* preview;
    QPushButton* zoomInButton;
    QPushButton* zoomOutButton;
    QLabel* qualityCaption;
    QLabel* qualityRangeCaption;
    QLabel* qualityValue;
    QScrollBar* qualitySlider;
    QLabel* pathLabel;
    QLabel* sizeCaption;
    QLabel* sizeValue;
    QLabel* byteUnitCaption;
    QPushButton* saveButton;
    QPushButton* cancelButton;
    // Encodes the previews off the window thread; a child of the dialog.
    PreviewEncoder* previewEncoder;

    // Ctrl+T and the slider's menu: asks for a size and moves the slider to
    // the highest quality that keeps within it.
    void askTargetSize();
    // Escape and any slider move while the search runs stop it.
    void cancelTargetSearch();
    bool searchingTargetSize() const;
    // What the last search found, as it was shown beside the slider.
    const QString& targetOutcome() const { return targetOutcome_; }
    // The difference view: while D is held, or while checked in the preview's menu.
    bool differenceShown() const;
    // The original at the preview's zoom and place: while O is held, or while
    // checked in the menu. The difference view wins when both are asked for.
    bool originalShown() const;

    QAction* targetSizeAction;  // the slider's context menu
    QAction* differenceAction;  // the preview's context menu
    QAction* originalAction;    // the preview's context menu
    // Over the preview's corner: the figures while the difference shows, a name while the original does.
    QLabel* figuresLabel;
    QAction* dropLocationAction; // the slider's context menu; remembered in the settings
    // 保存 was pressed while a newer preview was being made: the save waits to show it.
    bool savesWhenShown() const { return saveWhenShown_; }
    Worker* targetSearch; // children of the dialog
    Worker* measurement;
    Worker* originalReduction;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Every way out of the dialog ends with the main window in front.
    static void bringMainWindowForward();
    // The save itself, once the preview shown is the newest (save_dialog_save.cpp).
    void finishSave();

    void buildControls();
    void connectHandlers();

    // Previews are asked for here and shown when they come back.
    void requestPreview();
    void showResult(const PreviewResult& result);

    // The automatic drag of preview: an outline follows the mouse, and the
    // release drops the preview on whatever lies under the mouse.
    void beginDrag(QPointF positionInPreview);
    void followDrag(QPointF positionInPreview);
    void endDrag(QPointF positionInPreview);

    // The features beyond the plain dialog.
    void buildExtras();
    void popUpMenu(QWidget* owner, const QList<QAction*>& actions, QPoint at);
    // What the saved file and the previews carry from the source (save_dialog_metadata.cpp).
    void buildMetadataChoice();
    void readMetadata();
    void dropLocationChanged(bool drop);
    void finishTargetSearch(const TargetQuality& found);
    void restorePointer();
    void readSource();
    void updateSizeWarning();
    void previewShown(const QImage& picture, qint64 fileSize);
    struct Measurement {
        int quality = 0;
        double psnr = 0;
        double ssim = 0;
        QImage peaks; // at the shown preview's size, unamplified
    };
    void requestMeasurement();
    void showMeasurement(const Measurement& measured);
    void requestOriginalView();
    void setHeld(bool& held, bool down);
    // The compressed preview, its difference or the original, as asked for (save_dialog_difference.cpp).
    void showChosenPicture();
    void updateFigures();
    void updatePreviewToolTip();
    void updateSliderToolTip();
    // Greyed while the size shown is not of the slider's quality or a newer preview is being made.
    void updateSizeLook();

    // Up to its deletion the dialog is a question: nothing from outside changes its picture.
    const questions::Open openQuestion_{this};
    Subject subject_;
    float previewBaseWidth_ = 0;
    std::int32_t previewBaseHeight_ = 0;
    QByteArray shownBytes_; // the file of the preview shown, which a save at its quality writes
    bool saveWhenShown_ = false;
    int quality = 50; // the slider's quality, used by the save
    bool firstPreviewPending_ = false; // no preview shown since the opening command asked for one
    int previewZoomStep = 1; // 0 to 9; the preview is (previewZoomStep + 1) / 2 times its base size
    QWidget* dragOutline_ = nullptr;
    bool dragging_ = false;

    QShortcut* escapeShortcut_ = nullptr; // on only while a search runs
    QString targetOutcome_;
    SourceQuality sourceQuality_;
    qint64 sourceSize_ = -1; // -1: the picture came from no file
    QImage shownPreview_;
    qint64 shownSize_ = -1;
    int shownQuality_ = 0; // the quality the size shown belongs to, 0 for none
    bool sizeWarned_ = false;
    QPalette plainSizePalette_;
    bool differenceHeld_ = false;
    bool originalHeld_ = false;
    int shownGain_ = 0; // the difference's gain as shown, 0 while none shows
    QImage originalView_; // the original at the shown preview's size, in its colours
    std::optional<Measurement> measured_;
    int measuring_ = 0; // the quality being measured, 0 for none
    JpegMarkers sourceMarkers_;
    std::shared_ptr<const JpegMarkers> keptMarkers_; // what previews and the save write
};
