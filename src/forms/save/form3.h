#pragma once

#include <cstdint>

#include <QPointF>
#include <QWidget>

#include "platform/image_control.h"

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
// Layout and the ways out live in form3.cpp, the live preview and zoom in
// form3_preview.cpp, moving the preview in form3_drag.cpp, the save in form3_save.cpp.
class Form3 : public QWidget {
public:
    Form3();

    void Form_Load();
    void HScroll1_Change();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Frame2_DragDrop(ImageControl* Source, float X, float Y);

    // The preview file: "Sample.jpg" in the program's folder.
    static QString previewPath();
    // Loads the preview file into Image1 and its size into Label5, both or
    // neither. Throws RunTimeError when the file cannot be read.
    void showPreview();

    // The form's mouse pointer: 0 default arrow, 11 hourglass.
    int MousePointer() const;
    void setMousePointer(int pointer);

    QGroupBox* Frame1;
    QWidget* Frame2;
    ImageControl* Image1;
    QPushButton* Command2;
    QPushButton* Command3;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QScrollBar* HScroll1;
    QLabel* Label7;
    QLabel* Label6;
    QLabel* Label5;
    QLabel* Label4;
    QPushButton* Command1;
    QPushButton* Command4;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Every way out of the dialog ends with these: the main window, the image
    // window and the version dialog usable again, the main window in front.
    static void enableOtherWindows();
    static void bringMainWindowForward();

    void buildControls();
    void connectHandlers();

    // The automatic drag of Image1: an outline follows the mouse, and the
    // release drops the preview on whatever lies under the mouse.
    void beginDrag(QPointF positionInImage1);
    void followDrag(QPointF positionInImage1);
    void endDrag(QPointF positionInImage1);

    std::int16_t quality = 50; // quality of the last preview, used by the save
    std::int16_t zoomstep = 1; // 0 to 9; the preview is (zoomstep + 1) / 2 times its base size
    QWidget* dragOutline_ = nullptr;
    bool dragging_ = false;
};
