// Selecting a file: the model reads its path, date and size at once and its
// picture on a worker; the window follows the model's signals.
#include "main_window/main_window.h"

#include <cmath>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "controls/file_list_box.h"
#include "files/paths.h"
#include "image_window/image_window.h"
#include "ui/dialogs.h"
#include "ui/forms.h"
#include "ui/handler_guard.h"
#include "runtime/texts.h"
#include "ui/twips.h"
#include "viewing/picture_model.h"

// The picture is decoded just large enough for the enlarged box on this screen.
QSize MainWindow::viewBox() const
{
    const int side = int(std::ceil(10000.0 / twips::perPixel * devicePixelRatioF()));
    return QSize(side, side);
}

void MainWindow::followModel()
{
    connect(model_, &PictureModel::selected, this, guarded([this] {
        pathBox->setText(model_->path());
        if (model_->fileSize() >= 0) {
            dateValue->setText(dateText(model_->modified()));
            sizeValue->setText(sizeText(model_->fileSize()));
        }
    }));
    connect(model_, &PictureModel::pictureChanged, this, guarded([this] {
        imageWindow().showPicture(model_->picture());
        fitIntoBox();
    }));
    connect(model_, &PictureModel::failed, this, guarded([] {
        dialogs().msgBox(QStringLiteral("ファイルが空です"), MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
    }));
    connect(model_, &PictureModel::busyChanged, this, guarded([this](bool busy) { showBusy(busy); }));
    // Waiting for a full-size picture, the program is held as under the save dialog.
    connect(model_, &PictureModel::makingFullPictureChanged, this, guarded([this](bool making) { holdWindows(making); }));
    connect(model_, &PictureModel::fullPictureFailed, this, guarded([](PictureModel::FullFailure failure) {
        // A picture that shows small but fails at full size gets the load's own message.
        dialogs().msgBox(failure == PictureModel::FullFailure::FileChanged
                             ? QStringLiteral("表示した後でファイルが変更されたため、表示した画像を使えません")
                             : QStringLiteral("ファイルが空です"),
                         MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
    }));
}

void MainWindow::onFileClicked()
{
    isEnlarged = false;
    enlargeButton->setEnabled(true);
    closeImageButton->setEnabled(true);
    imageWindow().show();
    selectedPath = fullPath(fileList->path(), fileList->fileName());
    QStringList neighbours;
    for (const int index : {fileList->listIndex() + 1, fileList->listIndex() - 1})
        if (index >= 0 && index < fileList->listCount())
            neighbours.append(fullPath(fileList->path(), fileList->entry(index)));
    model_->select(selectedPath, neighbours);
}

// The box as it is when the picture arrives: enlarged meanwhile or not.
void MainWindow::fitIntoBox()
{
    ImageWindow& window = imageWindow();
    const Twips side(isEnlarged ? 10000 : 3000);
    window.setTwipsWidth(side);
    window.setTwipsHeight(side);
    window.fitToBox();
}
