#pragma once

#include <cstdint>

#include <QPointF>
#include <QWidget>

#include "controls/image_control.h"

class PreviewEncoder;
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
class SaveDialog : public QWidget {
    Q_OBJECT

public:
    SaveDialog();

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

    // The form's mouse pointer: 0 default arrow, 11 hourglass, 13 busy arrow.
    int mousePointer() const;
    void setMousePointer(int pointer);

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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Every way out of the dialog ends with these: the main window, the image
    // window and the version dialog usable again, the main window in front.
    static void enableOtherWindows();
    static void bringMainWindowForward();

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

    std::int16_t quality = 50; // the slider's quality, used by the save
    bool firstPreviewPending_ = false; // no preview shown since the opening command asked for one
    std::int16_t previewZoomStep = 1; // 0 to 9; the preview is (previewZoomStep + 1) / 2 times its base size
    QWidget* dragOutline_ = nullptr;
    bool dragging_ = false;
};
