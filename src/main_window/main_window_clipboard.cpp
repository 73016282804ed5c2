// Clipboard commands: show the clipboard's picture, copy the picture, clear, open a viewer.
#include "main_window/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/forms.h"
#include "image_window/image_window.h"
#include "ui/dialogs.h"
#include "desktop/launcher.h"
#include "runtime/run_time_error.h"
#include "viewing/picture_model.h"

// Shown like a clicked file, with the clipboard in place of the file. A
// clipboard without a picture is reported and changes nothing: an empty
// picture would leave nothing to fit and nothing to save.
void MainWindow::showClipboardPicture()
{
    const QImage picture = withMemoryAsRunTimeError([] { return QApplication::clipboard()->image(); });
    if (picture.isNull()) {
        dialogs().msgBox(QStringLiteral("クリップボードに画像がありません"), MsgBoxStyle::OkOnly,
                         QStringLiteral("クリップボード"));
        return;
    }
    dateValue->clear();
    sizeValue->clear();
    isEnlarged = false;
    enlargeButton->setEnabled(true);
    closeImageButton->setEnabled(true);
    imageWindow().show();
    model_->showInMemory(picture); // shown and fitted to the normal box
    pathBox->setText(QStringLiteral("ClipBoard"));
}

// The same steps as a double click on the picture.
void MainWindow::copyPicture()
{
    imageWindow().copyPictureOnDoubleClick();
}

void MainWindow::clearClipboard() { QApplication::clipboard()->clear(); }

void MainWindow::openClipboardViewer()
{
    try {
        launcher().openClipboardViewer();
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("ファイルが見つかりません"), MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
    }
}
