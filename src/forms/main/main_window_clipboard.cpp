// Clipboard commands: show the clipboard's picture, copy the picture, clear, open a viewer.
#include "forms/main/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "runtime/forms.h"
#include "forms/viewing_state.h"
#include "forms/image/image_window.h"
#include "runtime/dialogs.h"
#include "files/launcher.h"
#include "runtime/run_time_error.h"

// Shown like a clicked file, with the clipboard in place of the file. A
// clipboard without a picture is reported and changes nothing: an empty
// picture would leave nothing to fit and nothing to save.
void MainWindow::showClipboardPicture()
{
    const QImage picture = QApplication::clipboard()->image();
    if (picture.isNull()) {
        dialogs().msgBox(QStringLiteral("クリップボードに画像がありません"), MsgBoxStyle::OkOnly,
                         QStringLiteral("クリップボード"));
        return;
    }
    dateValue->clear();
    sizeValue->clear();
    enlarged = 0;
    enlargeButton->setEnabled(true);
    closeImageButton->setEnabled(true);
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    imageWindow.show();
    imageWindow.setWidth(3000);
    imageWindow.setHeight(3000);
    imageWindow.picture.setPicture(picture);
    imageWindow.pictureView->setPicture(imageWindow.picture.picture());
    imageWindow.pictureView->setWidth(imageWindow.picture.Width());
    imageWindow.pictureView->setHeight(imageWindow.picture.Height());
    viewing::pictureWidth = imageWindow.picture.Width();
    viewing::pictureHeight = imageWindow.picture.Height();
    pathBox->setText(QStringLiteral("ClipBoard"));
    viewing::fitImageWindow();
}

// The same steps as a double click on the picture.
void MainWindow::copyPicture() { forms::get<ImageWindow>().copyPictureOnDoubleClick(); }

void MainWindow::clearClipboard() { QApplication::clipboard()->clear(); }

void MainWindow::openClipboardViewer()
{
    try {
        launcher().Shell(QStringLiteral("Start Clipbrd.exe"), vbMinimizedFocus);
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("ファイルが見つかりません"), MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
    }
}
